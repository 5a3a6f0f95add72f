#include "ChannelDecoder.h"

#include "DecoderText.h"
#include "HexLine.h"

namespace {

// One bit of octet 3 and its line when clear and when set.
struct TChannelBit {
    uint8_t mask;
    QStringView clear;
    QStringView set;
};
constexpr TChannelBit kBits[] = {
    {0x40, u"interface identifier present: interface implicitly identified",
     u"interface identifier present: interface explicitly identified"},
    {0x20, u"interface type: basic interface", u"interface type: other interface e.g. primary rate"},
    {0x08, u"indicated channel is preferred", u"exclusive; only the indicated channel is acceptable"},
    {0x04, u"the channel identified is not the D-channel", u"the channel identified is the D-channel"},
};

struct TSelection {
    QStringView line;
    QStringView result;
};
constexpr TSelection kSelections[4] = {
    {u"information channel selection: no channel", u"no"},
    {u"information channel selection: B1 channel", u"B1"},
    {u"information channel selection: B2 channel", u"B2"},
    {u"information channel selection: any channel", u"any"},
};
// With an explicit interface, value 1 points to the channel octets instead.
constexpr TSelection kAsIndicated = {u"information channel selection: as indicated in following octets", {}};

} // namespace

QString DecodeChannelIdentification(TDecodeTree* tree, TNodeId parent, const uint8_t* contents, uint32_t count)
{
    AddHexLine(tree, parent, contents, count);
    if (count == 0)
        return {};
    const uint8_t octet3 = contents[0];
    if (tree)
        for (const TChannelBit& bit : kBits)
            tree->AddChild(parent, StaticText((octet3 & bit.mask) ? bit.set : bit.clear));
    const bool explicitInterface = octet3 & 0x40;
    const uint8_t selection = octet3 & 3;
    const TSelection& s = (selection == 1 && explicitInterface) ? kAsIndicated : kSelections[selection];
    AddLine(tree, parent, s.line);
    if (count > 1 && explicitInterface)
        return StaticText(u"?");
    return StaticText(s.result);
}
