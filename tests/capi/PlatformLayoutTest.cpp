// The DATA_B3 messages of the data path against the platform library's own
// message layout: libcapi20 takes them apart and builds them for this host.

#include "CapiTestSupport.h"

#include <capi20.h>
#include <capiutils.h>

#include <cstring>

namespace {

using PlatformLayout = SimCapiTest;

TEST_F(PlatformLayout, DataB3RequestIsReadByThePlatformLibrary)
{
    ASSERT_TRUE(Open());
    const uint32_t first = VsimPutCount();
    uint8_t data[100] = {};
    ASSERT_EQ(capi->DataB3Request(0x00010101, data, true, false, 100), 0);
    uint8_t message[64] = {};
    ASSERT_EQ(VsimGetPut(first, message, sizeof message), 30u);
    _cmsg cmsg;
    std::memset(&cmsg, 0, sizeof cmsg);
    capi_message2cmsg(&cmsg, message);
    EXPECT_EQ(cmsg.Command, 0x86);
    EXPECT_EQ(cmsg.Subcommand, 0x80);
    EXPECT_EQ(cmsg.adr.adrNCCI, 0x00010101u);
    EXPECT_EQ(static_cast<void*>(cmsg.Data), static_cast<void*>(data));
    EXPECT_EQ(cmsg.DataLength, 100);
    EXPECT_EQ(cmsg.DataHandle, 0);
    EXPECT_EQ(cmsg.Flags, 0);
}

TEST(PlatformLayoutOfTheLibrary, DataB3IndicationIsReadFromItsPointer)
{
    // The library builds an indication; the data path finds the same fields.
    uint8_t data[4] = {1, 2, 3, 4};
    _cmsg cmsg;
    std::memset(&cmsg, 0, sizeof cmsg);
    capi_cmsg_header(&cmsg, 1, 0x86, 0x82, 0x0203, 0x00010101);
    cmsg.Data = data;
    cmsg.DataLength = 4;
    cmsg.DataHandle = 6;
    uint8_t message[64] = {};
    capi_cmsg2message(&cmsg, message);
    ASSERT_EQ(message[0] | message[1] << 8, 30);
    uint64_t pointer = 0;
    std::memcpy(&pointer, message + 22, 8); // little-endian host
    EXPECT_EQ(pointer, reinterpret_cast<uintptr_t>(data));
    EXPECT_EQ(message[16] | message[17] << 8, 4);
    EXPECT_EQ(message[18] | message[19] << 8, 6);
}

} // namespace
