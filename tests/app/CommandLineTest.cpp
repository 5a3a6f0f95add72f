#include "../TestNames.h"
#include "CommandLine.h"

#include <gtest/gtest.h>

namespace {

const QString kDefault = QStringLiteral("capi2032.dll");

struct CommandCase {
    QStringList arguments;
    QString driver;
    QString logFile;
    bool error;
};

class CommandLineTest : public ::testing::TestWithParam<CommandCase> {};

TEST_P(CommandLineTest, Parses)
{
    const CommandCase& c = GetParam();
    const TCommandLine line = ParseCommandLine(c.arguments, kDefault);
    EXPECT_EQ(!line.Error.isEmpty(), c.error) << line.Error.toStdString();
    if (c.error)
        return;
    EXPECT_EQ(line.Driver, c.driver);
    EXPECT_EQ(line.LogFile, c.logFile);
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, CommandLineTest,
    ::testing::Values(CommandCase{{}, kDefault, {}, false},
                      CommandCase{{"trace.log"}, kDefault, "trace.log", false},
                      CommandCase{{"--driver", "/x/libsim.so"}, "/x/libsim.so", {}, false},
                      CommandCase{{"--driver=/x/libsim.so", "a.log"}, "/x/libsim.so", "a.log", false},
                      CommandCase{{"a.log", "--driver", "d.so"}, "d.so", "a.log", false},
                      // A log file whose name starts with a dash, after "--".
                      CommandCase{{"--", "-odd.log"}, kDefault, "-odd.log", false},
                      CommandCase{{"--driver"}, {}, {}, true},
                      CommandCase{{"--driver="}, {}, {}, true},
                      CommandCase{{"--driver", "a.so", "--driver", "b.so"}, {}, {}, true},
                      CommandCase{{"--bogus"}, {}, {}, true},
                      CommandCase{{"a.log", "b.log"}, {}, {}, true}),
                         [](const auto& testCase) { return CaseName(testCase.param.arguments.isEmpty() ? std::string("no arguments") : testCase.param.arguments.join(u' ').toStdString(), testCase.index); });

TEST(CommandLine, HelpAndVersion)
{
    EXPECT_TRUE(ParseCommandLine({"--help"}, kDefault).ShowHelp);
    EXPECT_TRUE(ParseCommandLine({"-h"}, kDefault).ShowHelp);
    EXPECT_TRUE(ParseCommandLine({"--version"}, kDefault).ShowVersion);
    EXPECT_TRUE(CommandLineUsage().contains("vessik [--driver LIB] [LOGFILE]"));
}

} // namespace
