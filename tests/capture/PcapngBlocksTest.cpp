#include "PcapngBlocks.h"

#include <QtEndian>
#include <gtest/gtest.h>

namespace {

uint32_t At32(const QByteArray& bytes, qsizetype at)
{
    return qFromLittleEndian<uint32_t>(bytes.constData() + at);
}

uint16_t At16(const QByteArray& bytes, qsizetype at)
{
    return qFromLittleEndian<uint16_t>(bytes.constData() + at);
}

// Checks that the blocks tile the bytes, each with its length at both ends;
// returns the block types.
std::vector<uint32_t> Blocks(const QByteArray& bytes)
{
    std::vector<uint32_t> types;
    qsizetype at = 0;
    while (at < bytes.size()) {
        EXPECT_LE(at + 12, bytes.size());
        const uint32_t length = At32(bytes, at + 4);
        EXPECT_EQ(length % 4, 0u);
        EXPECT_LE(at + qsizetype(length), bytes.size());
        if (length < 12 || at + qsizetype(length) > bytes.size())
            break;
        EXPECT_EQ(At32(bytes, at + length - 4), length);
        types.push_back(At32(bytes, at));
        at += length;
    }
    return types;
}

TEST(PcapngBlocks, SectionInterfaceAndPacketTileTheFile)
{
    QByteArray bytes;
    AppendPcapngSectionHeader(bytes);
    AppendPcapngInterface(bytes, 177, 65535);
    AppendPcapngPacket(bytes, 0x0000000100000002ull, QByteArray("\x02\xFF\x03", 3), 3, kPcapngOutbound,
                       "setup(05)");
    const std::vector<uint32_t> expected = {0x0A0D0D0A, 1, 6};
    EXPECT_EQ(Blocks(bytes), expected);
    EXPECT_EQ(At32(bytes, 8), 0x1A2B3C4Du); // byte-order magic
}

TEST(PcapngBlocks, PacketCarriesTimeLengthsCommentAndFlags)
{
    QByteArray bytes;
    AppendPcapngPacket(bytes, 0x0000000100000002ull, QByteArray("\x02\xFF\x03\x08\x01", 5), 21, kPcapngInbound,
                       "setup(05)");
    EXPECT_EQ(At32(bytes, 8), 0u);  // interface
    EXPECT_EQ(At32(bytes, 12), 1u); // time, high word
    EXPECT_EQ(At32(bytes, 16), 2u); // time, low word
    EXPECT_EQ(At32(bytes, 20), 5u); // captured
    EXPECT_EQ(At32(bytes, 24), 21u); // on the wire
    EXPECT_EQ(bytes.mid(28, 5), QByteArray("\x02\xFF\x03\x08\x01", 5));
    const qsizetype options = 28 + 8; // data padded to 32 bits
    EXPECT_EQ(At16(bytes, options), 1); // comment
    EXPECT_EQ(At16(bytes, options + 2), 9);
    EXPECT_EQ(bytes.mid(options + 4, 9), QByteArray("setup(05)"));
    const qsizetype flags = options + 4 + 12;
    EXPECT_EQ(At16(bytes, flags), 2);
    EXPECT_EQ(At16(bytes, flags + 2), 4);
    EXPECT_EQ(At32(bytes, flags + 4), kPcapngInbound);
    EXPECT_EQ(At32(bytes, flags + 8), 0u); // end of options
    EXPECT_EQ(Blocks(bytes).size(), 1u);
}

TEST(PcapngBlocks, PacketWithoutCommentOrFlagsHasNoOptions)
{
    QByteArray bytes;
    AppendPcapngPacket(bytes, 0, QByteArray("\x00\x01\x7F", 3), 3, 0, {});
    EXPECT_EQ(bytes.size(), 28 + 4 + 4);
    EXPECT_EQ(Blocks(bytes).size(), 1u);
}

TEST(PcapngBlocks, OverlongCommentIsCutBetweenCharacters)
{
    QByteArray comment;
    for (int i = 0; i < 40000; ++i)
        comment.append("\xC3\xA4"); // two octets each: no character ends at 65535
    QByteArray bytes;
    AppendPcapngPacket(bytes, 0, QByteArray("\x00\x01\x7F", 3), 3, 0, comment);
    const uint16_t length = At16(bytes, 28 + 4 + 2);
    EXPECT_EQ(length, 65534);
    EXPECT_TRUE(QByteArrayView(bytes).sliced(28 + 4 + 4, length).isValidUtf8());
    EXPECT_EQ(Blocks(bytes).size(), 1u);
}

} // namespace
