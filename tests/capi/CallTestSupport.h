#pragma once
// A component on the simulated card for the call-control tests: its puts read
// back as byte lists, hand-assembled messages to compare them with, and every
// call event recorded as one line.

#include "CapiTestSupport.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

using TBytes = std::vector<uint8_t>;

// "01 02 0A" → {1, 2, 10}.
TBytes Bytes(const char* hex);
TBytes operator+(TBytes head, const TBytes& tail);
TBytes Dword(uint32_t value);
TBytes Word(uint16_t value);
// A whole message as the application puts it: header with applId, then the parameters.
TBytes Put(uint16_t applId, uint8_t command, uint8_t subcommand, uint16_t number, const TBytes& parameters);
// "02 83 ..." as a readable failure message.
std::string Hex(const TBytes& bytes);

class CallTest : public SimCapiTest {
protected:
    // Opens on the card and forgets what opening wrote.
    void OpenQuietly();
    // The puts since the last mark, oldest first.
    std::vector<TBytes> NewPuts();
    void MarkPuts() { m_putMark = VsimPutCount(); }
    // Delivers messages and waits until the dispatcher has routed all of them.
    void Receive(const std::vector<TBytes>& messages);
    // Records every call event as "OnName(PLCI_NCCI hex, second, third)".
    void RecordEvents();
    QStringList Events();
    uint16_t applId() const { return uint16_t(capi->ApplID()); }

    QStringList events;
    std::mutex eventLock;

private:
    uint32_t m_putMark = 0;
};
