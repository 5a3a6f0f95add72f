#include "FacilityBer.h"
#include "FacilityTables.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <vector>

namespace {

// Octets in a heap buffer of exactly their size (reads past it show under ASan).
std::vector<uint8_t> Octets(const QByteArray& hex)
{
    const QByteArray bytes = QByteArray::fromHex(hex);
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

QByteArray Filler(int count) { return QByteArray(count * 3, ' ').replace("   ", "00 "); }

} // namespace

TEST(FacilityBer, ReadLength)
{
    const struct {
        QByteArray hex;
        uint32_t start;
        uint32_t length;
        uint32_t end; // position afterwards
    } cases[] = {
        {"05 " + Filler(5), 0, 5, 1},
        {"81 90 " + Filler(144), 0, 144, 2},
        {"82 01 00 " + Filler(256), 0, 256, 3},
        {"80 00 00", 0, 0, 1},                  // indefinite form
        {"05 01 02", 0, 0, 1},                  // runs past the region
        {"81 90 " + Filler(143), 0, 0, 2},      // one octet short
        {"84 FF FF FF FF 00", 0, 0, 5},         // huge
        {"85 01 00 00 00 02 00 00", 0, 2, 6},   // only the last four octets count
        {"84 00 00", 0, 0, 3},                  // truncated length octets
        {"FF 01 02", 0, 0, 3},
        {"", 0, 0, 0},
        {"02 01 03", 1, 1, 2},
        {"02 01", 2, 0, 2},
        {"02 01", 7, 0, 7},                     // a position past the end reads nothing
    };
    for (const auto& c : cases) {
        const std::vector<uint8_t> octets = Octets(c.hex);
        uint32_t position = c.start;
        EXPECT_EQ(ReadLength(octets.data(), uint32_t(octets.size()), position), c.length) << c.hex.left(30).data();
        EXPECT_EQ(position, c.end) << c.hex.left(30).data();
    }
}

TEST(FacilityBer, ReadInteger)
{
    const struct {
        const char* hex;
        uint32_t value;
        uint32_t end;
    } cases[] = {
        {"02 01 05", 5, 3},
        {"82 01 05", 5, 3},                    // class bits are ignored
        {"02 05 01 00 00 00 2A", 0x2A, 7},     // only the last four octets count
        {"02 04 FF FF FF FF", 0xFFFFFFFFu, 6}, // unsigned
        {"02 00 01", 0, 2},
        {"04 01 05", 0, 1},                    // no INTEGER: only the identifier is consumed
        {"02 05 01", 0, 2},                    // length beyond the region reads as 0
        {"02", 0, 1},
        {"", 0, 0},
    };
    for (const auto& c : cases) {
        const std::vector<uint8_t> octets = Octets(c.hex);
        uint32_t position = 0;
        EXPECT_EQ(ReadInteger(octets.data(), uint32_t(octets.size()), position), c.value) << c.hex;
        EXPECT_EQ(position, c.end) << c.hex;
    }
}

TEST(FacilityBer, ObjectIdentifierText)
{
    const struct {
        const char* hex;
        const char* text;
        uint32_t end;
    } cases[] = {
        {"06 06 04 00 82 67 01 05", "itu-t(0) identified-organisation(4) etsi(0) 359 1 5 ", 8},
        {"06 02 28 04", "iso(1) 0 4 ", 4},
        {"06 01 00", "itu-t(0) recommendation(0) ", 3},
        {"06 01 01", "itu-t(0) question(1) ", 3},
        {"06 01 03", "itu-t(0) network-operator(3) ", 3},
        {"06 01 27", "itu-t(0) 39 ", 3},
        {"06 01 4F", "iso(1) 39 ", 3},
        {"06 02 A0 05", "joint-iso-itu-t(2) 80 5 ", 4}, // the first octet is never a long arc
        {"06 03 04 01 00", "itu-t(0) identified-organisation(4) 1 0 ", 5},
        {"06 03 2B 00 00", "iso(1) 3 0 0 ", 5},   // etsi only after identified-organisation
        {"06 03 04 05 00", "itu-t(0) identified-organisation(4) 5 0 ", 5},
        {"06 04 28 8F FF 7F", "iso(1) 0 262143 ", 6},
        {"06 02 28 81", "iso(1) 0 ", 4},          // an unfinished arc adds nothing
        {"06 05 28", "", 2},                      // length beyond the region
        {"02 01 05", "", 1},
        {"", "", 0},
    };
    for (const auto& c : cases) {
        const std::vector<uint8_t> octets = Octets(c.hex);
        uint32_t position = 0;
        EXPECT_EQ(ObjectIdentifierText(octets.data(), uint32_t(octets.size()), position), c.text) << c.hex;
        EXPECT_EQ(position, c.end) << c.hex;
    }
}

TEST(FacilityBer, HexValueHasAtLeastFourDigits)
{
    EXPECT_EQ(FacilityHex(5), "0x0005");
    EXPECT_EQ(FacilityHex(0xABCD), "0xABCD");
    EXPECT_EQ(FacilityHex(0x12345), "0x12345");
    EXPECT_EQ(FacilityHex(0xFFFFFFFFu), "0xFFFFFFFF");
}

TEST(FacilityTables, OperationAndErrorNames)
{
    const struct {
        uint32_t value;
        const char* text;
    } operations[] = {
        {0, ""}, {1, " (UUs)"}, {22, " (explicitReservationCancel)"}, {23, ""},
        {24, " (MLPP lfb Query)"}, {27, ""}, {34, " (AOCDChargingUnit)"}, {36, " (AOCEChargingUnit)"},
        {38, ""}, {49, " (identifyConferee)"}, {50, ""}, {60, " (requestREV)"}, {61, ""},
        {0x10000022, ""}, // the whole value selects, not its low octets
    };
    for (const auto& c : operations)
        EXPECT_EQ(OperationName(c.value), c.text) << c.value;

    const struct {
        uint32_t value;
        const char* text;
    } errors[] = {
        {0, " (user not subscribed)"}, {3, " (not available)"}, {4, ""}, {22, ""},
        {28, " (illegal Ccnference ID)"}, {36, " (implicit reservation used)"}, {37, ""}, {42, ""},
        {44, " (uauthorized precedence level)"}, {47, " (UUSReqAsEssential)"}, {48, ""},
        {0x10001, " (rejected by network)"}, // only the low 16 bits select
    };
    for (const auto& c : errors)
        EXPECT_EQ(ErrorName(c.value), c.text) << c.value;
}
