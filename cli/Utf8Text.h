#pragma once
// UTF-16 texts appended to the output as UTF-8. Any UTF-16 the decoders or a
// file hand us comes out as valid UTF-8: a lone surrogate becomes U+FFFD, as
// Qt's own encoder writes it.

#include "ByteBuffer.h"

#include <QByteArrayView>
#include <QStringView>

// The text on one line: every line-break character becomes U+FFFD, so that
// tools reading the output line by line see one line per node (OneLine).
void AppendOneLine(TByteBuffer& out, QStringView text);
// The same at out, which has room for 3 bytes per UTF-16 unit; returns the end.
char* PutOneLine(char* out, QStringView text);
// The same for UTF-8 text (as a log file's rows hold it); tab, which would
// shift a row's columns, becomes U+FFFD as well.
void AppendColumn(TByteBuffer& out, QByteArrayView utf8);

// The text as a JSON string, quotes included.
void AppendJsonString(TByteBuffer& out, QStringView text);
// The same at out, which has room for 6 bytes per UTF-16 unit and 2; returns the end.
char* PutJsonString(char* out, QStringView text);
void AppendJsonString(TByteBuffer& out, QByteArrayView utf8);
