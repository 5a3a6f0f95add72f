#include "CaptureRows.h"

#include "FrameDecoder.h"
#include "HexLine.h"
#include "LogRows.h"

namespace {

constexpr uint8_t kQ931 = 0x08;
constexpr uint8_t kSetup = 0x05;

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool IsSetup(const QByteArray& frame)
{
    const auto* octets = reinterpret_cast<const uint8_t*>(frame.constData());
    const auto length = uint32_t(frame.size());
    const uint32_t header = DecodeLayer2(nullptr, octets, length);
    if (header < 2 || header >= length || octets[header] != kQ931)
        return false;
    uint32_t position = header + 1;
    CallReference(octets, length, position);
    return position < length && (octets[position] & 0x7F) == kSetup;
}

} // namespace

std::optional<QByteArray> FrameFromData(QByteArrayView utf8)
{
    QByteArray octets;
    octets.reserve(utf8.size() / 3 + 1);
    qsizetype i = 0;
    while (i < utf8.size()) {
        if (IsBlank(utf8[i])) {
            ++i;
            continue;
        }
        if (i + 1 >= utf8.size())
            return std::nullopt;
        const int high = HexValue(utf8[i]);
        const int low = HexValue(utf8[i + 1]);
        if (high < 0 || low < 0 || (i + 2 < utf8.size() && !IsBlank(utf8[i + 2])))
            return std::nullopt;
        octets.append(char(high << 4 | low));
        i += 2;
    }
    if (octets.isEmpty())
        return std::nullopt;
    return octets;
}

TRowExporter::TRowExporter(QDate date, TCaptureWriter& writer)
    : m_writer(writer), m_clock(date), m_previous(m_clock.Midnight()) // rows before the first time stand at midnight
{
}

bool TRowExporter::Add(const TLogRows& rows)
{
    for (qsizetype row = 0; row < rows.Count(); ++row) {
        const auto frame = FrameFromData(rows.Field(row, kDataColumn));
        if (!frame) {
            ++m_counts.WithoutFrame;
            continue;
        }
        if (const auto time = m_clock.Next(rows.Field(row, kTimeColumn)))
            m_previous = *time;
        else
            ++m_counts.WithoutTime;
        // The trace's own rule: "T" is sent, anything else received.
        const bool sent = rows.Field(row, kDirectionColumn) == "T";
        m_side.See(reinterpret_cast<const uint8_t*>(frame->constData()), uint32_t(frame->size()), sent);
        if (!m_writer.Write(m_previous, sent, m_side.ThisSide(), *frame, rows.Field(row, kMessageColumn)))
            return false;
        ++m_counts.Packets;
    }
    return true;
}

bool ExportRows(const TLogRows& rows, QDate date, TCaptureWriter& writer, TExportCounts& counts)
{
    TRowExporter exporter(date, writer);
    const bool written = exporter.Add(rows);
    counts = exporter.Counts();
    return written;
}

bool TCaptureImport::Emit(const TCapturePacket& packet, bool sent)
{
    const auto* octets = reinterpret_cast<const uint8_t*>(packet.Frame.constData());
    const auto length = uint32_t(packet.Frame.size());
    const TCaptureRowTexts texts = {
        m_time.Text(packet.TimeUs),
        sent ? QStringLiteral("T") : QStringLiteral("R"),
        FrameSummary(octets, length, m_layer2),
        HexLine(octets, length),
    };
    ++m_rows;
    return (*m_onRow)(texts, packet.Frame);
}

bool TCaptureImport::Release(TLapdSide thisSide, TDirectionSource source)
{
    m_thisSide = thisSide;
    m_source = source;
    while (!m_waiting.empty()) {
        const TCapturePacket packet = std::move(m_waiting.front());
        m_waiting.pop_front();
        const auto sender = FrameSender(reinterpret_cast<const uint8_t*>(packet.Frame.constData()),
                                        uint32_t(packet.Frame.size()));
        if (!Emit(packet, sender && sender->Side == m_thisSide))
            return false;
    }
    return true;
}

TCaptureReader::TStatus TCaptureImport::Run(const TCaptureRowSink& onRow)
{
    m_onRow = &onRow;
    TCapturePacket packet;
    TCaptureReader::TStatus status;
    while ((status = m_reader.Next(packet)) == TCaptureReader::TStatus::Packet) {
        if (packet.Sent) {
            m_source = TDirectionSource::Header;
            if (!Emit(packet, *packet.Sent))
                return TCaptureReader::TStatus::End;
            continue;
        }
        const bool setup = !m_source && IsSetup(packet.Frame);
        m_waiting.push_back(std::move(packet));
        packet = {};
        if (setup) {
            const QByteArray& frame = m_waiting.back().Frame;
            const auto sender = FrameSender(reinterpret_cast<const uint8_t*>(frame.constData()),
                                            uint32_t(frame.size()));
            if (!Release(sender ? sender->Side : TLapdSide::User, TDirectionSource::FirstSetup))
                return TCaptureReader::TStatus::End;
        } else if (m_source && !Release(m_thisSide, *m_source)) {
            return TCaptureReader::TStatus::End;
        }
    }
    // A capture without a SETUP (or cut off before one) is read as taken on the user side.
    if (!m_waiting.empty() && !Release(TLapdSide::User, TDirectionSource::UserSide))
        return TCaptureReader::TStatus::End;
    return status;
}

QString DirectionNote(TDirectionSource source)
{
    switch (source) {
    case TDirectionSource::Header:
        return QStringLiteral("directions from the LINUX_LAPD header");
    case TDirectionSource::FirstSetup:
        return QStringLiteral("directions from the command/response bit, with the side that sent the first "
                              "SETUP as this side (T)");
    case TDirectionSource::UserSide:
        return QStringLiteral("directions from the command/response bit, with the user side as this side (T): "
                              "no SETUP");
    }
    return {};
}

TCaptureLoad LoadCapture(const QString& fileName, bool layer2, const TCaptureRowSink& onRow)
{
    TCaptureLoad load;
    TCaptureReader reader;
    load.Opened = reader.Open(fileName);
    if (!load.Opened) {
        load.Error = reader.ErrorString();
        return load;
    }
    TCaptureImport import(reader, layer2);
    bool stopped = false;
    const TCaptureRowSink sink = [&](const TCaptureRowTexts& texts, const QByteArray& frame) {
        stopped = !onRow(texts, frame);
        return !stopped;
    };
    const TCaptureReader::TStatus status = import.Run(sink);
    load.LinkType = reader.LinkType();
    load.Rows = import.Rows();
    load.OtherLinkType = reader.OtherLinkType();
    load.TooShort = reader.TooShort();
    load.Source = import.DirectionSource();
    if (status == TCaptureReader::TStatus::Failed)
        load.Error = reader.ErrorString();
    load.Complete = status == TCaptureReader::TStatus::End && !stopped && load.TooShort == 0;
    return load;
}

TCaptureLoad LoadCaptureRows(const QString& fileName, bool layer2, TLogRows& rows)
{
    bool held = true;
    TCaptureLoad load = LoadCapture(fileName, layer2, [&](const TCaptureRowTexts& texts, const QByteArray&) {
        const std::array<QStringView, kRowColumns> views = {texts[0], texts[1], texts[2], texts[3]};
        held = rows.AppendTexts(std::span<const QStringView>(views), kRowColumns);
        return held;
    });
    if (!held && load.Error.isEmpty())
        load.Error = QStringLiteral("the rows cannot be held in memory");
    return load;
}
