#include "CallTestSupport.h"

#include <cstdlib>
#include <cstring>

TBytes Bytes(const char* hex)
{
    TBytes bytes;
    while (*hex != 0) {
        if (*hex == ' ') {
            ++hex;
            continue;
        }
        char pair[3] = {hex[0], hex[1], 0};
        bytes.push_back(uint8_t(std::strtoul(pair, nullptr, 16)));
        hex += hex[1] == 0 ? 1 : 2;
    }
    return bytes;
}

TBytes operator+(TBytes head, const TBytes& tail)
{
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
}

TBytes Dword(uint32_t value)
{
    return {uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16), uint8_t(value >> 24)};
}

TBytes Word(uint16_t value)
{
    return {uint8_t(value), uint8_t(value >> 8)};
}

TBytes Put(uint16_t applId, uint8_t command, uint8_t subcommand, uint16_t number, const TBytes& parameters)
{
    const uint16_t length = uint16_t(8 + parameters.size());
    return Word(length) + Word(applId) + TBytes{command, subcommand} + Word(number) + parameters;
}

std::string Hex(const TBytes& bytes)
{
    std::string text;
    for (uint8_t byte : bytes) {
        char pair[4];
        std::snprintf(pair, sizeof pair, "%02X ", byte);
        text += pair;
    }
    return text;
}

void CallTest::OpenQuietly()
{
    ASSERT_TRUE(SimCapiTest::OpenQuietly());
    MarkPuts();
}

std::vector<TBytes> CallTest::NewPuts()
{
    std::vector<TBytes> puts;
    for (uint32_t i = m_putMark; i < VsimPutCount(); ++i) {
        TBytes message(4096);
        message.resize(VsimGetPut(i, message.data(), uint32_t(message.size())));
        puts.push_back(message);
    }
    MarkPuts();
    return puts;
}

void CallTest::Receive(const std::vector<TBytes>& messages)
{
    const uint64_t before = capi->RoutedMessages();
    for (const TBytes& message : messages)
        Inject(message);
    ASSERT_TRUE(PumpUntil([&] { return capi->RoutedMessages() >= before + messages.size(); }));
}

void CallTest::RecordEvents()
{
    const auto add = [this](const QString& line) {
        std::lock_guard<std::mutex> guard(eventLock);
        events << line;
    };
    const auto hex = [](uint32_t value) { return QStringLiteral("%1").arg(value, 8, 16, QLatin1Char('0')).toUpper(); };
    const auto notify = [=](const char* name) {
        return [=](uint32_t id, uint16_t type) { add(QStringLiteral("%1(%2, %3)").arg(QLatin1String(name), hex(id)).arg(type)); };
    };
    const auto info = [=](const char* name) {
        return [=](uint32_t id, const QString& text) {
            add(QStringLiteral("%1(%2, \"%3\")").arg(QLatin1String(name), hex(id), text));
        };
    };
    capi->OnConnect = notify("OnConnect");
    capi->OnConnectActive = notify("OnConnectActive");
    capi->OnB3Active = notify("OnB3Active");
    capi->OnB3T90Active = notify("OnB3T90Active");
    capi->OnDisconnectB3 = notify("OnDisconnectB3");
    capi->OnDisconnect = info("OnDisconnect");
    capi->OnDigit = info("OnDigit");
    capi->OnHandset = info("OnHandset");
    capi->OnGetForwardedNumbers = info("OnGetForwardedNumbers");
    capi->OnInfo = [=](uint32_t id, uint16_t type, const QString& text) {
        add(QStringLiteral("OnInfo(%1, %2, \"%3\")").arg(hex(id)).arg(type, 4, 16, QLatin1Char('0')).arg(text));
    };
}

QStringList CallTest::Events()
{
    std::lock_guard<std::mutex> guard(eventLock);
    return events;
}

