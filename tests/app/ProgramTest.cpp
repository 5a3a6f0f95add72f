// The vessik executable itself: its command line and the version information
// built into it.

#include <QProcess>

#include <gtest/gtest.h>

namespace {

const QString kProgram = QStringLiteral(VESSIK_PROGRAM);

struct TRun {
    int exitCode = -1;
    QString out;
    QString err;
};

TRun RunProgram(const QStringList& arguments)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    process.setProcessEnvironment(environment);
    process.start(kProgram, arguments);
    TRun run;
    if (!process.waitForFinished(30000)) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

TEST(Program, ReportsTheVersionBuiltIntoIt)
{
    const TRun run = RunProgram({"--version"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out.trimmed(), QStringLiteral("Vessik " VESSIK_VERSION));
}

TEST(Program, ShowsItsUsage)
{
    const TRun run = RunProgram({"--help"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(run.out.contains("vessik [--driver LIB] [LOGFILE]"));
}

TEST(Program, RefusesArgumentsItCannotUse)
{
    for (const QStringList& arguments : {QStringList{"--bogus"}, QStringList{"--driver"}, QStringList{"a.log", "b.log"}}) {
        const TRun run = RunProgram(arguments);
        EXPECT_EQ(run.exitCode, 2) << arguments.join(' ').toStdString();
        EXPECT_TRUE(run.err.contains("Usage: vessik")) << arguments.join(' ').toStdString();
    }
}

} // namespace
