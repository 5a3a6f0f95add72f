#include "ImportCommand.h"

#include "CaptureLog.h"
#include "CaptureNotes.h"

#include <QTextStream>

namespace {

constexpr int kFailed = 1;
constexpr int kBadArgument = 2;

int BadArgument(const QString& text)
{
    QTextStream(stderr) << "vessik-cli import: " << text << '\n' << ImportUsage();
    return kBadArgument;
}

} // namespace

QString ImportUsage()
{
    return QStringLiteral(
        "Usage: vessik-cli import --pcap FILE [--l2] LOG\n"
        "Turns every packet of the pcap or pcapng file FILE of link type LAPD (203)\n"
        "or LINUX_LAPD (177) into a row of the log LOG, as the trace shows it: local\n"
        "time of day, T (sent) or R (received), summary and octets. The direction\n"
        "comes from the LINUX_LAPD header; without one, from the command/response\n"
        "bit, with the side that sent the first SETUP as this side (T). Standard\n"
        "error says which. Packets of other link types are skipped and counted.\n"
        "\n"
        "  --pcap FILE  the capture file (\"-\" is standard input)\n"
        "  --l2         show the layer-2 frame type and TEI in the summary\n"
        "  LOG          the log file to write (\"-\" is standard output)\n"
        "  --help       show this text\n"
        "\n"
        "Exit status: 0; 1 when the capture cannot be read or is damaged or cut short\n"
        "(the rows read before are written) or the log cannot be written; 2 for a bad\n"
        "argument.\n");
}

int RunImport(const QStringList& args)
{
    QString capture;
    QString log;
    bool layer2 = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            QTextStream(stdout) << ImportUsage();
            return 0;
        }
        if (arg == QLatin1String("--pcap")) {
            if (i + 1 >= args.size() || args[i + 1].isEmpty())
                return BadArgument(QStringLiteral("--pcap needs a file name"));
            capture = args[++i];
        } else if (arg == QLatin1String("--l2")) {
            layer2 = true;
        } else if (arg.startsWith(QLatin1String("--")) || !log.isEmpty()) {
            return BadArgument(QStringLiteral("unknown argument \"%1\"").arg(arg));
        } else {
            log = arg;
        }
    }
    if (capture.isEmpty())
        return BadArgument(QStringLiteral("--pcap FILE is needed"));
    if (log.isEmpty())
        return BadArgument(QStringLiteral("a log file is needed"));

    const TImportResult result = ImportCaptureFile(capture, log, layer2);
    const int status = ReportCaptureLoad(QStringLiteral("import"), capture, result.Load);
    if (!result.Load.Opened)
        return status;
    if (!result.Written) {
        QTextStream(stderr) << "vessik-cli import: cannot write the log file \"" << log << "\"\n";
        return kFailed;
    }
    return status;
}
