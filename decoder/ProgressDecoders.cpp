#include "ProgressDecoders.h"

#include "CodingStandard.h"
#include "DecoderText.h"
#include "HexLine.h"

namespace {

constexpr TCodeText kProgressList[] = {
    {1, u"call is not end-to-end ISDN; further call progress information may be available in-band"},
    {2, u"destination address is non ISDN"},
    {3, u"Origination address is non ISDN"},
    {4, u"call has returned to the ISDN"},
    {5, u"interworking has occurred and has resulted in a telecommunication service change"},
    {8, u"in-band information or an appropriate pattern is now available"},
};
constexpr auto kProgress = ByCode<128>(kProgressList);

// Each name follows the line's label, so name and line share one literal.
constexpr qsizetype kCallStateLabel = 18; // "call state value: "
constexpr TCodeText kCallStateList[] = {
    {0, u"call state value: null"},
    {1, u"call state value: call initiated"},
    {2, u"call state value: overlap sending"},
    {3, u"call state value: outgoing call proceeding"},
    {4, u"call state value: call delivered"},
    {6, u"call state value: call present"},
    {7, u"call state value: call received"},
    {8, u"call state value: connect request"},
    {9, u"call state value: incoming call proceeding"},
    {10, u"call state value: active"},
    {11, u"call state value: disconnect request"},
    {12, u"call state value: disconnect indication"},
    {15, u"call state value: suspend request"},
    {17, u"call state value: resume request"},
    {19, u"call state value: release request"},
    {22, u"call state value: call abort"},
    {25, u"call state value: overlap receiving"},
    {31, u"call state value: call independent service"},
    {61, u"call state value: restart request"},
    {62, u"call state value: restart"},
};
constexpr auto kCallStates = ByCode<64>(kCallStateList);

} // namespace

QString DecodeProgressIndicator(TDecodeTree* tree, TNodeId parent, const uint8_t* contents, uint32_t count)
{
    AddHexLine(tree, parent, contents, count);
    if (count == 0 || !tree)
        return {};
    AddCodingStandard(tree, parent, contents[0] >> 5, TCodingStandardTexts::Progress);
    AddLocation(tree, parent, contents[0]);
    // Without octet 4 there is no description to show.
    if (count > 1)
        AddKnownLine(tree, parent, kProgress[contents[1] & 0x7F]);
    return {};
}

QString DecodeCallState(TDecodeTree* tree, TNodeId parent, const uint8_t* contents, uint32_t count)
{
    AddHexLine(tree, parent, contents, count);
    if (count == 0)
        return {};
    AddCodingStandard(tree, parent, contents[0] >> 6, TCodingStandardTexts::Progress);
    QStringView line = kCallStates[contents[0] & 0x3F];
    if (line.isNull())
        line = u"call state value: unknown";
    AddLine(tree, parent, line);
    return StaticText(line.mid(kCallStateLabel));
}
