#include "Icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <cmath>

namespace {

constexpr QColor kInk(40, 48, 64);
constexpr QColor kPaper(250, 250, 246);
constexpr QColor kWire(30, 110, 190);
constexpr QColor kAlert(200, 40, 40);
constexpr QColor kActive(40, 170, 70);

QPixmap Canvas(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

// A sheet of trace paper with hex-like lines; used by Clear and Save.
void DrawSheet(QPainter& p, const QRectF& r)
{
    p.setPen(QPen(kInk, 1.2));
    p.setBrush(kPaper);
    p.drawRect(r);
    p.setPen(QPen(kWire, 1.6));
    for (qreal y = r.top() + 5; y < r.bottom() - 3; y += 4.5)
        p.drawLine(QPointF(r.left() + 4, y), QPointF(r.right() - 4, y));
}

QPixmap DrawClear()
{
    QPixmap pixmap = Canvas(32);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    DrawSheet(p, QRectF(5.5, 3.5, 18, 24));
    // A broom-like eraser across the sheet.
    p.setPen(QPen(kAlert, 3.5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(13, 14), QPointF(27, 28));
    p.drawLine(QPointF(27, 14), QPointF(13, 28));
    return pixmap;
}

QPixmap DrawStop()
{
    QPixmap pixmap = Canvas(32);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QPolygonF octagon;
    for (int i = 0; i < 8; ++i) {
        const qreal a = (22.5 + 45.0 * i) * 3.14159265358979 / 180.0;
        octagon << QPointF(16 + 13 * std::cos(a), 16 + 13 * std::sin(a));
    }
    p.setPen(QPen(kInk, 1.2));
    p.setBrush(kAlert);
    p.drawPolygon(octagon);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(10, 10, 4.5, 12));
    p.drawRect(QRectF(17.5, 10, 4.5, 12));
    return pixmap;
}

QPixmap DrawSave()
{
    QPixmap pixmap = Canvas(32);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    // A floppy disk.
    QPainterPath disk;
    disk.moveTo(4.5, 4.5);
    disk.lineTo(24, 4.5);
    disk.lineTo(27.5, 8);
    disk.lineTo(27.5, 27.5);
    disk.lineTo(4.5, 27.5);
    disk.closeSubpath();
    p.setPen(QPen(kInk, 1.2));
    p.setBrush(kWire);
    p.drawPath(disk);
    p.setBrush(kPaper);
    p.drawRect(QRectF(9.5, 4.5, 13, 8));
    p.setBrush(QColor(60, 70, 90));
    p.drawRect(QRectF(18, 6, 3, 5));
    p.setBrush(kPaper);
    p.drawRect(QRectF(8.5, 16.5, 15, 11));
    p.setPen(QPen(kInk, 1));
    for (qreal y = 20; y < 27; y += 3)
        p.drawLine(QPointF(11, y), QPointF(21, y));
    return pixmap;
}

QPixmap DrawLayer2()
{
    QPixmap pixmap = Canvas(32);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    // Two stacked layers with the lower one highlighted, and a "2".
    p.setPen(QPen(kInk, 1.2));
    p.setBrush(QColor(200, 215, 235));
    p.drawPolygon(QPolygonF({QPointF(3, 7.5), QPointF(16, 2.5), QPointF(29, 7.5), QPointF(16, 12.5)}));
    p.setBrush(kWire);
    p.drawPolygon(QPolygonF({QPointF(3, 13), QPointF(16, 8), QPointF(29, 13), QPointF(16, 18)}));
    QFont font;
    font.setPixelSize(13);
    font.setBold(true);
    p.setFont(font);
    p.setPen(kInk);
    p.drawText(QRectF(0, 19, 32, 13), Qt::AlignCenter, QStringLiteral("L2"));
    return pixmap;
}

// The tray image: a small trace line; the activity image lights it up.
QPixmap DrawTray(bool active)
{
    QPixmap pixmap = Canvas(16);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(kInk, 1));
    p.setBrush(active ? kActive : QColor(150, 160, 175));
    p.drawRoundedRect(QRectF(0.5, 0.5, 15, 15), 3, 3);
    p.setPen(QPen(active ? Qt::white : kInk, 1.6));
    p.drawPolyline(QPolygonF({QPointF(2, 9), QPointF(5, 9), QPointF(7, 4), QPointF(9, 12), QPointF(11, 7),
                              QPointF(14, 7)}));
    return pixmap;
}

QPixmap DrawProgram(int size)
{
    QPixmap pixmap = Canvas(size);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 32.0, size / 32.0);
    p.setPen(QPen(kInk, 1.2));
    p.setBrush(kWire);
    p.drawRoundedRect(QRectF(1.5, 1.5, 29, 29), 5, 5);
    p.setPen(QPen(Qt::white, 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPolyline(QPolygonF({QPointF(5, 17), QPointF(10, 17), QPointF(13, 8), QPointF(18, 25), QPointF(21, 13),
                              QPointF(27, 13)}));
    return pixmap;
}

} // namespace

QList<QPixmap> ToolBarImages()
{
    return {DrawClear(), DrawStop(), DrawSave(), DrawLayer2()};
}

QList<QPixmap> TrayImages()
{
    return {DrawTray(false), DrawTray(true)};
}

QIcon ProgramIcon()
{
    QIcon icon;
    for (int size : {16, 32, 48, 64})
        icon.addPixmap(DrawProgram(size));
    return icon;
}
