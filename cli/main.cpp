// vessik-cli: the headless side of Vessik. The first argument names the
// subcommand; each subcommand parses the rest itself.

#include "AnswerCommand.h"
#include "DecodeCommand.h"
#include "DialCommand.h"
#include "MonitorCommand.h"
#include "ExportCommand.h"
#include "ForwardCommand.h"
#include "ImportCommand.h"
#include "TraceCommand.h"

#include <QCoreApplication>
#include <QTextStream>

namespace {

struct TSubcommand {
    const char* name;
    const char* summary;
    int (*run)(const QStringList& args);
};

// One line per subcommand; a new subcommand adds its files and a line here.
constexpr TSubcommand kSubcommands[] = {
    {"decode", "decode D-channel frames given in hex into summaries and trees", RunDecode},
    {"trace", "print the live D-channel trace of a CAPI controller", RunTrace},
    {"monitor", "print the call events of a CAPI controller, one line each", RunMonitor},
    {"answer", "answer calls: play a greeting, record each caller to a WAV file", RunAnswer},
    {"forward", "show or change call forwarding at the network", RunForward},
    {"export", "write a log as a pcap or pcapng capture for packet analysers", RunExport},
    {"import", "turn a pcap or pcapng capture of LAPD frames into a log", RunImport},
    {"dial", "hand a number or tel: URI to the component that takes dialling requests", RunDial},
};

constexpr int kUsageError = 2;

void PrintUsage(QTextStream& out)
{
    out << "Usage: vessik-cli <command> [arguments]\n"
           "       vessik-cli <command> --help\n"
           "\n"
           "Commands:\n";
    for (const TSubcommand& command : kSubcommands)
        out << "  " << QString::fromLatin1(command.name).leftJustified(10) << command.summary << '\n';
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vessik-cli"));
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();

    if (args.isEmpty()) {
        QTextStream err(stderr);
        PrintUsage(err);
        return kUsageError;
    }
    const QString name = args.takeFirst();
    if (name == QLatin1String("--help") || name == QLatin1String("-h") || name == QLatin1String("help")) {
        QTextStream out(stdout);
        PrintUsage(out);
        return 0;
    }
    for (const TSubcommand& command : kSubcommands)
        if (name == QLatin1String(command.name))
            return command.run(args);

    QTextStream err(stderr);
    err << "vessik-cli: unknown command \"" << name << "\"\n\n";
    PrintUsage(err);
    return kUsageError;
}
