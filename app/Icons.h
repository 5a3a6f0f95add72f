#pragma once
// The program's pictures, drawn at start so the tool needs no artwork files:
// the four 32 x 32 tool-bar images, the two 16 x 16 tray images and the
// program icon.

#include <QIcon>
#include <QList>
#include <QPixmap>

enum class TToolImage { Clear = 0, Stop = 1, Save = 2, Layer2 = 3 };

// ImageList1: images 0 to 3 in the order of TToolImage.
QList<QPixmap> ToolBarImages();
// ImageList2: 0 = idle, 1 = activity.
QList<QPixmap> TrayImages();
QIcon ProgramIcon();
