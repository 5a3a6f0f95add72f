#include "LineBlocks.h"

#include <algorithm>
#include <cerrno>
#include <unistd.h>

bool TLineBlocks::Next(std::vector<char>& block)
{
    block.swap(m_rest);
    m_rest.clear();
    size_t searched = 0; // no line break before this offset
    for (;;) {
        // Cut after the last line break once the block is full.
        if (block.size() >= m_blockSize || m_ended) {
            const auto begin = block.begin() + std::ptrdiff_t(searched);
            auto cut = block.end();
            while (cut != begin && cut[-1] != '\n')
                --cut;
            if (cut != begin || m_ended) {
                if (!m_ended) {
                    m_rest.assign(cut, block.end());
                    block.erase(cut, block.end());
                }
                return !block.empty();
            }
            searched = block.size(); // one line longer than a block: read on
        }
        const size_t used = block.size();
        block.resize(std::max(used + m_blockSize / 4, m_blockSize));
        ssize_t n;
        do
            n = ::read(m_fd, block.data() + used, block.size() - used);
        while (n < 0 && errno == EINTR);
        block.resize(used + size_t(std::max<ssize_t>(n, 0)));
        if (n <= 0) {
            // A failed read (a directory as input) never reaches the end of
            // the input: stop on it as on the end.
            m_failed = n < 0;
            m_ended = true;
        }
    }
}
