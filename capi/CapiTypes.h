#pragma once
// Value types of the CAPI component: call types, info masks, call states,
// the controller profile, VoIP statistics and contact pictures.

#include <QString>
#include <cstdint>
#include <vector>

enum class TCIPType : uint8_t { CIPVoice, CIPData_X75, CIPFax, CIPMsg };

enum class TCIPMask : uint8_t { Telephony, Fax_G2_G3, Data_64, Data_56, Fax_G4, Data_Standard, Msg };

enum class TInfoMask : uint8_t {
    Cause, DateTime, Display, UserUser, Progression, FacilityInfo, Charging,
    CalledNumber, ChannelInfo, EarlyB3Connect, RedirectionInfo, SendingComplete
};

enum class TCallStatus : uint8_t {
    IDLE, Listening, ConnectNotify, Connected, DisconnectNotify, HoldConfirm, HoldReject,
    RetrieveConfirm, SuspendNotify, ResumeNotify, HoldNotify, RetrieveNotify, BeginConference,
    GetSupplementServicesNotify, TransferAlertedNotify, TransferActiveNotify, DivertingNotify
};

// A set over an enumeration, stored as bit n = element n in Storage (one byte
// for TCIPMasks, a 16-bit word for TInfoMasks, as they are kept with a form).
template <typename Element, typename Storage>
class TEnumSet {
public:
    constexpr TEnumSet() = default;
    constexpr TEnumSet(std::initializer_list<Element> elements)
    {
        for (Element element : elements)
            m_bits = Storage(m_bits | Bit(element));
    }
    static constexpr TEnumSet FromBits(Storage bits)
    {
        TEnumSet set;
        set.m_bits = bits;
        return set;
    }
    constexpr Storage Bits() const { return m_bits; }
    constexpr bool Contains(Element element) const { return (m_bits & Bit(element)) != 0; }
    constexpr bool IsEmpty() const { return m_bits == 0; }
    constexpr void Include(Element element) { m_bits = Storage(m_bits | Bit(element)); }
    constexpr void Exclude(Element element) { m_bits = Storage(m_bits & ~Bit(element)); }
    constexpr bool operator==(const TEnumSet&) const = default;

private:
    static constexpr Storage Bit(Element element) { return Storage(Storage(1) << unsigned(element)); }
    Storage m_bits = 0;
};

using TCIPMasks = TEnumSet<TCIPMask, uint8_t>;
using TInfoMasks = TEnumSet<TInfoMask, uint16_t>;

// The profile of one controller as CAPI_GET_PROFILE reports it.
struct TControllerProfile {
    uint16_t BChannels = 0;
    bool InternalController = false;
    bool ExternalEquipment = false;
    bool Handset = false;
    bool DTMF = false;
    bool SupplementaryServices = false;
    bool ChannelAllocation = false;
    bool GlobalOptionBit7 = false;
    bool GlobalOptionBit9 = false;
    uint32_t GlobalOptions = 0;
    uint32_t B1Protocols = 0;
    uint32_t B2Protocols = 0;
    uint32_t B3Protocols = 0;

    bool operator==(const TControllerProfile&) const = default;
};

// Call statistics of a VoIP driver, passed on as the driver sends them.
struct TVoIPStatistics {
    uint32_t Value1 = 0;
    uint32_t Value2 = 0;
    float Value3 = 0;
    uint32_t Value4 = 0;
    uint32_t Value5 = 0;
    uint32_t Value6 = 0;
    uint32_t Value7 = 0;
    uint32_t Value8 = 0;
    bool Value9 = false;
    uint8_t Value10 = 0;
    float Value11 = 0;
    uint32_t Value12 = 0;
    uint32_t Value13 = 0;
    QString Text;
};

// A decoded picture (contact photos): 32-bit ARGB pixels, row by row. Kept
// free of GUI types so that the component needs QtCore only.
struct TBitmap {
    int Width = 0;
    int Height = 0;
    std::vector<uint32_t> Pixels;
};
