// The line format of vessik-cli monitor: values as other tools read them.

#include "MonitorFormat.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

std::string Std(const QString& text)
{
    return text.toStdString();
}

TEST(MonitorFormat, StringsAreJsonLiterals)
{
    EXPECT_EQ(Std(JsonString(QString())), "\"\"");
    EXPECT_EQ(Std(JsonString(QStringLiteral("0301234567"))), "\"0301234567\"");
    EXPECT_EQ(Std(JsonString(QStringLiteral("a\"b\\c/d"))), "\"a\\\"b\\\\c/d\"");
    // Every control character, line breaks included, keeps the line whole.
    static constexpr char16_t kControls[] = u"\u0000\t\n\r\u001F\u007F\u0085 ";
    EXPECT_EQ(Std(JsonString(QString::fromUtf16(kControls, std::size(kControls) - 1))),
              "\"\\u0000\\u0009\\u000A\\u000D\\u001F\\u007F\\u0085 \"");
    // Other characters stay as they are (written as UTF-8).
    EXPECT_EQ(JsonString(QString::fromUtf16(u"Müller \u20AC \U0001F4DE")).toUtf8(),
              QByteArray("\"M\xC3\xBCller \xE2\x82\xAC \xF0\x9F\x93\x9E\""));
}

TEST(MonitorFormat, CallStatusByElementName)
{
    EXPECT_EQ(Std(CallStatusName(TCallStatus::IDLE)), "IDLE");
    EXPECT_EQ(Std(CallStatusName(TCallStatus::HoldConfirm)), "HoldConfirm");
    EXPECT_EQ(Std(CallStatusName(TCallStatus::GetSupplementServicesNotify)), "GetSupplementServicesNotify");
    EXPECT_EQ(Std(CallStatusName(TCallStatus::DivertingNotify)), "DivertingNotify");
    EXPECT_EQ(Std(CallStatusName(TCallStatus(17))), "17"); // outside the enumeration
}

TEST(MonitorFormat, StatisticsAreAnArrayOfFourteenFields)
{
    TVoIPStatistics statistics;
    EXPECT_EQ(Std(StatisticsJson(statistics)), "[0,0,0.0,0,0,0,0,0,false,0,0.0,0,0,\"\"]");
    statistics.Value1 = 1;
    statistics.Value2 = 4294967295u;
    statistics.Value3 = 12.34f;
    statistics.Value4 = 4;
    statistics.Value5 = 5;
    statistics.Value6 = 6;
    statistics.Value7 = 7;
    statistics.Value8 = 8;
    statistics.Value9 = true;
    statistics.Value10 = 255;
    statistics.Value11 = -0.96f;
    statistics.Value12 = 12;
    statistics.Value13 = 13;
    statistics.Text = QStringLiteral("G.711 \"a\"");
    EXPECT_EQ(Std(StatisticsJson(statistics)), "[1,4294967295,12.3,4,5,6,7,8,true,255,-1.0,12,13,\"G.711 \\\"a\\\"\"]");
}

TEST(MonitorFormat, FloatsThatJsonCannotHoldAreNull)
{
    TVoIPStatistics statistics;
    statistics.Value3 = std::numeric_limits<float>::quiet_NaN();
    statistics.Value11 = std::numeric_limits<float>::infinity();
    EXPECT_EQ(Std(StatisticsJson(statistics)), "[0,0,null,0,0,0,0,0,false,0,null,0,0,\"\"]");
}

TEST(MonitorFormat, BitmapBySizeOrNone)
{
    EXPECT_EQ(Std(BitmapText(nullptr)), "none");
    TBitmap bitmap;
    bitmap.Width = 96;
    bitmap.Height = 64;
    EXPECT_EQ(Std(BitmapText(&bitmap)), "96x64");
}

TEST(MonitorFormat, EventLineHasItsParametersInOrder)
{
    EXPECT_EQ(Std(TEventLine("OnConnect").Address(0x0101).Number("NotifyType", 7).Line()),
              "event OnConnect PLCI_NCCI=0x00000101 NotifyType=7");
    EXPECT_EQ(Std(TEventLine("OnInfo").Address(0xABCDEF12u).Number("InfoType", 0xA100).Text("InfoStr",
                                                                                              QStringLiteral("G.722"))
                      .Line()),
              "event OnInfo PLCI_NCCI=0xABCDEF12 InfoType=41216 InfoStr=\"G.722\"");
    EXPECT_EQ(Std(TEventLine("OnSMS")
                      .Text("Name", QString())
                      .Text("Number", QStringLiteral("0171"))
                      .Text("Msg", QStringLiteral("hi"))
                      .Boolean("IsUTF8", false)
                      .Line()),
              "event OnSMS Name=\"\" Number=\"0171\" Msg=\"hi\" IsUTF8=false");
    EXPECT_EQ(Std(TEventLine("OnStatus").Address(0).Status("Status", TCallStatus::Connected).Line()),
              "event OnStatus PLCI_NCCI=0x00000000 Status=Connected");
    EXPECT_EQ(Std(TEventLine("OnGContact").Text("Id", QStringLiteral("1")).Bitmap("bmp", nullptr).Line()),
              "event OnGContact Id=\"1\" bmp=none");
    EXPECT_EQ(Std(TEventLine("OnMWI").Number("NumberOfMessages", 4294967295u).Line()),
              "event OnMWI NumberOfMessages=4294967295");
}

} // namespace
