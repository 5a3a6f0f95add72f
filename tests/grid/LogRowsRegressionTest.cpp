// Inputs the fuzzer found to misbehave in the log format; each case failed
// under the sanitizer build (scripts/sanitize.sh) before its fix.

#include "LogFile.h"
#include "LogRows.h"

#include <QBuffer>
#include <gtest/gtest.h>

namespace {

QStringList LoadRows(const QByteArray& bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    TLogRows rows;
    EXPECT_TRUE(ReadLog(buffer, u';', 4, false, rows));
    QStringList lines;
    for (qsizetype r = 0; r < rows.Count(); ++r)
        lines << rows.Texts(r).join(u'|');
    return lines;
}

} // namespace

// An empty first field of the first row was appended to storage that held
// nothing yet: memchr got a null pointer (undefined even for zero bytes).
TEST(LogRowsRegression, EmptyFirstFieldOfAnEmptyStore)
{
    EXPECT_EQ(LoadRows(QByteArray("\xFF\xFE\x00\xD8;\x00\r\x00", 8)), QStringList{"?|||"});
    EXPECT_EQ(LoadRows(";a\r\n"), QStringList{"|a||"});
    EXPECT_EQ(LoadRows("\r\n"), QStringList{"|||"});

    TLogRows rows;
    EXPECT_TRUE(rows.AppendLine(u"", u';', 4, false));
    EXPECT_EQ(rows.Texts(0), (QStringList{"", "", "", ""}));
}
