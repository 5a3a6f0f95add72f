#pragma once
// Numbers and subaddresses: calling, called, connected, redirecting and
// redirection numbers, the three subaddresses, and the CAPI facility party
// number. The contents are the element's octets after its length octet, the
// same octets as the equivalent CAPI struct.

#include "DecodeTree.h"

#include <QString>
#include <cstdint>

// Text result: prefix + digits (national/international prefix by type of number).
QString DecodeCallingPartyNumber(TDecodeTree* tree, TNodeId parent, const uint8_t* contents, uint32_t count);
QString DecodeConnectedNumber(TDecodeTree* tree, TNodeId parent, const uint8_t* contents, uint32_t count);
QString DecodeRedirectingNumber(TDecodeTree* tree, TNodeId parent, const uint8_t* contents, uint32_t count);
// Text result: the digits, never a prefix.
QString DecodeCalledPartyNumber(TDecodeTree* tree, TNodeId parent, const uint8_t* contents, uint32_t count);
// Text result: the subaddress information as text.
QString DecodeSubaddress(TDecodeTree* tree, TNodeId parent, const uint8_t* contents, uint32_t count);

// CAPI facility party number struct; text only, the tree is not used.
QString DecodeFacilityPartyNumber(TDecodeTree* tree, TNodeId parent, const uint8_t* contents, uint32_t count);
inline QString DecodeFacilityPartyNumber(const uint8_t* contents, uint32_t count)
{
    return DecodeFacilityPartyNumber(nullptr, kTopLevel, contents, count);
}
