#pragma once
// A text looked for in rows and decoded nodes, without regard to case. Rows
// hold UTF-8; matching the bytes directly spares a conversion per row, which
// is what keeps filtering a million rows quick. Case is folded for ASCII
// letters there (hex digits, message names); other letters match as typed.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

class TTextMatch {
public:
    TTextMatch() = default;
    explicit TTextMatch(const QString& text);

    bool IsEmpty() const { return m_text.isEmpty(); }
    const QString& Text() const { return m_text; }

    // True when the text occurs in the UTF-8 bytes; an empty text is everywhere.
    bool In(QByteArrayView utf8) const;
    bool In(QStringView text) const;
    // Where the text begins in `text`, -1 when it does not occur.
    qsizetype IndexIn(QStringView text) const;

private:
    QString m_text;
    QByteArray m_folded; // UTF-8, ASCII letters in lower case
};
