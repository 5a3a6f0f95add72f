#include "AboutCommand.h"

#include <QCoreApplication>

TSysCommandEvent::TSysCommandEvent(int command)
    : QEvent(EventType())
    , m_command(command)
{
}

QEvent::Type TSysCommandEvent::EventType()
{
    static const auto type = QEvent::Type(QEvent::registerEventType());
    return type;
}

void PostSysCommand(QObject* receiver, int command)
{
    if (receiver != nullptr)
        QCoreApplication::postEvent(receiver, new TSysCommandEvent(command));
}

TAboutCommandFilter::TAboutCommandFilter(QObject* parent)
    : QObject(parent)
{
}

bool TAboutCommandFilter::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == TSysCommandEvent::EventType()) {
        const int command = static_cast<TSysCommandEvent*>(event)->Command();
        if ((command & ~0xF) == kAboutCommand) {
            if (OnAbout)
                OnAbout();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}
