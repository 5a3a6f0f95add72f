#include "CodingStandard.h"

#include "DecoderText.h"

namespace {

constexpr QStringView kCodingStandards[3][4] = {
    {
        u"coding standard: CCITT",
        u"coding standard: ISO/IEC",
        u"coding standard: national",
        // The trailing blank is part of this text.
        u"coding standard: Standard defined for the network (either public or private) present on the network side of the interface ",
    },
    {
        u"coding standard: CCITT",
        u"coding standard: reserved international",
        u"coding standard: national",
        u"coding standard: Standard defined for the network (either public or private) present on the network side of the interface",
    },
    {
        u"coding standard: CCITT",
        u"coding standard: ISO/IEC",
        u"coding standard: national",
        u"coding standard: specific to identified location",
    },
};

constexpr TCodeText kLocationList[] = {
    {0, u"location: user"},
    {1, u"location: private network serving the local user"},
    {2, u"location: public network serving the local user"},
    {3, u"location: transit network"},
    {4, u"location: public network serving the remote user"},
    {5, u"location: private network serving the remote user"},
    {7, u"location: international network"},
    {10, u"location: network beyond interworking point"},
};
constexpr auto kLocations = ByCode<16>(kLocationList);

} // namespace

void AddCodingStandard(TDecodeTree* tree, TNodeId parent, uint8_t value, TCodingStandardTexts texts)
{
    AddLine(tree, parent, kCodingStandards[size_t(texts)][value & 3]);
}

void AddLocation(TDecodeTree* tree, TNodeId parent, uint8_t value)
{
    AddKnownLine(tree, parent, kLocations[value & 0x0F]);
}
