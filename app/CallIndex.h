#pragma once
// The calls of a trace: every Q.931 row sorted into the call its call
// reference belongs to, as rows arrive. A call is known by its call reference
// and the side that chose it (the flag tells, with the row's direction), so
// the user's and the network's calls on the same value stay apart. A SETUP
// always begins a call, and a RELEASE COMPLETE ends one, so a value taken
// again makes a new call.

#include <QChar>
#include <QString>
#include <cstdint>
#include <unordered_map>
#include <vector>

class TLogRows;

struct TCall {
    uint32_t CallReference = 0;
    bool ChosenByUser = false;  // the call reference is the user side's
    QChar SetupDirection;       // 'T' or 'R' of the SETUP; null when none was traced
    QString Calling;            // calling party number
    QString Called;             // called party number (with digits sent later)
    QString Start;              // Time column of its first row
    QString Cause;              // first cause of the clearing, e.g. "16:Normal call clearing"
    int StartMs = -1;           // time of day of the first and last rows; -1 unknown
    int LastMs = -1;
    bool Released = false;      // RELEASE COMPLETE seen
    std::vector<qsizetype> Rows; // stored rows, ascending

    // Milliseconds from the first to the last row; -1 unknown.
    int DurationMs() const;
};

class TCallIndex {
public:
    // Column numbers of the trace list.
    static constexpr int kTimeColumn = 0;
    static constexpr int kDirectionColumn = 1;
    static constexpr int kDataColumn = 3;

    void Clear();
    // Sorts the rows added since the last call into calls; a list shorter
    // than what was sorted (cleared behind our back) is sorted anew. True
    // when a call was added or changed.
    bool Update(const TLogRows& rows);
    qsizetype SortedRows() const { return qsizetype(m_rowCall.size()); }
    // Counts changes, so a view knows whether to refresh.
    uint64_t Generation() const { return m_generation; }

    const std::vector<TCall>& Calls() const { return m_calls; }
    // The call a row belongs to, -1 for none (or a row not yet sorted).
    int CallOf(qsizetype row) const;
    // True when the row holds a Q.931 message (call or not).
    bool IsQ931(qsizetype row) const;

private:
    static constexpr int32_t kNoQ931 = -2;
    static constexpr int32_t kNoCall = -1;

    void Sort(const TLogRows& rows, qsizetype row);

    std::vector<int32_t> m_rowCall; // per stored row: call index, kNoCall or kNoQ931
    std::vector<TCall> m_calls;
    std::unordered_map<uint64_t, int> m_open; // call key -> call not yet released
    uint64_t m_generation = 0;
};
