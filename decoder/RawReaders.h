#pragma once
// Readers that pick single values out of a Facility element without building
// a tree, for the supplementary-service handling of INFO indications. They
// walk an 8-bit position that wraps at 256 and never compare it with the
// element's length: callers bound their loops themselves.

#include <QString>
#include <array>
#include <cstdint>

// The Facility element as the raw readers see it: 256 octets starting at the
// protocol profile octet. The element's own octets are copied in; the rest of
// the window reads as 0, so a wrapping position can never leave the element.
class TFacilityWindow {
public:
    static constexpr uint32_t kSize = 256;

    TFacilityWindow() = default;
    // Copies at most kSize octets of the element's contents.
    TFacilityWindow(const uint8_t* contents, uint32_t count);

    uint8_t operator[](uint8_t position) const { return m_octets[position]; }
    // Number of window octets that belong to the element (0 to 256).
    uint32_t Count() const { return m_count; }

private:
    std::array<uint8_t, kSize> m_octets{};
    uint32_t m_count = 0;
};

// Index into the window; arithmetic on it wraps modulo 256 by its type.
using TRawPosition = uint8_t;

// A BER length at the position (short or long form, 32-bit big-endian).
uint32_t RawLength(const TFacilityWindow& window, TRawPosition& position);

// Skips a tag octet and returns the length after it; the position then stands
// on the first contents octet.
uint32_t RawSkipHeader(const TFacilityWindow& window, TRawPosition& position);

// The first contents octet of a one-octet ENUMERATED or INTEGER element.
uint8_t RawFirstOctet(const TFacilityWindow& window, TRawPosition& position);

// The operation (or error) value of the first component, the position
// standing on that component's length octet. A local value gives its first
// contents octet (the whole value when it has one octet, as every ETSI
// operation does); a global value gives its first contents octet too and
// leaves the position on its last one; 0 when there is no operation value.
uint8_t RawOperation(const TFacilityWindow& window, TRawPosition& position);

// A ROSE PartyNumber: [0] digits, or [1] public number whose type of number
// selects the international or national prefix. Empty for any other tag.
QString RawPartyNumber(const TFacilityWindow& window, TRawPosition& position);

struct TCcbsBFree {
    uint8_t linkageIdentifier = 1;
    QString number;
};

// The argument of a CCBS BFree invoke.
TCcbsBFree RawCcbsBFree(const TFacilityWindow& window, TRawPosition& position);
