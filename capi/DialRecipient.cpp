// Dialling requests: the local server, its name and each connection's one
// request. A connection that does not bring exactly one well-formed request
// of bounded size in time is dropped without effect.

#include "DialRecipient.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QTimer>

#include <atomic>
#include <memory>

#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int kRequestTimeoutMs = 3000;
// Connections served at once; more are dropped, so a flood costs little.
constexpr int kMaxConnections = 8;

std::atomic<uint32_t> g_serial{0};

// Only the user who runs the component may ask it to dial. The directory
// already keeps others out; the peer's credentials say so for certain.
bool PeerIsThisUser(const QLocalSocket& socket)
{
    ucred credentials = {};
    socklen_t size = sizeof credentials;
    const int descriptor = int(socket.socketDescriptor());
    if (getsockopt(descriptor, SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0)
        return false;
    return credentials.uid == geteuid();
}

QString LinkTarget(const QString& path)
{
    char target[4096];
    const QByteArray name = QFile::encodeName(path);
    const ssize_t length = readlink(name.constData(), target, sizeof target);
    if (length <= 0 || size_t(length) >= sizeof target)
        return QString();
    return QFile::decodeName(QByteArray(target, int(length)));
}

} // namespace

TDialRecipient::TDialRecipient(THandler handler) : m_handler(std::move(handler))
{
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    QObject::connect(&m_server, &QLocalServer::newConnection, &m_server, [this] { Accept(); });
}

TDialRecipient::~TDialRecipient()
{
    Close();
}

bool TDialRecipient::Listen(const QString& path)
{
    Close();
    if (path.isEmpty())
        return false;
    const QString own = QStringLiteral("%1-%2-%3").arg(path).arg(QCoreApplication::applicationPid()).arg(++g_serial);
    QLocalServer::removeServer(own); // left behind by an earlier process of the same id
    if (!m_server.listen(own))
        return false;
    // Replace the well-known name in one step: a sender finds either the old
    // recipient or this one, never nothing.
    const QString link = own + QStringLiteral(".link");
    QFile::remove(link);
    const QByteArray target = QFile::encodeName(QFileInfo(own).fileName());
    if (symlink(target.constData(), QFile::encodeName(link).constData()) != 0
        || rename(QFile::encodeName(link).constData(), QFile::encodeName(path).constData()) != 0) {
        QFile::remove(link);
        m_server.close();
        return false;
    }
    m_path = path;
    m_ownPath = own;
    return true;
}

void TDialRecipient::Close()
{
    if (m_ownPath.isEmpty())
        return;
    // The name is taken away only while it still leads here: a recipient
    // opened later keeps it.
    if (LinkTarget(m_path) == QFileInfo(m_ownPath).fileName())
        QFile::remove(m_path);
    m_server.close(); // removes the own name
    for (QLocalSocket* socket : m_server.findChildren<QLocalSocket*>())
        socket->abort();
    m_path.clear();
    m_ownPath.clear();
}

void TDialRecipient::Accept()
{
    while (QLocalSocket* socket = m_server.nextPendingConnection()) {
        if (m_connections >= kMaxConnections || !PeerIsThisUser(*socket)) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        ++m_connections;
        // Qt stops reading at this bound, so an overlong request is seen as
        // such after a bounded read.
        socket->setReadBufferSize(kMaxDialRequestSize + 1);
        QObject::connect(socket, &QObject::destroyed, &m_server, [this] { --m_connections; });
        QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        QObject::connect(socket, &QLocalSocket::readyRead, socket, [this, socket] { Read(socket); });
        QTimer::singleShot(kRequestTimeoutMs, socket, [socket] {
            socket->abort();
            socket->deleteLater();
        });
    }
}

void TDialRecipient::Read(QLocalSocket* socket)
{
    // What came so far waits in the socket; peek until the request is whole.
    const QByteArray bytes = socket->peek(kMaxDialRequestSize + 1);
    TDialRequest request;
    switch (ParseDialRequest(bytes, &request)) {
    case TDialParse::Incomplete:
        return;
    case TDialParse::Invalid:
        socket->abort();
        socket->deleteLater();
        return;
    case TDialParse::Complete:
        break;
    }
    socket->readAll();
    const bool taken = m_handler && m_handler(request);
    if (taken) {
        socket->write(&kDialTaken, 1);
        socket->flush(); // now: a release that follows aborts what is still buffered
    }
    socket->disconnectFromServer();
}
