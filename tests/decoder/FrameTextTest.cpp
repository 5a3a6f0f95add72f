#include "FrameText.h"
#include "MemoryTree.h"

#include <QByteArray>
#include <gtest/gtest.h>

namespace {

QStringList Lines(const QByteArray& hex, bool layer2)
{
    const QByteArray octets = QByteArray::fromHex(hex);
    TMemoryTree tree;
    return FrameTextLines(reinterpret_cast<const uint8_t*>(octets.constData()), uint32_t(octets.size()), layer2, tree);
}

TEST(FrameTextTest, SummaryThenTreeIndentedByLevel)
{
    const QStringList lines = Lines("02FF030801050504038090A3", true);
    ASSERT_GE(lines.size(), 8);
    EXPECT_EQ(lines[0], QStringLiteral("UI(7F), setup(05)"));
    EXPECT_EQ(lines[1], QStringLiteral("Layer 2 (Q.921)"));
    EXPECT_EQ(lines[2], QStringLiteral("  02 FF 03 "));
    EXPECT_TRUE(lines.contains(QStringLiteral("Layer 3 (Q.931)")));
    EXPECT_TRUE(lines.contains(QStringLiteral("  Message type: setup")));
    EXPECT_TRUE(lines.contains(QStringLiteral("  IE: bearer capability")));
}

TEST(FrameTextTest, LineBreakInsideANodeTextStaysOnItsLine)
{
    // A display element whose text carries CR LF.
    const QStringList lines = Lines("02FF0308010505" "2804" "410D0A42", false);
    for (const QString& line : lines) {
        EXPECT_FALSE(line.contains(u'\n'));
        EXPECT_FALSE(line.contains(u'\r'));
    }
    EXPECT_TRUE(lines.join(u'\n').contains(QChar(QChar::ReplacementCharacter)));
}

} // namespace
