#include "AppTestSupport.h"

#include "SimSteering.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QThread>

#include <gtest/gtest.h>

namespace {

class TApplicationEnvironment : public ::testing::Environment {
public:
    void SetUp() override { m_application = new QApplication(m_argc, m_argv); }
    void TearDown() override { delete m_application; }

private:
    int m_argc = 1;
    char m_name[16] = "app_tests";
    char* m_argv[2] = {m_name, nullptr};
    QApplication* m_application = nullptr;
};

[[maybe_unused]] const ::testing::Environment* const g_environment =
    ::testing::AddGlobalTestEnvironment(new TApplicationEnvironment);

} // namespace

bool PumpUntil(const std::function<bool()>& done, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    return true;
}

void PumpFor(int ms)
{
    QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
}

QByteArray Hex(const char* text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

QString HexColumn(const QByteArray& octets)
{
    QString text;
    for (char c : octets)
        text += QStringLiteral("%1 ").arg(uint8_t(c), 2, 16, QLatin1Char('0')).toUpper();
    return text;
}

std::vector<uint8_t> AvmTraceIndication(uint16_t kind, const QByteArray& frame, uint16_t number)
{
    std::vector<uint8_t> m = {0, 0, 0, 0, 0xFF, 0x82, uint8_t(number), uint8_t(number >> 8),
                              1, 0, 0, 0,                 // controller
                              0x41, 0x56, 0x4D, 0x21,     // 'AVM!'
                              0, 0, 0, 0,                 // class
                              1, 0, 0, 0,                 // function
                              uint8_t(frame.size() + 2),  // length byte
                              uint8_t(kind), uint8_t(kind >> 8)};
    for (char octet : frame)
        m.push_back(uint8_t(octet));
    m[0] = uint8_t(m.size());
    m[1] = uint8_t(m.size() >> 8);
    return m;
}

uint32_t Inject(const std::vector<uint8_t>& message)
{
    return VsimInject(0, message.data(), uint32_t(message.size()));
}

std::vector<std::vector<uint8_t>> ManufacturerRequests()
{
    std::vector<std::vector<uint8_t>> requests;
    for (uint32_t i = 0; i < VsimPutCount(); ++i) {
        std::vector<uint8_t> message(4096);
        message.resize(VsimGetPut(i, message.data(), uint32_t(message.size())));
        if (message.size() >= 8 && message[4] == 0xFF && message[5] == 0x80)
            requests.push_back(std::move(message));
    }
    return requests;
}

std::vector<uint8_t> AvmTraceSwitch(bool on)
{
    return {0x41, 0x56, 0x4D, 0x21, 0, 0, 0, 0, 1, 0, 0, 0, 4,
            uint8_t(on ? 0x80 : 0), uint8_t(on ? 0x0C : 0), 0, 0};
}
