#include "FilterBar.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QStyle>
#include <QTimer>
#include <QToolButton>

TFilterBar::TFilterBar(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("FilterBar"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 2, 4, 2);

    auto* label = new QLabel(QStringLiteral("Filter:"), this);
    edtFilter = new QLineEdit(this);
    edtFilter->setObjectName(QStringLiteral("edtFilter"));
    edtFilter->setPlaceholderText(QStringLiteral("text in Message or Data"));
    edtFilter->setClearButtonEnabled(true);
    edtFilter->setToolTip(QStringLiteral("Rows whose Message or Data holds this text (Ctrl+L)"));
    label->setBuddy(edtFilter);

    cbDirection = new QComboBox(this);
    cbDirection->setObjectName(QStringLiteral("cbDirection"));
    cbDirection->addItem(QStringLiteral("T and R"));
    cbDirection->addItem(QStringLiteral("T only"), QChar(u'T'));
    cbDirection->addItem(QStringLiteral("R only"), QChar(u'R'));
    cbDirection->setToolTip(QStringLiteral("Sent (T) or received (R) rows"));

    cbLayer3 = new QCheckBox(QStringLiteral("Layer 3 only"), this);
    cbLayer3->setObjectName(QStringLiteral("cbLayer3"));
    cbLayer3->setToolTip(QStringLiteral("Rows that carry a Q.931 message"));
    cbOneCall = new QCheckBox(QStringLiteral("This call"), this);
    cbOneCall->setObjectName(QStringLiteral("cbOneCall"));
    cbOneCall->setToolTip(QStringLiteral("Rows of the call the selected row belongs to"));

    btClose = new QToolButton(this);
    btClose->setObjectName(QStringLiteral("btCloseFilter"));
    btClose->setIcon(style()->standardIcon(QStyle::SP_DialogCloseButton));
    btClose->setAutoRaise(true);
    btClose->setToolTip(QStringLiteral("Clear the filter and close the bar (Escape)"));

    layout->addWidget(label);
    layout->addWidget(edtFilter, 1);
    layout->addWidget(cbDirection);
    layout->addWidget(cbLayer3);
    layout->addWidget(cbOneCall);
    layout->addWidget(btClose);

    m_typing = new QTimer(this);
    m_typing->setSingleShot(true);
    m_typing->setInterval(kTypingPauseMs);
    connect(m_typing, &QTimer::timeout, this, [this] { Changed(); });
    connect(edtFilter, &QLineEdit::textChanged, this, [this] { m_typing->start(); });
    connect(edtFilter, &QLineEdit::returnPressed, this, [this] {
        if (m_typing->isActive())
            Changed();
    });
    connect(cbDirection, &QComboBox::currentIndexChanged, this, [this] { Changed(); });
    connect(cbLayer3, &QCheckBox::toggled, this, [this] { Changed(); });
    connect(cbOneCall, &QCheckBox::toggled, this, [this] { Changed(); });
    connect(btClose, &QToolButton::clicked, this, [this] {
        if (OnClose)
            OnClose();
    });
}

QString TFilterBar::Text() const
{
    return edtFilter->text();
}

QChar TFilterBar::Direction() const
{
    return cbDirection->currentData().toChar();
}

bool TFilterBar::Layer3Only() const
{
    return cbLayer3->isChecked();
}

bool TFilterBar::OneCall() const
{
    return cbOneCall->isChecked();
}

void TFilterBar::ClearChoices()
{
    m_quiet = true;
    edtFilter->clear();
    cbDirection->setCurrentIndex(0);
    cbLayer3->setChecked(false);
    cbOneCall->setChecked(false);
    m_quiet = false;
    Changed();
}

void TFilterBar::DropOneCall()
{
    m_quiet = true;
    cbOneCall->setChecked(false);
    m_quiet = false;
}

void TFilterBar::FocusText()
{
    show();
    edtFilter->setFocus(Qt::ShortcutFocusReason);
    edtFilter->selectAll();
}

void TFilterBar::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && OnClose) {
        OnClose();
        return;
    }
    QWidget::keyPressEvent(event);
}

void TFilterBar::Changed()
{
    m_typing->stop();
    if (!m_quiet && OnChange)
        OnChange();
}
