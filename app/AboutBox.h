#pragma once
// The about box: product name, the file version read from the executable's
// version information, and two fixed lines. Created once, hidden; shown
// without being modal; OK only hides it.

#include <QByteArrayView>
#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;

class TAboutBox : public QDialog {
public:
    // versionInfo: the executable's version blob (empty when it has none).
    explicit TAboutBox(QByteArrayView versionInfo, QWidget* parent = nullptr);

    // Shows the dialog without making it modal and brings it to the front.
    void ShowAbout();

    QLabel* ProductName = nullptr;
    QLabel* Version = nullptr;
    QLabel* Copyright = nullptr;
    QLabel* Comments = nullptr;
    QPushButton* OKButton = nullptr;

private:
    void OKButtonClick();

    QFrame* Panel1 = nullptr;
    QLabel* ProgramIcon = nullptr;
};
