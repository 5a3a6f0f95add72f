#pragma once
// The rules of one log line, on text: a line holds fields separated by one
// delimiter character, "þ" stands for the delimiter inside a field, fields are
// written trimmed and read left-trimmed. No quoting.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QStringView>

// Stands for the delimiter inside a field of a log file.
inline constexpr char16_t kLogEscape = u'\u00FE';

// Removes every leading character up to U+0020 (blanks and control characters).
QStringView LeftTrimmed(QStringView text);
// Removes such characters at both ends.
QStringView Trimmed(QStringView text);

// Splits at every delimiter; each field is left-trimmed; an empty last field is
// dropped, so 'a;b;' gives 'a' and 'b' and an empty line gives no fields.
void SplitLine(QStringView line, QChar delimiter, QStringList& fields);

// Every delimiter becomes "þ" and every CR or LF a blank (a line break would
// split the row on reading), then the result is trimmed.
QString EscapeField(QStringView text, QChar delimiter);

// Every "þ" becomes the delimiter again.
QString UnescapeField(QStringView text, QChar delimiter);

// The image field of a line: a decimal integer, else -1.
int ParseImageIndex(QStringView field);
// The same on the field's bytes (UTF-8 or Latin-1: only ASCII digits count).
int ParseImageIndex(QByteArrayView field);

// The delimiter as it stands in the UTF-8 text of a file (one to three bytes;
// a lone surrogate, which UTF-8 cannot carry, is written as U+FFFD).
QByteArray DelimiterUtf8(QChar delimiter);

// The byte-order mark every log file begins with.
inline constexpr char kLogBom[] = "\xEF\xBB\xBF";
inline constexpr qsizetype kLogBomSize = 3;
