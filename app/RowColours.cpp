#include "RowColours.h"

#include <QPalette>

namespace {

constexpr int kDirectionColumn = 1;

bool IsDark(const QPalette& palette)
{
    return palette.color(QPalette::Base).lightness() < 128;
}

} // namespace

TRowColours TRowColours::For(const QPalette& palette)
{
    TRowColours colours;
    if (IsDark(palette)) {
        colours.Sent = QColor(0x8A, 0xB4, 0xF8);     // light blue
        colours.Received = QColor(0x81, 0xC9, 0x95); // light green
    } else {
        colours.Sent = QColor(0x1A, 0x4F, 0xA0);     // dark blue
        colours.Received = QColor(0x1B, 0x6E, 0x2A); // dark green
    }
    // The highlight colour, thinned over the base: a tint of the selection.
    const QColor base = palette.color(QPalette::Base);
    const QColor highlight = palette.color(QPalette::Highlight);
    constexpr double kTint = 0.22;
    colours.Emphasis = QColor::fromRgbF(float(base.redF() + (highlight.redF() - base.redF()) * kTint),
                                        float(base.greenF() + (highlight.greenF() - base.greenF()) * kTint),
                                        float(base.blueF() + (highlight.blueF() - base.blueF()) * kTint));
    return colours;
}

void TTraceRowDelegate::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    const TRowColours colours = TRowColours::For(option->palette);
    const QString direction = index.sibling(index.row(), kDirectionColumn).data().toString();
    if (direction == QLatin1String("T"))
        option->palette.setColor(QPalette::Text, colours.Sent);
    else if (direction == QLatin1String("R"))
        option->palette.setColor(QPalette::Text, colours.Received);
    if (Emphasised && Emphasised(index))
        option->backgroundBrush = colours.Emphasis;
}
