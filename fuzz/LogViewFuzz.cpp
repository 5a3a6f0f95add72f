// A log file as the user opens it: every row loads, and selecting a row turns
// its "Data" column back into octets and decodes them into the tree. Also the
// trace-line split that turns the component's lines into rows.

#include "CheckingTree.h"
#include "FrameDecoder.h"
#include "LogFile.h"
#include "LogRows.h"
#include "TraceLine.h"

#include <QBuffer>

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    QBuffer in;
    in.setData(reinterpret_cast<const char*>(data), qsizetype(size));
    in.open(QIODevice::ReadOnly);
    TLogRows rows;
    Check(ReadLog(in, u';', 4, false, rows));

    TCheckingTree tree(64 * uint64_t(kMaxFrameOctets) + 64);
    for (qsizetype r = 0; r < rows.Count() && r < 64; ++r) {
        const QString dataColumn = rows.Text(r, 3);
        const QByteArray frame = ParseDataColumn(dataColumn);
        Check(frame.size() <= kMaxFrameOctets);
        Check(frame.size() <= dataColumn.size() / 2);
        const auto* octets = reinterpret_cast<const uint8_t*>(frame.constData());
        DecodeFrame(&tree, octets, uint32_t(frame.size()));
        Check(!FrameSummary(octets, uint32_t(frame.size()), true).isNull());

        const QString line = rows.Texts(r).join(QStringLiteral(": "));
        if (const auto columns = SplitTraceLine(line)) {
            qsizetype total = 0;
            for (QStringView c : *columns)
                total += c.size();
            Check(total <= line.size());
        }
    }
    return 0;
}
