#include "../TestNames.h"
#include "ElementTestSupport.h"
#include "FrameDecoder.h"

#include <gtest/gtest.h>

QStringList FrameLines(std::string_view hex)
{
    const std::vector<uint8_t> frame = Octets(hex);
    TMemoryTree tree;
    DecodeFrame(&tree, frame.data(), uint32_t(frame.size()));
    return tree.Lines();
}

namespace {

QString Summary(std::string_view hex, bool layer2)
{
    const std::vector<uint8_t> frame = Octets(hex);
    return FrameSummary(frame.empty() ? nullptr : frame.data(), uint32_t(frame.size()), layer2);
}

QStringList Layer2Lines(std::string_view hex, uint32_t* headerLength = nullptr)
{
    const std::vector<uint8_t> frame = Octets(hex);
    TMemoryTree tree;
    const uint32_t h = DecodeLayer2(&tree, frame.data(), uint32_t(frame.size()));
    if (headerLength)
        *headerLength = h;
    EXPECT_EQ(DecodeLayer2(nullptr, frame.data(), uint32_t(frame.size())), h);
    return tree.Lines();
}

// The last line of the layer-2 node: the frame type, if any.
struct TLayer2Case {
    const char* frame;
    uint32_t headerLength;
    const char* typeLine; // nullptr: no frame-type line
    const char* shortName;
};

class Layer2Test : public testing::TestWithParam<TLayer2Case> {};

TEST_P(Layer2Test, HeaderLengthTypeLineAndShortName)
{
    const TLayer2Case& c = GetParam();
    uint32_t h = 0;
    const QStringList lines = Layer2Lines(c.frame, &h);
    EXPECT_EQ(h, c.headerLength);
    ASSERT_GE(lines.size(), 5);
    EXPECT_EQ(lines.size(), c.typeLine ? 6 : 5);
    if (c.typeLine) {
        EXPECT_EQ(lines.last(), QString("  ") + c.typeLine);
    }
    const std::vector<uint8_t> frame = Octets(c.frame);
    EXPECT_EQ(FrameTypeName(frame.data(), uint32_t(frame.size())), c.shortName);
}

INSTANTIATE_TEST_SUITE_P(
    Frames, Layer2Test,
    testing::Values(TLayer2Case{"00 01 04 0A", 4, "I (information): N(S)=0x02, N(R)=0x05", "I"},
                    TLayer2Case{"00 01 01 00", 4, "RR (receive ready): N(R)=0x00", "RR"},
                    TLayer2Case{"00 01 05 01", 4, "RNR (receive not ready): N(R)=0x00", "RNR"},
                    TLayer2Case{"00 01 09 FF", 4, "REJ (reject): N(R)=0x7F", "REJ"},
                    TLayer2Case{"00 01 0D 01", 4, nullptr, ""},
                    TLayer2Case{"00 01 7F", 3, "SABME (set asynchronous balanced mode extended)", "SABME"},
                    TLayer2Case{"00 01 6F", 3, "SABME (set asynchronous balanced mode extended)", "SABME"},
                    TLayer2Case{"00 01 EF", 3, nullptr, ""},
                    TLayer2Case{"00 01 13 08", 3, "UI (unnumbered information)", "UI"},
                    TLayer2Case{"00 01 0F", 3, "DM (disconnect mode)", "DM"},
                    TLayer2Case{"00 01 53", 3, "DISC (disconnect)", "DISC"},
                    TLayer2Case{"00 01 73", 3, "UA (unnumbered ack)", "UA"},
                    TLayer2Case{"00 01 97", 3, "FRMR (frame reject)", "FRMR"},
                    TLayer2Case{"00 01 AF", 3, "XID (exchange id)", "XID"},
                    // three octets, control bit 0 set but not U format
                    TLayer2Case{"00 01 01", 3, nullptr, ""},
                    // an I frame cut after its control octet: no N(R), and a
                    // header length that stays inside the frame
                    TLayer2Case{"00 01 04", 3, "I (information): N(S)=0x02", "I"}),
                         [](const auto& testCase) { return CaseName(testCase.param.frame, testCase.index); });

TEST(Layer2, HeaderFieldsAndHexLine)
{
    EXPECT_EQ(Layer2Lines("02 FF 03 08 01"),
              QStringList({"Layer 2 (Q.921)", "  02 FF 03 ", "  Command/Response: 0x01", "  SAPI: 0x00",
                           "  TEI: 0x7F", "  UI (unnumbered information)"}));
}

TEST(Layer2, ShortFramesHaveOnlyTheLayer2Node)
{
    for (const char* hex : {"", "02", "02 FF"}) {
        uint32_t h = 99;
        EXPECT_EQ(Layer2Lines(hex, &h), QStringList({"Layer 2 (Q.921)"})) << hex;
        EXPECT_EQ(h, 0u);
        EXPECT_EQ(FrameLines(hex), QStringList({"Layer 2 (Q.921)"}));
    }
}

TEST(CallReference, ReadsLowSevenBitsOfEachOctetAndStopsAtTheEnd)
{
    struct {
        const char* octets;
        uint32_t value;
        uint32_t end;
    } const cases[] = {
        {"01 05", 5, 2},
        {"02 01 02", 258, 3},
        {"01 82", 2, 2},       // flag bit dropped
        {"00 05", 0, 1},       // dummy call reference
        {"03 01", 1, 2},       // ends inside the call reference
        {"FF 01 02 03", 0x10203, 4}, // the whole octet is the count
    };
    for (const auto& c : cases) {
        const std::vector<uint8_t> o = Octets(c.octets);
        uint32_t p = 0;
        EXPECT_EQ(CallReference(o.data(), uint32_t(o.size()), p), c.value) << c.octets;
        EXPECT_EQ(p, c.end) << c.octets;
    }
    const uint8_t one = 1;
    uint32_t p = 1;
    EXPECT_EQ(CallReference(&one, 1, p), 0u);
    EXPECT_EQ(p, 1u);
}

TEST(Names, MessageTypesIgnoreBit8)
{
    EXPECT_EQ(MessageTypeName(0x05), "setup");
    EXPECT_EQ(MessageTypeName(0x85), "setup");
    EXPECT_EQ(MessageTypeName(0x96), "unknown");
    EXPECT_EQ(MessageTypeName(0x00), "unknown");
    EXPECT_EQ(MessageTypeName(0x5A), "release complete");
    EXPECT_EQ(MessageTypeName(0x7D), "status");
    EXPECT_EQ(MessageTypeName(0x7B), "information");
}

TEST(Names, InformationElements)
{
    EXPECT_EQ(InformationElementName(0x04), "bearer capability");
    EXPECT_EQ(InformationElementName(0x0C), "called party number");
    EXPECT_EQ(InformationElementName(0x70), "called party number");
    EXPECT_EQ(InformationElementName(0x1C), "facility data");
    for (int id = 0x90; id <= 0x9F; ++id)
        EXPECT_EQ(InformationElementName(uint8_t(id)), "shift");
    EXPECT_EQ(InformationElementName(0xA0), "more data");
    EXPECT_EQ(InformationElementName(0xA1), "sending complete");
    EXPECT_EQ(InformationElementName(0x05), "unknown");
    EXPECT_EQ(InformationElementName(0xFF), "unknown");
}

TEST(FrameSummary, WithAndWithoutLayer2)
{
    struct {
        const char* frame;
        const char* plain;
        const char* layer2;
    } const cases[] = {
        {"00 81 00 00 08 01 05 05", "setup(05)", "I(40), setup(05)"},
        {"02 FF 03 08 01 05 05 04 03 80 90 A3 18 01 89", "setup(05)", "UI(7F), setup(05)"},
        {"FE FF 03 0F 7C 5A 01 FF", "TEI management(00)", "UI(7F), TEI management(7F)"},
        {"00 81 01 02", "(00)", "RR(40)"},
        {"00 81 00 00 08 02 01 02 45", "disconnect(102)", "I(40), disconnect(102)"},
        {"00 81 00 00 08 01 8A 4D", "release(0A)", "I(40), release(0A)"},
        {"00 81 00 00 08 03 01", "unknown(01)", "I(40), unknown(01)"}, // ends in the call reference
        {"00 81 00 00 08", "unknown(00)", "I(40), unknown(00)"},
        {"00 81 00 00 41 01 05", "(00)", "I(40)"}, // unknown protocol
        {"00 81 00 00", "(00)", "I(40)"},          // no layer 3
        {"00 03", "(00)", "(01)"},
        {"00", "(00)", "(00)"},
        {"", "(00)", "(00)"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Summary(c.frame, false), c.plain) << c.frame;
        EXPECT_EQ(Summary(c.frame, true), c.layer2) << c.frame;
    }
}

TEST(DecodeFrame, SetupExampleTree)
{
    const std::vector<uint8_t> frame = Octets("02 FF 03 08 01 05 05 04 03 80 90 A3 18 01 89");
    TMemoryTree tree;
    tree.AddChild(kTopLevel, "left over from the previous frame");
    DecodeFrame(&tree, frame.data(), uint32_t(frame.size()));
    EXPECT_EQ(tree.Lines(),
              QStringList({"Layer 2 (Q.921)",
                           "  02 FF 03 ",
                           "  Command/Response: 0x01",
                           "  SAPI: 0x00",
                           "  TEI: 0x7F",
                           "  UI (unnumbered information)",
                           "Layer 3 (Q.931)",
                           "  08 01 05 05 04 03 80 90 A3 18 01 89 ",
                           "  Protocoldiscriminator: 0x08 (Q.931)",
                           "  Message type: setup",
                           "  CRV: 5",
                           "  IE: bearer capability",
                           "    80 90 A3 ",
                           "    coding standard: CCITT",
                           "    speech",
                           "    transfer mode: circuit",
                           "    information transfer rate: 64 kbit/s",
                           "    user information layer 1 protocol: recommendation G.711 A-law",
                           "  IE: channel",
                           "    89 ",
                           "    interface identifier present: interface implicitly identified",
                           "    interface type: basic interface",
                           "    exclusive; only the indicated channel is acceptable",
                           "    the channel identified is not the D-channel",
                           "    information channel selection: B1 channel"}));
    // Only the layer-3 node is expanded.
    EXPECT_FALSE(tree.At(tree.Find("Layer 2 (Q.921)")).expanded);
    EXPECT_TRUE(tree.At(tree.Find("Layer 3 (Q.931)")).expanded);
    EXPECT_FALSE(tree.At(tree.Find("IE: bearer capability")).expanded);
}

TEST(DecodeFrame, CallReferenceVariants)
{
    EXPECT_TRUE(FrameLines("00 81 00 00 08 02 01 02 05").contains("  CRV: 258"));
    EXPECT_TRUE(FrameLines("00 81 00 00 08 01 82 05").contains("  CRV: 2"));
    const QStringList dummy = FrameLines("00 81 00 00 08 00 62");
    EXPECT_TRUE(dummy.contains("  CRV: 0"));
    EXPECT_TRUE(dummy.contains("  Message type: facility"));
    const QStringList cut = FrameLines("00 81 00 00 08 03 01");
    EXPECT_TRUE(cut.contains("  CRV: 1"));
    EXPECT_TRUE(cut.contains("  Message type: unknown"));
}

TEST(DecodeFrame, SingleOctetElementsHaveNoChildrenAndChangeNothing)
{
    const QStringList lines = FrameLines("00 81 00 00 08 01 05 05 96 A1 08 02 80 90");
    const QStringList tail = lines.mid(lines.indexOf("  IE: shift"));
    EXPECT_EQ(tail, QStringList({"  IE: shift", "  IE: sending complete", "  IE: cause", "    80 90 ",
                                 "    coding standard: CCITT", "    location: user",
                                 "    16:Normal call clearing"}));
}

TEST(DecodeFrame, ElementsRunningPastTheFrameAreClipped)
{
    // Length 0xA1 with nothing after it: an unknown element with an empty hex line.
    EXPECT_EQ(FrameLines("00 81 00 00 08 01 05 05 05 A1").mid(11), QStringList({"  IE: unknown", "    "}));
    // An identifier as the last octet: its node and an empty hex line.
    EXPECT_EQ(FrameLines("00 81 00 00 08 01 05 05 70").mid(11),
              QStringList({"  IE: called party number", "    "}));
    // A length beyond the end: the contents present.
    EXPECT_EQ(FrameLines("00 81 00 00 08 01 05 05 28 09 41 42").mid(11),
              QStringList({"  IE: display", "    41 42 ", "    AB"}));
}

TEST(DecodeFrame, UnknownElementsShowTheirOctets)
{
    EXPECT_EQ(FrameLines("00 81 00 00 08 01 05 05 7E 03 04 68 69").mid(11),
              QStringList({"  IE: user-user", "    04 68 69 "}));
}

TEST(DecodeFrame, UnknownProtocolAndMissingLayer3ShowOnlyLayer2)
{
    for (const char* hex : {"00 81 00 00 41 01 05 05", "00 81 00 00", "00 81 01 02", "00 81 7F"}) {
        const QStringList lines = FrameLines(hex);
        EXPECT_EQ(lines.first(), "Layer 2 (Q.921)") << hex;
        for (const QString& line : lines)
            EXPECT_TRUE(line.startsWith("  ") || line == "Layer 2 (Q.921)") << hex;
    }
}

TEST(DecodeFrame, TeiManagement)
{
    const QStringList lines = FrameLines("FE FF 03 0F 7C 5A 01 FF");
    EXPECT_EQ(lines.mid(6), QStringList({"TEI Management", "  0F 7C 5A 01 FF ", "  TEI Management: 0x0F",
                                         "  Reference number: 0x7C5A", "  Message type: 0x01",
                                         "  Action indicator: 0x7F"}));
    // A cut message shows only the fields it holds.
    EXPECT_EQ(FrameLines("FE FF 03 0F 7C 5A").mid(6),
              QStringList({"TEI Management", "  0F 7C 5A ", "  TEI Management: 0x0F", "  Reference number: 0x7C5A"}));
    EXPECT_EQ(FrameLines("FE FF 03 0F 7C").mid(6),
              QStringList({"TEI Management", "  0F 7C ", "  TEI Management: 0x0F"}));
}

TEST(DecodeFrame, LongFramesAreNotLimitedTo255Octets)
{
    std::vector<uint8_t> frame = Octets("00 81 00 00 08 01 05 7B");
    for (int i = 0; i < 100; ++i) {
        const std::vector<uint8_t> keypad = Octets("2C 02 31 32");
        frame.insert(frame.end(), keypad.begin(), keypad.end());
    }
    TMemoryTree tree;
    DecodeFrame(&tree, frame.data(), uint32_t(frame.size()));
    EXPECT_EQ(tree.Lines().count("  IE: keypad facility"), 100);
    EXPECT_EQ(tree.Lines().last(), "    12");
}

TEST(DecodeFrame, EveryTruncationOfARealFrameDecodes)
{
    // Each prefix of a frame is a frame of its own; none may read past its end.
    const std::vector<uint8_t> full = Octets("00 81 00 00 08 01 05 05 A1 04 03 80 90 A3 18 01 89 6C 0B 21 83 30 33 "
                                             "30 31 32 33 34 35 36 70 04 A1 31 32 33 7C 03 91 90 A5 28 02 41 42");
    TMemoryTree tree;
    for (size_t n = 0; n <= full.size(); ++n) {
        std::vector<uint8_t> frame(full.begin(), full.begin() + long(n));
        frame.shrink_to_fit();
        DecodeFrame(&tree, frame.data(), uint32_t(n));
        EXPECT_FALSE(tree.Lines().isEmpty());
        FrameSummary(frame.data(), uint32_t(n), true);
    }
}

TEST(DecodeElement, DispatchesAndReturnsTheTextResult)
{
    struct {
        uint8_t id;
        const char* contents;
        const char* text;
    } const cases[] = {
        {0x08, "80 90", "16:Normal call clearing"},
        {0x14, "4A", "active"},
        {0x18, "8A", "B2"},
        {0x27, "F9", "remote hold"},
        {0x28, "48 69", "Hi"},
        {0x29, "0D 05 07", "07.05.13"},
        {0x2C, "31", ""},
        {0x4C, "A1 31", "01"},
        {0x4D, "A0 31", "1"},
        {0x6C, "91 31", "001"},
        {0x6D, "A0 32", "2"},
        {0x70, "A1 31", "1"},
        {0x71, "A0 33", "3"},
        {0x74, "A1 80 31", "01"},
        {0x76, "91 80 31", "001"},
        {0x7C, "91", "transfer capability: 7 kHz audio"},
        {0x7D, "91 81", "telephony"},
        {0x04, "80 90 A3", ""},
        {0x1E, "82 88", ""},
        {0x7E, "04 68 69", ""},
        {0xA1, "", ""},
    };
    for (const auto& c : cases) {
        const std::vector<uint8_t> o = Octets(c.contents);
        TMemoryTree tree;
        const TNodeId e = tree.AddChild(kTopLevel, "IE");
        EXPECT_EQ(DecodeElement(&tree, e, c.id, o.data(), uint32_t(o.size())), c.text) << int(c.id);
        EXPECT_EQ(DecodeElement(nullptr, kTopLevel, c.id, o.data(), uint32_t(o.size())), c.text) << int(c.id);
        ASSERT_FALSE(tree.Children(e).isEmpty()) << int(c.id);
        EXPECT_EQ(tree.Children(e).first(), QString(c.contents).isEmpty() ? "" : QString(c.contents) + " ")
            << int(c.id);
    }
}

} // namespace
