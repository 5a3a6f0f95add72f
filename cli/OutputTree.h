#pragma once
// A decode tree that writes each node straight into the output as the
// decoder adds it: an indented line, or a member of a JSON array. Decoders
// add nodes in pre-order, so the output needs no second pass; a node added
// under an earlier node's later sibling makes the frame's tree be written
// again in pre-order at the end. It never holds a QString: decoding many
// frames allocates nothing once its buffers have grown.

#include "ByteBuffer.h"
#include "DecodeTree.h"

#include <cstdint>
#include <vector>

class TOutputTree final : public TDecodeTree {
public:
    enum class TForm { Lines, Json };
    explicit TOutputTree(TForm form) : m_form(form) {}

    // Nodes added from now on go to out, until End.
    void Begin(TByteBuffer& out);
    // Ends the tree: a JSON array is closed.
    void End();

    void Clear() override;
    TNodeId AddChild(TNodeId parent, const QString& text) override;
    void Expand(TNodeId) override {} // the output shows every node

private:
    struct TNode {
        size_t text;     // offset of the encoded text in the output
        uint32_t length; // of the encoded text
        int32_t parent;  // index, -1 at the top level
        int32_t depth;
    };
    // Writes a node's text with what goes before it; the text comes from
    // `from` when given (a rewrite), else from text.
    void Put(TNode& node, const QString* text, const char* from);
    void CloseJson(int32_t depth);
    void Rewrite();

    TForm m_form;
    TByteBuffer* m_out = nullptr;
    size_t m_start = 0; // where the tree begins in the output
    std::vector<TNode> m_nodes;
    bool m_inPreOrder = true; // the order of adding is pre-order

    int32_t m_openDepth = -1; // JSON: depth of the node whose children array is open
    TByteBuffer m_copy;       // the written tree while it is rewritten
};
