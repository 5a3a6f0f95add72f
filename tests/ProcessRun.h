#pragma once
// Runs one of Vessik's programs as a test would: an environment without the
// simulated controller's settings of the calling shell, plus the test's own;
// the exit status, the output lines and the error text.

#include <QByteArray>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

namespace vtest {

struct TRun {
    int status = -1; // -1 when it crashed or had to be killed
    QStringList out; // standard output, one entry per line
    QString err;
};

// The system environment without any VESSIK_SIM_ setting, then the settings
// given as NAME=VALUE.
inline QProcessEnvironment Environment(const QStringList& settings = {})
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const QString& name : environment.keys())
        if (name.startsWith(QLatin1String("VESSIK_SIM_")))
            environment.remove(name);
    for (const QString& setting : settings)
        environment.insert(setting.section(u'=', 0, 0), setting.section(u'=', 1));
    return environment;
}

// The lines of an output; a last line break ends the last line.
inline QStringList Lines(const QByteArray& bytes)
{
    QString text = QString::fromUtf8(bytes);
    if (text.endsWith(u'\n'))
        text.chop(1);
    return text.isEmpty() ? QStringList() : text.split(u'\n');
}

// Waits for the end of a started program; -1 when it had to be killed or crashed.
inline int Finish(QProcess& process, int timeoutMs = 30000)
{
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        ADD_FAILURE() << process.program().toStdString() << " did not end";
        return -1;
    }
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

// Runs the program with no input to its end.
inline TRun RunProgram(const QString& program, const QStringList& args, const QStringList& settings = {},
                int timeoutMs = 30000)
{
    QProcess process;
    process.setProcessEnvironment(Environment(settings));
    process.start(program, args);
    EXPECT_TRUE(process.waitForStarted(10000)) << program.toStdString();
    process.closeWriteChannel();
    TRun run;
    run.status = Finish(process, timeoutMs);
    run.out = Lines(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

} // namespace vtest
