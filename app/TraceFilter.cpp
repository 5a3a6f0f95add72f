#include "TraceFilter.h"

#include "CallIndex.h"
#include "DecodeTree.h"
#include "FrameDecoder.h"
#include "LogRows.h"
#include "TraceLine.h"

namespace {

constexpr int kDirectionColumn = 1;
constexpr int kMessageColumn = 2;
constexpr int kDataColumn = 3;

// A decode tree that keeps no node, only whether one held the text.
class TMatchTree final : public TDecodeTree {
public:
    explicit TMatchTree(const TTextMatch& text) : m_text(text) {}
    void Clear() override { m_found = false; m_nodes = 0; }
    TNodeId AddChild(TNodeId, const QString& text) override
    {
        m_found = m_found || m_text.In(text);
        return ++m_nodes;
    }
    void Expand(TNodeId) override {}
    bool Found() const { return m_found; }

private:
    const TTextMatch& m_text;
    bool m_found = false;
    TNodeId m_nodes = 0;
};

} // namespace

std::function<bool(qsizetype row)> RowFilter(const TTraceFilter& filter, const TLogRows& rows, TCallIndex& calls)
{
    if (filter.IsEmpty())
        return {};
    const bool needsCalls = filter.Layer3Only || filter.Call >= 0;
    const char direction = filter.Direction.isNull() ? 0 : char(filter.Direction.toLatin1());
    return [filter, direction, needsCalls, &rows, &calls](qsizetype row) {
        if (direction != 0) {
            const QByteArrayView d = rows.Field(row, kDirectionColumn);
            if (d.size() != 1 || d[0] != direction)
                return false;
        }
        if (needsCalls) {
            if (row >= calls.SortedRows())
                calls.Update(rows);
            if (filter.Layer3Only && !calls.IsQ931(row))
                return false;
            if (filter.Call >= 0 && calls.CallOf(row) != filter.Call)
                return false;
        }
        return filter.Text.IsEmpty() || filter.Text.In(rows.Field(row, kMessageColumn))
            || filter.Text.In(rows.Field(row, kDataColumn));
    };
}

bool RowMatches(const TLogRows& rows, qsizetype row, const TTextMatch& text)
{
    const QByteArrayView data = rows.Field(row, kDataColumn);
    if (text.In(rows.Field(row, kMessageColumn)) || text.In(data))
        return true;
    if (!IsFrameRow(rows.Field(row, 0), rows.Field(row, kDirectionColumn), data)) {
        for (const QString& line : TextRowLines(rows.Texts(row)))
            if (text.In(line))
                return true;
        return false;
    }
    const QByteArray octets = ParseDataColumn(data);
    TMatchTree tree(text);
    DecodeFrame(&tree, reinterpret_cast<const uint8_t*>(octets.constData()), uint32_t(octets.size()));
    return tree.Found();
}

qsizetype FindShownRow(const TLogRows& rows, qsizetype shown, const std::function<qsizetype(qsizetype)>& storedRow,
                       qsizetype from, bool backwards, const TTextMatch& text)
{
    if (shown <= 0 || text.IsEmpty())
        return -1;
    if (from < 0 || from >= shown)
        from = backwards ? 0 : shown - 1; // the first step lands on the first (last) row
    for (qsizetype step = 1; step <= shown; ++step) {
        const qsizetype at = backwards ? (from - step % shown + shown) % shown : (from + step) % shown;
        const qsizetype row = storedRow(at);
        if (row >= 0 && RowMatches(rows, row, text))
            return at;
    }
    return -1;
}
