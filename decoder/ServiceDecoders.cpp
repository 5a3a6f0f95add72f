#include "ServiceDecoders.h"

#include "CodingStandard.h"
#include "DecoderText.h"
#include "HexLine.h"

namespace {

constexpr TCodeText kBearerCapabilityList[] = {
    {0x00, u"speech"},
    {0x08, u"unrestricted digital information"},
    {0x09, u"restricted digital information"},
    {0x10, u"3.1 kHz audio"},
    {0x11, u"7 kHz audio"},
    {0x18, u"video"},
};
constexpr auto kBearerCapabilities = ByCode<32>(kBearerCapabilityList);

constexpr TCodeText kBearerModeList[] = {{0, u"transfer mode: circuit"}, {2, u"transfer mode: packet"}};
constexpr auto kBearerModes = ByCode<4>(kBearerModeList);

constexpr TCodeText kBearerRateList[] = {
    {0x10, u"information transfer rate: 64 kbit/s"},
    {0x11, u"information transfer rate: 2*64 kbit/s"},
    {0x13, u"information transfer rate: 384 kbit/s"},
    {0x15, u"information transfer rate: 1536 kbit/s"},
    {0x17, u"information transfer rate: 1920 kbit/s"},
    {0x18, u"information transfer rate: multirate (64 kbit/s base rate)"},
};
constexpr auto kBearerRates = ByCode<32>(kBearerRateList);

constexpr TCodeText kBearerLayer1List[] = {
    {1, u"user information layer 1 protocol: CCITT standardized rate adaption V.110 and X.30"},
    {2, u"user information layer 1 protocol: recommendation G.711 u-law"},
    {3, u"user information layer 1 protocol: recommendation G.711 A-law"},
    {4, u"user information layer 1 protocol: recommendation G.721 32 kbit/s ADPCM"},
    {5, u"user information layer 1 protocol: recommendation G.722 and G.725 7 kHz audio"},
    {7, u"user information layer 1 protocol: non-CCITT standardized rate adaption"},
    {8, u"user information layer 1 protocol: CCITT standardized rate adaption V.120"},
    {9, u"user information layer 1 protocol: CCITT standardized rate adaption X.31 HDLC flag stuffing"},
};
constexpr auto kBearerLayer1 = ByCode<32>(kBearerLayer1List);

constexpr TCodeText kLowLayerCapabilityList[] = {
    {0x00, u"transfer capability: speech"},
    {0x08, u"transfer capability: unrestricted digital information"},
    {0x09, u"transfer capability: restricted digital information"},
    {0x10, u"transfer capability: 3.1 kHz audio"},
    {0x11, u"transfer capability: 7 kHz audio"},
    {0x18, u"transfer capability: video"},
};
constexpr auto kLowLayerCapabilities = ByCode<32>(kLowLayerCapabilityList);

constexpr QStringView kLowLayerModes[4] = {u"circuit mode", u"unknown mode", u"packet mode", u"unknown mode"};

constexpr TCodeText kLowLayerRateList[] = {
    {0x00, u"transfer rate: packet"},
    {0x10, u"transfer rate: 64 kbit/s"},
    {0x11, u"transfer rate: 2 x 64 kbit/s"},
    {0x13, u"transfer rate: 384 kbit/s"},
    {0x15, u"transfer rate: 1536 kbit/s"},
    {0x17, u"transfer rate: 1920 kbit/s"},
};
constexpr auto kLowLayerRates = ByCode<32>(kLowLayerRateList);

constexpr TCodeText kLowLayerLayer1List[] = {
    {1, u"CCITT standardized rate adaption V.110/X.30"},
    {2, u"G.711 µ-law"},
    {3, u"G.711 A-law"},
    {4, u"G.721 32 kbit/s ADPCM"},
    {5, u"G.722 and G.725 7 kHz audio"},
    {6, u"G.7xx 384 kbit/s video"},
    {7, u"Non-CCITT standardized rate adaption"},
    {8, u"CCITT standardized rate adaption V.120"},
    {9, u"CCITT standardized rate adaption X.31"},
};
constexpr auto kLowLayerLayer1 = ByCode<32>(kLowLayerLayer1List);

constexpr uint8_t kTransfer7kHz = 0x11;
constexpr uint8_t kLayer1G722 = 5;

constexpr TCodeText kCharacteristicsList[] = {
    {0x01, u"telephony"},
    {0x04, u"facsimile Group 2/3"},
    {0x21, u"facsimile Group 4 Class I"},
    {0x24, u"teletex service, basic and mixed mode of operation and facsimile service Group 4, Classes II and III"},
    {0x28, u"teletex service, basic and processable mode of operation"},
    {0x31, u"teletex service, basic mode of operation"},
    {0x32, u"syntax based Videotex"},
    {0x33, u"international Videotex interworking via gateways or interworking units"},
    {0x35, u"telex service"},
    {0x38, u"message Handling Systems"},
    {0x41, u"OSI application"},
    {0x5E, u"reserved for maintenance"},
    {0x5F, u"reserved for management"},
};
constexpr auto kCharacteristics = ByCode<128>(kCharacteristicsList);

constexpr TCodeText kCipList[] = {
    {0, u"no predefined profile"},
    {1, u"speech"},
    {2, u"unrestricted digital information"},
    {3, u"restricted digital data"},
    {4, u"3.1 kHz audio"},
    {5, u"7.0 kHz audio"},
    {6, u"video"},
    {7, u"packet mode"},
    {8, u"56 kbit/s rate adaption"},
    {9, u"unrestricted digital information with tones/announcements"},
    {16, u"telephony"},
    {17, u"fax Group 2/3"},
    {18, u"fax Group 4"},
    {19, u"teletex"},
    {20, u"teletex"},
    {21, u"teletex"},
    {22, u"videotex"},
    {23, u"Telex"},
    {24, u"message handling systems (X.400)"},
    {25, u"OSI application (X.200)"},
    {26, u"7 kHz telephony"},
    {27, u"video telephony (first connection)"},
    {28, u"video telephony (second connection)"},
};
constexpr auto kCipNames = ByCode<29>(kCipList);

} // namespace

QString DecodeBearerCapability(TDecodeTree* tree, TNodeId parent, const uint8_t* contents, uint32_t count)
{
    AddHexLine(tree, parent, contents, count);
    if (count == 0 || !tree)
        return {};
    AddCodingStandard(tree, parent, contents[0] >> 5, TCodingStandardTexts::Bearer);
    AddKnownLine(tree, parent, kBearerCapabilities[contents[0] & 0x1F]);
    if (count >= 2) {
        AddKnownLine(tree, parent, kBearerModes[(contents[1] >> 5) & 3]);
        AddKnownLine(tree, parent, kBearerRates[contents[1] & 0x1F]);
    }
    // The third octet is taken as the layer 1 octet; a rate multiplier is not skipped.
    if (count >= 3)
        AddKnownLine(tree, parent, kBearerLayer1[contents[2] & 0x1F]);
    return {};
}

QString DecodeLowLayerCompatibility(TDecodeTree* tree, TNodeId parent, const uint8_t* contents, uint32_t count,
                                    bool& wideband)
{
    wideband = false;
    AddHexLine(tree, parent, contents, count);
    if (count == 0)
        return {};
    AddCodingStandard(tree, parent, contents[0] >> 5, TCodingStandardTexts::LowLayer);
    const uint8_t capability = contents[0] & 0x1F;
    QStringView capabilityText = kLowLayerCapabilities[capability];
    if (capabilityText.isNull())
        capabilityText = u"unknown";
    wideband = capability == kTransfer7kHz;
    AddLine(tree, parent, capabilityText);

    uint32_t p = (contents[0] & 0x80) ? 1 : 2; // skip octet 3a (negotiation indicator)
    if (p < count) {
        const uint8_t octet4 = contents[p];
        AddLine(tree, parent, kLowLayerModes[(octet4 >> 5) & 3]);
        const QStringView rate = kLowLayerRates[octet4 & 0x1F];
        AddLine(tree, parent, rate.isNull() ? QStringView(u"transfer rate: unknown") : rate);
        if ((octet4 & 0x80) == 0)
            ++p; // rate multiplier
    }
    if (uint64_t(p) + 1 < count) {
        const uint8_t layer1 = contents[p + 1] & 0x1F;
        const QStringView protocol = kLowLayerLayer1[layer1];
        AddLine(tree, parent, protocol.isNull() ? QStringView(u"unknown protocol") : protocol);
        wideband = layer1 == kLayer1G722;
    }
    return StaticText(capabilityText);
}

QString DecodeHighLayerCompatibility(TDecodeTree* tree, TNodeId parent, const uint8_t* contents, uint32_t count)
{
    AddHexLine(tree, parent, contents, count);
    if (count == 0)
        return {};
    AddCodingStandard(tree, parent, contents[0] >> 5, TCodingStandardTexts::Bearer);
    // Without octet 4 there is no characteristics identification to name.
    QStringView characteristics = count > 1 ? kCharacteristics[contents[1] & 0x7F] : QStringView();
    if (characteristics.isNull())
        characteristics = u"unknown";
    AddLine(tree, parent, characteristics);
    return StaticText(characteristics);
}

QString CipName(uint16_t cip)
{
    return StaticText(LookUp(kCipNames, cip));
}
