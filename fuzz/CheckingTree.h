#pragma once
// A decode tree for the fuzz targets: it accepts only parents that exist and
// traps on anything else, and it traps when a decoder adds far more nodes
// than its input could explain (a runaway loop rather than a decoded frame).

#include "DecodeTree.h"

#include <QString>
#include <cstdint>

class TCheckingTree final : public TDecodeTree {
public:
    explicit TCheckingTree(uint64_t maxNodes) : m_maxNodes(maxNodes) {}

    void Clear() override { m_count = 0; }
    TNodeId AddChild(TNodeId parent, const QString& text) override
    {
        if (parent < 0 || uint64_t(parent) > m_count || ++m_count > m_maxNodes)
            __builtin_trap();
        m_chars += uint64_t(text.size());
        return TNodeId(m_count);
    }
    void Expand(TNodeId node) override
    {
        if (node <= 0 || uint64_t(node) > m_count)
            __builtin_trap();
    }

    uint64_t Count() const { return m_count; }
    uint64_t Chars() const { return m_chars; }

private:
    uint64_t m_maxNodes;
    uint64_t m_count = 0;
    uint64_t m_chars = 0;
};

inline void Check(bool condition)
{
    if (!condition)
        __builtin_trap();
}
