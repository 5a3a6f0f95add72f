#include "NotificationDecoder.h"

#include "DecoderText.h"
#include "HexLine.h"

namespace {

constexpr TCodeText kNotificationList[] = {
    {0x00, u"user suspended"},
    {0x01, u"user resume"},
    {0x02, u"bearer service change"},
    {0x03, u"discriminator for extension to ASN.1 encoded component"},
    {0x04, u"call completion delay"},
    {0x42, u"conference established"},
    {0x43, u"conference disconnected"},
    {0x44, u"other party added"},
    {0x45, u"isolated"},
    {0x46, u"reattached"},
    {0x47, u"other party isolated"},
    {0x48, u"other party reattached"},
    {0x49, u"other party split"},
    {0x4A, u"other party disconnected"},
    {0x4B, u"conference floating"},
    {0x4C, u"conference disconnected, preemption"},
    {0x4F, u"conference floating, served user preempted"},
    {0x60, u"call is a waiting call"},
    {0x68, u"diversion activated"},
    {0x69, u"reserved for call transfer"},
    {0x6A, u"reserved for call transfer"},
    {0x6E, u"reverse charging"},
    {0x79, u"remote hold"},
    {0x7A, u"remote retrieval"},
    {0x7B, u"call is diverting"},
};
constexpr auto kNotifications = ByCode<128>(kNotificationList);

} // namespace

QString DecodeNotificationIndicator(TDecodeTree* tree, TNodeId parent, const uint8_t* contents, uint32_t count)
{
    AddHexLine(tree, parent, contents, count);
    if (count == 0)
        return {};
    QStringView description = kNotifications[contents[0] & 0x7F];
    if (description.isNull())
        description = u"unknown";
    AddLine(tree, parent, description);
    return StaticText(description);
}
