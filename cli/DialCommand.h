#pragma once
// vessik-cli dial: hands one dialling request to the component that receives
// them for this user (vessik-cli monitor, or any host of TCapi20 set up to
// take them), as a desktop's tel: links do.

#include <QString>
#include <QStringList>

// The number a NUMBER argument names. A tel: URI gives the part before any
// ';' parameter, percent-decoded, without the visual separators - . ( ) and
// blanks; anything else is the number as it stands.
QString DialNumber(const QString& argument);

// args are the arguments after "dial". Returns 0 when a component took the
// request, 1 when none is listening or it was not taken, 2 for a bad argument.
int RunDial(const QStringList& args);

QString DialUsage();
