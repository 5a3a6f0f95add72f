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
