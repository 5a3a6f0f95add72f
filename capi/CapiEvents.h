#pragma once
// Event types of the CAPI component. Events are nullable callables: an
// unassigned event is skipped and the caller carries on.

#include "CapiTypes.h"

#include <QString>
#include <cstdint>
#include <functional>

class QObject;

using TCapiNotifyEvent = std::function<void(uint32_t PLCI_NCCI, uint16_t NotifyType)>;
using TCapiInfoStringEvent = std::function<void(uint32_t PLCI_NCCI, const QString& Info)>;
using TCapiInfoMsgEvent = std::function<void(uint32_t PLCI_NCCI, uint16_t InfoType, const QString& InfoStr)>;
using TCapiDataEvent = std::function<void(uint32_t PLCI_NCCI, const uint8_t* Data, uint16_t Size)>;
using TCapiStatusEvent = std::function<void(uint32_t PLCI_NCCI, TCallStatus Status)>;
using TCapiRequestCallEvent =
    std::function<void(uint32_t PLCI_NCCI, const QString& Number, const QString& Name)>;
using TCapiMDNSMsgEvent = std::function<void(uint32_t PLCI_NCCI, uint32_t TTL, const QString& URI,
                                             const QString& Host, const QString& Software)>;
using TCapiThreadNameEvent =
    std::function<void(uint32_t PLCI_NCCI, uint32_t ThreadID, const QString& ThreadName)>;
using TStatisticsEvent = std::function<void(uint32_t PLCI_NCCI, const TVoIPStatistics& Statistics)>;
// bmp is null when the contact has no picture; it is valid during the call only.
using TCapiGContactsEvent =
    std::function<void(const QString& Id, const QString& FamilyName, const QString& GivenName,
                       const QString& Number, const QString& NumberString, const TBitmap* bmp)>;
using TCapiGContactsStatusEvent = std::function<void(uint8_t Status)>;
using TCAPIMWIEvent = std::function<void(uint32_t NumberOfMessages, const QString& ControllingNumber,
                                         const QString& CalledNumber)>;
using TCapiSMSEvent =
    std::function<void(const QString& Name, const QString& Number, const QString& Msg, bool IsUTF8)>;
using TCapiGetStringEvent = std::function<QString()>;
using TNotifyEvent = std::function<void(QObject* Sender)>;

// The owner's help handler: called once at creation with the command 0xFFFF
// and the text "initialising CAPI"; the result is ignored.
using TOwnerHelpHandler = std::function<bool(uint16_t Command, const QString& Data, bool& CallHelp)>;
