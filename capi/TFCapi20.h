#pragma once
// TCapi20: a CAPI 2.0 component. It binds a CAPI driver library, registers as
// an application, receives on its own thread (TCapiThread) and routes every
// message to its handlers on the thread that owns it. No operation throws:
// failures become a diagnostic line plus a CAPI info value or a Boolean.

#include "AudioFormat.h"
#include "CallTable.h"
#include "CapiDriverLibrary.h"
#include "CapiEvents.h"
#include "CapiTypes.h"
#include "SupplementaryState.h"

#include <QDateTime>
#include <QMutex>
#include <QObject>
#include <QString>
#include <QStringList>

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

class QTimer;
class TCapiMessageReader;
class TCapiMessageWriter;
class TCapiThread;
class TDataBufferFIFO;
class TDialRecipient;

class TCapi20 : public QObject {
public:
    static constexpr uint32_t kB3BlockSize = 240;

    explicit TCapi20(QObject* owner = nullptr, const TOwnerHelpHandler& ownerHelp = {});
    ~TCapi20() override;

    // --- Driver binding and registration -------------------------------
    bool OpenDevice(const QString& fileName);
    void CloseDevice();
    bool LoadCAPI(const QString& fileName);
    void UnloadCAPI();
    uint16_t CapiInitialize();
    uint16_t Release();
    uint16_t CancelListen();
    uint16_t PutCapiMessage(uint32_t applId, const void* message);
    uint16_t GetCapiMessage(uint32_t applId, const uint8_t*& message);
    bool WaitForSignal();
    QString GetManufacturer();
    QString GetVersion();
    uint16_t ControllerCount();
    TControllerProfile GetProfile(uint32_t controller);
    uint16_t NextMessageNumber();
    void ReadFatalMessage();
    void AppTrace(const QString& text);
    void CapiTrace(const QString& title, const void* bytes, uint32_t count);

    bool CapiLoaded() const { return m_library.IsLoaded(); }
    uint32_t ApplID() const { return m_applId.load(); }
    // The queue lock of the receive thread; nothing when there is none.
    void Lock();
    void Unlock();
    // The receive thread while registered, else null.
    TCapiThread* Thread() const { return m_thread; }
    const TControllerProfile& ControllerProfile() const { return m_controllerProfile; }
    const TCapiDriverLibrary& Library() const { return m_library; }
    // The calls, one record per PLCI number.
    TCallTable& Calls() { return m_calls; }
    // Messages the dispatcher has routed since creation; a diagnostic figure.
    uint64_t RoutedMessages() const { return m_routed.load(std::memory_order_relaxed); }

    // --- Published properties ------------------------------------------
    QString FatalMessage() const;
    const QString& CalledPartyNumber() const { return m_calledPartyNumber; }
    const QString& CalledSubPartyNumber() const { return m_calledSubPartyNumber; }
    const QString& CallingPartyNumber() const { return m_callingPartyNumber; }
    const QString& CallingSubPartyNumber() const { return m_callingSubPartyNumber; }
    void setCallingSubPartyNumber(const QString& value) { m_callingSubPartyNumber = value; }
    const QString& CallingPartyUseruser() const { return m_callingPartyUseruser; }
    void setCallingPartyUseruser(const QString& value) { m_callingPartyUseruser = value; }
    bool IsCallWaiting() const { return m_isCallWaiting; }
    uint16_t CallingCIP() const { return m_callingCIP; }
    TCIPMasks IncomingCalls() const { return m_incomingCalls; }
    void setIncomingCalls(TCIPMasks value);
    TCIPType CIP() const { return m_cip; }
    void setCIP(TCIPType value);
    uint32_t Controller() const { return m_controller; }
    void setController(uint32_t value) { m_controller = value; }
    TInfoMasks InfoMsg() const { return m_infoMsg; }
    void setInfoMsg(TInfoMasks value) { m_infoMsg = value; }
    const QStringList& MSN() const { return m_msn; }
    void setMSN(const QStringList& value) { m_msn = value; }
    bool Wideband() const { return m_wideband.load(); }
    void setWideband(bool value) { m_wideband.store(value); }
    bool Presentation() const { return m_presentation; }
    void setPresentation(bool value) { m_presentation = value; }
    const QString& SendSubMsg() const { return m_sendSubMsg; }
    void setSendSubMsg(const QString& value) { m_sendSubMsg = value; }
    const QString& SendUUMsg() const { return m_sendUUMsg; }
    void setSendUUMsg(const QString& value) { m_sendUUMsg = value; }
    bool HandsetCall() const { return m_handsetFlag != 0; }
    void setHandsetCall(bool value) { m_handsetFlag = value ? 0x80 : 0; }
    bool BufferOutData() const { return m_bufferOutData.load(); }
    void setBufferOutData(bool value) { m_bufferOutData.store(value); }
    bool DirectInData() const { return m_directInData.load(); }
    void setDirectInData(bool value) { m_directInData.store(value); }
    bool PowerManagement() const { return m_powerManagement; }
    void setPowerManagement(bool value) { m_powerManagement = value; }
    const QString& PrefixNational() const { return m_prefixNational; }
    void setPrefixNational(const QString& value);
    const QString& PrefixInternational() const { return m_prefixInternational; }
    void setPrefixInternational(const QString& value);
    bool LinearPCMData() const { return m_audioFormat.LinearPCMData(); }
    uint16_t SampleRate() const { return m_audioFormat.SampleRate(); }
    uint32_t PcmBlockSize() const { return m_audioFormat.PcmBlockSize(); }
    bool DeviceOpened() const { return m_deviceOpened.load(); }
    // The call statistics of the last KORVAN statistics message.
    const TVoIPStatistics& Statistics() const { return m_statistics; }
    // True while dialling requests of other programs reach this component.
    bool ReceivesDialRequests() const;
    bool DoRegisterRequestRecipient() const { return m_doRegisterRequestRecipient; }
    void setDoRegisterRequestRecipient(bool value) { m_doRegisterRequestRecipient = value; }

    // Derived from IncomingCalls and CIP.
    uint32_t CIPMask() const { return m_cipMask; }
    uint16_t B1Protocol() const { return m_b1Protocol; }
    uint16_t B2Protocol() const { return m_b2Protocol; }
    uint16_t B3Protocol() const { return m_b3Protocol; }

    // --- Published events ------------------------------------------------
    TCapiNotifyEvent OnConnect;
    TCapiInfoStringEvent OnDisconnect;
    TCapiNotifyEvent OnConnectActive;
    TCapiNotifyEvent OnB3Active;
    TCapiNotifyEvent OnB3T90Active;
    TCapiNotifyEvent OnDisconnectB3;
    TCapiDataEvent OnData;
    TCapiInfoMsgEvent OnInfo;
    TCapiInfoMsgEvent OnENUM;
    TCapiGContactsEvent OnGContact;
    TCapiGContactsStatusEvent OnGContactStatus;
    TCapiMDNSMsgEvent OnMDNS;
    TCapiInfoStringEvent OnDigit;
    TCapiInfoStringEvent OnHandset;
    TCapiStatusEvent OnStatus;
    TCapiRequestCallEvent OnRequestCall;
    TCapiInfoMsgEvent OnCompleteOffer;
    TCapiInfoStringEvent OnAppTrace;
    TCapiInfoStringEvent OnCapiTrace;
    TCapiInfoStringEvent OnL3Trace;
    TCapiInfoMsgEvent OnL3TraceCall;
    TCapiInfoStringEvent OnGetForwardedNumbers;
    TCapiInfoStringEvent OnGetForwardedNumbersEx;
    TCAPIMWIEvent OnMWI;
    TCapiSMSEvent OnSMS;
    TCapiNotifyEvent OnError;
    TStatisticsEvent OnStatistics;
    TCapiThreadNameEvent OnThreadName;
    TCapiNotifyEvent OnAutoAnswer;
    TCapiGetStringEvent OnGetTimeStamp;
    TNotifyEvent OnMsgHandler;

    // --- D-channel trace -------------------------------------------------
    // The trace request a manufacturer text selects.
    enum class TTraceForm { None, Avm, Korvan };
    TTraceForm TraceForm();
    void StartTrace();
    void StopTrace();
    // The request of TraceForm: its info value, 1 when nothing was sent.
    uint16_t TraceRequest(bool on);
    uint16_t AvmTraceRequest(bool on);
    uint16_t KorvanTraceRequest(bool on);
    void SetL2Display(bool on) { m_l2Display = on; }
    bool L2Display() const { return m_l2Display; }
    bool KorvanTraceMode() const { return m_korvanTraceMode; }
    uint16_t ManufacturerResponse(uint32_t controller, uint16_t messageNumber, uint8_t result,
                                  uint32_t manufacturerId);
    void AvmTraceIndication(uint32_t controller, TCapiMessageReader reader);
    // KORVAN indications: returns the kind byte, which the response carries.
    uint8_t KorvanIndication(uint32_t controller, TCapiMessageReader& reader);
    // MANUFACTURER_CONF: the KORVAN driver's audio format and texts.
    void ManufacturerConfirmation(const uint8_t* message);
    // An invalid time stands for none.
    void L3Trace(QChar direction, const uint8_t* octets, const QDateTime& time, uint32_t count);

    // --- B-channel data ------------------------------------------------------
    // 0 when a block was put, else 1 or the driver's info.
    uint16_t DataB3Request(uint32_t ncci, const void* data, bool direct, bool dropWhenBacklogged,
                           uint16_t length);
    uint16_t DataB3Response(uint32_t ncci, uint16_t dataHandle, uint16_t messageNumber);
    // A free data-handle slot 0 to 6 of the call, taken; 255 when all are in flight.
    uint8_t AllocDataHandle(uint8_t plci);
    uint8_t DataHandlesInUse(uint8_t plci);

    // --- Call control requests and responses ---------------------------
    // Each returns the info of the put, or 1 when nothing was sent.
    uint16_t PowerManagementRequest();
    // A reject above 200 accepts the call and then clears it.
    uint16_t ConnectResponse(uint32_t plci, uint16_t reject, uint16_t messageNumber,
                             const QString& connectedNumber);
    uint16_t ConnectActiveResponse(uint32_t plci, uint16_t messageNumber);
    uint16_t ConnectB3Request(uint32_t plci);
    uint16_t ConnectB3Response(uint32_t ncci, uint16_t reject, uint16_t messageNumber);
    uint16_t ConnectB3ActiveResponse(uint32_t ncci, uint16_t messageNumber);
    uint16_t ConnectB3T90ActiveResponse(uint32_t ncci, uint16_t messageNumber);
    // Given an NCCI, clears its B3 connection instead.
    uint16_t DisconnectRequest(uint32_t plciOrNcci);
    uint16_t DisconnectResponse(uint32_t plci, uint16_t messageNumber);
    uint16_t DisconnectB3Request(uint32_t ncci);
    uint16_t DisconnectB3Response(uint32_t ncci, uint16_t messageNumber);
    uint16_t FacilityResponse(uint32_t address, uint16_t selector, uint16_t function, uint16_t messageNumber);
    uint16_t InfoResponse(uint32_t address, uint16_t messageNumber);

    // --- Supplementary services: requests --------------------------------
    // Each returns the info word of the put, 1 when the driver library is not
    // loaded, and 0 when the request was queued or deferred.
    uint16_t ListenSupplementaryRequest(uint32_t address, uint32_t mask);
    uint16_t EctRequest(uint32_t plciOrNcci, uint32_t targetPlci);
    uint16_t SelectBProtocolRequest(uint32_t plci);
    uint16_t ForwardRequest(uint32_t address, const QString& servedUserNumber, const QString& forwardedToNumber,
                            uint16_t procedure, uint16_t basicService, bool queue);
    uint16_t UnForwardRequest(uint32_t address, const QString& servedUserNumber, uint16_t procedure,
                              uint16_t basicService, bool queue);
    uint16_t InterrogateParamsRequest(uint32_t address, const QString& servedUserNumber, uint16_t procedure,
                                      uint16_t basicService, bool queue);
    uint16_t InterrogateNumbersRequest(uint32_t address);
    uint16_t CcbsDeactivateRequest(uint32_t plci, uint16_t ccbsReference);
    // Hand-built Facility elements in an INFO_REQ, for controllers that do
    // not offer call forwarding themselves.
    uint16_t ActivationDiversionInfoRequest(uint32_t address, const QString& servedUserNumber,
                                            const QString& forwardedToNumber, uint16_t procedure,
                                            uint16_t basicService);
    uint16_t DeactivationDiversionInfoRequest(uint32_t address, const QString& servedUserNumber,
                                              uint16_t procedure, uint16_t basicService);
    uint16_t InterrogateParamsInfoRequest(uint32_t address, const QString& servedUserNumber,
                                          uint16_t procedure, uint16_t basicService);
    uint16_t InterrogateNumbersInfoRequest(uint32_t address);
    uint16_t CcbsStatusResultInfoRequest(uint32_t plci, bool free);
    uint16_t CcbsDeactivateInfoRequest(uint32_t plci, uint8_t callLinkageIdentifier);

    // Queues of call-forwarding requests: true when an earlier request of
    // the same kind is still outstanding.
    bool QueueForward(uint32_t address, const QString& servedUserNumber, uint16_t procedure,
                      uint16_t basicService, const QString& forwardedToNumber);
    bool QueueUnForward(uint32_t address, const QString& servedUserNumber, uint16_t procedure,
                        uint16_t basicService);
    bool QueueInterrogateParams(uint32_t address, const QString& servedUserNumber, uint16_t procedure,
                                uint16_t basicService);
    // Removes the answered request and sends the next one; true when the
    // answered request was the last one (or, with dropAll, the queue existed).
    bool NextForward(bool dropAll);
    bool NextUnForward(bool dropAll);
    bool NextInterrogateParams(bool dropAll);
    static QString ComponentKindText(uint8_t componentTag);

    // The 3-second timer's steps: drop the oldest stale queue (true when one
    // was dropped), else end an unanswered number interrogation.
    bool DropStaleSupplementaryQueue(uint32_t now);
    bool EndStaleInterrogation(uint32_t now);

    const TSupplementaryState& SupplementaryState() const { return m_supplementary; }
    // Millisecond tick count, wrapping at 2^32; tests substitute their own.
    uint32_t TickCount() const;
    void SetTickSource(std::function<uint32_t()> source) { m_tickSource = std::move(source); }

    // --- Supplementary services and information: decoding ----------------
    // Text of an info element; infoNumber may be rewritten (progress, charges).
    static QString InfoElementText(uint16_t& infoNumber, const uint8_t* contents, uint32_t length);
    // The readers stand on the contents of the facility parameter struct.
    void DecodeSupplementaryIndication(uint32_t address, TCapiMessageReader reader);
    void DecodeSupplementaryConfirmation(uint32_t address, TCapiMessageReader reader);
    // The reader stands on the PLCI; returns the address the INFO_RESP goes to.
    uint32_t DecodeInfoIndication(TCapiMessageReader reader);

private:
    friend class TCapiThread;
    friend struct TKorvanIndications;

    QString TimeStamp();
    // Traces, puts and reports one built message: success as report (the
    // title when empty) + detail, failure as report + " failed: 0x" + info.
    uint16_t PutRequest(const TCapiMessageWriter& writer, const QString& title, const QString& detail = QString(),
                        const QString& report = QString());
    // A response that carries nothing but its PLCI or NCCI.
    uint16_t PutAddressResponse(uint8_t command, uint16_t messageNumber, uint32_t address, const QString& title);
    // The fatal-result rule of put and get: a line, then OnError or CloseDevice.
    uint16_t CheckFatal(uint16_t result, const QString& errorPrefix);
    bool IsReceiveThread() const;
    void ClearCaches();
    void ClearSupplementaryServices();
    // Dialling requests of other programs.
    bool RegisterRequestRecipient();
    void UnregisterRequestRecipient();

    // --- Receive path (called by TCapiThread) --------------------------
    // On the receive thread before queueing: DATA_B3 bypass and the
    // CONNECT_ACTIVE_IND peek. True when the message was consumed.
    bool BeforeQueue(const uint8_t* message);
    bool BeingDestroyed() const { return m_destroying.load(); }
    void RouteMessage(const uint8_t* message);

    // --- Handlers --------------------------------------------------------
    void AlertConfirmation(const uint8_t* message);
    void ConnectConfirmation(const uint8_t* message);
    void ConnectIndication(const uint8_t* message);
    void ConnectActiveIndication(const uint8_t* message);
    void DisconnectConfirmation(const uint8_t* message);
    void DisconnectIndication(const uint8_t* message);
    void ListenConfirmation(const uint8_t* message);
    void InfoConfirmation(const uint8_t* message);
    void InfoIndication(const uint8_t* message);
    void SelectBProtocolConfirmation(const uint8_t* message);
    void FacilityConfirmation(const uint8_t* message);
    void FacilityIndication(const uint8_t* message);
    void ConnectB3Confirmation(const uint8_t* message);
    void ConnectB3Indication(const uint8_t* message);
    void ConnectB3ActiveIndication(const uint8_t* message);
    void DisconnectB3Confirmation(const uint8_t* message);
    void DisconnectB3Indication(const uint8_t* message);
    void ConnectB3T90ActiveIndication(const uint8_t* message);
    void DataB3Handler(const uint8_t* message);
    void DataB3Confirmation(const uint8_t* message);
    void DataB3Indication(const uint8_t* message);
    void SendWidebandSilence(uint32_t ncci, uint16_t size);
    void FreeDataHandle(uint8_t plci, uint8_t handle);
    void ManufacturerIndication(const uint8_t* message);
    void L3TraceKorvan(QChar direction, const uint8_t* octets, const QDateTime& time, uint32_t count);
    // MANUFACTURER_REQ to Controller with the bytes that follow the ManuID.
    uint16_t PutTraceRequest(uint32_t manufacturerId, const uint8_t* data, uint32_t count);
    void L3TraceCalls(QChar direction, const uint8_t* octets, uint32_t count, uint32_t layer2Length);
    // CONNECT_IND into the published call data; the PLCI.
    uint32_t ParseConnectIndication(const uint8_t* message);
    // CONNECT_ACTIVE_IND into the call record, and with events (on the main
    // thread only) into the published call data; the PLCI.
    uint32_t ParseConnectActive(const uint8_t* message, bool withEvents);
    void ReleaseCallRecord(uint32_t plci);
    void TimerTick();

    // --- Supplementary services ------------------------------------------
    uint16_t SendForwardingRequest(uint16_t function, uint32_t address, const QString& servedUserNumber,
                                   uint16_t procedure, uint16_t basicService, const QString& success,
                                   const QString& failurePrefix);
    uint16_t SendFacilityElement(uint32_t address, const std::vector<uint8_t>& element, const QString& success,
                                 const QString& failurePrefix);
    std::vector<uint8_t> DiversionElement(uint8_t operation, const QString& servedUserNumber, uint16_t procedure,
                                          uint16_t basicService);
    bool NextQuery(TQueryQueue& queue, bool dropAll, const std::function<void(const TQuery&)>& send);
    // The operation of a Facility element in an INFO indication: lines,
    // events and follow-up requests; text becomes what OnInfo carries.
    void DecodeInfoFacility(uint32_t address, const uint8_t* contents, uint32_t length, QString& line,
                            QString& text);

    // --- Driver binding state --------------------------------------------
    TCapiDriverLibrary m_library;
    std::atomic<uint32_t> m_applId{0};
    std::atomic<bool> m_deviceOpened{false};
    QString m_deviceFileName;
    uint32_t m_b3BlockSize = kB3BlockSize;
    // Set by the manufacturer confirmation on the main thread, read by the data path.
    TAudioFormat m_audioFormat{kB3BlockSize};
    std::atomic<uint16_t> m_messageNumber{0}; // both threads send requests
    QString m_manufacturer;
    bool m_manufacturerCached = false;
    uint16_t m_controllerCount = 0;
    uint32_t m_profileKey = 0;
    TControllerProfile m_profileCache;
    TControllerProfile m_controllerProfile;
    QString m_fatalMessage;
    mutable QMutex m_fatalLock; // FatalMessage may be read while the receive thread writes it
    bool m_inError = false;
    bool m_releasing = false;
    TCapiThread* m_thread = nullptr;
    std::atomic<bool> m_destroying{false};
    std::atomic<uint64_t> m_routed{0};
    bool m_korvanTraceMode = false;
    bool m_l2Display = false;
    std::unique_ptr<TDialRecipient> m_dialRecipient;

    // --- Properties ------------------------------------------------------
    QString m_calledPartyNumber;
    QString m_calledSubPartyNumber;
    QString m_callingPartyNumber;
    QString m_callingSubPartyNumber;
    QString m_callingPartyUseruser;
    bool m_isCallWaiting = false;
    uint16_t m_callingCIP = 0;
    TCIPMasks m_incomingCalls;
    TCIPType m_cip = TCIPType::CIPData_X75;
    uint32_t m_controller = 1;
    TInfoMasks m_infoMsg;
    QStringList m_msn;
    std::atomic<bool> m_wideband{false}; // read by the data path on the receive thread
    bool m_presentation = true;
    QString m_sendSubMsg;
    QString m_sendUUMsg;
    uint8_t m_handsetFlag = 0;
    std::atomic<bool> m_bufferOutData{true};
    std::atomic<bool> m_directInData{true};
    bool m_powerManagement = false;
    QString m_prefixNational;
    QString m_prefixInternational;
    bool m_doRegisterRequestRecipient = true;
    TVoIPStatistics m_statistics;
    uint32_t m_cipMask = 0;
    uint16_t m_b1Protocol = 0;
    uint16_t m_b2Protocol = 0;
    uint16_t m_b3Protocol = 0;

    // --- Calls -----------------------------------------------------------
    TCallTable m_calls;
    // A standard mutex, which ThreadSanitizer sees (Qt's are invisible to it).
    std::mutex m_dataLock;
    QTimer* m_timer = nullptr;

    // --- Supplementary services ------------------------------------------
    TSupplementaryState m_supplementary;
    std::function<uint32_t()> m_tickSource;
};
