#pragma once
// Decoded texts are printed and copied one per line, and other tools read them
// line by line: a text that carries a line break (a display element or a
// driver's text may) must not split its line.

#include <QString>

// The text with every line-break character replaced by U+FFFD.
QString OneLine(QString text);
