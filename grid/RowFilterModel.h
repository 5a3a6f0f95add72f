#pragma once
// The rows of the trace list that the view shows: every stored row, or the
// rows a filter accepts. A proxy over the grid's model that keeps only the
// numbers of the rows shown, so filtering a million rows copies no text.

#include <QAbstractProxyModel>
#include <functional>
#include <vector>

class TRowFilterModel : public QAbstractProxyModel {
public:
    // Takes a stored row number; true when the row is to be shown.
    using TAccept = std::function<bool(qsizetype row)>;

    explicit TRowFilterModel(QObject* parent = nullptr);

    void setSourceModel(QAbstractItemModel* source) override;

    // Applies a filter to every row (and to rows that arrive later); an empty
    // one shows every row. The view hears of it as one reset.
    void SetFilter(TAccept accept);
    bool Filtered() const { return bool(m_accept); }

    // Stored row of a shown row, -1 when out of range.
    qsizetype SourceRow(int row) const;
    // Shown row of a stored row, -1 when the filter hides it.
    int ShownRow(qsizetype sourceRow) const;

    QModelIndex mapToSource(const QModelIndex& proxyIndex) const override;
    QModelIndex mapFromSource(const QModelIndex& sourceIndex) const override;
    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    bool hasChildren(const QModelIndex& parent = {}) const override;
    // Columns are the source's, shown or not.
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    void Refilter();
    void SourceRowsAboutToBeInserted(int first, int last);
    void SourceRowsInserted(int first, int last);

    TAccept m_accept;
    std::vector<int> m_rows; // stored rows shown, ascending; used while filtered
    QList<QMetaObject::Connection> m_connections;
};
