#include "TreeWidgetDecodeTree.h"

#include "AppTestSupport.h"
#include "FrameDecoder.h"
#include "MemoryTree.h"

#include <QTreeWidget>

#include <gtest/gtest.h>

namespace {

// The widget's nodes in pre-order, two blanks per level, as TMemoryTree::Lines.
QStringList Lines(const QTreeWidget& widget)
{
    QStringList lines;
    std::function<void(QTreeWidgetItem*, int)> walk = [&](QTreeWidgetItem* item, int depth) {
        lines << QString(depth * 2, QLatin1Char(' ')) + item->text(0);
        for (int i = 0; i < item->childCount(); ++i)
            walk(item->child(i), depth + 1);
    };
    for (int i = 0; i < widget.topLevelItemCount(); ++i)
        walk(widget.topLevelItem(i), 0);
    return lines;
}

TEST(TreeWidgetDecodeTree, AddsExpandsAndClears)
{
    QTreeWidget widget;
    TTreeWidgetDecodeTree tree(widget);
    const TNodeId a = tree.AddChild(kTopLevel, "a");
    const TNodeId a1 = tree.AddChild(a, "a1");
    tree.AddChild(a1, "a11");
    tree.AddChild(kTopLevel, "b");
    tree.Expand(a);
    EXPECT_EQ(Lines(widget), QStringList({"a", "  a1", "    a11", "b"}));
    EXPECT_TRUE(tree.Item(a)->isExpanded());
    EXPECT_FALSE(tree.Item(a1)->isExpanded());

    tree.Clear();
    EXPECT_EQ(widget.topLevelItemCount(), 0);
    // Ids from before the clear reach nothing.
    EXPECT_EQ(tree.Item(a), nullptr);
    tree.Expand(a1);
    tree.AddChild(a1, "top");
    EXPECT_EQ(Lines(widget), QStringList({"top"}));
}

TEST(TreeWidgetDecodeTree, UnknownIdsAddAtTheTopAndExpandNothing)
{
    QTreeWidget widget;
    TTreeWidgetDecodeTree tree(widget);
    tree.AddChild(-5, "x");
    tree.AddChild(1000, "y");
    tree.Expand(-1);
    tree.Expand(1000);
    EXPECT_EQ(Lines(widget), QStringList({"x", "y"}));
}

TEST(TreeWidgetDecodeTree, ShowsWhatTheDecoderBuilds)
{
    const QByteArray frames[] = {
        Hex("02 FF 03 08 01 05 05 04 03 80 90 A3 18 01 89 70 04 81 31 32 33"),
        Hex("02 01 01 0A"), Hex("00"), QByteArray(),
    };
    QTreeWidget widget;
    TTreeWidgetDecodeTree tree(widget);
    for (const QByteArray& frame : frames) {
        TMemoryTree memory;
        const auto* octets = reinterpret_cast<const uint8_t*>(frame.constData());
        DecodeFrame(&memory, octets, uint32_t(frame.size()));
        DecodeFrame(&tree, octets, uint32_t(frame.size()));
        EXPECT_EQ(Lines(widget), memory.Lines()) << frame.toHex().constData();
        for (size_t i = 0; i < memory.Nodes().size(); ++i)
            EXPECT_EQ(tree.Item(TNodeId(i + 1))->isExpanded(), memory.Nodes()[i].expanded);
    }
}

} // namespace
