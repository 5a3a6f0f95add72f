#pragma once
// The KORVAN driver's own messages, played by the simulated card when its
// manufacturer text names KORVAN and it is not scripted: each application it
// registers is told its accounts' registration states, a short message, call
// statistics and two contacts with pictures (a JPEG and a PNG, by their
// 64-bit address, as a driver on a 64-bit host hands them over).

#include <cstdint>
#include <map>
#include <mutex>
#include <set>

namespace vsim {

class TKorvanExtras {
public:
    static TKorvanExtras& Instance();

    void Registered(uint32_t applId);
    // True when the answer is one to these messages; it is then consumed.
    bool Answered(uint32_t applId, uint16_t messageNumber);
    void Released(uint32_t applId);
    void Reset();

private:
    TKorvanExtras() = default;

    std::mutex m_lock;
    std::map<uint32_t, std::set<uint16_t>> m_open; // per application, numbers awaiting an answer
};

} // namespace vsim
