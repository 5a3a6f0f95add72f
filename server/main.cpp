// vessik-capid: serves a CAPI driver library (by default the simulated
// controller) to CAPI applications on other hosts or in other processes,
// over the remote-CAPI protocol that the platform's CAPI library speaks when
// its configuration names a REMOTE server.

#include "CapiDriverLibrary.h"
#include "RemoteServer.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QString>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <mutex>
#include <string>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int kFailed = 1;
constexpr int kBadArgument = 2;
constexpr char kDefaultListen[] = "127.0.0.1:2662";

int g_stopPipe[2] = {-1, -1};

void OnSignal(int)
{
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(g_stopPipe[1], &byte, 1);
    errno = saved;
}

const char kUsage[] =
    "Usage: vessik-capid [--listen ADDR:PORT] [--driver LIB]\n"
    "Serves a CAPI driver library over the remote-CAPI protocol.\n"
    "  --listen ADDR:PORT  address to listen on (default 127.0.0.1:2662; port 0 picks a free one)\n"
    "  --driver LIB        the CAPI driver library to serve (default: the simulated controller)\n"
    "Clients name the server in ~/.capi20rc or /etc/capi20.conf: REMOTE rcapi ADDR PORT\n";

int BadArgument(const std::string& text)
{
    std::fprintf(stderr, "vessik-capid: %s\n%s", text.c_str(), kUsage);
    return kBadArgument;
}

// The simulated controller built beside this program, else by the loader's search.
QString DefaultDriver()
{
    const QString beside = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("../sim/libvessik-sim.so"));
    if (QFileInfo::exists(beside))
        return QFileInfo(beside).canonicalFilePath();
    return QStringLiteral("libvessik-sim.so");
}

std::mutex g_logLock;

void Log(const std::string& line)
{
    std::lock_guard<std::mutex> guard(g_logLock);
    std::fprintf(stderr, "vessik-capid: %s\n", line.c_str());
    std::fflush(stderr);
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    std::string listen = kDefaultListen;
    QString driverName;
    const QStringList args = QCoreApplication::arguments();
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (arg == QLatin1String("--listen") && hasValue)
            listen = args[++i].toStdString();
        else if (arg == QLatin1String("--driver") && hasValue)
            driverName = args[++i];
        else
            return BadArgument("unknown or incomplete argument \"" + arg.toStdString() + "\"");
    }
    std::string address;
    uint16_t port = 0;
    if (!remote::ParseListenAddress(listen, address, port))
        return BadArgument("--listen needs ADDR:PORT, e.g. 127.0.0.1:2662");
    if (address.empty())
        address = "127.0.0.1";
    if (driverName.isEmpty())
        driverName = DefaultDriver();

    TCapiDriverLibrary driver;
    uint32_t systemError = 0;
    if (driver.Load(driverName, systemError) != TCapiDriverLibrary::TLoadResult::Loaded) {
        std::fprintf(stderr, "vessik-capid: cannot load the CAPI driver %s\n", driverName.toLocal8Bit().constData());
        return kFailed;
    }
    if (driver.Entry().CAPI_INSTALLED() != 0) {
        std::fprintf(stderr, "vessik-capid: the CAPI driver %s reports no installed controller\n",
                     driverName.toLocal8Bit().constData());
        return kFailed;
    }

    if (::pipe2(g_stopPipe, O_CLOEXEC) != 0)
        return kFailed;
    struct sigaction action = {};
    action.sa_handler = OnSignal;
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    const int status = 0;
    {
        remote::TRemoteServer server(driver.Entry(), Log);
        const std::string error = server.Listen(address, port);
        if (!error.empty()) {
            std::fprintf(stderr, "vessik-capid: cannot listen on %s: %s\n", listen.c_str(), error.c_str());
            return kFailed;
        }
        if (!remote::IsLoopbackAddress(address))
            Log("warning: the remote-CAPI protocol has no authentication; anyone who reaches " + address
                + " can use the controller");
        Log("serving " + driverName.toStdString() + " on " + address + ":" + std::to_string(server.Port()));
        server.Run(g_stopPipe[0]);
        Log("stopping");
    } // sessions end and release their applications before the driver goes
    driver.Unload();
    return status;
}
