// TCapi20: creation, destruction and the properties whose setters do more
// than store the value.

#include "TFCapi20.h"

#include "DataBuffer.h"
#include "DialRecipient.h"
#include "Prefixes.h"
#include "TCapiThread.h"

#include <QTimer>

#include <array>

namespace {

constexpr uint16_t kInitialisingCommand = 0xFFFF;
constexpr int kTimerInterval = 3000;

// CIP values (bit n = CIP value n of CAPI 2.0) accepted for each call type.
constexpr std::array<uint32_t, 7> kCipMaskValues = {
    0x00010012, // Telephony: speech, 3.1 kHz audio, telephony
    0x00020010, // Fax_G2_G3: 3.1 kHz audio, fax group 2/3
    0x00000004, // Data_64: unrestricted digital information
    0x00000100, // Data_56: 56 kbit/s rate adaptation
    0x00040004, // Fax_G4: unrestricted digital information, fax group 4 class 1
    0x00000008, // Data_Standard: restricted digital information
    0x01000000, // Msg: message handling
};

struct TBProtocols {
    uint16_t B1, B2, B3;
};
// B protocols of outgoing connections for each call type.
constexpr std::array<TBProtocols, 4> kBProtocols = {{
    {1, 1, 0}, // CIPVoice: bit-transparent, transparent, transparent
    {0, 0, 0}, // CIPData_X75: HDLC, X.75 SLP, transparent
    {4, 4, 4}, // CIPFax: T.30 fax group 3
    {1, 1, 0}, // CIPMsg
}};

} // namespace

TCapi20::TCapi20(QObject* owner, const TOwnerHelpHandler& ownerHelp) : QObject(owner)
{
    if (ownerHelp) {
        bool callHelp = false;
        ownerHelp(kInitialisingCommand, QStringLiteral("initialising CAPI"), callHelp);
    }
    setCIP(TCIPType::CIPData_X75); // derives the B protocols
    m_prefixNational = QStringLiteral("0");
    m_prefixInternational = QStringLiteral("00");
    m_b3BlockSize = kB3BlockSize;
    m_audioFormat.SetPcmBlockSize(kB3BlockSize);
    m_timer = new QTimer(this);
    m_timer->setInterval(kTimerInterval);
    QObject::connect(m_timer, &QTimer::timeout, this, [this] { TimerTick(); });
    m_timer->start();
}

TCapi20::~TCapi20()
{
    // The owner should close the device first; if it did not, the receive
    // thread must still not outlive the component it calls into. A host that
    // registered through LoadCAPI and CapiInitialize has no open device, so
    // unloading (which releases first) covers that case too.
    CloseDevice();
    UnloadCAPI();
    m_destroying.store(true);
    m_timer->stop();
    NextForward(true);
    NextUnForward(true);
    NextInterrogateParams(true);
    m_calls.Clear();
}

void TCapi20::setIncomingCalls(TCIPMasks value)
{
    m_incomingCalls = value;
    uint32_t mask = 0;
    for (size_t element = 0; element < kCipMaskValues.size(); ++element)
        if (value.Contains(TCIPMask(element)))
            mask |= kCipMaskValues[element];
    m_cipMask = mask;
}

void TCapi20::setCIP(TCIPType value)
{
    const size_t index = size_t(value);
    if (index >= kBProtocols.size())
        return;
    m_cip = value;
    m_b1Protocol = kBProtocols[index].B1;
    m_b2Protocol = kBProtocols[index].B2;
    m_b3Protocol = kBProtocols[index].B3;
}

void TCapi20::setPrefixNational(const QString& value)
{
    m_prefixNational = value;
    SetNationalPrefix(value);
}

void TCapi20::setPrefixInternational(const QString& value)
{
    m_prefixInternational = value;
    SetInternationalPrefix(value);
}
