#include "CauseDecoder.h"

#include "CodingStandard.h"
#include "DecoderText.h"
#include "HexLine.h"

namespace {

// By the whole octet; the texts carry their decimal value already, so a
// result is a view of the literal.
constexpr TCodeText kCauseList[] = {
    {0x81, u"1:Unallocated (unassigned) number"},
    {0x82, u"2:No route to specified transit network"},
    {0x83, u"3:No route to destination"},
    {0x86, u"6:Channel unacceptable"},
    {0x87, u"7:Call awarded and being delivered in an established channel"},
    {0x90, u"16:Normal call clearing"},
    {0x91, u"17:User busy"},
    {0x92, u"18:No user responding"},
    {0x93, u"19:No answer from user (user alerted)"},
    {0x95, u"21:Call rejected"},
    {0x96, u"22:Number changed"},
    {0x9A, u"26:Non-selected user clearing"},
    {0x9B, u"27:Destination out of order"},
    {0x9C, u"28:Invalid number format"},
    {0x9D, u"29:Facility rejected"},
    {0x9E, u"30:Response to STATUS ENQUIRY"},
    {0x9F, u"31:Normal, unspecified"},
    {0xA2, u"34:No circuit / channel available"},
    {0xA6, u"38:Network out of order"},
    {0xA9, u"41:Temporary failure"},
    {0xAA, u"42:Switching equipment congestion"},
    {0xAB, u"43:Access information discarded"},
    {0xAC, u"44:Requested circuit / channel not available"},
    {0xAF, u"47:Resources unavailable, unspecified"},
    {0xB1, u"49:Quality of service unavailable"},
    {0xB2, u"50:Requested facility not subscribed"},
    {0xB9, u"57:Bearer capability not authorized"},
    {0xBA, u"58:Bearer capability not presently available"},
    {0xBF, u"63:Service or option not available, unspecified"},
    {0xC1, u"65:Bearer capability not implemented"},
    {0xC2, u"66:Channel type not implemented"},
    {0xC5, u"69:Requested facility not implemented"},
    {0xC6, u"70:Only restricted digital information bearer capability is available"},
    {0xCF, u"79:Service or option not implemented, unspecified"},
    {0xD1, u"81:Invalid call reference value"},
    {0xD2, u"82:Identified channel does not exist"},
    {0xD3, u"83:A suspended call exists, but this call identity does not"},
    {0xD4, u"84:Call identity in use"},
    {0xD5, u"85:No call suspended"},
    {0xD6, u"86:Call having the requested call identity has been cleared"},
    {0xD8, u"88:Incompatible destination"},
    {0xDB, u"91:Invalid transit network selection"},
    {0xDF, u"95:Invalid message, unspecified"},
    {0xE0, u"96:Mandatory information element is missing"},
    {0xE1, u"97:Message type non-existent or not implemented"},
    {0xE2, u"98:Message not compatible with call state or message type non-existent or not implemented"},
    {0xE3, u"99:Information element non-existent or not implemented"},
    {0xE4, u"100:Invalid information element contents"},
    {0xE5, u"101:Message not compatible with call state"},
    {0xE6, u"102:Recovery on timer expiry"},
    {0xEF, u"111:Protocol error, unspecified"},
    {0xFF, u"127:Interworking, unspecified"},
};
constexpr auto kCauses = ByCode<256>(kCauseList);

constexpr TCodeText kRecommendationList[] = {
    {0, u"recommendation: Q.931"},
    {3, u"recommendation: X.21"},
    {4, u"recommendation: X.25"},
    {5, u"recommendation: public land mobile networks"},
};
constexpr auto kRecommendations = ByCode<128>(kRecommendationList);

} // namespace

QString DecodeCause(TDecodeTree* tree, TNodeId parent, const uint8_t* contents, uint32_t count)
{
    AddHexLine(tree, parent, contents, count);
    if (count == 0)
        return {};
    AddCodingStandard(tree, parent, contents[0] >> 5, TCodingStandardTexts::Progress);
    AddLocation(tree, parent, contents[0]);
    uint32_t index = 1;
    if ((contents[0] & 0x80) == 0 && count > 1) {
        AddKnownLine(tree, parent, kRecommendations[contents[1] & 0x7F]);
        index = 2;
    }
    // An element that ends before its cause value shows an empty cause line.
    const QString text = index < count ? CauseText(contents[index]) : QString();
    AddLine(tree, parent, text);
    return text;
}

QString CauseText(uint8_t cause)
{
    return StaticText(kCauses[cause]);
}
