#include "CallTable.h"

void TCallTable::ClearSlots(uint32_t plciOrNcci)
{
    Call(plciOrNcci)->SlotInUse = {};
}

void TCallTable::Release(uint32_t plciOrNcci)
{
    *Call(plciOrNcci) = TCallRecord(); // frees the FIFO with the record
}

void TCallTable::Clear()
{
    std::lock_guard<TCallTableLock> locker(m_lock);
    for (TCallRecord& record : m_records)
        record = TCallRecord();
}
