// vessik-cli forward against the simulated network: set, list, show and clear
// through CAPI facilities and, with call forwarding taken out of the
// controller's services, through the component's own diversion operations.

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

const QString kSim = QStringLiteral(VESSIK_SIM_LIBRARY);

struct TRun {
    int status = -1;
    QStringList out;
    QString err;
};

QStringList Lines(const QByteArray& bytes)
{
    QString text = QString::fromUtf8(bytes);
    if (text.endsWith(u'\n'))
        text.chop(1);
    return text.isEmpty() ? QStringList() : text.split(u'\n');
}

struct TPath {
    const char* name;
    const char* services; // VESSIK_SIM_SERVICES
    const char* requestTitle; // the diagnostic line of the activation request
};

const TPath kPaths[] = {
    {"Facility", "1FF", "trace TIME: Facility Request (Supplementary Services: Forward 123 to 0301234 [0/0])"},
    {"Info", "1EF", "trace TIME: Info Request (activationDiversion - invoke0301234 to 123)"},
};

class ForwardCommand : public ::testing::TestWithParam<TPath> {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }

    TRun Forward(const QStringList& args, const QStringList& settings = {})
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"VESSIK_SIM_SCENARIO", "VESSIK_SIM_MANUFACTURER", "VESSIK_SIM_SCRIPTED",
                                 "VESSIK_SIM_PUTLOG"})
            environment.remove(QLatin1String(name));
        environment.insert(QStringLiteral("VESSIK_SIM_SERVICES"), QLatin1String(GetParam().services));
        environment.insert(QStringLiteral("VESSIK_SIM_FORWARDING"), dir.filePath(QStringLiteral("forwarding")));
        for (const QString& setting : settings)
            environment.insert(setting.section(u'=', 0, 0), setting.section(u'=', 1));
        QProcess process;
        process.setProcessEnvironment(environment);
        process.start(QStringLiteral(VESSIK_CLI),
                      QStringList{QStringLiteral("forward")} + args + QStringList{QStringLiteral("--driver"), kSim});
        EXPECT_TRUE(process.waitForStarted(10000));
        process.closeWriteChannel();
        if (!process.waitForFinished(30000)) {
            process.kill();
            process.waitForFinished();
            ADD_FAILURE() << "vessik-cli forward did not end";
        }
        TRun run;
        run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        run.out = Lines(process.readAllStandardOutput());
        run.err = QString::fromUtf8(process.readAllStandardError());
        return run;
    }

    QTemporaryDir dir;
};

TEST_P(ForwardCommand, SetListShowClear)
{
    TRun run = Forward({"list"});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(run.out, QStringList{"no call forwarding"});

    run = Forward({"set", "cfu", "123", "0301234"});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(run.out, QStringList{"success"});

    run = Forward({"set", "cfb", "124", "0401234"});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();

    run = Forward({"list"});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(run.out, (QStringList{"0301234", "0401234"}));

    run = Forward({"show"});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(run.out, (QStringList{"cfu 123 -> 0301234", "cfb 124 -> 0401234"}));

    run = Forward({"show", "--procedure", "cfb", "--number", "124"});
    EXPECT_EQ(run.out, (QStringList{"cfb 124 -> 0401234"}));

    run = Forward({"clear", "cfu", "123"});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(run.out, QStringList{"success"});
    run = Forward({"clear", "cfb", "124"});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();

    run = Forward({"list"});
    EXPECT_EQ(run.out, QStringList{"no call forwarding"});
}

TEST_P(ForwardCommand, TraceShowsTheRequestsDiagnosticLines)
{
    const TRun run = Forward({"set", "cfu", "123", "0301234", "--trace"});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    QStringList lines = run.out;
    static const QRegularExpression stamp(QStringLiteral("\\d\\d:\\d\\d:\\d\\d,\\d\\d\\d"));
    for (QString& line : lines)
        line.replace(stamp, QStringLiteral("TIME"));
    EXPECT_TRUE(lines.contains(QLatin1String(GetParam().requestTitle))) << lines.join('\n').toStdString();
    EXPECT_EQ(lines.last(), "success");
}

INSTANTIATE_TEST_SUITE_P(Path, ForwardCommand, ::testing::ValuesIn(kPaths),
                         [](const ::testing::TestParamInfo<TPath>& row) { return row.param.name; });

class ForwardFailure : public ForwardCommand {};

// A scripted controller that offers call forwarding but refuses its activation.
constexpr char kRefusingController[] = R"(MSG 1A 00 00 00 80 81 01 00 01 00 00 00 00 00 03 00 09 00 00 06 00 00 FF 01 00 00
MSG 16 00 00 00 80 81 02 00 01 00 00 00 00 00 03 00 05 09 00 02 0E 30
)";

TEST_P(ForwardFailure, RefusedForwardingExitsWithOne)
{
    const QString scenario = dir.filePath(QStringLiteral("refusing"));
    QFile file(scenario);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(kRefusingController);
    file.close();
    const TRun run = Forward({"set", "cfu", "123", "0301234"},
                             {"VESSIK_SIM_SCRIPTED=1", "VESSIK_SIM_SCENARIO=" + scenario});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.out.isEmpty());
    EXPECT_EQ(run.err, "vessik-cli forward: CF Activate: supplementary service not supported\n");
}

const TPath kRefusing[] = {{"Scripted", "1FF", ""}};
INSTANTIATE_TEST_SUITE_P(Network, ForwardFailure, ::testing::ValuesIn(kRefusing),
                         [](const ::testing::TestParamInfo<TPath>& row) { return row.param.name; });

TEST_P(ForwardFailure, SilentNetworkTimesOut)
{
    const TRun run = Forward({"list"}, {"VESSIK_SIM_SCRIPTED=1"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "vessik-cli forward: no answer from the network within 10 seconds\n");
}

struct TBadArguments {
    const char* name;
    QStringList args;
};

class ForwardArguments : public ::testing::TestWithParam<TBadArguments> {};

TEST_P(ForwardArguments, AreRefusedWithUsage)
{
    QProcess process;
    process.start(QStringLiteral(VESSIK_CLI), QStringList{QStringLiteral("forward")} + GetParam().args);
    ASSERT_TRUE(process.waitForFinished(30000));
    EXPECT_EQ(process.exitCode(), 2);
    EXPECT_TRUE(QString::fromUtf8(process.readAllStandardError()).contains("Usage: vessik-cli forward"));
}

const TBadArguments kBadArguments[] = {
    {"NoAction", {}},
    {"UnknownAction", {"toggle"}},
    {"UnknownProcedure", {"set", "cfx", "1", "2"}},
    {"SetWithoutTarget", {"set", "cfu", "1"}},
    {"ClearWithTarget", {"clear", "cfu", "1", "2"}},
    {"ListWithNumber", {"list", "--number", "1"}},
    {"BadService", {"set", "cfu", "1", "2", "--service", "300"}},
    {"BadController", {"list", "--controller", "0"}},
    {"BadShowProcedure", {"show", "--procedure", "all"}},
};

INSTANTIATE_TEST_SUITE_P(Table, ForwardArguments, ::testing::ValuesIn(kBadArguments),
                         [](const ::testing::TestParamInfo<TBadArguments>& row) { return row.param.name; });

} // namespace
