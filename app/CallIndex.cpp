#include "CallIndex.h"

#include "FrameKeys.h"
#include "LogRows.h"
#include "TraceLine.h"

#include <algorithm>

namespace {

constexpr uint8_t kSetup = 0x05;
constexpr uint8_t kInformation = 0x7B;
constexpr uint8_t kDisconnect = 0x45;
constexpr uint8_t kRelease = 0x4D;
constexpr uint8_t kReleaseComplete = 0x5A;
constexpr int kDayMs = 24 * 3600 * 1000;

// Messages whose numbers or cause a call shows; the others need no element.
bool CarriesValues(uint8_t messageType)
{
    return messageType == kSetup || messageType == kInformation || messageType == kDisconnect
        || messageType == kRelease || messageType == kReleaseComplete;
}

uint64_t CallKey(uint32_t callReference, bool chosenByUser)
{
    return (uint64_t(callReference) << 1) | (chosenByUser ? 1 : 0);
}

} // namespace

int TCall::DurationMs() const
{
    if (StartMs < 0 || LastMs < 0)
        return -1;
    // A call over midnight: the clock went round once.
    return LastMs >= StartMs ? LastMs - StartMs : LastMs + kDayMs - StartMs;
}

void TCallIndex::Clear()
{
    m_rowCall.clear();
    m_calls.clear();
    m_open.clear();
    ++m_generation;
}

bool TCallIndex::Update(const TLogRows& rows)
{
    if (rows.Count() < SortedRows())
        Clear();
    const uint64_t before = m_generation;
    m_rowCall.reserve(size_t(rows.Count()));
    for (qsizetype row = SortedRows(); row < rows.Count(); ++row)
        Sort(rows, row);
    return m_generation != before;
}

void TCallIndex::Sort(const TLogRows& rows, qsizetype row)
{
    m_rowCall.push_back(kNoQ931);
    const QByteArrayView direction = rows.Field(row, kDirectionColumn);
    const QByteArrayView data = rows.Field(row, kDataColumn);
    if (direction.size() != 1 || (direction[0] != 'T' && direction[0] != 'R') || !IsHexData(data))
        return;
    const QByteArray octets = ParseDataColumn(data);
    const auto* frame = reinterpret_cast<const uint8_t*>(octets.constData());
    TFrameKeys keys = FrameKeys(frame, uint32_t(octets.size()), false);
    if (!keys.Q931)
        return;
    m_rowCall.back() = kNoCall;
    if (keys.CallReferenceLength == 0)
        return; // the dummy call reference belongs to no call
    if (CarriesValues(keys.MessageType))
        keys = FrameKeys(frame, uint32_t(octets.size()), true);

    const bool sent = direction[0] == 'T';
    // The side that chose the value sends it with the flag clear.
    const bool chosenByUser = sent != keys.CallReferenceFlag;
    const uint64_t key = CallKey(keys.CallReference, chosenByUser);
    auto open = m_open.find(key);
    if (open != m_open.end() && keys.MessageType == kSetup) {
        m_open.erase(open); // a SETUP begins a call: the value was taken again
        open = m_open.end();
    }
    if (open == m_open.end()) {
        TCall call;
        call.CallReference = keys.CallReference;
        call.ChosenByUser = chosenByUser;
        call.Start = rows.Text(row, kTimeColumn);
        call.StartMs = TimeOfDayMs(call.Start);
        m_calls.push_back(std::move(call));
        open = m_open.emplace(key, int(m_calls.size() - 1)).first;
    }
    const int index = open->second;
    TCall& call = m_calls[size_t(index)];
    m_rowCall.back() = index;
    call.Rows.push_back(row);
    const int ms = TimeOfDayMs(QString::fromUtf8(rows.Field(row, kTimeColumn)));
    if (ms >= 0)
        call.LastMs = ms;
    if (keys.MessageType == kSetup && call.SetupDirection.isNull())
        call.SetupDirection = QChar(sent ? u'T' : u'R');
    if (call.Calling.isEmpty())
        call.Calling = keys.Calling;
    if (keys.MessageType == kSetup || keys.MessageType == kInformation)
        call.Called += keys.Called;
    if (call.Cause.isEmpty())
        call.Cause = keys.Cause;
    if (keys.MessageType == kReleaseComplete) {
        call.Released = true;
        m_open.erase(open);
    }
    ++m_generation;
}

int TCallIndex::CallOf(qsizetype row) const
{
    if (row < 0 || row >= SortedRows())
        return -1;
    return std::max(m_rowCall[size_t(row)], kNoCall);
}

bool TCallIndex::IsQ931(qsizetype row) const
{
    return row >= 0 && row < SortedRows() && m_rowCall[size_t(row)] != kNoQ931;
}
