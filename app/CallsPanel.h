#pragma once
// The "Calls" panel: one line per call of the trace (call reference,
// direction of the SETUP, numbers, start, duration, cause), refreshed as rows
// arrive, and the ladder picture of the selected call with its export to PNG
// and SVG.

#include <QDockWidget>
#include <functional>

class QAbstractTableModel;
class QPushButton;
class QScrollArea;
class QTimer;
class QTreeView;
class TCallIndex;
class TCallsModel;
class TLadderView;
class TLogRows;

class TCallsPanel : public QDockWidget {
public:
    static constexpr int kRefreshMs = 250;

    TCallsPanel(const TCallIndex& calls, const TLogRows& rows, QWidget* parent = nullptr);
    ~TCallsPanel() override;

    // Takes in what the index learnt since the last refresh (done by itself
    // every kRefreshMs while the panel shows).
    void Refresh();
    // The selected call, -1 when none.
    int SelectedCall() const;
    void SelectCall(int call);

    // The user picked a call (-1: the selection went).
    std::function<void(int call)> OnSelectCall;
    // Runs a save dialog for a file with the suffix; "" when cancelled.
    std::function<QString(const QString& title, const QString& suffix)> AskFileName;

    QTreeView* lvCalls = nullptr;
    TLadderView* Ladder = nullptr;
    QPushButton* btSavePng = nullptr;
    QPushButton* btSaveSvg = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void ShowLadder(int call);
    void Export(bool svg);

    const TCallIndex& m_calls;
    const TLogRows& m_rows;
    TCallsModel* m_model = nullptr;
    QTimer* m_refresh = nullptr;
    int m_ladderCall = -1;
    size_t m_ladderRows = 0;
};

// "1:05.250" for 65 250 ms; "" for -1.
QString DurationText(int ms);
