// TCapi20: dialling requests of other programs. A component that is set up
// to take them (DoRegisterRequestRecipient, IncomingCalls with Telephony and
// OnRequestCall assigned) opens the user's dialling-request socket at the end
// of its registration and closes it at the start of Release. Each request
// becomes OnRequestCall on the component's thread.

#include "DialRecipient.h"
#include "TFCapi20.h"

namespace {

// The sender's fields as far as a make-call request carries them: up to the
// first NUL character, at most this many characters.
constexpr qsizetype kMaxNumberLength = 80;
constexpr qsizetype kMaxNameLength = 40;

QString Clipped(const QString& text, qsizetype maxLength)
{
    QString clipped = text.left(text.indexOf(QChar(0)));
    if (clipped.size() > maxLength) {
        clipped.truncate(maxLength);
        if (clipped.back().isHighSurrogate())
            clipped.chop(1); // never half a character
    }
    return clipped;
}

} // namespace

bool TCapi20::RegisterRequestRecipient()
{
    UnregisterRequestRecipient();
    auto recipient = std::make_unique<TDialRecipient>([this](const TDialRequest& request) {
        if (!OnRequestCall)
            return false;
        // The event runs after the connection is served, so a host that
        // releases the component from its handler closes no socket in use.
        const QString number = Clipped(request.Number, kMaxNumberLength);
        const QString name = Clipped(request.Name, kMaxNameLength);
        QMetaObject::invokeMethod(
            this,
            [this, number, name] {
                if (OnRequestCall)
                    OnRequestCall(0, number, name);
            },
            Qt::QueuedConnection);
        return true;
    });
    // A failure leaves the CAPI registration as it is, and says nothing.
    if (!recipient->Listen(DialSocketPath()))
        return false;
    m_dialRecipient = std::move(recipient);
    return true;
}

void TCapi20::UnregisterRequestRecipient()
{
    m_dialRecipient.reset();
}

bool TCapi20::ReceivesDialRequests() const
{
    return m_dialRecipient != nullptr;
}
