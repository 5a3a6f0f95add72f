#pragma once
// Version information as executables carry it: a tree of blocks, each with a
// key, an optional value and children. The root holds the fixed version
// numbers; "StringFileInfo" holds one string table per language and code page
// ("040904E4"), "VarFileInfo" the translation table that names them. The
// executable builds its own blob from the project version; the about box
// reads it back by path. The reader trusts no length in the blob.

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <cstdint>
#include <optional>

struct TVersionBlock {
    QString Key;
    bool IsText = false;   // value is UTF-16 text, its length counted in characters
    QByteArray Value;      // binary value, or the text in UTF-16 with its terminating zero
    QList<TVersionBlock> Children;

    static TVersionBlock Binary(const QString& key, QByteArray value, QList<TVersionBlock> children = {});
    static TVersionBlock Text(const QString& key, const QString& text);
    static TVersionBlock Node(const QString& key, QList<TVersionBlock> children);
};

// Serialises a block tree: per block a 16-bit total length, a 16-bit value
// length, a 16-bit type, the key in UTF-16 with its zero, padding to four
// bytes, the value, padding, then the children. Empty when it does not fit
// the 16-bit lengths.
QByteArray BuildVersionInfo(const TVersionBlock& root);

// The value at a path such as "\", "\VarFileInfo\Translation" or
// "\StringFileInfo\040904E4\FileVersion"; keys compare without case, as the
// platform does. Length is in bytes for binary values and in characters
// (terminating zero included) for text ones.
struct TVersionValue {
    QByteArrayView Data;
    uint32_t Length = 0;
    bool IsText = false;
};
std::optional<TVersionValue> QueryVersionValue(QByteArrayView blob, QStringView path);

// The about box's text for a blob: the "FileVersion" string of the first
// language of the translation table, or ": Version not available".
inline constexpr char kVersionNotAvailable[] = ": Version not available";
QString VersionText(QByteArrayView blob);

// The numbers of a fixed-information value: file version major.minor.patch.build.
QByteArray FixedFileInfo(uint16_t major, uint16_t minor, uint16_t patch, uint16_t build);
