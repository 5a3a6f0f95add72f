// The names of vessik-cli answer's recordings and its line per call.

#include "AnswerFormat.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

const QDateTime kOffered(QDate(2026, 12, 9), QTime(19, 15, 2));

TEST(AnswerFormat, NamesARecordingByTimeAndCallingNumber)
{
    EXPECT_EQ(RecordingBaseName(kOffered, QStringLiteral("0301234567")), "20261209-191502-0301234567");
    EXPECT_EQ(RecordingBaseName(kOffered, QString()), "20261209-191502-unknown");
    // A number from the line never leaves the folder or hides a name.
    EXPECT_EQ(RecordingBaseName(kOffered, QStringLiteral("../x y\t\xe4")), "20261209-191502-.._x_y__");
    EXPECT_EQ(RecordingBaseName(kOffered, QStringLiteral("+49 30")), "20261209-191502-+49_30");
    EXPECT_EQ(RecordingBaseName(kOffered, QString(200, u'1')).size(), 16 + 64);
}

TEST(AnswerFormat, MakesANameUniqueInItsFolderAndAmongOpenCalls)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString base = QStringLiteral("20261209-191502-0301234567");
    EXPECT_EQ(UniqueRecordingName(QDir(dir.path()), base), base + ".wav");
    QFile file(dir.filePath(base + ".wav"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    EXPECT_EQ(UniqueRecordingName(QDir(dir.path()), base), base + "-2.wav");
    EXPECT_EQ(UniqueRecordingName(QDir(dir.path()), base, {base + "-2.wav"}), base + "-3.wav");
}

TEST(AnswerFormat, LineHasFiveTabSeparatedFieldsWithoutBlanks)
{
    EXPECT_EQ(AnswerLine(kOffered, QStringLiteral("0301234567"), QStringLiteral("4567"), 25600, 8000,
                         QStringLiteral("20261209-191502-0301234567.wav")),
              "2026-12-09T19:15:02\t0301234567\t4567\t3.2\t20261209-191502-0301234567.wav");
    // Withheld number, never answered.
    EXPECT_EQ(AnswerLine(kOffered, QString(), QStringLiteral("4567"), 0, 8000, QString()),
              "2026-12-09T19:15:02\t-\t4567\t0.0\t-");
    EXPECT_EQ(AnswerLine(kOffered, QStringLiteral("a\tb\nc d"), QString(), 4, 8000, QStringLiteral("x.wav")),
              "2026-12-09T19:15:02\ta_b_c_d\t-\t0.0\tx.wav");
}

} // namespace
