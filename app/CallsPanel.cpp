#include "CallsPanel.h"

#include "CallIndex.h"
#include "FrameDecoder.h"
#include "FrameKeys.h"
#include "LadderView.h"
#include "LogRows.h"
#include "TraceLine.h"

#include <QAbstractTableModel>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QPushButton>
#include <QScrollArea>
#include <QSplitter>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>

namespace {

constexpr const char* kCaptions[] = {"Call", "Dir", "Calling", "Called", "Start", "Duration", "Cause"};
constexpr int kColumns = int(std::size(kCaptions));

} // namespace

QString DurationText(int ms)
{
    if (ms < 0)
        return {};
    const int minutes = ms / 60000;
    const int seconds = ms / 1000 % 60;
    return QStringLiteral("%1:%2.%3")
        .arg(minutes)
        .arg(seconds, 2, 10, QLatin1Char('0'))
        .arg(ms % 1000, 3, 10, QLatin1Char('0'));
}

class TCallsModel : public QAbstractTableModel {
public:
    TCallsModel(const TCallIndex& calls, QObject* parent)
        : QAbstractTableModel(parent)
        , m_calls(calls)
    {
    }

    int rowCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : m_shown; }
    int columnCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : kColumns; }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < kColumns)
            return QString::fromLatin1(kCaptions[section]);
        return {};
    }

    QVariant data(const QModelIndex& index, int role) const override
    {
        if (!index.isValid() || index.row() >= m_shown || size_t(index.row()) >= m_calls.Calls().size())
            return {};
        const TCall& call = m_calls.Calls()[size_t(index.row())];
        if (role == Qt::ToolTipRole)
            return QStringLiteral("%1 rows").arg(call.Rows.size());
        if (role != Qt::DisplayRole)
            return {};
        switch (index.column()) {
        case 0: // as the summary shows it
            return QStringLiteral("%1").arg(call.CallReference, 2, 16, QLatin1Char('0')).toUpper();
        case 1:
            return call.SetupDirection.isNull() ? QString() : QString(call.SetupDirection);
        case 2:
            return call.Calling;
        case 3:
            return call.Called;
        case 4:
            return call.Start;
        case 5:
            return DurationText(call.DurationMs());
        default:
            return call.Cause;
        }
    }

    // Follows the index: new calls are inserted, known ones repainted.
    void Refresh()
    {
        if (m_generation == m_calls.Generation())
            return;
        m_generation = m_calls.Generation();
        const int count = int(m_calls.Calls().size());
        if (count < m_shown) {
            beginResetModel();
            m_shown = count;
            endResetModel();
            return;
        }
        if (m_shown > 0)
            emit dataChanged(index(0, 0), index(m_shown - 1, kColumns - 1));
        if (count > m_shown) {
            beginInsertRows({}, m_shown, count - 1);
            m_shown = count;
            endInsertRows();
        }
    }

private:
    const TCallIndex& m_calls;
    int m_shown = 0;
    uint64_t m_generation = ~uint64_t(0);
};

TCallsPanel::TCallsPanel(const TCallIndex& calls, const TLogRows& rows, QWidget* parent)
    : QDockWidget(QStringLiteral("Calls"), parent)
    , m_calls(calls)
    , m_rows(rows)
{
    setObjectName(QStringLiteral("CallsPanel"));
    auto* body = new QSplitter(Qt::Vertical, this);
    body->setObjectName(QStringLiteral("CallsSplitter"));

    m_model = new TCallsModel(calls, this);
    lvCalls = new QTreeView(body);
    lvCalls->setObjectName(QStringLiteral("lvCalls"));
    lvCalls->setModel(m_model);
    lvCalls->setRootIsDecorated(false);
    lvCalls->setUniformRowHeights(true);
    lvCalls->setAllColumnsShowFocus(true);
    lvCalls->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvCalls->setSelectionMode(QAbstractItemView::SingleSelection);
    lvCalls->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvCalls->header()->setStretchLastSection(true);
    for (int column : {0, 1})
        lvCalls->header()->resizeSection(column, 40);
    connect(lvCalls->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        const int call = SelectedCall();
        ShowLadder(call);
        if (OnSelectCall)
            OnSelectCall(call);
    });

    auto* pictureBox = new QWidget(body);
    auto* pictureLayout = new QVBoxLayout(pictureBox);
    pictureLayout->setContentsMargins(0, 0, 0, 0);
    auto* scroll = new QScrollArea(pictureBox);
    Ladder = new TLadderView;
    scroll->setWidget(Ladder);
    scroll->setWidgetResizable(false);
    scroll->setBackgroundRole(QPalette::Base);
    auto* buttons = new QHBoxLayout;
    btSavePng = new QPushButton(QStringLiteral("Save PNG…"), pictureBox);
    btSavePng->setObjectName(QStringLiteral("btSavePng"));
    btSaveSvg = new QPushButton(QStringLiteral("Save SVG…"), pictureBox);
    btSaveSvg->setObjectName(QStringLiteral("btSaveSvg"));
    btSavePng->setEnabled(false);
    btSaveSvg->setEnabled(false);
    buttons->addStretch(1);
    buttons->addWidget(btSavePng);
    buttons->addWidget(btSaveSvg);
    pictureLayout->addWidget(scroll, 1);
    pictureLayout->addLayout(buttons);
    connect(btSavePng, &QPushButton::clicked, this, [this] { Export(false); });
    connect(btSaveSvg, &QPushButton::clicked, this, [this] { Export(true); });

    body->addWidget(lvCalls);
    body->addWidget(pictureBox);
    body->setStretchFactor(0, 1);
    body->setStretchFactor(1, 2);
    setWidget(body);

    m_refresh = new QTimer(this);
    m_refresh->setInterval(kRefreshMs);
    connect(m_refresh, &QTimer::timeout, this, [this] { Refresh(); });
}

TCallsPanel::~TCallsPanel() = default;

void TCallsPanel::showEvent(QShowEvent* event)
{
    Refresh();
    m_refresh->start();
    QDockWidget::showEvent(event);
}

void TCallsPanel::hideEvent(QHideEvent* event)
{
    m_refresh->stop();
    QDockWidget::hideEvent(event);
}

void TCallsPanel::Refresh()
{
    m_model->Refresh();
    // The ladder's call went with a Clear, or got new messages.
    if (m_ladderCall >= int(m_calls.Calls().size()))
        ShowLadder(-1);
    else if (m_ladderCall >= 0 && m_calls.Calls()[size_t(m_ladderCall)].Rows.size() != m_ladderRows)
        ShowLadder(m_ladderCall);
}

int TCallsPanel::SelectedCall() const
{
    const QModelIndexList rows = lvCalls->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void TCallsPanel::SelectCall(int call)
{
    m_model->Refresh();
    if (call < 0 || call >= m_model->rowCount({})) {
        lvCalls->selectionModel()->clearSelection();
        return;
    }
    const QModelIndex index = m_model->index(call, 0);
    lvCalls->selectionModel()->setCurrentIndex(index,
                                               QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    lvCalls->scrollTo(index);
}

void TCallsPanel::ShowLadder(int call)
{
    m_ladderCall = call;
    std::vector<TLadderMessage> messages;
    QString title;
    if (call >= 0 && size_t(call) < m_calls.Calls().size()) {
        const TCall& c = m_calls.Calls()[size_t(call)];
        m_ladderRows = c.Rows.size();
        title = QStringLiteral("Call %1").arg(QStringLiteral("%1").arg(c.CallReference, 2, 16, QLatin1Char('0')).toUpper());
        if (!c.Calling.isEmpty() || !c.Called.isEmpty())
            title += QStringLiteral(": %1 \u2192 %2").arg(c.Calling, c.Called);
        if (!c.Cause.isEmpty())
            title += QStringLiteral(" (%1)").arg(c.Cause);
        messages.reserve(c.Rows.size());
        for (const qsizetype row : c.Rows) {
            const QByteArray octets = ParseDataColumn(m_rows.Field(row, TCallIndex::kDataColumn));
            const TFrameKeys keys
                = FrameKeys(reinterpret_cast<const uint8_t*>(octets.constData()), uint32_t(octets.size()), false);
            const QByteArrayView direction = m_rows.Field(row, TCallIndex::kDirectionColumn);
            messages.push_back({m_rows.Text(row, TCallIndex::kTimeColumn), direction == "T",
                                MessageTypeName(keys.MessageType)});
        }
    } else {
        m_ladderRows = 0;
    }
    Ladder->SetMessages(title, std::move(messages));
    btSavePng->setEnabled(call >= 0);
    btSaveSvg->setEnabled(call >= 0);
}

void TCallsPanel::Export(bool svg)
{
    if (!AskFileName)
        return;
    const QString file = svg ? AskFileName(QStringLiteral("Save ladder as SVG"), QStringLiteral("svg"))
                             : AskFileName(QStringLiteral("Save ladder as PNG"), QStringLiteral("png"));
    if (file.isEmpty())
        return;
    if (svg)
        Ladder->SaveSvg(file);
    else
        Ladder->SavePng(file);
}
