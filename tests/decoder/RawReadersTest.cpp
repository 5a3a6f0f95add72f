#include "Prefixes.h"
#include "RawReaders.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <memory>
#include <random>
#include <vector>

namespace {

// Octets in a heap buffer of exactly their size (reads past it show under ASan).
std::vector<uint8_t> Octets(const char* hex)
{
    const QByteArray bytes = QByteArray::fromHex(QByteArray(hex));
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

TFacilityWindow Window(const std::vector<uint8_t>& octets)
{
    return TFacilityWindow(octets.data(), uint32_t(octets.size()));
}

// Restores the decoder-wide prefixes a test changes.
struct TPrefixGuard {
    QString national = NationalPrefix();
    QString international = InternationalPrefix();
    ~TPrefixGuard()
    {
        SetNationalPrefix(national);
        SetInternationalPrefix(international);
    }
};

} // namespace

TEST(RawReaders, WindowHoldsTheElementAndZerosBeyond)
{
    const std::vector<uint8_t> octets = Octets("91 A1 03");
    const TFacilityWindow window = Window(octets);
    EXPECT_EQ(window.Count(), 3u);
    EXPECT_EQ(window[0], 0x91);
    EXPECT_EQ(window[2], 0x03);
    EXPECT_EQ(window[3], 0);
    EXPECT_EQ(window[255], 0);

    std::vector<uint8_t> large(300);
    for (size_t i = 0; i < large.size(); ++i)
        large[i] = uint8_t(i + 1);
    const TFacilityWindow clipped = Window(large);
    EXPECT_EQ(clipped.Count(), 256u);
    EXPECT_EQ(clipped[255], 0); // octet 256 of a longer element (i + 1 = 256 -> 0)
    EXPECT_EQ(clipped[254], 255);

    EXPECT_EQ(TFacilityWindow(nullptr, 10).Count(), 0u);
    EXPECT_EQ(TFacilityWindow().Count(), 0u);
}

TEST(RawReaders, PositionWraps)
{
    TRawPosition position = 255;
    ++position;
    EXPECT_EQ(position, 0);

    // A header at the last window octet takes its length from the first.
    std::vector<uint8_t> octets(256);
    octets[0] = 0x05;
    octets[255] = 0x30;
    position = 255;
    EXPECT_EQ(RawSkipHeader(Window(octets), position), 5u);
    EXPECT_EQ(position, 1);
}

TEST(RawReaders, Lengths)
{
    const struct {
        const char* hex;
        uint32_t length;
        TRawPosition end;
    } cases[] = {
        {"05", 5, 1},
        {"81 90", 144, 2},
        {"84 00 01 00 00", 0x10000, 5},
        {"85 01 00 00 00 02", 2, 6}, // 32-bit: only the last four octets count
        {"80", 0, 1},
        {"82", 0, 3},                // past the element: zeros
        {"", 0, 1},
    };
    for (const auto& c : cases) {
        const std::vector<uint8_t> octets = Octets(c.hex);
        TRawPosition position = 0;
        EXPECT_EQ(RawLength(Window(octets), position), c.length) << c.hex;
        EXPECT_EQ(position, c.end) << c.hex;
    }
}

TEST(RawReaders, HeadersAndFirstOctets)
{
    const std::vector<uint8_t> octets = Octets("30 81 0A 0A 01 03 02 02 01 02");
    const TFacilityWindow window = Window(octets);
    TRawPosition position = 0;
    EXPECT_EQ(RawSkipHeader(window, position), 10u);
    EXPECT_EQ(position, 3);
    EXPECT_EQ(RawFirstOctet(window, position), 3);
    EXPECT_EQ(position, 6);
    // A longer INTEGER gives its first octet and leaves the position inside it.
    EXPECT_EQ(RawFirstOctet(window, position), 1);
    EXPECT_EQ(position, 9);
}

TEST(RawReaders, Operations)
{
    const struct {
        const char* hex;
        uint8_t operation;
        TRawPosition end;
    } cases[] = {
        {"91 A1 13 02 01 05 02 01 22 30 0B A1 06 30 04 02 02 00 05 82 01 01", 0x22, 9},
        {"91 A1 09 02 01 05 80 01 03 02 01 0D", 0, 7},          // linked identifier first
        {"91 A2 0B 02 01 05 30 06 02 01 11 30 01 00", 0x11, 11}, // returnResult
        {"91 A3 06 02 01 05 02 01 0C", 0x0C, 9},                 // returnError: the error value
        {"91 A1 0C 02 02 01 05 06 06 04 00 85 69 2A 09", 0x04, 14},
        {"91 A1 07 02 01 05 02 02 01 05", 0x01, 9},              // a longer local value: its first octet
        {"91 A1 03 02 01 05", 0, 7},                             // nothing after the identifier
        {"91 A1", 0, 6},
    };
    for (const auto& c : cases) {
        const std::vector<uint8_t> octets = Octets(c.hex);
        const TFacilityWindow window = Window(octets);
        TRawPosition position = 2;
        EXPECT_EQ(RawOperation(window, position), c.operation) << c.hex;
        EXPECT_EQ(position, c.end) << c.hex;
    }
    // The global value leaves the position on its last arc for the caller.
    const std::vector<uint8_t> ccbs = Octets("91 A1 0C 02 02 01 05 06 06 04 00 85 69 2A 09");
    TRawPosition position = 2;
    RawOperation(Window(ccbs), position);
    EXPECT_EQ(Window(ccbs)[position], 0x09);
}

TEST(RawReaders, PartyNumbers)
{
    TPrefixGuard guard;
    const struct {
        const char* hex;
        const char* number;
        TRawPosition end;
    } cases[] = {
        {"A1 09 0A 01 02 12 04 31 32 33 34", "01234", 11},
        {"A1 09 0A 01 01 12 04 34 39 33 30", "004930", 11},
        {"A1 09 0A 01 04 12 04 31 32 33 34", "1234", 11},
        {"A1 05 0A 01 02 12 00", "0", 7},
        {"80 03 31 32 33", "123", 5},
        {"80 02 C3 A9", "\u00E9", 4},     // UTF-8 digits are decoded as UTF-8
        {"80 01 E9", "\u00E9", 3},        // otherwise as Windows-1252
        {"84 03 31 32 33", "", 1},        // no PartyNumber choice: only the tag is consumed
        {"80 06 31 32", "12", 8},         // digits are never taken from past the element
        {"80 82 01 00 31", "1", 4},       // n = 256 advances by 0 modulo the window
    };
    for (const auto& c : cases) {
        const std::vector<uint8_t> octets = Octets(c.hex);
        TRawPosition position = 0;
        EXPECT_EQ(RawPartyNumber(Window(octets), position), QString::fromUtf8(c.number)) << c.hex;
        EXPECT_EQ(position, c.end) << c.hex;
    }
    SetNationalPrefix(QStringLiteral("9"));
    SetInternationalPrefix(QStringLiteral("+"));
    const std::vector<uint8_t> national = Octets("A1 07 0A 01 02 12 02 35 36");
    TRawPosition position = 0;
    EXPECT_EQ(RawPartyNumber(Window(national), position), "956");
    const std::vector<uint8_t> international = Octets("A1 07 0A 01 01 12 02 35 36");
    position = 0;
    EXPECT_EQ(RawPartyNumber(Window(international), position), "+56");
}

TEST(RawReaders, CcbsBFree)
{
    const std::vector<uint8_t> octets = Octets("00 30 0D 0A 01 00 02 01 2A A1 05 80 03 31 32 33");
    TRawPosition position = 1;
    const TCcbsBFree bFree = RawCcbsBFree(Window(octets), position);
    EXPECT_EQ(bFree.linkageIdentifier, 0x2A);
    EXPECT_EQ(bFree.number, "123");
    EXPECT_EQ(position, 16);

    position = 0;
    const TCcbsBFree none = RawCcbsBFree(Window(octets), position);
    EXPECT_EQ(none.linkageIdentifier, 1);
    EXPECT_TRUE(none.number.isEmpty());
    EXPECT_EQ(position, 0);
}

TEST(RawReaders, ElementAtTheEndOfItsBufferIsNeverReadPast)
{
    // The element is the last thing in its heap block, as when the INFO
    // indication that carries it ends there. Every reader from every start
    // position walks across the end and wraps; what lies beyond reads as 0.
    const std::vector<uint8_t> element = Octets("91 A1 03 02 01 05");
    auto block = std::make_unique<uint8_t[]>(element.size());
    std::copy(element.begin(), element.end(), block.get());
    const TFacilityWindow window(block.get(), uint32_t(element.size()));
    block.reset(); // the window owns its copy

    TRawPosition position = 2;
    EXPECT_EQ(RawOperation(window, position), 0); // tag 0 past the element
    for (int start = 0; start < 256; ++start) {
        TRawPosition p = TRawPosition(start);
        RawLength(window, p);
        p = TRawPosition(start);
        RawFirstOctet(window, p);
        p = TRawPosition(start);
        RawOperation(window, p);
        p = TRawPosition(start);
        const QString number = RawPartyNumber(window, p);
        EXPECT_FALSE(number.contains(QChar(0))) << start;
        p = TRawPosition(start);
        RawCcbsBFree(window, p);
    }

    // The same with random elements of every size, each in a block of exactly its size.
    std::mt19937 random(99);
    for (int round = 0; round < 2000; ++round) {
        const uint32_t size = random() % 300;
        std::vector<uint8_t> octets(size);
        for (uint8_t& octet : octets)
            octet = random() % 3 ? uint8_t(0x80 | (random() & 0x83)) : uint8_t(random());
        const TFacilityWindow w = Window(octets);
        for (uint32_t i = size; i < TFacilityWindow::kSize; ++i)
            ASSERT_EQ(w[TRawPosition(i)], 0);
        TRawPosition p = TRawPosition(random());
        RawOperation(w, p);
        RawPartyNumber(w, p);
        RawCcbsBFree(w, p);
        RawSkipHeader(w, p);
    }
}
