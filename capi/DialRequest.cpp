// The dialling request's wire form and the socket it travels to.

#include "DialRequest.h"

#include <QDir>
#include <QFile>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QStringDecoder>

#include <algorithm>

#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr char kMagic[] = {'V', 'D', 'R', '1'};
constexpr qsizetype kMagicSize = sizeof kMagic;

void AppendField(QByteArray& bytes, const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    bytes.append(char(utf8.size() & 0xFF));
    bytes.append(char((utf8.size() >> 8) & 0xFF));
    bytes.append(utf8);
}

// Reads one field at position. A field that would end beyond the largest
// request is invalid at once, so no one waits for bytes that cannot come.
TDialParse ReadField(const QByteArray& bytes, qsizetype& position, QByteArray& field)
{
    if (bytes.size() < position + 2)
        return TDialParse::Incomplete;
    const qsizetype length = uint8_t(bytes[position]) | uint8_t(bytes[position + 1]) << 8;
    if (position + 2 + length > kMaxDialRequestSize)
        return TDialParse::Invalid;
    if (bytes.size() < position + 2 + length)
        return TDialParse::Incomplete;
    field = bytes.mid(position + 2, length);
    position += 2 + length;
    return TDialParse::Complete;
}

std::optional<QString> StrictUtf8(const QByteArray& bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

} // namespace

QByteArray EncodeDialRequest(const TDialRequest& request)
{
    QByteArray bytes(kMagic, kMagicSize);
    AppendField(bytes, request.Number);
    AppendField(bytes, request.Name);
    if (bytes.size() > kMaxDialRequestSize)
        return QByteArray();
    return bytes;
}

TDialParse ParseDialRequest(const QByteArray& bytes, TDialRequest* request)
{
    if (bytes.size() > kMaxDialRequestSize)
        return TDialParse::Invalid;
    const qsizetype magic = std::min(bytes.size(), kMagicSize);
    if (bytes.left(magic) != QByteArray(kMagic, magic))
        return TDialParse::Invalid;
    if (bytes.size() < kMagicSize)
        return TDialParse::Incomplete;
    qsizetype position = kMagicSize;
    QByteArray fields[2];
    for (QByteArray& field : fields)
        if (const TDialParse parse = ReadField(bytes, position, field); parse != TDialParse::Complete)
            return parse;
    if (position != bytes.size())
        return TDialParse::Invalid; // more than one request
    const std::optional<QString> numberText = StrictUtf8(fields[0]);
    const std::optional<QString> nameText = StrictUtf8(fields[1]);
    if (!numberText || !nameText)
        return TDialParse::Invalid;
    if (request != nullptr)
        *request = {*numberText, *nameText};
    return TDialParse::Complete;
}

namespace {

// Without a session's runtime directory: one of our own in the temporary
// directory, used only when it is a real directory that this user owns and
// no one else may enter (Qt's fallback, without its warning on every start).
QString PrivateDirectory()
{
    const QString path = QStringLiteral("%1/vessik-runtime-%2").arg(QDir::tempPath()).arg(geteuid());
    const QByteArray name = QFile::encodeName(path);
    mkdir(name.constData(), S_IRWXU);
    struct stat info = {};
    if (lstat(name.constData(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != geteuid()
        || (info.st_mode & 0777) != S_IRWXU)
        return QString();
    return path;
}

} // namespace

QString DialSocketPath()
{
    const QString directory = qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")
        ? PrivateDirectory()
        : QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (directory.isEmpty())
        return QString();
    return directory + QStringLiteral("/vessik-dial");
}

TDialResult SendDialRequest(const QString& path, const QByteArray& bytes, int timeoutMs)
{
    if (path.isEmpty())
        return TDialResult::NoneListening;
    QLocalSocket socket;
    socket.connectToServer(path);
    if (!socket.waitForConnected(timeoutMs))
        return TDialResult::NoneListening;
    socket.write(bytes);
    if (!socket.waitForBytesWritten(timeoutMs))
        return TDialResult::NotTaken;
    // The answer is one byte, then the component closes the connection.
    while (socket.bytesAvailable() < 1 && socket.state() == QLocalSocket::ConnectedState)
        if (!socket.waitForReadyRead(timeoutMs))
            break;
    char answer = 0;
    if (socket.read(&answer, 1) == 1 && answer == kDialTaken)
        return TDialResult::Taken;
    return TDialResult::NotTaken;
}
