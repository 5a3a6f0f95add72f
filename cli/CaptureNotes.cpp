#include "CaptureNotes.h"

#include <QTextStream>

int ReportCaptureLoad(const QString& command, const QString& fileName, const TCaptureLoad& load)
{
    QTextStream err(stderr);
    const QString prefix = QStringLiteral("vessik-cli %1: ").arg(command);
    if (!load.Opened) {
        err << prefix << "cannot read the capture file \"" << fileName << "\": " << load.Error << '\n';
        return 1;
    }
    if (load.Source)
        err << prefix << DirectionNote(*load.Source) << '\n';
    if (load.OtherLinkType > 0)
        err << prefix << load.OtherLinkType << " packets of link type " << load.LinkType
            << " skipped: only LAPD (203) and LINUX_LAPD (177) are read\n";
    if (load.TooShort > 0)
        err << prefix << load.TooShort << " packets too short for the LINUX_LAPD header skipped\n";
    if (!load.Error.isEmpty())
        err << prefix << "the capture file \"" << fileName << "\" is damaged or cut short after " << load.Rows
            << " rows: " << load.Error << '\n';
    return load.Complete ? 0 : 1;
}
