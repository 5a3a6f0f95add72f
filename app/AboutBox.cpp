#include "AboutBox.h"

#include "Icons.h"
#include "VersionInfo.h"

#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

#include <algorithm>

namespace {

constexpr int kDialogWidth = 298;
constexpr int kDialogHeight = 213;
constexpr int kPanelWidth = 281;
constexpr int kLabelLeft = 88;
constexpr int kTextLeft = 8;

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

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Panel1->setLineWidth(2);

    ProgramIcon = new QLabel(Panel1);
    ProgramIcon->setObjectName(QStringLiteral("ProgramIcon"));
    ProgramIcon->setGeometry(24, 16, 32, 32);
    ProgramIcon->setScaledContents(true);
    ProgramIcon->setPixmap(::ProgramIcon().pixmap(32, 32));

    ProductName = BoldLabel(QStringLiteral("Vessik"), Panel1);
    ProductName->setObjectName(QStringLiteral("ProductName"));
    Version = BoldLabel(VersionText(versionInfo), Panel1);
    Version->setObjectName(QStringLiteral("Version"));
    Copyright = new QLabel(QStringLiteral("D-channel trace for CAPI 2.0"), Panel1);
    Copyright->setObjectName(QStringLiteral("Copyright"));
    Comments = new QLabel(QStringLiteral("Vessik is only functional with ISDN-cards from AVM."), Panel1);
    Comments->setObjectName(QStringLiteral("Comments"));
    Comments->setWordWrap(true);

    // The layout is drawn for a small dialog font; where the desktop's font
    // needs more room (the version fallback in 12-point bold does), the
    // dialog grows to the right instead of cutting the text off.
    const int needed = std::max({kLabelLeft + ProductName->sizeHint().width(),
                                 kLabelLeft + Version->sizeHint().width(),
                                 kTextLeft + Copyright->sizeHint().width()})
                       + kTextLeft;
    const int extra = std::max(0, needed - kPanelWidth);
    const int panelWidth = kPanelWidth + extra;
    setFixedSize(kDialogWidth + extra, kDialogHeight);
    Panel1->setGeometry(8, 8, panelWidth, 161);
    ProductName->setGeometry(kLabelLeft, 16, panelWidth - kLabelLeft - kTextLeft, ProductName->sizeHint().height());
    Version->setGeometry(kLabelLeft, 40, panelWidth - kLabelLeft - kTextLeft, Version->sizeHint().height());
    Copyright->setGeometry(kTextLeft, 80, panelWidth - 2 * kTextLeft, Copyright->sizeHint().height());
    Comments->setGeometry(kTextLeft, 112, 255, Comments->heightForWidth(255));

    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setGeometry(111 + extra / 2, 180, 75, 25);
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
