#include "OutputTree.h"

#include "Utf8Text.h"

#include <cstring>

namespace {

constexpr char kBlanks[] = "                                                                ";

void PutIndent(TByteBuffer& out, int32_t depth)
{
    size_t n = size_t(depth) * 2;
    while (n > 0) {
        const size_t part = std::min(n, sizeof kBlanks - 1);
        out.Append(kBlanks, part);
        n -= part;
    }
}

} // namespace

void TOutputTree::Begin(TByteBuffer& out)
{
    m_out = &out;
    m_start = out.Size();
    Clear();
}

void TOutputTree::Clear()
{
    if (m_out) {
        m_out->Truncate(m_start);
        if (m_form == TForm::Json)
            m_out->Append('[');
    }
    m_nodes.clear();
    m_path.clear();
    m_inPreOrder = true;
    m_openDepth = -1;
}

void TOutputTree::End()
{
    if (!m_inPreOrder)
        Rewrite();
    if (m_form == TForm::Json) {
        CloseJson(0);
        m_out->Append(']');
    }
    m_out = nullptr;
}

TNodeId TOutputTree::AddChild(TNodeId parent, const QString& text)
{
    TNode node;
    // An unknown parent puts the node at the top level, as the memory tree does.
    node.parent = parent > 0 && size_t(parent) <= m_nodes.size() ? int32_t(parent - 1) : -1;
    node.depth = node.parent < 0 ? 0 : m_nodes[size_t(node.parent)].depth + 1;
    while (!m_path.empty() && m_path.back() != node.parent)
        m_path.pop_back();
    if (node.parent >= 0 && m_path.empty())
        m_inPreOrder = false;
    m_path.push_back(int32_t(m_nodes.size()));
    if (m_out)
        Put(node, &text, nullptr);
    m_nodes.push_back(node);
    return TNodeId(m_nodes.size());
}

void TOutputTree::CloseJson(int32_t depth)
{
    for (; m_openDepth >= depth; --m_openDepth)
        m_out->AppendLiteral("]}");
}

void TOutputTree::Put(TNode& node, const QString* text, const char* from)
{
    TByteBuffer& out = *m_out;
    if (m_form == TForm::Lines) {
        PutIndent(out, node.depth);
    } else {
        // Close the nodes down to this one's parent: a sibling follows.
        if (node.depth <= m_openDepth) {
            CloseJson(node.depth);
            out.AppendLiteral(", ");
        }
        out.AppendLiteral("{\"text\": ");
    }
    const size_t at = out.Size();
    if (from)
        out.Append(from, node.length);
    else if (m_form == TForm::Lines)
        AppendOneLine(out, *text);
    else
        AppendJsonString(out, *text);
    node.text = at;
    node.length = uint32_t(out.Size() - at);
    if (m_form == TForm::Lines) {
        out.Append('\n');
    } else {
        out.AppendLiteral(", \"children\": [");
        m_openDepth = node.depth;
    }
}

// A child added under an earlier node comes after that node's later
// siblings: write the tree again, walking it in pre-order.
void TOutputTree::Rewrite()
{
    TByteBuffer& out = *m_out;
    m_copy.Clear();
    m_copy.Append(out.Data() + m_start, out.Size() - m_start);
    out.Truncate(m_start);
    if (m_form == TForm::Json)
        out.Append('[');
    m_openDepth = -1;

    std::vector<std::vector<int32_t>> children(m_nodes.size() + 1);
    for (size_t i = 0; i < m_nodes.size(); ++i)
        children[size_t(m_nodes[i].parent + 1)].push_back(int32_t(i));
    std::vector<int32_t> stack(children[0].rbegin(), children[0].rend());
    while (!stack.empty()) {
        TNode& node = m_nodes[size_t(stack.back())];
        const auto& c = children[size_t(stack.back() + 1)];
        stack.pop_back();
        Put(node, nullptr, m_copy.Data() + (node.text - m_start));
        stack.insert(stack.end(), c.rbegin(), c.rend());
    }
}
