#include "CapiTestSupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

bool PumpUntil(const std::function<bool()>& done, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::yieldCurrentThread();
    }
    return true;
}

std::vector<uint8_t> Message(uint8_t command, uint8_t subcommand, uint16_t number,
                             std::vector<uint8_t> parameters)
{
    const size_t length = 8 + parameters.size();
    const uint8_t header[8] = {uint8_t(length), uint8_t(length >> 8), 0, 0, command, subcommand,
                               uint8_t(number), uint8_t(number >> 8)};
    std::vector<uint8_t> message;
    message.reserve(length);
    for (uint8_t byte : header)
        message.push_back(byte);
    for (uint8_t byte : parameters)
        message.push_back(byte);
    return message;
}

void Inject(const std::vector<uint8_t>& message)
{
    ASSERT_EQ(VsimInject(0, message.data(), uint32_t(message.size())), 0u);
}

void TLineRecorder::Attach(TCapi20& capi)
{
    capi.OnGetTimeStamp = [] { return QStringLiteral("T"); };
    capi.OnAppTrace = [this](uint32_t, const QString& line) {
        std::lock_guard<std::mutex> guard(m_lock);
        m_app << line.mid(3);
    };
    capi.OnCapiTrace = [this](uint32_t, const QString& line) {
        std::lock_guard<std::mutex> guard(m_lock);
        m_capi << line.mid(3);
    };
}

QStringList TLineRecorder::AppLines()
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_app;
}

QStringList TLineRecorder::CapiLines()
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_capi;
}

void TLineRecorder::Clear()
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_app.clear();
    m_capi.clear();
}

bool TLineRecorder::HasAppLine(const QString& text)
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_app.contains(text);
}

void SimCapiTest::SetUp()
{
    VsimReset();
    capi = std::make_unique<TCapi20>();
    lines.Attach(*capi);
}

void SimCapiTest::TearDown()
{
    capi->CloseDevice();
    capi.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    VsimReset();
}

bool SimCapiTest::Open()
{
    return capi->OpenDevice(kSimLibrary);
}

bool SimCapiTest::OpenQuietly()
{
    if (!Open()
        || !PumpUntil([&] { return !lines.AppLines().filter(QStringLiteral("CAPI thread created: 0x")).isEmpty(); }))
        return false;
    lines.Clear();
    return true;
}
