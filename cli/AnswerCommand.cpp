#include "AnswerCommand.h"

#include "ALaw.h"
#include "AnswerFormat.h"
#include "AudioFile.h"
#include "CallListen.h"
#include "CallRecorder.h"
#include "DeviceFailure.h"
#include "SignalPipe.h"
#include "TFCapi20.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QTextStream>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <map>
#include <memory>
#include <vector>

namespace {

constexpr int kFailed = 1;
constexpr int kBadArgument = 2;
constexpr char kDefaultDriver[] = "capi2032.dll";
constexpr int kRate = 8000;
constexpr int kMaxRings = 3600;
constexpr int kMaxSeconds = 86400;
// The greeting is topped up once per block time on the line, so that a few
// blocks always wait in the call's send FIFO: each confirmation finds the
// next one there, and the FIFO never comes near its capacity.
constexpr int kPumpMs = 20;
constexpr uint32_t kLeadBlocks = 4;
constexpr uint32_t kMaxBlock = 2048;
constexpr int kDeviceCheckMs = 500;
// At the end, how long open calls get to clear before their files are closed.
constexpr int kClearingMs = 5000;
constexpr uint16_t kAccept = 0;
constexpr uint16_t kIgnore = 1;

struct TOptions {
    QString Greeting;
    QString Record;
    QString Driver;
    QStringList Msn;
    int Rings = 0;
    int MaxSeconds = 60;
};

QTextStream& Err()
{
    static QTextStream err(stderr);
    return err;
}

int BadArgument(const QString& text)
{
    Err() << "vessik-cli answer: " << text << '\n' << AnswerUsage();
    Err().flush();
    return kBadArgument;
}

bool ParseNumber(const QString& text, int low, int high, int& number)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < low || value > high)
        return false;
    number = value;
    return true;
}

bool ParseOptions(const QStringList& args, TOptions& options, int& status)
{
    const auto fail = [&status](const QString& text) {
        status = BadArgument(text);
        return false;
    };
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            QTextStream(stdout) << AnswerUsage();
            status = 0;
            return false;
        }
        const bool hasValue = i + 1 < args.size();
        const QString value = hasValue ? args[++i] : QString();
        if (arg == QLatin1String("--greeting")) {
            if (value.isEmpty())
                return fail(QStringLiteral("--greeting needs an audio file"));
            options.Greeting = value;
        } else if (arg == QLatin1String("--record")) {
            if (value.isEmpty())
                return fail(QStringLiteral("--record needs a folder"));
            options.Record = value;
        } else if (arg == QLatin1String("--driver")) {
            if (value.isEmpty())
                return fail(QStringLiteral("--driver needs a library"));
            options.Driver = value;
        } else if (arg == QLatin1String("--msn")) {
            if (!hasValue)
                return fail(QStringLiteral("--msn needs a list of numbers"));
            options.Msn = value.split(u',', Qt::SkipEmptyParts);
        } else if (arg == QLatin1String("--rings")) {
            if (!ParseNumber(value, 0, kMaxRings, options.Rings))
                return fail(QStringLiteral("--rings needs a number of seconds from 0 to %1").arg(kMaxRings));
        } else if (arg == QLatin1String("--max-seconds")) {
            if (!ParseNumber(value, 1, kMaxSeconds, options.MaxSeconds))
                return fail(QStringLiteral("--max-seconds needs a number of seconds from 1 to %1").arg(kMaxSeconds));
        } else {
            return fail(QStringLiteral("unknown argument \"%1\"").arg(arg));
        }
    }
    if (options.Greeting.isEmpty())
        return fail(QStringLiteral("--greeting is missing"));
    if (options.Record.isEmpty())
        return fail(QStringLiteral("--record is missing"));
    return true;
}

// One offered call, from its CONNECT_IND to its DISCONNECT_IND.
struct TCall {
    enum class TState { Ringing, Answered, Recording, Clearing };
    uint64_t Serial = 0; // tells a call from a later one on the same PLCI
    uint32_t Plci = 0;
    uint16_t MessageNumber = 0;
    QDateTime Offered;
    QString Calling;
    QString Called;
    TState State = TState::Ringing;
    uint32_t Ncci = 0;
    size_t Played = 0; // greeting octets handed to the component
    bool Playing = false;
    QElapsedTimer Since; // from the B3 connection on
    std::unique_ptr<vaudio::TWavWriter> Wav;
    QString FileName;
};

class TAnswerSession {
public:
    TAnswerSession(const TOptions& options, std::vector<uint8_t> greeting)
        : m_options(options), m_greeting(std::move(greeting)), m_record(options.Record)
    {
    }

    int Run()
    {
        TSignalPipe signalPipe;
        if (!signalPipe.Install([this] { Stop(); })) {
            Err() << "vessik-cli answer: cannot watch for signals\n";
            return kFailed;
        }

        Configure();
        AssignEvents();
        const QString driver = m_options.Driver.isEmpty() ? QLatin1String(kDefaultDriver) : m_options.Driver;
        m_opening = true;
        const bool opened = m_capi.OpenDevice(driver);
        m_opening = false;
        if (!opened) {
            Err() << "vessik-cli answer: cannot open the CAPI device \"" << driver << "\": " << DeviceFailure(m_capi, m_loaderText)
                  << '\n';
            return kFailed;
        }
        ListenForCalls(m_capi);

        QTimer pump;
        pump.setTimerType(Qt::PreciseTimer);
        QObject::connect(&pump, &QTimer::timeout, [this] { Pump(); });
        pump.start(kPumpMs);
        QTimer deviceCheck;
        QObject::connect(&deviceCheck, &QTimer::timeout, [this] {
            if (!m_capi.DeviceOpened()) {
                m_deviceLost = true;
                m_loop.quit();
            }
        });
        deviceCheck.start(kDeviceCheckMs);
        m_loop.exec();
        pump.stop();
        deviceCheck.stop();

        // Calls that did not clear in time (or a lost device) end here.
        while (!m_calls.empty())
            Finish(m_calls.begin()->first);
        m_capi.CloseDevice();
        if (m_deviceLost) {
            Err() << "vessik-cli answer: the CAPI device was closed: " << DeviceFailure(m_capi) << '\n';
            return kFailed;
        }
        return 0;
    }

private:
    static uint32_t Key(uint32_t plciOrNcci) { return plciOrNcci & 0xFFFF; }

    void Configure()
    {
        m_capi.setController(1);
        m_capi.setMSN(m_options.Msn);
        m_capi.setIncomingCalls({TCIPMask::Telephony});
        m_capi.setCIP(TCIPType::CIPVoice);
        m_capi.setInfoMsg({});
        m_capi.setWideband(false);
        m_capi.setBufferOutData(true);
        m_capi.setDirectInData(true);
    }

    void AssignEvents()
    {
        m_capi.OnConnect = [this](uint32_t plci, uint16_t messageNumber) { Offered(plci, messageNumber); };
        m_capi.OnB3Active = [this](uint32_t ncci, uint16_t) { B3Active(ncci); };
        m_capi.OnDisconnectB3 = [this](uint32_t ncci, uint16_t) {
            const auto call = m_calls.find(Key(ncci));
            if (call != m_calls.end())
                call->second.Playing = false; // the component emptied the send FIFO
        };
        m_capi.OnDisconnect = [this](uint32_t plci, const QString&) {
            if (m_calls.count(Key(plci)) != 0)
                Finish(Key(plci));
            if (m_stopping && m_calls.empty())
                m_loop.quit();
        };
        // On the receive thread: only the recorder, which has its own lock.
        m_capi.OnData = [this](uint32_t ncci, const uint8_t* data, uint16_t size) {
            m_recorder.Add(ncci, data, size);
        };
        // Only the loader's text is read from the diagnostic lines: they need
        // no time stamps.
        m_capi.OnGetTimeStamp = [] { return QString(); };
        m_capi.OnAppTrace = [this](uint32_t, const QString& info) {
            if (m_opening && info.contains(QLatin1String("LoadCAPI: ")))
                m_loaderText = WithoutTimeStamp(info); // only the opening thread writes it
        };
    }

    // CONNECT_IND (the MSN filter has passed it): the call is taken after its rings.
    void Offered(uint32_t plci, uint16_t messageNumber)
    {
        if (m_stopping) {
            m_capi.ConnectResponse(plci, kIgnore, messageNumber, QString());
            return;
        }
        // A call whose clearing never came is over once its PLCI is offered again.
        Finish(Key(plci));
        TCall& call = m_calls[Key(plci)];
        call.Serial = ++m_serial;
        call.Plci = plci;
        call.MessageNumber = messageNumber;
        call.Offered = QDateTime::currentDateTime();
        // The component's call data belong to the last CONNECT_IND: this one.
        call.Calling = m_capi.CallingPartyNumber();
        call.Called = m_capi.CalledPartyNumber();
        const uint32_t key = Key(plci);
        const uint64_t serial = call.Serial;
        QTimer::singleShot(m_options.Rings * 1000, &m_loop, [this, key, serial] { Answer(key, serial); });
    }

    void Answer(uint32_t key, uint64_t serial)
    {
        const auto found = m_calls.find(key);
        if (found == m_calls.end() || found->second.Serial != serial || found->second.State != TCall::TState::Ringing)
            return;
        TCall& call = found->second;
        if (m_capi.ConnectResponse(call.Plci, kAccept, call.MessageNumber, QString()) != 0) {
            Finish(key);
            return;
        }
        call.State = TCall::TState::Answered;
        // From now on: with DirectInData the first blocks may be handled
        // before OnB3Active fires.
        m_recorder.Start(call.Plci, size_t(m_options.MaxSeconds) * kRate);
    }

    // The B3 connection is up: the greeting starts and the recording with it.
    void B3Active(uint32_t ncci)
    {
        const auto found = m_calls.find(Key(ncci));
        if (found == m_calls.end() || found->second.State != TCall::TState::Answered)
            return;
        TCall& call = found->second;
        call.State = TCall::TState::Recording;
        call.Ncci = ncci;
        OpenRecording(call);
        call.Since.start();
        call.Playing = true;
        Play(call);
    }

    void OpenRecording(TCall& call)
    {
        QStringList taken;
        for (const auto& [key, other] : m_calls)
            if (!other.FileName.isEmpty())
                taken << other.FileName;
        const QString name = UniqueRecordingName(m_record, RecordingBaseName(call.Offered, call.Calling), taken);
        auto wav = std::make_unique<vaudio::TWavWriter>();
        QString error;
        if (!wav->Open(m_record.filePath(name), kRate, error)) {
            Err() << "vessik-cli answer: cannot write \"" << m_record.filePath(name) << "\": " << error << '\n';
            Err().flush();
            return;
        }
        call.Wav = std::move(wav);
        call.FileName = name;
    }

    // Every block time: the recordings to their files, the greetings topped
    // up, and calls that have recorded long enough cleared.
    void Pump()
    {
        std::vector<uint32_t> gone;
        for (auto& [key, call] : m_calls) {
            if (call.State != TCall::TState::Recording)
                continue;
            WriteRecorded(call);
            Play(call);
            if (call.Since.elapsed() >= qint64(m_options.MaxSeconds) * 1000 || m_recorder.Full(call.Ncci))
                if (!Clear(call))
                    gone.push_back(key);
        }
        for (const uint32_t key : gone)
            Finish(key);
    }

    // Octets of the call's send FIFO not yet handed to the driver.
    uint32_t Waiting(uint32_t ncci)
    {
        const auto record = m_capi.Calls().Call(ncci);
        return record->SendFifo ? record->SendFifo->Count() : 0;
    }

    void Play(TCall& call)
    {
        const uint32_t block = std::clamp<uint32_t>(m_capi.PcmBlockSize(), 1, kMaxBlock);
        while (call.Playing && call.Played < m_greeting.size() && Waiting(call.Ncci) < kLeadBlocks * block) {
            const auto length = uint16_t(std::min<size_t>(block, m_greeting.size() - call.Played));
            // 0: a block went out; 1: the octets wait in the FIFO for a free
            // data handle. Anything else is the driver's refusal.
            if (m_capi.DataB3Request(call.Ncci, m_greeting.data() + call.Played, false, false, length) > 1)
                call.Playing = false;
            call.Played += length;
        }
        if (call.Played >= m_greeting.size())
            call.Playing = false; // played once
    }

    void WriteRecorded(TCall& call)
    {
        m_recorder.Take(call.Plci, m_samples);
        if (call.Wav)
            call.Wav->Write(m_samples.data(), m_samples.size());
    }

    // DISCONNECT_REQ; false when the driver refused it (the call is gone).
    bool Clear(TCall& call)
    {
        call.State = TCall::TState::Clearing;
        call.Playing = false;
        return m_capi.DisconnectRequest(call.Plci) == 0;
    }

    // The call's end: its file completed, its line printed.
    void Finish(uint32_t key)
    {
        const auto found = m_calls.find(key);
        if (found == m_calls.end())
            return;
        TCall& call = found->second;
        uint64_t frames = 0;
        if (call.State != TCall::TState::Ringing) {
            m_recorder.Stop(call.Plci);
            WriteRecorded(call);
        }
        if (call.Wav) {
            frames = call.Wav->Frames();
            call.Wav->Close();
        }
        const QByteArray line =
            AnswerLine(call.Offered, call.Calling, call.Called, frames, kRate, call.FileName).toUtf8() + '\n';
        std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
        std::fflush(stdout);
        m_calls.erase(found);
    }

    // SIGINT/SIGTERM: ringing calls are left to other terminals, the others
    // cleared; the loop ends when the last has cleared, or after a while.
    void Stop()
    {
        if (m_stopping)
            return;
        m_stopping = true;
        std::vector<uint32_t> gone;
        for (auto& [key, call] : m_calls) {
            if (call.State == TCall::TState::Ringing) {
                call.State = TCall::TState::Clearing;
                if (m_capi.ConnectResponse(call.Plci, kIgnore, call.MessageNumber, QString()) != 0)
                    gone.push_back(key);
            } else if (call.State != TCall::TState::Clearing) {
                if (!Clear(call))
                    gone.push_back(key);
            }
        }
        for (const uint32_t key : gone)
            Finish(key);
        if (m_calls.empty())
            m_loop.quit();
        else
            QTimer::singleShot(kClearingMs, &m_loop, &QEventLoop::quit);
    }

    const TOptions& m_options;
    const std::vector<uint8_t> m_greeting; // line octets
    const QDir m_record;
    TCapi20 m_capi;
    QEventLoop m_loop;
    TCallRecorder m_recorder;
    std::map<uint32_t, TCall> m_calls; // by PLCI; main thread only
    std::vector<int16_t> m_samples;
    uint64_t m_serial = 0;
    bool m_stopping = false;
    bool m_deviceLost = false;
    std::atomic<bool> m_opening{false};
    QString m_loaderText;
};

} // namespace

QString AnswerUsage()
{
    return QStringLiteral(
        "Usage: vessik-cli answer --greeting FILE --record DIR [--driver LIB] [--msn LIST]\n"
        "                         [--rings N] [--max-seconds S]\n"
        "An answering machine on the CAPI component: it takes every telephony call\n"
        "offered, plays the greeting once on the B channel, records what the caller\n"
        "sends until the caller hangs up or S seconds have passed, then clears the\n"
        "call. Each call is written to DIR as a WAV file (16-bit PCM, 8 kHz, mono)\n"
        "named yyyyMMdd-HHmmss-CALLING.wav (-2, -3, ... added when taken). When a call\n"
        "ends it prints one line, its fields separated by tabs:\n"
        "  time offered (2026-12-09T19:15:02), calling number, called number,\n"
        "  seconds recorded (one decimal), file name\n"
        "A field without a value (a withheld number, no file) is \"-\". Ctrl+C\n"
        "(SIGINT) or SIGTERM clears the open calls, completes their files and ends it.\n"
        "\n"
        "  --greeting FILE    the greeting: WAV, AIFF, FLAC or any format libsndfile\n"
        "                     reads, converted to 8 kHz mono\n"
        "  --record DIR       the folder for the recordings (created when missing)\n"
        "  --driver LIB       the CAPI driver library (default: the platform's CAPI library)\n"
        "  --msn LIST         own numbers, separated by commas: only their calls are taken\n"
        "  --rings N          seconds a call rings before it is taken (default 0)\n"
        "  --max-seconds S    longest recording per call (default 60)\n"
        "  --help             show this text\n"
        "\n"
        "Exit status: 0; 1 when the device could not be opened or was lost; 2 for a\n"
        "bad argument or a greeting that cannot be read.\n");
}

int RunAnswer(const QStringList& args)
{
    TOptions options;
    int status = 0;
    if (!ParseOptions(args, options, status))
        return status;

    std::vector<int16_t> samples;
    QString error;
    if (!vaudio::ReadMono(options.Greeting, kRate, samples, error))
        return BadArgument(QStringLiteral("cannot read the greeting \"%1\": %2").arg(options.Greeting, error));
    std::vector<uint8_t> greeting(samples.size());
    valaw::Encode(samples.data(), samples.size(), greeting.data());

    if (!QDir().mkpath(options.Record) || !QFileInfo(options.Record).isDir()
        || !QFileInfo(options.Record).isWritable())
        return BadArgument(QStringLiteral("cannot write recordings to \"%1\"").arg(options.Record));

    std::signal(SIGPIPE, SIG_IGN);
    TAnswerSession session(options, std::move(greeting));
    return session.Run();
}
