#include "FrameKeys.h"

#include <QByteArray>
#include <gtest/gtest.h>

namespace {

TFrameKeys Keys(const char* hex, bool values = true)
{
    const QByteArray octets = QByteArray::fromHex(hex);
    return FrameKeys(reinterpret_cast<const uint8_t*>(octets.constData()), uint32_t(octets.size()), values);
}

TEST(FrameKeysTest, SetupGivesCallReferenceTypeAndNumbers)
{
    // SETUP, call reference 5, calling 0301234 (national), called 123.
    const TFrameKeys keys = Keys("02FF0308010505" "04038090A3" "6C09A18030333031323334" "700481313233");
    EXPECT_TRUE(keys.Q931);
    EXPECT_EQ(keys.CallReferenceLength, 1);
    EXPECT_EQ(keys.CallReference, 5u);
    EXPECT_FALSE(keys.CallReferenceFlag);
    EXPECT_EQ(keys.MessageType, 0x05);
    EXPECT_EQ(keys.Called, QStringLiteral("123"));
    EXPECT_TRUE(keys.Calling.endsWith(QStringLiteral("0301234")));
    EXPECT_TRUE(keys.Cause.isEmpty());
}

TEST(FrameKeysTest, FlagAndTwoOctetReferenceAndBit8OfTheMessageType)
{
    const TFrameKeys keys = Keys("0001000208028102C5");
    EXPECT_EQ(keys.CallReferenceLength, 2);
    EXPECT_EQ(keys.CallReference, 0x102u); // low seven bits of each octet
    EXPECT_TRUE(keys.CallReferenceFlag);
    EXPECT_EQ(keys.MessageType, 0x45);
}

TEST(FrameKeysTest, CauseOfADisconnectAndKeypadDigits)
{
    const TFrameKeys keys = Keys("02FF03080185450802809008028091" "2C023435");
    EXPECT_EQ(keys.MessageType, 0x45);
    EXPECT_TRUE(keys.CallReferenceFlag);
    EXPECT_EQ(keys.Cause, QStringLiteral("16:Normal call clearing")); // the first cause counts
    EXPECT_EQ(keys.Called, QStringLiteral("45"));
    EXPECT_TRUE(Keys("02FF030801854508028090", false).Cause.isEmpty());
}

TEST(FrameKeysTest, FramesWithoutAQ931MessageAndTruncatedOnes)
{
    EXPECT_FALSE(Keys("").Q931);
    EXPECT_FALSE(Keys("02FF").Q931);
    EXPECT_FALSE(Keys("02BB010A").Q931);          // RR
    EXPECT_FALSE(Keys("FEFF030F7C5A01FF").Q931);  // TEI management
    const TFrameKeys dummy = Keys("02FF03080062");
    EXPECT_TRUE(dummy.Q931);
    EXPECT_EQ(dummy.CallReferenceLength, 0);
    EXPECT_EQ(dummy.MessageType, 0x62);
    const TFrameKeys cut = Keys("02FF030802"); // ends inside the call reference
    EXPECT_TRUE(cut.Q931);
    EXPECT_EQ(cut.MessageType, 0);
    const TFrameKeys clipped = Keys("02FF0308010505" "70FF8131"); // element longer than the frame
    EXPECT_EQ(clipped.Called, QStringLiteral("1"));
}

} // namespace
