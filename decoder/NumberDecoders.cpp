#include "NumberDecoders.h"

#include "DecoderText.h"
#include "HexLine.h"
#include "Prefixes.h"
#include "TextCodec.h"

namespace {

enum class TPrefix : uint8_t { None, National, International };

struct TNumberType {
    QStringView line; // null: no line
    TPrefix prefix;
};
constexpr TNumberType kNumberTypes[8] = {
    {u"unknown type of number", TPrefix::None},
    {u"international number", TPrefix::International},
    {u"national number", TPrefix::National},
    {u"network specific number", TPrefix::None},
    {u"subscriber number", TPrefix::None},
    {{}, TPrefix::None},
    {u"abbreviated number", TPrefix::None},
    {{}, TPrefix::None},
};

constexpr TCodeText kNumberingPlanList[] = {
    {0, u"unknown numbering plan"},
    {1, u"ISDN/telephony numbering plan"},
    {3, u"data numbering plan"},
    {4, u"telex numbering plan"},
    {8, u"national standard numbering plan"},
    {9, u"private numbering plan"},
};
constexpr auto kNumberingPlans = ByCode<16>(kNumberingPlanList);

constexpr QStringView kPresentations[4] = {
    u"presentation allowed",
    u"presentation restricted",
    u"number not available due to interworking",
    {},
};

constexpr QStringView kScreenings[4] = {
    u"screening: User-provided, not screened",
    u"screening: User-provided, verified and passed",
    u"screening: User-provided, verified and failed",
    u"screening: Network provided",
};

constexpr TCodeText kReasonList[] = {
    {0x0, u"reason: unknown"},
    {0x1, u"reason: CFB"},
    {0x2, u"reason: CFNR"},
    {0xA, u"reason: CD"},
    {0xF, u"reason: CFU"},
};
constexpr auto kReasons = ByCode<16>(kReasonList);

constexpr TCodeText kSubaddressTypeList[] = {{0, u"NSAP"}, {2, u"User specified"}};
constexpr auto kSubaddressTypes = ByCode<8>(kSubaddressTypeList);

QString PrefixText(TPrefix prefix)
{
    switch (prefix) {
    case TPrefix::National:
        return NationalPrefix();
    case TPrefix::International:
        return InternationalPrefix();
    case TPrefix::None:
        break;
    }
    return QString();
}

// Adds the type-of-number and numbering-plan lines of octet 3; returns the
// prefix its type of number calls for.
TPrefix AddOctet3(TDecodeTree* tree, TNodeId parent, uint8_t octet3)
{
    const TNumberType& type = kNumberTypes[(octet3 >> 4) & 7];
    AddKnownLine(tree, parent, type.line);
    AddKnownLine(tree, parent, kNumberingPlans[octet3 & 0x0F]);
    return type.prefix;
}

// The octets from start to the end as text; empty when none are left.
QString DigitsFrom(const uint8_t* contents, uint32_t count, uint32_t start)
{
    return start < count ? DecodeText(contents + start, count - start) : QString();
}

QString WithPrefix(TPrefix prefix, const QString& digits)
{
    const QString& text = PrefixText(prefix);
    return text.isEmpty() ? digits : Joined(text, digits);
}

// Calling and connected numbers share their layout.
QString DecodeScreenedNumber(TDecodeTree* tree, TNodeId parent, const uint8_t* contents, uint32_t count)
{
    AddHexLine(tree, parent, contents, count);
    if (count == 0)
        return {};
    const TPrefix prefix = AddOctet3(tree, parent, contents[0]);
    uint32_t start = 1;
    if ((contents[0] & 0x80) == 0 && count >= 2) {
        AddKnownLine(tree, parent, kPresentations[(contents[1] >> 5) & 3]);
        AddKnownLine(tree, parent, kScreenings[contents[1] & 3]);
        start = 2;
    }
    const QString digits = DigitsFrom(contents, count, start);
    AddLine(tree, parent, digits);
    return WithPrefix(prefix, digits);
}

} // namespace

QString DecodeCallingPartyNumber(TDecodeTree* tree, TNodeId parent, const uint8_t* contents, uint32_t count)
{
    return DecodeScreenedNumber(tree, parent, contents, count);
}

QString DecodeConnectedNumber(TDecodeTree* tree, TNodeId parent, const uint8_t* contents, uint32_t count)
{
    return DecodeScreenedNumber(tree, parent, contents, count);
}

QString DecodeCalledPartyNumber(TDecodeTree* tree, TNodeId parent, const uint8_t* contents, uint32_t count)
{
    AddHexLine(tree, parent, contents, count);
    if (count == 0)
        return {};
    AddOctet3(tree, parent, contents[0]); // called numbers never get a prefix
    const QString digits = DigitsFrom(contents, count, 1);
    AddLine(tree, parent, digits);
    return digits;
}

QString DecodeRedirectingNumber(TDecodeTree* tree, TNodeId parent, const uint8_t* contents, uint32_t count)
{
    AddHexLine(tree, parent, contents, count);
    if (count == 0)
        return {};
    const TPrefix prefix = AddOctet3(tree, parent, contents[0]);
    uint32_t start = 1;
    if (count > 1) {
        // The second octet is read as octet 3a even when octet 3 says none follows.
        const uint8_t octet3a = contents[1];
        AddKnownLine(tree, parent, kPresentations[(octet3a >> 5) & 3]);
        start = 2;
        if ((octet3a & 0x80) == 0) {
            if (count > 2) {
                const QStringView reason = kReasons[contents[2] & 0x0F];
                AddLine(tree, parent, reason.isNull() ? QStringView(u"reason: reserved") : reason);
            }
            start = 3;
        }
    }
    const QString digits = DigitsFrom(contents, count, start);
    AddLine(tree, parent, digits);
    return WithPrefix(prefix, digits);
}

QString DecodeFacilityPartyNumber(TDecodeTree*, TNodeId, const uint8_t* contents, uint32_t count)
{
    if (count <= 2)
        return {};
    TPrefix prefix = TPrefix::None;
    if (contents[0] == 1) { // public party number
        const uint8_t type = (contents[1] >> 4) & 7;
        prefix = type == 1 ? TPrefix::International : type == 2 ? TPrefix::National : TPrefix::None;
    }
    return WithPrefix(prefix, DigitsFrom(contents, count, 3));
}

QString DecodeSubaddress(TDecodeTree* tree, TNodeId parent, const uint8_t* contents, uint32_t count)
{
    AddHexLine(tree, parent, contents, count);
    if (count == 0)
        return {};
    AddKnownLine(tree, parent, kSubaddressTypes[(contents[0] >> 4) & 7]);
    AddLine(tree, parent,
            (contents[0] & 0x08) ? QStringView(u"odd number of address signals")
                                 : QStringView(u"even number of address signals"));
    const QString text = DigitsFrom(contents, count, 1);
    AddLine(tree, parent, text);
    return text;
}
