#include "RowFilterModel.h"

#include <algorithm>

TRowFilterModel::TRowFilterModel(QObject* parent)
    : QAbstractProxyModel(parent)
{
}

void TRowFilterModel::setSourceModel(QAbstractItemModel* source)
{
    beginResetModel();
    for (const QMetaObject::Connection& connection : m_connections)
        disconnect(connection);
    m_connections.clear();
    QAbstractProxyModel::setSourceModel(source);
    if (source != nullptr) {
        // The grid's model only appends rows, resets, adds columns and
        // changes texts; nothing else needs following.
        m_connections << connect(source, &QAbstractItemModel::rowsAboutToBeInserted, this,
                                 [this](const QModelIndex&, int first, int last) {
                                     SourceRowsAboutToBeInserted(first, last);
                                 });
        m_connections << connect(source, &QAbstractItemModel::rowsInserted, this,
                                 [this](const QModelIndex&, int first, int last) { SourceRowsInserted(first, last); });
        m_connections << connect(source, &QAbstractItemModel::modelAboutToBeReset, this,
                                 [this] { beginResetModel(); });
        m_connections << connect(source, &QAbstractItemModel::modelReset, this, [this] {
            Refilter();
            endResetModel();
        });
        m_connections << connect(source, &QAbstractItemModel::columnsAboutToBeInserted, this,
                                 [this](const QModelIndex&, int first, int last) {
                                     beginInsertColumns({}, first, last);
                                 });
        m_connections << connect(source, &QAbstractItemModel::columnsInserted, this,
                                 [this] { endInsertColumns(); });
        m_connections << connect(source, &QAbstractItemModel::dataChanged, this, [this] {
            if (rowCount() > 0 && columnCount() > 0)
                emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
        });
        m_connections << connect(source, &QAbstractItemModel::headerDataChanged, this,
                                 &QAbstractItemModel::headerDataChanged);
    }
    Refilter();
    endResetModel();
}

void TRowFilterModel::SetFilter(TAccept accept)
{
    beginResetModel();
    m_accept = std::move(accept);
    Refilter();
    endResetModel();
}

void TRowFilterModel::Refilter()
{
    m_rows.clear();
    if (!m_accept || sourceModel() == nullptr)
        return;
    const int count = sourceModel()->rowCount();
    for (int row = 0; row < count; ++row)
        if (m_accept(row))
            m_rows.push_back(row);
    m_rows.shrink_to_fit();
}

void TRowFilterModel::SourceRowsAboutToBeInserted(int first, int last)
{
    if (!m_accept)
        beginInsertRows({}, first, last);
}

void TRowFilterModel::SourceRowsInserted(int first, int last)
{
    if (!m_accept) {
        endInsertRows();
        return;
    }
    std::vector<int> accepted;
    for (int row = first; row <= last; ++row)
        if (m_accept(row))
            accepted.push_back(row);
    if (accepted.empty())
        return;
    const int at = int(m_rows.size());
    beginInsertRows({}, at, at + int(accepted.size()) - 1);
    m_rows.insert(m_rows.end(), accepted.begin(), accepted.end());
    endInsertRows();
}

qsizetype TRowFilterModel::SourceRow(int row) const
{
    if (row < 0 || row >= rowCount())
        return -1;
    return m_accept ? m_rows[size_t(row)] : row;
}

int TRowFilterModel::ShownRow(qsizetype sourceRow) const
{
    if (sourceModel() == nullptr || sourceRow < 0 || sourceRow >= sourceModel()->rowCount())
        return -1;
    if (!m_accept)
        return int(sourceRow);
    const auto it = std::lower_bound(m_rows.begin(), m_rows.end(), int(sourceRow));
    return it != m_rows.end() && *it == sourceRow ? int(it - m_rows.begin()) : -1;
}

QModelIndex TRowFilterModel::mapToSource(const QModelIndex& proxyIndex) const
{
    if (!proxyIndex.isValid() || sourceModel() == nullptr)
        return {};
    const qsizetype row = SourceRow(proxyIndex.row());
    return row < 0 ? QModelIndex() : sourceModel()->index(int(row), proxyIndex.column());
}

QModelIndex TRowFilterModel::mapFromSource(const QModelIndex& sourceIndex) const
{
    if (!sourceIndex.isValid())
        return {};
    const int row = ShownRow(sourceIndex.row());
    return row < 0 ? QModelIndex() : index(row, sourceIndex.column());
}

QModelIndex TRowFilterModel::index(int row, int column, const QModelIndex& parent) const
{
    if (parent.isValid() || row < 0 || column < 0 || row >= rowCount() || column >= columnCount())
        return {};
    return createIndex(row, column);
}

QModelIndex TRowFilterModel::parent(const QModelIndex&) const
{
    return {};
}

int TRowFilterModel::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid() || sourceModel() == nullptr)
        return 0;
    return m_accept ? int(m_rows.size()) : sourceModel()->rowCount();
}

int TRowFilterModel::columnCount(const QModelIndex& parent) const
{
    if (parent.isValid() || sourceModel() == nullptr)
        return 0;
    return sourceModel()->columnCount();
}

bool TRowFilterModel::hasChildren(const QModelIndex& parent) const
{
    return !parent.isValid() && rowCount() > 0;
}

QVariant TRowFilterModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (sourceModel() == nullptr || orientation != Qt::Horizontal)
        return {};
    return sourceModel()->headerData(section, orientation, role);
}
