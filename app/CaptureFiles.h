#pragma once
// The window's side of capture files: the file dialogs offer pcap and pcapng
// beside the log, a file is loaded as a capture by its content, and saving
// to a capture name writes what vessik-cli export writes.

#include "CaptureWriter.h"

#include <QString>
#include <optional>

class QFileDialog;
class TListGrid;

// Adds "pcap capture (*.pcap)" and "pcapng capture (*.pcapng)" after the
// dialog's filters; the default suffix follows the filter chosen.
void AddCaptureFilters(QFileDialog& dialog);

// The capture format a file name asks for by its suffix; none for a log.
std::optional<TCaptureFormat> CaptureFormatOf(const QString& fileName);

// Writes the grid's rows as export writes a log saved now: times of day on
// today's date. False when the file could not be written.
bool SaveCapture(const TListGrid& grid, const QString& fileName, TCaptureFormat format);

// Replaces the grid's rows by the rows of a capture file, as import makes
// them. False when the file is no readable capture or is damaged; the rows
// before the damage stay.
bool LoadCapture(TListGrid& grid, const QString& fileName);
