// Dialling requests of other programs: the request's wire form, the
// conditions under which a component receives them, and what reaches
// OnRequestCall.

#include "CapiTestSupport.h"
#include "DialRequest.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <atomic>
#include <thread>

namespace {

// --- Wire form --------------------------------------------------------------

TEST(DialRequestForm, RoundTrip)
{
    const TDialRequest request{QStringLiteral("0301234"), QStringLiteral("Büro")};
    const QByteArray bytes = EncodeDialRequest(request);
    TDialRequest parsed;
    EXPECT_EQ(ParseDialRequest(bytes, &parsed), TDialParse::Complete);
    EXPECT_EQ(parsed, request);
    for (qsizetype length = 0; length < bytes.size(); ++length)
        EXPECT_EQ(ParseDialRequest(bytes.left(length)), TDialParse::Incomplete) << length;
}

TEST(DialRequestForm, MalformedBytesAreInvalid)
{
    const QByteArray good = EncodeDialRequest({QStringLiteral("1"), QStringLiteral("A")});
    EXPECT_EQ(ParseDialRequest(QByteArray("VDX1")), TDialParse::Invalid);
    EXPECT_EQ(ParseDialRequest(QByteArray("GET / HTTP/1.0\r\n")), TDialParse::Invalid);
    EXPECT_EQ(ParseDialRequest(good + good), TDialParse::Invalid); // two requests are not one
    EXPECT_EQ(ParseDialRequest(good + 'x'), TDialParse::Invalid);
    // A field that would end beyond the largest request fails at once.
    EXPECT_EQ(ParseDialRequest(QByteArray("VDR1\xFF\xFF", 6)), TDialParse::Invalid);
    // Not UTF-8.
    EXPECT_EQ(ParseDialRequest(QByteArray("VDR1\x01\x00\xFF\x00\x00", 9)), TDialParse::Invalid);
    EXPECT_EQ(ParseDialRequest(QByteArray(kMaxDialRequestSize + 1, 'V')), TDialParse::Invalid);
}

TEST(DialRequestForm, TooLongToEncode)
{
    EXPECT_TRUE(EncodeDialRequest({QString(600, u'1'), QString(600, u'N')}).isEmpty());
    EXPECT_FALSE(EncodeDialRequest({QString(500, u'1'), QString(500, u'N')}).isEmpty());
}

// --- The receiving component -------------------------------------------------

struct TRequestCall {
    uint32_t PLCI_NCCI;
    QString Number;
    QString Name;
    bool onMainThread;
};

// Sends from another thread, as another program would, while this thread
// serves the component.
TDialResult Send(const QByteArray& bytes, const QString& path = DialSocketPath())
{
    std::atomic<bool> done{false};
    TDialResult result = TDialResult::NotTaken;
    std::thread sender([&] {
        result = SendDialRequest(path, bytes, 3000);
        done = true;
    });
    PumpUntil([&] { return done.load(); });
    sender.join();
    return result;
}

TDialResult Send(const QString& number, const QString& name)
{
    return Send(EncodeDialRequest({number, name}));
}

class DialRequests : public SimCapiTest {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(runtime.isValid());
        QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        previousRuntime = qgetenv("XDG_RUNTIME_DIR");
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
        SimCapiTest::SetUp();
        capi->setIncomingCalls({TCIPMask::Telephony});
        Listen(*capi, calls);
    }

    void TearDown() override
    {
        SimCapiTest::TearDown();
        qputenv("XDG_RUNTIME_DIR", previousRuntime);
    }

    static void Listen(TCapi20& component, std::vector<TRequestCall>& into)
    {
        component.OnRequestCall = [&into](uint32_t plciNcci, const QString& number, const QString& name) {
            into.push_back({plciNcci, number, name, QThread::currentThread() == qApp->thread()});
        };
    }

    bool WaitForCalls(size_t count)
    {
        return PumpUntil([&] { return calls.size() >= count; }, 3000);
    }

    QTemporaryDir runtime;
    QByteArray previousRuntime;
    std::vector<TRequestCall> calls;
};

TEST_F(DialRequests, RequestBecomesOnRequestCall)
{
    ASSERT_TRUE(Open());
    EXPECT_TRUE(capi->ReceivesDialRequests());
    EXPECT_EQ(Send(QStringLiteral("0301234"), QStringLiteral("Office")), TDialResult::Taken);
    ASSERT_TRUE(WaitForCalls(1));
    EXPECT_EQ(calls[0].PLCI_NCCI, 0u);
    EXPECT_EQ(calls[0].Number, QStringLiteral("0301234"));
    EXPECT_EQ(calls[0].Name, QStringLiteral("Office"));
    EXPECT_TRUE(calls[0].onMainThread);
}

TEST_F(DialRequests, FieldsAreClippedAtNulAndLength)
{
    ASSERT_TRUE(Open());
    const QString number = QString(79, u'1') + QStringLiteral("23456");
    const QString name = QStringLiteral("Jane") + QChar(0) + QStringLiteral("hidden");
    EXPECT_EQ(Send(number, name), TDialResult::Taken);
    EXPECT_EQ(Send(QStringLiteral("12") + QChar(0) + QStringLiteral("34"), QString(45, u'N')), TDialResult::Taken);
    // A character outside the BMP is not cut in half.
    EXPECT_EQ(Send(QStringLiteral("1"), QString(39, u'N') + QStringLiteral("\U0001F600")), TDialResult::Taken);
    ASSERT_TRUE(WaitForCalls(3));
    EXPECT_EQ(calls[0].Number, QString(79, u'1') + u'2');
    EXPECT_EQ(calls[0].Name, QStringLiteral("Jane"));
    EXPECT_EQ(calls[1].Number, QStringLiteral("12"));
    EXPECT_EQ(calls[1].Name, QString(40, u'N'));
    EXPECT_EQ(calls[2].Name, QString(39, u'N'));
}

TEST_F(DialRequests, MalformedRequestsAreDroppedWithoutEffect)
{
    ASSERT_TRUE(Open());
    const QByteArray good = EncodeDialRequest({QStringLiteral("1"), QStringLiteral("A")});
    EXPECT_EQ(Send(QByteArray("hello")), TDialResult::NotTaken);
    EXPECT_EQ(Send(good + good), TDialResult::NotTaken);
    EXPECT_EQ(Send(QByteArray(4096, 'V')), TDialResult::NotTaken);
    EXPECT_EQ(Send(good.left(good.size() - 1)), TDialResult::NotTaken); // never completes: timed out
    EXPECT_EQ(Send(QByteArray()), TDialResult::NotTaken);
    PumpUntil([] { return false; }, 200);
    EXPECT_TRUE(calls.empty());
    // The component still serves the next well-formed request.
    EXPECT_EQ(Send(good), TDialResult::Taken);
    EXPECT_TRUE(WaitForCalls(1));
}

TEST_F(DialRequests, ReleaseClosesTheRecipient)
{
    ASSERT_TRUE(Open());
    capi->CloseDevice();
    EXPECT_FALSE(capi->ReceivesDialRequests());
    EXPECT_FALSE(QFile::exists(DialSocketPath()));
    EXPECT_EQ(Send(QStringLiteral("1"), QString()), TDialResult::NoneListening);
    EXPECT_TRUE(QDir(runtime.path()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System));
}

struct TConditionCase {
    const char* label;
    bool doRegister;
    bool telephony;
    bool eventAssigned;
};

class DialConditions : public DialRequests, public ::testing::WithParamInterface<TConditionCase> {};

TEST_P(DialConditions, WithoutAllThreeNothingListens)
{
    const TConditionCase& c = GetParam();
    capi->setDoRegisterRequestRecipient(c.doRegister);
    capi->setIncomingCalls(c.telephony ? TCIPMasks{TCIPMask::Telephony, TCIPMask::Fax_G2_G3}
                                       : TCIPMasks{TCIPMask::Fax_G2_G3});
    if (!c.eventAssigned)
        capi->OnRequestCall = nullptr;
    ASSERT_TRUE(Open());
    const bool all = c.doRegister && c.telephony && c.eventAssigned;
    EXPECT_EQ(capi->ReceivesDialRequests(), all);
    EXPECT_EQ(Send(QStringLiteral("1"), QString()), all ? TDialResult::Taken : TDialResult::NoneListening);
}

INSTANTIATE_TEST_SUITE_P(
    Dial, DialConditions,
    ::testing::Values(TConditionCase{"AllMet", true, true, true},
                      TConditionCase{"NotAsked", false, true, true},
                      TConditionCase{"NoTelephony", true, false, true},
                      TConditionCase{"NoEvent", true, true, false}),
    [](const ::testing::TestParamInfo<TConditionCase>& param) { return std::string(param.param.label); });

TEST_F(DialRequests, TraceWindowSettingsOpenNoRecipient)
{
    capi->setIncomingCalls({});
    ASSERT_TRUE(Open());
    EXPECT_FALSE(capi->ReceivesDialRequests());
    EXPECT_FALSE(QFile::exists(DialSocketPath()));
}

TEST_F(DialRequests, OnlyTheLastRegisteredComponentReceives)
{
    ASSERT_TRUE(Open());
    TCapi20 second;
    std::vector<TRequestCall> secondCalls;
    second.setIncomingCalls({TCIPMask::Telephony});
    Listen(second, secondCalls);
    ASSERT_TRUE(second.OpenDevice(kSimLibrary));
    EXPECT_EQ(Send(QStringLiteral("2"), QString()), TDialResult::Taken);
    ASSERT_TRUE(PumpUntil([&] { return secondCalls.size() == 1; }, 3000));
    // The first one's release leaves the second one's name alone.
    capi->CloseDevice();
    EXPECT_EQ(Send(QStringLiteral("3"), QString()), TDialResult::Taken);
    ASSERT_TRUE(PumpUntil([&] { return secondCalls.size() == 2; }, 3000));
    EXPECT_TRUE(calls.empty());
    second.CloseDevice();
    EXPECT_EQ(Send(QStringLiteral("4"), QString()), TDialResult::NoneListening);
}

TEST_F(DialRequests, HandlerMayReleaseTheComponent)
{
    capi->OnRequestCall = [this](uint32_t, const QString& number, const QString&) {
        calls.push_back({0, number, QString(), true});
        capi->CloseDevice();
    };
    ASSERT_TRUE(Open());
    EXPECT_EQ(Send(QStringLiteral("5"), QString()), TDialResult::Taken);
    ASSERT_TRUE(WaitForCalls(1));
    EXPECT_FALSE(capi->DeviceOpened());
    EXPECT_EQ(Send(QStringLiteral("6"), QString()), TDialResult::NoneListening);
}

} // namespace
