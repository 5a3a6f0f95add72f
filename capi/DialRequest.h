#pragma once
// A dialling request of another program, as it travels over the user's
// local socket to the component that receives such requests: "VDR1", then
// the number and the called party's name, each a little-endian 16-bit byte
// count and that many bytes of UTF-8. The component answers a request it
// took with one byte, kDialTaken.

#include <QByteArray>
#include <QString>

#include <optional>

struct TDialRequest {
    QString Number;
    QString Name;
    bool operator==(const TDialRequest&) const = default;
};

// No request is longer; anything longer is not a request.
constexpr qsizetype kMaxDialRequestSize = 1024;
constexpr char kDialTaken = 'A';

// Empty when the request does not fit kMaxDialRequestSize.
QByteArray EncodeDialRequest(const TDialRequest& request);

enum class TDialParse { Incomplete, Complete, Invalid };
// Complete only when bytes are exactly one well-formed request.
TDialParse ParseDialRequest(const QByteArray& bytes, TDialRequest* request = nullptr);

// Where the current user's receiving component listens: a name in the
// user's runtime directory (mode 0700), so no other user reaches it. Empty
// when there is no such directory.
QString DialSocketPath();

enum class TDialResult { Taken, NoneListening, NotTaken };
// Sends the bytes (normally one encoded request) to the socket at path and
// waits for the answer. Blocking: for a thread without its own server.
TDialResult SendDialRequest(const QString& path, const QByteArray& bytes, int timeoutMs = 5000);
