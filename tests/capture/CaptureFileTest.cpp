#include "CaptureReader.h"
#include "CaptureTestSupport.h"
#include "CaptureWriter.h"
#include "LinuxLapdHeader.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct TFrame {
    uint64_t timeUs;
    bool sent;
    QByteArray octets;
};

const std::vector<TFrame> kFrames = {
    {1709633702114000ull, true, Hex("00 81 00 00 08 01 05 05 04 03 80 90 A3 18 01 83 70 04 81 31 32 33")},
    {1709633702200123ull, false, Hex("02 81 01 02")},
    {1709633702300999ull, false, Hex("02 81 00 02 08 01 85 07")},
};

class CaptureFile : public testing::TestWithParam<TCaptureFormat> {
protected:
    QString Path(const char* name) const { return m_dir.filePath(QString::fromLatin1(name)); }

    QString WriteFrames()
    {
        const QString path = Path(GetParam() == TCaptureFormat::Pcap ? "t.pcap" : "t.pcapng");
        TCaptureWriter writer;
        EXPECT_TRUE(writer.Open(path, GetParam())) << writer.ErrorString().toStdString();
        for (const TFrame& f : kFrames)
            EXPECT_TRUE(writer.Write(f.timeUs, f.sent, TLapdSide::User, f.octets, "comment"));
        EXPECT_TRUE(writer.Close()) << writer.ErrorString().toStdString();
        return path;
    }

    QTemporaryDir m_dir;
};

TEST_P(CaptureFile, ReadsBackWhatWasWritten)
{
    TCaptureReader reader;
    ASSERT_TRUE(reader.Open(WriteFrames())) << reader.ErrorString().toStdString();
    EXPECT_EQ(reader.LinkType(), kLinkTypeLinuxLapd);
    TCapturePacket packet;
    for (const TFrame& f : kFrames) {
        ASSERT_EQ(reader.Next(packet), TCaptureReader::TStatus::Packet);
        EXPECT_EQ(packet.TimeUs, f.timeUs);
        EXPECT_EQ(packet.Sent, f.sent);
        EXPECT_EQ(packet.Frame, f.octets);
    }
    EXPECT_EQ(reader.Next(packet), TCaptureReader::TStatus::End);
    EXPECT_EQ(reader.OtherLinkType(), 0u);
}

TEST_P(CaptureFile, EveryCutOfTheFileReadsThePacketsBeforeItAndFails)
{
    QFile file(WriteFrames());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray whole = file.readAll();
    const QString cutPath = Path("cut");
    for (qsizetype size = 0; size < whole.size(); ++size) {
        QFile cut(cutPath);
        ASSERT_TRUE(cut.open(QIODevice::WriteOnly | QIODevice::Truncate));
        cut.write(whole.first(size));
        cut.close();
        TCaptureReader reader;
        if (!reader.Open(cutPath)) {
            EXPECT_FALSE(reader.ErrorString().isEmpty());
            continue;
        }
        TCapturePacket packet;
        size_t read = 0;
        TCaptureReader::TStatus status;
        while ((status = reader.Next(packet)) == TCaptureReader::TStatus::Packet) {
            ASSERT_LT(read, kFrames.size());
            EXPECT_EQ(packet.Frame, kFrames[read].octets);
            ++read;
        }
        // A cut between packets is a shorter file, not a damaged one.
        if (status == TCaptureReader::TStatus::Failed) {
            EXPECT_FALSE(reader.ErrorString().isEmpty()) << size;
        }
    }
}

TEST_P(CaptureFile, EmptyCaptureHoldsNoPacket)
{
    const QString path = Path("empty");
    TCaptureWriter writer;
    ASSERT_TRUE(writer.Open(path, GetParam()));
    ASSERT_TRUE(writer.Close());
    TCaptureReader reader;
    ASSERT_TRUE(reader.Open(path)) << reader.ErrorString().toStdString();
    TCapturePacket packet;
    EXPECT_EQ(reader.Next(packet), TCaptureReader::TStatus::End);
    EXPECT_TRUE(IsCaptureFile(path));
}

INSTANTIATE_TEST_SUITE_P(Formats, CaptureFile, testing::Values(TCaptureFormat::Pcap, TCaptureFormat::Pcapng),
                         [](const testing::TestParamInfo<TCaptureFormat>& item) {
                             return item.param == TCaptureFormat::Pcap ? "Pcap" : "Pcapng";
                         });

class CaptureRead : public testing::Test {
protected:
    QString Store(const QByteArray& bytes)
    {
        const QString path = m_dir.filePath(QStringLiteral("in.pcap"));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
        return path;
    }
    QTemporaryDir m_dir;
};

TEST_F(CaptureRead, OtherLinkTypesAreSkippedAndCounted)
{
    TCaptureReader reader;
    ASSERT_TRUE(reader.Open(Store(PcapFile(1, {{1, 0, Hex("FF FF FF FF FF FF 00")}, {2, 0, Hex("00")}}))));
    TCapturePacket packet;
    EXPECT_EQ(reader.Next(packet), TCaptureReader::TStatus::End);
    EXPECT_EQ(reader.OtherLinkType(), 2u);
    EXPECT_EQ(reader.LinkType(), 1);
}

TEST_F(CaptureRead, LapdPacketsHaveNoDirection)
{
    TCaptureReader reader;
    ASSERT_TRUE(reader.Open(Store(PcapFile(kLinkTypeLapd, {{100, 7, Hex("02 FF 03 08 01 05 05")}}))));
    TCapturePacket packet;
    ASSERT_EQ(reader.Next(packet), TCaptureReader::TStatus::Packet);
    EXPECT_FALSE(packet.Sent);
    EXPECT_EQ(packet.TimeUs, 100000007u);
    EXPECT_EQ(packet.Frame, Hex("02 FF 03 08 01 05 05"));
}

TEST_F(CaptureRead, LinuxLapdPacketShorterThanItsHeaderIsSkippedAndCounted)
{
    const QByteArray header(reinterpret_cast<const char*>(LinuxLapdHeader(true, TLapdSide::User).data()), 16);
    TCaptureReader reader;
    ASSERT_TRUE(reader.Open(Store(PcapFile(kLinkTypeLinuxLapd, {{1, 0, header.first(15)}, {2, 0, header + Hex("02")}}))));
    TCapturePacket packet;
    ASSERT_EQ(reader.Next(packet), TCaptureReader::TStatus::Packet);
    EXPECT_EQ(packet.Frame, Hex("02"));
    EXPECT_EQ(packet.Sent, true);
    EXPECT_EQ(reader.Next(packet), TCaptureReader::TStatus::End);
    EXPECT_EQ(reader.TooShort(), 1u);
}

TEST_F(CaptureRead, PacketLongerThanTheFileFails)
{
    QByteArray bytes = PcapFile(kLinkTypeLapd, {{1, 0, Hex("02 FF 03")}, {2, 0, Hex("02 FF 03 08")}});
    bytes.chop(1);
    TCaptureReader reader;
    ASSERT_TRUE(reader.Open(Store(bytes)));
    TCapturePacket packet;
    EXPECT_EQ(reader.Next(packet), TCaptureReader::TStatus::Packet);
    EXPECT_EQ(reader.Next(packet), TCaptureReader::TStatus::Failed);
    EXPECT_FALSE(reader.ErrorString().isEmpty());
}

TEST_F(CaptureRead, ImpossibleCapturedLengthFails)
{
    QByteArray bytes = PcapFile(kLinkTypeLapd, {{1, 0, Hex("02 FF 03")}});
    bytes[24 + 8] = char(0xFF); // captured length 0xFF000003 ... with the next bytes
    bytes[24 + 11] = char(0x7F);
    TCaptureReader reader;
    ASSERT_TRUE(reader.Open(Store(bytes)));
    TCapturePacket packet;
    EXPECT_EQ(reader.Next(packet), TCaptureReader::TStatus::Failed);
}

TEST_F(CaptureRead, TextAndMissingFilesDoNotOpen)
{
    TCaptureReader reader;
    EXPECT_FALSE(reader.Open(Store("\xEF\xBB\xBF" "10:00:00,000;T;setup(05);02 FF 03 \r\n")));
    EXPECT_FALSE(reader.ErrorString().isEmpty());
    EXPECT_FALSE(reader.Open(m_dir.filePath(QStringLiteral("missing.pcap"))));
    EXPECT_FALSE(reader.Open(m_dir.path())); // a directory
    EXPECT_FALSE(IsCaptureFile(m_dir.filePath(QStringLiteral("missing.pcap"))));
}

TEST(CaptureHead, KnowsEveryByteOrderAndResolution)
{
    for (const char* head : {"\xD4\xC3\xB2\xA1", "\xA1\xB2\xC3\xD4", "\x4D\x3C\xB2\xA1", "\xA1\xB2\x3C\x4D",
                             "\x0A\x0D\x0D\x0A"})
        EXPECT_TRUE(IsCaptureHead(QByteArray(head, 4))) << head;
    EXPECT_FALSE(IsCaptureHead("\xEF\xBB\xBF" "1"));
    EXPECT_FALSE(IsCaptureHead("\xD4\xC3\xB2"));
}

TEST(CaptureWriter, UnwritablePlaceIsReported)
{
    TCaptureWriter writer;
    EXPECT_FALSE(writer.Open(QStringLiteral("/nonexistent-dir/x.pcap"), TCaptureFormat::Pcap));
    EXPECT_FALSE(writer.ErrorString().isEmpty());
    EXPECT_FALSE(writer.Write(0, true, TLapdSide::User, "\x02"));
}

TEST(CaptureWriter, AnUnclosedFileLeavesTheOldOneInPlace)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("keep.pcap"));
    {
        QFile old(path);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("old");
    }
    {
        TCaptureWriter writer;
        ASSERT_TRUE(writer.Open(path, TCaptureFormat::Pcap));
        ASSERT_TRUE(writer.Write(0, true, TLapdSide::User, "\x02\x01\x03"));
    }
    QFile kept(path);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), QByteArray("old"));
}

} // namespace
