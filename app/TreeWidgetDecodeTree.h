#pragma once
// The decode tree shown in the window: the decoders' tree interface over a
// QTreeWidget. Node ids are indexes into the items added since the last
// Clear, so an id the decoders did not get from here cannot reach an item.

#include "DecodeTree.h"

#include <QTreeWidget>
#include <vector>

class TTreeWidgetDecodeTree final : public TDecodeTree {
public:
    explicit TTreeWidgetDecodeTree(QTreeWidget& widget);

    void Clear() override;
    // An unknown parent adds the node at the top level.
    TNodeId AddChild(TNodeId parent, const QString& text) override;
    void Expand(TNodeId node) override;

    QTreeWidget& Widget() const { return m_widget; }
    QTreeWidgetItem* Item(TNodeId node) const;

private:
    QTreeWidget& m_widget;
    std::vector<QTreeWidgetItem*> m_items; // owned by the widget
};
