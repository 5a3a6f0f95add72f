#include "ForwardCommand.h"

#include "CapiMessageWriter.h"
#include "DeviceFailure.h"
#include "OneLine.h"
#include "TFCapi20.h"

#include <QEventLoop>
#include <QTextStream>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <optional>

namespace {

constexpr int kFailed = 1;
constexpr int kBadArgument = 2;
constexpr char kDefaultDriver[] = "capi2032.dll";
constexpr int kAnswerTimeoutMs = 10000;

enum class TAction { List, Show, Set, Clear };

struct TActionName {
    const char* Name;
    TAction Action;
};
constexpr TActionName kActions[] = {
    {"list", TAction::List}, {"show", TAction::Show}, {"set", TAction::Set}, {"clear", TAction::Clear}};

// Forwarding procedures as the network numbers them.
struct TProcedure {
    const char* Name;
    uint16_t Code;
};
constexpr TProcedure kProcedures[] = {{"cfu", 0}, {"cfb", 1}, {"cfnr", 2}};

// The diagnostic lines that carry the network's answer: by CAPI facility,
// or by a diversion operation in an INFO indication.
struct TAnswerLines {
    const char* Facility;
    const char* Info;
};
constexpr TAnswerLines kAnswerLines[] = {
    {" CF Interrogate Numbers", " InterrogationDiversion1"},
    {" CF Interrogate Parameters", " InterrogationDiversion"},
    {" CF Activate", " ActivationDiversion"},
    {" CF Deactivate", " DeactivationDiversion"},
};

const QString kInfoFacilityLine = QStringLiteral("Info Indication: facility data");
const QString kServicesLine = QStringLiteral(" Get Supported Services");

struct TForwardOptions {
    TAction Action = TAction::List;
    QString Driver;
    uint32_t Controller = 1;
    QString Number;                   // served user number (MSN)
    QString Target;                   // forwarded-to number
    std::optional<uint16_t> Procedure; // show: all three when absent
    uint16_t Service = 0;             // basic service: 0 = all services
    bool Trace = false;
};

QTextStream& Err()
{
    static QTextStream err(stderr);
    return err;
}

int BadArgument(const QString& text)
{
    Err() << "vessik-cli forward: " << text << '\n' << ForwardUsage();
    Err().flush();
    return kBadArgument;
}

std::optional<uint16_t> ProcedureCode(const QString& name)
{
    for (const TProcedure& procedure : kProcedures)
        if (name == QLatin1String(procedure.Name))
            return procedure.Code;
    return std::nullopt;
}

QString ProcedureName(uint16_t code)
{
    for (const TProcedure& procedure : kProcedures)
        if (procedure.Code == code)
            return QLatin1String(procedure.Name);
    return QString::number(code);
}

bool ParseOptions(const QStringList& args, TForwardOptions& options, int& status)
{
    const auto fail = [&status](const QString& text) {
        status = BadArgument(text);
        return false;
    };
    QStringList positional;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        const QString value = hasValue ? args[i + 1] : QString();
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            QTextStream(stdout) << ForwardUsage();
            status = 0;
            return false;
        }
        if (arg == QLatin1String("--trace")) {
            options.Trace = true;
            continue;
        }
        if (!arg.startsWith(QLatin1String("--"))) {
            positional << arg;
            continue;
        }
        if (!hasValue)
            return fail(QStringLiteral("%1 needs a value").arg(arg));
        ++i;
        bool ok = false;
        if (arg == QLatin1String("--driver")) {
            options.Driver = value;
        } else if (arg == QLatin1String("--controller")) {
            const qulonglong number = value.toULongLong(&ok);
            if (!ok || number == 0 || number > 0x7F)
                return fail(QStringLiteral("--controller needs a controller number from 1 to 127"));
            options.Controller = uint32_t(number);
        } else if (arg == QLatin1String("--service")) {
            const uint number = value.toUInt(&ok);
            if (!ok || number > 0xFF)
                return fail(QStringLiteral("--service needs a basic service from 0 to 255"));
            options.Service = uint16_t(number);
        } else if (arg == QLatin1String("--number")) {
            options.Number = value;
        } else if (arg == QLatin1String("--procedure")) {
            options.Procedure = ProcedureCode(value);
            if (!options.Procedure)
                return fail(QStringLiteral("--procedure needs cfu, cfb or cfnr"));
        } else {
            return fail(QStringLiteral("unknown argument \"%1\"").arg(arg));
        }
    }

    if (positional.isEmpty())
        return fail(QStringLiteral("list, show, set or clear is missing"));
    const QString action = positional.takeFirst();
    const auto known = std::find_if(std::begin(kActions), std::end(kActions),
                                    [&](const TActionName& a) { return action == QLatin1String(a.Name); });
    if (known == std::end(kActions))
        return fail(QStringLiteral("unknown action \"%1\"").arg(action));
    options.Action = known->Action;
    const bool changes = options.Action == TAction::Set || options.Action == TAction::Clear;
    if (!changes && (options.Action == TAction::List) && (!options.Number.isEmpty() || options.Procedure))
        return fail(QStringLiteral("list takes no --number or --procedure"));
    if (changes && (!options.Number.isEmpty() || options.Procedure))
        return fail(QStringLiteral("%1 takes the procedure and numbers as arguments").arg(action));
    const qsizetype wanted = options.Action == TAction::Set ? 3 : options.Action == TAction::Clear ? 2 : 0;
    if (positional.size() != wanted)
        return fail(wanted == 3   ? QStringLiteral("set needs cfu|cfb|cfnr MSN TARGET")
                    : wanted == 2 ? QStringLiteral("clear needs cfu|cfb|cfnr MSN")
                                  : QStringLiteral("unexpected argument \"%1\"").arg(positional.value(0)));
    if (changes) {
        options.Procedure = ProcedureCode(positional[0]);
        if (!options.Procedure)
            return fail(QStringLiteral("unknown procedure \"%1\": cfu, cfb or cfnr").arg(positional[0]));
        options.Number = positional[1];
        if (options.Number.isEmpty())
            return fail(QStringLiteral("the MSN is empty"));
        if (wanted == 3) {
            options.Target = positional[2];
            if (options.Target.isEmpty())
                return fail(QStringLiteral("the target number is empty"));
        }
    }
    return true;
}

// "PP/BB:served->forwarded-to" as "procedure served -> forwarded-to".
QString EntryLine(const QString& entry)
{
    const qsizetype slash = entry.indexOf(u'/');
    const qsizetype colon = entry.indexOf(u':');
    const qsizetype arrow = entry.indexOf(QLatin1String("->"), colon + 1);
    if (slash < 0 || colon < slash || arrow < 0)
        return entry;
    bool ok = false;
    const uint procedure = entry.left(slash).toUInt(&ok, 16);
    const QString name = ok ? ProcedureName(uint16_t(procedure)) : entry.left(slash);
    return name + u' ' + entry.mid(colon + 1, arrow - colon - 1) + QStringLiteral(" -> ") + entry.mid(arrow + 2);
}

class TForwardSession {
public:
    explicit TForwardSession(const TForwardOptions& options) : m_options(options) {}

    int Run()
    {
        m_capi.setController(m_options.Controller);
        m_capi.setIncomingCalls({});
        AssignEvents();
        const QString driver = m_options.Driver.isEmpty() ? QLatin1String(kDefaultDriver) : m_options.Driver;
        if (!m_capi.OpenDevice(driver)) {
            Err() << "vessik-cli forward: cannot open the CAPI device \"" << driver << "\": " << DeviceFailure(m_capi)
                  << '\n';
            return kFailed;
        }
        QTimer deadline;
        deadline.setSingleShot(true);
        QObject::connect(&deadline, &QTimer::timeout, [this] {
            m_timedOut = true;
            m_loop.quit();
        });
        deadline.start(kAnswerTimeoutMs);

        // What the controller offers decides between CAPI facilities and
        // diversion operations of the component's own.
        AskSupportedServices();
        if (!m_servicesKnown && !m_timedOut)
            m_loop.exec();
        if (m_servicesKnown && !m_finished && Send() && !m_finished && !m_timedOut)
            m_loop.exec();
        deadline.stop();
        m_capi.CloseDevice();

        if (!m_finished) {
            Err() << "vessik-cli forward: no answer from the network within 10 seconds\n";
            return kFailed;
        }
        if (!m_failure.isEmpty()) {
            Err() << "vessik-cli forward: " << m_failure << '\n';
            return kFailed;
        }
        for (const QString& line : m_output)
            Print(line);
        return 0;
    }

private:
    void AskSupportedServices()
    {
        TCapiMessageWriter writer;
        writer.Init(uint16_t(m_capi.ApplID()), 0x80, 0x80, m_capi.NextMessageNumber());
        writer.AddDword(m_options.Controller);
        writer.AddWord(3); // supplementary services
        const uint32_t parameter = writer.OpenStruct();
        writer.AddWord(0); // Get Supported Services
        writer.AddEmptyStruct();
        writer.CloseStruct(parameter);
        const uint16_t info = m_capi.PutCapiMessage(m_capi.ApplID(), writer.Message());
        if (info != 0)
            Fail(QStringLiteral("Get Supported Services failed: 0x%1").arg(info, 4, 16, QLatin1Char('0')).toUpper());
    }

    // False when the request could not be sent (the failure is set).
    bool Send()
    {
        const uint32_t controller = m_options.Controller;
        const uint16_t procedure = m_options.Procedure.value_or(0);
        uint16_t info = 0;
        switch (m_options.Action) {
        case TAction::List:
            info = m_capi.InterrogateNumbersRequest(controller);
            break;
        case TAction::Show:
            // Without a procedure all three are asked; the component queues them.
            m_expectedAnswers = m_options.Procedure ? 1 : int(std::size(kProcedures));
            for (int i = 0; i < m_expectedAnswers && info == 0; ++i)
                info = m_capi.InterrogateParamsRequest(controller, m_options.Number,
                                                       m_options.Procedure ? procedure : kProcedures[i].Code,
                                                       m_options.Service, true);
            break;
        case TAction::Set:
            info = m_capi.ForwardRequest(controller, m_options.Number, m_options.Target, procedure, m_options.Service,
                                         true);
            break;
        case TAction::Clear:
            info = m_capi.UnForwardRequest(controller, m_options.Number, procedure, m_options.Service, true);
            break;
        }
        if (info != 0 && !m_finished)
            Fail(m_lastLine.isEmpty() ? QStringLiteral("the request could not be sent") : m_lastLine.trimmed());
        return info == 0;
    }

    void AssignEvents()
    {
        m_capi.OnAppTrace = [this](uint32_t, const QString& line) {
            if (m_options.Trace)
                Print(QStringLiteral("trace ") + OneLine(line));
            Observe(WithoutTimeStamp(line));
        };
        m_capi.OnGetForwardedNumbers = [this](uint32_t, const QString& list) {
            // The component's own time-out also reports an empty list: only
            // a list that follows the network's answer counts.
            if (m_options.Action != TAction::List || !TakeAnswer())
                return;
            for (const QString& number : list.split(u'|', Qt::SkipEmptyParts))
                m_output << number;
            if (m_output.isEmpty())
                m_output << QStringLiteral("no call forwarding");
            Finish();
        };
        m_capi.OnGetForwardedNumbersEx = [this](uint32_t, const QString& list) {
            if (m_options.Action != TAction::Show || !TakeAnswer())
                return;
            for (const QString& entry : list.split(u'|', Qt::SkipEmptyParts))
                m_output << EntryLine(entry);
            if (++m_answers < m_expectedAnswers)
                return;
            if (m_output.isEmpty())
                m_output << QStringLiteral("no call forwarding");
            Finish();
        };
    }

    bool TakeAnswer()
    {
        const bool answered = m_answered;
        m_answered = false;
        return answered;
    }

    // Follows the component's diagnostic lines to the network's answer.
    void Observe(const QString& text)
    {
        m_lastLine = text;
        if (text.startsWith(kServicesLine)) {
            m_servicesKnown = true;
            m_loop.quit();
            return;
        }
        if (text.startsWith(kInfoFacilityLine)) {
            m_infoKind = text.mid(kInfoFacilityLine.size());
            return;
        }
        const TAnswerLines& lines = kAnswerLines[int(m_options.Action)];
        const QString facility = QLatin1String(lines.Facility);
        const QString info = QLatin1String(lines.Info);
        const bool changes = m_options.Action == TAction::Set || m_options.Action == TAction::Clear;
        if (text == facility) {
            m_answered = true;
            if (changes)
                Succeed();
        } else if (text.startsWith(facility + QStringLiteral(" failed (")) ||
                   (text.startsWith(facility + QStringLiteral(": ")) && !text.endsWith(QLatin1String(": success")))) {
            Fail(text.trimmed());
        } else if (text == info) {
            m_answered = true;
            if (!changes)
                return;
            if (m_infoKind == QLatin1String(" - result"))
                Succeed();
            else
                Fail(info.trimmed() + m_infoKind);
        }
    }

    void Succeed()
    {
        m_output << QStringLiteral("success");
        Finish();
    }

    void Fail(const QString& text)
    {
        m_failure = text;
        Finish();
    }

    void Finish()
    {
        m_finished = true;
        m_loop.quit();
    }

    void Print(const QString& line)
    {
        const QByteArray bytes = line.toUtf8() + '\n';
        std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
        std::fflush(stdout);
    }

    const TForwardOptions& m_options;
    TCapi20 m_capi;
    QEventLoop m_loop;
    bool m_servicesKnown = false;
    bool m_answered = false;
    bool m_finished = false;
    bool m_timedOut = false;
    int m_answers = 0;
    int m_expectedAnswers = 1;
    QString m_infoKind;
    QString m_lastLine;
    QString m_failure;
    QStringList m_output;
};

} // namespace

QString ForwardUsage()
{
    return QStringLiteral(
        "Usage: vessik-cli forward list [--driver LIB] [--controller N] [--trace]\n"
        "       vessik-cli forward show [--number MSN] [--procedure cfu|cfb|cfnr] [--service N] ...\n"
        "       vessik-cli forward set cfu|cfb|cfnr MSN TARGET [--service N] ...\n"
        "       vessik-cli forward clear cfu|cfb|cfnr MSN [--service N] ...\n"
        "Shows and changes call forwarding at the network. list prints each forwarded\n"
        "number on its own line (\"no call forwarding\" when there is none); show prints\n"
        "one line per forwarding: procedure, served number, \"->\", forwarded-to number;\n"
        "set and clear print \"success\" once the network has answered.\n"
        "\n"
        "  cfu, cfb, cfnr     unconditional, on busy, on no reply\n"
        "  --driver LIB       the CAPI driver library (default: the platform's CAPI library)\n"
        "  --controller N     the controller number (default 1)\n"
        "  --number MSN       show: only this served number (default: all)\n"
        "  --procedure P      show: only this procedure (default: all three)\n"
        "  --service N        the basic service (default 0, all services)\n"
        "  --trace            also print the diagnostic lines, as \"trace\" and the line\n"
        "  --help             show this text\n"
        "\n"
        "Exit status: 0; 1 when the device could not be opened, the network refused\n"
        "or gave no answer within 10 seconds; 2 for a bad argument.\n");
}

int RunForward(const QStringList& args)
{
    TForwardOptions options;
    int status = 0;
    if (!ParseOptions(args, options, status))
        return status;
    return TForwardSession(options).Run();
}
