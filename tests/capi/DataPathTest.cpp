#include "CapiTestSupport.h"

#include <QMutex>

#include <atomic>
#include <chrono>
#include <cstring>
#include <numeric>
#include <thread>

namespace {

constexpr uint32_t kNcci = 0x00010101; // PLCI number 1
constexpr uint8_t kPlci = 1;

void PutWord(std::vector<uint8_t>& bytes, uint16_t value)
{
    bytes.push_back(uint8_t(value));
    bytes.push_back(uint8_t(value >> 8));
}

void PutDword(std::vector<uint8_t>& bytes, uint32_t value)
{
    PutWord(bytes, uint16_t(value));
    PutWord(bytes, uint16_t(value >> 16));
}

uint16_t Word(const std::vector<uint8_t>& m, size_t at)
{
    return uint16_t(m[at] | m[at + 1] << 8);
}

uint32_t Dword(const std::vector<uint8_t>& m, size_t at)
{
    return uint32_t(Word(m, at)) | uint32_t(Word(m, at + 2)) << 16;
}

uint64_t Qword(const std::vector<uint8_t>& m, size_t at)
{
    return uint64_t(Dword(m, at)) | uint64_t(Dword(m, at + 4)) << 32;
}

std::vector<uint8_t> DataB3Conf(uint16_t handle, uint32_t ncci = kNcci)
{
    std::vector<uint8_t> p;
    PutDword(p, ncci);
    PutWord(p, handle);
    PutWord(p, 0);
    return Message(0x86, 0x81, 1, p);
}

// A DATA_B3_IND in the 64-bit form, cut to length octets.
std::vector<uint8_t> DataB3Ind(const uint8_t* data, uint16_t size, uint16_t handle, uint16_t number,
                               size_t length = 30)
{
    std::vector<uint8_t> p;
    PutDword(p, kNcci);
    PutDword(p, 0);
    PutWord(p, size);
    PutWord(p, handle);
    PutWord(p, 0);
    const uint64_t pointer = reinterpret_cast<uintptr_t>(data);
    PutDword(p, uint32_t(pointer));
    PutDword(p, uint32_t(pointer >> 32));
    p.resize(length - 8);
    return Message(0x86, 0x82, number, p);
}

std::vector<uint8_t> Put(uint32_t index)
{
    std::vector<uint8_t> bytes(64);
    bytes.resize(VsimGetPut(index, bytes.data(), uint32_t(bytes.size())));
    return bytes;
}

// The DATA_B3_REQs put since the start, as (handle, octets).
struct TBlock {
    uint16_t Handle;
    std::vector<uint8_t> Octets;
};

class DataPath : public SimCapiTest {
protected:
    void SetUp() override
    {
        SimCapiTest::SetUp();
        ASSERT_TRUE(OpenQuietly());
        m_firstPut = VsimPutCount();
        for (int i = 0; i < 4000; ++i)
            m_pattern.push_back(uint8_t(i * 7 + i / 256));
    }

    // Blocks put since SetUp; the data is read where the request pointed,
    // which stays valid until the FIFO is written again.
    std::vector<TBlock> Blocks()
    {
        std::vector<TBlock> blocks;
        for (uint32_t i = m_firstPut; i < VsimPutCount(); ++i) {
            const std::vector<uint8_t> m = Put(i);
            if (m.size() < 8 || m[4] != 0x86 || m[5] != 0x80)
                continue;
            EXPECT_EQ(m.size(), 30u);
            EXPECT_EQ(Word(m, 0), 30);
            EXPECT_EQ(Dword(m, 8), kNcci);
            EXPECT_EQ(Dword(m, 12), 0u); // the 32-bit Data field
            EXPECT_EQ(Word(m, 20), 0);   // Flags
            const auto* data = reinterpret_cast<const uint8_t*>(uintptr_t(Qword(m, 22)));
            blocks.push_back({Word(m, 18), std::vector<uint8_t>(data, data + Word(m, 16))});
        }
        return blocks;
    }

    std::vector<std::vector<uint8_t>> Responses()
    {
        std::vector<std::vector<uint8_t>> responses;
        for (uint32_t i = m_firstPut; i < VsimPutCount(); ++i) {
            std::vector<uint8_t> m = Put(i);
            if (m.size() >= 8 && m[4] == 0x86 && m[5] == 0x83)
                responses.push_back(m);
        }
        return responses;
    }

    // Injects a message and waits until the receive thread has answered or sent.
    void InjectAndWaitForPuts(const std::vector<uint8_t>& message, uint32_t puts)
    {
        Inject(message);
        ASSERT_TRUE(PumpUntil([&] { return VsimPutCount() >= m_firstPut + puts; }));
    }

    std::vector<uint8_t> Pattern(size_t from, size_t count)
    {
        return std::vector<uint8_t>(m_pattern.begin() + long(from), m_pattern.begin() + long(from + count));
    }

    uint32_t m_firstPut = 0;
    std::vector<uint8_t> m_pattern;
};

TEST_F(DataPath, BufferedRequestIsSentInPcmBlocksOnePerConfirmation)
{
    EXPECT_EQ(capi->DataB3Request(kNcci, m_pattern.data(), false, false, 1000), 0);
    std::vector<TBlock> blocks = Blocks();
    ASSERT_EQ(blocks.size(), 1u);
    EXPECT_EQ(blocks[0].Handle, 0);
    EXPECT_EQ(blocks[0].Octets, Pattern(0, 240));
    for (uint16_t n = 1; n < 5; ++n)
        InjectAndWaitForPuts(DataB3Conf(uint16_t(n - 1)), n + 1);
    blocks = Blocks();
    ASSERT_EQ(blocks.size(), 5u);
    for (size_t n = 0; n < 4; ++n) {
        EXPECT_EQ(blocks[n].Handle, n);
        EXPECT_EQ(blocks[n].Octets, Pattern(n * 240, 240)) << n;
    }
    EXPECT_EQ(blocks[4].Octets, Pattern(960, 40));
    // The FIFO is empty now: a further confirmation sends nothing.
    Inject(DataB3Conf(4));
    ASSERT_TRUE(PumpUntil([&] { return capi->DataHandlesInUse(kPlci) == 0; }));
    EXPECT_EQ(Blocks().size(), 5u);
    EXPECT_TRUE(lines.CapiLines().isEmpty()); // DATA_B3 is never traced
}

TEST_F(DataPath, WithAllSevenHandlesInFlightTheDataWaitsForAConfirmation)
{
    for (int n = 0; n < 7; ++n)
        ASSERT_EQ(capi->DataB3Request(kNcci, m_pattern.data(), true, false, 10), 0);
    EXPECT_EQ(capi->DataHandlesInUse(kPlci), 7);
    EXPECT_EQ(capi->AllocDataHandle(kPlci), 255);
    EXPECT_EQ(capi->DataB3Request(kNcci, m_pattern.data() + 100, false, false, 50), 1);
    EXPECT_EQ(Blocks().size(), 7u);
    InjectAndWaitForPuts(DataB3Conf(2), 8);
    const std::vector<TBlock> blocks = Blocks();
    ASSERT_EQ(blocks.size(), 8u);
    EXPECT_EQ(blocks[7].Handle, 2);
    EXPECT_EQ(blocks[7].Octets, Pattern(100, 50));
    EXPECT_EQ(capi->DataHandlesInUse(kPlci), 7);
}

TEST_F(DataPath, DropWhenBackloggedStoresNothingAndFreesItsHandle)
{
    // The driver refuses the first block: 760 of 1000 bytes stay queued.
    VsimSetResult(VsimPutMessage, 0x2001);
    EXPECT_EQ(capi->DataB3Request(kNcci, m_pattern.data(), false, false, 1000), 0x2001);
    VsimSetResult(VsimPutMessage, 0);
    EXPECT_EQ(capi->DataHandlesInUse(kPlci), 0); // a refusal frees the slot at once
    EXPECT_EQ(capi->DataB3Request(kNcci, m_pattern.data(), false, true, 10), 1);
    EXPECT_EQ(capi->DataHandlesInUse(kPlci), 0);
    EXPECT_TRUE(Blocks().empty());
    // Without the backlog rule the same block goes into the FIFO and one block is sent.
    EXPECT_EQ(capi->DataB3Request(kNcci, m_pattern.data() + 1000, false, false, 10), 0);
    const std::vector<TBlock> blocks = Blocks();
    ASSERT_EQ(blocks.size(), 1u);
    EXPECT_EQ(blocks[0].Octets, Pattern(240, 240));
}

TEST_F(DataPath, DropWhenBackloggedWithoutAHandle)
{
    for (int n = 0; n < 7; ++n)
        ASSERT_EQ(capi->DataB3Request(kNcci, m_pattern.data(), true, false, 10), 0);
    EXPECT_EQ(capi->DataB3Request(kNcci, m_pattern.data(), false, true, 10), 1);
    Inject(DataB3Conf(0));
    ASSERT_TRUE(PumpUntil([&] { return capi->DataHandlesInUse(kPlci) == 6; }));
    EXPECT_EQ(Blocks().size(), 7u); // nothing was stored to send
}

TEST_F(DataPath, ConfirmationWithHandleAbove6ChangesNothing)
{
    ASSERT_EQ(capi->DataB3Request(kNcci, m_pattern.data(), true, false, 10), 0);
    ASSERT_EQ(capi->AllocDataHandle(2), 0);
    Inject(DataB3Conf(9));
    Inject(DataB3Conf(0, 0x00010201)); // another call's: handled after the first
    ASSERT_TRUE(PumpUntil([&] { return capi->DataHandlesInUse(2) == 0; }));
    EXPECT_EQ(capi->DataHandlesInUse(kPlci), 1);
}

TEST_F(DataPath, HandlesRotateAndASingleStuckSlotIsHandedOutAgain)
{
    for (uint8_t n = 0; n < 4; ++n)
        EXPECT_EQ(capi->AllocDataHandle(kPlci), n);
    for (uint16_t n = 0; n < 3; ++n)
        Inject(DataB3Conf(n));
    ASSERT_TRUE(PumpUntil([&] { return capi->DataHandlesInUse(kPlci) == 1; }));
    // Slot 3 is the only one in use; rotation goes on behind it.
    EXPECT_EQ(capi->AllocDataHandle(kPlci), 4);
    EXPECT_EQ(capi->AllocDataHandle(kPlci), 5);
    EXPECT_EQ(capi->AllocDataHandle(kPlci), 6);
    EXPECT_EQ(capi->AllocDataHandle(kPlci), 0);
    EXPECT_EQ(capi->AllocDataHandle(kPlci), 1);
    EXPECT_EQ(capi->AllocDataHandle(kPlci), 2);
    EXPECT_EQ(capi->AllocDataHandle(kPlci), 255);
    // Everything but 3 confirmed, NextSlot at 3: slot 3 again.
    for (uint16_t n : {4, 5, 6, 0, 1, 2})
        Inject(DataB3Conf(n));
    ASSERT_TRUE(PumpUntil([&] { return capi->DataHandlesInUse(kPlci) == 1; }));
    EXPECT_EQ(capi->AllocDataHandle(kPlci), 3);
    EXPECT_EQ(capi->DataHandlesInUse(kPlci), 1);
}

TEST_F(DataPath, RequestsThatAreNoBlocksReturn1)
{
    EXPECT_EQ(capi->DataB3Request(0xFFFE, m_pattern.data(), true, false, 10), 1); // not an NCCI
    EXPECT_EQ(capi->DataB3Request(kNcci, nullptr, false, false, 0), 1);          // nothing stored
    EXPECT_EQ(capi->DataHandlesInUse(kPlci), 0);
    EXPECT_TRUE(Blocks().empty());
    TCapi20 unloaded;
    EXPECT_EQ(unloaded.DataB3Request(kNcci, m_pattern.data(), true, false, 10), 1);
    EXPECT_EQ(unloaded.DataB3Response(kNcci, 1, 1), 1);
}

TEST_F(DataPath, DirectBlocksAreCutTo2048)
{
    EXPECT_EQ(capi->DataB3Request(kNcci, m_pattern.data(), true, false, 3000), 0);
    const std::vector<TBlock> blocks = Blocks();
    ASSERT_EQ(blocks.size(), 1u);
    EXPECT_EQ(blocks[0].Octets, Pattern(0, 2048));
}

struct TIndicationCase {
    const char* Name;
    size_t Length;    // octets of the indication
    uint16_t Size;    // its data length
    bool Data;        // OnData fires
    uint16_t Given;   // size OnData gets
    uint32_t PcmSize; // PCM block size afterwards
};

class Indication : public DataPath, public ::testing::WithParamInterface<TIndicationCase> {};

TEST_P(Indication, IsAnsweredAndPassedOn)
{
    const TIndicationCase& c = GetParam();
    std::vector<uint8_t> received;
    capi->OnData = [&](uint32_t ncci, const uint8_t* data, uint16_t size) {
        EXPECT_EQ(ncci, kNcci);
        received.assign(data, data + size);
    };
    InjectAndWaitForPuts(DataB3Ind(m_pattern.data(), c.Size, 5, 0x0321, c.Length), 1);
    const auto responses = Responses();
    ASSERT_EQ(responses.size(), 1u);
    const std::vector<uint8_t> expected = {14, 0, uint8_t(capi->ApplID()), 0, 0x86, 0x83, 0x21, 0x03,
                                           0x01, 0x01, 0x01, 0x00, 5, 0};
    EXPECT_EQ(responses[0], expected);
    EXPECT_EQ(received, c.Data ? Pattern(0, c.Given) : std::vector<uint8_t>());
    EXPECT_EQ(capi->PcmBlockSize(), c.PcmSize);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Indication,
    ::testing::Values(TIndicationCase{"Block160", 30, 160, true, 160, 160},
                      TIndicationCase{"Block300CutToB3BlockSize", 30, 300, true, 240, 300},
                      TIndicationCase{"ShorterThan22", 21, 160, false, 0, 240},
                      TIndicationCase{"ThirtyTwoBitForm", 22, 160, false, 0, 240},
                      TIndicationCase{"EmptyBlock", 30, 0, true, 0, 240}),
    [](const ::testing::TestParamInfo<TIndicationCase>& p) { return std::string(p.param.Name); });

// A wideband call keeps about two blocks in flight: every indication tops the
// outgoing stream up with silence of the received block's size.
TEST_F(DataPath, WidebandCallIsToppedUpWithSilence)
{
    capi->setWideband(true);
    capi->Calls().Call(kNcci)->WidebandCall = true;
    const auto silence = [](size_t size) { return std::vector<uint8_t>(size, 0); };

    InjectAndWaitForPuts(DataB3Ind(m_pattern.data(), 160, 1, 1), 3);
    auto blocks = Blocks();
    ASSERT_EQ(blocks.size(), 2u) << "nothing in flight: two blocks";
    EXPECT_EQ(blocks[0].Octets, silence(160));
    EXPECT_EQ(blocks[1].Octets, silence(160));
    EXPECT_NE(blocks[0].Handle, blocks[1].Handle);

    InjectAndWaitForPuts(DataB3Ind(m_pattern.data(), 160, 2, 2), 4);
    EXPECT_EQ(Blocks().size(), 2u) << "two in flight: nothing more";

    Inject(DataB3Conf(blocks[0].Handle));
    InjectAndWaitForPuts(DataB3Ind(m_pattern.data(), 80, 3, 3), 6);
    blocks = Blocks();
    ASSERT_EQ(blocks.size(), 3u) << "one in flight: one more, of the new size";
    EXPECT_EQ(blocks[2].Octets, silence(80));
    EXPECT_EQ(Responses().size(), 3u);
}

TEST_F(DataPath, NoSilenceWithoutTheSettingOrOnANarrowbandCall)
{
    for (const bool setting : {false, true}) {
        capi->setWideband(setting);
        capi->Calls().Call(kNcci)->WidebandCall = !setting;
        const uint32_t puts = VsimPutCount() - m_firstPut;
        InjectAndWaitForPuts(DataB3Ind(m_pattern.data(), 160, 1, 1), puts + 1);
        EXPECT_TRUE(Blocks().empty()) << "setting " << setting;
    }
}

// A fatal put while the main thread holds the call table, with the receive
// thread waiting for the table in a DATA_B3_CONF: closing at once would join
// a thread that cannot finish. The close waits until the table is free.
TEST_F(DataPath, FatalPutWhileTheReceiveThreadWaitsForTheTableClosesAfterwards)
{
    {
        std::lock_guard<TCallTableLock> held(capi->Calls().Lock());
        const uint64_t fetched = VsimFetchedCount();
        Inject(DataB3Conf(0));
        while (VsimFetchedCount() == fetched)
            std::this_thread::yield();
        std::this_thread::sleep_for(std::chrono::milliseconds(20)); // now blocked on the table
        VsimSetResult(VsimPutMessage, 0x1105);
        EXPECT_EQ(capi->DataB3Request(kNcci, m_pattern.data(), false, false, 160), 0x1105);
        VsimSetResult(VsimPutMessage, 0);
    }
    EXPECT_TRUE(PumpUntil([&] { return !capi->DeviceOpened(); }));
    EXPECT_TRUE(lines.HasAppLine(QStringLiteral("PutCapiMessage error: 0x1105")));
    EXPECT_TRUE(lines.HasAppLine(QStringLiteral("UnloadCAPI")));
}

// The receive thread streams both ways while the main thread sends blocks
// and answers other messages; run under ThreadSanitizer.
TEST_F(DataPath, StreamsBothWaysWhileTheMainThreadWorks)
{
    VsimSetPutLogLimit(0);
    std::atomic<uint64_t> octets{0};
    capi->OnData = [&](uint32_t, const uint8_t*, uint16_t size) { octets.fetch_add(size); };
    const uint64_t startFetched = VsimFetchedCount();
    constexpr int kRounds = 300;
    for (int n = 0; n < kRounds; ++n) {
        Inject(DataB3Ind(m_pattern.data(), 160, uint16_t(n % 8), uint16_t(n)));
        capi->DataB3Request(kNcci, m_pattern.data(), false, true, 160);
        Inject(DataB3Conf(uint16_t(n % 7)));
        Inject(Message(0x08, 0x82, uint16_t(n), {0x01, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00}));
        capi->NextMessageNumber();
        capi->AllocDataHandle(2);
        if (n % 50 == 0)
            PumpUntil([] { return false; }, 1);
    }
    ASSERT_TRUE(PumpUntil([&] { return VsimFetchedCount() - startFetched == 3u * kRounds; }));
    ASSERT_TRUE(PumpUntil([&] { return capi->RoutedMessages() == uint64_t(kRounds); }));
    ASSERT_TRUE(PumpUntil([&] { return octets.load() == 160u * kRounds; }));
}

} // namespace
