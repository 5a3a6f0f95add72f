#include "TreeWidgetDecodeTree.h"

TTreeWidgetDecodeTree::TTreeWidgetDecodeTree(QTreeWidget& widget)
    : m_widget(widget)
{
}

void TTreeWidgetDecodeTree::Clear()
{
    m_items.clear();
    m_widget.clear();
}

QTreeWidgetItem* TTreeWidgetDecodeTree::Item(TNodeId node) const
{
    if (node <= 0 || size_t(node) > m_items.size())
        return nullptr;
    return m_items[size_t(node - 1)];
}

TNodeId TTreeWidgetDecodeTree::AddChild(TNodeId parent, const QString& text)
{
    QTreeWidgetItem* parentItem = Item(parent);
    auto* item = parentItem != nullptr ? new QTreeWidgetItem(parentItem, {text})
                                       : new QTreeWidgetItem(&m_widget, {text});
    m_items.push_back(item);
    return TNodeId(m_items.size());
}

void TTreeWidgetDecodeTree::Expand(TNodeId node)
{
    if (QTreeWidgetItem* item = Item(node))
        item->setExpanded(true);
}
