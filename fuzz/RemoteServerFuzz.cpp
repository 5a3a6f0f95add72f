// Arbitrary octets from a remote-CAPI client: the stream is split into
// messages as the server splits it, and every message goes through a
// session on the simulated driver (control requests answered, registration,
// messages and inline B3 data put to the driver). Each input gets a fresh
// session, so a crash reproduces from its input alone.

#include "CapiDriverLibrary.h"
#include "RemoteFraming.h"
#include "RemoteSession.h"
#include "SimSteering.h"

#include <QString>

#include <cstdint>
#include <cstdlib>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

#ifndef VESSIK_SIM_LIBRARY
#error "VESSIK_SIM_LIBRARY names the simulated driver library"
#endif

namespace {

TCapiDriverLibrary& Driver()
{
    static TCapiDriverLibrary driver;
    if (!driver.IsLoaded()) {
        uint32_t error = 0;
        if (driver.Load(QStringLiteral(VESSIK_SIM_LIBRARY), error) != TCapiDriverLibrary::TLoadResult::Loaded)
            std::abort();
    }
    return driver;
}

// Reads and drops what the server sent, so its writes never block.
void Drain(int descriptor)
{
    uint8_t chunk[65536];
    while (::recv(descriptor, chunk, sizeof chunk, MSG_DONTWAIT) > 0) {
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    TCapiDriverLibrary& driver = Driver();
    VsimReset();
    VsimSetPutLogLimit(0);
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0)
        return 0;
    {
        remote::TRemoteSession session(pair[1], driver.Entry(), 1, "fuzz", [](const std::string&) {});
        remote::TFrameAssembler assembler;
        // Fed in two parts, so a split inside a message is covered too.
        const size_t half = size / 2;
        std::vector<uint8_t> payload;
        bool ended = false;
        for (const auto& [begin, count] : {std::pair{data, half}, std::pair{data + half, size - half}}) {
            assembler.Feed(begin, count);
            while (!ended && assembler.Next(payload)) {
                ended = !session.HandlePayload(payload);
                Drain(pair[0]);
            }
        }
        session.ReleaseApplication();
        Drain(pair[0]);
    }
    ::close(pair[0]);
    return 0;
}
