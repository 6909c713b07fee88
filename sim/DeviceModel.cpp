#include "sim/DeviceModel.h"

#include "sim/DeviceFormat.h"

#include <algorithm>

using namespace DeviceFormat;

namespace {

constexpr std::int64_t kMinuteMs = 60'000;
constexpr int kStartRow = 10; // the row of minute 0, the start itself

bool IsSelectableProgram(int nProgram) {
    return (nProgram >= 0 && nProgram <= 8) || (nProgram >= 60 && nProgram <= 64);
}

// One digit in the range 0 to nMax, or -1.
int Digit(std::string_view text, std::size_t nPos, int nMax) {
    if (nPos >= text.size() || text[nPos] < '0' || text[nPos] - '0' > nMax)
        return -1;
    return text[nPos] - '0';
}

} // namespace

CDeviceModel::CDeviceModel(std::int64_t nTimeOfDayMs)
    : m_nClockOffsetMs(WrapDay(nTimeOfDayMs)), m_nLeadReferenceMs(WrapDay(nTimeOfDayMs)) {
    for (int i = 0; i < kProgramSlots; ++i)
        m_programs[static_cast<std::size_t>(i)] = DefaultProgram(i);
    SelectProgram(1);
}

CDeviceModel::SProgram CDeviceModel::DefaultProgram(int nIndex) {
    // Intervals in seconds, 0 for a break.
    static constexpr std::array<std::array<int, kIntervals>, kProgramSlots> kIntervalTable{{
        {0, 0, 0, 0, 0, 0, 0, 0, 0, 0},                     // P0: clock only
        {30, 60, 90, 120, 180, 30, 60, 90, 120, 180},       // P1: quick demonstration
        {60, 60, 60, 60, 60, 60, 60, 60, 60, 60},           // P2: a start every minute
        {120, 120, 120, 120, 120, 120, 120, 120, 120, 120}, // P3
        {180, 180, 180, 180, 180, 180, 180, 180, 180, 180}, // P4
        {300, 300, 300, 300, 300, 300, 300, 300, 300, 300}, // P5: five-minute sequence
        {90, 90, 90, 90, 90, 90, 90, 90, 90, 90},           // P6
        {600, 600, 600, 0, 600, 600, 600, 0, 600, 600},     // P7: blocks of three with breaks
        {300, 300, 0, 120, 120, 0, 60, 60, 60, 0},          // P8: mixed, with breaks
    }};
    SProgram program;
    program.intervals = kIntervalTable.at(static_cast<std::size_t>(nIndex));
    if (nIndex != 0) {
        // Minutes 5 to 2 red, minute 1 yellow, the start green; short signals at 5, 4 and 1, a long one at 0.
        program.rows[kStartRow - 5] = {1, 1};
        program.rows[kStartRow - 4] = {1, 1};
        program.rows[kStartRow - 3] = {1, 0};
        program.rows[kStartRow - 2] = {1, 0};
        program.rows[kStartRow - 1] = {2, 1};
        program.rows[kStartRow] = {3, 2};
    }
    return program;
}

void CDeviceModel::FillMemory(int nCount) {
    nCount = std::clamp(nCount, 0, static_cast<int>(kMemoryCapacity));
    m_memory.clear();
    const std::int64_t nNow = TimeOfDay();
    std::int64_t nPrevious = nNow - (nCount + 1) * kFilledStartSpacingMs;
    for (int i = 1; i <= nCount; ++i) {
        // Spaced by the spacing and a few hundredths, so that every start time differs in its last digits.
        const std::int64_t nTime = nNow - (nCount - i + 1) * kFilledStartSpacingMs + (i * 37 % 100) * 10;
        m_memory.push_back({i, WrapDay(nTime), nTime - nPrevious});
        nPrevious = nTime;
    }
    m_nNextStart = nCount + 1;
    m_nLeadReferenceMs = m_memory.empty() ? nNow : m_memory.back().nTimeOfDayMs;
}

bool CDeviceModel::SelectProgram(int nProgram) {
    if (!IsSelectableProgram(nProgram))
        return false;
    m_nProgram = nProgram;
    m_nCountdown = 0;
    BeginInterval(m_nNowMs);
    return true;
}

const CDeviceModel::SProgram& CDeviceModel::RunningProgram() const {
    return m_programs[static_cast<std::size_t>(m_nProgram >= 60 ? m_nProgram - 60 : m_nProgram)];
}

void CDeviceModel::BeginInterval(std::int64_t nAtMs) {
    const int nSeconds = RunningProgram().intervals[static_cast<std::size_t>(m_nCountdown)];
    m_nIntervalBeginMs = nAtMs;
    m_bRunning = nSeconds > 0;
    m_nIntervalLengthMs = m_bRunning ? nSeconds * 1000LL : 0;
}

std::int64_t CDeviceModel::NextStartAt() const {
    return m_bRunning ? m_nIntervalBeginMs + m_nIntervalLengthMs : -1;
}

std::int64_t CDeviceModel::TimeOfDay() const {
    return WrapDay(m_nClockOffsetMs + m_nNowMs);
}

std::vector<std::string> CDeviceModel::Advance(std::int64_t nNowMs) {
    std::vector<std::string> lines;
    m_nNowMs = std::max(m_nNowMs, nNowMs);
    int nStarts = 0;
    while (m_bRunning && NextStartAt() <= m_nNowMs) {
        if (++nStarts > kMaxStartsPerAdvance) {
            // Time leapt further than any display could follow: go on from now instead of replaying it all.
            BeginInterval(m_nNowMs);
            break;
        }
        const std::int64_t nStartMs = NextStartAt();
        RecordStart(nStartMs, lines);
        m_nCountdown = (m_nCountdown + 1) % kIntervals;
        BeginInterval(nStartMs);
    }
    return lines;
}

void CDeviceModel::RecordStart(std::int64_t nAtMs, std::vector<std::string>& lines) {
    const std::int64_t nTime = WrapDay(m_nClockOffsetMs + nAtMs);
    const std::int64_t nLead = WrapDay(nTime - m_nLeadReferenceMs);
    m_memory.push_back({m_nNextStart, nTime, nLead});
    if (m_memory.size() > kMemoryCapacity)
        m_memory.pop_front();
    m_nNextStart = m_nNextStart >= kLastStartNumber ? 1 : m_nNextStart + 1;
    m_nLeadReferenceMs = nTime;
    m_nLastStartMs = nAtMs;
    if (!m_bMonitoring)
        return;
    // The start line carries the number that the display now shows as the next start.
    lines.push_back(ZeroPadded(m_nNextStart, 4) + " ST " + RightAlign(StartTimeText(nTime), 12));
    lines.push_back("  LEAD TIME  " + LeadTimeText(nLead));
}

std::string CDeviceModel::LargeField() const {
    if (m_nLastStartMs >= 0 && m_nNowMs - m_nLastStartMs < kStartShowMs)
        return RightAlign("0:00", 8);
    if (m_bRunning)
        return RightAlign(CountdownText(NextStartAt() - m_nNowMs), 8);
    return RightAlign(ClockText(TimeOfDay()), 8);
}

std::string CDeviceModel::SmallField() const {
    return RightAlign(std::to_string(m_nNextStart), 4);
}

char CDeviceModel::LightState() const {
    const auto& rows = RunningProgram().rows;
    if (m_nLastStartMs >= 0 && m_nNowMs - m_nLastStartMs < kStartShowMs)
        return static_cast<char>('0' + rows[kStartRow].nLight);
    if (!m_bRunning)
        return '0';
    const std::int64_t nMinute = (NextStartAt() - m_nNowMs + kMinuteMs - 1) / kMinuteMs;
    if (nMinute > kStartRow)
        return '0';
    return static_cast<char>('0' + rows[static_cast<std::size_t>(kStartRow - nMinute)].nLight);
}

std::string CDeviceModel::StatusLine() const {
    return "D? " + LargeField() + " " + SmallField() + " " + LightState();
}

std::string CDeviceModel::CurrentValuesLine() const {
    const std::string strProgram = RightAlign(std::to_string(m_nProgram), 2);
    const int nInterval = RunningProgram().intervals[static_cast<std::size_t>(m_nCountdown)];
    return "S? " + LargeField() + " " + SmallField() + " " + LightState() + strProgram + " " +
           IntervalColumns(nInterval) + " " + static_cast<char>('0' + m_nBrightness);
}

std::vector<std::string> CDeviceModel::HandleCommand(std::string_view command) {
    if (command == "?D") {
        m_bMonitoring = !m_bMonitoring;
        return {};
    }
    if (command == "?S")
        return {CurrentValuesLine()};
    if (command == "?M")
        return MemoryLines();
    if (command == "?E") {
        m_memory.clear();
        m_nNextStart = 1;
        m_nLeadReferenceMs = TimeOfDay();
        return {"E?"};
    }
    if (command == "=MASTER") {
        m_bMaster = true;
        return {"M="};
    }
    if (command == "=SLAVE") {
        m_bMaster = false;
        return {"S="};
    }
    if (command.size() < 2)
        return {};
    const std::string_view prefix = command.substr(0, 2);
    const std::string_view args = command.substr(2);
    if (prefix == "?L")
        return DetailRowReply(args);
    if (prefix == "?C")
        return IntervalReply(args);
    if (prefix == "=L")
        StoreDetailRow(args);
    else if (prefix == "=W")
        StoreInterval(args);
    else if (prefix == "=P" || prefix == "=C" || prefix == "=B" || prefix == "=T")
        return SetCommand(prefix[1], args);
    return {};
}

std::vector<std::string> CDeviceModel::SetCommand(char cWhat, std::string_view value) {
    switch (cWhat) {
    case 'P':
        if (const auto program = ParseDigits(value, 2); program && SelectProgram(*program))
            return {"P=" + std::to_string(*program)};
        break;
    case 'C':
        if (const auto countdown = ParseDigits(value, 1)) {
            m_nCountdown = *countdown;
            BeginInterval(m_nNowMs);
            return {"C=" + std::to_string(*countdown)};
        }
        break;
    case 'B':
        if (const auto brightness = ParseDigits(value, 1)) {
            m_nBrightness = *brightness;
            return {"B=" + std::to_string(*brightness)};
        }
        break;
    case 'T':
        if (const auto clock = ParseClock(value)) {
            m_nClockOffsetMs = *clock - m_nNowMs;
            return {"T=" + std::string(value)};
        }
        break;
    default:
        break;
    }
    return {};
}

std::vector<std::string> CDeviceModel::DetailRowReply(std::string_view args) const {
    const int nProgram = Digit(args, 0, kProgramSlots - 1);
    const auto row = args.size() == 3 ? ParseDigits(args.substr(1), 2) : std::nullopt;
    if (nProgram < 0 || !row || *row >= kDetailRows)
        return {};
    const SDetailRow& detail = m_programs[static_cast<std::size_t>(nProgram)].rows[static_cast<std::size_t>(*row)];
    return {"L?" + std::string(args) + static_cast<char>('0' + detail.nLight) +
            static_cast<char>('0' + detail.nSignal)};
}

std::vector<std::string> CDeviceModel::IntervalReply(std::string_view args) const {
    const int nProgram = Digit(args, 0, kProgramSlots - 1);
    const int nInterval = Digit(args, 1, kIntervals - 1);
    if (args.size() != 2 || nProgram < 0 || nInterval < 0)
        return {};
    const int nSeconds = m_programs[static_cast<std::size_t>(nProgram)].intervals[static_cast<std::size_t>(nInterval)];
    return {"C?" + std::string(args) + IntervalColumns(nSeconds)};
}

void CDeviceModel::StoreDetailRow(std::string_view args) {
    // program, row (one to three digits), first code, second code
    if (args.size() < 4 || args.size() > 6)
        return;
    const int nProgram = Digit(args, 0, kProgramSlots - 1);
    const auto row = ParseDigits(args.substr(1, args.size() - 3), 3);
    const int nLight = Digit(args, args.size() - 2, 3);
    const int nSignal = Digit(args, args.size() - 1, 2);
    if (nProgram < 0 || !row || *row >= kDetailRows || nLight < 0 || nSignal < 0)
        return;
    m_programs[static_cast<std::size_t>(nProgram)].rows[static_cast<std::size_t>(*row)] = {nLight, nSignal};
}

void CDeviceModel::StoreInterval(std::string_view args) {
    const int nProgram = Digit(args, 0, kProgramSlots - 1);
    const int nInterval = Digit(args, 1, kIntervals - 1);
    if (nProgram < 0 || nInterval < 0)
        return;
    if (const auto seconds = ParseInterval(args.substr(2)))
        m_programs[static_cast<std::size_t>(nProgram)].intervals[static_cast<std::size_t>(nInterval)] = *seconds;
}

std::vector<std::string> CDeviceModel::MemoryLines() const {
    if (m_memory.empty())
        return {"M?EMPTY"};
    std::vector<std::string> lines;
    lines.reserve(m_memory.size());
    for (const SStart& start : m_memory)
        lines.push_back("M?" + ZeroPadded(start.nNumber, 4) + "    " +
                        RightAlign(StartTimeText(start.nTimeOfDayMs), 12) + "   " + LeadTimeText(start.nLeadMs));
    return lines;
}
