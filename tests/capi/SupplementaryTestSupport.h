#pragma once
// A registered component on the simulated controller whose tick count the
// test sets, with helpers to read what it put and to hand its supplementary
// decoders crafted messages.

#include "CapiMessageReader.h"
#include "CapiTestSupport.h"

#include <vector>

using Bytes = std::vector<uint8_t>;

// Every message put so far.
std::vector<Bytes> PutMessages();
// The parameters of a message (after its 8-byte header).
Bytes Parameters(const Bytes& message);
// Little-endian helpers for building parameters.
void AddWord(Bytes& to, uint16_t value);
void AddDword(Bytes& to, uint32_t value);
void AddStruct(Bytes& to, const Bytes& contents);
// A facility party number struct's contents: 01 00 80 digits.
Bytes PartyNumber(const char* digits);

class SupplementaryTest : public SimCapiTest {
protected:
    void SetUp() override;

    // Puts after the mark, and setting the mark.
    std::vector<Bytes> NewPuts();
    void Mark();
    // What a Get Supported Services confirmation with this mask records.
    void SetSupported(uint32_t mask);
    // FACILITY_IND / FACILITY_CONF selector 3 with the given function and
    // parameter struct contents, decoded as the handlers would.
    void Indication(uint32_t address, uint16_t function, const Bytes& parameter, uint16_t number = 0x4711);
    void Confirmation(uint32_t address, uint16_t function, const Bytes& parameter);
    // INFO_IND with one element; returns the address the decoder reports.
    uint32_t Info(uint32_t address, uint16_t infoNumber, const Bytes& element);

    uint32_t now = 100000;
    size_t mark = 0;
    Bytes message; // kept alive while a reader points into it
};
