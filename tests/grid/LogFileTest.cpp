#include "LogFile.h"
#include "LogFormat.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <csignal>
#include <random>
#include <sys/resource.h>
#include <unistd.h>

namespace {

class LogFileTest : public ::testing::Test {
protected:
    QString Path(const QString& name) const { return m_dir.filePath(name); }

    QString Write(const QByteArray& bytes, const QString& name = "in.log") const
    {
        QFile file(Path(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        EXPECT_EQ(file.write(bytes), bytes.size());
        return file.fileName();
    }

    static QByteArray Read(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
    }

    // Rows of a log as '|'-joined texts.
    static QStringList Load(const QByteArray& bytes, int columns = 4, QChar delimiter = u';')
    {
        QBuffer buffer;
        buffer.setData(bytes);
        buffer.open(QIODevice::ReadOnly);
        TLogRows rows;
        EXPECT_TRUE(ReadLog(buffer, delimiter, columns, false, rows));
        QStringList lines;
        for (qsizetype r = 0; r < rows.Count(); ++r)
            lines.append(rows.Texts(r).join(u'|'));
        return lines;
    }

    QTemporaryDir m_dir;
};

const QByteArray kBom("\xEF\xBB\xBF");

} // namespace

TEST_F(LogFileTest, SavingNoRowsWritesOnlyTheByteOrderMark)
{
    TLogRows rows;
    ASSERT_TRUE(SaveLog(Path("empty.log"), u';', false, rows));
    EXPECT_EQ(Read(Path("empty.log")), kBom);
    EXPECT_TRUE(Load(kBom).isEmpty());
    EXPECT_TRUE(Load({}).isEmpty());
}

TEST_F(LogFileTest, SavedLinesAreEscapedTrimmedAndEndInCrLf)
{
    TLogRows rows;
    rows.AppendLine(u"a;b;c;d;e;f", u';', 4, false);
    rows.AppendTexts(QStringList{"x;y", u"x\u00FEy"_qs, "  12 ", "02 FF 03 "}, 4);
    rows.AppendTexts(QStringList{"line\r\nbreak", "", "", ""}, 4, 7);
    ASSERT_TRUE(SaveLog(Path("out.log"), u';', false, rows));
    EXPECT_EQ(Read(Path("out.log")),
              kBom + "a;b;c;d\r\nx\xC3\xBEy;x\xC3\xBEy;12;02 FF 03\r\nline  break;;;\r\n");

    ASSERT_TRUE(SaveLog(Path("image.log"), u';', true, rows));
    EXPECT_EQ(Read(Path("image.log")).split('\n').value(2), "7;line  break;;;\r");

    TLogRows back;
    ASSERT_EQ(LoadLog(Path("out.log"), u';', 4, false, back), TLogLoad::Loaded);
    EXPECT_EQ(back.Texts(1), (QStringList{"x;y", "x;y", "12", "02 FF 03"}));
}

TEST_F(LogFileTest, ReadingLeftTrimsOnly)
{
    EXPECT_EQ(Load(kBom + "  12 ;b\r\n"), QStringList{"12 |b||"});
}

TEST_F(LogFileTest, EncodingFollowsTheByteOrderMark)
{
    const QString text = u"ä€;日本\r\nz"_qs;
    QByteArray le("\xFF\xFE");
    QByteArray be("\xFE\xFF");
    for (const QChar c : text) {
        le.append(char(c.unicode() & 0xFF)).append(char(c.unicode() >> 8));
        be.append(char(c.unicode() >> 8)).append(char(c.unicode() & 0xFF));
    }
    const QStringList expected{u"ä€|日本||"_qs, "z|||"};
    EXPECT_EQ(Load(le), expected);
    EXPECT_EQ(Load(be), expected);
    EXPECT_EQ(Load(kBom + text.toUtf8()), expected);
    // No mark: Windows-1252, so UTF-8 text reads as separate characters.
    EXPECT_EQ(Load("\xC3\xA4;\x80\xFE"), QStringList{u"Ã¤|€;||"_qs});
}

TEST_F(LogFileTest, LineBreaksAndTheEndOfTheText)
{
    const struct {
        QByteArray bytes;
        QStringList rows;
    } cases[] = {
        {"a\r\nb\rc\nd", {"a", "b", "c", "d"}},
        {"a\r\n", {"a"}},
        {"a\r", {"a"}},
        {"\r\n", {""}},
        {"a\n\n", {"a", ""}},
        {"\n\r", {"", ""}},
        {"a\r\r\nb", {"a", "", "b"}},
        {QByteArray("a\r\nb\0c\r\nd", 9), {"a", "b"}},
        {QByteArray("\0a", 2), {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Load(kBom + c.bytes, 1), c.rows) << c.bytes.toStdString();
}

TEST_F(LogFileTest, BlockBoundariesSplitNothing)
{
    // Lines and characters that straddle the 4 MiB reading blocks.
    constexpr qsizetype kBlock = qsizetype(4) << 20;
    for (const qsizetype shift : {-2, -1, 0, 1}) {
        QByteArray utf8 = kBom + QByteArray(kBlock - 3 + shift - 1, 'a');
        utf8 += "\r\n\xE2\x82\xAC;b\r\n";
        const QStringList rows = Load(utf8, 2);
        ASSERT_EQ(rows.size(), 2) << shift;
        EXPECT_EQ(rows[1], u"€|b"_qs) << shift;
    }
    for (const qsizetype shift : {-2, 0, 2}) {
        QByteArray utf16("\xFF\xFE");
        utf16 += QByteArray(kBlock - 2 + shift - 2, 'a'); // "愀..." pairs, then a surrogate pair
        utf16 += QByteArray("\x3D\xD8\x00\xDE\x0A\x00", 6);
        const QStringList rows = Load(utf16, 1);
        ASSERT_EQ(rows.size(), 1) << shift;
        EXPECT_TRUE(rows[0].endsWith(u"\U0001F600"_qs)) << shift;
    }
}

TEST_F(LogFileTest, BatchesHandOnEveryRowOnceAndStopWhenAsked)
{
    const QByteArray log = kBom + "a;1\r\nb;2\nc;3\r\nd;4\re;5";
    for (const qsizetype batch : {1, 2, 5, 9}) {
        QBuffer buffer;
        buffer.setData(log);
        buffer.open(QIODevice::ReadOnly);
        QStringList rows;
        int calls = 0;
        EXPECT_TRUE(ReadLogBatches(buffer, u';', 2, false, batch, [&](const TLogRows& part) {
            EXPECT_LE(part.Count(), batch);
            EXPECT_GT(part.Count(), 0);
            for (qsizetype r = 0; r < part.Count(); ++r)
                rows.append(part.Texts(r).join(u'|'));
            ++calls;
            return true;
        }));
        EXPECT_EQ(rows, Load(log, 2)) << batch;
        EXPECT_EQ(calls, (5 + batch - 1) / batch) << batch;
    }
    QBuffer buffer;
    buffer.setData(log);
    buffer.open(QIODevice::ReadOnly);
    int calls = 0;
    EXPECT_FALSE(ReadLogBatches(buffer, u';', 2, false, 2, [&](const TLogRows&) { return ++calls < 2; }));
    EXPECT_EQ(calls, 2);
}

TEST_F(LogFileTest, ManyLinesWithLoneCrReadInLinearTime)
{
    QByteArray bytes = kBom;
    for (int i = 0; i < 400000; ++i)
        bytes += "r;x\r";
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    TLogRows rows;
    ASSERT_TRUE(ReadLog(buffer, u';', 2, false, rows));
    EXPECT_EQ(rows.Count(), 400000);
}

TEST_F(LogFileTest, BadBytesStillGiveRows)
{
    // UTF-16 cut in the middle of a character.
    EXPECT_EQ(Load(QByteArray("\xFF\xFE" "a\0;\0b\0\n", 9), 2), QStringList{u"a|b\uFFFD"_qs});
    // Malformed UTF-8 after the mark.
    EXPECT_EQ(Load(kBom + "\xC3;\xFF\xFE\r\n", 2), QStringList{u"\uFFFD|\uFFFD\uFFFD"_qs});

    std::mt19937 random(7);
    for (const QByteArray& start : {QByteArray(), kBom, QByteArray("\xFF\xFE"), QByteArray("\xFE\xFF")}) {
        QByteArray garbage = start;
        for (int i = 0; i < 1 << 20; ++i)
            garbage.append(char(random() % 255 + 1)); // no NUL, so all of it is read
        QBuffer buffer(&garbage);
        buffer.open(QIODevice::ReadOnly);
        TLogRows rows;
        ASSERT_TRUE(ReadLog(buffer, u';', 4, true, rows));
        EXPECT_GE(rows.Count(), 1);
        QBuffer out;
        out.open(QIODevice::WriteOnly);
        EXPECT_TRUE(WriteLog(out, u';', true, rows));
    }
}

TEST_F(LogFileTest, OneLineOfHundredMegabytes)
{
    QByteArray line(100 << 20, 'x');
    line[10] = ';';
    const QString path = Write(kBom);
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::Append));
        file.write(line);
        file.write("\r\n");
    }
    line.clear();
    TLogRows rows;
    ASSERT_EQ(LoadLog(path, u';', 2, false, rows), TLogLoad::Loaded);
    ASSERT_EQ(rows.Count(), 1);
    EXPECT_EQ(rows.Field(0, 0), QByteArray(10, 'x'));
    EXPECT_EQ(rows.Field(0, 1).size(), (100 << 20) - 11);
}

TEST_F(LogFileTest, FilesThatCannotBeRead)
{
    TLogRows rows;
    EXPECT_EQ(LoadLog(Path("none.log"), u';', 4, false, rows), TLogLoad::Missing);
    EXPECT_EQ(LoadLog(QString(), u';', 4, false, rows), TLogLoad::Missing);
    EXPECT_EQ(LoadLog(m_dir.path(), u';', 4, false, rows), TLogLoad::Failed);
    EXPECT_EQ(LoadLog("/dev/zero", u';', 4, false, rows), TLogLoad::Failed);
    if (geteuid() != 0) {
        const QString path = Write(kBom + "a\r\n");
        QFile::setPermissions(path, QFileDevice::WriteOwner);
        EXPECT_EQ(LoadLog(path, u';', 4, false, rows), TLogLoad::Failed);
    }
}

TEST_F(LogFileTest, FailedSaveLeavesTheOldFile)
{
    TLogRows rows;
    rows.AppendTexts(QStringList{"a"}, 1);
    EXPECT_FALSE(SaveLog(m_dir.path(), u';', false, rows));
    EXPECT_FALSE(SaveLog(Path("no/such/dir.log"), u';', false, rows));
    EXPECT_FALSE(SaveLog(QString(), u';', false, rows));
    Write("x", "plain");
    EXPECT_FALSE(SaveLog(Path("plain/sub.log"), u';', false, rows));
    if (geteuid() != 0) {
        const QString path = Write(kBom + "good\r\n", "good.log");
        QFile::setPermissions(path, QFileDevice::ReadOwner);
        QFile::setPermissions(m_dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        EXPECT_FALSE(SaveLog(path, u';', false, rows));
        QFile::setPermissions(m_dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        EXPECT_EQ(Read(path), kBom + "good\r\n");
    }
}

TEST_F(LogFileTest, SaveCutShortByAFullDiskLeavesTheOldFile)
{
    const QString path = Write(kBom + "good\r\n", "good.log");
    TLogRows rows;
    for (int i = 0; i < 1000; ++i)
        rows.AppendTexts(QStringList{"10:15:02,114", "R", "setup(05)", "02 FF 03 08 01 05 05 04 03 80 90 A3"}, 4);

    // A file size limit stands in for a full disk; it holds for root as well.
    rlimit old {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool saved = SaveLog(path, u';', false, rows);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(saved);
    EXPECT_EQ(Read(path), kBom + "good\r\n");
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files), QStringList{"good.log"}); // no temporary left
}

TEST_F(LogFileTest, WriterAppendsRowsAsTheyCome)
{
    TLogWriter writer;
    const QString path = Path("live.log");
    ASSERT_TRUE(writer.Open(path));
    ASSERT_TRUE(writer.AppendRow(QStringList{"10:15:02,114", "R", "setup(05)", "02 FF 03 "}));
    EXPECT_EQ(Read(path), kBom + "10:15:02,114;R;setup(05);02 FF 03\r\n");
    writer.Close();
    ASSERT_TRUE(writer.Open(path, u';', false, true));
    ASSERT_TRUE(writer.AppendRow(QStringList{"t", "T", "a;b", ""}));
    writer.Close();
    TLogRows rows;
    ASSERT_EQ(LoadLog(path, u';', 4, false, rows), TLogLoad::Loaded);
    ASSERT_EQ(rows.Count(), 2);
    EXPECT_EQ(rows.Texts(1), (QStringList{"t", "T", "a;b", ""}));
    EXPECT_FALSE(writer.AppendRow(QStringList{"closed"}));
    EXPECT_FALSE(writer.Open(Path("no/dir.log")));

    EXPECT_EQ(LogLine(QStringList{" a", "b;"}, u';', true, -1), "-1;a;b\xC3\xBE\r\n");
}

TEST_F(LogFileTest, WriterAppendsBelowALastLineWithoutLineBreak)
{
    const struct {
        QByteArray before;
        QByteArray after;
    } cases[] = {
        {kBom + "a;1", kBom + "a;1\r\nb;2\r\n"},
        {kBom + "a;1\r\n", kBom + "a;1\r\nb;2\r\n"},
        {kBom + "a;1\n", kBom + "a;1\nb;2\r\n"},
        {kBom, kBom + "b;2\r\n"},
        {{}, kBom + "b;2\r\n"},
    };
    for (const auto& c : cases) {
        const QString path = Write(c.before, "old.log");
        TLogWriter writer;
        ASSERT_TRUE(writer.Open(path, u';', false, true));
        ASSERT_TRUE(writer.AppendRow(QStringList{"b", "2"}));
        writer.Close();
        EXPECT_EQ(Read(path), c.after) << c.before.toStdString();
    }
    // A device is written to without being read first.
    TLogWriter writer;
    ASSERT_TRUE(writer.Open("/dev/null", u';', false, true));
    EXPECT_TRUE(writer.AppendRow(QStringList{"b"}));
}
