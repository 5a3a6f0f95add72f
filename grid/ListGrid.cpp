#include "ListGrid.h"

#include "LogFile.h"
#include "RowFilterModel.h"

#include <QAbstractTableModel>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QSignalBlocker>
#include <QTimer>
#include <algorithm>
#include <climits>

namespace {

// Appended rows wait at least this long before the view learns of them: the
// view lays out all its rows on every insertion it hears of. The wait grows
// with the cost of that layout, so it never takes more than a fifth of the time.
constexpr int kAnnounceMs = 50;
constexpr int kMaxAnnounceMs = 1000;
// A cell shows at most this much of its text; a line of many megabytes would
// otherwise be converted on every repaint. Text() still gives all of it.
constexpr qsizetype kShownBytes = 8192;

QString ShownText(QByteArrayView utf8)
{
    if (utf8.size() <= kShownBytes)
        return QString::fromUtf8(utf8.data(), utf8.size());
    qsizetype cut = kShownBytes;
    while (cut > 0 && (uint8_t(utf8[cut]) & 0xC0) == 0x80)
        --cut; // not inside a UTF-8 sequence
    return QString::fromUtf8(utf8.data(), cut) + QChar(0x2026);
}

} // namespace

class TListGridModel : public QAbstractTableModel {
public:
    explicit TListGridModel(TListGrid& grid)
        : QAbstractTableModel(&grid)
        , m_grid(grid)
    {
        m_timer.setSingleShot(true);
        m_timer.setInterval(kAnnounceMs);
        QObject::connect(&m_timer, &QTimer::timeout, this, [this] { m_grid.FlushRows(); });
    }

    int rowCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : m_shown; }

    int columnCount(const QModelIndex& parent) const override
    {
        return parent.isValid() ? 0 : m_grid.ColumnCount();
    }

    QVariant data(const QModelIndex& index, int role) const override
    {
        if (!index.isValid() || index.row() >= m_shown)
            return {};
        if (m_grid.m_ownerData) {
            if (role == Qt::DisplayRole && m_grid.OnGetItemText)
                return m_grid.OnGetItemText(index.row(), index.column());
            return {};
        }
        if (role == Qt::DisplayRole)
            return ShownText(m_grid.m_rows.Field(index.row(), index.column()));
        if (role == Qt::DecorationRole && index.column() == 0) {
            const int image = m_grid.m_rows.ImageIndex(index.row());
            if (image >= 0 && image < m_grid.m_images.size())
                return m_grid.m_images.at(image);
        }
        return {};
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
            return m_grid.ColumnCaption(section);
        return {};
    }

    Qt::ItemFlags flags(const QModelIndex& index) const override
    {
        if (!index.isValid())
            return Qt::NoItemFlags;
        return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    }

    int Target() const
    {
        const qsizetype count = m_grid.m_ownerData ? m_grid.m_itemCount : m_grid.m_rows.Count();
        return int(std::min<qsizetype>(count, INT_MAX));
    }

    void RowsAdded()
    {
        if (!m_timer.isActive())
            m_timer.start();
    }

    // True when the view was told of a change.
    bool Flush()
    {
        m_timer.stop();
        const int target = Target();
        if (target < m_shown) {
            Reset();
        } else if (target > m_shown) {
            beginInsertRows({}, m_shown, target - 1);
            m_shown = target;
            endInsertRows();
        } else {
            return false;
        }
        return true;
    }

    void SetInterval(int ms) { m_timer.setInterval(ms); }

    void Reset()
    {
        m_timer.stop();
        beginResetModel();
        m_shown = Target();
        endResetModel();
    }

    void BeginAddColumn()
    {
        const int column = m_grid.ColumnCount();
        beginInsertColumns({}, column, column);
    }
    void EndAddColumn() { endInsertColumns(); }

    void TextsChanged()
    {
        if (m_shown > 0 && m_grid.ColumnCount() > 0)
            emit dataChanged(index(0, 0), index(m_shown - 1, m_grid.ColumnCount() - 1));
    }

private:
    TListGrid& m_grid;
    QTimer m_timer;
    int m_shown = 0;
};

TListGrid::TListGrid(QWidget* parent)
    : QTreeView(parent)
{
    m_model = new TListGridModel(*this);
    m_filter = new TRowFilterModel(this);
    m_filter->setSourceModel(m_model);
    setModel(m_filter);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setAnimated(false);
    header()->setStretchLastSection(false);
    header()->setSectionsMovable(false);

    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this](const QItemSelection& selected, const QItemSelection& deselected) {
                Changed();
                if (!OnSelectItem)
                    return;
                for (const QModelIndex& index : deselected.indexes())
                    if (index.column() == 0 && OnSelectItem)
                        OnSelectItem(m_filter->SourceRow(index.row()), false);
                for (const QModelIndex& index : selected.indexes())
                    if (index.column() == 0 && OnSelectItem)
                        OnSelectItem(m_filter->SourceRow(index.row()), true);
            });
}

TListGrid::~TListGrid() = default;

void TListGrid::AddColumn(const QString& caption, int width)
{
    m_model->BeginAddColumn();
    m_captions.append(caption);
    m_model->EndAddColumn();
    header()->resizeSection(ColumnCount() - 1, width);
}

void TListGrid::Changed()
{
    if (OnChange)
        OnChange();
}

qsizetype TListGrid::AddRow(QStringView line, QChar delimiter, bool withImage)
{
    if (!m_rows.AppendLine(line, delimiter, ColumnCount(), withImage))
        return -1;
    return RowStored();
}

qsizetype TListGrid::AppendRow(std::span<const QStringView> texts, int imageIndex)
{
    if (!m_rows.AppendTexts(texts, ColumnCount(), imageIndex))
        return -1;
    return RowStored();
}

qsizetype TListGrid::RowStored()
{
    if (m_ownerData && m_itemCount < m_rows.Count())
        m_itemCount = m_rows.Count();
    const qsizetype row = m_rows.Count() - 1;
    m_model->RowsAdded();
    Changed(); // may change the rows itself
    return row;
}

qsizetype TListGrid::AppendRow(const QStringList& texts, int imageIndex)
{
    QStringView views[64];
    if (texts.size() <= qsizetype(std::size(views))) {
        std::copy(texts.begin(), texts.end(), views);
        return AppendRow(std::span<const QStringView>(views, size_t(texts.size())), imageIndex);
    }
    const std::vector<QStringView> many(texts.begin(), texts.end());
    return AppendRow(std::span<const QStringView>(many), imageIndex);
}

void TListGrid::ClearRows()
{
    m_itemCount = 0;
    m_rows.Clear();
    m_model->Reset();
    Changed();
}

bool TListGrid::LoadFromFile(const QString& fileName, QChar delimiter, bool withImage)
{
    if (fileName.isEmpty() || !QFileInfo::exists(fileName))
        return false;
    return LoadRows([&](TLogRows& rows) {
        const bool loaded = LoadLog(fileName, delimiter, ColumnCount(), withImage, rows) == TLogLoad::Loaded;
        if (!loaded)
            rows.Clear();
        return loaded;
    });
}

bool TListGrid::LoadRows(const std::function<bool(TLogRows& rows)>& fill)
{
    m_itemCount = 0;
    m_rows.Clear();
    m_model->Reset();
    const bool loaded = fill(m_rows);
    if (m_ownerData)
        m_itemCount = m_rows.Count();
    m_model->Reset();
    Changed();
    return loaded;
}

bool TListGrid::SaveToFile(const QString& fileName, QChar delimiter, bool withImage) const
{
    return SaveLog(fileName, delimiter, withImage, m_rows);
}

TStoredItem TListGrid::StoredItem(qsizetype row) const
{
    TStoredItem item;
    item.Grid = this;
    if (row < 0 || row >= m_rows.Count())
        return item;
    item.ImageIndex = m_rows.ImageIndex(row);
    QStringList texts = m_rows.Texts(row);
    if (!texts.isEmpty())
        item.Caption = texts.takeFirst();
    item.SubItems = std::move(texts);
    return item;
}

qsizetype TListGrid::SelectedRow() const
{
    const QModelIndexList rows = selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : m_filter->SourceRow(rows.first().row());
}

void TListGrid::SelectRow(qsizetype row)
{
    FlushRows();
    const int shown = m_filter->ShownRow(row);
    if (shown < 0) {
        selectionModel()->clearSelection();
        return;
    }
    const QModelIndex index = m_filter->index(shown, 0);
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    scrollTo(index);
}

void TListGrid::SetRowFilter(std::function<bool(qsizetype row)> accept)
{
    FlushRows();
    const qsizetype selected = SelectedRow();
    const QModelIndex top = indexAt(QPoint(0, 0));
    const qsizetype topRow = top.isValid() ? m_filter->SourceRow(top.row()) : -1;
    m_filter->SetFilter(std::move(accept));
    // The reset dropped the selection without telling anyone; put it back.
    const int shown = m_filter->ShownRow(selected);
    if (shown >= 0) {
        const QModelIndex index = m_filter->index(shown, 0);
        const QSignalBlocker quiet(selectionModel()); // the row's decode is still right
        selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        scrollTo(index, QAbstractItemView::PositionAtCenter);
        viewport()->update();
    } else if (const int shownTop = m_filter->ShownRow(topRow); shownTop >= 0) {
        scrollTo(m_filter->index(shownTop, 0), QAbstractItemView::PositionAtTop);
    }
    Changed();
}

bool TListGrid::Filtered() const
{
    return m_filter->Filtered();
}

qsizetype TListGrid::ShownRowCount() const
{
    return m_filter->rowCount();
}

qsizetype TListGrid::StoredRowOf(qsizetype shownRow) const
{
    return shownRow > INT_MAX ? -1 : m_filter->SourceRow(int(shownRow));
}

qsizetype TListGrid::ShownRowOf(qsizetype row) const
{
    return m_filter->ShownRow(row);
}

void TListGrid::FlushRows()
{
    if (!m_model->Flush())
        return;
    QElapsedTimer timer;
    timer.start();
    executeDelayedItemsLayout();
    m_model->SetInterval(int(std::clamp<qint64>(timer.elapsed() * 4, kAnnounceMs, kMaxAnnounceMs)));
}

void TListGrid::SetImages(const QList<QIcon>& images)
{
    m_images = images;
    m_model->TextsChanged();
}

void TListGrid::SetOwnerData(bool ownerData)
{
    if (ownerData == m_ownerData)
        return;
    m_ownerData = ownerData;
    m_itemCount = ownerData ? m_rows.Count() : 0;
    m_model->Reset();
}

qsizetype TListGrid::ItemCount() const
{
    return m_ownerData ? m_itemCount : m_rows.Count();
}

void TListGrid::SetItemCount(qsizetype count)
{
    if (!m_ownerData)
        return;
    m_itemCount = std::clamp<qsizetype>(count, 0, INT_MAX);
    FlushRows();
}
