#pragma once
// The command line's output is read line by line by other tools: a text that
// carries a line break (a display element or a driver's text may) must not
// split its line.

#include <QString>

// The text with every line-break character replaced by U+FFFD.
QString OneLine(QString text);
