#include "CapiMessageWriter.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<uint8_t> Params(const TCapiMessageWriter& w)
{
    return {w.Message() + 8, w.Message() + w.MessageLength()};
}

std::vector<uint8_t> Bytes(std::initializer_list<int> list)
{
    std::vector<uint8_t> v;
    for (int b : list)
        v.push_back(uint8_t(b));
    return v;
}

TCapiMessageWriter Fresh()
{
    TCapiMessageWriter w;
    w.Init(1, 0x05, 0x80, 7);
    return w;
}

} // namespace

TEST(CapiMessageWriter, InitWritesTheHeaderOnly)
{
    const TCapiMessageWriter w = Fresh();
    EXPECT_EQ(std::vector<uint8_t>(w.Message(), w.Message() + 8),
              Bytes({0x08, 0x00, 0x01, 0x00, 0x05, 0x80, 0x07, 0x00}));
    EXPECT_EQ(w.MessageLength(), 8);
}

TEST(CapiMessageWriter, InitAgainStartsAFreshMessage)
{
    TCapiMessageWriter w = Fresh();
    w.AddDword(0xDEADBEEF);
    w.Init(0x1234, 0x02, 0x80, 0x0203);
    EXPECT_EQ(w.MessageLength(), 8);
    EXPECT_EQ(std::vector<uint8_t>(w.Message(), w.Message() + 12),
              Bytes({0x08, 0x00, 0x34, 0x12, 0x02, 0x80, 0x03, 0x02, 0, 0, 0, 0}));
}

TEST(CapiMessageWriter, WordsAndDwordsAreLittleEndian)
{
    TCapiMessageWriter w = Fresh();
    w.AddWord(0x1234);
    w.AddDword(0x89ABCDEF);
    EXPECT_EQ(Params(w), Bytes({0x34, 0x12, 0xEF, 0xCD, 0xAB, 0x89}));
}

TEST(CapiMessageWriter, QwordIsLittleEndianAndAllOrNothing)
{
    TCapiMessageWriter w = Fresh();
    w.AddQword(0x0123456789ABCDEFull);
    EXPECT_EQ(Params(w), Bytes({0xEF, 0xCD, 0xAB, 0x89, 0x67, 0x45, 0x23, 0x01}));
    for (int i = 8; i < 2040; ++i)
        w.AddByte(0);
    w.AddQword(1); // would need 2048
    EXPECT_EQ(w.WriteLength(), 2040u);
    TCapiMessageWriter fits = Fresh();
    for (int i = 0; i < 2039; ++i)
        fits.AddByte(0);
    fits.AddQword(2); // exactly 2047 bytes
    EXPECT_EQ(fits.WriteLength(), 2047u);
}

TEST(CapiMessageWriter, ParameterAreaHoldsAtMost2047Bytes)
{
    TCapiMessageWriter w = Fresh();
    for (int i = 0; i < 2046; ++i)
        w.AddByte(uint8_t(i));
    w.AddWord(0xFFFF); // would need 2048
    EXPECT_EQ(w.WriteLength(), 2046u);
    w.AddDword(1);
    EXPECT_EQ(w.WriteLength(), 2046u);
    w.AddByte(0xAA); // a smaller append still fits
    EXPECT_EQ(w.WriteLength(), 2047u);
    EXPECT_EQ(w.MessageLength(), 8 + 2047);
    w.AddByte(0xBB);
    EXPECT_EQ(w.WriteLength(), 2047u);
    EXPECT_EQ(w.Message()[8 + 2046], 0xAA);
}

TEST(CapiMessageWriter, AppendsAreAllOrNothing)
{
    TCapiMessageWriter w = Fresh();
    std::vector<uint8_t> block(1950, 0x11);
    w.AddBytes(block.data(), uint32_t(block.size()));
    std::vector<uint8_t> big(100, 0x22);
    w.AddBytes(big.data(), 100);
    EXPECT_EQ(w.MessageLength(), 1958);
    w.AddBytes(big.data(), 97);
    EXPECT_EQ(w.MessageLength(), 8 + 2047);
    w.AddBytes(nullptr, 0); // an empty append always "fits"
    EXPECT_EQ(w.MessageLength(), 8 + 2047);
}

TEST(CapiMessageWriter, StructContentIsCutTo255Bytes)
{
    TCapiMessageWriter w = Fresh();
    const uint32_t p = w.OpenStruct();
    EXPECT_EQ(p, 0u);
    for (int i = 0; i < 300; ++i)
        w.AddByte(uint8_t(i));
    w.CloseStruct(p);
    EXPECT_EQ(w.MessageLength(), 264);
    const auto params = Params(w);
    ASSERT_EQ(params.size(), 256u);
    EXPECT_EQ(params[0], 255);
    EXPECT_EQ(params[1], 0);
    EXPECT_EQ(params[255], 254);
}

TEST(CapiMessageWriter, NestedStructsAreClosedInnermostFirst)
{
    TCapiMessageWriter w = Fresh();
    const uint32_t outer = w.OpenStruct();
    w.AddByte(0x01);
    const uint32_t inner = w.OpenStruct();
    w.AddWord(0x0302);
    w.CloseStruct(inner);
    w.CloseStruct(outer);
    EXPECT_EQ(Params(w), Bytes({0x04, 0x01, 0x02, 0x02, 0x03}));
}

TEST(CapiMessageWriter, CloseStructAfterADroppedOpeningByteChangesNothing)
{
    TCapiMessageWriter w = Fresh();
    std::vector<uint8_t> block(2047, 0x33);
    w.AddBytes(block.data(), 2047);
    const uint32_t p = w.OpenStruct(); // dropped: the area is full
    EXPECT_EQ(p, 2047u);
    w.CloseStruct(p);
    EXPECT_EQ(w.WriteLength(), 2047u);
    EXPECT_EQ(w.Message()[8 + 2046], 0x33);
}

TEST(CapiMessageWriter, TextIsUtf8AndCutInsideAStruct)
{
    TCapiMessageWriter w = Fresh();
    w.AddText(QString::fromUtf8("\xC3\xA9\xF0\x9F\x98\x80"), false); // é and one surrogate pair
    EXPECT_EQ(Params(w), Bytes({0xC3, 0xA9, 0xF0, 0x9F, 0x98, 0x80}));

    TCapiMessageWriter s = Fresh();
    s.AddText(QString(128, QChar(0xE9)), true); // 256 UTF-8 bytes
    const auto params = Params(s);
    ASSERT_EQ(params.size(), 256u);
    EXPECT_EQ(params[0], 255);
    EXPECT_EQ(params[255], 0xC3); // cut inside the last character

    TCapiMessageWriter e = Fresh();
    e.AddText(QString(), true);
    EXPECT_EQ(Params(e), Bytes({0x00}));
}

TEST(CapiMessageWriter, TextEncodingAsQtEncodesIt)
{
    const struct {
        QString text;
        std::vector<uint8_t> bytes;
    } cases[] = {
        {QStringLiteral("a"), Bytes({0x61})},
        {QString(QChar(0x7FF)), Bytes({0xDF, 0xBF})},
        {QString(QChar(0x20AC)), Bytes({0xE2, 0x82, 0xAC})},
        {QString(QChar(0xFFFF)), Bytes({0xEF, 0xBF, 0xBF})},
        {QString::fromUtf8("\xF4\x8F\xBF\xBF"), Bytes({0xF4, 0x8F, 0xBF, 0xBF})},
        // Lone surrogates, at the end and in front of another character.
        {QString(QChar(0xD800)) + u'a' + QChar(0xDC00) + QChar(0xD83D), Bytes({'?', 'a', '?', '?'})},
    };
    for (const auto& c : cases) {
        TCapiMessageWriter w = Fresh();
        w.AddText(c.text, false);
        EXPECT_EQ(Params(w), c.bytes) << c.text.toStdString();
        const QByteArray qt = c.text.toUtf8();
        EXPECT_EQ(Params(w), std::vector<uint8_t>(qt.begin(), qt.end()));
    }
}

TEST(CapiMessageWriter, TextFillsTheAreaExactlyOrNotAtAll)
{
    TCapiMessageWriter w = Fresh();
    std::vector<uint8_t> block(2043, 0x11);
    w.AddBytes(block.data(), uint32_t(block.size()));
    w.AddText(QString(QChar(0x20AC)) + u'x' + u'y', false); // 5 bytes: one too many
    EXPECT_EQ(w.WriteLength(), 2043u);
    w.AddText(QString(QChar(0x20AC)) + u'x', false); // 4 bytes: exactly the rest
    EXPECT_EQ(w.WriteLength(), 2047u);
    EXPECT_EQ(w.Message()[8 + 2043], 0xE2);
    EXPECT_EQ(w.Message()[8 + 2046], 'x');
}

TEST(CapiMessageWriter, TextLongerThanAnyMessageIsDropped)
{
    TCapiMessageWriter w = Fresh();
    w.AddText(QString(100000, QChar(0x20AC)), false);
    EXPECT_EQ(w.WriteLength(), 0u);
    w.AddText(QString(2047, u'x'), true); // 2048 with its length byte
    EXPECT_EQ(Params(w), Bytes({0x00}));
    w.AddText(QString(2046, u'x'), false);
    EXPECT_EQ(w.WriteLength(), 2047u);
}

TEST(CapiMessageWriter, StructOfExactly255BytesKeepsThemAll)
{
    TCapiMessageWriter w = Fresh();
    const uint32_t p = w.OpenStruct();
    std::vector<uint8_t> content(255, 0x5A);
    w.AddBytes(content.data(), 255);
    w.CloseStruct(p);
    EXPECT_EQ(w.MessageLength(), 8 + 256);
    EXPECT_EQ(w.Message()[8], 255);
    EXPECT_EQ(w.Message()[8 + 255], 0x5A);
}

TEST(CapiMessageWriter, OuterStructCutTakesNestedBytesWithIt)
{
    TCapiMessageWriter w = Fresh();
    const uint32_t outer = w.OpenStruct();
    std::vector<uint8_t> filler(250, 0x01);
    w.AddBytes(filler.data(), 250);
    const uint32_t inner = w.OpenStruct();
    std::vector<uint8_t> nested(20, 0x02);
    w.AddBytes(nested.data(), 20);
    w.CloseStruct(inner);
    w.CloseStruct(outer);
    const auto params = Params(w);
    ASSERT_EQ(params.size(), 256u);
    EXPECT_EQ(params[0], 255);
    EXPECT_EQ(params[251], 20); // the inner length byte stays as it was closed
    EXPECT_EQ(params[255], 0x02);
    w.AddByte(0x7E); // the writer goes on behind the cut
    EXPECT_EQ(w.Message()[8 + 256], 0x7E);
    EXPECT_EQ(w.MessageLength(), 8 + 257);
}

TEST(CapiMessageWriter, TextThatDoesNotFitLeavesAnEmptyStruct)
{
    TCapiMessageWriter w = Fresh();
    std::vector<uint8_t> block(2040, 0);
    w.AddBytes(block.data(), 2040);
    w.AddText(QStringLiteral("0123456789"), true);
    EXPECT_EQ(w.WriteLength(), 2041u);
    EXPECT_EQ(w.Message()[8 + 2040], 0);
}

TEST(CapiMessageWriter, CompositeStructs)
{
    struct Case {
        const char* name;
        std::function<void(TCapiMessageWriter&)> add;
        std::vector<uint8_t> bytes;
    };
    const std::vector<Case> cases = {
        {"connected *123 allowed", [](auto& w) { w.AddConnectedNumber("*123", true); },
         Bytes({0x05, 0x41, 0x80, 0x31, 0x32, 0x33})},
        {"connected restricted", [](auto& w) { w.AddConnectedNumber("0301234", false); },
         Bytes({0x09, 0x00, 0xA0, 0x30, 0x33, 0x30, 0x31, 0x32, 0x33, 0x34})},
        {"connected star only", [](auto& w) { w.AddConnectedNumber("*", true); }, Bytes({0x00})},
        {"connected *5", [](auto& w) { w.AddConnectedNumber("*5", true); },
         Bytes({0x03, 0x41, 0x80, 0x35})},
        {"connected empty", [](auto& w) { w.AddConnectedNumber("", false); }, Bytes({0x00})},
        {"called empty", [](auto& w) { w.AddCalledPartyNumber(""); }, Bytes({0x00})},
        {"called sip", [](auto& w) { w.AddCalledPartyNumber("sip:1"); },
         Bytes({0x06, 0x80, 's', 'i', 'p', ':', '1'})},
        {"subaddress", [](auto& w) { w.AddSubaddress("12"); }, Bytes({0x03, 0x80, '1', '2'})},
        {"facility party allowed", [](auto& w) { w.AddFacilityPartyNumber("12", true); },
         Bytes({0x05, 0x01, 0x00, 0x80, '1', '2'})},
        {"facility party restricted", [](auto& w) { w.AddFacilityPartyNumber("9", false); },
         Bytes({0x04, 0x01, 0x00, 0xA0, '9'})},
        {"facility party empty", [](auto& w) { w.AddFacilityPartyNumber("", true); }, Bytes({0x00})},
        {"b protocol", [](auto& w) { w.AddBProtocol(1, 1, 0); },
         Bytes({0x09, 0x01, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00})},
        {"user-user", [](auto& w) { w.AddUserUserData("hi"); }, Bytes({0x03, 0x04, 'h', 'i'})},
        {"user-user empty", [](auto& w) { w.AddUserUserData(""); }, Bytes({0x00})},
        {"additional info", [](auto& w) { w.AddAdditionalInfo("", "hi", nullptr, 0); },
         Bytes({0x08, 0x00, 0x00, 0x03, 0x04, 0x68, 0x69, 0x00, 0x00})},
        {"connected multibyte after star", [](auto& w) { w.AddConnectedNumber(QString::fromUtf8("*\xC3\xA9"), true); },
         Bytes({0x04, 0x41, 0x80, 0xC3, 0xA9})},
        {"additional info without facility bytes", [](auto& w) { w.AddAdditionalInfo("", "", nullptr, 3); },
         Bytes({0x05, 0x00, 0x00, 0x00, 0x00, 0x00})},
        {"additional info with facility",
         [](auto& w) {
             const uint8_t fac[] = {0x1C, 0x01, 0x91};
             w.AddAdditionalInfo("1", "", fac, 3);
         },
         Bytes({0x09, 0x00, 0x01, '1', 0x00, 0x03, 0x1C, 0x01, 0x91, 0x00})},
    };
    for (const Case& c : cases) {
        TCapiMessageWriter w = Fresh();
        c.add(w);
        EXPECT_EQ(Params(w), c.bytes) << c.name;
    }
}
