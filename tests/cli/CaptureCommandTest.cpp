// vessik-cli export, import, decode --pcap and trace --pcap, and what a real
// packet analyser (tshark, text2pcap) makes of the files and gives back.

#include "CaptureReader.h"
#include "FrameDecoder.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <algorithm>
#include <utime.h>

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}
QT_END_NAMESPACE

namespace {

struct TRun {
    int status = -1;
    QByteArray out;
    QString err;
};

// Every program runs with the time zone UTC, so that times of day and
// capture times convert plainly.
TRun RunProgram(const QString& program, const QStringList& args, const QStringList& settings = {},
         const QByteArray& input = {})
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TZ"), QStringLiteral("UTC"));
    environment.remove(QStringLiteral("VESSIK_SIM_SCENARIO"));
    environment.remove(QStringLiteral("VESSIK_SIM_MANUFACTURER"));
    for (const QString& setting : settings)
        environment.insert(setting.section(u'=', 0, 0), setting.section(u'=', 1));
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program, args);
    EXPECT_TRUE(process.waitForStarted(10000)) << program.toStdString();
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        ADD_FAILURE() << program.toStdString() << " did not end";
    }
    TRun run;
    run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = process.readAllStandardOutput();
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

TRun Cli(const QStringList& args, const QStringList& settings = {}, const QByteArray& input = {})
{
    return RunProgram(QStringLiteral(VESSIK_CLI), args, settings, input);
}

QStringList Lines(const QByteArray& bytes)
{
    QString text = QString::fromUtf8(bytes);
    if (text.endsWith(u'\n'))
        text.chop(1);
    return text.isEmpty() ? QStringList() : text.split(u'\n');
}

const QDate kLogDate(2024, 12, 31);

// A trace that runs past midnight, with two rows at the same time, a text
// row of a driver, a two-octet call reference, national and unknown numbers,
// a dummy call reference, TEI management and a layer-2 frame.
const QStringList kLogRows = {
    "23:59:58,001;T;setup(17F);00 81 00 00 08 02 81 FF 05 04 03 80 90 A3 18 01 83 70 04 81 31 32 33 6C 04 21 80 35 36",
    "23:59:58,001;R;call proceeding(17F);02 81 00 02 08 02 01 FF 02 18 01 89",
    "23:59:59,999;R;;Registered at the provider",
    "00:00:00,000;R;alerting(05);02 81 02 02 08 01 85 01",
    "00:00:01,500;R;facility(00);02 81 04 02 08 00 62",
    "00:00:02,250;R;TEI management(00);FE FF 03 0F 7C 5A 02 95",
    "00:00:02,250;T;(00);00 81 01 06",
    "00:00:03,000;T;disconnect(05);00 81 04 06 08 01 05 45 08 02 80 90",
};
constexpr int kFrameRows = 7;

class CaptureCommand : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }

    QString Path(const QString& name) const { return m_dir.filePath(name); }

    QString WriteLog(const QStringList& rows, const QString& name = QStringLiteral("trace.log"))
    {
        const QString path = Path(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("\xEF\xBB\xBF");
        for (const QString& row : rows)
            file.write(row.toUtf8() + "\r\n");
        file.close();
        // The log was last written at noon of its first day.
        const QDateTime noon(kLogDate, QTime(12, 0), QTimeZone::utc());
        utimbuf times = {noon.toSecsSinceEpoch(), noon.toSecsSinceEpoch()};
        EXPECT_EQ(::utime(QFile::encodeName(path).constData(), &times), 0);
        return path;
    }

    QString Export(const QString& log, bool pcapng)
    {
        const QString out = Path(pcapng ? QStringLiteral("out.pcapng") : QStringLiteral("out.pcap"));
        QStringList args = {"export", "--pcap", out};
        if (pcapng)
            args << "--pcapng";
        const TRun run = Cli(args << log);
        EXPECT_EQ(run.status, 0) << run.err.toStdString();
        return out;
    }

    QTemporaryDir m_dir;
};

// The capture time of a row of kLogRows: its time of day on the log's date,
// one day on after midnight.
uint64_t ExpectedTimeUs(const QString& time, int day)
{
    const QTime t = QTime::fromString(time, QStringLiteral("hh:mm:ss,zzz"));
    return uint64_t(QDateTime(kLogDate.addDays(day), t, QTimeZone::utc()).toMSecsSinceEpoch()) * 1000;
}

struct TExpectedPacket {
    uint64_t timeUs;
    bool sent;
    QString message;
    QString data;
};

std::vector<TExpectedPacket> ExpectedPackets()
{
    std::vector<TExpectedPacket> packets;
    int day = 0;
    for (const QString& row : kLogRows) {
        const QStringList f = row.split(u';');
        if (!f[3].startsWith(u'0') && !f[3].startsWith(u'F'))
            continue; // the driver's text row
        if (f[0].startsWith(QLatin1String("00:")))
            day = 1;
        packets.push_back({ExpectedTimeUs(f[0], day), f[1] == u"T", f[2], f[3]});
    }
    return packets;
}

TEST_F(CaptureCommand, ExportWritesEveryFrameWithItsTimeAndDirection)
{
    for (const bool pcapng : {false, true}) {
        const QString capture = Export(WriteLog(kLogRows), pcapng);
        TCaptureReader reader;
        ASSERT_TRUE(reader.Open(capture)) << reader.ErrorString().toStdString();
        TCapturePacket packet;
        for (const TExpectedPacket& expected : ExpectedPackets()) {
            ASSERT_EQ(reader.Next(packet), TCaptureReader::TStatus::Packet);
            EXPECT_EQ(packet.TimeUs, expected.timeUs) << expected.data.toStdString();
            EXPECT_EQ(packet.Sent, expected.sent) << expected.data.toStdString();
            EXPECT_EQ(packet.Frame, QByteArray::fromHex(expected.data.toLatin1()));
        }
        EXPECT_EQ(reader.Next(packet), TCaptureReader::TStatus::End);
    }
}

TEST_F(CaptureCommand, ExportCountsTheRowsLeftOut)
{
    const TRun run = Cli({"export", "--pcap", Path("x.pcap"), WriteLog(kLogRows)});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, QStringLiteral("vessik-cli export: 1 rows without a frame left out\n"));
}

TEST_F(CaptureCommand, LogFromStandardInputIsDatedToday)
{
    QFile log(WriteLog({"10:00:00,000;T;setup(05);02 FF 03 08 01 05 05"}));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QDate today = QDateTime::currentDateTimeUtc().date();
    const TRun run = Cli({"export", "--pcap", "-", "-"}, {}, log.readAll());
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    const QString capture = Path("stdin.pcap");
    QFile file(capture);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(run.out);
    file.close();
    TCaptureReader reader;
    ASSERT_TRUE(reader.Open(capture));
    TCapturePacket packet;
    ASSERT_EQ(reader.Next(packet), TCaptureReader::TStatus::Packet);
    const QDateTime time = QDateTime::fromMSecsSinceEpoch(qint64(packet.TimeUs / 1000), QTimeZone::utc());
    // Unless the test ran across midnight.
    EXPECT_TRUE(time.date() == today || time.date() == QDateTime::currentDateTimeUtc().date());
    EXPECT_EQ(time.time(), QTime(10, 0));
}

TEST_F(CaptureCommand, EmptyLogGivesAnEmptyCaptureThatImportsToAnEmptyLog)
{
    const QString capture = Export(WriteLog({}), false);
    const TRun run = Cli({"import", "--pcap", capture, Path("back.log")});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    QFile back(Path("back.log"));
    ASSERT_TRUE(back.open(QIODevice::ReadOnly));
    EXPECT_EQ(back.readAll(), QByteArray("\xEF\xBB\xBF"));
}

TEST_F(CaptureCommand, ImportGivesBackTheRowsThatHoldFrames)
{
    for (const bool pcapng : {false, true}) {
        const QString capture = Export(WriteLog(kLogRows), pcapng);
        const TRun run = Cli({"import", "--pcap", capture, "-"});
        EXPECT_EQ(run.status, 0) << run.err.toStdString();
        EXPECT_EQ(run.err, QStringLiteral("vessik-cli import: directions from the LINUX_LAPD header\n"));
        QStringList expected;
        for (const QString& row : kLogRows)
            if (!row.contains(QLatin1String("Registered")))
                expected << row;
        QStringList got = Lines(run.out); // the byte-order mark is gone in the text
        for (QString& line : got)
            line.chop(1); // CR
        EXPECT_EQ(got, expected);
        EXPECT_EQ(got.size(), kFrameRows);
    }
}

TEST_F(CaptureCommand, DamagedCaptureDecodesWhatItCanAndFails)
{
    QFile whole(Export(WriteLog(kLogRows), false));
    ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
    const QByteArray bytes = whole.readAll();
    const QString cut = Path("cut.pcap");
    QFile file(cut);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes.first(bytes.size() - 5));
    file.close();

    const TRun decode = Cli({"decode", "--pcap", cut});
    EXPECT_EQ(decode.status, 1);
    EXPECT_TRUE(decode.err.contains(QLatin1String("is damaged or cut short after 6 rows"))) << decode.err.toStdString();
    EXPECT_TRUE(Lines(decode.out).contains(QStringLiteral("  Message type: setup")));

    const TRun import = Cli({"import", "--pcap", cut, Path("cut.log")});
    EXPECT_EQ(import.status, 1);
    QFile log(Path("cut.log"));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_EQ(log.readAll().count("\r\n"), 6);
}

TEST_F(CaptureCommand, FilesThatAreNoCapturesAreRefused)
{
    const QString log = WriteLog(kLogRows);
    for (const QString& file : {log, Path("missing.pcap")}) {
        const TRun decode = Cli({"decode", "--pcap", file});
        EXPECT_EQ(decode.status, 1);
        EXPECT_TRUE(decode.err.startsWith(QLatin1String("vessik-cli decode: cannot read the capture file")));
        EXPECT_TRUE(decode.out.isEmpty());
        const TRun import = Cli({"import", "--pcap", file, Path("none.log")});
        EXPECT_EQ(import.status, 1);
        EXPECT_FALSE(QFileInfo::exists(Path("none.log")));
    }
}

struct TBadArguments {
    const char* name;
    QStringList args;
};

void PrintTo(const TBadArguments& arguments, std::ostream* out)
{
    *out << arguments.name;
}

class CaptureArguments : public testing::TestWithParam<TBadArguments> {};

TEST_P(CaptureArguments, AreRefusedWithUsage)
{
    const TRun run = Cli(GetParam().args);
    EXPECT_EQ(run.status, 2);
    EXPECT_TRUE(run.err.contains(QLatin1String("Usage: vessik-cli"))) << run.err.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Table, CaptureArguments,
                         testing::Values(TBadArguments{"ExportWithoutOut", {"export", "a.log"}},
                                         TBadArguments{"ExportWithoutLog", {"export", "--pcap", "x.pcap"}},
                                         TBadArguments{"ExportTwoLogs", {"export", "--pcap", "x", "a", "b"}},
                                         TBadArguments{"ImportWithoutCapture", {"import", "a.log"}},
                                         TBadArguments{"ImportUnknownOption", {"import", "--pcap", "x", "--y", "a"}},
                                         TBadArguments{"DecodePcapAndLog", {"decode", "--pcap", "x", "--log", "y"}},
                                         TBadArguments{"DecodePcapAndFrames", {"decode", "--pcap", "x", "02"}},
                                         TBadArguments{"TracePcapWithoutFile", {"trace", "--pcap"}}),
                         [](const testing::TestParamInfo<TBadArguments>& item) { return std::string(item.param.name); });

// The live trace as a capture: the simulated controller plays a call.
constexpr char kScenario[] = R"(R 02 FF 03 08 01 05 05 04 03 80 90 A3 18 01 89
T 00 81 00 00 08 01 85 01 18 01 89
R 00 81 01 02
T 00 81 02 00 08 01 85 07
R 02 81 00 04 08 01 05 0F
)";

TEST_F(CaptureCommand, LiveTraceWritesEveryFrameAsItArrives)
{
    const QString scenario = Path("call.txt");
    QFile file(scenario);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(kScenario);
    file.close();
    const QStringList settings = {QStringLiteral("VESSIK_SIM_SCENARIO=") + scenario};
    const qint64 before = QDateTime::currentMSecsSinceEpoch();
    const TRun toFile = Cli({"trace", "--driver", VESSIK_SIM_LIBRARY, "--l2", "--count", "5", "--pcap",
                             Path("live.pcap")}, settings);
    ASSERT_EQ(toFile.status, 0) << toFile.err.toStdString();
    EXPECT_EQ(Lines(toFile.out).size(), 5); // the lines still go to the console
    const TRun toPipe = Cli({"trace", "--driver", VESSIK_SIM_LIBRARY, "--l2", "--count", "5", "--pcap", "-"},
                            settings);
    ASSERT_EQ(toPipe.status, 0) << toPipe.err.toStdString();
    const qint64 after = QDateTime::currentMSecsSinceEpoch();
    QFile piped(Path("piped.pcap"));
    ASSERT_TRUE(piped.open(QIODevice::WriteOnly));
    piped.write(toPipe.out);
    piped.close();

    const bool sent[] = {false, true, false, true, false};
    for (const QString& capture : {Path("live.pcap"), Path("piped.pcap")}) {
        TCaptureReader reader;
        ASSERT_TRUE(reader.Open(capture)) << reader.ErrorString().toStdString();
        EXPECT_EQ(reader.LinkType(), 177);
        TCapturePacket packet;
        const QStringList frames = QString::fromLatin1(kScenario).split(u'\n', Qt::SkipEmptyParts);
        for (qsizetype i = 0; i < frames.size(); ++i) {
            ASSERT_EQ(reader.Next(packet), TCaptureReader::TStatus::Packet) << i;
            EXPECT_EQ(packet.Sent, sent[i]);
            EXPECT_EQ(packet.Frame, QByteArray::fromHex(frames[i].mid(2).toLatin1()));
            EXPECT_GE(qint64(packet.TimeUs / 1000), before);
            EXPECT_LE(qint64(packet.TimeUs / 1000), after);
        }
        EXPECT_EQ(reader.Next(packet), TCaptureReader::TStatus::End);
    }
}

// --- a real packet analyser -------------------------------------------------

QString Analyser(const char* name)
{
    return QStandardPaths::findExecutable(QString::fromLatin1(name));
}

// tshark says on standard error that it runs as root, which it does here;
// anything else it says there is a complaint.
QString Complaints(const QString& err)
{
    QStringList lines = err.split(u'\n', Qt::SkipEmptyParts);
    lines.removeIf([](const QString& line) { return line.startsWith(QLatin1String("Running as user \"root\"")); });
    return lines.join(u'\n');
}

// One packet as tshark decodes it and as Vessik's own decode shows it.
struct TPacketView {
    bool sent = false;
    uint64_t timeUs = 0;
    int sapi = -1;
    int tei = -1;
    std::optional<uint32_t> callReference;
    QString messageType; // name
    QString called;
    QString calling;
    QString comment;
};

uint64_t EpochToUs(const QString& epoch)
{
    const QStringList parts = epoch.split(u'.');
    return parts[0].toULongLong() * 1000000 + parts.value(1).left(6).leftJustified(6, u'0').toULongLong();
}

std::vector<TPacketView> TsharkView(const QString& capture)
{
    const TRun run = RunProgram(Analyser("tshark"),
                         {"-r", capture, "-T", "fields", "-E", "separator=/t", "-E", "occurrence=f", "-e",
                          "frame.p2p_dir", "-e", "frame.time_epoch", "-e", "lapd.sapi", "-e", "lapd.tei", "-e",
                          "q931.call_ref", "-e", "q931.message_type", "-e", "q931.called_party_number.digits", "-e",
                          "q931.calling_party_number.digits", "-e", "frame.comment"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(Complaints(run.err), QString());
    std::vector<TPacketView> packets;
    for (const QString& line : Lines(run.out)) {
        const QStringList f = line.split(u'\t');
        TPacketView p;
        p.sent = f.value(0) == u"0";
        p.timeUs = EpochToUs(f.value(1));
        p.sapi = f.value(2).toInt();
        p.tei = f.value(3).toInt();
        // The one field the two decoders show differently on purpose: tshark
        // takes the call reference's octets as they are, with only the flag
        // of the first masked; Vessik takes the low seven bits of every octet
        // (so the flag never shows) and gives a dummy call reference as 0.
        const QByteArray octets = QByteArray::fromHex(f.value(4).toLatin1());
        uint32_t value = 0;
        for (char octet : octets)
            value = value << 8 | (uint8_t(octet) & 0x7F);
        if (!f.value(5).isEmpty())
            p.callReference = value;
        if (!f.value(5).isEmpty())
            p.messageType = MessageTypeName(uint8_t(f.value(5).toUInt(nullptr, 16)));
        p.called = f.value(6);
        p.calling = f.value(7);
        p.comment = f.value(8);
        packets.push_back(p);
    }
    return packets;
}

// The digits of a number element: the line below its element node that
// holds only digits (the element's text result adds the prefixes). The
// element's first line is its octets in hex, which may look like digits.
QString Digits(const QStringList& block, const QString& element)
{
    const qsizetype at = block.indexOf(QStringLiteral("  IE: ") + element);
    if (at < 0)
        return {};
    for (qsizetype i = at + 2; i < block.size() && block[i].startsWith(QLatin1String("    ")); ++i) {
        const QString text = block[i].trimmed();
        const bool digits = std::all_of(text.begin(), text.end(),
                                        [](QChar c) { return c.isDigit() || c == u'*' || c == u'#'; });
        if (!text.isEmpty() && digits)
            return text;
    }
    return {};
}

int HexField(const QStringList& block, const QString& label)
{
    for (const QString& line : block)
        if (line.startsWith(QStringLiteral("  ") + label))
            return line.mid(label.size() + 2).toInt(nullptr, 16);
    return -1;
}

std::vector<TPacketView> VessikView(const QString& capture, const std::vector<TExpectedPacket>& log)
{
    const TRun run = Cli({"decode", "--pcap", capture});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    std::vector<TPacketView> packets;
    const QStringList blocks = QString::fromUtf8(run.out).split(QStringLiteral("\n\n"));
    for (const QString& text : blocks) {
        const QStringList block = text.split(u'\n', Qt::SkipEmptyParts);
        if (block.isEmpty())
            continue;
        TPacketView p;
        const QStringList row = block[0].split(u'\t');
        p.sent = row.value(1) == u"T";
        p.sapi = HexField(block, QStringLiteral("SAPI: 0x"));
        p.tei = HexField(block, QStringLiteral("TEI: 0x"));
        // TEI management has a message type of its own, which is not Q.931's.
        const qsizetype q931 = block.indexOf(QStringLiteral("Layer 3 (Q.931)"));
        for (const QString& line : block.mid(q931 < 0 ? block.size() : q931)) {
            if (line.startsWith(QLatin1String("  CRV: ")))
                p.callReference = line.mid(7).toUInt();
            if (line.startsWith(QLatin1String("  Message type: ")))
                p.messageType = line.mid(16);
        }
        p.called = Digits(block, QStringLiteral("called party number"));
        p.calling = Digits(block, QStringLiteral("calling party number"));
        // Time stamps and comments come from the log the capture was made of.
        if (packets.size() < log.size()) {
            p.timeUs = log[packets.size()].timeUs;
            p.comment = log[packets.size()].message;
        }
        packets.push_back(p);
    }
    return packets;
}

class AnalyserReadBack : public CaptureCommand, public testing::WithParamInterface<bool> {};

TEST_P(AnalyserReadBack, AgreesWithVessiksDecodeOfEveryPacket)
{
    if (Analyser("tshark").isEmpty())
        GTEST_SKIP() << "tshark is not installed";
    const bool pcapng = GetParam();
    const QString capture = Export(WriteLog(kLogRows), pcapng);
    const std::vector<TExpectedPacket> log = ExpectedPackets();
    const std::vector<TPacketView> tshark = TsharkView(capture);
    const std::vector<TPacketView> vessik = VessikView(capture, log);
    ASSERT_EQ(tshark.size(), size_t(kFrameRows));
    ASSERT_EQ(vessik.size(), size_t(kFrameRows));
    for (size_t i = 0; i < tshark.size(); ++i) {
        SCOPED_TRACE(log[i].data.toStdString());
        EXPECT_EQ(tshark[i].sent, log[i].sent);
        EXPECT_EQ(tshark[i].sent, vessik[i].sent);
        EXPECT_EQ(tshark[i].timeUs, vessik[i].timeUs);
        EXPECT_EQ(tshark[i].sapi, vessik[i].sapi);
        EXPECT_EQ(tshark[i].tei, vessik[i].tei);
        EXPECT_EQ(tshark[i].callReference, vessik[i].callReference);
        EXPECT_EQ(tshark[i].messageType, vessik[i].messageType);
        EXPECT_EQ(tshark[i].called, vessik[i].called);
        EXPECT_EQ(tshark[i].calling, vessik[i].calling);
        // Only pcapng carries comments.
        EXPECT_EQ(tshark[i].comment, pcapng ? vessik[i].comment : QString());
    }
    // The frames whose fields the comparison is about are there.
    EXPECT_EQ(vessik[0].callReference, 383u);
    EXPECT_EQ(vessik[0].called, QStringLiteral("123"));
    EXPECT_EQ(vessik[0].calling, QStringLiteral("56"));
    EXPECT_EQ(vessik[4].sapi, 63);
}

INSTANTIATE_TEST_SUITE_P(Formats, AnalyserReadBack, testing::Values(false, true),
                         [](const testing::TestParamInfo<bool>& item) { return item.param ? "Pcapng" : "Pcap"; });

// text2pcap writes known frames with the analyser's own writer: as LAPD
// (directions from the command/response bit) and as LINUX_LAPD (from the
// pseudo-header, which text2pcap always writes as "received").
struct TText2pcapCase {
    const char* name;
    QStringList options;
    bool allReceived;
    QString source;
};

// An outgoing call of a terminal (the user side).
const QStringList kKnownRows = {
    "10:15:02,114;T;setup(05);00 81 00 00 08 01 05 05 04 03 80 90 A3 18 01 83",
    "10:15:02,120;R;call proceeding(05);02 81 00 02 08 01 85 02 18 01 89",
    "10:15:02,130;T;(00);02 81 01 02",
    "10:15:03,000;R;connect(05);02 81 02 02 08 01 85 07",
    "10:15:03,010;T;connect acknowledge(05);00 81 02 04 08 01 05 0F",
};

void PrintTo(const TText2pcapCase& c, std::ostream* out)
{
    *out << c.name;
}

class Text2pcapImport : public CaptureCommand, public testing::WithParamInterface<TText2pcapCase> {};

TEST_P(Text2pcapImport, GivesBackTheRows)
{
    if (Analyser("text2pcap").isEmpty())
        GTEST_SKIP() << "text2pcap is not installed";
    const TText2pcapCase& c = GetParam();
    QByteArray dump;
    for (const QString& row : kKnownRows) {
        const QStringList f = row.split(u';');
        dump += QString(f[0]).replace(u',', u'.').toLatin1() + "\n";
        dump += "000000 " + f[3].toLatin1() + "\n";
    }
    const QString capture = Path(QStringLiteral("text2pcap.out"));
    const TRun write = RunProgram(Analyser("text2pcap"), QStringList{"-q", "-t", "%H:%M:%S.%f"} + c.options
                                                      + QStringList{"-", capture},
                           {}, dump);
    ASSERT_EQ(write.status, 0) << write.err.toStdString();
    const TRun run = Cli({"import", "--pcap", capture, "-"});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(run.err, QStringLiteral("vessik-cli import: ") + c.source + u'\n');
    QStringList got = Lines(run.out);
    for (QString& line : got)
        line.chop(1);
    QStringList expected = kKnownRows;
    if (c.allReceived)
        expected.replaceInStrings(QStringLiteral(";T;"), QStringLiteral(";R;"));
    EXPECT_EQ(got, expected);
}

INSTANTIATE_TEST_SUITE_P(
    LinkTypes, Text2pcapImport,
    testing::Values(TText2pcapCase{"LapdPcap", {"-l", "203", "-F", "pcap"}, false,
                                   "directions from the command/response bit, with the side that sent the first "
                                   "SETUP as this side (T)"},
                    TText2pcapCase{"LinuxLapdPcapng", {"-l", "177"}, true, "directions from the LINUX_LAPD header"}),
    [](const testing::TestParamInfo<TText2pcapCase>& item) { return std::string(item.param.name); });

} // namespace
