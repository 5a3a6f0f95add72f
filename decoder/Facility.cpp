#include "Facility.h"

#include "DecoderText.h"
#include "FacilityBer.h"
#include "FacilityCharging.h"
#include "FacilityTables.h"
#include "HexLine.h"

#include <array>

namespace {

// Fixed texts are handed to the tree without a copy, and not at all without one.
TNodeId AddNode(TDecodeTree* tree, TNodeId parent, QStringView text)
{
    return tree ? tree->AddChild(parent, StaticText(text)) : kTopLevel;
}

struct TProfile {
    uint8_t value;
    QStringView text;
};

// Protocol profile (low five bits of the first contents octet).
constexpr TProfile kProfiles[] = {
    {0x11, u"remote operations protocol (ROS)"},
    {0x12, u"CMIP protocol"},
    {0x13, u"ACSE protocol"},
};
constexpr uint8_t kRoseProfile = 0x11;

using TComponentDecoder = QString (*)(TDecodeTree*, TNodeId, const uint8_t*, uint32_t);

struct TComponentKind {
    QStringView text;
    TComponentDecoder decode;
};

template <void (*Decode)(TDecodeTree*, TNodeId, const uint8_t*, uint32_t)>
QString WithoutSummary(TDecodeTree* tree, TNodeId parent, const uint8_t* data, uint32_t count)
{
    Decode(tree, parent, data, count);
    return {};
}

// Indexed by the component's tag number; 0 and anything above 4 are no component.
constexpr std::array<TComponentKind, 5> kComponentKinds = {{
    {{}, nullptr},
    {u"invoke", DecodeInvoke},
    {u"returnResult", WithoutSummary<DecodeReturnResult>},
    {u"returnError", WithoutSummary<DecodeReturnError>},
    {u"reject", WithoutSummary<DecodeReject>},
}};

constexpr uint32_t kAocDChargingUnit = 34;
constexpr uint32_t kAocEChargingUnit = 36;

// "localValue: 0x0022 (AOCDChargingUnit)" or "globalValue: <arcs>" for the
// operation or error value at the position; nothing for any other element.
// Returns true with value set for a local value.
bool AddOperationValue(TDecodeTree* tree, TNodeId parent, const uint8_t* data, uint32_t count,
                       uint32_t& position, QString (*name)(uint32_t), uint32_t& value)
{
    switch (PeekBerTag(data, count, position)) {
    case 2:
        value = ReadInteger(data, count, position);
        if (tree)
            tree->AddChild(parent, QStringLiteral("localValue: ") + FacilityHex(value) + name(value));
        return true;
    case 6: {
        const QString arcs = ObjectIdentifierText(data, count, position);
        if (tree)
            tree->AddChild(parent, QStringLiteral("globalValue: ") + arcs);
        return false;
    }
    default:
        return false;
    }
}

// "invokeId: 0x0005" for the INTEGER at the position.
void AddInvokeId(TDecodeTree* tree, TNodeId parent, const uint8_t* data, uint32_t count, uint32_t& position)
{
    const uint32_t invokeId = ReadInteger(data, count, position);
    if (tree)
        tree->AddChild(parent, QStringLiteral("invokeId: ") + FacilityHex(invokeId));
}

// The octets behind the position, undecoded, under a node named label.
void AddRest(TDecodeTree* tree, TNodeId parent, QStringView label, const uint8_t* data, uint32_t count,
             uint32_t position)
{
    if (!tree || position >= count)
        return;
    AddHexLine(tree, AddNode(tree, parent, label), data + position, count - position);
}

} // namespace

QString DecodeFacility(TDecodeTree* tree, TNodeId parent, const uint8_t* contents, uint32_t count)
{
    if (!contents)
        count = 0;
    AddHexLine(tree, parent, contents, count);
    if (count == 0)
        return {};
    const uint8_t profile = contents[0] & 0x1F;
    QStringView text = u"unknown";
    for (const TProfile& p : kProfiles)
        if (p.value == profile)
            text = p.text;
    const TNodeId node = AddNode(tree, parent, text);
    if (profile != kRoseProfile)
        return {};
    return DecodeComponent(tree, node, contents + 1, count - 1);
}

QString DecodeComponent(TDecodeTree* tree, TNodeId parent, const uint8_t* data, uint32_t count)
{
    AddHexLine(tree, parent, data, count);
    if (count == 0)
        return {};
    uint32_t position = 0;
    const uint8_t tag = ReadBerTag(data, count, position);
    if (tag == 0 || tag >= kComponentKinds.size())
        return {};
    const TComponentKind& kind = kComponentKinds[tag];
    const TNodeId node = AddNode(tree, parent, kind.text);
    const uint32_t length = ReadLength(data, count, position);
    return kind.decode(tree, node, data + position, length);
}

QString DecodeInvoke(TDecodeTree* tree, TNodeId parent, const uint8_t* data, uint32_t count)
{
    AddHexLine(tree, parent, data, count);
    if (count == 0)
        return {};
    uint32_t position = 0;
    // Without a tree only the charging units matter: skip building texts.
    const uint32_t invokeId = ReadInteger(data, count, position);
    if (tree)
        tree->AddChild(parent, QStringLiteral("invokeIdentifier: ") + FacilityHex(invokeId));

    if (position < count && BerTagNumber(data[position]) == 0) { // [0] linkedId
        ++position;
        const uint32_t length = ReadLength(data, count, position);
        uint32_t linkedId = 0;
        for (uint32_t i = 0; i < length && position < count; ++i)
            linkedId = (linkedId << 8) | data[position++];
        if (tree)
            tree->AddChild(parent, QStringLiteral("linkedIdentifier: ") + FacilityHex(linkedId));
    }

    uint32_t operation = 0;
    const bool local = AddOperationValue(tree, parent, data, count, position, OperationName, operation);

    if (position >= count)
        return {};
    const TNodeId argument = AddNode(tree, parent, u"argument");
    const uint8_t* rest = data + position;
    const uint32_t restCount = count - position;
    if (local && operation == kAocDChargingUnit)
        return DecodeAocDUnits(tree, argument, rest, restCount);
    if (local && operation == kAocEChargingUnit)
        return DecodeAocEUnits(tree, argument, rest, restCount);
    AddHexLine(tree, argument, rest, restCount);
    return {};
}

void DecodeReturnResult(TDecodeTree* tree, TNodeId parent, const uint8_t* data, uint32_t count)
{
    AddHexLine(tree, parent, data, count);
    if (count == 0)
        return;
    uint32_t position = 0;
    AddInvokeId(tree, parent, data, count, position);
    // The operation value and result come in a SEQUENCE that may be absent.
    if (ReadBerTag(data, count, position) != 16 || ReadLength(data, count, position) == 0)
        return;
    uint32_t operation = 0;
    AddOperationValue(tree, parent, data, count, position, OperationName, operation);
    AddRest(tree, parent, u"result", data, count, position);
}

void DecodeReturnError(TDecodeTree* tree, TNodeId parent, const uint8_t* data, uint32_t count)
{
    AddHexLine(tree, parent, data, count);
    if (count == 0)
        return;
    uint32_t position = 0;
    AddInvokeId(tree, parent, data, count, position);
    uint32_t error = 0;
    AddOperationValue(tree, parent, data, count, position, ErrorName, error);
    AddRest(tree, parent, u"parameter", data, count, position);
}

void DecodeReject(TDecodeTree* tree, TNodeId parent, const uint8_t* data, uint32_t count)
{
    AddHexLine(tree, parent, data, count);
}
