#pragma once
// The call table of TCapi20: one record per PLCI number, selected by bits 8
// to 15 of a PLCI or NCCI. The main thread's handlers and the receive
// thread's data path share the records, so every access goes through a
// TLockedCall, which holds the table's re-entrant lock while it lives.

#include "DataBuffer.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

// The call table's re-entrant lock, which also knows whether the calling
// thread holds it: closing the device joins the receive thread, which may be
// waiting for this lock, so a close asked for while it is held must wait
// until it is given back.
class TCallTableLock {
public:
    void lock()
    {
        m_mutex.lock();
        Enter();
    }
    bool try_lock()
    {
        if (!m_mutex.try_lock())
            return false;
        Enter();
        return true;
    }
    void unlock()
    {
        if (--m_depth == 0)
            m_owner.store(std::thread::id(), std::memory_order_relaxed);
        m_mutex.unlock();
    }
    bool HeldByThisThread() const { return m_owner.load(std::memory_order_relaxed) == std::this_thread::get_id(); }

private:
    void Enter()
    {
        if (m_depth++ == 0)
            m_owner.store(std::this_thread::get_id(), std::memory_order_relaxed);
    }

    std::recursive_mutex m_mutex;
    std::atomic<std::thread::id> m_owner{};
    int m_depth = 0; // changed by the owner only
};

// One call. Zero is the state of a call that does not exist.
struct TCallRecord {
    static constexpr int kSlots = 7;

    bool IncomingCall = false;   // a CONNECT_IND came and no successful CONNECT_CONF followed
    bool B3Active = false;
    uint8_t NextSlot = 0;        // where the search for a free data handle starts
    std::array<bool, kSlots> SlotInUse = {}; // a DATA_B3 block with that handle is in flight
    std::unique_ptr<TDataBufferFIFO> SendFifo; // outgoing bytes waiting to be sent
    bool WidebandCall = false;   // 7 kHz (G.722) audio
    bool Connected = false;
    uint32_t PendingTransfer = 0; // explicit call transfer waiting for the B3 clearing; 0 = none
};

class TCallTable {
public:
    static constexpr size_t kSize = 256;

    // A record with the table locked; the lock is released with this object.
    class TLockedCall {
    public:
        TCallRecord* operator->() const { return m_record; }
        TCallRecord& operator*() const { return *m_record; }

    private:
        friend class TCallTable;
        TLockedCall(TCallTableLock& lock, TCallRecord& record) : m_locker(lock), m_record(&record) {}

        std::unique_lock<TCallTableLock> m_locker;
        TCallRecord* m_record;
    };

    // Record number of a PLCI or NCCI: the PLCI number in bits 8 to 15.
    static constexpr uint8_t Index(uint32_t plciOrNcci) { return uint8_t(plciOrNcci >> 8); }

    // The call of a PLCI or NCCI, locked while the result lives.
    TLockedCall Call(uint32_t plciOrNcci) { return TLockedCall(m_lock, m_records[Index(plciOrNcci)]); }
    // The lock itself, for work that spans several records or a put; re-entrant,
    // and taken before any FIFO's own lock.
    TCallTableLock& Lock() { return m_lock; }

    // The record of a PLCI number, for a caller that holds Lock().
    TCallRecord& operator[](uint8_t plciNumber) { return m_records[plciNumber]; }

    // Frees every data handle of the call.
    void ClearSlots(uint32_t plciOrNcci);
    // Frees the call's FIFO and zeroes its record.
    void Release(uint32_t plciOrNcci);
    // Releases every record.
    void Clear();

private:
    TCallTableLock m_lock;
    std::array<TCallRecord, kSize> m_records;
};
