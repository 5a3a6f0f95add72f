#include "FacilityTables.h"

#include <algorithm>
#include <iterator>

namespace {

struct TValueName {
    uint32_t value;
    const char* name;
};

constexpr TValueName kOperationNames[] = {
    {1, "UUs"},
    {2, "CUGCall"},
    {3, "MCIDRequest"},
    {4, "beginTPY"},
    {5, "endTPY"},
    {6, "ECTRequest"},
    {7, "activationDiversion"},
    {8, "deactivationDiversion"},
    {9, "activationStatusNotificationDiv"},
    {10, "deactivationStatusNotificationDiv"},
    {11, "interrogationDiversion"},
    {12, "diversionInformation"},
    {13, "callDeflection"},
    {14, "callRerouting"},
    {15, "divertingLegInformation2"},
    {16, "invokeStatus"},
    {17, "interrogationDiversion1"},
    {18, "divertingLegInformation1"},
    {19, "divertingLegInformation3"},
    {20, "explicitReservationCreationControl"},
    {21, "explicitReservationManagement"},
    {22, "explicitReservationCancel"},
    {24, "MLPP lfb Query"},
    {25, "MLPP Call Request"},
    {26, "MLPP Call preemption"},
    {30, "chargingRequest"},
    {31, "AOCSCurrency"},
    {32, "AOCSSpecialArrangement"},
    {33, "AOCDCurrency"},
    {34, "AOCDChargingUnit"},
    {35, "AOCECurrency"},
    {36, "AOCEChargingUnit"},
    {37, "identificationOfCharge"},
    {40, "beginConf"},
    {41, "addConf"},
    {42, "splitConf"},
    {43, "dropConf"},
    {44, "isolateConf"},
    {45, "reattachConf"},
    {46, "partyDISC"},
    {47, "floatConf"},
    {48, "endConf"},
    {49, "identifyConferee"},
    {60, "requestREV"},
};

// The texts are the ones users know from earlier versions, typos included.
constexpr TValueName kErrorNames[] = {
    {0, "user not subscribed"},
    {1, "rejected by network"},
    {2, "rejected by user"},
    {3, "not available"},
    {5, "insufficient info"},
    {6, "invalid served user number"},
    {7, "invalid call state"},
    {8, "basic service not provided"},
    {9, "not incoming call"},
    {10, "suppl. service interaction not allowed"},
    {11, "resource unavailable"},
    {12, "invalid diverted number"},
    {13, "operator access"},
    {14, "special service number"},
    {15, "diversion to served user number"},
    {16, "invalid or unregistered CUG index"},
    {17, "requested basic service violates CUG contraints"},
    {18, "outgoing calls barred within CUG"},
    {19, "incoming calls barred within CUG"},
    {20, "user not member of CUG"},
    {21, "inconsistency in designated facility and subscriber class"},
    {23, "incoming call accepted by other terminals"},
    {24, "number of diversion counter exceeded"},
    {25, "call failure"},
    {26, "no charging info available"},
    {27, "CUG violation"},
    {28, "illegal Ccnference ID"},
    {29, "illegal party ID"},
    {30, "number of parties have exceeded"},
    {31, "not active"},
    {32, "not allowed"},
    {33, "max. number of reservations reached"},
    {34, "no explicit reservation exists or invalid reservation indicator"},
    {35, "unwanted reservation created"},
    {36, "implicit reservation used"},
    {43, "procedural error"},
    {44, "uauthorized precedence level"},
    {45, "user ignored"},
    {46, "not activated"},
    {47, "UUSReqAsEssential"},
};

template <size_t N>
QString Lookup(const TValueName (&table)[N], uint32_t value)
{
    const auto it = std::find_if(std::begin(table), std::end(table),
                                 [value](const TValueName& entry) { return entry.value == value; });
    if (it == std::end(table))
        return {};
    return QStringLiteral(" (") + QLatin1String(it->name) + QLatin1Char(')');
}

} // namespace

QString OperationName(uint32_t value) { return Lookup(kOperationNames, value); }

QString ErrorName(uint32_t value) { return Lookup(kErrorNames, value & 0xFFFF); }
