// TCapi20: what the receive path does with a message — the look at DATA_B3
// and CONNECT_ACTIVE_IND on the receive thread, and the routing table of the
// dispatcher.

#include "TFCapi20.h"

#include "TCapiThread.h"

#include <array>

namespace {
constexpr uint8_t kConfirmation = 0x81;
constexpr uint8_t kIndication = 0x82;
constexpr uint8_t kDataB3 = 0x86;
constexpr uint8_t kConnectActive = 0x03;

uint16_t MessageLength(const uint8_t* message)
{
    return uint16_t(message[0] | (message[1] << 8));
}
} // namespace

bool TCapi20::BeforeQueue(const uint8_t* message)
{
    if (message[4] == kDataB3 && DirectInData()) {
        DataB3Handler(message);
        return true;
    }
    if (message[4] == kConnectActive && message[5] == kIndication)
        ParseConnectActive(message, false);
    return false;
}

void TCapi20::RouteMessage(const uint8_t* message)
{
    using THandler = void (TCapi20::*)(const uint8_t*);
    struct TRoute {
        uint8_t Command;
        THandler Confirmation; // subcommand 0x81, or null
        THandler Indication;   // subcommand 0x82, or null
        const char* Unknown;   // line for any other subcommand
    };
    static constexpr std::array<TRoute, 13> kRoutes = {{
        {0x01, &TCapi20::AlertConfirmation, nullptr, "Unknown Alert message: "},
        {0x02, &TCapi20::ConnectConfirmation, &TCapi20::ConnectIndication, "Unknown Connect Message: "},
        {0x03, nullptr, &TCapi20::ConnectActiveIndication, "Unknown Connect Active message: "},
        {0x04, &TCapi20::DisconnectConfirmation, &TCapi20::DisconnectIndication, "Unknown Disconnect message: "},
        {0x05, &TCapi20::ListenConfirmation, nullptr, "Unknown Listen message: "},
        {0x08, &TCapi20::InfoConfirmation, &TCapi20::InfoIndication, "Unknown Info message: "},
        {0x41, &TCapi20::SelectBProtocolConfirmation, nullptr, "Unknown Select B Protocol message: "},
        {0x80, &TCapi20::FacilityConfirmation, &TCapi20::FacilityIndication, "Unknown Facility message: "},
        {0x82, &TCapi20::ConnectB3Confirmation, &TCapi20::ConnectB3Indication, "Unknown Connect B3 message: "},
        {0x83, nullptr, &TCapi20::ConnectB3ActiveIndication, "Unknown Connect B3 Active message: "},
        {0x84, &TCapi20::DisconnectB3Confirmation, &TCapi20::DisconnectB3Indication,
         "Unknown Disconnect B3 message: "},
        {0x88, nullptr, &TCapi20::ConnectB3T90ActiveIndication, "Unknown Connect B3 T90 message: "},
        {0xFF, &TCapi20::ManufacturerConfirmation, &TCapi20::ManufacturerIndication,
         "Unknown Manufacturer message: "},
    }};

    m_routed.fetch_add(1, std::memory_order_relaxed);
    const uint8_t command = message[4];
    const uint8_t subcommand = message[5];
    // A handler or an event of the host that throws must not stop the
    // dispatcher: the message counts as handled.
    try {
        if (command == kDataB3) {
            DataB3Handler(message);
            return;
        }
        for (const TRoute& route : kRoutes) {
            if (route.Command != command)
                continue;
            const THandler handler = subcommand == kConfirmation ? route.Confirmation
                : subcommand == kIndication                      ? route.Indication
                                                                 : nullptr;
            if (handler != nullptr)
                (this->*handler)(message);
            else
                AppTrace(QLatin1String(route.Unknown) + QString::number(subcommand));
            return;
        }
        CapiTrace(QStringLiteral("Unknown"), message, MessageLength(message));
        AppTrace(QStringLiteral("unknown message: ") + QString::number(command));
    } catch (...) {
    }
}

void TCapi20::DisconnectConfirmation(const uint8_t* message)
{
    CapiTrace(QStringLiteral("Disconnect Confirm"), message, MessageLength(message));
    AppTrace(QStringLiteral("Disconnect Confirm"));
}

void TCapi20::ListenConfirmation(const uint8_t* message)
{
    CapiTrace(QStringLiteral("Listen Confirm"), message, MessageLength(message));
    AppTrace(QStringLiteral("Listen Confirm"));
    PowerManagementRequest();
}

void TCapi20::DisconnectB3Confirmation(const uint8_t* message)
{
    CapiTrace(QStringLiteral("Disconnect B3 Confirm"), message, MessageLength(message));
    AppTrace(QStringLiteral("Disconnect B3 Confirm"));
}
