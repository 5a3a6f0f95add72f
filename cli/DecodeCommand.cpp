#include "DecodeCommand.h"

#include "CaptureNotes.h"
#include "CaptureRows.h"
#include "FrameWriter.h"
#include "HexFrame.h"
#include "HexLine.h"
#include "InOrderPool.h"
#include "LineBlocks.h"
#include "LogFile.h"
#include "OutputFd.h"
#include "Utf8Text.h"

#include <QTextStream>

#include <sched.h>
#include <unistd.h>

namespace {

constexpr int kCannotRead = 1;
constexpr int kBadArgument = 2;

// Large enough that a batch costs far more than handing it over; small
// enough that the first lines come out at once and a batch's output of trees
// (about ten times its input) stays in the caches' reach.
constexpr size_t kBlockSize = 64 * 1024;
constexpr qsizetype kRowsPerBatch = 1024;
constexpr int kMaxJobs = 256;

// The columns of a trace row, as the window shows them.
constexpr int kLogColumns = 4;
constexpr int kDataColumn = 3;
constexpr qsizetype kMaxRowOctets = 256; // what the window decodes of a row

// A message for standard error, written when the output reaches `at`: an
// error stays next to the frame it concerns.
struct TNote {
    size_t at;
    QByteArray text;
};

struct TDecodeBatch {
    TLineBlock input;        // whole lines of standard input
    qsizetype firstRow = 0;  // or rows of a log
    qsizetype rowCount = 0;
    TByteBuffer out;
    std::vector<TNote> notes;
    bool badFrame = false;

    void Reset()
    {
        out.Clear();
        notes.clear();
        badFrame = false;
    }
};

QByteArray NotAFrameMessage(QStringView text)
{
    TByteBuffer message;
    message.AppendLiteral("vessik-cli decode: not a frame of hex digit pairs: \"");
    AppendOneLine(message, text);
    message.AppendLiteral("\"\n");
    return QByteArray(message.Data(), qsizetype(message.Size()));
}

// A worker's decoder: its writer and scratch octets are reused for every
// frame it decodes.
class TFrameDecoder {
public:
    TFrameDecoder(TDecodeForm form, bool layer2) : m_writer(form, layer2) {}

    // A frame as typed: hex pairs, blanks between pairs allowed.
    void Text(TDecodeBatch& batch, QStringView text)
    {
        if (const auto octets = ParseHexFrame(text)) {
            m_writer.Frame(batch.out, reinterpret_cast<const uint8_t*>(octets->constData()), uint32_t(octets->size()));
            return;
        }
        m_writer.NotAFrame(batch.out, text);
        batch.notes.push_back({batch.out.Size(), NotAFrameMessage(text)});
        batch.badFrame = true;
    }

    // A line of standard input as read, line break cut. Lines trimmed to
    // nothing are skipped.
    void Line(TDecodeBatch& batch, std::string_view line)
    {
        const auto isSpace = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
        std::string_view text = line;
        while (!text.empty() && isSpace(text.front()))
            text.remove_prefix(1);
        while (!text.empty() && isSpace(text.back()))
            text.remove_suffix(1);
        if (text.empty())
            return;
        if (const size_t count = ParseHexFrame(text, m_octets)) {
            m_writer.Frame(batch.out, m_octets.data(), uint32_t(count));
            return;
        }
        // Not plain hex: as UTF-16 for the message, where Unicode blanks
        // around the text are trimmed as well.
        const QString trimmed = QString::fromUtf8(line.data(), qsizetype(line.size())).trimmed();
        if (!trimmed.isEmpty())
            Text(batch, trimmed);
    }

    void Row(TDecodeBatch& batch, const TLogRows& rows, qsizetype row)
    {
        const int fields = rows.FieldCount(row);
        m_columns.resize(size_t(fields));
        for (int i = 0; i < fields; ++i)
            m_columns[size_t(i)] = rows.Field(row, i);
        RowOctets(rows.Field(row, kDataColumn));
        m_writer.Frame(batch.out, m_octets.data(), uint32_t(m_octets.size()), m_columns);
    }

private:
    // The Data column's octets as the window reads them back (OctetsFromHexLine).
    void RowOctets(QByteArrayView data)
    {
        m_octets.clear();
        for (const char c : data) {
            if (uchar(c) >= 0x80) { // characters are not bytes: go through UTF-16
                const QByteArray octets = OctetsFromHexLine(QString::fromUtf8(data), kMaxRowOctets);
                m_octets.assign(octets.begin(), octets.end());
                return;
            }
        }
        for (qsizetype i = 0; i + 1 < data.size() && qsizetype(m_octets.size()) < kMaxRowOctets; i += 3) {
            const int high = HexDigitValue(QLatin1Char(data[i]));
            const int low = HexDigitValue(QLatin1Char(data[i + 1]));
            if (high >= 0 && low >= 0)
                m_octets.push_back(uint8_t(high * 16 + low));
        }
    }

    TFrameWriter m_writer;
    std::vector<uint8_t> m_octets;
    std::vector<QByteArrayView> m_columns;
};

// Standard output and error in batch order; the tree form's first frame
// has no empty line before it.
class TBatchOutput {
public:
    explicit TBatchOutput(TDecodeForm form) : m_skip(form == TDecodeForm::Tree ? 1 : 0) {}

    bool Take(const TDecodeBatch& batch)
    {
        m_badFrame = m_badFrame || batch.badFrame;
        size_t at = 0;
        for (const TNote& note : batch.notes) {
            if (!Out(batch.out.Data() + at, note.at - at))
                return false;
            at = note.at;
            m_err.Write(note.text.constData(), size_t(note.text.size()));
        }
        return Out(batch.out.Data() + at, batch.out.Size() - at);
    }

    // The exit status, after any message the end of the run calls for.
    int Finish(bool readFailed)
    {
        if (m_out.State() == TOutputFd::TState::Failed) {
            QTextStream(stderr) << "vessik-cli decode: cannot write standard output\n";
            return kCannotRead;
        }
        // With the reader gone, the unread input is no error of ours.
        if (readFailed && m_out.State() == TOutputFd::TState::Open) {
            QTextStream(stderr) << "vessik-cli decode: cannot read standard input\n";
            return kCannotRead;
        }
        return m_badFrame ? kBadArgument : 0;
    }

private:
    bool Out(const char* bytes, size_t count)
    {
        const size_t skip = std::min(m_skip, count);
        m_skip -= skip;
        return m_out.Write(bytes + skip, count - skip);
    }

    TOutputFd m_out{STDOUT_FILENO};
    TOutputFd m_err{STDERR_FILENO};
    size_t m_skip;
    bool m_badFrame = false;
};

struct TOptions {
    TDecodeForm form = TDecodeForm::Tree;
    bool layer2 = false;
    int jobs = 0; // 0: one per core
    QString logFile;
    QString captureFile;
    QStringList frames;
};

int Cores()
{
    cpu_set_t set;
    if (sched_getaffinity(0, sizeof set, &set) == 0)
        return std::max(1, CPU_COUNT(&set));
    return std::max(1, int(sysconf(_SC_NPROCESSORS_ONLN)));
}

// Decodes the batches that fill makes on `jobs` threads, output in order.
int DecodeBatches(const TOptions& options, const std::function<bool(TDecodeBatch&)>& fill,
                  const std::function<void(TFrameDecoder&, TDecodeBatch&)>& work, const bool& readFailed)
{
    const int jobs = options.jobs > 0 ? options.jobs : Cores();
    std::vector<TFrameDecoder> decoders;
    decoders.reserve(size_t(jobs));
    for (int i = 0; i < jobs; ++i)
        decoders.emplace_back(options.form, options.layer2);
    TBatchOutput output(options.form);
    TInOrderSteps<TDecodeBatch> steps;
    steps.fill = [&](TDecodeBatch& batch) {
        batch.Reset();
        return fill(batch);
    };
    steps.work = [&](TDecodeBatch& batch, int worker) { work(decoders[size_t(worker)], batch); };
    steps.take = [&](TDecodeBatch& batch) { return output.Take(batch); };
    RunInOrder(jobs, steps);
    return output.Finish(readFailed);
}

int DecodeStandardInput(const TOptions& options)
{
    TLineBlocks in(STDIN_FILENO, kBlockSize);
    bool readFailed = false;
    const auto fill = [&](TDecodeBatch& batch) {
        const bool more = in.Next(batch.input);
        readFailed = in.Failed();
        return more;
    };
    const auto work = [](TFrameDecoder& decoder, TDecodeBatch& batch) {
        ForEachLine(batch.input.Text(), [&](std::string_view line) { decoder.Line(batch, line); });
    };
    return DecodeBatches(options, fill, work, readFailed);
}

int DecodeRows(const TOptions& options, const TLogRows& rows)
{
    qsizetype next = 0;
    const auto fill = [&](TDecodeBatch& batch) {
        batch.firstRow = next;
        batch.rowCount = std::min(kRowsPerBatch, rows.Count() - next);
        next += batch.rowCount;
        return batch.rowCount > 0;
    };
    const auto work = [&](TFrameDecoder& decoder, TDecodeBatch& batch) {
        for (qsizetype row = batch.firstRow; row < batch.firstRow + batch.rowCount; ++row)
            decoder.Row(batch, rows, row);
    };
    const bool readFailed = false;
    return DecodeBatches(options, fill, work, readFailed);
}

int DecodeLog(const TOptions& options)
{
    TLogRows rows;
    if (LoadLog(options.logFile, u';', kLogColumns, false, rows) != TLogLoad::Loaded) {
        QTextStream(stderr) << "vessik-cli decode: cannot load the log file \"" << options.logFile << "\"\n";
        return kCannotRead;
    }
    return DecodeRows(options, rows);
}

// A capture decodes as the log it imports to; what a damaged file still held
// is printed before the message about it.
int DecodeCapture(const TOptions& options)
{
    TLogRows rows;
    const TCaptureLoad load = LoadCaptureRows(options.captureFile, options.layer2, rows);
    const int status = DecodeRows(options, rows);
    const int loadStatus = ReportCaptureLoad(QStringLiteral("decode"), options.captureFile, load);
    return status != 0 ? status : loadStatus;
}

int DecodeArguments(const TOptions& options)
{
    TFrameDecoder decoder(options.form, options.layer2);
    TDecodeBatch batch;
    for (const QString& text : options.frames)
        decoder.Text(batch, text);
    TBatchOutput output(options.form);
    output.Take(batch);
    return output.Finish(false);
}

int UsageError(const QString& message)
{
    QTextStream(stderr) << "vessik-cli decode: " << message << '\n' << DecodeUsage();
    return kBadArgument;
}

} // namespace

QString DecodeUsage()
{
    return QStringLiteral(
        "Usage: vessik-cli decode [--l2] [--summary | --json] [--jobs N] [HEX]...\n"
        "       vessik-cli decode --log FILE [--l2] [--summary | --json] [--jobs N]\n"
        "       vessik-cli decode --pcap FILE [--l2] [--summary | --json] [--jobs N]\n"
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
        "  --summary  only the summary, one line per frame (with --log or --pcap\n"
        "          after the row's columns and a TAB)\n"
        "  --json  one JSON object per line and frame: {\"summary\": ..., \"tree\":\n"
        "          [{\"text\": ..., \"children\": [...]}, ...]}, with --log or --pcap\n"
        "          also \"time\", \"direction\" and \"message\"; a line that is not a\n"
        "          frame gives {\"error\": ..., \"input\": ...}\n"
        "  --jobs N  decode on N threads (default: one per core); the output keeps\n"
        "          the order of the input\n"
        "  --help  show this text\n"
        "\n"
        "Exit status: 0; 1 when the log file or standard input cannot be read, the\n"
        "capture file is unreadable, damaged or cut short, or the output cannot be\n"
        "written; 2 when an argument or input line is not a frame.\n");
}

int RunDecode(const QStringList& args)
{
    TOptions options;
    bool optionsDone = false;
    bool summary = false;
    bool json = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (optionsDone || !arg.startsWith(QLatin1String("--"))) {
            options.frames << arg;
        } else if (arg == QLatin1String("--help")) {
            QTextStream(stdout) << DecodeUsage();
            return 0;
        } else if (arg == QLatin1String("--l2")) {
            options.layer2 = true;
        } else if (arg == QLatin1String("--summary")) {
            summary = true;
        } else if (arg == QLatin1String("--json")) {
            json = true;
        } else if (arg == QLatin1String("--log")) {
            if (i + 1 >= args.size())
                return UsageError(QStringLiteral("--log needs a file name"));
            options.logFile = args[++i];
        } else if (arg == QLatin1String("--pcap")) {
            if (i + 1 >= args.size())
                return UsageError(QStringLiteral("--pcap needs a file name"));
            options.captureFile = args[++i];
        } else if (arg == QLatin1String("--jobs")) {
            bool ok = false;
            options.jobs = i + 1 < args.size() ? args[++i].toInt(&ok) : 0;
            if (!ok || options.jobs < 1 || options.jobs > kMaxJobs)
                return UsageError(QStringLiteral("--jobs needs a number of threads from 1 to %1").arg(kMaxJobs));
        } else if (arg == QLatin1String("--")) {
            optionsDone = true;
        } else {
            return UsageError(QStringLiteral("unknown option \"%1\"").arg(arg));
        }
    }
    if (summary && json)
        return UsageError(QStringLiteral("--summary and --json exclude each other"));
    options.form = summary ? TDecodeForm::Summary : json ? TDecodeForm::Json : TDecodeForm::Tree;

    if (!options.logFile.isEmpty() || !options.captureFile.isEmpty()) {
        if (!options.frames.isEmpty() || (!options.logFile.isEmpty() && !options.captureFile.isEmpty()))
            return UsageError(QStringLiteral("--log and --pcap take no frames and not each other"));
        return options.logFile.isEmpty() ? DecodeCapture(options) : DecodeLog(options);
    }
    if (!options.frames.isEmpty())
        return DecodeArguments(options);
    return DecodeStandardInput(options);
}
