// The simulated network answering supplementary-service requests.

#include "CapiExports.h"
#include "SimSteering.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>

#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

void Word(Bytes& to, uint16_t value)
{
    to.push_back(uint8_t(value));
    to.push_back(uint8_t(value >> 8));
}

void Dword(Bytes& to, uint32_t value)
{
    Word(to, uint16_t(value));
    Word(to, uint16_t(value >> 16));
}

void Struct(Bytes& to, const Bytes& contents)
{
    to.push_back(uint8_t(contents.size()));
    to.insert(to.end(), contents.begin(), contents.end());
}

Bytes PartyNumber(const std::string& digits)
{
    Bytes number = {0x01, 0x00, 0x80};
    for (char digit : digits)
        number.push_back(uint8_t(digit));
    return number;
}

class LiveSupplementary : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Call forwarding is stored in a file; each test has its own.
        ASSERT_TRUE(store.isValid());
        setenv("VESSIK_SIM_FORWARDING", store.filePath("forwarding").toLocal8Bit().constData(), 1);
        VsimReset();
        ASSERT_EQ(CAPI_REGISTER(3072, 2, 7, 240, &applId), 0u);
    }
    void TearDown() override
    {
        VsimReset();
        unsetenv("VESSIK_SIM_FORWARDING");
    }

    void Put(uint8_t command, const Bytes& parameters)
    {
        Bytes message = {0, 0, uint8_t(applId), 0, command, 0x80, 0x21, 0x00};
        message.insert(message.end(), parameters.begin(), parameters.end());
        message[0] = uint8_t(message.size());
        ASSERT_EQ(CAPI_PUT_MESSAGE(applId, message.data()), 0u);
    }
    // FACILITY_REQ selector 3 to controller 1.
    void Facility(uint16_t function, const Bytes& parameter)
    {
        Bytes p;
        Dword(p, 1);
        Word(p, 3);
        Bytes request;
        Word(request, function);
        Struct(request, parameter);
        Struct(p, request);
        Put(0x80, p);
    }
    // INFO_REQ with a Facility element.
    void Info(const Bytes& element)
    {
        Bytes p;
        Dword(p, 1);
        p.push_back(0); // called party number
        Bytes additional = {0, 0, 0};
        Struct(additional, element);
        additional.push_back(0);
        Struct(p, additional);
        Put(0x08, p);
    }
    // The parameters of every received message, with command and subcommand in front.
    std::vector<Bytes> Received()
    {
        std::vector<Bytes> received;
        void* message = nullptr;
        while (CAPI_GET_MESSAGE(applId, &message) == 0) {
            const uint8_t* bytes = static_cast<const uint8_t*>(message);
            Bytes entry = {bytes[4], bytes[5]};
            entry.insert(entry.end(), bytes + 8, bytes + (bytes[0] | bytes[1] << 8));
            received.push_back(entry);
        }
        return received;
    }
    uint32_t applId = 0;
    QTemporaryDir store;
};

TEST_F(LiveSupplementary, ReportsItsServicesAndRefusesWhatItLacks)
{
    Facility(0, {});
    VsimSetSupplementaryServices(0x1EF);
    Facility(9, {});
    const std::vector<Bytes> received = Received();
    ASSERT_EQ(received.size(), 2u);
    EXPECT_EQ(received[0], (Bytes{0x80, 0x81, 1, 0, 0, 0, 0, 0, 3, 0, 0x09, 0, 0, 0x06, 0, 0, 0xFF, 0x01, 0, 0}));
    EXPECT_EQ(received[1], (Bytes{0x80, 0x81, 1, 0, 0, 0, 0, 0, 3, 0, 0x05, 9, 0, 0x02, 0x0E, 0x30}));
}

TEST_F(LiveSupplementary, HoldIsConfirmedAndIndicated)
{
    Facility(2, {});
    const std::vector<Bytes> received = Received();
    ASSERT_EQ(received.size(), 2u);
    EXPECT_EQ(received[1], (Bytes{0x80, 0x82, 1, 0, 0, 0, 3, 0, 0x05, 2, 0, 0x02, 0, 0}));
}

TEST_F(LiveSupplementary, CallForwardingIsKeptAsState)
{
    Bytes activate;
    Dword(activate, 7);
    Word(activate, 0);
    Word(activate, 0);
    Struct(activate, PartyNumber("123"));
    Struct(activate, PartyNumber("0301234"));
    activate.push_back(0);
    Facility(9, activate);
    Bytes numbers;
    Dword(numbers, 8);
    Facility(12, numbers);
    std::vector<Bytes> received = Received();
    ASSERT_EQ(received.size(), 4u);
    Bytes list;
    Struct(list, PartyNumber("0301234"));
    Bytes expected = {0x80, 0x82, 1, 0, 0, 0, 3, 0};
    Bytes contents = {12, 0};
    Bytes parameter = {0, 0, 8, 0, 0, 0};
    Struct(parameter, list);
    Struct(contents, parameter);
    Struct(expected, contents);
    EXPECT_EQ(received[3], expected);

    Bytes deactivate;
    Dword(deactivate, 9);
    Word(deactivate, 0);
    Word(deactivate, 0);
    Struct(deactivate, PartyNumber("123"));
    Facility(10, deactivate);
    Facility(12, numbers);
    received = Received();
    ASSERT_EQ(received.size(), 4u);
    EXPECT_EQ(received[3].back(), 0x00); // an empty list
}

TEST_F(LiveSupplementary, DiversionInvokesInInfoRequestsAreAnswered)
{
    VsimSetSupplementaryServices(0x1EF);
    Info({0x1C, 0x21, 0x91, 0xA1, 0x1E, 0x02, 0x01, 0x05, 0x02, 0x01, 0x07, 0x30, 0x16, 0x0A, 0x01, 0x00, 0x0A, 0x01,
          0x00, 0x30, 0x09, 0x80, 0x07, '0', '3', '0', '1', '2', '3', '4', 0x80, 0x03, '1', '2', '3'});
    Info({0x1C, 0x09, 0x91, 0xA1, 0x06, 0x02, 0x01, 0x06, 0x02, 0x01, 0x11});
    const std::vector<Bytes> received = Received();
    ASSERT_EQ(received.size(), 4u);
    EXPECT_EQ(received[0], (Bytes{0x08, 0x81, 1, 0, 0, 0, 0, 0}));
    EXPECT_EQ(received[1], (Bytes{0x08, 0x82, 1, 0, 0, 0, 0x1C, 0, 0x0B, 0x91, 0xA2, 0x08, 0x02, 0x01, 0x05, 0x30,
                                  0x03, 0x02, 0x01, 0x07}));
    EXPECT_EQ(received[3], (Bytes{0x08, 0x82, 1, 0, 0, 0, 0x1C, 0, 0x16, 0x91, 0xA2, 0x13, 0x02, 0x01, 0x06, 0x30, 0x0E,
                                  0x02, 0x01, 0x11, 0x31, 0x09, 0x80, 0x07, '0', '3', '0', '1', '2', '3', '4'}));
}

TEST_F(LiveSupplementary, MalformedDiversionInvokeGetsAReturnError)
{
    // activationDiversion whose argument lacks the forwarded-to address
    Info({0x1C, 0x0E, 0x91, 0xA1, 0x0B, 0x02, 0x01, 0x09, 0x02, 0x01, 0x07, 0x30, 0x03, 0x0A, 0x01, 0x00});
    const std::vector<Bytes> received = Received();
    ASSERT_EQ(received.size(), 2u);
    EXPECT_EQ(received[1], (Bytes{0x08, 0x82, 1, 0, 0, 0, 0x1C, 0, 0x09, 0x91, 0xA3, 0x06, 0x02, 0x01, 0x09, 0x02,
                                  0x01, 0x00}));
}

TEST_F(LiveSupplementary, ForwardingOutlivesTheApplication)
{
    Bytes activate;
    Dword(activate, 7);
    Word(activate, 0);
    Word(activate, 0);
    Struct(activate, PartyNumber("123"));
    Struct(activate, PartyNumber("0301234"));
    activate.push_back(0);
    Facility(9, activate);
    Received();
    ASSERT_EQ(CAPI_RELEASE(applId), 0u);
    ASSERT_EQ(CAPI_REGISTER(3072, 2, 7, 240, &applId), 0u);
    QFile file(store.filePath("forwarding"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("0\t0\t123\t0301234\n"));
}

TEST_F(LiveSupplementary, ScriptedCardStaysSilent)
{
    VsimSetScripted(1);
    Facility(0, {});
    EXPECT_TRUE(Received().empty());
}

} // namespace
