#pragma once
// A decode tree held in memory, for tests and the command line.

#include "DecodeTree.h"

#include <QStringList>
#include <vector>

class TMemoryTree final : public TDecodeTree {
public:
    struct Node {
        QString text;
        int parent = -1; // index of the parent, -1 at the top level
        int depth = 0;
        bool expanded = false;
    };

    void Clear() override;
    TNodeId AddChild(TNodeId parent, const QString& text) override;
    void Expand(TNodeId node) override;

    // Nodes in pre-order (the order they were added, which is pre-order for
    // decoders that finish a node's children before adding its next sibling).
    const std::vector<Node>& Nodes() const { return m_nodes; }
    // One line per node in pre-order, indented by two blanks per level.
    QStringList Lines() const;
    // Texts of the children of a node (kTopLevel: the top-level nodes).
    QStringList Children(TNodeId parent) const;
    // The first node whose text equals text, or -1.
    TNodeId Find(const QString& text) const;
    const Node& At(TNodeId node) const { return m_nodes[size_t(node - 1)]; }

private:
    std::vector<Node> m_nodes;
};
