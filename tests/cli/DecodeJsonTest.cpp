// JSON Lines of `vessik-cli decode --json`: every line parsed by a real JSON
// parser and compared with the memory tree of the same frame, for frames of
// hostile octets; nodes added out of pre-order land where they belong.

#include "FrameDecoder.h"
#include "FrameWriter.h"
#include "MemoryTree.h"
#include "OutputTree.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringDecoder>

#include <gtest/gtest.h>

#include <random>

namespace {

bool IsValidUtf8(QByteArrayView bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder(bytes);
    return !decoder.hasError();
}

QJsonObject ParseLine(const TByteBuffer& out)
{
    const QByteArrayView line(out.Data(), qsizetype(out.Size()));
    EXPECT_TRUE(line.endsWith('\n'));
    EXPECT_EQ(line.count('\n'), 1); // one object, one line
    EXPECT_TRUE(IsValidUtf8(line));
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(line.toByteArray(), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString() << ": "
                                                     << line.toByteArray().toStdString();
    return document.object();
}

// The JSON tree holds the memory tree's nodes: texts, order and nesting.
void ExpectTree(const QJsonArray& array, const TMemoryTree& tree, int parent)
{
    std::vector<int> children;
    for (size_t i = 0; i < tree.Nodes().size(); ++i)
        if (tree.Nodes()[i].parent == parent)
            children.push_back(int(i));
    ASSERT_EQ(size_t(array.size()), children.size());
    for (size_t k = 0; k < children.size(); ++k) {
        const QJsonObject node = array[qsizetype(k)].toObject();
        EXPECT_EQ(node.keys(), QStringList({"children", "text"}));
        // What JSON cannot carry (a lone surrogate) comes back as U+FFFD.
        const QString expected = QString::fromUtf8(tree.Nodes()[size_t(children[k])].text.toUtf8());
        EXPECT_EQ(node.value("text").toString(), expected);
        ExpectTree(node.value("children").toArray(), tree, children[k]);
    }
}

std::vector<uint8_t> HostileFrame(std::mt19937& random)
{
    // Texts that JSON must escape or that are no UTF-8, in elements that
    // carry text, and octets of any value everywhere else.
    static const char* const kPieces[] = {"\"", "\\", "\n", "\r", "\t", "\b", "\f", "\x01", "\x1F", "\x7F",
                                          "\xC2\x85", "\xE2\x80\xA8", "\xF0\x9F\x93\x9E", "\xF0\x9F", "\xC0\xAF",
                                          "\xED\xA0\x80", "\xFF", "\x80", "/", "<"};
    static const uint8_t kTextElements[] = {0x28, 0x2C, 0x6C, 0x70, 0x4C, 0x74, 0x1C, 0x7E};
    std::vector<uint8_t> frame{0x02, 0xFF, 0x03, 0x08, 0x01, 0x05, 0x05};
    for (int e = int(random() % 4); e >= 0; --e) {
        std::string text = random() % 2 ? std::string("\x80") : std::string();
        for (int k = int(random() % 12); k > 0; --k)
            text += random() % 3 ? kPieces[random() % std::size(kPieces)] : std::string(1, char(random()));
        frame.push_back(kTextElements[random() % std::size(kTextElements)]);
        frame.push_back(uint8_t(std::min<size_t>(text.size(), 255)));
        frame.insert(frame.end(), text.begin(), text.begin() + std::min<ptrdiff_t>(ptrdiff_t(text.size()), 255));
    }
    if (random() % 4 == 0)
        for (uint8_t& octet : frame)
            if (random() % 8 == 0)
                octet = uint8_t(random());
    return frame;
}

TEST(DecodeJson, EveryLineParsesAndMatchesTheTree)
{
    std::mt19937 random(1209);
    TFrameWriter writer(TDecodeForm::Json, true);
    TMemoryTree tree;
    TByteBuffer out;
    for (int i = 0; i < 5000; ++i) {
        const std::vector<uint8_t> frame = HostileFrame(random);
        out.Clear();
        writer.Frame(out, frame.data(), uint32_t(frame.size()));
        const QJsonObject object = ParseLine(out);
        ASSERT_EQ(object.keys(), QStringList({"summary", "tree"}));
        EXPECT_EQ(object.value("summary").toString(), FrameSummary(frame.data(), uint32_t(frame.size()), true));
        DecodeFrame(&tree, frame.data(), uint32_t(frame.size()));
        ExpectTree(object.value("tree").toArray(), tree, -1);
        if (HasFailure())
            FAIL() << "frame " << i;
    }
}

TEST(DecodeJson, RowMembersAndLinesThatAreNoFrame)
{
    TFrameWriter writer(TDecodeForm::Json, false);
    TByteBuffer out;
    const QByteArray time = "10:15:02,114";
    const QByteArray message = "say \"hi\"\\\t\xE2\x80\xA8";
    const QByteArrayView row[] = {time, "R", message, "00 81 01 0A"};
    const uint8_t frame[] = {0x00, 0x81, 0x01, 0x0A};
    writer.Frame(out, frame, sizeof frame, row);
    const QJsonObject object = ParseLine(out);
    EXPECT_EQ(object.keys(), QStringList({"direction", "message", "summary", "time", "tree"}));
    EXPECT_EQ(object.value("time").toString(), "10:15:02,114");
    EXPECT_EQ(object.value("direction").toString(), "R");
    EXPECT_EQ(object.value("message").toString(), QString::fromUtf8(message));
    // A short row has empty members rather than missing ones.
    out.Clear();
    writer.Frame(out, frame, sizeof frame, std::span(row, 1));
    EXPECT_EQ(ParseLine(out).value("message").toString(), "");

    out.Clear();
    const QString input = QString::fromUtf8("08 0G \"\x01\"") + QChar(0xD800);
    writer.NotAFrame(out, input);
    const QJsonObject error = ParseLine(out);
    EXPECT_EQ(error.keys(), QStringList({"error", "input"}));
    EXPECT_EQ(error.value("error").toString(), "not a frame of hex digit pairs");
    EXPECT_EQ(error.value("input").toString(), QString::fromUtf8("08 0G \"\x01\"\xEF\xBF\xBD"));
}

// Decoders add a node's children before its next sibling, but a tree must
// also come out right when one does not.
TEST(DecodeJson, NodesAddedOutOfPreOrderComeOutInPlace)
{
    const auto fill = [](TDecodeTree& tree) {
        tree.Clear();
        const TNodeId a = tree.AddChild(kTopLevel, "a");
        const TNodeId a1 = tree.AddChild(a, "a1");
        const TNodeId b = tree.AddChild(kTopLevel, "b");
        tree.AddChild(a1, "a1x \"late\"");
        tree.AddChild(b, "b1");
        tree.AddChild(a, "a2");
        tree.AddChild(99, "unknown parent: top level");
    };
    TMemoryTree memory;
    fill(memory);
    for (const auto form : {TOutputTree::TForm::Lines, TOutputTree::TForm::Json}) {
        TOutputTree tree(form);
        TByteBuffer out;
        out.AppendLiteral("before ");
        tree.Begin(out);
        fill(tree);
        tree.End();
        const QByteArray text(out.Data(), qsizetype(out.Size()));
        ASSERT_TRUE(text.startsWith("before "));
        if (form == TOutputTree::TForm::Lines) {
            EXPECT_EQ(QString::fromUtf8(text.mid(7)), memory.Lines().join(u'\n') + u'\n');
        } else {
            QJsonParseError error;
            const QJsonDocument document = QJsonDocument::fromJson(text.mid(7), &error);
            ASSERT_EQ(error.error, QJsonParseError::NoError) << text.toStdString();
            ExpectTree(document.array(), memory, -1);
        }
    }
}

} // namespace
