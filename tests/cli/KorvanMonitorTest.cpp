// The KORVAN driver's messages as vessik-cli monitor shows them: every kind
// played by the scripted controller, exactly, with the kind byte in each
// answer; and the simulated KORVAN driver's own greeting with its pictures.

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

const QString kSim = QStringLiteral(VESSIK_SIM_LIBRARY);

// One 'KORV' message as a scenario MSG line.
class TKorvanLine {
public:
    TKorvanLine(uint8_t subcommand, uint16_t number, uint8_t kind) : m_subcommand(subcommand), m_number(number)
    {
        Dword(1).Dword(0x56524F4B).Byte(kind);
    }
    TKorvanLine& Byte(uint8_t value)
    {
        m_parameters.push_back(value);
        return *this;
    }
    TKorvanLine& Word(uint16_t value) { return Byte(uint8_t(value)).Byte(uint8_t(value >> 8)); }
    TKorvanLine& Dword(uint32_t value) { return Word(uint16_t(value)).Word(uint16_t(value >> 16)); }
    TKorvanLine& Text(const char* text)
    {
        Byte(uint8_t(std::strlen(text)));
        for (const char* c = text; *c != 0; ++c)
            Byte(uint8_t(*c));
        return *this;
    }
    std::string Line() const
    {
        const size_t length = 8 + m_parameters.size();
        std::vector<uint8_t> bytes = {uint8_t(length), uint8_t(length >> 8), 0, 0, 0xFF, m_subcommand,
                                      uint8_t(m_number), uint8_t(m_number >> 8)};
        bytes.insert(bytes.end(), m_parameters.begin(), m_parameters.end());
        std::string line = "MSG";
        static constexpr char kDigits[] = "0123456789ABCDEF";
        for (uint8_t byte : bytes) {
            line += ' ';
            line += kDigits[byte >> 4];
            line += kDigits[byte & 15];
        }
        return line + '\n';
    }

private:
    uint8_t m_subcommand;
    uint16_t m_number;
    std::vector<uint8_t> m_parameters;
};

TKorvanLine Indication(uint16_t number, uint8_t kind)
{
    return TKorvanLine(0x82, number, kind);
}

TKorvanLine Confirmation(uint16_t number, uint8_t kind)
{
    return TKorvanLine(0x81, number, kind);
}

struct TRun {
    int status = -1;
    QStringList out;
    QString err;
};

// Lines as one text, so that a difference reads as text.
std::string Text(const QStringList& lines)
{
    return lines.join(u'\n').toStdString();
}

QStringList Lines(const QByteArray& bytes)
{
    QString text = QString::fromUtf8(bytes);
    if (text.endsWith(u'\n'))
        text.chop(1);
    return text.isEmpty() ? QStringList() : text.split(u'\n');
}

class KorvanMonitor : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }

    TRun Monitor(int count, const std::string& scenario, bool scripted)
    {
        const QString scenarioFile = dir.filePath(QStringLiteral("scenario.txt"));
        QFile file(scenarioFile);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(scenario.data(), qint64(scenario.size()));
        file.close();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("VESSIK_SIM_SCENARIO"), scenarioFile);
        environment.insert(QStringLiteral("VESSIK_SIM_MANUFACTURER"), QStringLiteral("KORVAN VoIP CAPI"));
        environment.insert(QStringLiteral("VESSIK_SIM_SCRIPTED"), scripted ? QStringLiteral("1") : QStringLiteral("0"));
        environment.insert(QStringLiteral("VESSIK_SIM_PUTLOG"), dir.filePath(QStringLiteral("put.txt")));
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir.path());
        QProcess process;
        process.setProcessEnvironment(environment);
        process.start(QStringLiteral(VESSIK_CLI),
                      {QStringLiteral("monitor"), QStringLiteral("--driver"), kSim, QStringLiteral("--count"),
                       QString::number(count)});
        EXPECT_TRUE(process.waitForStarted(10000));
        if (!process.waitForFinished(30000)) {
            process.kill();
            process.waitForFinished();
            ADD_FAILURE() << "vessik-cli monitor did not end";
        }
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                Lines(process.readAllStandardOutput()), QString::fromUtf8(process.readAllStandardError())};
    }

    // The MANUFACTURER_RESP lines of the put log.
    QStringList Answers()
    {
        QFile file(dir.filePath(QStringLiteral("put.txt")));
        QStringList answers;
        if (file.open(QIODevice::ReadOnly))
            for (const QString& line : Lines(file.readAll()))
                if (line.mid(12, 5) == QLatin1String("FF 83"))
                    answers << line;
        return answers;
    }

    QTemporaryDir dir;
};

TEST_F(KorvanMonitor, EveryKindAsTheMonitorShowsIt)
{
    std::string scenario;
    scenario += Indication(1, 2).Byte(0).Text("<4711>").Text("IP address changed").Byte(1).Byte(2).Line();
    scenario += Indication(2, 3).Text("account text").Line();
    scenario += Indication(3, 4).Text("4.3.2.1.e164.arpa").Line();
    scenario += Indication(4, 9).Text("Jane").Text("0301234").Text("Hi \"you\"").Byte(0).Line();
    TKorvanLine statistics = Indication(5, 10);
    for (uint32_t value : {7u, 0u, 33u, 1u, 2u, 3u, 4u, 5u, 0u, 0x1234u, 10u, 6u, 9u})
        statistics.Dword(value);
    scenario += statistics.Text("G.722").Line();
    scenario += Indication(6, 11).Word(486).Text("Busy Here").Line();
    scenario += Indication(7, 13).Text("driver text").Line();
    scenario += Indication(8, 14).Word(2026).Word(12).Word(9).Word(10).Word(15).Word(2).Word(114).Byte(1)
                    .Text("Q.931 SETUP").Line(); // a head of 11 octets, then an empty body
    scenario += Indication(9, 15).Text("sip:pbx").Text("pbx.local").Dword(120).Text("PBX").Line();
    scenario += Indication(10, 16).Byte(3).Text("third").Line();
    scenario += Indication(11, 18).Dword(77).Text("RTP").Line();
    scenario += Indication(12, 34).Line();
    scenario += Indication(13, 35).Text("c9").Text("Doe").Text("Jane").Text("1").Text("0 1").Dword(1).Dword(0).Line();
    scenario += Indication(14, 35).Text("c8").Text("Roe").Text("Rich").Text("2").Text("0 2").Dword(500).Dword(0x1000)
                    .Line(); // no 64-bit address: no picture, nothing read
    scenario += Indication(15, 36).Byte(4).Line();
    scenario += Indication(16, 7).Text("unknown kind").Line();
    scenario += Confirmation(17, 5).Byte(3).Byte(1).Word(16000).Line();
    scenario += Confirmation(18, 9).Text("confirmed").Line();

    const TRun run = Monitor(21, scenario, true);
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(Text(run.out), Text({
                           "event OnInfo PLCI_NCCI=0x00000001 InfoType=40963 InfoStr=\"4711\"",
                           "event OnInfo PLCI_NCCI=0x00000001 InfoType=40965 InfoStr=\"2\"",
                           "event OnInfo PLCI_NCCI=0x00000001 InfoType=40960 InfoStr=\"4711\"",
                           "event OnInfo PLCI_NCCI=0x00000001 InfoType=41216 InfoStr=\"account text\"",
                           "event OnENUM PLCI_NCCI=0x00000001 InfoType=0 InfoStr=\"4.3.2.1.e164.arpa\"",
                           "event OnSMS Name=\"Jane\" Number=\"0301234\" Msg=\"Hi \\\"you\\\"\" IsUTF8=false",
                           "event OnStatistics PLCI_NCCI=0x00000001 "
                           "Statistics=[7,0,3.3,1,2,3,4,5,false,52,1.0,6,9,\"G.722\"]",
                           "event OnInfo PLCI_NCCI=0x00000001 InfoType=8 InfoStr=\"486:Busy Here\"",
                           "event OnInfo PLCI_NCCI=0x00000001 InfoType=40962 InfoStr=\"driver text\"",
                           "event OnL3Trace PLCI_NCCI=0x00000000 Info=\"-------------------------------------------\"",
                           "event OnL3Trace PLCI_NCCI=0x00000000 Info=\"10:15:02,114: T: Q.931 SETUP\"",
                           "event OnL3Trace PLCI_NCCI=0x00000000 Info=\"\"",
                           "event OnMDNS PLCI_NCCI=0x00000001 TTL=120 URI=\"sip:pbx\" Host=\"pbx.local\" Software=\"PBX\"",
                           "event OnInfo PLCI_NCCI=0x00000001 InfoType=40979 InfoStr=\"third\"",
                           "event OnThreadName PLCI_NCCI=0x00000001 ThreadID=77 ThreadName=\"RTP\"",
                           "event OnAutoAnswer PLCI_NCCI=0x00000001 NotifyType=0",
                           "event OnGContact Id=\"c9\" FamilyName=\"Doe\" GivenName=\"Jane\" Number=\"1\" "
                           "NumberString=\"0 1\" bmp=none",
                           "event OnGContact Id=\"c8\" FamilyName=\"Roe\" GivenName=\"Rich\" Number=\"2\" "
                           "NumberString=\"0 2\" bmp=none",
                           "event OnGContactStatus Status=4",
                           "event OnInfo PLCI_NCCI=0x00000001 InfoType=40964 InfoStr=\"\"",
                           "event OnInfo PLCI_NCCI=0x00000001 InfoType=40961 InfoStr=\"confirmed\"",
                       }));
    // Every indication is answered with its kind byte and number; no confirmation is.
    const QStringList answers = Answers();
    const int kinds[] = {2, 3, 4, 9, 10, 11, 13, 14, 15, 16, 18, 34, 35, 35, 36, 7};
    ASSERT_EQ(answers.size(), int(std::size(kinds)));
    for (int i = 0; i < answers.size(); ++i) {
        const QString number = QStringLiteral("%1 00").arg(i + 1, 2, 16, QLatin1Char('0')).toUpper();
        EXPECT_EQ(answers[i], QStringLiteral("11 00 01 00 FF 83 %1 01 00 00 00 4B 4F 52 56 %2")
                                  .arg(number)
                                  .arg(kinds[i], 2, 16, QLatin1Char('0'))
                                  .toUpper());
    }
}

TEST_F(KorvanMonitor, TheSimulatedDriverGreetsWithItsAccountsMessagesAndContacts)
{
    const TRun run = Monitor(9, "", false);
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(Text(run.out), Text({
                           "event OnInfo PLCI_NCCI=0x00000001 InfoType=40965 InfoStr=\"1\"",
                           "event OnInfo PLCI_NCCI=0x00000001 InfoType=40960 InfoStr=\"4711 registering\"",
                           "event OnInfo PLCI_NCCI=0x00000001 InfoType=40963 InfoStr=\"4711 registered\"",
                           "event OnInfo PLCI_NCCI=0x00000001 InfoType=40965 InfoStr=\"1\"",
                           "event OnInfo PLCI_NCCI=0x00000001 InfoType=40960 InfoStr=\"4711 registered\"",
                           "event OnSMS Name=\"Jane Doe\" Number=\"+49301234567\" Msg=\"Call me back\" IsUTF8=false",
                           "event OnStatistics PLCI_NCCI=0x00000001 "
                           "Statistics=[1500,2,21.5,12,0,1500,1498,2,true,8,4.5,160,20,\"G.711 A-law\"]",
                           "event OnGContact Id=\"c1\" FamilyName=\"Doe\" GivenName=\"Jane\" Number=\"+49301234567\" "
                           "NumberString=\"+49 30 1234567\" bmp=16x12",
                           "event OnGContact Id=\"c2\" FamilyName=\"Roe\" GivenName=\"Richard\" Number=\"0301234\" "
                           "NumberString=\"030 1234\" bmp=12x16",
                       }));
}

} // namespace
