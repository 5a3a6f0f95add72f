#pragma once
// The trace list: a list in report mode whose every row is a stored row, so
// what the user sees is what "Save" writes and "Clear" removes. Rows live in
// a compact TLogRows and reach the view through a model, which keeps a million
// rows cheap; appended rows are announced to the view in batches so a live
// trace does not lay out the whole list once per row.

#include "LogRows.h"

#include <QIcon>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <QTreeView>
#include <functional>
#include <span>

class TListGrid;
class TListGridModel;
class TRowFilterModel;

// One stored row, as a value: its texts and image number.
struct TStoredItem {
    const TListGrid* Grid = nullptr; // the grid that holds the row
    int ImageIndex = -1;             // -1 = no image
    QString Caption;                 // first column
    QStringList SubItems;            // second and later columns
};

class TListGrid : public QTreeView {
public:
    explicit TListGrid(QWidget* parent = nullptr);
    ~TListGrid() override;

    // Columns; a row gets one text per column that exists when it is added.
    void AddColumn(const QString& caption, int width);
    int ColumnCount() const { return int(m_captions.size()); }
    QString ColumnCaption(int column) const { return m_captions.value(column); }

    // Adds a row from one delimited line: missing texts are "", texts beyond
    // the last column are dropped, "þ" becomes the delimiter, and with
    // `withImage` the first field is the image number. Returns the new row,
    // or -1 when no row could be stored.
    qsizetype AddRow(QStringView line, QChar delimiter, bool withImage);
    // Adds a row from its column texts as they are (a live trace row).
    qsizetype AppendRow(std::span<const QStringView> texts, int imageIndex = -1);
    qsizetype AppendRow(const QStringList& texts, int imageIndex = -1);
    // Removes every row.
    void ClearRows();
    // Replaces the rows by those of a log file. False, with the rows left as
    // they were, when no such file exists; false with no rows when it cannot
    // be read.
    bool LoadFromFile(const QString& fileName, QChar delimiter, bool withImage);
    // Replaces the rows by those `fill` stores (a file of another format);
    // the view hears of them once, when all are in. Returns what fill returns.
    bool LoadRows(const std::function<bool(TLogRows& rows)>& fill);
    // Writes every row, in order. False when the file cannot be written; an
    // existing file is then left as it was.
    bool SaveToFile(const QString& fileName, QChar delimiter, bool withImage) const;

    qsizetype RowCount() const { return m_rows.Count(); }
    TStoredItem StoredItem(qsizetype row) const;
    QString Text(qsizetype row, int column) const { return m_rows.Text(row, column); }
    int ImageIndex(qsizetype row) const { return m_rows.ImageIndex(row); }
    const TLogRows& Rows() const { return m_rows; }

    // The selected row, -1 when none.
    qsizetype SelectedRow() const;
    // Selects a stored row; clears the selection when it is not shown.
    void SelectRow(qsizetype row);

    // Shows only the rows `accept` takes (stored row numbers); an empty filter
    // shows every row. The selected row stays selected while it still shows;
    // clearing the filter brings the list back at the same row.
    void SetRowFilter(std::function<bool(qsizetype row)> accept);
    bool Filtered() const;
    // Rows the view shows; stored row of a shown one and back (-1: none, hidden).
    qsizetype ShownRowCount() const;
    qsizetype StoredRowOf(qsizetype shownRow) const;
    qsizetype ShownRowOf(qsizetype row) const;
    // Shows rows added since the view last learnt of them (done by itself
    // shortly after they were added).
    void FlushRows();

    // Images of the first column, by image number; none by default.
    void SetImages(const QList<QIcon>& images);

    // Owner-data mode: the grid still stores rows and keeps the item count,
    // but the texts the view shows come from OnGetItemText.
    bool OwnerData() const { return m_ownerData; }
    void SetOwnerData(bool ownerData);
    qsizetype ItemCount() const;
    void SetItemCount(qsizetype count);

    // Events; unassigned ones are skipped.
    std::function<void()> OnChange; // rows added, cleared or loaded, or the selection changed
    std::function<void(qsizetype row, bool selected)> OnSelectItem;
    std::function<QString(qsizetype row, int column)> OnGetItemText; // owner-data mode

private:
    friend class TListGridModel;
    void Changed();
    // After a row was stored at the end: item count, view and events; its row number.
    qsizetype RowStored();

    TLogRows m_rows;
    QStringList m_captions;
    QList<QIcon> m_images;
    bool m_ownerData = false;
    qsizetype m_itemCount = 0; // owner-data mode
    TListGridModel* m_model = nullptr;
    TRowFilterModel* m_filter = nullptr;
};
