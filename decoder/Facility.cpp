#include "Facility.h"

#include "FacilityBer.h"
#include "FacilityCharging.h"
#include "FacilityTables.h"
#include "HexLine.h"

#include <array>

namespace {

TNodeId AddNode(TDecodeTree* tree, TNodeId parent, const QString& text)
{
    return tree ? tree->AddChild(parent, text) : kTopLevel;
}

struct TProfile {
    uint8_t value;
    const char* text;
};

// Protocol profile (low five bits of the first contents octet).
constexpr TProfile kProfiles[] = {
    {0x11, "remote operations protocol (ROS)"},
    {0x12, "CMIP protocol"},
    {0x13, "ACSE protocol"},
};
constexpr uint8_t kRoseProfile = 0x11;

using TComponentDecoder = QString (*)(TDecodeTree*, TNodeId, const uint8_t*, uint32_t);

struct TComponentKind {
    const char* text;
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
    {nullptr, nullptr},
    {"invoke", DecodeInvoke},
    {"returnResult", WithoutSummary<DecodeReturnResult>},
    {"returnError", WithoutSummary<DecodeReturnError>},
    {"reject", WithoutSummary<DecodeReject>},
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
void AddRest(TDecodeTree* tree, TNodeId parent, const QString& label, const uint8_t* data, uint32_t count,
             uint32_t position)
{
    if (!tree || position >= count)
        return;
    AddHexLine(tree, tree->AddChild(parent, label), data + position, count - position);
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
    const char* text = "unknown";
    for (const TProfile& p : kProfiles)
        if (p.value == profile)
            text = p.text;
    const TNodeId node = AddNode(tree, parent, QLatin1String(text));
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
    const TNodeId node = AddNode(tree, parent, QLatin1String(kind.text));
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
    const TNodeId argument = AddNode(tree, parent, QStringLiteral("argument"));
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
    AddRest(tree, parent, QStringLiteral("result"), data, count, position);
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
    AddRest(tree, parent, QStringLiteral("parameter"), data, count, position);
}

void DecodeReject(TDecodeTree* tree, TNodeId parent, const uint8_t* data, uint32_t count)
{
    AddHexLine(tree, parent, data, count);
}
