// KORVAN manufacturer messages: every indication kind with its events and the
// kind byte in the answer, the state text, statistics, contact pictures and
// the confirmations.

#include "CapiTestSupport.h"
#include "ContactPicture.h"
#include "KorvanIndication.h"
#include "PictureFiles.h"

#include <QStringList>

#include <cstring>

namespace {

using Bytes = std::vector<uint8_t>;

constexpr uint32_t kController = 0x00000201; // distinct, so PLCI_NCCI is seen to be the controller

class TBytes {
public:
    TBytes& Byte(uint8_t value)
    {
        m_bytes.push_back(value);
        return *this;
    }
    TBytes& Word(uint16_t value) { return Byte(uint8_t(value)).Byte(uint8_t(value >> 8)); }
    TBytes& Dword(uint32_t value) { return Word(uint16_t(value)).Word(uint16_t(value >> 16)); }
    TBytes& Qword(uint64_t value) { return Dword(uint32_t(value)).Dword(uint32_t(value >> 32)); }
    TBytes& Text(const char* text)
    {
        const size_t length = std::strlen(text);
        Byte(uint8_t(length));
        m_bytes.insert(m_bytes.end(), text, text + length);
        return *this;
    }
    const Bytes& Get() const { return m_bytes; }

private:
    Bytes m_bytes;
};

// Controller, 'KORV', kind, then the kind's parameters.
Bytes Korvan(uint8_t subcommand, uint16_t number, uint8_t kind, const TBytes& parameters = {},
             uint32_t manufacturer = 0x56524F4B)
{
    TBytes all;
    all.Dword(kController).Dword(manufacturer).Byte(kind);
    Bytes bytes = all.Get();
    bytes.insert(bytes.end(), parameters.Get().begin(), parameters.Get().end());
    return Message(0xFF, subcommand, number, bytes);
}

Bytes Indication(uint8_t kind, const TBytes& parameters = {}, uint16_t number = 7)
{
    return Korvan(0x82, number, kind, parameters);
}

// A contact message whose picture is at the given address.
TBytes ContactParameters(uint32_t size, const void* picture, bool withFullAddress = true)
{
    TBytes parameters;
    parameters.Text("c1").Text("Doe").Text("Jane").Text("0301234").Text("+49 30 1234").Dword(size);
    const uint64_t address = uint64_t(reinterpret_cast<uintptr_t>(picture));
    parameters.Dword(uint32_t(address));
    if (withFullAddress)
        parameters.Qword(address);
    return parameters;
}

class KorvanTest : public SimCapiTest {
protected:
    void SetUp() override
    {
        SimCapiTest::SetUp();
        VsimSetManufacturer("KORVAN VoIP");
        VsimSetScripted(1); // only the messages of each test, no greeting of the driver's own
        auto hex = [](uint32_t value) { return QString::number(value, 16).toUpper(); };
        capi->OnInfo = [this, hex](uint32_t c, uint16_t type, const QString& text) {
            events << QStringLiteral("OnInfo %1 %2 '%3'").arg(hex(c), hex(type), text);
        };
        capi->OnENUM = [this, hex](uint32_t c, uint16_t type, const QString& text) {
            events << QStringLiteral("OnENUM %1 %2 '%3'").arg(hex(c), hex(type), text);
        };
        capi->OnSMS = [this](const QString& name, const QString& number, const QString& text, bool utf8) {
            events << QStringLiteral("OnSMS '%1' '%2' '%3' %4").arg(name, number, text).arg(utf8);
        };
        capi->OnStatistics = [this, hex](uint32_t c, const TVoIPStatistics& statistics) {
            events << QStringLiteral("OnStatistics %1").arg(hex(c));
            lastStatistics = statistics;
        };
        capi->OnMDNS = [this, hex](uint32_t c, uint32_t ttl, const QString& uri, const QString& host,
                                   const QString& software) {
            events << QStringLiteral("OnMDNS %1 %2 '%3' '%4' '%5'").arg(hex(c)).arg(ttl).arg(uri, host, software);
        };
        capi->OnThreadName = [this, hex](uint32_t c, uint32_t id, const QString& name) {
            events << QStringLiteral("OnThreadName %1 %2 '%3'").arg(hex(c)).arg(id).arg(name);
        };
        capi->OnAutoAnswer = [this, hex](uint32_t c, uint16_t type) {
            events << QStringLiteral("OnAutoAnswer %1 %2").arg(hex(c)).arg(type);
        };
        capi->OnGContact = [this](const QString& id, const QString& family, const QString& given,
                                  const QString& number, const QString& numberString, const TBitmap* bmp) {
            events << QStringLiteral("OnGContact '%1' '%2' '%3' '%4' '%5' %6")
                          .arg(id, family, given, number, numberString,
                               bmp ? QStringLiteral("%1x%2").arg(bmp->Width).arg(bmp->Height)
                                   : QStringLiteral("none"));
            if (bmp)
                lastPicture = *bmp;
        };
        capi->OnGContactStatus = [this](uint8_t status) { events << QStringLiteral("OnGContactStatus %1").arg(status); };
        ASSERT_TRUE(Open());
    }

    void Receive(const Bytes& message)
    {
        const uint64_t before = capi->RoutedMessages();
        Inject(message);
        ASSERT_TRUE(PumpUntil([&] { return capi->RoutedMessages() == before + 1; }));
    }

    // The MANUFACTURER_RESP messages the component put.
    std::vector<Bytes> Responses()
    {
        std::vector<Bytes> responses;
        for (uint32_t i = 0; i < VsimPutCount(); ++i) {
            Bytes message(VsimGetPut(i, nullptr, 0));
            VsimGetPut(i, message.data(), uint32_t(message.size()));
            if (message.size() >= 8 && message[4] == 0xFF && message[5] == 0x83)
                responses.push_back(message);
        }
        return responses;
    }

    QStringList events;
    TVoIPStatistics lastStatistics;
    TBitmap lastPicture;
};

// --- Registration state -------------------------------------------------

struct TStateCase {
    const char* label;
    uint8_t state;
    const char* name;
    const char* reason;
    const char* text;
};

class StateText : public ::testing::TestWithParam<TStateCase> {};

TEST_P(StateText, IsBuiltFromNameStateAndReason)
{
    const TStateCase& c = GetParam();
    EXPECT_EQ(KorvanStateText(c.state, QString::fromUtf8(c.name), QString::fromUtf8(c.reason)),
              QString::fromUtf8(c.text));
}

INSTANTIATE_TEST_SUITE_P(
    Korvan, StateText,
    ::testing::Values(TStateCase{"Registered", 2, "<4711>", "", "4711 registered"},
                      TStateCase{"FailedWithReason", 0, "<4711>", "timeout", "4711 register failed <timeout>"},
                      TStateCase{"AddressChangeCutsTheFailure", 0, "<4711>", "IP address changed", "4711"},
                      TStateCase{"Registering", 1, "alice", "", "alice registering"},
                      TStateCase{"ReasonWithoutFailure", 2, "<4711>", "IP address changed",
                                 "4711 registered <IP address changed>"},
                      TStateCase{"UnknownState", 5, "<bob>", "", "bob"},
                      TStateCase{"UnknownStateWithReason", 7, "bob", "late", "bob <late>"},
                      TStateCase{"OnlyClosingBracket", 2, "bob>", "", "bob registered"},
                      TStateCase{"OpeningBracketOnly", 2, "<", "", " registered"},
                      TStateCase{"EmptyName", 0, "", "", ""}),
    [](const ::testing::TestParamInfo<TStateCase>& param) { return std::string(param.param.label); });

TEST_F(KorvanTest, RegistrationWithoutFlagGivesNumberAndState)
{
    Receive(Indication(2, TBytes().Byte(1).Text("alice").Text("").Byte(0).Byte(3)));
    EXPECT_EQ(events, QStringList({"OnInfo 201 A005 '3'", "OnInfo 201 A000 'alice registering'"}));
}

TEST_F(KorvanTest, RegistrationWithFlagReportsTheStateFirst)
{
    Receive(Indication(2, TBytes().Byte(0).Text("<4711>").Text("timeout").Byte(1).Byte(200)));
    EXPECT_EQ(events, QStringList({"OnInfo 201 A003 '4711 register failed <timeout>'", "OnInfo 201 A005 '200'",
                                   "OnInfo 201 A000 '4711 register failed <timeout>'"}));
}

// --- Texts, short messages, discovery, threads ----------------------------

TEST_F(KorvanTest, TextKindsGiveTheirInfoCodes)
{
    Receive(Indication(3, TBytes().Text("account")));
    Receive(Indication(13, TBytes().Text("driver")));
    Receive(Indication(16, TBytes().Byte(5).Text("fifth")));
    Receive(Indication(16, TBytes().Byte(0xFF).Text("last")));
    Receive(Indication(11, TBytes().Word(503).Text("Busy")));
    Receive(Indication(4, TBytes().Text("e164.arpa")));
    EXPECT_EQ(events, QStringList({"OnInfo 201 A100 'account'", "OnInfo 201 A002 'driver'",
                                   "OnInfo 201 A015 'fifth'", "OnInfo 201 A10F 'last'",
                                   "OnInfo 201 8 '503:Busy'", "OnENUM 201 0 'e164.arpa'"}));
}

TEST_F(KorvanTest, ShortMessageIsNeverMarkedUtf8)
{
    Receive(Indication(9, TBytes().Text("Jane").Text("0301234").Text("Gr\xC3\xBC\xC3\x9F" "e").Byte(1)));
    EXPECT_EQ(events, QStringList({QStringLiteral("OnSMS 'Jane' '0301234' 'Grüße' 0")}));
}

TEST_F(KorvanTest, DiscoverySwitchesToTheKorvanTraceForm)
{
    EXPECT_FALSE(capi->KorvanTraceMode());
    Receive(Indication(15, TBytes().Text("sip:pbx").Text("pbx.local").Dword(120).Text("PBX 2.1")));
    EXPECT_EQ(events, QStringList({"OnMDNS 201 120 'sip:pbx' 'pbx.local' 'PBX 2.1'"}));
    EXPECT_TRUE(capi->KorvanTraceMode());
}

TEST_F(KorvanTest, ThreadNameAutoAnswerAndContactStatus)
{
    Receive(Indication(18, TBytes().Dword(4242).Text("RTP")));
    Receive(Indication(34));
    Receive(Indication(36, TBytes().Byte(2)));
    EXPECT_EQ(events, QStringList({"OnThreadName 201 4242 'RTP'", "OnAutoAnswer 201 0", "OnGContactStatus 2"}));
}

TEST_F(KorvanTest, MissingParametersReadAsZeroAndEmpty)
{
    Receive(Indication(2));
    Receive(Indication(11));
    Receive(Indication(18));
    EXPECT_EQ(events, QStringList({"OnInfo 201 A005 '0'", "OnInfo 201 A000 ''", "OnInfo 201 8 '0:'",
                                   "OnThreadName 201 0 ''"}));
}

TEST_F(KorvanTest, UnassignedEventsAreSkipped)
{
    capi->OnInfo = nullptr;
    capi->OnGContact = nullptr;
    // An address that must not be read: without OnGContact nothing is decoded.
    Receive(Indication(35, ContactParameters(100, reinterpret_cast<const void*>(uintptr_t(0x10)))));
    Receive(Indication(2, TBytes().Byte(2).Text("a").Text("").Byte(1).Byte(1)));
    EXPECT_TRUE(events.isEmpty());
    EXPECT_EQ(Responses().size(), 2u);
}

// --- The answer -------------------------------------------------------------

class KorvanAnswer : public KorvanTest, public ::testing::WithParamInterface<uint8_t> {};

TEST_P(KorvanAnswer, CarriesTheKindByte)
{
    Receive(Indication(GetParam(), {}, 300));
    const std::vector<Bytes> responses = Responses();
    ASSERT_EQ(responses.size(), 1u);
    const Bytes expected = {0x01, 0x02, 0x00, 0x00, 0x4B, 0x4F, 0x52, 0x56, GetParam()};
    EXPECT_EQ(Bytes(responses[0].begin() + 8, responses[0].end()), expected);
    EXPECT_EQ(responses[0][6] | responses[0][7] << 8, 300);
}

INSTANTIATE_TEST_SUITE_P(Korvan, KorvanAnswer,
                         ::testing::Values(2, 3, 4, 9, 10, 11, 13, 14, 15, 16, 18, 34, 35, 36, 0, 7, 255),
                         [](const ::testing::TestParamInfo<uint8_t>& param) {
                             return "Kind" + std::to_string(param.param);
                         });

TEST_F(KorvanTest, UnknownKindFiresNothing)
{
    Receive(Indication(7, TBytes().Text("ignored")));
    EXPECT_TRUE(events.isEmpty());
}

// --- Statistics -------------------------------------------------------------

TEST_F(KorvanTest, StatisticsAreFilledFromTheirDwords)
{
    TBytes parameters;
    for (uint32_t value : {1u, 0xFFFFFFFFu, 123u, 4u, 5u, 6u, 7u, 8u, 2u, 0x1FFu, 5u, 12u, 13u})
        parameters.Dword(value);
    parameters.Text("G.711");
    Receive(Indication(10, parameters));
    EXPECT_EQ(events, QStringList({"OnStatistics 201"}));
    const TVoIPStatistics& s = lastStatistics;
    EXPECT_EQ(s.Value1, 1u);
    EXPECT_EQ(s.Value2, 0xFFFFFFFFu);
    EXPECT_FLOAT_EQ(s.Value3, 12.3f);
    EXPECT_EQ(s.Value4, 4u);
    EXPECT_EQ(s.Value5, 5u);
    EXPECT_EQ(s.Value6, 6u);
    EXPECT_EQ(s.Value7, 7u);
    EXPECT_EQ(s.Value8, 8u);
    EXPECT_TRUE(s.Value9);
    EXPECT_EQ(s.Value10, 0xFF);
    EXPECT_FLOAT_EQ(s.Value11, 0.5f);
    EXPECT_EQ(s.Value12, 12u);
    EXPECT_EQ(s.Value13, 13u);
    EXPECT_EQ(s.Text, QStringLiteral("G.711"));
    EXPECT_EQ(capi->Statistics().Value13, 13u); // kept by the component
}

TEST_F(KorvanTest, EachStatisticsMessageStartsFromAClearRecord)
{
    TBytes full;
    for (uint32_t value = 1; value <= 13; ++value)
        full.Dword(value);
    full.Text("first");
    Receive(Indication(10, full));
    Receive(Indication(10, TBytes().Dword(9).Dword(0).Dword(4294967295u)));
    EXPECT_EQ(capi->Statistics().Value1, 9u);
    EXPECT_FLOAT_EQ(capi->Statistics().Value3, 429496729.5f);
    EXPECT_FALSE(capi->Statistics().Value9);
    EXPECT_EQ(capi->Statistics().Value13, 0u);
    EXPECT_TRUE(capi->Statistics().Text.isEmpty());
}

// --- Contacts ---------------------------------------------------------------

TEST_F(KorvanTest, ContactWithJpegPicture)
{
    const Bytes jpeg = EncodeJpeg(16, 8);
    Receive(Indication(35, ContactParameters(uint32_t(jpeg.size()), jpeg.data())));
    EXPECT_EQ(events, QStringList({"OnGContact 'c1' 'Doe' 'Jane' '0301234' '+49 30 1234' 16x8"}));
    ASSERT_EQ(lastPicture.Pixels.size(), 16u * 8u);
    // JPEG is lossy: each channel within a few steps.
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 16; ++x) {
            const uint32_t got = lastPicture.Pixels[size_t(y) * 16 + size_t(x)];
            const uint32_t want = PicturePixel(x, y);
            EXPECT_EQ(got >> 24, 0xFFu);
            for (int shift : {16, 8, 0})
                EXPECT_NEAR(int((got >> shift) & 0xFF), int((want >> shift) & 0xFF), 6) << x << "," << y;
        }
}

TEST_F(KorvanTest, ContactWithPngPicture)
{
    const Bytes png = EncodePng(5, 3);
    Receive(Indication(35, ContactParameters(uint32_t(png.size()), png.data())));
    EXPECT_EQ(events, QStringList({"OnGContact 'c1' 'Doe' 'Jane' '0301234' '+49 30 1234' 5x3"}));
    ASSERT_EQ(lastPicture.Pixels.size(), 15u);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(lastPicture.Pixels[size_t(y) * 5 + size_t(x)], PicturePixel(x, y));
}

TEST_F(KorvanTest, PictureSizeOutsideTheRangeNeverReadsTheAddress)
{
    // Addresses that would fault if they were read.
    const void* nowhere = reinterpret_cast<const void*>(uintptr_t(0x8));
    Receive(Indication(35, ContactParameters(1, nowhere)));
    Receive(Indication(35, ContactParameters(0, nowhere)));
    Receive(Indication(35, ContactParameters(1048575, nowhere)));
    ASSERT_EQ(events.size(), 3);
    for (const QString& event : events)
        EXPECT_TRUE(event.endsWith(QLatin1String(" none"))) << event.toStdString();
}

TEST_F(KorvanTest, PictureNeedsTheFullAddress)
{
    const Bytes png = EncodePng(2, 2);
    Receive(Indication(35, ContactParameters(uint32_t(png.size()), png.data(), false)));
    Receive(Indication(35, ContactParameters(uint32_t(png.size()), nullptr)));
    // Only part of the 64-bit address: absent as well.
    TBytes partial;
    partial.Text("c1").Text("Doe").Text("Jane").Text("0301234").Text("+49 30 1234").Dword(uint32_t(png.size()));
    partial.Dword(0).Dword(uint32_t(reinterpret_cast<uintptr_t>(png.data())));
    Receive(Indication(35, partial));
    EXPECT_EQ(events, QStringList(3, "OnGContact 'c1' 'Doe' 'Jane' '0301234' '+49 30 1234' none"));
}

TEST_F(KorvanTest, ContactWithoutPictureFields)
{
    Receive(Indication(35, TBytes().Text("id")));
    EXPECT_EQ(events, QStringList({"OnGContact 'id' '' '' '' '' none"}));
}

// --- Picture decoding -------------------------------------------------------

struct TPictureCase {
    const char* label;
    Bytes bytes;
    int width; // 0: no picture
    int height;
};

Bytes Truncated(Bytes bytes, size_t keep)
{
    bytes.resize(std::min(bytes.size(), keep));
    return bytes;
}

Bytes Damaged(Bytes bytes, size_t at)
{
    for (size_t i = at; i < bytes.size() && i < at + 16; ++i)
        bytes[i] ^= 0x5A;
    return bytes;
}

std::vector<TPictureCase> PictureCases()
{
    const Bytes jpeg = EncodeJpeg(24, 16);
    const Bytes png = EncodePng(24, 16);
    return {
        {"Jpeg", jpeg, 24, 16},
        {"Png", png, 24, 16},
        {"LargestJpeg", EncodeJpeg(4096, 1), 4096, 1},
        {"LargestPng", EncodePng(1, 4096), 1, 4096},
        {"JpegTooWide", EncodeJpeg(4097, 1), 0, 0},
        {"PngTooHigh", EncodePng(1, 4097), 0, 0},
        {"JpegTruncated", Truncated(jpeg, jpeg.size() / 2), 0, 0},
        {"JpegHeaderOnly", Truncated(jpeg, 20), 0, 0},
        {"PngTruncated", Truncated(png, png.size() / 2), 0, 0},
        {"PngWithoutEnd", Truncated(png, png.size() - 12), 24, 16}, // all pixels there, only IEND missing
        {"PngSignatureOnly", Truncated(png, 8), 0, 0},
        {"PngDamagedHeader", Damaged(png, 16), 0, 0},
        {"NeitherFormat", Bytes(64, 0x42), 0, 0},
        {"TwoBytes", Bytes{0xFF, 0xD8}, 0, 0},
    };
}

class ContactPicture : public ::testing::TestWithParam<TPictureCase> {};

TEST_P(ContactPicture, DecodesOrRefuses)
{
    const TPictureCase& c = GetParam();
    const std::optional<TBitmap> bitmap = DecodeContactPicture(c.bytes.data(), c.bytes.size());
    if (c.width == 0) {
        EXPECT_FALSE(bitmap.has_value());
        return;
    }
    ASSERT_TRUE(bitmap.has_value());
    EXPECT_EQ(bitmap->Width, c.width);
    EXPECT_EQ(bitmap->Height, c.height);
    EXPECT_EQ(bitmap->Pixels.size(), size_t(c.width) * size_t(c.height));
}

INSTANTIATE_TEST_SUITE_P(Korvan, ContactPicture, ::testing::ValuesIn(PictureCases()),
                         [](const ::testing::TestParamInfo<TPictureCase>& param) {
                             return std::string(param.param.label);
                         });

TEST(ContactPictureHeader, ClaimedHugeDimensionsAreRefusedBeforeDecoding)
{
    // A PNG whose header claims 100000 x 100000 pixels (10^10 pixels).
    Bytes png = EncodePng(1, 1);
    auto put32 = [&png](size_t at, uint32_t value) {
        for (int i = 0; i < 4; ++i)
            png[at + size_t(i)] = uint8_t(value >> (24 - 8 * i));
    };
    put32(16, 100000);
    put32(20, 100000);
    EXPECT_FALSE(DecodeContactPicture(png.data(), png.size()).has_value());
}

// --- Confirmations ------------------------------------------------------------

Bytes Confirmation(uint8_t kind, const TBytes& parameters = {}, uint32_t manufacturer = 0x56524F4B)
{
    return Korvan(0x81, 9, kind, parameters, manufacturer);
}

struct TFormatCase {
    const char* label;
    TBytes parameters;
    bool linear;
    uint16_t rate;
    uint32_t block;
};

class KorvanAudioFormat : public KorvanTest, public ::testing::WithParamInterface<TFormatCase> {};

TEST_P(KorvanAudioFormat, SetsFormatAndBlockSize)
{
    const TFormatCase& c = GetParam();
    const size_t putsBefore = VsimPutCount();
    Receive(Confirmation(5, c.parameters));
    EXPECT_EQ(capi->LinearPCMData(), c.linear);
    EXPECT_EQ(capi->SampleRate(), c.rate);
    EXPECT_EQ(capi->PcmBlockSize(), c.block);
    EXPECT_EQ(events, QStringList({"OnInfo 201 A004 ''"}));
    EXPECT_EQ(VsimPutCount(), putsBefore); // a confirmation is not answered
}

INSTANTIATE_TEST_SUITE_P(
    Korvan, KorvanAudioFormat,
    ::testing::Values(TFormatCase{"ShortFormatIsLinear8k", TBytes().Byte(2).Byte(0).Word(16000), true, 8000, 224},
                      TFormatCase{"NoFormatBytes", TBytes(), true, 8000, 224},
                      TFormatCase{"Linear16k", TBytes().Byte(3).Byte(1).Word(16000), true, 16000, 480},
                      TFormatCase{"Companded16k", TBytes().Byte(3).Byte(0).Word(16000), false, 16000, 480},
                      TFormatCase{"RateBelow8kIsRaised", TBytes().Byte(3).Byte(1).Word(4000), true, 8000, 224},
                      TFormatCase{"Rate11025", TBytes().Byte(4).Byte(1).Word(11025), true, 11025, 320},
                      TFormatCase{"HighestRate", TBytes().Byte(3).Byte(1).Word(65535), true, 65535, 1952}),
    [](const ::testing::TestParamInfo<TFormatCase>& param) { return std::string(param.param.label); });

TEST_F(KorvanTest, ConfirmationTextAndOtherKinds)
{
    Receive(Confirmation(9, TBytes().Text("ready")));
    Receive(Confirmation(7, TBytes().Text("ignored")));
    Receive(Confirmation(5, TBytes().Byte(3).Byte(0).Word(16000), 0x214D5641)); // 'AVM!'
    EXPECT_EQ(events, QStringList({"OnInfo 201 A001 'ready'"}));
    EXPECT_FALSE(capi->LinearPCMData());
    EXPECT_EQ(capi->SampleRate(), 8000);
}

TEST_F(KorvanTest, OpenDeviceResetsTheAudioFormat)
{
    Receive(Confirmation(5, TBytes().Byte(3).Byte(1).Word(16000)));
    capi->CloseDevice();
    ASSERT_TRUE(Open());
    EXPECT_FALSE(capi->LinearPCMData());
    EXPECT_EQ(capi->SampleRate(), 8000);
}

} // namespace
