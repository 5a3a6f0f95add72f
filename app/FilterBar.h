#pragma once
// The bar above the trace list that narrows it: a text looked for in Message
// and Data, the direction, layer 3 only, and the call of the selected row.
// Typing is applied after a short pause, so a million rows are not filtered
// once per key.

#include <QWidget>
#include <functional>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QTimer;
class QToolButton;

class TFilterBar : public QWidget {
public:
    static constexpr int kTypingPauseMs = 200;

    explicit TFilterBar(QWidget* parent = nullptr);

    QString Text() const;
    // 'T', 'R', or null for both.
    QChar Direction() const;
    bool Layer3Only() const;
    bool OneCall() const;

    // Empties every choice; one change reported.
    void ClearChoices();
    // Unticks "This call" (its call is gone) without a change reported.
    void DropOneCall();
    // Shows the bar with the text field focused.
    void FocusText();

    // A choice changed (typing: after the pause).
    std::function<void()> OnChange;
    // The bar asks to be closed (Escape, its close button).
    std::function<void()> OnClose;

    QLineEdit* edtFilter = nullptr;
    QComboBox* cbDirection = nullptr;
    QCheckBox* cbLayer3 = nullptr;
    QCheckBox* cbOneCall = nullptr;
    QToolButton* btClose = nullptr;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Changed();

    QTimer* m_typing = nullptr;
    bool m_quiet = false;
};
