#pragma once
// Rows of column texts held compactly: one UTF-8 buffer with every field
// followed by a NUL, and one offset per row. A million trace rows cost little
// more than their text, where a string list per row would cost several times it.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <climits>
#include <cstdint>
#include <span>
#include <vector>

class TLogRows {
public:
    // Row numbers must fit the int of a view's model index.
    static constexpr qsizetype kMaxRows = INT_MAX - 1;

    qsizetype Count() const { return qsizetype(m_rowStart.size()) - 1; }
    bool IsEmpty() const { return Count() == 0; }

    // Number of texts of a row: the caption and its sub-items.
    int FieldCount(qsizetype row) const;
    // UTF-8 text of one field; empty when row or field is out of range.
    QByteArrayView Field(qsizetype row, int field) const;
    QString Text(qsizetype row, int field) const;
    // Every field of a row, each followed by a NUL; empty when out of range.
    QByteArrayView RowData(qsizetype row) const;
    QStringList Texts(qsizetype row) const;
    // -1 = no image; also for a row out of range.
    int ImageIndex(qsizetype row) const;

    // Adds a row from one line of a log file by the rules of the format: split,
    // fill up to `columns` texts, optional leading image field, "þ" back to
    // the delimiter, extra fields ignored. False when no row could be stored.
    bool AppendLine(QStringView line, QChar delimiter, int columns, bool withImage);
    // The same on the UTF-8 text of a line; `delimiter` from DelimiterUtf8.
    bool AppendLineUtf8(QByteArrayView line, QByteArrayView delimiter, int columns, bool withImage);

    // Adds a row of column texts as they are, filled with "" or cut to
    // `columns` (at least the caption is kept). U+0000, which a log file
    // cannot carry, is stored as a blank.
    bool AppendTexts(std::span<const QStringView> texts, int columns, int imageIndex = -1);
    bool AppendTexts(const QStringList& texts, int columns, int imageIndex = -1);

    void Clear(); // frees the memory as well
    void ReserveText(size_t bytes);

private:
    // Sizes before a row is added, to take a half-added row back when memory runs out.
    struct TMark {
        size_t Text;
        size_t Rows;
        size_t Images;
    };
    TMark Mark() const;
    void Rollback(const TMark& mark);

    bool CanAdd() const { return Count() < kMaxRows; }
    void AppendField(QByteArrayView utf8);
    void AppendUnescaped(QByteArrayView utf8, QByteArrayView delimiter);
    void EndRow(int imageIndex);

    std::vector<char> m_text;
    std::vector<uint64_t> m_rowStart{0};
    std::vector<int32_t> m_images; // empty while every row has no image
    std::vector<QByteArrayView> m_fields; // scratch of AppendLineUtf8
};
