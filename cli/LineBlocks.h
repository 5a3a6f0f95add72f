#pragma once
// Standard input in large blocks of whole lines, read with plain read(2): a
// read per block instead of a read and a string per line.

#include <cstddef>
#include <cstring>
#include <string_view>
#include <vector>

// Whole lines of input; its memory is kept from block to block.
struct TLineBlock {
    std::vector<char> bytes; // only ever grows: the block is its first `size` bytes
    size_t size = 0;

    std::string_view Text() const { return std::string_view(bytes.data(), size); }
};

class TLineBlocks {
public:
    TLineBlocks(int fd, size_t blockSize) : m_fd(fd), m_blockSize(blockSize) {}

    // Fills block with the next whole lines (the input's last line may lack
    // its line break); false when the input is used up or a read failed.
    bool Next(TLineBlock& block);
    bool Failed() const { return m_failed; }

private:
    int m_fd;
    size_t m_blockSize;
    std::vector<char> m_rest; // the start of a line that the last block cut
    bool m_ended = false;
    bool m_failed = false;
};

// Calls f for each line of the text, without its line break.
template <typename F>
void ForEachLine(std::string_view text, F&& f)
{
    const char* p = text.data();
    const char* end = p + text.size();
    while (p < end) {
        const char* lineEnd = static_cast<const char*>(std::memchr(p, '\n', size_t(end - p)));
        if (!lineEnd)
            lineEnd = end;
        f(std::string_view(p, size_t(lineEnd - p)));
        p = lineEnd + 1;
    }
}
