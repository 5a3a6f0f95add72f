#pragma once
// Binding to a CAPI 2.0 driver library: loads it with the platform loader and
// resolves the ten CAPI 2.0 exports by name. The default driver name
// "capi2032.dll" stands for the platform's CAPI library (libcapi20.so.3),
// which is bound through an adapter because its exports differ.

#include <QString>
#include <cstdint>

struct TCapiEntryPoints {
    uint32_t (*CAPI_REGISTER)(uint32_t messageBufferSize, uint32_t maxLogicalConnection,
                              uint32_t maxBDataBlocks, uint32_t maxBDataLen, uint32_t* applId) = nullptr;
    uint32_t (*CAPI_RELEASE)(uint32_t applId) = nullptr;
    uint32_t (*CAPI_PUT_MESSAGE)(uint32_t applId, void* message) = nullptr;
    uint32_t (*CAPI_GET_MESSAGE)(uint32_t applId, void** message) = nullptr;
    uint32_t (*CAPI_WAIT_FOR_SIGNAL)(uint32_t applId) = nullptr;
    uint32_t (*CAPI_GET_MANUFACTURER)(char* buffer) = nullptr;
    uint32_t (*CAPI_GET_VERSION)(uint32_t* capiMajor, uint32_t* capiMinor, uint32_t* manufacturerMajor,
                                 uint32_t* manufacturerMinor) = nullptr;
    uint32_t (*CAPI_GET_SERIAL_NUMBER)(char* buffer) = nullptr;
    uint32_t (*CAPI_GET_PROFILE)(void* buffer, uint32_t controller) = nullptr;
    uint32_t (*CAPI_INSTALLED)() = nullptr;

    bool Complete() const;
};

using TGetFatal = const char* (*)();

class TCapiDriverLibrary {
public:
    enum class TLoadResult { Loaded, LoadFailed, MissingExport };

    TCapiDriverLibrary() = default;
    ~TCapiDriverLibrary();
    TCapiDriverLibrary(const TCapiDriverLibrary&) = delete;
    TCapiDriverLibrary& operator=(const TCapiDriverLibrary&) = delete;

    // systemError receives the loader's error code when loading fails.
    TLoadResult Load(const QString& name, uint32_t& systemError);
    void Unload();
    bool IsLoaded() const { return m_handle != nullptr; }
    const TCapiEntryPoints& Entry() const { return m_entry; }
    // The optional Get_Fatal export, looked up when asked for; null when absent.
    TGetFatal GetFatal() const;
    // True when the library is the platform's CAPI library bound by the adapter.
    bool IsPlatformLibrary() const { return m_platform; }

    // The file the loader opens for a driver name.
    static QString FileName(const QString& name);

private:
    void* m_handle = nullptr;
    TCapiEntryPoints m_entry;
    bool m_platform = false;
};
