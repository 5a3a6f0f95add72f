#include "CapiDriverLibrary.h"

#include "PlatformCapiAdapter.h"

#include <QFileInfo>

#include <cerrno>
#include <dlfcn.h>

namespace {
constexpr char kDefaultDriver[] = "capi2032.dll";

template <typename Function>
bool Resolve(void* handle, const char* name, Function& target)
{
    target = reinterpret_cast<Function>(dlsym(handle, name));
    return target != nullptr;
}
} // namespace

bool TCapiEntryPoints::Complete() const
{
    return CAPI_REGISTER && CAPI_RELEASE && CAPI_PUT_MESSAGE && CAPI_GET_MESSAGE && CAPI_WAIT_FOR_SIGNAL
        && CAPI_GET_MANUFACTURER && CAPI_GET_VERSION && CAPI_GET_SERIAL_NUMBER && CAPI_GET_PROFILE
        && CAPI_INSTALLED;
}

TCapiDriverLibrary::~TCapiDriverLibrary()
{
    Unload();
}

QString TCapiDriverLibrary::FileName(const QString& name)
{
    if (name.compare(QLatin1String(kDefaultDriver), Qt::CaseInsensitive) == 0)
        return QLatin1String(kPlatformCapiLibrary);
    return name;
}

TCapiDriverLibrary::TLoadResult TCapiDriverLibrary::Load(const QString& name, uint32_t& systemError)
{
    systemError = 0;
    if (m_handle != nullptr)
        return TLoadResult::Loaded;
    const QString file = FileName(name);
    errno = 0;
    void* handle = dlopen(QFile::encodeName(file).constData(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        // dlopen sets errno only when a system call failed; a file that is
        // there but no loadable library counts as a bad executable format.
        systemError = uint32_t(errno != 0 ? errno : ENOEXEC);
        if (errno == 0 && file.contains(QLatin1Char('/')) && !QFileInfo::exists(file))
            systemError = ENOENT;
        return TLoadResult::LoadFailed;
    }
    TCapiEntryPoints entry;
    // Resolve every export, so a missing one is found whatever its place.
    bool complete = true;
    complete = Resolve(handle, "CAPI_REGISTER", entry.CAPI_REGISTER) && complete;
    complete = Resolve(handle, "CAPI_RELEASE", entry.CAPI_RELEASE) && complete;
    complete = Resolve(handle, "CAPI_PUT_MESSAGE", entry.CAPI_PUT_MESSAGE) && complete;
    complete = Resolve(handle, "CAPI_GET_MESSAGE", entry.CAPI_GET_MESSAGE) && complete;
    complete = Resolve(handle, "CAPI_WAIT_FOR_SIGNAL", entry.CAPI_WAIT_FOR_SIGNAL) && complete;
    complete = Resolve(handle, "CAPI_GET_MANUFACTURER", entry.CAPI_GET_MANUFACTURER) && complete;
    complete = Resolve(handle, "CAPI_GET_VERSION", entry.CAPI_GET_VERSION) && complete;
    complete = Resolve(handle, "CAPI_GET_SERIAL_NUMBER", entry.CAPI_GET_SERIAL_NUMBER) && complete;
    complete = Resolve(handle, "CAPI_GET_PROFILE", entry.CAPI_GET_PROFILE) && complete;
    complete = Resolve(handle, "CAPI_INSTALLED", entry.CAPI_INSTALLED) && complete;
    bool platform = false;
    if (!complete && entry.CAPI_REGISTER == nullptr) {
        // No CAPI 2.0 names at all: perhaps the platform's own CAPI library.
        platform = BindPlatformCapi(handle, entry);
        complete = platform;
    }
    m_handle = handle;
    m_entry = entry;
    m_platform = platform;
    return complete ? TLoadResult::Loaded : TLoadResult::MissingExport;
}

void TCapiDriverLibrary::Unload()
{
    if (m_handle == nullptr)
        return;
    dlclose(m_handle);
    m_handle = nullptr;
    m_entry = TCapiEntryPoints();
    m_platform = false;
}

TGetFatal TCapiDriverLibrary::GetFatal() const
{
    if (m_handle == nullptr || m_platform)
        return nullptr;
    return reinterpret_cast<TGetFatal>(dlsym(m_handle, "Get_Fatal"));
}
