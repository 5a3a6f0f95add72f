#include "MemoryTree.h"

void TMemoryTree::Clear()
{
    m_nodes.clear(); // keeps its capacity: decoding many frames reuses it
}

TNodeId TMemoryTree::AddChild(TNodeId parent, const QString& text)
{
    Node node;
    node.text = text;
    if (parent > 0 && size_t(parent) <= m_nodes.size()) {
        node.parent = int(parent - 1);
        node.depth = m_nodes[size_t(parent - 1)].depth + 1;
    }
    m_nodes.push_back(std::move(node));
    return TNodeId(m_nodes.size());
}

void TMemoryTree::Expand(TNodeId node)
{
    if (node > 0 && size_t(node) <= m_nodes.size())
        m_nodes[size_t(node - 1)].expanded = true;
}

QStringList TMemoryTree::Lines() const
{
    // Children are appended after their parent, but a later sibling of the
    // parent may come before them; walk the tree to print true pre-order.
    std::vector<std::vector<int>> children(m_nodes.size() + 1);
    for (size_t i = 0; i < m_nodes.size(); ++i)
        children[size_t(m_nodes[i].parent + 1)].push_back(int(i));
    QStringList lines;
    lines.reserve(qsizetype(m_nodes.size()));
    std::vector<int> stack(children[0].rbegin(), children[0].rend());
    while (!stack.empty()) {
        const int i = stack.back();
        stack.pop_back();
        const Node& n = m_nodes[size_t(i)];
        lines << QString(n.depth * 2, QLatin1Char(' ')) + n.text;
        const auto& c = children[size_t(i + 1)];
        stack.insert(stack.end(), c.rbegin(), c.rend());
    }
    return lines;
}

QStringList TMemoryTree::Children(TNodeId parent) const
{
    QStringList texts;
    const int p = parent > 0 ? int(parent - 1) : -1;
    for (const Node& n : m_nodes)
        if (n.parent == p)
            texts << n.text;
    return texts;
}

TNodeId TMemoryTree::Find(const QString& text) const
{
    for (size_t i = 0; i < m_nodes.size(); ++i)
        if (m_nodes[i].text == text)
            return TNodeId(i + 1);
    return -1;
}
