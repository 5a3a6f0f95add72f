// The batch writer against the per-line writer it replaced (kept here only)
// and the text the window copies: the same bytes for every frame of the fuzz
// corpora and of a seeded random set, with and without the layer-2 summary,
// and for trace rows whose columns hold tabs, line breaks and non-ASCII text.

#include "FrameDecoder.h"
#include "FrameText.h"
#include "FrameWriter.h"
#include "LogRows.h"
#include "MemoryTree.h"
#include "OneLine.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTextStream>

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

using TFrame = std::vector<uint8_t>;

// The writer as it was: a text stream, a memory tree and a string per line.
class TPerLinePrinter {
public:
    TPerLinePrinter(QTextStream& out, bool layer2) : m_out(out), m_layer2(layer2) {}

    void Print(const QByteArray& octets, const QString& heading = QString())
    {
        const auto* frame = reinterpret_cast<const uint8_t*>(octets.constData());
        const auto length = uint32_t(octets.size());
        if (m_printed++ > 0)
            m_out << '\n';
        if (!heading.isNull())
            m_out << heading << '\n';
        m_out << OneLine(FrameSummary(frame, length, m_layer2)) << '\n';
        DecodeFrame(&m_tree, frame, length);
        for (const QString& line : m_tree.Lines())
            m_out << OneLine(line) << '\n';
    }

private:
    QTextStream& m_out;
    bool m_layer2;
    TMemoryTree m_tree;
    int m_printed = 0;
};

QString RowLine(const QStringList& texts)
{
    QStringList fields;
    for (const QString& text : texts)
        fields << OneLine(text).replace(QLatin1Char('\t'), QChar(QChar::ReplacementCharacter));
    return fields.join(QLatin1Char('\t'));
}

QByteArray OldOutput(const std::vector<TFrame>& frames, bool layer2, const TLogRows* rows = nullptr)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QTextStream out(&buffer);
    TPerLinePrinter printer(out, layer2);
    for (size_t i = 0; i < frames.size(); ++i) {
        const QByteArray octets(reinterpret_cast<const char*>(frames[i].data()), qsizetype(frames[i].size()));
        printer.Print(octets, rows ? RowLine(rows->Texts(qsizetype(i))) : QString());
    }
    out.flush();
    return bytes;
}

QByteArray NewOutput(const std::vector<TFrame>& frames, bool layer2, const TLogRows* rows = nullptr)
{
    TFrameWriter writer(TDecodeForm::Tree, layer2);
    TByteBuffer out;
    std::vector<QByteArrayView> columns;
    for (size_t i = 0; i < frames.size(); ++i) {
        columns.clear();
        if (rows)
            for (int c = 0; c < rows->FieldCount(qsizetype(i)); ++c)
                columns.push_back(rows->Field(qsizetype(i), c));
        writer.Frame(out, frames[i].data(), uint32_t(frames[i].size()), columns);
    }
    // Every frame begins with its separating empty line; the first has none.
    return out.Size() == 0 ? QByteArray() : QByteArray(out.Data() + 1, qsizetype(out.Size() - 1));
}

// The window's copy of each frame, joined as the command prints frames.
QByteArray WindowText(const std::vector<TFrame>& frames, bool layer2)
{
    TMemoryTree tree;
    QStringList blocks;
    for (const TFrame& frame : frames)
        blocks << FrameTextLines(frame.data(), uint32_t(frame.size()), layer2, tree).join(u'\n') + u'\n';
    return blocks.join(u'\n').toUtf8();
}

// On a difference, the frame where it starts, so a failure is readable.
void ExpectSameOutput(const std::vector<TFrame>& frames, bool layer2, const TLogRows* rows = nullptr)
{
    const QByteArray expected = OldOutput(frames, layer2, rows);
    const QByteArray actual = NewOutput(frames, layer2, rows);
    if (!rows) {
        EXPECT_TRUE(WindowText(frames, layer2) == expected);
    }
    if (expected == actual)
        return;
    for (size_t i = 0; i < frames.size(); ++i) {
        const std::vector<TFrame> one{frames[i]};
        TLogRows row;
        if (rows)
            row.AppendTexts(rows->Texts(qsizetype(i)), 4);
        const QByteArray e = OldOutput(one, layer2, rows ? &row : nullptr);
        const QByteArray a = NewOutput(one, layer2, rows ? &row : nullptr);
        ASSERT_EQ(a.toStdString(), e.toStdString())
            << "frame " << i << ": " << QByteArray(reinterpret_cast<const char*>(frames[i].data()),
                                                      qsizetype(frames[i].size())).toHex(' ').toStdString();
    }
    FAIL() << "outputs differ, but no single frame does";
}

TFrame Bytes(const QByteArray& bytes)
{
    return TFrame(bytes.begin(), bytes.end());
}

// A SETUP head for element contents, so that element and facility inputs
// reach their decoders inside a frame.
TFrame InSetup(uint8_t identifier, const QByteArray& contents)
{
    QByteArray frame = QByteArray::fromHex("02 FF 03 08 01 05 05");
    frame.append(char(identifier));
    frame.append(char(std::min<qsizetype>(contents.size(), 255)));
    return Bytes(frame + contents);
}

std::vector<TFrame> CorpusFrames()
{
    std::vector<TFrame> frames;
    const QDir corpus(QStringLiteral(VESSIK_FUZZ_CORPUS));
    for (const QString& target : corpus.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QDir dir(corpus.filePath(target));
        for (const QString& name : dir.entryList(QDir::Files, QDir::Name)) {
            QFile file(dir.filePath(name));
            if (!file.open(QIODevice::ReadOnly))
                continue;
            const QByteArray bytes = file.readAll();
            frames.push_back(Bytes(bytes));
            if (target == QLatin1String("element") && !bytes.isEmpty())
                frames.push_back(InSetup(uint8_t(bytes[0]) & 0x7F, bytes.mid(1)));
            if (target == QLatin1String("facility"))
                frames.push_back(InSetup(0x1C, bytes));
        }
    }
    return frames;
}

// Frames of a basic-rate trace, the seeds of the random set.
const char* const kMix[] = {
    "02 FF 03 08 01 05 05 A1 04 03 80 90 A3 18 01 83 6C 0B 21 83 33 30 31 32 33 34 35 36 37 "
    "70 08 A1 30 33 30 39 38 37 36 7D 02 91 81",
    "02 FF 03 08 01 06 05 04 03 80 90 A3 18 01 89 6C 06 01 80 35 35 35 31 70 04 C1 31 32 33 "
    "28 05 41 6E 6E 61 20 29 05 18 03 0E 0A 1E",
    "00 81 01 0A",
    "02 81 02 04 08 01 85 01 1E 02 82 88",
    "02 81 04 08 08 01 85 07 29 05 18 03 0E 0A 1F 4C 05 01 80 31 32 33",
    "02 81 06 0A 08 01 85 62 1C 16 91 A1 13 02 01 05 02 01 22 30 0B A1 06 30 04 02 02 00 05 82 01 01",
    "00 81 0A 0A 08 01 05 45 08 02 80 90",
    "FE FF 03 0F 7C 5A 01 FF",
};

// Seeded: mutated mix frames (octets changed, cut, lengthened) and frames
// of random octets, many with a display element of random text.
std::vector<TFrame> RandomFrames(size_t count)
{
    std::mt19937 random(20261209);
    const auto below = [&](uint32_t n) { return uint32_t(random() % n); };
    std::vector<TFrame> frames;
    for (size_t i = 0; i < count; ++i) {
        TFrame frame;
        switch (below(3)) {
        case 0: {
            frame = Bytes(QByteArray::fromHex(kMix[below(std::size(kMix))]));
            for (uint32_t k = below(4); k > 0; --k)
                frame[below(uint32_t(frame.size()))] = uint8_t(random());
            if (below(4) == 0)
                frame.resize(below(uint32_t(frame.size()) + 1));
            break;
        }
        case 1: {
            // Line breaks, tabs, quotes, UTF-8 (valid and cut) and other octets.
            static const char* const kPieces[] = {"\n", "\r", "\t", "\v", "\"", "\\", "\xC2\x85", "\xE2\x80\xA8",
                                                  "\xE2\x80\xA9", "\xF0\x9F\x93\x9E", "\xF0\x9F", "\xC3\xB6", "\x85",
                                                  "\xE4", "A", "\x01"};
            QByteArray text;
            for (uint32_t k = below(20); k > 0; --k)
                text.append(below(2) ? QByteArray(1, char(random())) : QByteArray(kPieces[below(std::size(kPieces))]));
            frame = InSetup(0x28, text);
            break;
        }
        default:
            frame.resize(below(80));
            for (uint8_t& octet : frame)
                octet = uint8_t(random());
            if (frame.size() > 4 && below(2) == 0)
                frame[3] = 0x08; // mostly Q.931 beyond the header
        }
        frames.push_back(std::move(frame));
    }
    return frames;
}

class DecodeOutputGolden : public testing::TestWithParam<bool> {};

TEST_P(DecodeOutputGolden, FuzzCorporaGiveTheSameText)
{
    const std::vector<TFrame> frames = CorpusFrames();
    ASSERT_GT(frames.size(), 200u);
    ExpectSameOutput(frames, GetParam());
}

TEST_P(DecodeOutputGolden, SeededRandomFramesGiveTheSameText)
{
    ExpectSameOutput(RandomFrames(20000), GetParam());
}

TEST_P(DecodeOutputGolden, TraceRowsGiveTheSameHeadings)
{
    std::mt19937 random(7);
    const QStringList pieces = {"10:15:02,114", "R", "T", "setup(05)", "a\tb", "line\nbreak", "cr\r",
                                QString::fromUtf8("Bj\xC3\xB6rn \xE2\x80\xA8 \xF0\x9F\x93\x9E"), "", " x ",
                                QString(QChar(0x85)), "02 FF 03 08 01 05 05 18 01 89 "};
    TLogRows rows;
    std::vector<TFrame> frames = RandomFrames(500);
    for (size_t i = 0; i < frames.size(); ++i) {
        QStringList texts;
        for (int c = 0, n = int(random() % 5); c < n; ++c)
            texts << pieces[qsizetype(random() % pieces.size())] + pieces[qsizetype(random() % pieces.size())];
        if (texts.isEmpty())
            texts << QString();
        ASSERT_TRUE(rows.AppendTexts(texts, 4));
    }
    ExpectSameOutput(frames, GetParam(), &rows);
}

INSTANTIATE_TEST_SUITE_P(Summary, DecodeOutputGolden, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& param) {
                             return param.param ? std::string("WithLayer2") : std::string("WithoutLayer2");
                         });

} // namespace
