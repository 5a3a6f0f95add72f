#pragma once
// A component on the simulated card with its trace lines and call events
// recorded; the card's own trace player stays silent unless a test steers it.

#include "CapiTestSupport.h"
#include "TraceSteering.h"

#include <QString>
#include <QStringList>

#include <vector>

struct TCallEvent {
    uint32_t CallReference;
    uint16_t Type;
    QString Text;
    bool operator==(const TCallEvent&) const = default;
};

// An 'AVM!' trace indication: class, function, length byte, kind word, frame.
std::vector<uint8_t> AvmIndication(uint16_t number, uint16_t kind, const std::vector<uint8_t>& frame,
                                   uint32_t traceClass = 0, uint32_t function = 1);
// Every message the component put, in order.
std::vector<std::vector<uint8_t>> Puts();
// The MANUFACTURER_RESP among them.
std::vector<std::vector<uint8_t>> Responses();
uint16_t MessageNumberOf(const std::vector<uint8_t>& message);

class TraceTest : public SimCapiTest {
protected:
    void SetUp() override;
    void TearDown() override;
    // Injects the messages and waits until the dispatcher has routed them.
    void Receive(const std::vector<std::vector<uint8_t>>& messages);

    QStringList traceLines;
    std::vector<TCallEvent> events;
};
