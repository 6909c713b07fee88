#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

// The display unit itself: its programs, its memory of starts, its clock and the running countdown, as a state
// machine over received commands and device time. It does no I/O and reads no clock: the caller moves device time
// on (Advance) and hands in each command line; replies come back as lines without their carriage return.
//
// The countdown runs the selected program's intervals CD0 to CD9 in turn (after CD9 comes CD0 again). When an
// interval reaches zero a start is recorded and the next interval begins at that very instant. A "Break" interval
// holds the sequence: the display shows the time of day and the lights are dark until "=P" or "=C" selects again.
// The lights follow the program's detail rows: row r holds the minute 10 - r before the start, and while the time
// still to go is above m - 1 and at most m minutes the lights show the light code of the row for minute m; at the
// start itself, and for one second after it, they show the row for minute 0 and the display shows "0:00".
class CDeviceModel {
public:
    static constexpr int kProgramSlots = 9; // programs 0 to 8 hold data; 60 to 64 run the data of 0 to 4
    static constexpr int kDetailRows = 32;  // rows 00 to 31 (minutes 10 down to -21)
    static constexpr int kIntervals = 10;   // CD0 to CD9
    static constexpr std::size_t kMemoryCapacity = 999;
    static constexpr int kLastStartNumber = 9999;
    static constexpr std::int64_t kStartShowMs = 1000;
    static constexpr std::int64_t kFilledStartSpacingMs = 90'000;
    static constexpr int kMaxStartsPerAdvance = 1000;

    struct SDetailRow {
        int nLight = 0;  // 0 off, 1 red, 2 yellow, 3 green
        int nSignal = 0; // 0 none, 1 short, 2 long
    };
    struct SProgram {
        std::array<SDetailRow, kDetailRows> rows{};
        std::array<int, kIntervals> intervals{}; // seconds; 0 is a break
    };
    struct SStart {
        int nNumber = 0;
        std::int64_t nTimeOfDayMs = 0;
        std::int64_t nLeadMs = 0;
    };

    // nTimeOfDayMs: what the device clock shows at device time 0.
    explicit CDeviceModel(std::int64_t nTimeOfDayMs);

    // The programs the device comes with (index 0 to 8).
    static SProgram DefaultProgram(int nIndex);

    // Replaces the memory with nCount starts, the last of them just before the present time of day.
    void FillMemory(int nCount);
    // Selects a program (0 to 8 or 60 to 64) and begins its CD0 now; false, and nothing changes, for others.
    bool SelectProgram(int nProgram);

    // Moves device time on to nNowMs (it never goes back) and runs the countdown up to it. Returns, while
    // monitoring, the start line and the lead/leg line of each start that happened meanwhile.
    std::vector<std::string> Advance(std::int64_t nNowMs);
    // One received command without its carriage return; returns the reply lines (none for unknown commands,
    // invalid values and the upload commands).
    std::vector<std::string> HandleCommand(std::string_view command);
    // The "D?" line of the display at the present device time.
    std::string StatusLine() const;

    bool IsMonitoring() const { return m_bMonitoring; }
    bool IsMaster() const { return m_bMaster; }
    int ProgramNumber() const { return m_nProgram; }
    int CountdownNumber() const { return m_nCountdown; }
    int NextStartNumber() const { return m_nNextStart; }
    // Device time of the next start, or -1 while a break holds the countdown.
    std::int64_t NextStartAt() const;
    std::int64_t TimeOfDay() const;
    const std::deque<SStart>& Memory() const { return m_memory; }
    const SProgram& ProgramData(int nIndex) const { return m_programs.at(static_cast<std::size_t>(nIndex)); }

private:
    std::vector<std::string> SetCommand(char cWhat, std::string_view value);
    std::vector<std::string> DetailRowReply(std::string_view args) const;
    std::vector<std::string> IntervalReply(std::string_view args) const;
    void StoreDetailRow(std::string_view args);
    void StoreInterval(std::string_view args);
    std::vector<std::string> MemoryLines() const;
    std::string CurrentValuesLine() const;

    const SProgram& RunningProgram() const;
    void BeginInterval(std::int64_t nAtMs);
    void RecordStart(std::int64_t nAtMs, std::vector<std::string>& lines);
    std::string LargeField() const;
    std::string SmallField() const;
    char LightState() const;

    std::array<SProgram, kProgramSlots> m_programs;
    std::deque<SStart> m_memory;
    std::int64_t m_nClockOffsetMs; // time of day at device time 0
    std::int64_t m_nNowMs = 0;
    std::int64_t m_nLeadReferenceMs; // time of day from which the next lead is measured
    int m_nProgram = 1;
    int m_nCountdown = 0;
    bool m_bRunning = false; // false while a break holds the countdown
    std::int64_t m_nIntervalBeginMs = 0;
    std::int64_t m_nIntervalLengthMs = 0;
    std::int64_t m_nLastStartMs = -1; // device time of the last start, -1 before the first
    int m_nNextStart = 1;
    int m_nBrightness = 9;
    bool m_bMonitoring = false;
    bool m_bMaster = true;
};
