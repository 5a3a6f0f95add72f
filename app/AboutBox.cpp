#include "AboutBox.h"

#include "Icons.h"
#include "VersionInfo.h"

#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

namespace {

QLabel* BoldLabel(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    QFont font = label->font();
    font.setPointSize(12);
    font.setBold(true);
    label->setFont(font);
    return label;
}

} // namespace

TAboutBox::TAboutBox(QByteArrayView versionInfo, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint
                          | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("AboutBox"));
    setWindowTitle(QStringLiteral("Info"));
    setModal(false);
    setFixedSize(298, 213);

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(8, 8, 281, 161);
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Panel1->setLineWidth(2);

    ProgramIcon = new QLabel(Panel1);
    ProgramIcon->setObjectName(QStringLiteral("ProgramIcon"));
    ProgramIcon->setGeometry(24, 16, 32, 32);
    ProgramIcon->setScaledContents(true);
    ProgramIcon->setPixmap(::ProgramIcon().pixmap(32, 32));

    ProductName = BoldLabel(QStringLiteral("Vessik"), Panel1);
    ProductName->setObjectName(QStringLiteral("ProductName"));
    ProductName->move(88, 16);
    ProductName->adjustSize();

    Version = BoldLabel(VersionText(versionInfo), Panel1);
    Version->setObjectName(QStringLiteral("Version"));
    Version->setGeometry(88, 40, 281 - 88 - 8, Version->sizeHint().height());

    Copyright = new QLabel(QStringLiteral("D-channel trace for CAPI 2.0 ISDN controllers"), Panel1);
    Copyright->setObjectName(QStringLiteral("Copyright"));
    Copyright->setGeometry(8, 80, 281 - 16, Copyright->sizeHint().height());

    Comments = new QLabel(QStringLiteral("Vessik is only functional with ISDN-cards from AVM."), Panel1);
    Comments->setObjectName(QStringLiteral("Comments"));
    Comments->setWordWrap(true);
    Comments->setGeometry(8, 112, 255, Comments->heightForWidth(255));

    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setGeometry(111, 180, 75, 25);
    OKButton->setDefault(true);
    connect(OKButton, &QPushButton::clicked, this, [this] { OKButtonClick(); });
}

void TAboutBox::ShowAbout()
{
    if (!isVisible()) {
        if (const QScreen* screen = QGuiApplication::primaryScreen())
            move(screen->availableGeometry().center() - rect().center());
    }
    show();
    raise();
    activateWindow();
}

void TAboutBox::OKButtonClick()
{
    hide();
}
