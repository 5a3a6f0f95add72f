#include "TraceScenario.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace vsim {

namespace {

constexpr size_t kMaxScenarioFile = size_t(64) << 20;

constexpr std::string_view kDemo = R"(# Terminal with TEI 64 on a basic-rate interface.
# TEI assignment and data link set-up.
T FC FF 03 0F 5A 31 01 FF
R FE FF 03 0F 5A 31 02 81
T 00 81 7F
R 00 81 73
wait 300
# Incoming call, answered here, with advice of charge.
R 02 FF 03 08 01 05 05 04 03 80 90 A3 18 01 89 6C 0C 21 83 30 33 30 31 32 33 34 35 36 37 70 05 C1 34 35 36 37
T 00 81 00 00 08 01 85 01 18 01 89
R 00 81 01 02
wait 400
T 00 81 02 00 08 01 85 07
R 02 81 00 04 08 01 05 0F
T 02 81 01 02
wait 500
R 02 81 02 04 08 01 05 62 1C 15 91 A1 12 02 01 01 02 01 22 30 0A A1 05 30 03 02 01 05 82 01 01
T 02 81 01 04
wait 500
T 00 81 04 04 08 01 85 45 08 02 80 90
R 02 81 04 06 08 01 05 4D
T 00 81 06 06 08 01 85 5A
R 00 81 01 08
wait 600
# Outgoing call.
T 00 81 08 06 08 01 01 05 04 03 80 90 A3 18 01 83 6C 05 C1 34 35 36 37 70 0C 81 30 33 30 39 38 37 36 35 34 33 32 A1
R 00 81 01 0A
R 02 81 06 0A 08 01 81 02 18 01 89
T 02 81 01 08
wait 300
R 02 81 08 0A 08 01 81 01 1E 02 82 88
T 02 81 01 0A
wait 500
R 02 81 0A 0A 08 01 81 07 29 05 1A 0C 09 0E 22
T 00 81 0A 0C 08 01 01 0F
R 00 81 01 0C
wait 500
R 02 81 0C 0C 08 01 81 45 08 02 82 90
T 00 81 0C 0E 08 01 01 4D
R 02 81 0E 0E 08 01 81 5A
T 02 81 01 10
wait 400
# Incoming call that another terminal takes.
R 02 FF 03 08 01 06 05 04 03 80 90 A3 18 01 8A 6C 0C 21 83 30 33 30 31 32 33 34 35 36 37 70 05 C1 34 35 36 37
T 00 81 0E 10 08 01 86 01 18 01 8A
R 00 81 01 10
wait 300
R 02 81 10 10 08 01 06 4D 08 02 82 9A
T 00 81 10 12 08 01 86 5A
R 00 81 01 12
wait 500
# Idle: the data link is released.
T 00 81 53
R 00 81 73
wait 600
)";

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v';
}

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// Hex pairs, blanks allowed between pairs but not inside one.
const char* ParseHex(std::string_view text, std::vector<uint8_t>& octets, size_t most)
{
    size_t at = 0;
    while (at < text.size()) {
        if (IsBlank(text[at])) {
            ++at;
            continue;
        }
        if (at + 1 >= text.size())
            return "odd number of hex digits";
        const int high = HexDigit(text[at]);
        const int low = HexDigit(text[at + 1]);
        if (high < 0 || low < 0)
            return "not a hex pair";
        if (octets.size() >= most)
            return "frame too long";
        octets.push_back(uint8_t(high * 16 + low));
        at += 2;
    }
    return octets.empty() ? "no frame octets" : nullptr;
}

const char* ParseWait(std::string_view text, uint32_t& ms)
{
    text = Trim(text);
    if (text.empty())
        return "wait without a time";
    uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return "wait time is not a number";
        value = value * 10 + uint64_t(c - '0');
        if (value > kMaxTraceWait)
            value = kMaxTraceWait; // stays bounded however many digits follow
    }
    ms = uint32_t(value);
    return nullptr;
}

} // namespace

TTraceScenario ParseScenario(std::string_view text)
{
    TTraceScenario scenario;
    size_t lineNumber = 0;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        ++lineNumber;
        line = Trim(line);
        if (line.empty() || line.front() == '#')
            continue;
        TTraceStep step;
        const char* error = nullptr;
        if ((line[0] == 'T' || line[0] == 'R') && (line.size() == 1 || IsBlank(line[1]))) {
            step.Sent = line[0] == 'T';
            error = ParseHex(line.substr(1), step.Frame, kMaxTraceFrame);
        } else if (line.substr(0, 3) == "MSG" && (line.size() == 3 || IsBlank(line[3]))) {
            step.IsMessage = true;
            error = ParseHex(line.substr(3), step.Frame, kMaxScriptMessage);
            if (error == nullptr && step.Frame.size() < kMinScriptMessage)
                error = "message shorter than 8 octets";
        } else if (line.substr(0, 4) == "wait" && (line.size() == 4 || IsBlank(line[4]))) {
            step.IsWait = true;
            error = ParseWait(line.substr(4), step.WaitMs);
        } else {
            error = "expected \"T\", \"R\", \"MSG\" or \"wait\"";
        }
        if (error != nullptr)
            scenario.Errors.push_back("line " + std::to_string(lineNumber) + ": " + error);
        else
            scenario.Steps.push_back(std::move(step));
    }
    return scenario;
}

bool IsScript(const TTraceScenario& scenario)
{
    for (const TTraceStep& step : scenario.Steps)
        if (step.IsMessage)
            return true;
    return false;
}

bool ReadScenarioFile(const std::string& path, std::string& text, std::string& error)
{
    text.clear();
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        error = std::strerror(errno);
        return false;
    }
    char buffer[65536];
    bool ok = true;
    for (;;) {
        const size_t got = std::fread(buffer, 1, sizeof buffer, file);
        if (text.size() + got > kMaxScenarioFile) {
            error = "file too large";
            ok = false;
            break;
        }
        text.append(buffer, got);
        if (got < sizeof buffer) {
            if (std::ferror(file)) {
                error = "read error";
                ok = false;
            }
            break;
        }
    }
    std::fclose(file);
    return ok;
}

std::string_view DemoScenario()
{
    return kDemo;
}

} // namespace vsim
