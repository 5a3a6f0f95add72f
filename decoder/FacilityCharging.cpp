#include "FacilityCharging.h"

#include "FacilityBer.h"
#include "HexLine.h"

#include <iterator>

namespace {

TNodeId AddNode(TDecodeTree* tree, TNodeId parent, const QString& text)
{
    return tree ? tree->AddChild(parent, text) : kTopLevel;
}

constexpr uint8_t kSequence = 16;
constexpr uint8_t kInteger = 2;
constexpr uint8_t kRecordedUnitsList = 1; // [1] of the AOC choice

constexpr const char* kTypeOfUnits[] = {"recordedTypeOfUnits: subTotal", "recordedTypeOfUnits: total"};

QString FreeOfCharge(TDecodeTree* tree, TNodeId parent)
{
    AddNode(tree, parent, QStringLiteral("freeOfCharge"));
    return QStringLiteral("0");
}

// From the [1] recordedUnitsList header on: the first entry's number of
// units and the type of units that follows it. Only the first entry is shown.
QString DecodeUnitsList(TDecodeTree* tree, TNodeId parent, const uint8_t* data, uint32_t count,
                        uint32_t& position, bool withTypeOfUnits)
{
    if (ReadLength(data, count, position) == 0 || ReadBerTag(data, count, position) != kRecordedUnitsList)
        return {};
    const TNodeId list = AddNode(tree, parent, QStringLiteral("recordedUnitsList"));
    ReadLength(data, count, position);
    if (position >= count || ReadBerTag(data, count, position) != kSequence)
        return {};
    ReadLength(data, count, position);
    if (PeekBerTag(data, count, position) != kInteger)
        return {}; // number of units not available
    const QString units = QString::number(ReadInteger(data, count, position));
    AddNode(tree, list, QStringLiteral("recordedNumberOfUnits: ") + units);
    // Either the entry's own type of units or, when that is absent, the
    // type of charging after the list; users know both under one name.
    if (withTypeOfUnits && PeekBerTag(data, count, position) == kInteger) {
        const uint32_t type = ReadInteger(data, count, position);
        if (type < std::size(kTypeOfUnits))
            AddNode(tree, list, QLatin1String(kTypeOfUnits[type]));
    }
    return units;
}

} // namespace

QString DecodeAocDUnits(TDecodeTree* tree, TNodeId parent, const uint8_t* data, uint32_t count)
{
    AddHexLine(tree, parent, data, count);
    if (count == 0)
        return {};
    uint32_t position = 0;
    if (ReadBerTag(data, count, position) != kSequence)
        return FreeOfCharge(tree, parent);
    return DecodeUnitsList(tree, parent, data, count, position, true);
}

QString DecodeAocEUnits(TDecodeTree* tree, TNodeId parent, const uint8_t* data, uint32_t count)
{
    AddHexLine(tree, parent, data, count);
    if (count == 0)
        return {};
    uint32_t position = 0;
    if (ReadBerTag(data, count, position) != kSequence)
        return {};
    ReadLength(data, count, position);
    if (ReadBerTag(data, count, position) != kSequence)
        return FreeOfCharge(tree, parent);
    return DecodeUnitsList(tree, parent, data, count, position, false);
}
