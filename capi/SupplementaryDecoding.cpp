// TCapi20: received supplementary-service facility messages and INFO
// indications become diagnostic lines, events and follow-up requests.

#include "TFCapi20.h"

#include "CapiMessageReader.h"

QString TCapi20::InfoElementText(uint16_t&, const uint8_t*, uint32_t) { return {}; }
void TCapi20::DecodeSupplementaryIndication(uint32_t, TCapiMessageReader) {}
void TCapi20::DecodeSupplementaryConfirmation(uint32_t, TCapiMessageReader) {}
uint32_t TCapi20::DecodeInfoIndication(TCapiMessageReader reader) { return reader.ReadDword(); }
