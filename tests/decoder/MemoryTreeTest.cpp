#include "MemoryTree.h"

#include <gtest/gtest.h>

TEST(MemoryTree, LinesArePreOrderEvenWhenChildrenAreAddedLate)
{
    TMemoryTree tree;
    const TNodeId a = tree.AddChild(kTopLevel, "a");
    const TNodeId b = tree.AddChild(kTopLevel, "b");
    tree.AddChild(b, "b1");
    tree.AddChild(a, "a1"); // added after b's child, printed under a
    tree.Expand(a);
    EXPECT_EQ(tree.Lines(), QStringList({"a", "  a1", "b", "  b1"}));
    EXPECT_TRUE(tree.At(a).expanded);
    EXPECT_FALSE(tree.At(b).expanded);
    tree.Clear();
    EXPECT_TRUE(tree.Lines().isEmpty());
}

#include "HexLine.h"

TEST(HexLine, DataColumnIsReadInStepsOfThree)
{
    const auto bytes = [](QStringView s) { return OctetsFromHexLine(s).toHex(' ').toUpper(); };
    EXPECT_EQ(bytes(u"02 ff 03"), "02 FF 03");
    EXPECT_EQ(bytes(u"02 XY 03"), "02 03");
    EXPECT_EQ(bytes(u"020103"), "02 10");
    EXPECT_EQ(bytes(u""), "");
    EXPECT_EQ(bytes(u"0"), "");
    EXPECT_EQ(bytes(u"0A "), "0A");
    EXPECT_EQ(OctetsFromHexLine(QString(300 * 3, u'1').replace(2, 1, u' ')).size(), 256);
    const uint8_t frame[] = {0x02, 0xFF, 0x03};
    EXPECT_EQ(OctetsFromHexLine(HexLine(frame, 3)), QByteArray("\x02\xFF\x03", 3));
}
