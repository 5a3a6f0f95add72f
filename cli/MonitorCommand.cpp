#include "MonitorCommand.h"

#include "CallListen.h"
#include "DeviceFailure.h"
#include "MonitorFormat.h"
#include "OneLine.h"
#include "SignalPipe.h"
#include "TFCapi20.h"

#include <QEventLoop>
#include <QTextStream>
#include <QTimer>

#include <array>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <mutex>

namespace {

constexpr int kFailed = 1;
constexpr int kBadArgument = 2;
constexpr char kDefaultDriver[] = "capi2032.dll";
constexpr int kDrainMs = 100;
constexpr int kDeviceCheckMs = 500;

constexpr std::array<const char*, 7> kCipMaskNames = {"Telephony", "Fax_G2_G3", "Data_64", "Data_56",
                                                      "Fax_G4",    "Data_Standard", "Msg"};
constexpr std::array<const char*, 4> kCipTypeNames = {"CIPVoice", "CIPData_X75", "CIPFax", "CIPMsg"};

struct TOptions {
    QString Driver;
    uint32_t Controller = 1;
    QStringList Msn;
    TCIPMasks Accept = {TCIPMask::Telephony};
    TCIPType Cip = TCIPType::CIPVoice;
    bool Wideband = false;
    bool Presentation = true;
    bool AppTrace = false;
    bool CapiTrace = false;
    uint64_t Count = 0; // 0: no limit
};

QTextStream& Err()
{
    static QTextStream err(stderr);
    return err;
}

int BadArgument(const QString& text)
{
    Err() << "vessik-cli monitor: " << text << '\n' << MonitorUsage();
    Err().flush();
    return kBadArgument;
}

template <size_t N>
int IndexOf(const std::array<const char*, N>& names, const QString& name)
{
    for (size_t i = 0; i < N; ++i)
        if (name == QLatin1String(names[i]))
            return int(i);
    return -1;
}

// Empty parts of a list are skipped: "a,,b" is "a,b".
QStringList SplitList(const QString& text)
{
    return text.split(u',', Qt::SkipEmptyParts);
}

bool ParseOptions(const QStringList& args, TOptions& options, int& status)
{
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        const QString value = hasValue ? args[i + 1] : QString();
        const auto fail = [&status](const QString& text) {
            status = BadArgument(text);
            return false;
        };
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            QTextStream(stdout) << MonitorUsage();
            status = 0;
            return false;
        }
        if (arg == QLatin1String("--wideband")) {
            options.Wideband = true;
        } else if (arg == QLatin1String("--no-presentation")) {
            options.Presentation = false;
        } else if (arg == QLatin1String("--trace")) {
            options.AppTrace = true;
        } else if (arg == QLatin1String("--capi")) {
            options.CapiTrace = true;
        } else if (arg == QLatin1String("--driver")) {
            if (!hasValue)
                return fail(QStringLiteral("--driver needs a library"));
            options.Driver = value;
            ++i;
        } else if (arg == QLatin1String("--controller")) {
            bool ok = false;
            const qulonglong number = value.toULongLong(&ok);
            if (!hasValue || !ok || number > 0xFFFFFFFFu)
                return fail(QStringLiteral("--controller needs a controller number"));
            options.Controller = uint32_t(number);
            ++i;
        } else if (arg == QLatin1String("--msn")) {
            if (!hasValue)
                return fail(QStringLiteral("--msn needs a list of numbers"));
            options.Msn = SplitList(value);
            ++i;
        } else if (arg == QLatin1String("--accept")) {
            if (!hasValue)
                return fail(QStringLiteral("--accept needs a list of call types"));
            options.Accept = {};
            for (const QString& name : SplitList(value)) {
                const int index = IndexOf(kCipMaskNames, name);
                if (index < 0)
                    return fail(QStringLiteral("unknown call type \"%1\"").arg(name));
                options.Accept.Include(TCIPMask(index));
            }
            ++i;
        } else if (arg == QLatin1String("--cip")) {
            const int index = hasValue ? IndexOf(kCipTypeNames, value) : -1;
            if (index < 0)
                return fail(QStringLiteral("--cip needs one of CIPVoice, CIPData_X75, CIPFax, CIPMsg"));
            options.Cip = TCIPType(index);
            ++i;
        } else if (arg == QLatin1String("--count")) {
            bool ok = false;
            const qulonglong count = value.toULongLong(&ok);
            if (!hasValue || !ok || count == 0)
                return fail(QStringLiteral("--count needs a number of lines of at least 1"));
            options.Count = count;
            ++i;
        } else {
            return fail(QStringLiteral("unknown argument \"%1\"").arg(arg));
        }
    }
    return true;
}

class TMonitorSession {
public:
    explicit TMonitorSession(const TOptions& options) : m_options(options) {}

    int Run()
    {
        TSignalPipe signalPipe;
        if (!signalPipe.Install([this] { Finish(); })) {
            Err() << "vessik-cli monitor: cannot watch for signals\n";
            return kFailed;
        }

        Configure();
        AssignEvents();
        const QString driver = m_options.Driver.isEmpty() ? QLatin1String(kDefaultDriver) : m_options.Driver;
        m_opening = true;
        const bool opened = m_capi.OpenDevice(driver);
        m_opening = false;
        if (!opened) {
            Err() << "vessik-cli monitor: cannot open the CAPI device \"" << driver << "\": " << DeviceFailure(m_capi, m_loaderText)
                  << '\n';
            return kFailed;
        }
        ListenForCalls(m_capi);
        // The D-channel trace, when the controller has one, feeds OnL3Trace
        // and OnL3TraceCall.
        const bool tracing = m_capi.TraceForm() != TCapi20::TTraceForm::None && m_capi.TraceRequest(true) == 0;

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

        if (!m_deviceLost && tracing) {
            m_capi.StopTrace();
            QEventLoop drain;
            QTimer::singleShot(kDrainMs, &drain, &QEventLoop::quit);
            drain.exec();
        }
        m_capi.CloseDevice();
        if (m_deviceLost) {
            Err() << "vessik-cli monitor: the CAPI device was closed: " << DeviceFailure(m_capi) << '\n';
            return kFailed;
        }
        return 0;
    }

private:
    // The main window's settings, but for the call types and own numbers.
    void Configure()
    {
        m_capi.setController(m_options.Controller);
        m_capi.setMSN(m_options.Msn);
        m_capi.setIncomingCalls(m_options.Accept);
        m_capi.setCIP(m_options.Cip);
        m_capi.setInfoMsg({});
        m_capi.setWideband(m_options.Wideband);
        m_capi.setPresentation(m_options.Presentation);
        m_capi.setHandsetCall(false);
        m_capi.setBufferOutData(true);
        m_capi.setDirectInData(true);
        m_capi.setPowerManagement(false);
        m_capi.setPrefixNational(QStringLiteral("0"));
        m_capi.setPrefixInternational(QStringLiteral("00"));
        m_capi.setDoRegisterRequestRecipient(true);
    }

    void AssignEvents()
    {
        const auto notify = [this](const char* name) {
            return [this, name](uint32_t plci, uint16_t type) {
                Event(TEventLine(name).Address(plci).Number("NotifyType", type));
            };
        };
        const auto infoString = [this](const char* name) {
            return [this, name](uint32_t plci, const QString& info) {
                Event(TEventLine(name).Address(plci).Text("Info", info));
            };
        };
        const auto infoMsg = [this](const char* name) {
            return [this, name](uint32_t plci, uint16_t type, const QString& text) {
                Event(TEventLine(name).Address(plci).Number("InfoType", type).Text("InfoStr", text));
            };
        };
        m_capi.OnConnect = notify("OnConnect");
        m_capi.OnDisconnect = infoString("OnDisconnect");
        m_capi.OnConnectActive = notify("OnConnectActive");
        m_capi.OnB3Active = notify("OnB3Active");
        m_capi.OnB3T90Active = notify("OnB3T90Active");
        m_capi.OnDisconnectB3 = notify("OnDisconnectB3");
        m_capi.OnData = [this](uint32_t plci, const uint8_t*, uint16_t size) {
            Event(TEventLine("OnData").Address(plci).Number("Size", size));
        };
        m_capi.OnInfo = infoMsg("OnInfo");
        m_capi.OnENUM = infoMsg("OnENUM");
        m_capi.OnGContact = [this](const QString& id, const QString& familyName, const QString& givenName,
                                   const QString& number, const QString& numberString, const TBitmap* bmp) {
            Event(TEventLine("OnGContact")
                      .Text("Id", id)
                      .Text("FamilyName", familyName)
                      .Text("GivenName", givenName)
                      .Text("Number", number)
                      .Text("NumberString", numberString)
                      .Bitmap("bmp", bmp));
        };
        m_capi.OnGContactStatus = [this](uint8_t status) {
            Event(TEventLine("OnGContactStatus").Number("Status", status));
        };
        m_capi.OnMDNS = [this](uint32_t plci, uint32_t ttl, const QString& uri, const QString& host,
                               const QString& software) {
            Event(TEventLine("OnMDNS")
                      .Address(plci)
                      .Number("TTL", ttl)
                      .Text("URI", uri)
                      .Text("Host", host)
                      .Text("Software", software));
        };
        m_capi.OnDigit = infoString("OnDigit");
        m_capi.OnHandset = infoString("OnHandset");
        m_capi.OnStatus = [this](uint32_t plci, TCallStatus status) {
            Event(TEventLine("OnStatus").Address(plci).Status("Status", status));
        };
        m_capi.OnRequestCall = [this](uint32_t plci, const QString& number, const QString& name) {
            Event(TEventLine("OnRequestCall").Address(plci).Text("Number", number).Text("Name", name));
        };
        m_capi.OnCompleteOffer = infoMsg("OnCompleteOffer");
        m_capi.OnAppTrace = [this](uint32_t, const QString& info) {
            if (m_opening && info.contains(QLatin1String("LoadCAPI: ")))
                m_loaderText = WithoutTimeStamp(info); // only the opening thread writes it
            if (m_options.AppTrace)
                Diagnostic(QStringLiteral("trace "), info);
        };
        m_capi.OnCapiTrace = [this](uint32_t, const QString& info) {
            if (m_options.CapiTrace)
                Diagnostic(QStringLiteral("capi "), info);
        };
        m_capi.OnL3Trace = infoString("OnL3Trace");
        m_capi.OnL3TraceCall = infoMsg("OnL3TraceCall");
        m_capi.OnGetForwardedNumbers = infoString("OnGetForwardedNumbers");
        m_capi.OnGetForwardedNumbersEx = infoString("OnGetForwardedNumbersEx");
        m_capi.OnMWI = [this](uint32_t count, const QString& controllingNumber, const QString& calledNumber) {
            Event(TEventLine("OnMWI")
                      .Number("NumberOfMessages", count)
                      .Text("ControllingNumber", controllingNumber)
                      .Text("CalledNumber", calledNumber));
        };
        m_capi.OnSMS = [this](const QString& name, const QString& number, const QString& msg, bool isUtf8) {
            Event(TEventLine("OnSMS").Text("Name", name).Text("Number", number).Text("Msg", msg).Boolean("IsUTF8",
                                                                                                        isUtf8));
        };
        m_capi.OnError = notify("OnError");
        m_capi.OnStatistics = [this](uint32_t plci, const TVoIPStatistics& statistics) {
            Event(TEventLine("OnStatistics").Address(plci).Statistics("Statistics", statistics));
        };
        m_capi.OnThreadName = [this](uint32_t plci, uint32_t threadId, const QString& threadName) {
            Event(TEventLine("OnThreadName").Address(plci).Number("ThreadID", threadId).Text("ThreadName", threadName));
        };
        m_capi.OnAutoAnswer = notify("OnAutoAnswer");
    }

    void Event(const TEventLine& line) { Write(line.Line(), true); }

    void Diagnostic(const QString& kind, const QString& info) { Write(kind + OneLine(info), false); }

    // Events and diagnostic lines may come from the receive thread (OnData,
    // OnAppTrace): one lock keeps lines whole and the count exact.
    void Write(const QString& text, bool counted)
    {
        const QByteArray bytes = text.toUtf8() + '\n';
        bool finish = false;
        {
            std::lock_guard<std::mutex> guard(m_outputLock);
            if (m_stopped)
                return; // after the count, or the reader is gone
            if (std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout) != size_t(bytes.size())
                || std::fflush(stdout) != 0) {
                m_stopped = true;
                finish = true;
            } else if (counted && m_options.Count != 0 && ++m_printed >= m_options.Count) {
                m_stopped = true;
                finish = true;
            }
        }
        if (finish)
            QMetaObject::invokeMethod(&m_loop, [this] { Finish(); }, Qt::QueuedConnection);
    }

    void Finish()
    {
        m_done = true;
        m_loop.quit();
    }

    const TOptions& m_options;
    TCapi20 m_capi;
    QEventLoop m_loop;
    std::mutex m_outputLock;
    uint64_t m_printed = 0;
    bool m_stopped = false;
    bool m_done = false;
    bool m_deviceLost = false;
    std::atomic<bool> m_opening{false};
    QString m_loaderText;
};

} // namespace

QString MonitorUsage()
{
    return QStringLiteral(
        "Usage: vessik-cli monitor [--driver LIB] [--controller N] [--msn LIST] [--accept TYPES]\n"
        "                          [--cip TYPE] [--wideband] [--no-presentation] [--trace]\n"
        "                          [--capi] [--count N]\n"
        "Hosts the CAPI component as a call monitor and prints one line per event:\n"
        "\"event\", the event's name, then NAME=VALUE for each of its parameters.\n"
        "It answers no call. Ctrl+C (SIGINT) or SIGTERM ends it.\n"
        "\n"
        "  --driver LIB       the CAPI driver library (default: the platform's CAPI library)\n"
        "  --controller N     the controller number (default 1)\n"
        "  --msn LIST         own numbers, separated by commas\n"
        "  --accept TYPES     call types to listen for, separated by commas: Telephony,\n"
        "                     Fax_G2_G3, Data_64, Data_56, Fax_G4, Data_Standard, Msg\n"
        "                     (default Telephony)\n"
        "  --cip TYPE         CIPVoice, CIPData_X75, CIPFax or CIPMsg (default CIPVoice)\n"
        "  --wideband         7 kHz (G.722) audio handling\n"
        "  --no-presentation  do not allow the presentation of the own number\n"
        "  --trace            also print the diagnostic lines, as \"trace\" and the line\n"
        "  --capi             also print the CAPI message dumps, as \"capi\" and the line\n"
        "  --count N          end after N event lines\n"
        "  --help             show this text\n"
        "\n"
        "Exit status: 0; 1 when the device could not be opened or was lost; 2 for a\n"
        "bad argument.\n");
}

int RunMonitor(const QStringList& args)
{
    TOptions options;
    int status = 0;
    if (!ParseOptions(args, options, status))
        return status;
    std::signal(SIGPIPE, SIG_IGN);
    TMonitorSession session(options);
    return session.Run();
}
