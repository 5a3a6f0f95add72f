#pragma once
// What the filter bar asks of a row, and the search through the rows shown.
// Both read the stored rows' UTF-8 texts and the call index directly, so a
// million rows take no text conversion.

#include "TextMatch.h"

#include <QChar>
#include <functional>

class TCallIndex;
class TLogRows;

struct TTraceFilter {
    TTextMatch Text;      // in Message or Data
    QChar Direction;      // 'T' or 'R'; null for both
    bool Layer3Only = false; // rows with a Q.931 message
    int Call = -1;        // index in the call index; -1 for every row

    bool IsEmpty() const { return Text.IsEmpty() && Direction.isNull() && !Layer3Only && Call < 0; }
};

// The test a row must pass, over rows that the call index sorts as needed;
// empty for an empty filter. Both must outlive the result.
std::function<bool(qsizetype row)> RowFilter(const TTraceFilter& filter, const TLogRows& rows, TCallIndex& calls);

// True when a row's Message or Data, or a node of its decode (layer-2 details
// included), holds the text; a text row's lines count as its decode.
bool RowMatches(const TLogRows& rows, qsizetype row, const TTextMatch& text);

// The next shown row after `from` (before it when backwards), wrapping round,
// that RowMatches; -1 when none does. `shown` is the number of rows shown and
// `storedRow` gives the stored row of a shown one. from = -1 starts at the top
// (or, backwards, at the bottom).
qsizetype FindShownRow(const TLogRows& rows, qsizetype shown, const std::function<qsizetype(qsizetype)>& storedRow,
                       qsizetype from, bool backwards, const TTextMatch& text);
