#include "OutputTree.h"

#include "Utf8Text.h"

#include <cstring>

namespace {

constexpr char kBlanks[] = "                ";
constexpr size_t kBlankRun = sizeof kBlanks - 1;

// The indent of a node: a fixed-size copy while it is short, as it nearly
// always is. out has room for at least kBlankRun bytes.
char* PutIndent(char* out, int32_t depth)
{
    const size_t n = size_t(depth) * 2;
    if (n <= kBlankRun)
        std::memcpy(out, kBlanks, kBlankRun);
    else
        std::memset(out, ' ', n);
    return out + n;
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
    // In pre-order while the parent is the last node added or one of its ancestors.
    if (m_inPreOrder && node.parent >= 0) {
        int32_t a = int32_t(m_nodes.size()) - 1;
        while (a >= 0 && a != node.parent)
            a = m_nodes[size_t(a)].parent;
        m_inPreOrder = a == node.parent;
    }
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
    const size_t length = from ? node.length : size_t(text->size());
    char* p;
    if (m_form == TForm::Lines) {
        p = PutIndent(out.Reserve(std::max(size_t(node.depth) * 2, kBlankRun) + length * 3 + 1), node.depth);
    } else {
        // Close the nodes down to this one's parent: a sibling follows.
        if (node.depth <= m_openDepth) {
            CloseJson(node.depth);
            out.AppendLiteral(", ");
        }
        out.AppendLiteral("{\"text\": ");
        p = out.Reserve(length * 6 + 2 + sizeof ", \"children\": [");
    }
    char* const at = p;
    if (from) {
        std::memcpy(p, from, length);
        p += length;
    } else {
        p = m_form == TForm::Lines ? PutOneLine(p, *text) : PutJsonString(p, *text);
    }
    node.text = size_t(at - out.Data());
    node.length = uint32_t(p - at);
    if (m_form == TForm::Lines) {
        *p++ = '\n';
    } else {
        static constexpr char kChildren[] = ", \"children\": [";
        std::memcpy(p, kChildren, sizeof kChildren - 1);
        p += sizeof kChildren - 1;
        m_openDepth = node.depth;
    }
    out.Commit(p);
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
