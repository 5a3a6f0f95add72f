#include "VersionInfo.h"

#include <gtest/gtest.h>

namespace {

const QString kFallback = QString::fromLatin1(kVersionNotAvailable);

QByteArray Translation(uint16_t language, uint16_t codePage)
{
    QByteArray value;
    value.append(char(language & 0xFF)).append(char(language >> 8));
    value.append(char(codePage & 0xFF)).append(char(codePage >> 8));
    return value;
}

// Version information with one string table and the given translation value.
QByteArray Blob(const QString& table, const QByteArray& translation, const QString& fileVersion = "2.7.1",
                QByteArray fixed = FixedFileInfo(2, 7, 1, 0))
{
    return BuildVersionInfo(TVersionBlock::Binary(
        "VS_VERSION_INFO", std::move(fixed),
        {TVersionBlock::Node("StringFileInfo",
                             {TVersionBlock::Node(table, {TVersionBlock::Text("ProductName", "Vessik"),
                                                          TVersionBlock::Text("FileVersion", fileVersion)})}),
         TVersionBlock::Node("VarFileInfo", {TVersionBlock::Binary("Translation", translation)})}));
}

TEST(VersionText, ReadsTheFileVersionOfTheFirstTranslation)
{
    EXPECT_EQ(VersionText(Blob("040704E4", Translation(0x0407, 0x04E4))), "2.7.1");
    // Two translations: the first one names the table.
    const QByteArray two = Translation(0x0409, 0x04B0) + Translation(0x0407, 0x04E4);
    EXPECT_EQ(VersionText(Blob("040904B0", two)), "2.7.1");
    EXPECT_EQ(VersionText(Blob("040704E4", two)), kFallback);
}

TEST(VersionText, TableNamesCompareWithoutCase)
{
    EXPECT_EQ(VersionText(Blob("0c0a04e4", Translation(0x0C0A, 0x04E4))), "2.7.1");
}

TEST(VersionText, FallsBackWhenAnyStepFails)
{
    struct Case {
        const char* what;
        QByteArray blob;
    };
    const Case cases[] = {
        {"no version information", {}},
        {"translation table shorter than four bytes, string table present",
         Blob("040704E4", Translation(0x0407, 0x04E4).left(2))},
        {"empty translation table", Blob("040704E4", {})},
        {"translation names another table", Blob("040704E4", Translation(0x0409, 0x04E4))},
        {"empty file version", Blob("040704E4", Translation(0x0407, 0x04E4), "")},
        {"root without its fixed value", Blob("040704E4", Translation(0x0407, 0x04E4), "1.0", {})},
        {"root value of one byte", Blob("040704E4", Translation(0x0407, 0x04E4), "1.0", "x")},
        {"no string file info",
         BuildVersionInfo(TVersionBlock::Binary(
             "VS_VERSION_INFO", FixedFileInfo(1, 0, 0, 0),
             {TVersionBlock::Node("VarFileInfo",
                                  {TVersionBlock::Binary("Translation", Translation(0x0407, 0x04E4))})}))},
        {"file version as a binary value",
         BuildVersionInfo(TVersionBlock::Binary(
             "VS_VERSION_INFO", FixedFileInfo(1, 0, 0, 0),
             {TVersionBlock::Node("StringFileInfo",
                                  {TVersionBlock::Node("040704E4", {TVersionBlock::Binary("FileVersion", "1.0")})}),
              TVersionBlock::Node("VarFileInfo",
                                  {TVersionBlock::Binary("Translation", Translation(0x0407, 0x04E4))})}))},
        {"garbage", QByteArray("\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF", 8)},
        {"zero bytes", QByteArray(64, '\0')},
    };
    for (const Case& c : cases)
        EXPECT_EQ(VersionText(c.blob), kFallback) << c.what;
}

TEST(VersionText, EveryTruncationFallsBackWithoutReadingPastTheBlob)
{
    const QByteArray whole = Blob("040704E4", Translation(0x0407, 0x04E4));
    ASSERT_EQ(VersionText(whole), "2.7.1");
    for (qsizetype length = 0; length < whole.size(); ++length) {
        // A heap copy of exactly that size, so a sanitizer sees any overread.
        const QByteArray cut(whole.constData(), length);
        const QString text = VersionText(cut);
        EXPECT_EQ(text, kFallback) << "length " << length;
    }
}

TEST(VersionText, LyingLengthsAreBoundedByTheBlock)
{
    QByteArray blob = Blob("040704E4", Translation(0x0407, 0x04E4));
    // Every 16-bit word set to the largest value in turn: lengths then point
    // past their block or the blob; the result is a text or the fallback.
    for (qsizetype at = 0; at + 1 < blob.size(); at += 2) {
        QByteArray bad = blob;
        bad[at] = char(0xFF);
        bad[at + 1] = char(0xFF);
        EXPECT_FALSE(VersionText(bad).isEmpty()) << at;
    }
}

TEST(QueryVersionValue, FindsValuesByPath)
{
    const QByteArray blob = Blob("040704E4", Translation(0x0407, 0x04E4));
    const auto root = QueryVersionValue(blob, u"\\");
    ASSERT_TRUE(root.has_value());
    EXPECT_EQ(root->Length, 52u);
    const auto translation = QueryVersionValue(blob, u"\\VarFileInfo\\Translation");
    ASSERT_TRUE(translation.has_value());
    EXPECT_EQ(QByteArray(translation->Data.data(), translation->Data.size()), Translation(0x0407, 0x04E4));
    const auto name = QueryVersionValue(blob, u"\\StringFileInfo\\040704E4\\ProductName");
    ASSERT_TRUE(name.has_value());
    EXPECT_TRUE(name->IsText);
    EXPECT_EQ(name->Length, 7u); // six characters and the terminating zero
    EXPECT_FALSE(QueryVersionValue(blob, u"\\StringFileInfo\\040704E4\\Comments").has_value());
}

TEST(BuildVersionInfo, RefusesWhatTheLengthsCannotHold)
{
    EXPECT_TRUE(BuildVersionInfo(TVersionBlock::Binary("big", QByteArray(70000, 'x'))).isEmpty());
}

} // namespace
