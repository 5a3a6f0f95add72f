#pragma once
// The "&About" command. A desktop without window system menus gets it from
// the window's context menu and F1; each posts a system command event, and
// one application-wide filter reacts to it wherever it was sent, as the
// system menu's command would be received.

#include <QEvent>
#include <QObject>
#include <functional>

inline constexpr int kAboutCommand = 1024; // 0x400
inline constexpr auto kAboutCaption = "&About";

class TSysCommandEvent : public QEvent {
public:
    explicit TSysCommandEvent(int command);
    static QEvent::Type EventType();
    int Command() const { return m_command; }

private:
    int m_command;
};

// Posts the command to receiver; the filter handles it when the event loop
// delivers it. The low four bits are free, as with system commands.
void PostSysCommand(QObject* receiver, int command);

// Installed on the application: a system command whose identifier, with its
// low four bits cleared, is kAboutCommand calls OnAbout and is consumed;
// every other event passes unchanged.
class TAboutCommandFilter : public QObject {
public:
    explicit TAboutCommandFilter(QObject* parent = nullptr);
    std::function<void()> OnAbout;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};
