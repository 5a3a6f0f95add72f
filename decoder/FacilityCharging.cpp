#include "FacilityCharging.h"

#include "DecoderText.h"
#include "FacilityBer.h"
#include "HexLine.h"

#include <iterator>

namespace {

// Fixed texts are handed to the tree without a copy, and not at all without one.
TNodeId AddNode(TDecodeTree* tree, TNodeId parent, QStringView text)
{
    return tree ? tree->AddChild(parent, StaticText(text)) : kTopLevel;
}

constexpr uint8_t kSequence = 16;
constexpr uint8_t kInteger = 2;
constexpr uint8_t kRecordedUnitsList = 1; // [1] of the AOC choice

constexpr QStringView kTypeOfUnits[] = {u"recordedTypeOfUnits: subTotal", u"recordedTypeOfUnits: total"};

QString FreeOfCharge(TDecodeTree* tree, TNodeId parent)
{
    AddNode(tree, parent, u"freeOfCharge");
    return QStringLiteral("0");
}

// From the [1] recordedUnitsList header on: the first entry's number of
// units and the type of units that follows it. Only the first entry is shown.
QString DecodeUnitsList(TDecodeTree* tree, TNodeId parent, const uint8_t* data, uint32_t count,
                        uint32_t& position, bool withTypeOfUnits)
{
    if (ReadLength(data, count, position) == 0 || ReadBerTag(data, count, position) != kRecordedUnitsList)
        return {};
    const TNodeId list = AddNode(tree, parent, u"recordedUnitsList");
    ReadLength(data, count, position);
    if (position >= count || ReadBerTag(data, count, position) != kSequence)
        return {};
    ReadLength(data, count, position);
    if (PeekBerTag(data, count, position) != kInteger)
        return {}; // number of units not available
    const QString units = QString::number(ReadInteger(data, count, position));
    if (tree)
        tree->AddChild(list, Joined(u"recordedNumberOfUnits: ", units));
    // Either the entry's own type of units or, when that is absent, the
    // type of charging after the list; users know both under one name.
    if (withTypeOfUnits && PeekBerTag(data, count, position) == kInteger) {
        const uint32_t type = ReadInteger(data, count, position);
        if (type < std::size(kTypeOfUnits))
            AddNode(tree, list, kTypeOfUnits[type]);
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
