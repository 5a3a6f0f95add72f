#include "../TestNames.h"
#include "TraceTestSupport.h"

#include "FrameDecoder.h"

#include <QRegularExpression>

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Parameters(const Bytes& message)
{
    return Bytes(message.begin() + 8, message.end());
}

std::vector<Bytes> Requests()
{
    std::vector<Bytes> requests;
    for (auto& message : Puts())
        if (message[4] == 0xFF && message[5] == 0x80)
            requests.push_back(message);
    return requests;
}

QString ElementText(uint8_t id, const Bytes& contents)
{
    return DecodeElement(nullptr, kTopLevel, id, contents.data(), uint32_t(contents.size()));
}

// --- Trace requests ------------------------------------------------------

struct TRequestCase {
    const char* manufacturer;
    Bytes on;  // parameters of the on request, empty when none is sent
    Bytes off; // parameters of the off request
};

const Bytes kAvmOn = {0x01, 0, 0, 0, 0x41, 0x56, 0x4D, 0x21, 0, 0, 0, 0, 0x01, 0, 0, 0, 0x04, 0x80, 0x0C, 0, 0};
const Bytes kAvmOff = {0x01, 0, 0, 0, 0x41, 0x56, 0x4D, 0x21, 0, 0, 0, 0, 0x01, 0, 0, 0, 0x04, 0, 0, 0, 0};
const Bytes kKorvanOn = {0x01, 0, 0, 0, 0x4B, 0x4F, 0x52, 0x56, 0x00, 0x01};
const Bytes kKorvanOff = {0x01, 0, 0, 0, 0x4B, 0x4F, 0x52, 0x56, 0x00, 0x00};

class TraceRequest : public TraceTest, public ::testing::WithParamInterface<TRequestCase> {};

TEST_P(TraceRequest, IsChosenByManufacturerText)
{
    const TRequestCase& request = GetParam();
    VsimSetManufacturer(request.manufacturer);
    ASSERT_TRUE(Open());
    const size_t before = Requests().size();
    capi->StartTrace();
    capi->StopTrace();
    const std::vector<Bytes> sent = Requests();
    if (request.on.empty()) {
        EXPECT_EQ(sent.size(), before);
        return;
    }
    ASSERT_EQ(sent.size(), before + 2);
    const Bytes& on = sent[before];
    const Bytes& off = sent[before + 1];
    EXPECT_EQ(Parameters(on), request.on);
    EXPECT_EQ(Parameters(off), request.off);
    EXPECT_EQ(on.size(), 8 + request.on.size());
    EXPECT_EQ(on[0] | (on[1] << 8), int(on.size())); // Length 29 (AVM) or 18 (KORVAN)
    EXPECT_NE(MessageNumberOf(on), MessageNumberOf(off)); // each from NextMessageNumber
}

INSTANTIATE_TEST_SUITE_P(
    Manufacturers, TraceRequest,
    ::testing::Values(TRequestCase{"AVM GmbH", kAvmOn, kAvmOff},
                      TRequestCase{"ISDN card by AVM", kAvmOn, kAvmOff},
                      TRequestCase{"Gerdes AG", kAvmOn, kAvmOff},
                      TRequestCase{"KORVAN VoIP", kKorvanOn, kKorvanOff},
                      TRequestCase{"KORVAN on AVM hardware", kAvmOn, kAvmOff},
                      TRequestCase{"avm gmbh", {}, {}},
                      TRequestCase{"Korvan", {}, {}},
                      TRequestCase{"Acme ISDN", {}, {}}),
                         [](const auto& testCase) { return CaseName(testCase.param.manufacturer, testCase.index); });

TEST_F(TraceTest, RequestAddressesTheConfiguredController)
{
    capi->setController(3);
    ASSERT_TRUE(Open());
    capi->StartTrace();
    const std::vector<Bytes> sent = Requests();
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(Bytes(sent.back().begin() + 8, sent.back().begin() + 12), (Bytes{0x03, 0, 0, 0}));
}

TEST_F(TraceTest, WithoutDriverNothingIsSent)
{
    EXPECT_EQ(capi->TraceForm(), TCapi20::TTraceForm::None); // "no CAPI available"
    capi->StartTrace();
    capi->StopTrace();
    EXPECT_EQ(capi->TraceRequest(true), 1);
    EXPECT_EQ(capi->AvmTraceRequest(true), 1);
    EXPECT_EQ(capi->ManufacturerResponse(1, 5, 0, 0x214D5641), 1);
    EXPECT_EQ(VsimPutCount(), 0u);
}

// --- Answers -------------------------------------------------------------

TEST_F(TraceTest, EveryIndicationIsAnsweredOnceWithItsNumber)
{
    ASSERT_TRUE(Open());
    const Bytes setup = {0x02, 0xFF, 0x03, 0x08, 0x01, 0x05, 0x05};
    std::vector<Bytes> indications = {
        AvmIndication(7, 0x0101, setup),
        AvmIndication(8, 0x0102, {0x02, 0x01, 0x01, 0x0A}),   // layer 2 only: no line
        AvmIndication(9, 0x0101, setup, 2, 1),                // another class: no line
        AvmIndication(129, 0x0101, setup, 0, 7),              // another function
        AvmIndication(0xFFFF, 0x0101, {}),                    // empty frame
        Message(0xFF, 0x82, 300, {0x01, 0, 0, 0, 'X', 'Y', 'Z', '!'}),    // other manufacturer
        Message(0xFF, 0x82, 301, {0x02, 0, 0, 0, 0x4B, 0x4F, 0x52, 0x56, 7}), // KORV kind 7
        Message(0xFF, 0x82, 302, {}),                                     // no parameters at all
    };
    Receive(indications);
    const std::vector<Bytes> responses = Responses();
    ASSERT_EQ(responses.size(), indications.size());
    for (size_t i = 0; i < indications.size(); ++i)
        EXPECT_EQ(MessageNumberOf(responses[i]), MessageNumberOf(indications[i])) << i;
    // Controller and id come back; the result byte is 0, or the kind for 'KORV'.
    EXPECT_EQ(Parameters(responses[0]), (Bytes{0x01, 0, 0, 0, 0x41, 0x56, 0x4D, 0x21, 0}));
    EXPECT_EQ(Parameters(responses[5]), (Bytes{0x01, 0, 0, 0, 'X', 'Y', 'Z', '!', 0}));
    EXPECT_EQ(Parameters(responses[6]), (Bytes{0x02, 0, 0, 0, 0x4B, 0x4F, 0x52, 0x56, 7}));
    EXPECT_EQ(Parameters(responses[7]), (Bytes{0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(traceLines.size(), 1);
    EXPECT_EQ(VsimViolationCount(), 0u);
}

TEST_F(TraceTest, AnswerIsSentWhenTheHostThrows)
{
    ASSERT_TRUE(Open());
    capi->OnL3Trace = [](uint32_t, const QString&) { throw 42; };
    Receive({AvmIndication(11, 0x0101, {0x02, 0xFF, 0x03, 0x08, 0x01, 0x05, 0x05})});
    const std::vector<Bytes> responses = Responses();
    ASSERT_EQ(responses.size(), 1u);
    EXPECT_EQ(MessageNumberOf(responses[0]), 11);
}

// --- Trace lines ---------------------------------------------------------

struct TDirectionCase {
    uint16_t kind;
    const char* direction;
};

class Direction : public TraceTest, public ::testing::WithParamInterface<TDirectionCase> {};

TEST_P(Direction, FollowsTheKindWord)
{
    ASSERT_TRUE(Open());
    Receive({AvmIndication(1, GetParam().kind, {0x02, 0xFF, 0x03, 0x08, 0x01, 0x05, 0x05})});
    ASSERT_EQ(traceLines.size(), 1);
    EXPECT_EQ(traceLines[0].section(QStringLiteral(": "), 1, 1), QLatin1String(GetParam().direction));
}

INSTANTIATE_TEST_SUITE_P(KindWords, Direction,
                         ::testing::Values(TDirectionCase{0x0102, "T"}, TDirectionCase{0x0801, "T"},
                                           TDirectionCase{0x08FF, "T"}, TDirectionCase{0x0800, "T"},
                                           TDirectionCase{0x0101, "R"}, TDirectionCase{0x0200, "R"},
                                           TDirectionCase{0x0201, "R"}, TDirectionCase{0x0000, "R"},
                                           TDirectionCase{0x0108, "R"}, TDirectionCase{0x8008, "R"}),
                         [](const auto& testCase) { return CaseName("Kind " + HexOctet(uint8_t(testCase.param.kind >> 8)) + HexOctet(uint8_t(testCase.param.kind)), testCase.index); });

TEST_F(TraceTest, LineHoldsTimeDirectionSummaryAndOctets)
{
    ASSERT_TRUE(Open());
    const Bytes frame = {0x02, 0xFF, 0x03, 0x08, 0x01, 0x05, 0x05, 0x04, 0x03, 0x80, 0x90, 0xA3, 0x18, 0x01, 0x89};
    Receive({AvmIndication(1, 0x0101, frame)});
    capi->SetL2Display(true);
    Receive({AvmIndication(2, 0x0102, frame)});
    EXPECT_EQ(traceLines, (QStringList{"T: R: setup(05): 02 FF 03 08 01 05 05 04 03 80 90 A3 18 01 89 ",
                                       "T: T: UI(7F), setup(05): 02 FF 03 08 01 05 05 04 03 80 90 A3 18 01 89 "}));
}

TEST_F(TraceTest, FrameRunsToTheMessageEndWhateverItsLengthByte)
{
    ASSERT_TRUE(Open());
    Bytes message = AvmIndication(1, 0x0101, {0x02, 0xFF, 0x03, 0x08, 0x01, 0x05, 0x05});
    message[8 + 16] = 2; // the length byte claims almost nothing
    Receive({message});
    ASSERT_EQ(traceLines.size(), 1);
    EXPECT_TRUE(traceLines[0].endsWith(QLatin1String(": 02 FF 03 08 01 05 05 ")));
}

struct TLayer2Case {
    Bytes frame;
    bool layer2;
    const char* line; // "" when no line
};

class Layer2Display : public TraceTest, public ::testing::WithParamInterface<TLayer2Case> {};

TEST_P(Layer2Display, DecidesOverFramesWithoutLayer3)
{
    const TLayer2Case& test = GetParam();
    ASSERT_TRUE(Open());
    capi->SetL2Display(test.layer2);
    EXPECT_EQ(capi->L2Display(), test.layer2);
    Receive({AvmIndication(1, 0x0101, test.frame)});
    if (*test.line == 0) {
        EXPECT_TRUE(traceLines.isEmpty());
    } else {
        EXPECT_EQ(traceLines, QStringList(QLatin1String(test.line)));
    }
    EXPECT_TRUE(events.empty()); // none of these is a Q.931 message
    EXPECT_EQ(Responses().size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Frames, Layer2Display,
    ::testing::Values(TLayer2Case{{0x02, 0x01, 0x01, 0x0A}, false, ""},
                      TLayer2Case{{0x02, 0x01, 0x01, 0x0A}, true, "T: R: RR(00): 02 01 01 0A "},
                      TLayer2Case{{0x00, 0x81, 0x7F}, false, ""},
                      TLayer2Case{{0x00, 0x81, 0x7F}, true, "T: R: SABME(40): 00 81 7F "},
                      TLayer2Case{{0x02}, false, "T: R: (00): 02 "}, // shorter than any header: traced all the same
                      TLayer2Case{{0x02}, true, "T: R: (00): 02 "},
                      TLayer2Case{{}, true, ""},
                      TLayer2Case{{0xFE, 0xFF, 0x03, 0x0F, 0x5A, 0x31, 0x02, 0x81}, false,
                                  "T: R: TEI management(00): FE FF 03 0F 5A 31 02 81 "}),
                         [](const auto& testCase) { return CaseName(HexOctets(testCase.param.frame) + (testCase.param.layer2 ? " with layer 2" : " without layer 2"), testCase.index); });

// --- Call events ---------------------------------------------------------

TEST_F(TraceTest, SetupGivesMessageDirectionAndElementsInOrder)
{
    ASSERT_TRUE(Open());
    Receive({AvmIndication(1, 0x0101,
                           {0x02, 0xFF, 0x03, 0x08, 0x01, 0x05, 0x05, 0x04, 0x03, 0x80, 0x90, 0xA3, 0xA1, 0x18,
                            0x01, 0x89})});
    const std::vector<TCallEvent> expected = {
        {5, 0x05, "setup"},
        {5, 0, "R"},
        {5, 1004, ElementText(0x04, {0x80, 0x90, 0xA3})},
        {5, 1024, ElementText(0x18, {0x89})},
    };
    EXPECT_EQ(events, expected);
}

TEST_F(TraceTest, SetupAcknowledgeReportsItsDirection)
{
    ASSERT_TRUE(Open());
    Receive({AvmIndication(1, 0x0102, {0x00, 0x81, 0x00, 0x00, 0x08, 0x02, 0x80, 0x07, 0x0D})});
    const std::vector<TCallEvent> expected = {{7, 0x0D, "setup acknowledge"}, {7, 0, "T"}};
    EXPECT_EQ(events, expected);
}

struct TClearingCase {
    const char* name;
    uint16_t kind;
    uint8_t messageType;
    Bytes cause;
    bool finalEvent; // the message's own event after its elements
};

class Clearing : public TraceTest, public ::testing::WithParamInterface<TClearingCase> {};

TEST_P(Clearing, ReportsReleaseAfterItsElements)
{
    const TClearingCase& test = GetParam();
    ASSERT_TRUE(Open());
    Bytes frame = {0x02, 0x81, 0x04, 0x06, 0x08, 0x01, 0x86, test.messageType, 0x08, uint8_t(test.cause.size())};
    frame.insert(frame.end(), test.cause.begin(), test.cause.end());
    Receive({AvmIndication(1, test.kind, frame)});
    std::vector<TCallEvent> expected = {{6, 1008, ElementText(0x08, test.cause)}};
    if (test.finalEvent)
        expected.push_back({6, test.messageType, MessageTypeName(test.messageType)});
    EXPECT_EQ(events, expected);
}

const Bytes kNormalClearing = {0x80, 0x90};
const Bytes kNonSelected = {0x82, 0x9A};

INSTANTIATE_TEST_SUITE_P(
    Messages, Clearing,
    ::testing::Values(TClearingCase{"ReleaseReceived", 0x0101, 0x4D, kNormalClearing, true},
                      TClearingCase{"ReleaseSent", 0x0102, 0x4D, kNormalClearing, true},
                      TClearingCase{"ReleaseCompleteReceived", 0x0101, 0x5A, kNormalClearing, true},
                      TClearingCase{"ReleaseCompleteSent", 0x0102, 0x5A, kNormalClearing, false},
                      TClearingCase{"ReleaseNonSelected", 0x0101, 0x4D, kNonSelected, false},
                      TClearingCase{"ReleaseCompleteNonSelected", 0x0101, 0x5A, kNonSelected, false}),
    [](const auto& param) { return std::string(param.param.name); });

TEST_F(TraceTest, NonSelectedCauseIsReportedAsElement)
{
    ASSERT_TRUE(Open());
    Receive({AvmIndication(1, 0x0101, {0x02, 0x81, 0x10, 0x10, 0x08, 0x01, 0x06, 0x4D, 0x08, 0x02, 0x82, 0x9A})});
    ASSERT_EQ(events.size(), 1u);
    EXPECT_TRUE(events[0].Text.contains(QLatin1String("Non-selected user clearing"))) << events[0].Text.toStdString();
}

TEST_F(TraceTest, DisconnectIsReportedBeforeItsCause)
{
    ASSERT_TRUE(Open());
    Receive({AvmIndication(1, 0x0102, {0x00, 0x81, 0x04, 0x04, 0x08, 0x01, 0x85, 0x45, 0x08, 0x02, 0x80, 0x90})});
    const std::vector<TCallEvent> expected = {{5, 0x45, "disconnect"}, {5, 1008, ElementText(0x08, kNormalClearing)}};
    EXPECT_EQ(events, expected);
}

TEST_F(TraceTest, ElementsRunningPastTheFrameAreClipped)
{
    ASSERT_TRUE(Open());
    // The display element claims 9 octets, two remain; then a lone identifier.
    Receive({AvmIndication(1, 0x0101, {0x02, 0xFF, 0x03, 0x08, 0x01, 0x05, 0x01, 0x28, 0x09, 'h', 'i'}),
             AvmIndication(2, 0x0101, {0x02, 0xFF, 0x03, 0x08, 0x01, 0x05, 0x01, 0x28})});
    const std::vector<TCallEvent> expected = {
        {5, 0x01, "alerting"},
        {5, 1040, ElementText(0x28, {'h', 'i'})},
        {5, 0x01, "alerting"},
        {5, 1040, ElementText(0x28, {})},
    };
    EXPECT_EQ(events, expected);
    EXPECT_EQ(traceLines.size(), 2);
}

TEST_F(TraceTest, FrameEndingInsideTheCallReference)
{
    ASSERT_TRUE(Open());
    Receive({AvmIndication(1, 0x0101, {0x02, 0xFF, 0x03, 0x08, 0x02, 0x81})});
    const std::vector<TCallEvent> expected = {{1, 0, "unknown"}};
    EXPECT_EQ(events, expected);
}

// --- KORVAN form ---------------------------------------------------------

Bytes KorvanTrace(uint16_t number, std::array<uint16_t, 7> when, uint8_t direction, const Bytes& text)
{
    Bytes parameters = {0x01, 0, 0, 0, 0x4B, 0x4F, 0x52, 0x56, 14};
    for (uint16_t part : when) {
        parameters.push_back(uint8_t(part));
        parameters.push_back(uint8_t(part >> 8));
    }
    parameters.push_back(direction);
    parameters.insert(parameters.end(), text.begin(), text.end());
    return Message(0xFF, 0x82, number, parameters);
}

Bytes Text(uint8_t headLength, const char* text)
{
    Bytes bytes = {headLength};
    for (const char* c = text; *c != 0; ++c)
        bytes.push_back(uint8_t(*c));
    return bytes;
}

const QString kHyphens(43, u'-');

TEST_F(TraceTest, KorvanTraceGivesSeparatorHeadAndBody)
{
    ASSERT_TRUE(Open());
    Receive({KorvanTrace(40, {2026, 12, 9, 10, 15, 2, 114}, 1, Text(11, "Q.931 SETUPbody text")),
             KorvanTrace(41, {2026, 12, 9, 23, 59, 59, 999}, 0, Text(4, "head"))});
    EXPECT_EQ(traceLines, (QStringList{kHyphens, "10:15:02,114: T: Q.931 SETUP", "body text", kHyphens,
                                       "23:59:59,999: R: head", ""}));
    EXPECT_TRUE(capi->KorvanTraceMode());
    EXPECT_TRUE(events.empty());
    const std::vector<Bytes> responses = Responses();
    ASSERT_EQ(responses.size(), 2u);
    EXPECT_EQ(responses[0].back(), 14); // the kind byte
    EXPECT_EQ(MessageNumberOf(responses[1]), 41);
}

TEST_F(TraceTest, KorvanHeadLengthBeyondTheTextIsClipped)
{
    ASSERT_TRUE(Open());
    Receive({KorvanTrace(1, {2026, 1, 2, 3, 4, 5, 6}, 0, Text(200, "short")),
             KorvanTrace(2, {2026, 1, 2, 3, 4, 5, 6}, 0, {})});
    EXPECT_EQ(traceLines, (QStringList{kHyphens, "03:04:05,006: R: short", "", kHyphens, "03:04:05,006: R: ", ""}));
}

TEST_F(TraceTest, KorvanInvalidDateTakesTheCurrentTime)
{
    ASSERT_TRUE(Open());
    Receive({KorvanTrace(1, {2026, 13, 40, 25, 61, 61, 1000}, 1, Text(1, "xy"))});
    ASSERT_EQ(traceLines.size(), 3);
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d,\\d\\d\\d: T: x$")).match(traceLines[1]).hasMatch())
        << traceLines[1].toStdString();
}

TEST_F(TraceTest, AfterKorvanTraceAvmFramesTakeTheKorvanForm)
{
    ASSERT_TRUE(Open());
    Receive({KorvanTrace(1, {2026, 1, 2, 3, 4, 5, 6}, 1, Text(1, "ab"))});
    traceLines.clear();
    Receive({AvmIndication(2, 0x0101, {0x05, 'h', 'e', 'l', 'l', 'o', 'B'})});
    ASSERT_EQ(traceLines.size(), 3);
    EXPECT_EQ(traceLines[0], kHyphens);
    EXPECT_TRUE(traceLines[1].endsWith(QLatin1String(": R: hello")));
    EXPECT_EQ(traceLines[2], QLatin1String("B"));
    capi->CloseDevice();
    EXPECT_FALSE(capi->KorvanTraceMode());
}

TEST_F(TraceTest, KorvanDiscoverySwitchesToKorvanForm)
{
    ASSERT_TRUE(Open());
    QString seen;
    capi->OnMDNS = [&](uint32_t, uint32_t ttl, const QString& uri, const QString& host, const QString& software) {
        seen = QStringLiteral("%1 %2 %3 %4").arg(ttl).arg(uri, host, software);
    };
    Receive({Message(0xFF, 0x82, 5,
                     {0x01, 0, 0, 0, 0x4B, 0x4F, 0x52, 0x56, 15, 3, 'u', 'r', 'i', 1, 'h', 120, 0, 0, 0, 2, 's', 'w'})});
    EXPECT_TRUE(capi->KorvanTraceMode());
    EXPECT_EQ(seen, QLatin1String("120 uri h sw"));
    EXPECT_EQ(Responses().back().back(), 15);
}

} // namespace
