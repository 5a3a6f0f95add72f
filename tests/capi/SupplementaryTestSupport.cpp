#include "SupplementaryTestSupport.h"

std::vector<Bytes> PutMessages()
{
    std::vector<Bytes> puts;
    const uint32_t count = VsimPutCount();
    for (uint32_t i = 0; i < count; ++i) {
        Bytes put(VsimGetPut(i, nullptr, 0));
        VsimGetPut(i, put.data(), uint32_t(put.size()));
        puts.push_back(put);
    }
    return puts;
}

Bytes Parameters(const Bytes& message)
{
    return message.size() < 8 ? Bytes() : Bytes(message.begin() + 8, message.end());
}

void AddWord(Bytes& to, uint16_t value)
{
    to.push_back(uint8_t(value));
    to.push_back(uint8_t(value >> 8));
}

void AddDword(Bytes& to, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        to.push_back(uint8_t(value >> (8 * i)));
}

void AddStruct(Bytes& to, const Bytes& contents)
{
    to.push_back(uint8_t(contents.size()));
    to.insert(to.end(), contents.begin(), contents.end());
}

Bytes PartyNumber(const char* digits)
{
    Bytes number = {0x01, 0x00, 0x80};
    for (const char* c = digits; *c; ++c)
        number.push_back(uint8_t(*c));
    return number;
}

void SupplementaryTest::SetUp()
{
    SimCapiTest::SetUp();
    VsimSetScripted(1); // the network stays silent: only what a test hands in is decoded
    capi->SetTickSource([this] { return now; });
    ASSERT_TRUE(OpenQuietly());
    Mark();
}

std::vector<Bytes> SupplementaryTest::NewPuts()
{
    std::vector<Bytes> puts = PutMessages();
    return std::vector<Bytes>(puts.begin() + std::min(mark, puts.size()), puts.end());
}

void SupplementaryTest::Mark()
{
    mark = VsimPutCount();
    lines.Clear();
}

void SupplementaryTest::SetSupported(uint32_t mask)
{
    Bytes parameter;
    AddWord(parameter, 0); // info
    AddDword(parameter, mask);
    Confirmation(1, 0, parameter);
    Mark();
}

void SupplementaryTest::Indication(uint32_t address, uint16_t function, const Bytes& parameter, uint16_t number)
{
    Bytes p;
    AddDword(p, address);
    AddWord(p, 3);
    Bytes contents;
    AddWord(contents, function);
    AddStruct(contents, parameter);
    AddStruct(p, contents);
    message = Message(0x80, 0x82, number, p);
    TCapiMessageReader reader;
    reader.Bind(message.data());
    for (int i = 0; i < 4 + 2 + 1; ++i)
        reader.ReadByte();
    capi->DecodeSupplementaryIndication(address, reader);
}

void SupplementaryTest::Confirmation(uint32_t address, uint16_t function, const Bytes& parameter)
{
    Bytes p;
    AddDword(p, address);
    AddWord(p, 0); // info
    AddWord(p, 3);
    Bytes contents;
    AddWord(contents, function);
    AddStruct(contents, parameter);
    AddStruct(p, contents);
    message = Message(0x80, 0x81, 1, p);
    TCapiMessageReader reader;
    reader.Bind(message.data());
    for (int i = 0; i < 4 + 2 + 2 + 1; ++i)
        reader.ReadByte();
    capi->DecodeSupplementaryConfirmation(address, reader);
}

uint32_t SupplementaryTest::Info(uint32_t address, uint16_t infoNumber, const Bytes& element)
{
    Bytes p;
    AddDword(p, address);
    AddWord(p, infoNumber);
    AddStruct(p, element);
    message = Message(0x08, 0x82, 1, p);
    TCapiMessageReader reader;
    reader.Bind(message.data());
    return capi->DecodeInfoIndication(reader);
}
