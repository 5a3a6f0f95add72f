#include "KorvanExtras.h"

#include "ContactPictures.h"
#include "SimController.h"

#include <cstring>
#include <string>
#include <vector>

namespace vsim {

namespace {

constexpr uint8_t kManufacturer = 0xFF;
constexpr uint8_t kIndication = 0x82;
constexpr uint8_t kManuKorvan[4] = {0x4B, 0x4F, 0x52, 0x56}; // 'KORV'
constexpr uint32_t kController = 1;
// Numbers of their own, far from the trace's, which start at 0.
constexpr uint16_t kFirstNumber = 0xA000;

constexpr uint8_t kRegistration = 2;
constexpr uint8_t kShortMessage = 9;
constexpr uint8_t kStatistics = 10;
constexpr uint8_t kContact = 35;

class TKorvanMessage {
public:
    explicit TKorvanMessage(uint8_t kind)
    {
        m_bytes.resize(8); // header, filled by Finish
        Dword(kController);
        m_bytes.insert(m_bytes.end(), kManuKorvan, kManuKorvan + 4);
        Byte(kind);
    }
    TKorvanMessage& Byte(uint8_t value)
    {
        m_bytes.push_back(value);
        return *this;
    }
    TKorvanMessage& Dword(uint32_t value)
    {
        for (int i = 0; i < 4; ++i)
            m_bytes.push_back(uint8_t(value >> (8 * i)));
        return *this;
    }
    TKorvanMessage& Text(const std::string& text)
    {
        m_bytes.push_back(uint8_t(text.size()));
        m_bytes.insert(m_bytes.end(), text.begin(), text.end());
        return *this;
    }
    // A contact; the picture's address follows its 32-bit form in full.
    TKorvanMessage& Picture(const uint8_t* picture, uint32_t size)
    {
        const uint64_t address = uint64_t(reinterpret_cast<uintptr_t>(picture));
        return Dword(size).Dword(uint32_t(address)).Dword(uint32_t(address)).Dword(uint32_t(address >> 32));
    }
    std::vector<uint8_t> Finish(uint16_t number)
    {
        const size_t length = m_bytes.size();
        const uint8_t header[8] = {uint8_t(length), uint8_t(length >> 8), 0, 0, kManufacturer, kIndication,
                                   uint8_t(number), uint8_t(number >> 8)};
        std::memcpy(m_bytes.data(), header, sizeof header);
        return m_bytes;
    }

private:
    std::vector<uint8_t> m_bytes;
};

std::vector<TKorvanMessage> Greeting()
{
    std::vector<TKorvanMessage> messages;
    // The account registers: state 1, then 2 with the flag that asks for attention.
    messages.push_back(TKorvanMessage(kRegistration).Byte(1).Text("<4711>").Text("").Byte(0).Byte(1));
    messages.push_back(TKorvanMessage(kRegistration).Byte(2).Text("<4711>").Text("").Byte(1).Byte(1));
    messages.push_back(TKorvanMessage(kShortMessage).Text("Jane Doe").Text("+49301234567").Text("Call me back").Byte(0));
    TKorvanMessage statistics(kStatistics);
    // Packets, losses, jitter in tenths of ms, ..., codec.
    for (uint32_t value : {1500u, 2u, 215u, 12u, 0u, 1500u, 1498u, 2u, 1u, 8u, 45u, 160u, 20u})
        statistics.Dword(value);
    messages.push_back(statistics.Text("G.711 A-law"));
    messages.push_back(TKorvanMessage(kContact)
                           .Text("c1").Text("Doe").Text("Jane").Text("+49301234567").Text("+49 30 1234567")
                           .Picture(kContactJpeg, sizeof kContactJpeg));
    messages.push_back(TKorvanMessage(kContact)
                           .Text("c2").Text("Roe").Text("Richard").Text("0301234").Text("030 1234")
                           .Picture(kContactPng, sizeof kContactPng));
    return messages;
}

bool IsKorvan()
{
    char manufacturer[65] = {};
    TSimController::Instance().GetManufacturer(manufacturer);
    return std::strstr(manufacturer, "KORVAN") != nullptr;
}

} // namespace

TKorvanExtras& TKorvanExtras::Instance()
{
    static TKorvanExtras extras;
    return extras;
}

void TKorvanExtras::Registered(uint32_t applId)
{
    TSimController& sim = TSimController::Instance();
    if (sim.Scripted() || !IsKorvan())
        return;
    uint16_t number = kFirstNumber;
    for (TKorvanMessage& message : Greeting()) {
        const std::vector<uint8_t> bytes = message.Finish(number);
        {
            std::lock_guard<std::mutex> guard(m_lock);
            m_open[applId].insert(number); // before delivery: the answer may come at once
        }
        sim.Deliver(applId, bytes.data(), uint32_t(bytes.size()));
        ++number;
    }
}

bool TKorvanExtras::Answered(uint32_t applId, uint16_t messageNumber)
{
    std::lock_guard<std::mutex> guard(m_lock);
    const auto it = m_open.find(applId);
    return it != m_open.end() && it->second.erase(messageNumber) > 0;
}

void TKorvanExtras::Released(uint32_t applId)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_open.erase(applId);
}

void TKorvanExtras::Reset()
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_open.clear();
}

} // namespace vsim
