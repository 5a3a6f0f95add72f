#pragma once
// Colours of the trace list: sent and received rows in two text colours, the
// rows of the call in view on a tinted background. The colours are picked for
// the palette in use, so they read on light and on dark desktops alike.

#include <QColor>
#include <QStyledItemDelegate>
#include <functional>

class QPalette;

struct TRowColours {
    QColor Sent;
    QColor Received;
    QColor Emphasis; // background of the rows of the call in view

    static TRowColours For(const QPalette& palette);
};

class TTraceRowDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    // Whether the row of a view index belongs to the call in view.
    std::function<bool(const QModelIndex& index)> Emphasised;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;
};
