#include "TraceTestSupport.h"

std::vector<uint8_t> AvmIndication(uint16_t number, uint16_t kind, const std::vector<uint8_t>& frame,
                                   uint32_t traceClass, uint32_t function)
{
    std::vector<uint8_t> parameters = {0x01, 0x00, 0x00, 0x00, 0x41, 0x56, 0x4D, 0x21};
    for (uint32_t value : {traceClass, function})
        for (int i = 0; i < 4; ++i)
            parameters.push_back(uint8_t(value >> (8 * i)));
    parameters.push_back(uint8_t(frame.size() + 2));
    parameters.push_back(uint8_t(kind));
    parameters.push_back(uint8_t(kind >> 8));
    parameters.insert(parameters.end(), frame.begin(), frame.end());
    return Message(0xFF, 0x82, number, parameters);
}

std::vector<std::vector<uint8_t>> Puts()
{
    std::vector<std::vector<uint8_t>> puts;
    const uint32_t count = VsimPutCount();
    for (uint32_t i = 0; i < count; ++i) {
        std::vector<uint8_t> message(VsimGetPut(i, nullptr, 0));
        VsimGetPut(i, message.data(), uint32_t(message.size()));
        puts.push_back(message);
    }
    return puts;
}

std::vector<std::vector<uint8_t>> Responses()
{
    std::vector<std::vector<uint8_t>> responses;
    for (auto& message : Puts())
        if (message.size() >= 8 && message[4] == 0xFF && message[5] == 0x83)
            responses.push_back(message);
    return responses;
}

uint16_t MessageNumberOf(const std::vector<uint8_t>& message)
{
    return uint16_t(message[6] | (message[7] << 8));
}

void TraceTest::SetUp()
{
    SimCapiTest::SetUp();
    VsimTraceReset();
    VsimTraceSetScenario(""); // the card traces nothing by itself
    capi->OnL3Trace = [this](uint32_t plciNcci, const QString& line) {
        EXPECT_EQ(plciNcci, 0u);
        traceLines << line;
    };
    capi->OnL3TraceCall = [this](uint32_t callReference, uint16_t type, const QString& text) {
        events.push_back({callReference, type, text});
    };
}

void TraceTest::TearDown()
{
    SimCapiTest::TearDown();
    VsimTraceReset();
}

void TraceTest::Receive(const std::vector<std::vector<uint8_t>>& messages)
{
    const uint64_t before = capi->RoutedMessages();
    for (const auto& message : messages)
        Inject(message);
    ASSERT_TRUE(PumpUntil([&] { return capi->RoutedMessages() == before + messages.size(); }));
}
