#include "CallTable.h"
#include "TFCapi20.h"

#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <thread>

namespace {

TEST(CallTable, PlciAndNcciOfOneCallSelectTheSameRecord)
{
    TCallTable table;
    table.Call(0x00000101)->Connected = true; // PLCI 1 on controller 1
    EXPECT_TRUE(table.Call(0x00010101)->Connected); // its first NCCI
    EXPECT_TRUE(table.Call(0xFFFF0181)->Connected); // any NCCI, handset bit in the controller
    EXPECT_FALSE(table.Call(0x00000201)->Connected);
    EXPECT_FALSE(table.Call(0x00000001)->Connected); // a controller is record 0
    EXPECT_EQ(TCallTable::Index(0x1234FF01), 0xFF);
}

TEST(CallTable, ReleaseZeroesTheRecordAndFreesItsFifo)
{
    TCallTable table;
    {
        TCallTable::TLockedCall call = table.Call(0x0301);
        call->IncomingCall = call->B3Active = call->WidebandCall = call->Connected = true;
        call->NextSlot = 4;
        call->SlotInUse = {true, false, true, false, false, false, true};
        call->SendFifo = std::make_unique<TDataBufferFIFO>(16384);
        call->PendingTransfer = 0x0201;
    }
    table.Call(0x0401)->Connected = true;
    table.Release(0x00020301);
    const TCallTable::TLockedCall call = table.Call(0x0301);
    EXPECT_FALSE(call->IncomingCall || call->B3Active || call->WidebandCall || call->Connected);
    EXPECT_EQ(call->NextSlot, 0);
    EXPECT_EQ(call->SlotInUse, (std::array<bool, 7>{}));
    EXPECT_EQ(call->SendFifo, nullptr);
    EXPECT_EQ(call->PendingTransfer, 0u);
    EXPECT_TRUE(table.Call(0x0401)->Connected) << "another call is left alone";
}

TEST(CallTable, ClearSlotsFreesOnlyTheDataHandles)
{
    TCallTable table;
    table.Call(0x0501)->SlotInUse.fill(true);
    table.Call(0x0501)->NextSlot = 3;
    table.Call(0x0501)->B3Active = true;
    table.ClearSlots(0x00010501);
    EXPECT_EQ(table.Call(0x0501)->SlotInUse, (std::array<bool, 7>{}));
    EXPECT_EQ(table.Call(0x0501)->NextSlot, 3);
    EXPECT_TRUE(table.Call(0x0501)->B3Active);
}

TEST(CallTable, ClearReleasesEveryRecord)
{
    TCallTable table;
    for (uint32_t plci : {0x0001u, 0x8001u, 0xFF01u}) {
        table.Call(plci)->Connected = true;
        table.Call(plci)->SendFifo = std::make_unique<TDataBufferFIFO>(16);
    }
    table.Clear();
    for (uint32_t plci : {0x0001u, 0x8001u, 0xFF01u}) {
        EXPECT_FALSE(table.Call(plci)->Connected);
        EXPECT_EQ(table.Call(plci)->SendFifo, nullptr);
    }
}

TEST(CallTable, ALockedCallHoldsTheLockAndTheLockIsReentrant)
{
    TCallTable table;
    EXPECT_FALSE(table.Lock().HeldByThisThread());
    {
        TCallTable::TLockedCall outer = table.Call(0x0101);
        // The same thread may take it again (the data path does so when a
        // confirmation sends the next block).
        table.Call(0x0201)->Connected = true;
        table.ClearSlots(0x0101);
        EXPECT_TRUE(table.Lock().HeldByThisThread()) << "still held after the inner ones went";
        bool otherGotIt = true;
        bool otherHolds = true;
        std::thread other([&] {
            otherHolds = table.Lock().HeldByThisThread();
            otherGotIt = table.Lock().try_lock();
            if (otherGotIt)
                table.Lock().unlock();
        });
        other.join();
        EXPECT_FALSE(otherGotIt);
        EXPECT_FALSE(otherHolds);
    }
    EXPECT_FALSE(table.Lock().HeldByThisThread());
}

// Two threads changing one record through the table: run under
// ThreadSanitizer, this shows that the lock covers every access.
TEST(CallTable, TwoThreadsShareARecordWithoutARace)
{
    TCallTable table;
    constexpr int kRounds = 2000;
    std::thread receiver([&] {
        for (int i = 0; i < kRounds; ++i) {
            TCallTable::TLockedCall call = table.Call(0x00010101);
            call->SlotInUse[size_t(i % 7)] = !call->SlotInUse[size_t(i % 7)];
            call->Connected = true;
        }
    });
    for (int i = 0; i < kRounds; ++i) {
        table.ClearSlots(0x0101);
        table.Call(0x0101)->B3Active = (i % 2) == 0;
        if (i % 100 == 0)
            table.Release(0x0101);
    }
    receiver.join();
    table.Release(0x0101);
    EXPECT_FALSE(table.Call(0x0101)->Connected);
}

// The data path numbers its requests on the receive thread while the main
// thread numbers its own: no number may be handed out twice.
TEST(MessageNumbers, TwoThreadsNeverGetTheSameNumber)
{
    TCapi20 capi;
    constexpr int kEach = 4000;
    std::vector<uint16_t> first, second;
    std::thread other([&] {
        for (int i = 0; i < kEach; ++i)
            second.push_back(capi.NextMessageNumber());
    });
    for (int i = 0; i < kEach; ++i)
        first.push_back(capi.NextMessageNumber());
    other.join();
    std::set<uint16_t> all(first.begin(), first.end());
    all.insert(second.begin(), second.end());
    EXPECT_EQ(all.size(), size_t(2 * kEach));
    EXPECT_EQ(all.count(129), 0u);
    EXPECT_EQ(all.count(130), 0u);
}

} // namespace
