#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QStringList>

#include <gtest/gtest.h>

namespace {

struct TRun {
    int status = -1;
    QStringList out; // stdout lines
    QString err;
};

TRun RunCli(const QStringList& args, const QByteArray& input = {})
{
    QProcess process;
    process.start(QStringLiteral(VESSIK_CLI), args);
    EXPECT_TRUE(process.waitForStarted(10000));
    if (!input.isEmpty())
        process.write(input);
    process.closeWriteChannel();
    EXPECT_TRUE(process.waitForFinished(30000));
    TRun run;
    run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    QString out = QString::fromUtf8(process.readAllStandardOutput());
    if (out.endsWith(u'\n'))
        out.chop(1);
    run.out = out.split(u'\n');
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

const QStringList kSetupLines = {
    "Layer 2 (Q.921)",
    "  02 FF 03 ",
    "  Command/Response: 0x01",
    "  SAPI: 0x00",
    "  TEI: 0x7F",
    "  UI (unnumbered information)",
    "Layer 3 (Q.931)",
    "  08 01 05 05 18 01 89 ",
    "  Protocoldiscriminator: 0x08 (Q.931)",
    "  Message type: setup",
    "  CRV: 5",
    "  IE: channel",
    "    89 ",
    "    interface identifier present: interface implicitly identified",
    "    interface type: basic interface",
    "    exclusive; only the indicated channel is acceptable",
    "    the channel identified is not the D-channel",
    "    information channel selection: B1 channel",
};

const QStringList kRrLines = {
    "Layer 2 (Q.921)",      "  00 81 01 0A ",      "  Command/Response: 0x00", "  SAPI: 0x00",
    "  TEI: 0x40",          "  RR (receive ready): N(R)=0x05",
};

TEST(CliDecode, FramesFromArgumentsWithLayer2)
{
    const TRun run = RunCli({"decode", "--l2", "02 FF 03 08 01 05 05 18 01 89", "0081010a"});
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(run.err.isEmpty());
    const QStringList expected = QStringList{"UI(7F), setup(05)"} + kSetupLines + QStringList{"", "RR(40)"} + kRrLines;
    EXPECT_EQ(run.out, expected);
}

TEST(CliDecode, FramesFromStandardInputSkipEmptyLines)
{
    const TRun run = RunCli({"decode"}, "02ff0308010505180189\r\n\n   \n00 81 01 0A\n");
    EXPECT_EQ(run.status, 0);
    const QStringList expected = QStringList{"setup(05)"} + kSetupLines + QStringList{"", "(00)"} + kRrLines;
    EXPECT_EQ(run.out, expected);
}

TEST(CliDecode, UnreadableStandardInputEndsWithAnError)
{
    // A directory opens for reading but every read fails: no end of input
    // is ever seen, so the command must stop on the failure, not wait for it.
    QTemporaryDir dir;
    QProcess process;
    process.setStandardInputFile(dir.path());
    process.start(QStringLiteral(VESSIK_CLI), {"decode"});
    ASSERT_TRUE(process.waitForStarted(10000));
    const bool finished = process.waitForFinished(10000);
    if (!finished)
        process.kill();
    ASSERT_TRUE(finished);
    EXPECT_EQ(process.exitCode(), 1);
    EXPECT_TRUE(process.readAllStandardOutput().isEmpty());
    EXPECT_TRUE(QString::fromUtf8(process.readAllStandardError()).contains("standard input"));
}

TEST(CliDecode, BadArgumentIsNamedAndTheOthersStillDecoded)
{
    const TRun run = RunCli({"decode", "0081010a", "08 0G", "0081010a"});
    EXPECT_EQ(run.status, 2);
    EXPECT_TRUE(run.err.contains("08 0G")) << run.err.toStdString();
    const QStringList expected = QStringList{"(00)"} + kRrLines + QStringList{"", "(00)"} + kRrLines;
    EXPECT_EQ(run.out, expected);
}

TEST(CliDecode, LineBreaksInsideNodeTextsDoNotSplitLines)
{
    // A display element whose text holds a line feed.
    const TRun run = RunCli({"decode", "00 81 00 00 08 01 05 7B 28 03 41 0A 42"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out.last(), QString("    A") + QChar(QChar::ReplacementCharacter) + "B");
}

TEST(CliDecode, HelpAndUsageErrors)
{
    const TRun help = RunCli({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.join('\n').contains("decode"));
    const TRun decodeHelp = RunCli({"decode", "--help"});
    EXPECT_EQ(decodeHelp.status, 0);
    EXPECT_TRUE(decodeHelp.out.first().startsWith("Usage: vessik-cli decode"));
    EXPECT_EQ(RunCli({"no-such-command"}).status, 2);
    EXPECT_EQ(RunCli({"decode", "--no-such-option", "0081010a"}).status, 2);
    EXPECT_EQ(RunCli({}).status, 2);
}

TEST(CliDecode, LogFileRowsWithTheirTrees)
{
    QTemporaryDir dir;
    const QString log = dir.filePath("trace.log");
    QFile file(log);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    // BOM, a SETUP row, a row whose Data is lower case with a bad pair, a short row.
    file.write("\xEF\xBB\xBF"
               "10:15:02,114;R;setup(05);02 FF 03 08 01 05 05 18 01 89 \r\n"
               "10:15:03,000;T;(00);00 81 XY 01 0a\r\n"
               "only a caption\r\n");
    file.close();

    const TRun run = RunCli({"decode", "--log", log});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    const QStringList expected =
        QStringList{"10:15:02,114\tR\tsetup(05)\t02 FF 03 08 01 05 05 18 01 89 ", "setup(05)"} + kSetupLines +
        QStringList{"", "10:15:03,000\tT\t(00)\t00 81 XY 01 0a", "(00)"} + kRrLines +
        QStringList{"", "only a caption\t\t\t", "(00)", "Layer 2 (Q.921)"};
    EXPECT_EQ(run.out.join('\n').toStdString(), expected.join('\n').toStdString());

    const TRun l2 = RunCli({"decode", "--l2", "--log", log});
    EXPECT_EQ(l2.out.value(1), "UI(7F), setup(05)");
}

TEST(CliDecode, LogFileThatCannotBeLoaded)
{
    const TRun missing = RunCli({"decode", "--log", "/nonexistent/trace.log"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_TRUE(missing.err.contains("/nonexistent/trace.log"));
    EXPECT_EQ(RunCli({"decode", "--log"}).status, 2);
    EXPECT_EQ(RunCli({"decode", "--log", "x.log", "0081010a"}).status, 2);
}

// Many frames of every kind, with lines that are not frames among them.
QByteArray ManyLines(int count, bool withNonFrames = true)
{
    const char* const kinds[] = {"02 FF 03 08 01 05 05 18 01 89", "0081010a", "FE FF 03 0F 7C 5A 01 FF",
                                 "02 81 06 0A 08 01 85 62 1C 16 91 A1 13 02 01 05 02 01 22 30 0B A1 06 30 04 "
                                 "02 02 00 05 82 01 01",
                                 "00 81 00 00 08 01 05 7B 28 03 41 0A 42", "02 81 04 08 08 01 85 07"};
    QByteArray input;
    for (int i = 0; i < count; ++i) {
        // The call reference counts up, so every frame differs from its neighbours.
        input += kinds[i % std::size(kinds)];
        input += QByteArray(" 08 02 ") + QByteArray::number(0x1000 + i % 0x7000, 16).insert(2, ' ') + " 05\n";
        if (withNonFrames && i % 997 == 0)
            input += "no frame " + QByteArray::number(i) + "\n";
    }
    return input;
}

QByteArray RunForBytes(const QStringList& args, const QByteArray& input, int* status = nullptr, QByteArray* err = nullptr)
{
    QProcess process;
    process.start(QStringLiteral(VESSIK_CLI), args);
    EXPECT_TRUE(process.waitForStarted(10000));
    process.write(input);
    process.closeWriteChannel();
    EXPECT_TRUE(process.waitForFinished(60000));
    if (status)
        *status = process.exitCode();
    if (err)
        *err = process.readAllStandardError();
    return process.readAllStandardOutput();
}

TEST(CliDecode, SeveralJobsKeepTheInputOrder)
{
    const QByteArray input = ManyLines(40000);
    for (const QStringList& form : {QStringList{}, QStringList{"--summary"}, QStringList{"--json"}}) {
        int oneStatus = -1;
        int manyStatus = -1;
        QByteArray oneErr;
        QByteArray manyErr;
        const QByteArray one = RunForBytes(QStringList{"decode", "--jobs", "1"} + form, input, &oneStatus, &oneErr);
        const QByteArray many = RunForBytes(QStringList{"decode", "--jobs", "3"} + form, input, &manyStatus, &manyErr);
        EXPECT_GE(one.count('\n'), 40000);
        EXPECT_TRUE(one == many) << form.join(' ').toStdString();
        EXPECT_EQ(oneStatus, 2);
        EXPECT_EQ(manyStatus, 2);
        EXPECT_EQ(oneErr.count('\n'), 41);
        EXPECT_TRUE(oneErr == manyErr);
    }
}

TEST(CliDecode, SummaryOnlyOneLinePerFrame)
{
    const TRun run = RunCli({"decode", "--summary", "--l2"}, "02ff0308010505180189\n\n00 81 01 0A\n");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, QStringList({"UI(7F), setup(05)", "RR(40)"}));
}

TEST(CliDecode, ReaderThatGoesAwayEndsTheRunQuietly)
{
    QTemporaryDir dir;
    const QString input = dir.filePath("frames.txt");
    QFile file(input);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(ManyLines(100000, false));
    file.close();
    for (const char* jobs : {"1", "2"}) {
        QProcess shell;
        shell.start("bash", {"-c", QString("\"$0\" decode --jobs %1 < \"$1\" 2>\"$1.err\" | head -n 3 >/dev/null; "
                                           "echo ${PIPESTATUS[0]}; cat \"$1.err\"")
                                   .arg(jobs),
                             QStringLiteral(VESSIK_CLI), input});
        ASSERT_TRUE(shell.waitForFinished(60000));
        EXPECT_EQ(QString::fromUtf8(shell.readAllStandardOutput()), "0\n") << "--jobs " << jobs;
    }
}

TEST(CliDecode, LinesLongerThanABlockAndALastLineWithoutBreak)
{
    // A frame of 40000 octets is longer than a read block; the last line
    // ends with the input, not with a line break.
    QByteArray big = "02 FF 03 08 01 05 05 7E";
    for (int i = 0; i < 40000; ++i) // an argument may have at most 128 KiB
        big += " A5";
    const QByteArray input = "0081010a\n" + big + "\r\n" + big + "\n00 81 01 0A";
    int status = -1;
    const QByteArray fromInput = RunForBytes({"decode", "--jobs", "2"}, input, &status);
    EXPECT_EQ(status, 0);
    const QByteArray fromArguments =
        RunForBytes({"decode", "0081010a", QString::fromLatin1(big), QString::fromLatin1(big), "00 81 01 0A"}, {});
    EXPECT_GT(fromInput.size(), 240000);
    EXPECT_TRUE(fromInput == fromArguments);
}

TEST(CliDecode, OutputThatCannotBeWrittenIsAFailure)
{
    if (!QFile::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    for (const char* jobs : {"1", "2"}) {
        QProcess process;
        process.setStandardOutputFile("/dev/full");
        process.start(QStringLiteral(VESSIK_CLI), {"decode", "--jobs", jobs});
        ASSERT_TRUE(process.waitForStarted(10000));
        process.write(ManyLines(2000, false));
        process.closeWriteChannel();
        ASSERT_TRUE(process.waitForFinished(30000));
        EXPECT_EQ(process.exitCode(), 1) << "--jobs " << jobs;
        EXPECT_TRUE(QString::fromUtf8(process.readAllStandardError()).contains("cannot write standard output"));
    }
}

} // namespace
