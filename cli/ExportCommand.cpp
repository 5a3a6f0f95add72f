#include "ExportCommand.h"

#include "CaptureLog.h"

#include <QTextStream>

namespace {

constexpr int kFailed = 1;
constexpr int kBadArgument = 2;

int BadArgument(const QString& text)
{
    QTextStream(stderr) << "vessik-cli export: " << text << '\n' << ExportUsage();
    return kBadArgument;
}

} // namespace

QString ExportUsage()
{
    return QStringLiteral(
        "Usage: vessik-cli export --pcap OUT [--pcapng] LOG\n"
        "Writes every row of the log LOG whose Data column holds a frame as one\n"
        "packet of link type LINUX_LAPD (177), which packet analysers decode as\n"
        "LAPD and Q.931; the direction (T sent, R received) is in the packet's\n"
        "header. Time stamps are the rows' times on the day the log was last\n"
        "written; a time earlier than the row before starts the next day. Rows\n"
        "without a frame are left out and counted on standard error.\n"
        "\n"
        "  --pcap OUT  the capture file to write (\"-\" is standard output)\n"
        "  --pcapng    write pcapng, with the row's Message text as each packet's comment\n"
        "  LOG         the log file (\"-\" is standard input, dated today)\n"
        "  --help      show this text\n"
        "\n"
        "Exit status: 0; 1 when the log cannot be read or the capture not written;\n"
        "2 for a bad argument.\n");
}

int RunExport(const QStringList& args)
{
    QString out;
    QString log;
    TCaptureFormat format = TCaptureFormat::Pcap;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            QTextStream(stdout) << ExportUsage();
            return 0;
        }
        if (arg == QLatin1String("--pcap")) {
            if (i + 1 >= args.size() || args[i + 1].isEmpty())
                return BadArgument(QStringLiteral("--pcap needs a file name"));
            out = args[++i];
        } else if (arg == QLatin1String("--pcapng")) {
            format = TCaptureFormat::Pcapng;
        } else if (arg.startsWith(QLatin1String("--")) || !log.isEmpty()) {
            return BadArgument(QStringLiteral("unknown argument \"%1\"").arg(arg));
        } else {
            log = arg;
        }
    }
    if (out.isEmpty())
        return BadArgument(QStringLiteral("--pcap OUT is needed"));
    if (log.isEmpty())
        return BadArgument(QStringLiteral("a log file is needed"));

    QTextStream err(stderr);
    const TExportResult result = ExportLogFile(log, out, format);
    if (!result.LogRead) {
        err << "vessik-cli export: cannot read the log file \"" << log << "\"\n";
        return kFailed;
    }
    if (!result.Written) {
        err << "vessik-cli export: cannot write the capture file \"" << out << "\": " << result.Error << '\n';
        return kFailed;
    }
    if (result.Counts.WithoutFrame > 0)
        err << "vessik-cli export: " << result.Counts.WithoutFrame << " rows without a frame left out\n";
    if (result.Counts.WithoutTime > 0)
        err << "vessik-cli export: " << result.Counts.WithoutTime
            << " rows without a time of day took the time of the row before\n";
    return 0;
}
