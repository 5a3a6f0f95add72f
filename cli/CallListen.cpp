#include "CallListen.h"

#include "CapiMessageWriter.h"
#include "TFCapi20.h"

uint16_t ListenForCalls(TCapi20& capi)
{
    const uint32_t mask = capi.CIPMask();
    if (mask == 0)
        return 1;
    TCapiMessageWriter writer;
    writer.Init(uint16_t(capi.ApplID()), 0x05, 0x80, capi.NextMessageNumber());
    writer.AddDword(capi.Controller());
    writer.AddDword(0); // info mask
    writer.AddDword(mask);
    writer.AddDword(0); // CIP mask 2
    writer.AddEmptyStruct(); // calling party number
    writer.AddEmptyStruct(); // calling party subaddress
    return capi.PutCapiMessage(capi.ApplID(), writer.Message());
}
