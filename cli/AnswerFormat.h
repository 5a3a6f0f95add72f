#pragma once
// What vessik-cli answer writes: the name of a call's recording and the line
// it prints when a call ends. The line's fields, separated by one tab:
//   time      the local time the call was offered, 2026-12-09T19:15:02
//   calling   the calling number
//   called    the called number
//   seconds   the seconds recorded, one decimal (3.2)
//   file      the name of the recording in the record folder
// A field that has no value (a withheld number, a call that was never
// answered and has no file) is "-". Numbers come from the line: characters
// that are blanks or control characters are shown as '_', so that no field
// holds a blank.

#include <QDateTime>
#include <QDir>
#include <QString>

#include <cstdint>

// "yyyyMMdd-HHmmss-NUMBER": NUMBER is the calling number with every
// character but letters, digits and + * # @ . - as '_', cut to 64
// characters, or "unknown" when withheld.
QString RecordingBaseName(const QDateTime& offered, const QString& calling);
// base + ".wav" when no such file is in dir and the name is not in taken,
// else base + "-2.wav", "-3.wav", ...
QString UniqueRecordingName(const QDir& dir, const QString& base, const QStringList& taken = {});
QString AnswerLine(const QDateTime& offered, const QString& calling, const QString& called, uint64_t frames,
                   int rate, const QString& file);
