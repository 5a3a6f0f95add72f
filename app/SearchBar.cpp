#include "SearchBar.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QStyle>
#include <QToolButton>

TSearchBar::TSearchBar(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("SearchBar"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 2, 4, 2);

    auto* label = new QLabel(QStringLiteral("Find:"), this);
    edtSearch = new QLineEdit(this);
    edtSearch->setObjectName(QStringLiteral("edtSearch"));
    edtSearch->setPlaceholderText(QStringLiteral("text in Message, Data or the decode"));
    edtSearch->setClearButtonEnabled(true);
    label->setBuddy(edtSearch);

    btPrevious = new QToolButton(this);
    btPrevious->setObjectName(QStringLiteral("btFindPrevious"));
    btPrevious->setArrowType(Qt::UpArrow);
    btPrevious->setAutoRaise(true);
    btPrevious->setToolTip(QStringLiteral("Previous row (Shift+F3)"));
    btNext = new QToolButton(this);
    btNext->setObjectName(QStringLiteral("btFindNext"));
    btNext->setArrowType(Qt::DownArrow);
    btNext->setAutoRaise(true);
    btNext->setToolTip(QStringLiteral("Next row (F3)"));
    lblResult = new QLabel(this);
    lblResult->setObjectName(QStringLiteral("lblFindResult"));
    auto* close = new QToolButton(this);
    close->setIcon(style()->standardIcon(QStyle::SP_DialogCloseButton));
    close->setAutoRaise(true);
    close->setToolTip(QStringLiteral("Close (Escape)"));

    layout->addWidget(label);
    layout->addWidget(edtSearch, 1);
    layout->addWidget(btPrevious);
    layout->addWidget(btNext);
    layout->addWidget(lblResult);
    layout->addWidget(close);

    connect(btNext, &QToolButton::clicked, this, [this] { Find(false); });
    connect(btPrevious, &QToolButton::clicked, this, [this] { Find(true); });
    connect(edtSearch, &QLineEdit::textChanged, this, [this] { SetResult({}); });
    connect(close, &QToolButton::clicked, this, [this] {
        if (OnClose)
            OnClose();
    });
}

QString TSearchBar::Text() const
{
    return edtSearch->text();
}

void TSearchBar::FocusText()
{
    show();
    edtSearch->setFocus(Qt::ShortcutFocusReason);
    edtSearch->selectAll();
}

void TSearchBar::SetResult(const QString& text)
{
    lblResult->setText(text);
}

void TSearchBar::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && OnClose) {
        OnClose();
        return;
    }
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        Find(event->modifiers().testFlag(Qt::ShiftModifier));
        return;
    }
    QWidget::keyPressEvent(event);
}

void TSearchBar::Find(bool backwards)
{
    if (OnFind)
        OnFind(backwards);
}
