#pragma once
// The ladder picture of one call: "user" on the left, "network" on the right,
// one arrow per message in trace order with its name and time. Drawn with
// QPainter, so the same drawing goes to the screen, a PNG and an SVG file.

#include <QString>
#include <QWidget>
#include <vector>

class QPainter;

struct TLadderMessage {
    QString Time;     // Time column of the row
    bool FromUser;    // sent by the user side (a "T" row)
    QString Label;    // the message name
};

class TLadderView : public QWidget {
public:
    explicit TLadderView(QWidget* parent = nullptr);

    void SetMessages(QString title, std::vector<TLadderMessage> messages);
    const std::vector<TLadderMessage>& Messages() const { return m_messages; }
    const QString& Title() const { return m_title; }

    // The whole picture's size, whatever part the widget shows.
    QSize PictureSize() const;
    // Draws the picture at the painter's origin.
    void Paint(QPainter& painter) const;
    // False when the file could not be written.
    bool SavePng(const QString& fileName) const;
    bool SaveSvg(const QString& fileName) const;

    QSize sizeHint() const override { return PictureSize(); }
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_title;
    std::vector<TLadderMessage> m_messages;
};
