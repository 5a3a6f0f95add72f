#pragma once
// The window tests run with an application object (offscreen) and, where a
// controller is needed, on the simulated one.

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <functional>
#include <vector>

inline const QString kSimLibrary = QStringLiteral(VESSIK_SIM_LIBRARY);

// Runs the event loop until done() holds or the time is up.
bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 5000);
// Runs the event loop for a while (for things that must not happen).
void PumpFor(int ms);

// Octets from hex pairs separated by blanks.
QByteArray Hex(const char* text);
// The trace line's hex column for octets: "02 FF 03 ".
QString HexColumn(const QByteArray& octets);

// A MANUFACTURER_IND of the AVM trace: controller 1, class 0, function 1,
// the kind word and the frame.
std::vector<uint8_t> AvmTraceIndication(uint16_t kind, const QByteArray& frame, uint16_t number = 1);
// Queues a received message for the newest application of the simulated card.
uint32_t Inject(const std::vector<uint8_t>& message);

// The MANUFACTURER requests the application put on the simulated card.
std::vector<std::vector<uint8_t>> ManufacturerRequests();
// The parameters after the controller of the AVM trace switch.
std::vector<uint8_t> AvmTraceSwitch(bool on);
