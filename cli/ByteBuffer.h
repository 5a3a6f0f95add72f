#pragma once
// A growable run of output bytes that is reused from batch to batch: writers
// reserve room for the worst case, fill it through a pointer and commit what
// they used, so appending costs no per-character checks.

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <vector>

class TByteBuffer {
public:
    // Room for at least n more bytes; fill it, then Commit the end.
    char* Reserve(size_t n)
    {
        if (m_size + n > m_bytes.size())
            m_bytes.resize(std::max(m_bytes.size() * 2, m_size + n));
        return m_bytes.data() + m_size;
    }
    void Commit(const char* end) { m_size = size_t(end - m_bytes.data()); }

    void Append(const char* bytes, size_t n)
    {
        if (n == 0)
            return; // an empty view may have no data at all
        std::memcpy(Reserve(n), bytes, n);
        m_size += n;
    }
    void Append(char c) { *Reserve(1) = c, ++m_size; }
    template <size_t N>
    void AppendLiteral(const char (&text)[N])
    {
        Append(text, N - 1);
    }

    const char* Data() const { return m_bytes.data(); }
    size_t Size() const { return m_size; }
    void Clear() { m_size = 0; } // keeps the memory for the next batch
    void Truncate(size_t size) { m_size = std::min(m_size, size); }

private:
    std::vector<char> m_bytes;
    size_t m_size = 0;
};
