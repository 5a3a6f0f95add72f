// The component hands work to the thread that owns it through the Qt event
// loop, so every test runs with an application object.

#include <QCoreApplication>

#include <gtest/gtest.h>

namespace {
class TApplicationEnvironment : public ::testing::Environment {
public:
    void SetUp() override { m_application = new QCoreApplication(m_argc, m_argv); }
    void TearDown() override { delete m_application; }

private:
    int m_argc = 1;
    char m_name[16] = "capi_tests";
    char* m_argv[2] = {m_name, nullptr};
    QCoreApplication* m_application = nullptr;
};

[[maybe_unused]] const ::testing::Environment* const g_environment =
    ::testing::AddGlobalTestEnvironment(new TApplicationEnvironment);
} // namespace
