#include "TraceRow.h"

std::optional<TTraceColumns> SplitTraceLine(QStringView info)
{
    static constexpr QStringView kSeparator = u": ";
    TTraceColumns columns;
    // Time, then T/R and Message while separators last; Data takes the rest.
    for (size_t column = 0; column + 1 < columns.size(); ++column) {
        const qsizetype at = info.indexOf(kSeparator);
        if (at < 0) {
            if (column == 0)
                return std::nullopt;
            break;
        }
        columns[column] = info.left(at);
        info = info.mid(at + kSeparator.size());
    }
    columns.back() = info;
    return columns;
}
