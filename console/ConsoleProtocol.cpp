#include "console/ConsoleProtocol.h"

#include "base/Files.h"
#include "base/LineFields.h"
#include "base/TextRules.h"
#include "res/Resource.h"

#include <algorithm>
#include <utility>

namespace {

constexpr int kTimeLines = 10;        // a program file's first ten lines give CD0 to CD9
constexpr std::size_t kTimeChars = 5; // the countdown time after the third ";"
constexpr int kSemicolonsBeforeTime = 3;

// A short "S?" line reports what it does not carry as an empty text (ParseCurrentValues), and an empty text selects
// nothing: it would begin every program entry and equal the empty countdown times of missing program files. This is
// the one guard of that rule; both lookups find their entry here. The result is the first of nCount positions, in
// the order position(0), position(1), ... gives them, whose entry matches the reported text; -1 when none does.
template <typename Position, typename Matches>
int FindReported(std::string_view reported, int nCount, Position position, Matches matches) {
    if (reported.empty())
        return -1;
    for (int i = 0; i < nCount; ++i) {
        const int nPosition = position(i);
        if (matches(static_cast<std::size_t>(nPosition)))
            return nPosition;
    }
    return -1;
}

} // namespace

std::optional<CLightPattern> LightsForState(std::string_view state) {
    if (state == "0")
        return CLightPattern{ELamp::Off, ELamp::Off, ELamp::Off};
    if (state == "1")
        return CLightPattern{ELamp::Red, ELamp::Off, ELamp::Off};
    if (state == "2")
        return CLightPattern{ELamp::Off, ELamp::Yellow, ELamp::Off};
    if (state == "3")
        return CLightPattern{ELamp::Off, ELamp::Off, ELamp::Green};
    return std::nullopt;
}

std::string BuildSetProgram(std::string_view programEntry) {
    if (!programEntry.empty())
        programEntry.remove_prefix(1);
    return "=P" + CommandValue(programEntry) + kCommandEnd;
}

std::string BuildSetCountdownNumber(std::string_view countdownEntry) {
    return "=C" + CommandValue(countdownEntry.substr(countdownEntry.empty() ? 0 : countdownEntry.size() - 1)) +
           kCommandEnd;
}

std::string BuildSetBrightness(std::string_view brightness) {
    return "=B" + CommandValue(brightness) + kCommandEnd;
}

std::string BuildSetClock(std::string_view clockText) {
    std::string clock = CommandValue(TrimBlanks(clockText));
    std::erase(clock, ':');
    return "=T" + clock + kCommandEnd;
}

namespace {

CDeviceOperation SetOperation(std::string strCommand, std::chrono::milliseconds replyWait) {
    CDeviceOperation operation;
    operation.Arm().Write(std::move(strCommand)).Collect(replyWait);
    return operation;
}

} // namespace

CDeviceOperation GetCurrentValuesOperation() {
    CDeviceOperation operation;
    operation.Write(kCmdGetCurrentValues).Arm().Collect(kLongReplyWait);
    return operation;
}

CDeviceOperation SetProgramOperation(std::string_view programEntry) {
    return SetOperation(BuildSetProgram(programEntry), kLongReplyWait);
}

CDeviceOperation SetCountdownNumberOperation(std::string_view countdownEntry) {
    return SetOperation(BuildSetCountdownNumber(countdownEntry), kShortReplyWait);
}

CDeviceOperation SetBrightnessOperation(std::string_view brightness) {
    return SetOperation(BuildSetBrightness(brightness), kShortReplyWait);
}

CDeviceOperation SetClockOperation(std::string_view clockText) {
    CDeviceOperation operation;
    operation.Arm().WriteAtSecond(&BuildSetClock, std::string(clockText)).Collect(kShortReplyWait);
    return operation;
}

CDeviceOperation MasterOperation() {
    CDeviceOperation operation;
    operation.Arm().Write(kCmdMaster).Collect(kShortReplyWait).Write(kCmdMonitorToggle);
    return operation;
}

CDeviceOperation SlaveOperation() {
    return SetOperation(kCmdSlave, kShortReplyWait);
}

void CMonitorResume::Start(unsigned nReopens) {
    m_nSeenReopens = nReopens;
    m_bStreamLine = false;
    m_reopenedAt.reset();
}

void CMonitorResume::Take(const CMonitorLine& line) {
    m_bStreamLine = m_bStreamLine || line.Recognised();
}

bool CMonitorResume::Tick(unsigned nReopens, Clock::time_point now) {
    const bool bStreamLine = std::exchange(m_bStreamLine, false);
    if (nReopens != m_nSeenReopens) {
        m_nSeenReopens = nReopens;
        m_reopenedAt = now;
    }
    if (!m_reopenedAt)
        return false;
    if (bStreamLine) {
        m_reopenedAt.reset(); // still streaming
        return false;
    }
    if (now - *m_reopenedAt < kStreamWait)
        return false;
    m_reopenedAt.reset();
    return true;
}

CMonitorLine ParseMonitorLine(std::string_view line) {
    CMonitorLine parsed;
    if (HasPrefix(line, "D?")) {
        parsed.m_bDisplay = true;
        parsed.m_strLarge = Field(line, 3, 8);
        parsed.m_strSmall = Field(line, 12, 4);
        parsed.m_lights = LightsForState(Field(line, 17, 1));
    }
    if (Field(line, 5, 2) == "ST") {
        parsed.m_bStart = true;
        // The device counts starts from 1; the window shows the number of the start before it.
        parsed.m_strStartNumber = std::to_string(ParseLeadingInt(Field(line, 0, 4)) - 1);
        parsed.m_strStartTime = Field(line, 8, 12);
    }
    if (HasPrefix(line, "  ")) {
        parsed.m_bLead = true;
        parsed.m_strLeadTime = Field(line, 13, 7);
    }
    return parsed;
}

std::optional<CCurrentValues> ParseCurrentValues(std::string_view line) {
    if (!HasPrefix(line, "S?"))
        return std::nullopt;
    CCurrentValues values;
    values.m_strLarge = Field(line, 3, 8);
    values.m_strSmall = Field(line, 12, 4);
    values.m_lights = LightsForState(Field(line, 17, 1));
    // A line that ends before the units digit carries no program: "P" and a tens digit alone would name another.
    const std::string units = Field(line, 19, 1);
    if (!units.empty()) {
        const std::string tens = Field(line, 18, 1);
        values.m_strProgram = "P" + (tens == " " ? units : tens + units);
    }
    values.m_strCountdownTime = Field(line, 21, 4);
    values.m_strBrightness = Field(line, 26, 1);
    return values;
}

bool IsSetAcknowledgement(std::string_view line) {
    const std::string prefix = Field(line, 0, 2);
    return prefix == "P=" || prefix == "C=" || prefix == "B=" || prefix == "T=";
}

bool IsModeAcknowledgement(std::string_view line) {
    const std::string prefix = Field(line, 0, 2);
    return prefix == "S=" || prefix == "M=";
}

std::string CountdownEntry(int nColumn) {
    return "CD" + std::to_string(nColumn);
}

int FindProgramEntry(const std::vector<std::string>& entries, std::string_view programText) {
    const int nEntries = static_cast<int>(entries.size());
    return FindReported(
        programText, nEntries,
        [&](int i) { return (i + 1) % nEntries; }, // the second entry to the last, then the first
        [&](std::size_t nEntry) { return BeginsWithIgnoringCase(entries[nEntry], programText); });
}

int EntryNumber(std::string_view entry) {
    if (entry.empty() || entry.back() < '0' || entry.back() > '9')
        return -1;
    return entry.back() - '0';
}

CCountdownRow ReadCountdownTimes(std::string_view fileText) {
    CCountdownRow row{};
    const std::vector<std::string> lines = SplitTextLines(fileText);
    const std::size_t nLines = std::min(lines.size(), static_cast<std::size_t>(kTimeLines));
    for (std::size_t i = 0; i < nLines; ++i) {
        const std::string& line = lines[i];
        // A search that finds nothing counts as position -1, so the next search starts at the line's beginning.
        std::size_t nNext = 0;
        for (int nHit = 0; nHit < kSemicolonsBeforeTime; ++nHit) {
            const std::size_t nFound = line.find(';', nNext);
            nNext = nFound == std::string::npos ? 0 : nFound + 1;
        }
        std::string time = Field(line, nNext, kTimeChars);
        std::erase(time, ';');
        row[i] = std::move(time);
    }
    return row;
}

int FindCountdownColumn(const CCountdownRow& row0, std::string_view countdownTime) {
    return FindReported(
        countdownTime, kCountdownNumbers, [](int i) { return kCountdownNumbers - 1 - i; }, // CD9 down to CD0
        [&](std::size_t nColumn) { return row0[nColumn] == countdownTime; });
}

int LampIcon(ELamp lamp) {
    switch (lamp) {
    case ELamp::Red:
        return IDI_LAMP_RED;
    case ELamp::Green:
        return IDI_LAMP_GREEN;
    case ELamp::Yellow:
        return IDI_LAMP_YELLOW;
    case ELamp::Off:
        break;
    }
    return IDI_LAMP_OFF;
}
