// TCapi20: driver binding, registration, put and get, driver queries,
// message numbers and the two diagnostic line streams.

#include "TFCapi20.h"

#include "DataBuffer.h"
#include "HexLine.h"
#include "TCapiThread.h"
#include "TextCodec.h"
#include "CapiMessageWriter.h"

#include <QDeadlineTimer>
#include <QMetaObject>
#include <QTime>

#include <cstring>
#include <mutex>

namespace {

constexpr char kDefaultDriver[] = "capi2032.dll";
constexpr char kNoCapi[] = "no CAPI available";
constexpr uint32_t kMessageBufferSize = 3072; // 1024 + 1024 * maxLogicalConnection
constexpr uint32_t kMaxLogicalConnection = 2;
constexpr uint32_t kMaxBDataBlocks = 7;
constexpr uint16_t kFaultRegisterRelease = 0xFFFF;
constexpr uint16_t kFaultPutGet = 0x1105;
constexpr uint16_t kIllegalApplId = 0x1101;
constexpr uint16_t kQueueEmpty = 0x1104;
// Controller numbers are seven bits wide; a driver that reports more
// controllers is not believed beyond that.
constexpr uint16_t kMaxControllers = 127;
constexpr int kProfileSize = 64;
constexpr int kManufacturerSize = 64;

QString Hex(uint32_t value, int digits)
{
    return QStringLiteral("%1").arg(value, digits, 16, QLatin1Char('0')).toUpper();
}

void PutDword(uint8_t* bytes, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes[i] = uint8_t(value >> (8 * i));
}

uint32_t Dword(const uint8_t* bytes)
{
    return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 | uint32_t(bytes[3]) << 24;
}

// Runs one driver call; a C++ exception out of the driver counts as its fault.
template <typename Call>
bool Guarded(Call&& call)
{
    try {
        call();
        return true;
    } catch (...) {
        return false;
    }
}

TControllerProfile ProfileFrom(const uint8_t* buffer)
{
    TControllerProfile profile;
    profile.BChannels = uint16_t(buffer[2] | (buffer[3] << 8));
    profile.GlobalOptions = Dword(buffer + 4);
    profile.InternalController = (profile.GlobalOptions & 0x001) != 0;
    profile.ExternalEquipment = (profile.GlobalOptions & 0x002) != 0;
    profile.Handset = (profile.GlobalOptions & 0x004) != 0;
    profile.DTMF = (profile.GlobalOptions & 0x008) != 0;
    profile.SupplementaryServices = (profile.GlobalOptions & 0x010) != 0;
    profile.ChannelAllocation = (profile.GlobalOptions & 0x020) != 0;
    profile.GlobalOptionBit7 = (profile.GlobalOptions & 0x080) != 0;
    profile.GlobalOptionBit9 = (profile.GlobalOptions & 0x200) != 0;
    profile.B1Protocols = Dword(buffer + 8);
    profile.B2Protocols = Dword(buffer + 12);
    profile.B3Protocols = Dword(buffer + 16);
    return profile;
}

} // namespace

QString TCapi20::TimeStamp()
{
    if (OnGetTimeStamp)
        return OnGetTimeStamp();
    // Both threads stamp their lines. The C library re-reads the time zone
    // for every local time under a lock of its own that the thread sanitiser
    // cannot see; one lock of ours around it keeps the stamps visibly apart.
    static std::mutex localTime;
    std::lock_guard<std::mutex> guard(localTime);
    return QTime::currentTime().toString(QStringLiteral("hh:mm:ss,zzz"));
}

void TCapi20::AppTrace(const QString& text)
{
    if (text.isEmpty() || !OnAppTrace)
        return;
    OnAppTrace(0, TimeStamp() + QStringLiteral(": ") + text);
}

void TCapi20::CapiTrace(const QString& title, const void* bytes, uint32_t count)
{
    if (!OnCapiTrace)
        return;
    const uint8_t* octets = static_cast<const uint8_t*>(bytes);
    OnCapiTrace(0, TimeStamp() + QStringLiteral(": ") + title + QStringLiteral(": ")
                       + HexLine(octets, octets == nullptr ? 0 : count));
}

bool TCapi20::IsReceiveThread() const
{
    return m_thread != nullptr && QThread::currentThread() == m_thread;
}

void TCapi20::Lock()
{
    if (m_thread != nullptr)
        m_thread->Lock();
}

void TCapi20::Unlock()
{
    if (m_thread != nullptr)
        m_thread->Unlock();
}

bool TCapi20::OpenDevice(const QString& fileName)
{
    if (m_deviceOpened.load())
        return true;
    m_audioFormat.Reset();
    {
        QMutexLocker locker(&m_fatalLock);
        m_fatalMessage.clear();
    }
    m_deviceFileName = fileName.trimmed();
    if (m_deviceFileName.isEmpty())
        m_deviceFileName = QLatin1String(kDefaultDriver);
    AppTrace(QStringLiteral("OpenDevice (") + m_deviceFileName + QStringLiteral(")"));
    if (LoadCAPI(m_deviceFileName)) {
        m_deviceOpened.store(true);
        if (CapiInitialize() != 0) {
            AppTrace(QStringLiteral("CapiInitialize failed"));
            CloseDevice();
        }
    } else {
        AppTrace(QStringLiteral("Loading CAPI failed"));
    }
    if (!m_deviceOpened.load())
        AppTrace(QStringLiteral("OpenDevice failed"));
    return m_deviceOpened.load();
}

void TCapi20::CloseDevice()
{
    if (!m_deviceOpened.load())
        return;
    if (IsReceiveThread() || m_calls.Lock().HeldByThisThread()) {
        // The receive thread cannot wait for itself, nor can a thread that
        // holds the call table (a fatal put in the data path) wait for a
        // receive thread that may be waiting for it: the receive thread
        // stops, and the component's own thread finishes the close.
        m_thread->SetStop();
        // A member pointer, not a closure: nothing this thread writes is read there.
        QMetaObject::invokeMethod(this, &TCapi20::CloseDevice, Qt::QueuedConnection);
        return;
    }
    if (m_releasing)
        return; // a fatal result met while releasing: the close under way finishes
    AppTrace(QStringLiteral("CloseDevice"));
    Release();
    m_deviceOpened.store(false);
    UnloadCAPI();
    m_korvanTraceMode = false;
}

bool TCapi20::LoadCAPI(const QString& fileName)
{
    AppTrace(QStringLiteral("LoadCAPI(") + fileName + QStringLiteral(")"));
    if (m_library.IsLoaded())
        return true;
    uint32_t systemError = 0;
    switch (m_library.Load(fileName, systemError)) {
    case TCapiDriverLibrary::TLoadResult::Loaded:
        return true;
    case TCapiDriverLibrary::TLoadResult::LoadFailed:
        AppTrace(QStringLiteral("LoadCAPI: loadLibrary failed: 0x") + Hex(systemError, 8));
        return false;
    case TCapiDriverLibrary::TLoadResult::MissingExport:
        AppTrace(QStringLiteral("LoadCAPI: not all function imported"));
        UnloadCAPI();
        return false;
    }
    return false;
}

void TCapi20::UnloadCAPI()
{
    if (!m_library.IsLoaded())
        return;
    // The receive thread calls into the library: it must be gone first.
    if (m_thread != nullptr && !m_releasing && !IsReceiveThread())
        Release();
    if (IsReceiveThread())
        return;
    AppTrace(QStringLiteral("UnloadCAPI"));
    m_library.Unload();
}

void TCapi20::ClearCaches()
{
    m_controllerCount = 0;
    m_profileKey = 0;
    m_profileCache = TControllerProfile();
    m_manufacturerCached = false;
}

uint16_t TCapi20::CapiInitialize()
{
    ClearCaches();
    if (!CapiLoaded()) {
        AppTrace(QStringLiteral("No CAPI loaded: Initialize failed"));
        return 1;
    }
    AppTrace(QStringLiteral("Installed"));
    CapiTrace(QStringLiteral("Installed"), nullptr, 0);
    uint32_t installed = 1;
    if (!Guarded([&] { installed = m_library.Entry().CAPI_INSTALLED(); }))
        installed = kFaultRegisterRelease;
    if (installed != 0) {
        AppTrace(QStringLiteral("No valid CAPI installed"));
        return 1;
    }
    ClearSupplementaryServices();
    if (m_controller == 0)
        m_controller = 1;
    if (m_applId.load() != 0) {
        AppTrace(QStringLiteral("Application is registered"));
        return 0;
    }
    // Asked one after the other: the driver sees the manufacturer query first.
    const QString manufacturer = GetManufacturer();
    AppTrace(manufacturer + QStringLiteral(": ") + GetVersion());
    AppTrace(QStringLiteral("Register: %1 bytes blocksize").arg(m_b3BlockSize));
    uint8_t parameters[16];
    PutDword(parameters, kMessageBufferSize);
    PutDword(parameters + 4, kMaxLogicalConnection);
    PutDword(parameters + 8, kMaxBDataBlocks);
    PutDword(parameters + 12, m_b3BlockSize);
    CapiTrace(QStringLiteral("Register"), parameters, sizeof parameters);
    uint32_t applId = 0;
    uint32_t result = 0;
    if (!Guarded([&] {
            result = m_library.Entry().CAPI_REGISTER(kMessageBufferSize, kMaxLogicalConnection,
                                                     kMaxBDataBlocks, m_b3BlockSize, &applId);
        })) {
        AppTrace(QStringLiteral("Exception while calling CapiRegister!"));
        result = kFaultRegisterRelease;
    }
    uint8_t applIdBytes[4];
    PutDword(applIdBytes, applId);
    CapiTrace(QStringLiteral("Register returns"), applIdBytes, sizeof applIdBytes);
    const uint16_t info = uint16_t(result);
    if (info != 0) {
        AppTrace(QStringLiteral("Register failed: 0x") + Hex(info, 8));
        m_applId.store(0);
        return info;
    }
    m_applId.store(applId);
    m_thread = new TCapiThread(this);
    m_thread->start(QThread::HighPriority);
    m_controllerProfile = GetProfile(m_controller);
    if (m_doRegisterRequestRecipient && m_incomingCalls.Contains(TCIPMask::Telephony) && OnRequestCall)
        RegisterRequestRecipient();
    return 0;
}

uint16_t TCapi20::Release()
{
    if (!CapiLoaded())
        return 1;
    if (m_releasing || IsReceiveThread())
        return 1; // already under way further up this thread, or asked from the thread being released
    m_releasing = true;
    UnregisterRequestRecipient();
    // Every driver but the KORVAN one gets no more requests from here on.
    if (m_thread != nullptr && !GetManufacturer().contains(QLatin1String("KORVAN")))
        m_thread->SetStop();
    uint16_t result = 0;
    const uint32_t applId = m_applId.load();
    if (applId != 0) {
        CancelListen();
        uint8_t applIdBytes[4];
        PutDword(applIdBytes, applId);
        CapiTrace(QStringLiteral("Release"), applIdBytes, sizeof applIdBytes);
        uint32_t released = 0;
        {
            std::unique_lock<std::mutex> fetching;
            if (m_thread != nullptr)
                fetching = std::unique_lock<std::mutex>(m_thread->FetchGuard());
            if (!Guarded([&] { released = m_library.Entry().CAPI_RELEASE(applId); }))
                released = kFaultRegisterRelease;
        }
        result = uint16_t(released);
        while (m_thread != nullptr && !m_thread->Stopped() && m_thread->FetchMessage()) {
        }
        if (result == 0)
            AppTrace(QStringLiteral("Release"));
        else
            AppTrace(QStringLiteral("Release failed: 0x") + Hex(result, 8));
        m_applId.store(0);
    }
    if (m_thread != nullptr) {
        TCapiThread* thread = m_thread;
        thread->SetStop();
        thread->DispatchQueue();
        // The receive thread may wait for a hand-over that this thread can
        // only serve after returning (Release called from a handler), so it
        // no longer waits; pending hand-overs are served here while waiting.
        thread->CancelHandOver();
        while (!thread->wait(QDeadlineTimer(5)))
            thread->ServiceHandOver();
        thread->DispatchQueue(); // what arrived after the first drain
        m_thread = nullptr;
        if (thread->DispatchDepth() > 0)
            thread->deleteLater(); // a drain further up this stack still walks its queue
        else
            delete thread;
    }
    ClearCaches();
    m_releasing = false;
    return result;
}

uint16_t TCapi20::CancelListen()
{
    const uint32_t applId = m_applId.load();
    if (!CapiLoaded() || applId == 0)
        return 1;
    const uint16_t count = std::min(ControllerCount(), kMaxControllers);
    if (count == 0)
        return 1;
    uint16_t result = 1;
    for (uint32_t controller = 1; controller <= count; ++controller) {
        TCapiMessageWriter writer;
        writer.Init(uint16_t(applId), 0x05, 0x80, NextMessageNumber());
        writer.AddDword(controller | m_handsetFlag);
        writer.AddDword(0); // Info mask
        writer.AddDword(0); // CIP mask
        writer.AddDword(0); // CIP mask 2
        writer.AddEmptyStruct(); // calling party number
        writer.AddEmptyStruct(); // calling party subaddress
        CapiTrace(QStringLiteral("Listen Request"), writer.Message(), writer.MessageLength());
        result = PutCapiMessage(applId, writer.Message());
        if (result != 0)
            AppTrace(QStringLiteral("Listen Request failed: 0x") + Hex(result, 8));
        else
            AppTrace(QStringLiteral("Listen Request"));
    }
    return result;
}

uint16_t TCapi20::CheckFatal(uint16_t result, const QString& errorPrefix)
{
    const bool fatal = (result & 0x1100) == 0x1100 && result >= kFaultPutGet;
    if (!fatal)
        return result;
    AppTrace(errorPrefix + Hex(result, 4));
    if (OnError) {
        if (!m_inError) {
            m_inError = true;
            ReadFatalMessage();
            OnError(0, result);
            m_inError = false;
        }
    } else {
        CloseDevice();
    }
    return result;
}

uint16_t TCapi20::PutCapiMessage(uint32_t applId, const void* message)
{
    TCapiThread* thread = m_thread;
    if (thread == nullptr || thread->Stopped() || !CapiLoaded())
        return 0;
    uint32_t result = 0;
    if (!Guarded([&] { result = m_library.Entry().CAPI_PUT_MESSAGE(applId, const_cast<void*>(message)); }))
        result = kFaultPutGet;
    return CheckFatal(uint16_t(result), QStringLiteral("PutCapiMessage error: 0x"));
}

uint16_t TCapi20::GetCapiMessage(uint32_t applId, const uint8_t*& message)
{
    message = nullptr;
    if (applId == 0 || !CapiLoaded())
        return kQueueEmpty;
    void* received = nullptr;
    uint32_t result = 0;
    if (!Guarded([&] { result = m_library.Entry().CAPI_GET_MESSAGE(applId, &received); }))
        result = kFaultPutGet;
    if (result == 0)
        message = static_cast<const uint8_t*>(received);
    return CheckFatal(uint16_t(result), QStringLiteral("GetCapiMessage error: 0x"));
}

bool TCapi20::WaitForSignal()
{
    const uint32_t applId = m_applId.load();
    TCapiThread* thread = m_thread;
    if (applId == 0 || thread == nullptr || thread->Stopped())
        return false;
    uint32_t result = 0;
    if (!Guarded([&] { result = m_library.Entry().CAPI_WAIT_FOR_SIGNAL(applId); })) {
        AppTrace(QStringLiteral("CAPI died"));
        return false;
    }
    if (uint16_t(result) == kIllegalApplId)
        return false;
    if (result != 0)
        QThread::msleep(10); // a driver that keeps failing must not make the loop spin
    return true;
}

QString TCapi20::GetManufacturer()
{
    if (!CapiLoaded()) {
        m_manufacturer = QLatin1String(kNoCapi);
        return m_manufacturer;
    }
    if (!m_manufacturerCached) {
        char buffer[kManufacturerSize + 1] = {};
        Guarded([&] { m_library.Entry().CAPI_GET_MANUFACTURER(buffer); });
        buffer[kManufacturerSize] = 0;
        const uint32_t length = uint32_t(strnlen(buffer, kManufacturerSize));
        CapiTrace(QStringLiteral("Get Manufacturer"), buffer, length);
        m_manufacturerCached = true;
        m_manufacturer = length == 0 ? QLatin1String(kNoCapi)
                                     : DecodeText(reinterpret_cast<const uint8_t*>(buffer), length);
    }
    return m_manufacturer;
}

QString TCapi20::GetVersion()
{
    if (!CapiLoaded())
        return QString();
    uint32_t version[4] = {};
    Guarded([&] { m_library.Entry().CAPI_GET_VERSION(&version[0], &version[1], &version[2], &version[3]); });
    uint8_t bytes[16];
    for (int i = 0; i < 4; ++i)
        PutDword(bytes + 4 * i, version[i]);
    CapiTrace(QStringLiteral("Get Version"), bytes, sizeof bytes);
    QString text = QStringLiteral("%1.%2").arg(version[0]).arg(version[1]);
    if (GetManufacturer().contains(QLatin1String("AVM"))) {
        text += QStringLiteral(" (%1.%2%3-%4)")
                    .arg((version[2] >> 4) & 0xF)
                    .arg(version[2] & 0xF)
                    .arg((version[3] >> 4) & 0xF)
                    .arg(version[3] & 0xF);
    } else {
        text += QStringLiteral(" (%1.%2)").arg(version[2]).arg(version[3]);
    }
    return text;
}

uint16_t TCapi20::ControllerCount()
{
    if (!CapiLoaded())
        return 0;
    if (m_controllerCount == 0) {
        uint8_t buffer[kProfileSize] = {};
        Guarded([&] { m_library.Entry().CAPI_GET_PROFILE(buffer, 0); });
        m_controllerCount = uint16_t(buffer[0] | (buffer[1] << 8));
    }
    return m_controllerCount;
}

TControllerProfile TCapi20::GetProfile(uint32_t controller)
{
    TControllerProfile profile;
    if (controller == 0) {
        // Controller 0 carries only the controller count: no profile of its own.
    } else if (CapiLoaded() && controller != m_profileKey) {
        uint8_t buffer[kProfileSize] = {};
        Guarded([&] { m_library.Entry().CAPI_GET_PROFILE(buffer, controller); });
        CapiTrace(QStringLiteral("Get Profile"), buffer, sizeof buffer);
        profile = ProfileFrom(buffer);
        m_profileCache = profile;
    } else if (controller == m_profileKey) {
        profile = m_profileCache;
    }
    m_profileKey = controller;
    return profile;
}

uint16_t TCapi20::NextMessageNumber()
{
    // The data path sends from the receive thread while the main thread sends
    // requests: each caller gets a number of its own.
    uint16_t current = m_messageNumber.load();
    uint16_t next = 0;
    do {
        next = current;
        do {
            next = next > 32766 ? 0 : uint16_t(next + 1);
        } while (next == 129 || next == 130);
    } while (!m_messageNumber.compare_exchange_weak(current, next));
    return next;
}

void TCapi20::ReadFatalMessage()
{
    const TGetFatal getFatal = m_library.GetFatal();
    if (getFatal == nullptr)
        return;
    QString text;
    Lock();
    const char* fatal = nullptr;
    Guarded([&] { fatal = getFatal(); });
    if (fatal != nullptr)
        text = DecodeText(reinterpret_cast<const uint8_t*>(fatal), uint32_t(strnlen(fatal, 4096)));
    Unlock();
    QMutexLocker locker(&m_fatalLock);
    m_fatalMessage = text;
}

QString TCapi20::FatalMessage() const
{
    QMutexLocker locker(&m_fatalLock);
    return m_fatalMessage;
}
