#pragma once
// vessik-capid for end-to-end tests: started on a free loopback port with the
// simulated controller, its log at hand, ended with the test; and the
// configuration that points the platform's CAPI library at it.

#include "../ProcessRun.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

namespace vtest {

// A running vessik-capid on a free loopback port.
class TServer {
public:
    explicit TServer(const QStringList& settings)
    {
        m_process.setProcessEnvironment(Environment(settings));
        m_process.setReadChannel(QProcess::StandardError);
        m_process.start(QStringLiteral(VESSIK_CAPID),
                        {"--listen", "127.0.0.1:0", "--driver", QStringLiteral(VESSIK_SIM_LIBRARY)});
        static const QRegularExpression serving(QStringLiteral("serving .* on 127\\.0\\.0\\.1:(\\d+)"));
        while (m_port == 0 && m_process.waitForReadyRead(10000)) {
            m_log += QString::fromUtf8(m_process.readAllStandardError());
            const QRegularExpressionMatch match = serving.match(m_log);
            if (match.hasMatch())
                m_port = match.captured(1).toUShort();
        }
    }
    ~TServer()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.terminate();
            if (!m_process.waitForFinished(10000))
                m_process.kill();
            m_process.waitForFinished();
        }
    }
    uint16_t Port() const { return m_port; }
    void Kill()
    {
        m_process.kill();
        m_process.waitForFinished();
    }
    // Its log so far; waits up to the time for a text to appear.
    QString Log(const QString& awaited = {}, int timeoutMs = 10000)
    {
        QElapsedTimer timer;
        timer.start();
        for (;;) {
            m_log += QString::fromUtf8(m_process.readAllStandardError());
            if (awaited.isEmpty() || m_log.contains(awaited) || timer.elapsed() > timeoutMs)
                return m_log;
            m_process.waitForReadyRead(100);
        }
    }

private:
    QProcess m_process;
    QString m_log;
    uint16_t m_port = 0;
};

// Writes dir/.capi20rc naming the server; the setting HOME=dir makes the
// platform library read it.
inline QStringList PlatformLibrarySettings(const QDir& dir, uint16_t port)
{
    QFile rc(dir.filePath(QStringLiteral(".capi20rc")));
    EXPECT_TRUE(rc.open(QIODevice::WriteOnly));
    rc.write(QStringLiteral("REMOTE rcapi 127.0.0.1 %1\n").arg(port).toUtf8());
    return {QStringLiteral("HOME=") + dir.path()};
}

} // namespace vtest
