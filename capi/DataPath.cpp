// TCapi20: the B-channel data path — DATA_B3 requests with their data handles
// and send FIFO, the handling of DATA_B3_CONF and DATA_B3_IND, and the
// silence that keeps a wideband call's outgoing stream filled. With
// DirectInData this runs on the receive thread. DATA_B3 messages are never
// traced: a line per audio block would drown every other line.
//
// On this 64-bit host DATA_B3_REQ and DATA_B3_IND carry the data pointer as
// a 64-bit value behind Flags (Length 30); the 32-bit Data field is 0.

#include "TFCapi20.h"

#include "CapiMessageReader.h"
#include "CapiMessageWriter.h"
#include "DataBuffer.h"

#include <algorithm>
#include <mutex>

namespace {
constexpr uint8_t kDataB3 = 0x86;
constexpr uint8_t kRequest = 0x80;
constexpr uint8_t kConfirmation = 0x81;
constexpr uint8_t kIndication = 0x82;
constexpr uint8_t kResponse = 0x83;

constexpr uint8_t kNoHandle = 255;
constexpr uint8_t kSlots = 7;
constexpr uint32_t kSendFifoCapacity = 16384;
// A buffered request is dropped when more than this many blocks wait.
constexpr uint32_t kBacklogBlocks = 3;
constexpr uint16_t kMaxDriverBlock = 2048;
// Indications this short carry no data at all; shorter than the 64-bit
// form they carry no pointer this host can use.
constexpr uint16_t kShortestIndication = 22;
constexpr uint16_t kIndicationWith64BitData = 30;

// One process-wide block of silence, zero from the start.
constexpr uint32_t kSilenceSize = 12284;
const uint8_t kSilence[kSilenceSize] = {};

uint8_t PlciNumber(uint32_t ncci)
{
    return uint8_t(ncci >> 8);
}
} // namespace

uint8_t TCapi20::AllocDataHandle(uint8_t plci)
{
    std::lock_guard<TCallTableLock> locker(m_calls.Lock());
    TCallRecord& record = m_calls[plci];
    const uint8_t inUse = DataHandlesInUse(plci);
    const uint8_t start = record.NextSlot % kSlots;
    uint8_t slot = start;
    do {
        // A single slot whose confirmation never came must not block the
        // connection: it is handed out again.
        if (!record.SlotInUse[slot] || inUse == 1) {
            record.SlotInUse[slot] = true;
            record.NextSlot = uint8_t((slot + 1) % kSlots);
            return slot;
        }
        slot = uint8_t((slot + 1) % kSlots);
    } while (slot != start);
    return kNoHandle;
}

uint8_t TCapi20::DataHandlesInUse(uint8_t plci)
{
    std::lock_guard<TCallTableLock> locker(m_calls.Lock());
    const auto& inUse = m_calls[plci].SlotInUse;
    return uint8_t(std::count(inUse.begin(), inUse.end(), true));
}

void TCapi20::FreeDataHandle(uint8_t plci, uint8_t handle)
{
    std::lock_guard<TCallTableLock> locker(m_calls.Lock());
    if (handle < kSlots)
        m_calls[plci].SlotInUse[handle] = false;
}

uint16_t TCapi20::DataB3Request(uint32_t ncci, const void* data, bool direct, bool dropWhenBacklogged,
                                uint16_t length)
{
    if (!CapiLoaded() || ncci < 0xFFFF)
        return 1;
    const uint8_t plci = PlciNumber(ncci);
    // Held to the put, so that the blocks of one call reach the driver in the
    // order they left the FIFO, whichever thread sends them.
    std::lock_guard<TCallTableLock> locker(m_calls.Lock());
    TCallRecord& record = m_calls[plci];
    const uint8_t handle = AllocDataHandle(plci);
    const bool haveHandle = handle != kNoHandle;
    if (!record.SendFifo)
        record.SendFifo = std::make_unique<TDataBufferFIFO>(kSendFifoCapacity);
    TDataBufferFIFO& fifo = *record.SendFifo;

    const uint8_t* block = static_cast<const uint8_t*>(data);
    if (!direct && (BufferOutData() || !haveHandle || fifo.Count() > 0)) {
        const uint32_t blockSize = m_audioFormat.PcmBlockSize();
        bool rejected = dropWhenBacklogged && (!haveHandle || fifo.Count() > kBacklogBlocks * blockSize);
        if (!rejected && length != 0 && data != nullptr)
            rejected = !fifo.PutData(data, length, true);
        if (rejected) {
            FreeDataHandle(plci, handle);
            return 1;
        }
        if (!haveHandle)
            return 1; // waits in the FIFO for the next DATA_B3_CONF
        length = uint16_t(std::min(blockSize, fifo.Count()));
        block = fifo.GetData(length, true);
    }
    if (!haveHandle)
        return 1;
    // Nothing to send: an empty block would only cost the driver a round trip.
    if (length == 0 || block == nullptr) {
        FreeDataHandle(plci, handle);
        return 1;
    }
    if (!LinearPCMData())
        length = std::min(length, kMaxDriverBlock);

    TCapiMessageWriter writer;
    writer.Init(uint16_t(ApplID()), kDataB3, kRequest, NextMessageNumber());
    writer.AddDword(ncci);
    writer.AddDword(0); // 32-bit Data: unused on this host
    writer.AddWord(length);
    writer.AddWord(handle);
    writer.AddWord(0); // Flags
    writer.AddQword(reinterpret_cast<uintptr_t>(block));
    const uint16_t info = PutCapiMessage(ApplID(), writer.Message());
    if (info != 0)
        FreeDataHandle(plci, handle);
    return info;
}

uint16_t TCapi20::DataB3Response(uint32_t ncci, uint16_t dataHandle, uint16_t messageNumber)
{
    if (!CapiLoaded())
        return 1;
    TCapiMessageWriter writer;
    writer.Init(uint16_t(ApplID()), kDataB3, kResponse, messageNumber);
    writer.AddDword(ncci);
    writer.AddWord(dataHandle);
    return PutCapiMessage(ApplID(), writer.Message());
}

// Runs on the receive thread with DirectInData, else on the dispatcher's.
void TCapi20::DataB3Handler(const uint8_t* message)
{
    if (BeingDestroyed())
        return;
    if (message[5] == kConfirmation)
        DataB3Confirmation(message);
    else if (message[5] == kIndication)
        DataB3Indication(message);
}

void TCapi20::DataB3Confirmation(const uint8_t* message)
{
    TCapiMessageReader reader;
    reader.Bind(message);
    const uint32_t ncci = reader.ReadDword();
    const uint16_t handle = reader.ReadWord();
    if (handle >= kSlots)
        return;
    const uint8_t plci = PlciNumber(ncci);
    std::lock_guard<TCallTableLock> locker(m_calls.Lock());
    TCallRecord& record = m_calls[plci];
    record.SlotInUse[handle] = false;
    if (record.SendFifo && record.SendFifo->Count() > 0)
        DataB3Request(ncci, nullptr, false, false, 0);
}

void TCapi20::DataB3Indication(const uint8_t* message)
{
    TCapiMessageReader reader;
    reader.Bind(message);
    const uint32_t ncci = reader.ReadDword();
    reader.ReadDword(); // 32-bit Data: not a pointer on this host
    uint16_t size = reader.ReadWord();
    const uint16_t handle = reader.ReadWord();
    reader.ReadWord(); // Flags
    const uint64_t pointer = reader.ReadQword();

    const uint8_t* data = nullptr;
    if (reader.MessageLength() >= kIndicationWith64BitData)
        data = reinterpret_cast<const uint8_t*>(uintptr_t(pointer));
    if (reader.MessageLength() < kShortestIndication || data == nullptr)
        size = 0;
    // An empty block says nothing about the peer's block size; taking it
    // would stall the send FIFO at blocks of 0 bytes.
    if (size > 0)
        m_audioFormat.SetPcmBlockSize(size);

    if (OnData && data != nullptr) {
        uint16_t given = size;
        if (!LinearPCMData())
            given = uint16_t(std::min<uint32_t>(given, m_b3BlockSize));
        std::lock_guard<std::mutex> dataLocker(m_dataLock);
        OnData(ncci, data, given);
    }

    SendWidebandSilence(ncci, size);
    DataB3Response(ncci, handle, reader.MessageNumber());
}

// A wideband call always has about two blocks in flight, each the size of the
// last received one, silence when the application sends nothing.
void TCapi20::SendWidebandSilence(uint32_t ncci, uint16_t size)
{
    if (!Wideband())
        return;
    const uint8_t plci = PlciNumber(ncci);
    {
        std::lock_guard<TCallTableLock> locker(m_calls.Lock());
        if (!m_calls[plci].WidebandCall || DataHandlesInUse(plci) > 1)
            return;
    }
    size = uint16_t(std::min<uint32_t>(size, kSilenceSize));
    DataB3Request(ncci, kSilence, false, false, size);
    if (DataHandlesInUse(plci) == 1)
        DataB3Request(ncci, kSilence, false, false, size);
}
