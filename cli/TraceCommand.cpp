#include "TraceCommand.h"

#include "CaptureRows.h"
#include "CaptureWriter.h"
#include "DeviceFailure.h"
#include "LapdSide.h"
#include "LogFile.h"
#include "OneLine.h"
#include "SignalPipe.h"
#include "TFCapi20.h"
#include "TraceRow.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTextStream>
#include <QTimer>

#include <array>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <optional>

namespace {

constexpr int kFailed = 1;
constexpr int kBadArgument = 2;
// The driver name that stands for the platform's CAPI library.
constexpr char kDefaultDriver[] = "capi2032.dll";
// What the controller already sent when the trace is switched off still gets
// its answer within this time.
constexpr int kDrainMs = 100;
constexpr int kDeviceCheckMs = 500;

struct TOptions {
    QString Driver;
    bool Layer2 = false;
    uint64_t Count = 0; // 0: no limit
    QString LogFile;
    QString PcapFile; // "-": the capture goes to standard output instead of the lines
};

// Now, in microseconds since 1970.
uint64_t ArrivalTimeUs()
{
    timespec now = {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return uint64_t(now.tv_sec) * 1000000 + uint64_t(now.tv_nsec / 1000);
}

QTextStream& Err()
{
    static QTextStream err(stderr);
    return err;
}

int BadArgument(const QString& text)
{
    Err() << "vessik-cli trace: " << text << '\n' << TraceUsage();
    Err().flush();
    return kBadArgument;
}

bool ParseOptions(const QStringList& args, TOptions& options, int& status)
{
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            QTextStream(stdout) << TraceUsage();
            status = 0;
            return false;
        }
        if (arg == QLatin1String("--l2")) {
            options.Layer2 = true;
        } else if (arg == QLatin1String("--driver")) {
            if (!hasValue) {
                status = BadArgument(QStringLiteral("--driver needs a library"));
                return false;
            }
            options.Driver = args[++i];
        } else if (arg == QLatin1String("--count")) {
            bool ok = false;
            const qulonglong count = hasValue ? args[i + 1].toULongLong(&ok) : 0;
            if (!ok || count == 0) {
                status = BadArgument(QStringLiteral("--count needs a number of lines of at least 1"));
                return false;
            }
            options.Count = count;
            ++i;
        } else if (arg == QLatin1String("--log")) {
            if (!hasValue || args[i + 1].isEmpty()) {
                status = BadArgument(QStringLiteral("--log needs a file name"));
                return false;
            }
            options.LogFile = args[++i];
        } else if (arg == QLatin1String("--pcap")) {
            if (!hasValue || args[i + 1].isEmpty()) {
                status = BadArgument(QStringLiteral("--pcap needs a file name"));
                return false;
            }
            options.PcapFile = args[++i];
        } else {
            status = BadArgument(QStringLiteral("unknown argument \"%1\"").arg(arg));
            return false;
        }
    }
    return true;
}

class TTraceSession {
public:
    explicit TTraceSession(const TOptions& options) : m_options(options) {}

    int Run()
    {
        // Rows go after those of an existing log: an earlier capture is never overwritten.
        if (!m_options.LogFile.isEmpty() && !m_log.Open(m_options.LogFile, u';', false, true)) {
            Err() << "vessik-cli trace: cannot write the log file \"" << m_options.LogFile
                  << "\": " << m_log.ErrorString() << '\n';
            return kFailed;
        }
        if (!m_options.PcapFile.isEmpty() && !m_pcap.Open(m_options.PcapFile, TCaptureFormat::Pcap)) {
            Err() << "vessik-cli trace: cannot write the capture file \"" << m_options.PcapFile
                  << "\": " << m_pcap.ErrorString() << '\n';
            return kFailed;
        }
        TSignalPipe signalPipe;
        if (!signalPipe.Install([this] { Finish(); })) {
            Err() << "vessik-cli trace: cannot watch for signals\n";
            return kFailed;
        }

        m_capi.SetL2Display(m_options.Layer2);
        m_capi.OnL3Trace = [this](uint32_t, const QString& line) { Line(line); };
        const QString driver = m_options.Driver.isEmpty() ? QLatin1String(kDefaultDriver) : m_options.Driver;
        if (!m_capi.OpenDevice(driver)) {
            Err() << "vessik-cli trace: cannot open the CAPI device \"" << driver
                  << "\": " << Reason() << '\n';
            return kFailed;
        }
        if (m_capi.TraceForm() == TCapi20::TTraceForm::None) {
            Err() << "vessik-cli trace: the controller offers no D-channel trace: " << m_capi.GetManufacturer()
                  << '\n';
            m_capi.CloseDevice();
            return kFailed;
        }
        if (const uint16_t info = m_capi.TraceRequest(true); info != 0) {
            Err() << "vessik-cli trace: the trace could not be started (0x"
                  << QStringLiteral("%1").arg(info, 4, 16, QLatin1Char('0')).toUpper()
                  << "): " << m_capi.GetManufacturer() << '\n';
            m_capi.CloseDevice();
            return kFailed;
        }

        // A device that fails for good is closed by the component; the
        // capture then ends instead of waiting for frames that never come.
        QTimer deviceCheck;
        QObject::connect(&deviceCheck, &QTimer::timeout, [this] {
            if (!m_capi.DeviceOpened()) {
                m_deviceLost = true;
                Finish();
            }
        });
        deviceCheck.start(kDeviceCheckMs);

        if (!m_done)
            m_loop.exec();
        deviceCheck.stop();

        if (!m_deviceLost) {
            m_capi.StopTrace();
            QEventLoop drain;
            QTimer::singleShot(kDrainMs, &drain, &QEventLoop::quit);
            drain.exec();
        }
        m_capi.CloseDevice();
        m_log.Close();
        if (m_pcap.IsOpen() && !m_pcap.Close() && !PcapToStandardOutput()) {
            Err() << "vessik-cli trace: cannot write the capture file \"" << m_options.PcapFile
                  << "\": " << m_pcap.ErrorString() << '\n';
            m_failed = true;
        }
        if (m_withoutFrame > 0)
            Err() << "vessik-cli trace: " << m_withoutFrame << " rows without a frame left out of the capture\n";
        if (m_deviceLost) {
            Err() << "vessik-cli trace: the CAPI device was closed: " << Reason() << '\n';
            return kFailed;
        }
        return m_failed ? kFailed : 0;
    }

private:
    QString Reason()
    {
        return DeviceFailure(m_capi);
    }

    void Finish()
    {
        m_done = true;
        m_loop.quit();
    }

    bool PcapToStandardOutput() const { return m_options.PcapFile == QLatin1String("-"); }

    // One packet per frame, stamped on arrival and handed on at once, so a
    // packet analyser reading the pipe shows the line live.
    bool Packet(const QString& line)
    {
        const auto columns = SplitTraceLine(line);
        const auto frame = columns ? FrameFromData(QStringView((*columns)[kDataColumn]).toUtf8()) : std::nullopt;
        if (!frame) {
            ++m_withoutFrame;
            return true;
        }
        const bool sent = (*columns)[kDirectionColumn] == u"T";
        m_side.See(reinterpret_cast<const uint8_t*>(frame->constData()), uint32_t(frame->size()), sent);
        const QByteArray comment = QStringView((*columns)[kMessageColumn]).toUtf8();
        return m_pcap.Write(ArrivalTimeUs(), sent, m_side.ThisSide(), *frame, comment) && m_pcap.Flush();
    }

    void Line(const QString& line)
    {
        // Lines after the count, or after output failed, are not shown.
        if (m_stopped)
            return;
        if (m_pcap.IsOpen() && !Packet(line)) {
            if (!PcapToStandardOutput()) {
                Err() << "vessik-cli trace: cannot write the capture file \"" << m_options.PcapFile
                      << "\": " << m_pcap.ErrorString() << '\n';
                Err().flush();
                m_failed = true;
            }
            m_stopped = true; // else the reader is gone
            Finish();
            return;
        }
        const QByteArray bytes = PcapToStandardOutput() ? QByteArray() : OneLine(line).toUtf8() + '\n';
        if (!bytes.isEmpty()
            && (std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout) != size_t(bytes.size())
                || std::fflush(stdout) != 0)) {
            m_stopped = true; // the reader is gone
            Finish();
            return;
        }
        if (m_log.IsOpen()) {
            if (const auto columns = SplitTraceLine(line)) {
                if (!m_log.AppendRow(std::span<const QStringView>(*columns))) {
                    Err() << "vessik-cli trace: cannot write the log file \"" << m_options.LogFile
                          << "\": " << m_log.ErrorString() << '\n';
                    Err().flush();
                    m_failed = true;
                    m_stopped = true;
                    Finish();
                    return;
                }
            }
        }
        if (m_options.Count != 0 && ++m_printed >= m_options.Count) {
            m_stopped = true;
            Finish();
        }
    }

    const TOptions& m_options;
    TCapi20 m_capi;
    TLogWriter m_log;
    TCaptureWriter m_pcap;
    TLapdSideGuess m_side;
    uint64_t m_withoutFrame = 0;
    QEventLoop m_loop;
    uint64_t m_printed = 0;
    bool m_done = false;
    bool m_stopped = false;
    bool m_failed = false;
    bool m_deviceLost = false;
};

} // namespace

QString TraceUsage()
{
    return QStringLiteral(
        "Usage: vessik-cli trace [--driver LIB] [--l2] [--count N] [--log FILE] [--pcap FILE]\n"
        "Switches on the D-channel trace of the CAPI controller and prints every\n"
        "trace line as it arrives: time stamp, T (sent) or R (received), summary\n"
        "and frame octets, separated by \": \". Ctrl+C (SIGINT) or SIGTERM ends it.\n"
        "\n"
        "  --driver LIB  the CAPI driver library (default: the platform's CAPI library)\n"
        "  --l2          show layer-2 frames (RR, SABME, ...) and the frame type and TEI\n"
        "  --count N     end after N lines\n"
        "  --log FILE    also append every row to FILE, a log the window can open\n"
        "                (a new file is created; an existing log keeps its rows)\n"
        "  --pcap FILE   also write every frame as it arrives to FILE, a pcap capture\n"
        "                (link type LINUX_LAPD) for packet analysers; \"-\" writes it to\n"
        "                standard output instead of the lines, flushed after every\n"
        "                packet: vessik-cli trace --pcap - | wireshark -k -i -\n"
        "  --help        show this text\n"
        "\n"
        "Exit status: 0; 1 when the device, the trace, the log or the capture file\n"
        "failed; 2 for a bad argument.\n");
}

int RunTrace(const QStringList& args)
{
    TOptions options;
    int status = 0;
    if (!ParseOptions(args, options, status))
        return status;
    // A closed output ends the capture through the write error, not a signal.
    std::signal(SIGPIPE, SIG_IGN);
    TTraceSession session(options);
    return session.Run();
}
