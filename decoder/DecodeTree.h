#pragma once
// The tree the decoders fill: an ordered tree of text nodes. Decoders take a
// pointer to one; a null tree means "compute the text results only".

#include <QString>
#include <QtGlobal>

using TNodeId = qintptr;
constexpr TNodeId kTopLevel = 0; // parent id for top-level nodes

class TDecodeTree {
public:
    virtual ~TDecodeTree() = default;
    virtual void Clear() = 0;
    // Adds a child under parent (kTopLevel for a top-level node) and returns it.
    virtual TNodeId AddChild(TNodeId parent, const QString& text) = 0;
    virtual void Expand(TNodeId node) = 0;
};
