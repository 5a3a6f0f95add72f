#pragma once
// The find bar (Ctrl+F): a text looked for in the rows shown, in their Message
// and Data and in their decode. Enter or F3 finds the next row, Shift+Enter or
// Shift+F3 the previous one; Escape closes the bar.

#include <QWidget>
#include <functional>

class QLabel;
class QLineEdit;
class QToolButton;

class TSearchBar : public QWidget {
public:
    explicit TSearchBar(QWidget* parent = nullptr);

    QString Text() const;
    void FocusText();
    // "" or a short word on the result ("not found").
    void SetResult(const QString& text);

    std::function<void(bool backwards)> OnFind;
    std::function<void()> OnClose;

    QLineEdit* edtSearch = nullptr;
    QToolButton* btNext = nullptr;
    QToolButton* btPrevious = nullptr;
    QLabel* lblResult = nullptr;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Find(bool backwards);
};
