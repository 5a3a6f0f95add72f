// The B-channel data path of TCapi20 on the simulated driver's receive path:
// DATA_B3 indications and confirmations of every length, requests buffered
// and direct, responses, wideband calls and B3 connections coming and going,
// with one component kept across inputs; and the send FIFO on its own,
// against a plain queue of the bytes it should hold.
//
// The input: one octet of settings (DirectInData, BufferOutData, Wideband),
// then operations, each an octet that names it and the octets it reads.
// Data pointers always point into this target's own buffer: the driver's
// pointers are trusted, their lengths are not.

#include "DataBuffer.h"
#include "FuzzComponent.h"

#include <array>
#include <cstring>
#include <deque>
#include <vector>

namespace {

using fuzz::Check;

// Indications may claim up to 65535 octets: all of them are readable.
std::array<uint8_t, 65536> g_data = [] {
    std::array<uint8_t, 65536> data = {};
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = uint8_t(i * 7 + i / 251);
    return data;
}();

constexpr uint8_t kDataB3 = 0x86;

class TInput {
public:
    TInput(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    bool More() const { return m_at < m_size; }
    uint8_t Byte() { return m_at < m_size ? m_data[m_at++] : 0; }
    uint16_t Word() { return uint16_t(Byte() | Byte() << 8); }
    uint32_t Ncci()
    {
        // Mostly the calls a card would number, now and then anything.
        static constexpr std::array<uint32_t, 3> kNccis = {0x00010101, 0x00020201, 0x0001FF01};
        const uint8_t choice = Byte();
        return choice < 0xF0 ? kNccis[choice % kNccis.size()] : uint32_t(Word()) | uint32_t(Word()) << 16;
    }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_at = 0;
};

struct TMessage {
    std::vector<uint8_t> Bytes;
    void Word(uint16_t value) { Bytes.insert(Bytes.end(), {uint8_t(value), uint8_t(value >> 8)}); }
    void Dword(uint32_t value) { Word(uint16_t(value)), Word(uint16_t(value >> 16)); }
    TMessage(uint8_t command, uint8_t subcommand, uint16_t number)
    {
        Word(0), Word(0);
        Bytes.insert(Bytes.end(), {command, subcommand});
        Word(number);
    }
    // Length as given (clamped to what is there), never past the bytes.
    std::vector<uint8_t>& Finish(size_t length)
    {
        Bytes.resize(std::max<size_t>(8, length), 0);
        Bytes[0] = uint8_t(Bytes.size());
        Bytes[1] = uint8_t(Bytes.size() >> 8);
        return Bytes;
    }
};

std::vector<uint8_t> Indication(TInput& in)
{
    const size_t length = 8 + in.Byte() % 33; // 8 to 40 octets
    TMessage m(kDataB3, 0x82, in.Word());
    m.Dword(in.Ncci());
    m.Dword(0);
    m.Word(in.Word()); // data length
    m.Word(in.Word()); // handle
    m.Word(in.Word()); // flags
    const uint64_t pointer = reinterpret_cast<uintptr_t>(g_data.data());
    m.Dword(uint32_t(pointer));
    m.Dword(uint32_t(pointer >> 32));
    return m.Finish(length);
}

std::vector<uint8_t> Confirmation(TInput& in)
{
    TMessage m(kDataB3, 0x81, in.Word());
    m.Dword(in.Ncci());
    m.Word(in.Word()); // handle
    m.Word(in.Word()); // info
    return m.Finish(8 + in.Byte() % 9);
}

// CONNECT_B3_ACTIVE_IND or DISCONNECT_B3_IND: the FIFO is emptied under way.
std::vector<uint8_t> B3Connection(TInput& in)
{
    const bool active = (in.Byte() & 1) != 0;
    TMessage m(active ? 0x83 : 0x84, 0x82, in.Word());
    m.Dword(in.Ncci());
    if (!active)
        m.Word(in.Word()); // reason
    m.Bytes.push_back(0); // empty NCPI
    return m.Finish(m.Bytes.size());
}

// The FIFO against a queue of the bytes it should hold.
void FifoOperations(TInput& in)
{
    TDataBufferFIFO fifo(1 + in.Byte());
    std::deque<uint8_t> expected;
    uint8_t next = 0;
    for (int n = in.Byte() % 64; n > 0 && in.More(); --n) {
        const uint8_t op = in.Byte();
        const uint32_t count = in.Byte() % (fifo.Capacity() + 8);
        if (op % 3 == 0) {
            std::vector<uint8_t> bytes(count);
            for (uint8_t& b : bytes)
                b = next++;
            if (fifo.PutData(bytes.data(), count, (op & 8) != 0)) {
                Check(expected.size() + count <= fifo.Capacity());
                expected.insert(expected.end(), bytes.begin(), bytes.end());
            }
        } else if (op % 3 == 1) {
            const uint8_t* got = fifo.GetData(count, (op & 8) != 0);
            Check((got != nullptr) == (count <= expected.size()));
            for (uint32_t i = 0; got != nullptr && i < count; ++i) {
                Check(got[i] == expected.front());
                expected.pop_front();
            }
        } else if (op % 7 == 2) {
            fifo.Clear();
            expected.clear();
        }
        Check(fifo.Count() == expected.size());
    }
}

void Configure(TCapi20& capi)
{
    capi.OnConnect = [](uint32_t, uint16_t) {};
    capi.OnB3Active = [](uint32_t, uint16_t) {};
    capi.OnDisconnectB3 = [](uint32_t, uint16_t) {};
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    fuzz::InitializeCard(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    TInput in(data, size);
    TCapi20* capi = fuzz::KeptComponent(&Configure);
    // Changed only here, with every message of the last input handled.
    const uint8_t settings = in.Byte();
    capi->setDirectInData((settings & 1) != 0);
    capi->setBufferOutData((settings & 2) != 0);
    capi->setWideband((settings & 4) != 0);

    const uint32_t applId = capi->ApplID();
    uint64_t routed = capi->RoutedMessages();
    const auto inject = [&](const std::vector<uint8_t>& message) {
        Check(VsimInject(applId, message.data(), uint32_t(message.size())) == 0);
        // DATA_B3 goes straight to its handler on the receive thread.
        if (message[4] != kDataB3 || !capi->DirectInData())
            ++routed;
    };
    for (int operations = 0; in.More() && operations < 64; ++operations) {
        switch (in.Byte() % 8) {
        case 0: inject(Indication(in)); break;
        case 1: inject(Confirmation(in)); break;
        case 2: {
            const uint32_t ncci = in.Ncci();
            const uint8_t flags = in.Byte();
            const uint16_t offset = in.Word();
            const uint16_t length = uint16_t(in.Word() % 4097);
            const uint8_t* block = flags & 4 ? nullptr : g_data.data() + std::min<size_t>(offset, 65536 - 4096);
            capi->DataB3Request(ncci, block, (flags & 1) != 0, (flags & 2) != 0, length);
            break;
        }
        case 3: {
            const uint32_t ncci = in.Ncci();
            const uint16_t handle = in.Word();
            capi->DataB3Response(ncci, handle, in.Word());
            break;
        }
        case 4: capi->Calls().Call(in.Ncci())->WidebandCall = (in.Byte() & 1) != 0; break;
        case 5: inject(B3Connection(in)); break;
        case 6: FifoOperations(in); break;
        case 7: {
            const uint8_t plci = in.Byte();
            const uint8_t handle = capi->AllocDataHandle(plci);
            Check(handle < 7 || handle == 255);
            Check(capi->DataHandlesInUse(plci) <= 7);
            break;
        }
        }
    }
    // A last message for the dispatcher: once it is routed, everything
    // before it was handled, on either thread.
    const std::vector<uint8_t> last = {8, 0, 0, 0, 0x7F, 0x82, 0xFF, 0x7F};
    inject(last);
    // A hang here is a data path that stopped the receive thread.
    Check(fuzz::PumpUntilRouted(*capi, routed));
    // Whatever came in, every request and response that went out is well formed.
    Check(VsimViolationCount() == 0);
    return 0;
}
