#pragma once
// A component on the simulated controller with its diagnostic lines recorded.

#include "SimSteering.h"
#include "TFCapi20.h"

#include <gtest/gtest.h>

#include <QStringList>

#include <functional>
#include <mutex>
#include <vector>

inline const QString kSimLibrary = QStringLiteral(VESSIK_SIM_LIBRARY);

// Runs the event loop until done() holds or the time is up.
bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 10000);

// A CAPI message: header (Length, ApplID 0, command, subcommand, number) and parameters.
std::vector<uint8_t> Message(uint8_t command, uint8_t subcommand, uint16_t number = 1,
                             std::vector<uint8_t> parameters = {});
// Queues a received message in the simulated card for the newest application.
void Inject(const std::vector<uint8_t>& message);

// Records the component's lines with a fixed time stamp "T", so a line reads "T: text".
class TLineRecorder {
public:
    void Attach(TCapi20& capi);
    QStringList AppLines();
    QStringList CapiLines();
    void Clear();
    bool HasAppLine(const QString& text);

private:
    std::mutex m_lock;
    QStringList m_app;
    QStringList m_capi;
};

class SimCapiTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    bool Open();
    // Opens, waits for the receive thread's own first line (it comes when the
    // thread gets to run, which can be after a test has begun) and clears the
    // lines, so a test sees only its own.
    bool OpenQuietly();

    std::unique_ptr<TCapi20> capi;
    TLineRecorder lines;
};
