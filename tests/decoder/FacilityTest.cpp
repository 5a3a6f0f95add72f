#include "Facility.h"
#include "FacilityCharging.h"
#include "FrameDecoder.h"
#include "MemoryTree.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <random>
#include <vector>

namespace {

// Octets in a heap buffer of exactly their size, so that a read past the end
// is caught by AddressSanitizer.
std::vector<uint8_t> Octets(const char* hex)
{
    const QByteArray bytes = QByteArray::fromHex(QByteArray(hex));
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

struct TDecoded {
    QStringList lines; // below the element node, indented by two blanks a level
    QString summary;
};

TDecoded Decode(const char* hex)
{
    const std::vector<uint8_t> octets = Octets(hex);
    TMemoryTree tree;
    const TNodeId element = tree.AddChild(kTopLevel, QStringLiteral("IE: facility data"));
    TDecoded result;
    result.summary = DecodeFacility(&tree, element, octets.data(), uint32_t(octets.size()));
    result.lines = tree.Lines().mid(1);
    for (QString& line : result.lines)
        line.remove(0, 2);
    const QString withoutTree = DecodeFacility(nullptr, kTopLevel, octets.data(), uint32_t(octets.size()));
    EXPECT_EQ(withoutTree, result.summary) << "the summary must not depend on the tree";
    return result;
}

} // namespace

TEST(Facility, AocDChargingUnitsExample)
{
    const TDecoded d = Decode("91 A1 13 02 01 05 02 01 22 30 0B A1 06 30 04 02 02 00 05 82 01 01");
    EXPECT_EQ(d.lines, QStringList({
                           "91 A1 13 02 01 05 02 01 22 30 0B A1 06 30 04 02 02 00 05 82 01 01 ",
                           "remote operations protocol (ROS)",
                           "  A1 13 02 01 05 02 01 22 30 0B A1 06 30 04 02 02 00 05 82 01 01 ",
                           "  invoke",
                           "    02 01 05 02 01 22 30 0B A1 06 30 04 02 02 00 05 82 01 01 ",
                           "    invokeIdentifier: 0x0005",
                           "    localValue: 0x0022 (AOCDChargingUnit)",
                           "    argument",
                           "      30 0B A1 06 30 04 02 02 00 05 82 01 01 ",
                           "      recordedUnitsList",
                           "        recordedNumberOfUnits: 5",
                           "        recordedTypeOfUnits: total",
                       }));
    EXPECT_EQ(d.summary, "5");
}

TEST(Facility, ReachedFromTheFrameDecoder)
{
    // A FACILITY message whose element carries the charging units example.
    const std::vector<uint8_t> frame = Octets("02 01 04 06 08 01 85 62 1C 16 91 A1 13 02 01 05 02 01 22 30 0B A1 06 "
                                              "30 04 02 02 00 05 82 01 01");
    TMemoryTree tree;
    DecodeFrame(&tree, frame.data(), uint32_t(frame.size()));
    const TNodeId element = tree.Find(QStringLiteral("IE: facility data"));
    ASSERT_GT(element, 0);
    EXPECT_EQ(tree.Children(element).value(1), "remote operations protocol (ROS)");
    EXPECT_GE(tree.Find(QStringLiteral("recordedNumberOfUnits: 5")), 0);

    const std::vector<uint8_t> contents(frame.begin() + 10, frame.end());
    EXPECT_EQ(DecodeElement(nullptr, kTopLevel, 0x1C, contents.data(), uint32_t(contents.size())), "5");
}

TEST(Facility, EmptyElementGivesOneEmptyHexLine)
{
    const TDecoded d = Decode("");
    EXPECT_EQ(d.lines, QStringList({""}));
    EXPECT_TRUE(d.summary.isEmpty());
    EXPECT_TRUE(DecodeFacility(nullptr, kTopLevel, nullptr, 5).isEmpty());
}

TEST(Facility, ProtocolProfiles)
{
    const struct {
        const char* hex;
        const char* profile;
    } cases[] = {
        {"92 A1 03 02 01 05", "CMIP protocol"},
        {"93", "ACSE protocol"},
        {"9F A1 03 02 01 05", "unknown"},
        {"00", "unknown"},
    };
    for (const auto& c : cases) {
        const TDecoded d = Decode(c.hex);
        ASSERT_EQ(d.lines.size(), 2) << c.hex;
        EXPECT_EQ(d.lines[1], c.profile) << c.hex;
    }
    // Only the low five bits count.
    EXPECT_EQ(Decode("11 A4 03 02 01 05").lines.mid(1),
              Decode("91 A4 03 02 01 05").lines.mid(1));
    EXPECT_EQ(Decode("11").lines, QStringList({"11 ", "remote operations protocol (ROS)", "  "}));
}

TEST(Facility, ComponentKinds)
{
    EXPECT_EQ(Decode("91 A5 03 02 01 05").lines,
              QStringList({"91 A5 03 02 01 05 ", "remote operations protocol (ROS)", "  A5 03 02 01 05 "}));
    EXPECT_EQ(Decode("91 A4 03 02 01 05").lines.mid(3),
              QStringList({"  reject", "    02 01 05 "}));
    // A length beyond the element gives the kind with an empty region.
    EXPECT_EQ(Decode("91 A1 20 02 01 05").lines.mid(3), QStringList({"  invoke", "    "}));
    // Only the first of two components is decoded.
    const TDecoded two = Decode("91 A1 06 02 01 01 02 01 1E A1 06 02 01 02 02 01 1F");
    EXPECT_EQ(two.lines.count(QStringLiteral("  invoke")), 1);
    EXPECT_EQ(two.lines[2], "  A1 06 02 01 01 02 01 1E A1 06 02 01 02 02 01 1F ");
    EXPECT_FALSE(two.lines.contains(QStringLiteral("    localValue: 0x001F (AOCSCurrency)")));
}

TEST(Facility, InvokeOperationValues)
{
    const struct {
        const char* hex;
        QStringList invoke; // lines below "invoke" after its hex line
    } cases[] = {
        {"91 A1 06 02 01 01 02 01 1E", {"invokeIdentifier: 0x0001", "localValue: 0x001E (chargingRequest)"}},
        {"91 A1 06 02 01 01 02 01 17", {"invokeIdentifier: 0x0001", "localValue: 0x0017"}},
        {"91 A1 09 02 01 03 80 01 07 02 01 0D",
         {"invokeIdentifier: 0x0003", "linkedIdentifier: 0x0007", "localValue: 0x000D (callDeflection)"}},
        {"91 A1 0C 02 02 12 34 06 06 04 00 82 67 01 05",
         {"invokeIdentifier: 0x1234", "globalValue: itu-t(0) identified-organisation(4) etsi(0) 359 1 5 "}},
        // No INTEGER where the invoke identifier belongs: it reads as 0.
        {"91 A1 03 04 01 05", {"invokeIdentifier: 0x0000", "argument", "  01 05 "}},
        // An unknown element where the operation belongs is shown as argument.
        {"91 A1 06 02 01 01 0A 01 05", {"invokeIdentifier: 0x0001", "argument", "  0A 01 05 "}},
    };
    for (const auto& c : cases) {
        const TDecoded d = Decode(c.hex);
        ASSERT_GE(d.lines.size(), 5) << c.hex;
        QStringList invoke = d.lines.mid(5);
        for (QString& line : invoke)
            line.remove(0, 4);
        EXPECT_EQ(invoke, c.invoke) << c.hex;
        EXPECT_TRUE(d.summary.isEmpty()) << c.hex;
    }
}

TEST(Facility, GlobalOperationIsNeverTakenForChargingUnits)
{
    // Invoke identifier 34 must not be mistaken for the operation value.
    const TDecoded d = Decode("91 A1 0B 02 01 22 06 02 28 04 81 00 A1 00");
    EXPECT_EQ(d.lines.mid(5), QStringList({
                                  "    invokeIdentifier: 0x0022",
                                  "    globalValue: iso(1) 0 4 ",
                                  "    argument",
                                  "      81 00 A1 00 ",
                              }));
    EXPECT_TRUE(d.summary.isEmpty());
}

TEST(Facility, ChargingUnitArguments)
{
    const struct {
        const char* hex; // an invoke of operation 34 (AOC-D) or 36 (AOC-E)
        QStringList argument;
        const char* summary;
    } cases[] = {
        {"91 A1 08 02 01 01 02 01 22 81 00", {"81 00 ", "freeOfCharge"}, "0"},
        {"91 A1 0A 02 01 01 02 01 24 30 02 81 00", {"30 02 81 00 ", "freeOfCharge"}, "0"},
        {"91 A1 0E 02 01 01 02 01 22 30 06 A1 04 30 02 05 00",
         {"30 06 A1 04 30 02 05 00 ", "recordedUnitsList"}, ""},
        {"91 A1 14 02 01 01 02 01 24 30 0C 30 0A A1 08 30 06 02 01 07 02 01 01",
         {"30 0C 30 0A A1 08 30 06 02 01 07 02 01 01 ", "recordedUnitsList", "  recordedNumberOfUnits: 7"}, "7"},
        // subTotal, and a units value read unsigned.
        {"91 A1 13 02 01 01 02 01 22 30 0B A1 09 30 07 02 02 FF FF 02 01 00",
         {"30 0B A1 09 30 07 02 02 FF FF 02 01 00 ", "recordedUnitsList", "  recordedNumberOfUnits: 65535",
          "  recordedTypeOfUnits: subTotal"},
         "65535"},
        // A type of units other than 0 or 1 adds nothing.
        {"91 A1 13 02 01 01 02 01 22 30 08 A1 06 30 04 02 02 00 05 02 01 02",
         {"30 08 A1 06 30 04 02 02 00 05 02 01 02 ", "recordedUnitsList", "  recordedNumberOfUnits: 5"}, "5"},
        // Wrong choice tags and empty sequences end quietly.
        {"91 A1 0A 02 01 01 02 01 22 30 02 A2 00", {"30 02 A2 00 "}, ""},
        {"91 A1 08 02 01 01 02 01 22 30 00", {"30 00 "}, ""},
        {"91 A1 0A 02 01 01 02 01 24 31 02 30 00", {"31 02 30 00 "}, ""},
        {"91 A1 0A 02 01 01 02 01 22 30 02 A1 00", {"30 02 A1 00 ", "recordedUnitsList"}, ""},
    };
    for (const auto& c : cases) {
        const TDecoded d = Decode(c.hex);
        const qsizetype at = d.lines.indexOf(QStringLiteral("    argument"));
        ASSERT_GE(at, 0) << c.hex;
        QStringList argument = d.lines.mid(at + 1);
        for (QString& line : argument)
            line.remove(0, 6);
        EXPECT_EQ(argument, c.argument) << c.hex;
        EXPECT_EQ(d.summary, c.summary) << c.hex;
    }
}

TEST(Facility, ReturnResultErrorAndReject)
{
    const struct {
        const char* hex;
        QStringList lines; // from the kind node on
    } cases[] = {
        {"91 A2 0D 02 01 05 30 08 02 01 11 30 03 80 01 01",
         {"returnResult", "  02 01 05 30 08 02 01 11 30 03 80 01 01 ", "  invokeId: 0x0005",
          "  localValue: 0x0011 (interrogationDiversion1)", "  result", "    30 03 80 01 01 "}},
        {"91 A2 03 02 01 05", {"returnResult", "  02 01 05 ", "  invokeId: 0x0005"}},
        {"91 A2 05 02 01 05 30 00", {"returnResult", "  02 01 05 30 00 ", "  invokeId: 0x0005"}},
        {"91 A2 0A 02 01 05 30 05 06 03 2B 0C 02",
         {"returnResult", "  02 01 05 30 05 06 03 2B 0C 02 ", "  invokeId: 0x0005", "  globalValue: iso(1) 3 12 2 "}},
        {"91 A3 06 02 01 05 02 01 00",
         {"returnError", "  02 01 05 02 01 00 ", "  invokeId: 0x0005", "  localValue: 0x0000 (user not subscribed)"}},
        {"91 A3 08 02 01 05 02 01 04 04 00",
         {"returnError", "  02 01 05 02 01 04 04 00 ", "  invokeId: 0x0005", "  localValue: 0x0004", "  parameter",
          "    04 00 "}},
        {"91 A4 05 02 01 05 81 01", {"reject", "  02 01 05 81 01 "}},
    };
    for (const auto& c : cases) {
        const TDecoded d = Decode(c.hex);
        QStringList lines = d.lines.mid(3);
        for (QString& line : lines)
            line.remove(0, 2);
        EXPECT_EQ(lines, c.lines) << c.hex;
        EXPECT_TRUE(d.summary.isEmpty()) << c.hex;
    }
}

TEST(Facility, ChargingDecodersWithoutTreeStillSummarise)
{
    const std::vector<uint8_t> aocD = Octets("30 0B A1 06 30 04 02 02 00 05 82 01 01");
    EXPECT_EQ(DecodeAocDUnits(nullptr, kTopLevel, aocD.data(), uint32_t(aocD.size())), "5");
    const std::vector<uint8_t> aocE = Octets("30 02 81 00");
    EXPECT_EQ(DecodeAocEUnits(nullptr, kTopLevel, aocE.data(), uint32_t(aocE.size())), "0");
}

TEST(Facility, MalformedElementsNeverReadOutsideTheirOctets)
{
    // Huge and truncated long-form lengths, nesting, and random octets, each
    // in a buffer of exactly its size; the element's hex line always comes first.
    const char* crafted[] = {
        "91 A1 84 FF FF FF FF 02 01 05",
        "91 A1 FF 01",
        "91 A1 85 00 00 00 00 05 02 01 05 02 01 22 30 FF",
        "91 A1 0A 02 84 FF FF FF FF 80 84 7F FF FF FF",
        "91 A1 08 02 01 05 02 01 22 30 89",
        "91 A1 07 02 01 05 02 01 22 30",
        "91 A1 0C 02 01 01 02 01 24 30 84 00 00 00 03 30",
        "91 A1 0A 02 01 01 06 85 00 00 00 00 02 FF",
        "91 A1 09 02 01 01 06 04 28 FF FF FF",
        "91 A1 A1 A1 A1 A1 A1 A1 A1 A1 A1 A1 A1 A1 A1 A1",
        "91 A1 02 02",
        "91 A1",
        "91",
    };
    for (const char* hex : crafted) {
        const TDecoded d = Decode(hex);
        ASSERT_FALSE(d.lines.isEmpty()) << hex;
    }
    std::mt19937 random(1234);
    for (int round = 0; round < 20000; ++round) {
        std::vector<uint8_t> octets(random() % 40);
        for (uint8_t& octet : octets) {
            // Mostly plausible BER so that the decoders get deep into the element.
            static constexpr uint8_t kLikely[] = {0x91, 0xA1, 0xA2, 0xA3, 0x02, 0x06, 0x30, 0x80, 0x81,
                                                  0x82, 0x84, 0x00, 0x01, 0x22, 0x24, 0xFF};
            octet = random() % 2 ? kLikely[random() % sizeof kLikely] : uint8_t(random());
        }
        if (!octets.empty() && random() % 2)
            octets[0] = 0x91;
        TMemoryTree tree;
        const QString withTree = DecodeFacility(&tree, kTopLevel, octets.data(), uint32_t(octets.size()));
        ASSERT_FALSE(tree.Nodes().empty());
        ASSERT_EQ(tree.Nodes().front().text.size(), qsizetype(octets.size()) * 3);
        ASSERT_EQ(DecodeFacility(nullptr, kTopLevel, octets.data(), uint32_t(octets.size())), withTree);
    }
}
