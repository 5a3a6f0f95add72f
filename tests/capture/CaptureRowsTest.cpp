#include "CaptureRows.h"
#include "CaptureTestSupport.h"
#include "FrameDecoder.h"
#include "HexLine.h"
#include "LinuxLapdHeader.h"
#include "LogRows.h"

#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>
#include <QTimeZone>
#include <gtest/gtest.h>

namespace {

QStringList Row(const QString& time, const QString& direction, const QByteArray& frame)
{
    const auto* octets = reinterpret_cast<const uint8_t*>(frame.constData());
    return {time, direction, FrameSummary(octets, uint32_t(frame.size()), false),
            HexLine(octets, uint32_t(frame.size()))};
}

std::vector<QStringList> Texts(const TLogRows& rows)
{
    std::vector<QStringList> texts;
    for (qsizetype r = 0; r < rows.Count(); ++r)
        texts.push_back(rows.Texts(r));
    return texts;
}

class CaptureRows : public testing::TestWithParam<TCaptureFormat> {
protected:
    QString Export(const TLogRows& rows, QDate date, TExportCounts& counts)
    {
        const QString path = m_dir.filePath(QStringLiteral("out"));
        TCaptureWriter writer;
        EXPECT_TRUE(writer.Open(path, GetParam()));
        EXPECT_TRUE(ExportRows(rows, date, writer, counts));
        EXPECT_TRUE(writer.Close());
        return path;
    }

    TCaptureLoad Import(const QString& path, TLogRows& rows) { return LoadCaptureRows(path, false, rows); }

    TTimeZone m_zone{"UTC"};
    QTemporaryDir m_dir;
};

TEST_P(CaptureRows, ExportedRowsImportBackTheSame)
{
    TLogRows rows;
    const std::vector<QStringList> frames = {
        Row("23:59:59,990", "T", Hex("00 81 00 00 08 01 05 05 04 03 80 90 A3 18 01 83 70 04 81 31 32 33")),
        Row("23:59:59,990", "R", Hex("02 81 01 02")),
        Row("00:00:00,005", "R", Hex("02 81 00 02 08 01 85 07")),
    };
    for (const QStringList& row : frames)
        ASSERT_TRUE(rows.AppendTexts(row, kRowColumns));
    // A driver's text rows hold no frame.
    ASSERT_TRUE(rows.AppendTexts(QStringList{"00:00:01,000", "T", "Registered", "SIP account 1 ok"}, kRowColumns));
    TExportCounts counts;
    const QString path = Export(rows, QDate(2024, 12, 31), counts);
    EXPECT_EQ(counts.Packets, 3u);
    EXPECT_EQ(counts.WithoutFrame, 1u);
    EXPECT_EQ(counts.WithoutTime, 0u);

    TCaptureReader reader;
    ASSERT_TRUE(reader.Open(path));
    TCapturePacket packet;
    const uint64_t newYear = uint64_t(QDateTime(QDate(2025, 1, 1), QTime(0, 0), QTimeZone::utc()).toSecsSinceEpoch());
    const uint64_t times[] = {(newYear - 1) * 1000000 + 990000, (newYear - 1) * 1000000 + 990000,
                              newYear * 1000000 + 5000};
    for (uint64_t time : times) {
        ASSERT_EQ(reader.Next(packet), TCaptureReader::TStatus::Packet);
        EXPECT_EQ(packet.TimeUs, time);
    }

    TLogRows back;
    const TCaptureLoad load = Import(path, back);
    EXPECT_TRUE(load.Complete);
    EXPECT_EQ(load.Source, TDirectionSource::Header);
    EXPECT_EQ(Texts(back), frames);
}

TEST_P(CaptureRows, RowsWithoutATimeTakeTheTimeBefore)
{
    TLogRows rows;
    ASSERT_TRUE(rows.AppendTexts(Row("", "T", Hex("02 FF 03 08 01 05 05")), kRowColumns));
    ASSERT_TRUE(rows.AppendTexts(Row("08:00:00,250", "R", Hex("02 FF 03 08 01 05 05")), kRowColumns));
    ASSERT_TRUE(rows.AppendTexts(Row("later", "R", Hex("02 FF 03 08 01 05 05")), kRowColumns));
    TExportCounts counts;
    const QString path = Export(rows, QDate(2024, 3, 5), counts);
    EXPECT_EQ(counts.WithoutTime, 2u);
    TCaptureReader reader;
    ASSERT_TRUE(reader.Open(path));
    TCapturePacket packet;
    const uint64_t midnight = uint64_t(QDateTime(QDate(2024, 3, 5), QTime(0, 0), QTimeZone::utc()).toSecsSinceEpoch()) * 1000000;
    const uint64_t eight = midnight + 8 * 3600000000ull + 250000;
    for (const uint64_t time : {midnight, eight, eight}) {
        ASSERT_EQ(reader.Next(packet), TCaptureReader::TStatus::Packet);
        EXPECT_EQ(packet.TimeUs, time);
    }
}

TEST_P(CaptureRows, EmptyLogGivesAnEmptyCapture)
{
    TLogRows rows;
    TExportCounts counts;
    const QString path = Export(rows, QDate(2024, 3, 5), counts);
    EXPECT_EQ(counts.Packets, 0u);
    TLogRows back;
    const TCaptureLoad load = Import(path, back);
    EXPECT_TRUE(load.Complete);
    EXPECT_EQ(back.Count(), 0);
    EXPECT_FALSE(load.Source);
}

TEST_P(CaptureRows, AMillionRowsGoThereAndBack)
{
    const QByteArray frames[] = {Hex("00 81 00 00 08 01 05 05 04 03 80 90 A3 18 01 83"), Hex("02 81 01 02"),
                                 Hex("02 81 00 02 08 01 85 07")};
    TLogRows rows;
    constexpr int kRows = 1000000;
    std::vector<QStringList> samples;
    for (int i = 0; i < kRows; ++i) {
        const int ms = i % 86400000; // one row a millisecond: no midnight within
        const QString time = QTime::fromMSecsSinceStartOfDay(ms).toString(QStringLiteral("hh:mm:ss,zzz"));
        const QStringList row = Row(time, i % 3 == 0 ? "T" : "R", frames[i % 3]);
        ASSERT_TRUE(rows.AppendTexts(row, kRowColumns));
        if (i % 99991 == 0 || i == kRows - 1)
            samples.push_back(row);
    }
    TExportCounts counts;
    const QString path = Export(rows, QDate(2024, 3, 5), counts);
    EXPECT_EQ(counts.Packets, uint64_t(kRows));
    rows.Clear();
    TLogRows back;
    const TCaptureLoad load = Import(path, back);
    EXPECT_TRUE(load.Complete);
    ASSERT_EQ(back.Count(), kRows);
    size_t sample = 0;
    for (int i = 0; i < kRows; ++i) {
        if (i % 99991 == 0 || i == kRows - 1) {
            EXPECT_EQ(back.Text(i, 0), samples[sample][0]) << i;
            EXPECT_EQ(back.Text(i, 1), samples[sample][1]) << i;
            EXPECT_EQ(back.Text(i, 2), samples[sample][2]) << i;
            EXPECT_EQ(back.Text(i, 3), samples[sample][3]) << i;
            ++sample;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, CaptureRows, testing::Values(TCaptureFormat::Pcap, TCaptureFormat::Pcapng),
                         [](const testing::TestParamInfo<TCaptureFormat>& item) {
                             return item.param == TCaptureFormat::Pcap ? "Pcap" : "Pcapng";
                         });

class LapdImport : public testing::Test {
protected:
    TCaptureLoad Import(const std::vector<TRawPacket>& packets, TLogRows& rows)
    {
        const QString path = m_dir.filePath(QStringLiteral("lapd.pcap"));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(PcapFile(kLinkTypeLapd, packets));
        file.close();
        return LoadCaptureRows(path, false, rows);
    }
    QStringList Directions(const TLogRows& rows)
    {
        QStringList directions;
        for (qsizetype r = 0; r < rows.Count(); ++r)
            directions << rows.Text(r, kDirectionColumn);
        return directions;
    }

    TTimeZone m_zone{"UTC"};
    QTemporaryDir m_dir;
};

// An incoming call on a terminal: the network's SETUP (UI, C/R = 1) comes first.
TEST_F(LapdImport, TheSideThatSentTheFirstSetupIsThisSide)
{
    TLogRows rows;
    const TCaptureLoad load = Import({{1, 0, Hex("02 81 01 02")},                   // RR before it waits
                                      {2, 0, Hex("02 FF 03 08 01 05 05 04 03 80 90 A3")}, // SETUP from the network
                                      {3, 0, Hex("00 81 00 00 08 01 85 01")},          // ALERTING from the user
                                      {4, 0, Hex("00 81 01 02")}},                     // RR response from the network
                                     rows);
    EXPECT_TRUE(load.Complete);
    EXPECT_EQ(load.Source, TDirectionSource::FirstSetup);
    EXPECT_EQ(Directions(rows), (QStringList{"R", "T", "R", "T"}));
    EXPECT_EQ(rows.Text(0, kTimeColumn), QStringLiteral("00:00:01,000"));
    EXPECT_EQ(rows.Text(1, kMessageColumn), QStringLiteral("setup(05)"));
}

TEST_F(LapdImport, WithoutASetupTheUserSideIsThisSide)
{
    TLogRows rows;
    const TCaptureLoad load = Import({{1, 0, Hex("00 81 7F")}, {1, 0, Hex("00 81 73")}, {2, 0, Hex("")}}, rows);
    EXPECT_EQ(load.Source, TDirectionSource::UserSide);
    EXPECT_EQ(Directions(rows), (QStringList{"T", "R", "R"})); // SABME from the user, UA from the network
}

TEST_F(LapdImport, DamagedFileKeepsTheRowsBeforeTheDamage)
{
    const QString path = m_dir.filePath(QStringLiteral("cut.pcap"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    QByteArray bytes = PcapFile(kLinkTypeLapd, {{1, 0, Hex("00 81 7F")}, {2, 0, Hex("02 FF 03 08 01 05 05")}});
    bytes.chop(3);
    file.write(bytes);
    file.close();
    TLogRows rows;
    const TCaptureLoad load = LoadCaptureRows(path, true, rows);
    EXPECT_TRUE(load.Opened);
    EXPECT_FALSE(load.Complete);
    EXPECT_FALSE(load.Error.isEmpty());
    ASSERT_EQ(rows.Count(), 1);
    EXPECT_EQ(rows.Text(0, kMessageColumn), QStringLiteral("SABME(40)"));
}

TEST(FrameFromData, TakesHexPairsOnly)
{
    EXPECT_EQ(FrameFromData("02 FF 03 08 ").value_or("none"), Hex("02 FF 03 08"));
    EXPECT_EQ(FrameFromData("02 ff\t03").value_or("none"), Hex("02 FF 03"));
    EXPECT_FALSE(FrameFromData(""));
    EXPECT_FALSE(FrameFromData("   "));
    EXPECT_FALSE(FrameFromData("02FF03"));
    EXPECT_FALSE(FrameFromData("02 F"));
    EXPECT_FALSE(FrameFromData("Registered at sip.example"));
    EXPECT_FALSE(FrameFromData("02 XY 03"));
}

} // namespace
