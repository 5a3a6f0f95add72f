#include "LineBlocks.h"

#include <algorithm>
#include <cerrno>
#include <unistd.h>

bool TLineBlocks::Next(TLineBlock& block)
{
    if (block.bytes.size() < std::max(m_blockSize, m_rest.size()))
        block.bytes.resize(std::max(m_blockSize, m_rest.size()));
    std::copy(m_rest.begin(), m_rest.end(), block.bytes.begin());
    block.size = m_rest.size();
    m_rest.clear();
    size_t searched = 0; // no line break before this offset
    for (;;) {
        // Cut after the last line break once the block is full.
        if (block.size >= m_blockSize || m_ended) {
            const char* begin = block.bytes.data() + searched;
            const char* end = block.bytes.data() + block.size;
            const char* cut = end;
            while (cut != begin && cut[-1] != '\n')
                --cut;
            if (cut != begin || m_ended) {
                if (!m_ended) {
                    m_rest.assign(cut, end);
                    block.size = size_t(cut - block.bytes.data());
                }
                return block.size > 0;
            }
            searched = block.size; // a line longer than a block: read on
        }
        if (block.bytes.size() - block.size < m_blockSize / 4)
            block.bytes.resize(block.bytes.size() + m_blockSize);
        ssize_t n;
        do
            n = ::read(m_fd, block.bytes.data() + block.size, block.bytes.size() - block.size);
        while (n < 0 && errno == EINTR);
        if (n > 0) {
            block.size += size_t(n);
        } else {
            // A failed read (a directory as input) never reaches the end of
            // the input: stop on it as on the end.
            m_failed = n < 0;
            m_ended = true;
        }
    }
}
