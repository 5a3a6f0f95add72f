#pragma once
// The receiving end of dialling requests: a local server in the user's
// runtime directory. Each recipient listens on a name of its own and points
// the well-known name (DialSocketPath) at it, so the recipient opened last
// receives, in this process or another.

#include "DialRequest.h"

#include <QLocalServer>
#include <QString>

#include <functional>

class QLocalSocket;

class TDialRecipient {
public:
    // Called on the recipient's thread for each well-formed request; returns
    // whether the request was taken, which the sender is told.
    using THandler = std::function<bool(const TDialRequest& request)>;

    explicit TDialRecipient(THandler handler);
    ~TDialRecipient();
    TDialRecipient(const TDialRecipient&) = delete;
    TDialRecipient& operator=(const TDialRecipient&) = delete;

    // Listens and takes the well-known name path; false when either fails.
    bool Listen(const QString& path);
    void Close();

private:
    void Accept();
    void Read(QLocalSocket* socket);

    THandler m_handler;
    QLocalServer m_server;
    QString m_path;    // the well-known name
    QString m_ownPath; // this server's own name
    int m_connections = 0;
};
