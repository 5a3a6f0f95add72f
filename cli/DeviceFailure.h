#pragma once
// What the commands that host the component say about its device: why it
// could not be opened or was lost, in the driver's or the loader's words.

#include <QString>

class TCapi20;

// The text after a diagnostic line's time stamp.
QString WithoutTimeStamp(const QString& line);

// The driver's fatal text when it gave one, else the manufacturer's text
// (the component's "no CAPI available" once nothing is loaded), followed by
// the loader's own line in parentheses when there was one.
QString DeviceFailure(TCapi20& capi, const QString& loaderText = QString());
