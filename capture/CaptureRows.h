#pragma once
// Trace rows and capture packets, both ways. Export writes every row whose
// Data column holds a frame as one LINUX_LAPD packet; import turns every LAPD
// packet into the row the trace would have shown: time of day, T or R, the
// summary, the octets in hex.

#include "CaptureReader.h"
#include "CaptureTime.h"
#include "CaptureWriter.h"
#include "LapdSide.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QDate>
#include <QString>
#include <QStringView>
#include <array>
#include <deque>
#include <functional>
#include <optional>

class TLogRows;

// The columns of a trace row: "Time", "T/R", "Message", "Data".
inline constexpr int kRowColumns = 4;
enum TRowColumn { kTimeColumn, kDirectionColumn, kMessageColumn, kDataColumn };

// The octets of a Data column that holds a frame: pairs of hex digits, each
// followed by a blank or the end. Nothing for other text (a driver's text rows).
std::optional<QByteArray> FrameFromData(QByteArrayView utf8);

struct TExportCounts {
    uint64_t Packets = 0;
    uint64_t WithoutFrame = 0; // rows left out
    uint64_t WithoutTime = 0;  // rows that took the time of the row before
};

// Writes the rows that hold a frame, batch after batch; `date` is the day the
// first row was traced on. The Message column becomes the packet's comment
// (pcapng).
class TRowExporter {
public:
    TRowExporter(QDate date, TCaptureWriter& writer);
    // False when the writer failed; its ErrorString says why.
    bool Add(const TLogRows& rows);
    const TExportCounts& Counts() const { return m_counts; }

private:
    TCaptureWriter& m_writer;
    TRowClock m_clock;
    uint64_t m_previous; // the time of the row before
    TLapdSideGuess m_side;
    TExportCounts m_counts;
};

// All rows at once.
bool ExportRows(const TLogRows& rows, QDate date, TCaptureWriter& writer, TExportCounts& counts);

// Where the directions of imported rows came from.
enum class TDirectionSource {
    Header,     // LINUX_LAPD: the pseudo-header
    FirstSetup, // LAPD: the C/R bit, the side that sent the first SETUP as this side
    UserSide,   // LAPD without a SETUP: the C/R bit, the user side as this side
};

using TCaptureRowTexts = std::array<QString, kRowColumns>;
// Takes one row and the frame it shows; false stops the import.
using TCaptureRowSink = std::function<bool(const TCaptureRowTexts& texts, const QByteArray& frame)>;

// Packets of a capture file to rows, in file order. Without a pseudo-header
// the rows wait until the first SETUP has shown which side is this one.
class TCaptureImport {
public:
    TCaptureImport(TCaptureReader& reader, bool layer2) : m_reader(reader), m_layer2(layer2) {}

    // Hands every row to onRow; stops early when onRow returns false.
    // Failed: the file is damaged or cut short (the rows before it are handed on).
    TCaptureReader::TStatus Run(const TCaptureRowSink& onRow);

    std::optional<TDirectionSource> DirectionSource() const { return m_source; }
    uint64_t Rows() const { return m_rows; }

private:
    bool Emit(const TCapturePacket& packet, bool sent);
    bool Release(TLapdSide thisSide, TDirectionSource source);

    TCaptureReader& m_reader;
    bool m_layer2;
    std::optional<TDirectionSource> m_source;
    TLapdSide m_thisSide = TLapdSide::User;
    std::deque<TCapturePacket> m_waiting;
    const TCaptureRowSink* m_onRow = nullptr;
    TTimeOfDayText m_time;
    uint64_t m_rows = 0;
};

// The note for standard error on where directions came from.
QString DirectionNote(TDirectionSource source);

// What reading a capture file came to.
struct TCaptureLoad {
    bool Opened = false;
    bool Complete = false; // read to its end, every packet whole
    QString Error;         // why it could not be opened or read on
    int LinkType = -1;
    uint64_t Rows = 0;
    uint64_t OtherLinkType = 0; // packets skipped
    uint64_t TooShort = 0;      // LINUX_LAPD packets without a whole header, skipped
    std::optional<TDirectionSource> Source;
};

// Reads a capture file ("-" is standard input) into rows for onRow.
TCaptureLoad LoadCapture(const QString& fileName, bool layer2, const TCaptureRowSink& onRow);
// The same into stored rows of four columns.
TCaptureLoad LoadCaptureRows(const QString& fileName, bool layer2, TLogRows& rows);
