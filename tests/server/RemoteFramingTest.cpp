// The remote-CAPI stream's framing and control requests, byte for byte as
// the platform's CAPI library sends and reads them.

#include "RemoteControl.h"
#include "RemoteFraming.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Frame(const Bytes& payload)
{
    Bytes out;
    remote::AppendFrame(out, payload.data(), payload.size());
    return out;
}

// A register request as the library sent it for 5 connections, 3 blocks of 1000 octets.
const Bytes kRegister = {0x00, 0x00, 0x00, 0x00, 0xF2, 0xFF, 0x07, 0x00, 0x00, 0x00, 0x00,
                         0x00, 0x00, 0x08, 0x05, 0x00, 0x03, 0x00, 0xE8, 0x03, 0x02};

TEST(RemoteFraming, LengthIsBigEndianAndCountsItself)
{
    const Bytes frame = Frame(Bytes(300, 0xAB));
    ASSERT_EQ(frame.size(), 302u);
    EXPECT_EQ(frame[0], 0x01);
    EXPECT_EQ(frame[1], 0x2E);
}

TEST(RemoteFraming, AssemblesMessagesSplitAnyhowAndJoined)
{
    const Bytes first(12, 1), second(40, 2);
    Bytes stream = Frame(first);
    const Bytes tail = Frame(second);
    stream.insert(stream.end(), tail.begin(), tail.end());
    // Every split point, octet by octet at the worst.
    for (size_t step : {size_t(1), size_t(3), size_t(13), stream.size()}) {
        remote::TFrameAssembler assembler;
        std::vector<Bytes> got;
        Bytes payload;
        for (size_t at = 0; at < stream.size(); at += step) {
            assembler.Feed(stream.data() + at, std::min(step, stream.size() - at));
            while (assembler.Next(payload))
                got.push_back(payload);
        }
        ASSERT_EQ(got.size(), 2u) << "step " << step;
        EXPECT_EQ(got[0], first);
        EXPECT_EQ(got[1], second);
        EXPECT_FALSE(assembler.MidMessage());
        EXPECT_FALSE(assembler.Malformed());
    }
}

TEST(RemoteFraming, MidMessageWhileAPartIsWaiting)
{
    remote::TFrameAssembler assembler;
    const Bytes frame = Frame(Bytes(20, 7));
    assembler.Feed(frame.data(), 1);
    EXPECT_TRUE(assembler.MidMessage());
    Bytes payload;
    EXPECT_FALSE(assembler.Next(payload));
    assembler.Feed(frame.data() + 1, frame.size() - 1);
    EXPECT_TRUE(assembler.Next(payload));
    EXPECT_FALSE(assembler.MidMessage());
}

TEST(RemoteFraming, LengthsOutsideTheLimitsAreMalformedForGood)
{
    struct TCase {
        uint32_t total;
        bool malformed;
    };
    const uint32_t largest = remote::MaxFrameLength(remote::kDefaultMaxB3Size);
    for (const TCase& c : {TCase{0, true}, TCase{2, true}, TCase{9, true}, TCase{10, false},
                           TCase{largest, false}, TCase{largest + 1, true}, TCase{0xFFFF, true}}) {
        remote::TFrameAssembler assembler;
        const Bytes head = {uint8_t(c.total >> 8), uint8_t(c.total)};
        assembler.Feed(head.data(), head.size());
        Bytes payload;
        EXPECT_FALSE(assembler.Next(payload));
        EXPECT_EQ(assembler.Malformed(), c.malformed) << c.total;
        if (c.malformed) {
            const Bytes good = Frame(Bytes(10, 0));
            assembler.Feed(good.data(), good.size());
            EXPECT_FALSE(assembler.Next(payload)) << "a malformed stream stays malformed";
        }
    }
}

TEST(RemoteFraming, RegisteredBlockSizeRaisesTheLimit)
{
    remote::TFrameAssembler assembler;
    assembler.SetMaxB3Size(4000);
    const Bytes frame = Frame(Bytes(2048 + 4000, 0));
    assembler.Feed(frame.data(), frame.size());
    Bytes payload;
    EXPECT_TRUE(assembler.Next(payload));
    EXPECT_EQ(payload.size(), 6048u);
}

TEST(RemoteControl, RecognisesTheControlRequestsOnly)
{
    EXPECT_EQ(remote::ControlOf(kRegister), remote::TControl::Register);
    for (uint8_t command : {0xFA, 0xFC, 0xFE, 0xE0}) {
        const Bytes request = {0, 0, 0, 0, command, 0xFF, 0, 0, 0, 0, 0, 0};
        ASSERT_TRUE(remote::ControlOf(request).has_value()) << int(command);
        EXPECT_EQ(uint8_t(*remote::ControlOf(request)), command);
    }
    // A MANUFACTURER_REQ shares the command 0xFF but not the subcommand; an
    // unknown command with 0xFF is an ordinary message; a short one is none.
    EXPECT_FALSE(remote::ControlOf({12, 0, 1, 0, 0xFF, 0x80, 0, 0, 1, 0, 0, 0}).has_value());
    EXPECT_FALSE(remote::ControlOf({12, 0, 1, 0, 0xF4, 0xFF, 0, 0, 1, 0, 0, 0}).has_value());
    EXPECT_FALSE(remote::ControlOf({0, 0, 0, 0, 0xF2}).has_value());
}

TEST(RemoteControl, ReadsTheRegisterParameters)
{
    const remote::TRegisterParameters parameters = remote::RegisterParametersOf(kRegister);
    EXPECT_EQ(parameters.BufferSize, 2048u);
    EXPECT_EQ(parameters.MaxLogicalConnection, 5u);
    EXPECT_EQ(parameters.MaxBDataBlocks, 3u);
    EXPECT_EQ(parameters.MaxBDataLen, 1000u);
    EXPECT_EQ(parameters.CapiVersion, 2);
    // A cut request reads its missing octets as 0.
    const remote::TRegisterParameters cut = remote::RegisterParametersOf(Bytes(kRegister.begin(), kRegister.begin() + 15));
    EXPECT_EQ(cut.MaxLogicalConnection, 5u);
    EXPECT_EQ(cut.MaxBDataBlocks, 0u);
}

TEST(RemoteControl, ConfirmationRepeatsTheHeaderWithItsCommand)
{
    EXPECT_EQ(remote::RegisterConfirmation(kRegister, 0x1008),
              (Bytes{0x00, 0x00, 0x00, 0x00, 0xF3, 0xFF, 0x07, 0x00, 0x08, 0x10}));
}

// A driver whose answers are known.
uint32_t Manufacturer(char* buffer)
{
    const char text[] = "Test Card";
    std::copy(std::begin(text), std::end(text), buffer);
    return 0;
}
uint32_t Version(uint32_t* a, uint32_t* b, uint32_t* c, uint32_t* d)
{
    *a = 2;
    *b = 0;
    *c = 0x0304;
    *d = 5;
    return 0;
}
uint32_t Serial(char* buffer)
{
    const char text[] = "1234567";
    std::copy(std::begin(text), std::end(text), buffer);
    return 0;
}
uint32_t Profile(void* buffer, uint32_t controller)
{
    auto* bytes = static_cast<uint8_t*>(buffer);
    for (int i = 0; i < 64; ++i)
        bytes[i] = uint8_t(i + controller);
    return controller > 1 ? 0x2002 : 0;
}

TEST(RemoteControl, AnswersQueriesAsTheLibraryReadsThem)
{
    TCapiEntryPoints driver;
    driver.CAPI_GET_MANUFACTURER = Manufacturer;
    driver.CAPI_GET_VERSION = Version;
    driver.CAPI_GET_SERIAL_NUMBER = Serial;
    driver.CAPI_GET_PROFILE = Profile;
    const Bytes header = {0, 0, 0, 0, 0, 0xFF, 0x09, 0x00};
    auto request = [](uint8_t command, uint8_t controller) {
        return Bytes{0, 0, 0, 0, command, 0xFF, 0x09, 0x00, controller, 0, 0, 0};
    };

    // Manufacturer: a length octet, then 64 octets of text.
    const Bytes manufacturer = remote::AnswerQuery(request(0xFA, 0), remote::TControl::GetManufacturer, driver);
    ASSERT_EQ(manufacturer.size(), 8u + 1 + 64);
    EXPECT_EQ(manufacturer[4], 0xFB);
    EXPECT_EQ(manufacturer[8], 64);
    EXPECT_STREQ(reinterpret_cast<const char*>(&manufacturer[9]), "Test Card");

    // Version: a length octet, then four little-endian dwords.
    const Bytes version = remote::AnswerQuery(request(0xFC, 0), remote::TControl::GetVersion, driver);
    EXPECT_EQ(version, (Bytes{0, 0, 0, 0, 0xFD, 0xFF, 0x09, 0x00, 16, 2, 0, 0, 0, 0, 0, 0, 0, 4, 3, 0, 0, 5, 0, 0, 0}));

    const Bytes serial = remote::AnswerQuery(request(0xFE, 0), remote::TControl::GetSerialNumber, driver);
    ASSERT_EQ(serial.size(), 8u + 1 + 8);
    EXPECT_EQ(serial[8], 8);
    EXPECT_STREQ(reinterpret_cast<const char*>(&serial[9]), "1234567");

    // Profile: the info word, then the 64 octets, for the controller asked.
    const Bytes profile = remote::AnswerQuery(request(0xE0, 1), remote::TControl::GetProfile, driver);
    ASSERT_EQ(profile.size(), 8u + 2 + 64);
    EXPECT_EQ(profile[4], 0xE1);
    EXPECT_EQ(profile[8], 0);
    EXPECT_EQ(profile[10], 1);
    EXPECT_EQ(profile[73], 64);
    const Bytes refused = remote::AnswerQuery(request(0xE0, 2), remote::TControl::GetProfile, driver);
    EXPECT_EQ(refused[8], 0x02);
    EXPECT_EQ(refused[9], 0x20);
}

} // namespace
