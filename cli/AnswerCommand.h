#pragma once
// vessik-cli answer: an answering machine on the CAPI component. It takes
// every call offered, plays a greeting on the B channel, records what the
// caller says to a WAV file per call and prints one line per call (the line
// and the file names are in AnswerFormat.h).

#include <QStringList>

// args are the arguments after "answer". Returns the exit status: 0 after
// SIGINT/SIGTERM; 1 when the device could not be opened or was lost; 2 for a
// bad argument.
int RunAnswer(const QStringList& args);

QString AnswerUsage();
