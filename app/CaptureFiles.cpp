#include "CaptureFiles.h"

#include "CaptureRows.h"
#include "ListGrid.h"

#include <QDate>
#include <QFileDialog>

namespace {

struct TCaptureFilter {
    const char* Filter;
    const char* Suffix;
    TCaptureFormat Format;
};

constexpr TCaptureFilter kCaptureFilters[] = {
    {"pcap capture (*.pcap)", "pcap", TCaptureFormat::Pcap},
    {"pcapng capture (*.pcapng)", "pcapng", TCaptureFormat::Pcapng},
};

} // namespace

void AddCaptureFilters(QFileDialog& dialog)
{
    QStringList filters = dialog.nameFilters();
    const QString logSuffix = dialog.defaultSuffix();
    const QString logFilter = filters.value(0);
    for (const TCaptureFilter& capture : kCaptureFilters)
        filters << QString::fromLatin1(capture.Filter);
    dialog.setNameFilters(filters);
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog, logSuffix](const QString& chosen) {
        QString suffix = logSuffix;
        for (const TCaptureFilter& capture : kCaptureFilters)
            if (chosen == QLatin1String(capture.Filter))
                suffix = QString::fromLatin1(capture.Suffix);
        dialog.setDefaultSuffix(suffix);
    });
}

std::optional<TCaptureFormat> CaptureFormatOf(const QString& fileName)
{
    for (const TCaptureFilter& capture : kCaptureFilters)
        if (fileName.endsWith(u'.' + QString::fromLatin1(capture.Suffix), Qt::CaseInsensitive))
            return capture.Format;
    return std::nullopt;
}

bool SaveCapture(const TListGrid& grid, const QString& fileName, TCaptureFormat format)
{
    TCaptureWriter writer;
    TExportCounts counts;
    return writer.Open(fileName, format) && ExportRows(grid.Rows(), QDate::currentDate(), writer, counts)
        && writer.Close();
}

bool LoadCapture(TListGrid& grid, const QString& fileName)
{
    return grid.LoadRows([&](TLogRows& rows) { return LoadCaptureRows(fileName, false, rows).Complete; });
}
