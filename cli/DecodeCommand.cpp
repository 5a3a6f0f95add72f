#include "DecodeCommand.h"

#include "CaptureNotes.h"
#include "CaptureRows.h"
#include "FrameText.h"
#include "HexFrame.h"
#include "HexLine.h"
#include "LogFile.h"
#include "MemoryTree.h"
#include "OneLine.h"

#include <QFile>
#include <QTextStream>

#include <cstdio>

namespace {

constexpr int kCannotRead = 1;
constexpr int kBadArgument = 2;

class TDecodePrinter {
public:
    TDecodePrinter(QTextStream& out, bool layer2) : m_out(out), m_layer2(layer2) {}

    // heading, when given, is printed as the first line of the frame's block.
    void Print(const QByteArray& octets, const QString& heading = QString())
    {
        const auto* frame = reinterpret_cast<const uint8_t*>(octets.constData());
        const auto length = uint32_t(octets.size());
        if (m_printed++ > 0)
            m_out << '\n';
        if (!heading.isNull())
            m_out << heading << '\n';
        for (const QString& line : FrameTextLines(frame, length, m_layer2, m_tree))
            m_out << line << '\n';
    }

private:
    QTextStream& m_out;
    bool m_layer2;
    TMemoryTree m_tree;
    int m_printed = 0;
};

// The columns of a trace row, as the window shows them.
constexpr int kLogColumns = 4;
constexpr int kDataColumn = 3;

// A row's column texts on one line, separated by TAB: a TAB inside a text
// would shift the columns, so it becomes U+FFFD like a line break does.
QString RowLine(const QStringList& texts)
{
    QStringList fields;
    for (const QString& text : texts)
        fields << OneLine(text).replace(QLatin1Char('\t'), QChar(QChar::ReplacementCharacter));
    return fields.join(QLatin1Char('\t'));
}

void DecodeRows(const TLogRows& rows, bool layer2)
{
    QTextStream out(stdout);
    TDecodePrinter printer(out, layer2);
    for (qsizetype row = 0; row < rows.Count(); ++row)
        printer.Print(OctetsFromHexLine(rows.Text(row, kDataColumn)), RowLine(rows.Texts(row)));
}

int DecodeLog(const QString& fileName, bool layer2)
{
    TLogRows rows;
    if (LoadLog(fileName, u';', kLogColumns, false, rows) != TLogLoad::Loaded) {
        QTextStream(stderr) << "vessik-cli decode: cannot load the log file \"" << fileName << "\"\n";
        return kCannotRead;
    }
    DecodeRows(rows, layer2);
    return 0;
}

// A capture decodes as the log it imports to; what a damaged file still held
// is printed before the message about it.
int DecodeCapture(const QString& fileName, bool layer2)
{
    TLogRows rows;
    const TCaptureLoad load = LoadCaptureRows(fileName, layer2, rows);
    DecodeRows(rows, layer2);
    return ReportCaptureLoad(QStringLiteral("decode"), fileName, load);
}

// Input that cannot be read is a failure like a log file that cannot be
// loaded; the frames read before it stay printed.
int CannotReadInput(QTextStream& out)
{
    out.flush();
    QTextStream(stderr) << "vessik-cli decode: cannot read standard input\n";
    return kCannotRead;
}

void ReportBadFrame(const QString& text)
{
    QTextStream(stderr) << "vessik-cli decode: not a frame of hex digit pairs: \"" << OneLine(text) << "\"\n";
}

} // namespace

QString DecodeUsage()
{
    return QStringLiteral(
        "Usage: vessik-cli decode [--l2] [HEX]...\n"
        "       vessik-cli decode --log FILE [--l2]\n"
        "       vessik-cli decode --pcap FILE [--l2]\n"
        "Decodes D-channel frames: for each frame, its one-line summary, then its\n"
        "decode tree, one node per line, indented by two blanks per level.\n"
        "Frames are separated by an empty line.\n"
        "\n"
        "  HEX     one frame as hex digit pairs, e.g. \"02 FF 03 08 01 05 05\" or 02ff03;\n"
        "          without HEX arguments, frames are read from standard input,\n"
        "          one per line; empty lines are skipped\n"
        "  --log FILE  decode every row of a saved trace: the row's four columns\n"
        "          separated by TAB on one line, then the summary and tree of\n"
        "          the octets of its Data column; rows are separated by an empty line\n"
        "  --pcap FILE  decode every LAPD packet of a pcap or pcapng file (\"-\" is\n"
        "          standard input) as the row vessik-cli import makes of it, like --log\n"
        "  --l2    show the layer-2 frame type and TEI in the summary\n"
        "  --help  show this text\n"
        "\n"
        "Exit status: 0; 1 when the log file or standard input cannot be read, or\n"
        "the capture file is unreadable, damaged or cut short;\n"
        "2 when an argument or input line is not a frame.\n");
}

int RunDecode(const QStringList& args)
{
    bool layer2 = false;
    bool optionsDone = false;
    QStringList frames;
    QString logFile;
    QString captureFile;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (!optionsDone && arg == QLatin1String("--help")) {
            QTextStream(stdout) << DecodeUsage();
            return 0;
        }
        if (!optionsDone && arg == QLatin1String("--l2")) {
            layer2 = true;
        } else if (!optionsDone && arg == QLatin1String("--log")) {
            if (i + 1 >= args.size()) {
                QTextStream(stderr) << "vessik-cli decode: --log needs a file name\n" << DecodeUsage();
                return kBadArgument;
            }
            logFile = args[++i];
        } else if (!optionsDone && arg == QLatin1String("--pcap")) {
            if (i + 1 >= args.size()) {
                QTextStream(stderr) << "vessik-cli decode: --pcap needs a file name\n" << DecodeUsage();
                return kBadArgument;
            }
            captureFile = args[++i];
        } else if (!optionsDone && arg == QLatin1String("--")) {
            optionsDone = true;
        } else if (!optionsDone && arg.startsWith(QLatin1String("--"))) {
            QTextStream(stderr) << "vessik-cli decode: unknown option \"" << arg << "\"\n" << DecodeUsage();
            return kBadArgument;
        } else {
            frames << arg;
        }
    }

    if (!logFile.isEmpty() || !captureFile.isEmpty()) {
        if (!frames.isEmpty() || (!logFile.isEmpty() && !captureFile.isEmpty())) {
            QTextStream(stderr) << "vessik-cli decode: --log and --pcap take no frames and not each other\n"
                                << DecodeUsage();
            return kBadArgument;
        }
        return logFile.isEmpty() ? DecodeCapture(captureFile, layer2) : DecodeLog(logFile, layer2);
    }

    QTextStream out(stdout);
    TDecodePrinter printer(out, layer2);
    int status = 0;
    const auto decode = [&](const QString& text) {
        if (const auto octets = ParseHexFrame(text)) {
            printer.Print(*octets);
        } else {
            out.flush(); // keep the error next to the frame it concerns
            ReportBadFrame(text);
            status = kBadArgument;
        }
    };

    if (!frames.isEmpty()) {
        for (const QString& text : frames)
            decode(text);
        return status;
    }

    QFile in;
    if (!in.open(stdin, QIODevice::ReadOnly))
        return CannotReadInput(out);
    // A line read always holds its line break, so an empty read is the end
    // of the input or a failed read. A failed read (a directory or a closed
    // descriptor as input) never reaches the end: stop on it, or it loops.
    for (QByteArray raw = in.readLine(); !raw.isEmpty(); raw = in.readLine()) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (!line.isEmpty())
            decode(line);
    }
    if (in.error() != QFileDevice::NoError || std::ferror(stdin))
        return CannotReadInput(out);
    return status;
}
