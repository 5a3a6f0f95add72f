#include "LadderView.h"

#include <QFile>
#include <QImage>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>
#include <QSvgGenerator>

#include <algorithm>

namespace {

constexpr int kMargin = 10;
constexpr int kTimeWidth = 90;  // the column of times left of the user's line
constexpr int kLaneGap = 220;   // between the user's and the network's line
constexpr int kStep = 30;       // one message
constexpr int kHead = 6;        // arrow head
constexpr int kLaneLabel = 100; // room for "user" and "network" around their lines

} // namespace

TLadderView::TLadderView(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("LadderView"));
    setBackgroundRole(QPalette::Base);
    setAutoFillBackground(true);
}

void TLadderView::SetMessages(QString title, std::vector<TLadderMessage> messages)
{
    m_title = std::move(title);
    m_messages = std::move(messages);
    updateGeometry();
    resize(PictureSize().expandedTo(size()));
    update();
}

QSize TLadderView::PictureSize() const
{
    const int lines = fontMetrics().height();
    const int height = kMargin + lines * 2 + kStep * int(m_messages.size()) + kStep / 2 + kMargin;
    const int width = kMargin + kTimeWidth + kLaneGap + kLaneLabel / 2 + kMargin;
    return {std::max(width, fontMetrics().horizontalAdvance(m_title) + 2 * kMargin), height};
}

QSize TLadderView::minimumSizeHint() const
{
    return {kMargin * 2 + kTimeWidth + kLaneGap, fontMetrics().height() * 3};
}

void TLadderView::Paint(QPainter& painter) const
{
    const QPalette colours = palette();
    const QFontMetrics metrics(font());
    painter.setFont(font());
    painter.setRenderHint(QPainter::Antialiasing, true);
    const QSize size = PictureSize();
    painter.fillRect(QRect(QPoint(0, 0), size), colours.color(QPalette::Base));
    if (m_messages.empty() && m_title.isEmpty()) {
        painter.setPen(colours.color(QPalette::PlaceholderText));
        painter.drawText(QRect(QPoint(0, 0), size), Qt::AlignCenter, QStringLiteral("Pick a call to see its messages"));
        return;
    }

    const int user = kMargin + kTimeWidth;
    const int network = user + kLaneGap;
    const int lines = metrics.height();
    int y = kMargin;
    painter.setPen(colours.color(QPalette::Text));
    painter.drawText(QRect(kMargin, y, size.width() - 2 * kMargin, lines), Qt::AlignLeft, m_title);
    y += lines;
    painter.drawText(QRect(user - kLaneLabel / 2, y, kLaneLabel, lines), Qt::AlignCenter, QStringLiteral("user"));
    painter.drawText(QRect(network - kLaneLabel / 2, y, kLaneLabel, lines), Qt::AlignCenter,
                     QStringLiteral("network"));
    y += lines;
    const int bottom = y + kStep * int(m_messages.size()) + kStep / 2;
    painter.setPen(QPen(colours.color(QPalette::Mid), 2));
    painter.drawLine(user, y, user, bottom);
    painter.drawLine(network, y, network, bottom);

    for (const TLadderMessage& message : m_messages) {
        y += kStep;
        const int from = message.FromUser ? user : network;
        const int to = message.FromUser ? network : user;
        const int sign = to > from ? 1 : -1;
        painter.setPen(colours.color(QPalette::Text));
        painter.drawText(QRect(kMargin, y - lines, kTimeWidth - 8, lines), Qt::AlignRight | Qt::AlignVCenter,
                         message.Time);
        painter.drawText(QRect(user + 4, y - lines - 2, kLaneGap - 8, lines), Qt::AlignCenter,
                         metrics.elidedText(message.Label, Qt::ElideRight, kLaneGap - 8));
        painter.setPen(QPen(colours.color(QPalette::Text), 1.5));
        painter.drawLine(from, y, to - sign * kHead, y);
        QPainterPath head;
        head.moveTo(to, y);
        head.lineTo(to - sign * kHead * 2, y - kHead);
        head.lineTo(to - sign * kHead * 2, y + kHead);
        head.closeSubpath();
        painter.fillPath(head, colours.color(QPalette::Text));
    }
}

void TLadderView::paintEvent(QPaintEvent* /*event*/)
{
    QPainter painter(this);
    Paint(painter);
}

bool TLadderView::SavePng(const QString& fileName) const
{
    QImage image(PictureSize(), QImage::Format_ARGB32_Premultiplied);
    image.fill(palette().color(QPalette::Base));
    {
        QPainter painter(&image);
        Paint(painter);
    }
    return image.save(fileName, "PNG");
}

bool TLadderView::SaveSvg(const QString& fileName) const
{
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QSvgGenerator generator;
    generator.setOutputDevice(&file);
    generator.setSize(PictureSize());
    generator.setViewBox(QRect(QPoint(0, 0), PictureSize()));
    generator.setTitle(m_title);
    {
        QPainter painter;
        if (!painter.begin(&generator))
            return false;
        Paint(painter);
        painter.end();
    }
    return file.error() == QFileDevice::NoError;
}
