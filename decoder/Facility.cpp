#include "Facility.h"

#include "HexLine.h"

// Placeholder until the ROSE decoder lands: the contents as raw octets.
QString DecodeFacility(TDecodeTree* tree, TNodeId parent, const uint8_t* contents, uint32_t count)
{
    AddHexLine(tree, parent, contents, count);
    return {};
}
