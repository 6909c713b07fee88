#include "console/ConsoleProtocol.h"

#include "programs/ProgramStore.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <utility>

namespace {

constexpr std::optional<CLightPattern> kUnchanged = std::nullopt;
constexpr CLightPattern kAllOff{ELamp::Off, ELamp::Off, ELamp::Off};
constexpr CLightPattern kRedTop{ELamp::Red, ELamp::Off, ELamp::Off};
constexpr CLightPattern kYellowMiddle{ELamp::Off, ELamp::Yellow, ELamp::Off};
constexpr CLightPattern kGreenBottom{ELamp::Off, ELamp::Off, ELamp::Green};

// A reply line with the given texts at the given columns and blanks between them.
std::string Columns(std::initializer_list<std::pair<std::size_t, std::string_view>> fields) {
    std::string line;
    for (const auto& [nColumn, text] : fields) {
        if (line.size() < nColumn + text.size())
            line.resize(nColumn + text.size(), ' ');
        line.replace(nColumn, text.size(), text);
    }
    return line;
}

std::string Hex(std::string_view bytes) {
    static const char* kDigits = "0123456789ABCDEF";
    std::string text;
    for (unsigned char c : bytes) {
        if (!text.empty())
            text += ' ';
        text += kDigits[c >> 4];
        text += kDigits[c & 15];
    }
    return text;
}

// ---- Lights --------------------------------------------------------------------------------------------------------

struct LightRow {
    const char* state;
    std::optional<CLightPattern> lights;
};

TEST(Lights, FollowTheLightState) {
    const LightRow rows[] = {
        {"0", kAllOff},   {"1", kRedTop},    {"2", kYellowMiddle}, {"3", kGreenBottom}, {"4", kUnchanged},
        {"", kUnchanged}, {" ", kUnchanged}, {"00", kUnchanged},   {"x", kUnchanged},
    };
    for (const auto& row : rows)
        EXPECT_EQ(LightsForState(row.state), row.lights) << '"' << row.state << '"';
}

// ---- Commands ------------------------------------------------------------------------------------------------------

struct CommandRow {
    std::string command;
    const char* bytes;
};

TEST(ConsoleCommands, AreWrittenByteForByte) {
    const CommandRow rows[] = {
        {BuildSetProgram("P60"), "3D 50 36 30 0D"},
        {BuildSetProgram("P5"), "3D 50 35 0D"},
        {BuildSetProgram(""), "3D 50 0D"},
        {BuildSetCountdownNumber("CD4"), "3D 43 34 0D"},
        {BuildSetCountdownNumber("CD0"), "3D 43 30 0D"},
        {BuildSetCountdownNumber(""), "3D 43 0D"},
        {BuildSetBrightness("9"), "3D 42 39 0D"},
        {BuildSetBrightness(""), "3D 42 0D"},
        {BuildSetBrightness("12"), "3D 42 31 32 0D"},
        {BuildSetBrightness(" 1"), "3D 42 20 31 0D"}, // exactly as typed
        {BuildSetClock("09:05:03"), "3D 54 30 39 30 35 30 33 0D"},
        {BuildSetClock("  09:05:03 "), "3D 54 30 39 30 35 30 33 0D"},
        {BuildSetClock(""), "3D 54 0D"},
        {BuildSetBrightness("1\r?E"), "3D 42 31 3F 45 0D"}, // one command, never two
        {std::string(kCmdMonitorToggle), "3F 44 0D"},
        {std::string(kCmdGetCurrentValues), "3F 53 0D"},
        {std::string(kCmdMaster), "3D 4D 41 53 54 45 52 0D"},
        {std::string(kCmdSlave), "3D 53 4C 41 56 45 0D"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(Hex(row.command), row.bytes);
}

// ---- Live monitor --------------------------------------------------------------------------------------------------

struct MonitorRow {
    std::string line;
    CMonitorLine expected;
};

CMonitorLine Display(std::string large, std::string small, std::optional<CLightPattern> lights) {
    CMonitorLine line;
    line.m_bDisplay = true;
    line.m_strLarge = std::move(large);
    line.m_strSmall = std::move(small);
    line.m_lights = lights;
    return line;
}

CMonitorLine Start(std::string number, std::string time) {
    CMonitorLine line;
    line.m_bStart = true;
    line.m_strStartNumber = std::move(number);
    line.m_strStartTime = std::move(time);
    return line;
}

CMonitorLine Lead(std::string time) {
    CMonitorLine line;
    line.m_bLead = true;
    line.m_strLeadTime = std::move(time);
    return line;
}

void ExpectSame(const CMonitorLine& actual, const CMonitorLine& expected, const std::string& line) {
    EXPECT_EQ(actual.m_bDisplay, expected.m_bDisplay) << line;
    EXPECT_EQ(actual.m_strLarge, expected.m_strLarge) << line;
    EXPECT_EQ(actual.m_strSmall, expected.m_strSmall) << line;
    EXPECT_EQ(actual.m_lights, expected.m_lights) << line;
    EXPECT_EQ(actual.m_bStart, expected.m_bStart) << line;
    EXPECT_EQ(actual.m_strStartNumber, expected.m_strStartNumber) << line;
    EXPECT_EQ(actual.m_strStartTime, expected.m_strStartTime) << line;
    EXPECT_EQ(actual.m_bLead, expected.m_bLead) << line;
    EXPECT_EQ(actual.m_strLeadTime, expected.m_strLeadTime) << line;
    EXPECT_EQ(actual.Recognised(), expected.Recognised()) << line;
}

TEST(MonitorLine, ThreeIndependentTests) {
    CMonitorLine both = Start("12", "12:34:56.789");
    both.m_bLead = true;
    both.m_strLeadTime = ":56.789";
    CMonitorLine oneAndLead = Start("0", "12:34:56.789"); // its leading blanks also make it a lead line
    oneAndLead.m_bLead = true;
    oneAndLead.m_strLeadTime = ":56.789";
    const MonitorRow rows[] = {
        {Columns({{0, "D?"}, {3, "12345678"}, {12, "ABCD"}, {17, "2"}}), Display("12345678", "ABCD", kYellowMiddle)},
        {Columns({{0, "D?"}, {3, " 1:30.0 "}, {12, " 10"}, {17, "0"}, {20, "xyz"}}),
         Display(" 1:30.0 ", " 10 ", kAllOff)},
        {Columns({{0, "D?"}, {3, "12345678"}, {12, "ABCD"}, {17, "7"}}), Display("12345678", "ABCD", kUnchanged)},
        {"D? 12345678 ", Display("12345678", "", kUnchanged)}, // twelve characters: no small field, no lights
        {"D? 1234", Display("1234", "", kUnchanged)},
        {"D?", Display("", "", kUnchanged)},
        {Columns({{0, "0013"}, {5, "ST"}, {8, "12:34:56.789"}}), Start("12", "12:34:56.789")},
        {Columns({{0, "   1"}, {5, "ST"}, {8, "12:34:56.789"}}), oneAndLead},
        {Columns({{0, "abcd"}, {5, "ST"}, {8, "12:34:56.789"}}), Start("-1", "12:34:56.789")},
        {Columns({{0, "0000"}, {5, "ST"}}), Start("-1", "")},
        {Columns({{0, "1"}, {5, "ST"}}), Start("0", "")},
        {Columns({{0, "-005"}, {5, "ST"}, {8, "12:34"}}), Start("-6", "12:34")},
        {Columns({{0, "9999"}, {5, "ST"}, {8, "12:34:56.789xyz"}}), Start("9998", "12:34:56.789")},
        {Columns({{0, "12ab"}, {5, "ST"}}), Start("11", "")},
        {Columns({{0, "  "}, {13, "1:23.45"}}), Lead("1:23.45")},
        {Columns({{0, "  "}, {13, "1:23.45678"}}), Lead("1:23.45")},
        {"  ", Lead("")},
        {Columns({{0, "  13"}, {5, "ST"}, {8, "12:34:56.789"}}), both}, // blanks at 0-1 and "ST": both apply
        {"", CMonitorLine{}},
        {"d? 12345678 ABCD 2", CMonitorLine{}},
        {" D?", CMonitorLine{}},
        {"0013 st 12:34", CMonitorLine{}},
        {" x", CMonitorLine{}},
        {"S? 12345678", CMonitorLine{}},
    };
    for (const auto& row : rows)
        ExpectSame(ParseMonitorLine(row.line), row.expected, row.line);
}

// ---- Current values ------------------------------------------------------------------------------------------------

struct CurrentRow {
    std::string line;
    bool bRecognised;
    const char* large;
    const char* small;
    std::optional<CLightPattern> lights;
    const char* program;
    const char* countdown;
    const char* brightness;
};

std::string CurrentLine(std::string_view program, std::string_view light = "1") {
    return Columns({{0, "S?"}, {3, "12345678"}, {12, "ABCD"}, {17, light}, {18, program}, {21, "1:30"}, {26, "7"}});
}

TEST(CurrentValues, EveryColumnOfTheSLine) {
    const CurrentRow rows[] = {
        {CurrentLine(" 5"), true, "12345678", "ABCD", kRedTop, "P5", "1:30", "7"},
        {CurrentLine("61", "3"), true, "12345678", "ABCD", kGreenBottom, "P61", "1:30", "7"},
        {CurrentLine(" 6", "x"), true, "12345678", "ABCD", kUnchanged, "P6", "1:30", "7"},
        {CurrentLine("01", "0"), true, "12345678", "ABCD", kAllOff, "P01", "1:30", "7"},
        {CurrentLine("  "), true, "12345678", "ABCD", kRedTop, "P ", "1:30", "7"},
        {CurrentLine(" 5") + "tail", true, "12345678", "ABCD", kRedTop, "P5", "1:30", "7"},
        {CurrentLine(" 5").substr(0, 20), true, "12345678", "ABCD", kRedTop, "P5", "", ""}, // twenty characters
        {CurrentLine(" 5").substr(0, 23), true, "12345678", "ABCD", kRedTop, "P5", "1:", ""},
        {CurrentLine("61").substr(0, 19), true, "12345678", "ABCD", kRedTop, "", "", ""}, // no units digit
        {CurrentLine("61").substr(0, 18), true, "12345678", "ABCD", kRedTop, "", "", ""},
        {"S?", true, "", "", kUnchanged, "", "", ""},
        {"s? 12345678", false, "", "", kUnchanged, "", "", ""},
        {"", false, "", "", kUnchanged, "", "", ""},
        {"D? 12345678 ABCD 1 5 1:30 7", false, "", "", kUnchanged, "", "", ""},
    };
    for (const auto& row : rows) {
        const auto values = ParseCurrentValues(row.line);
        ASSERT_EQ(values.has_value(), row.bRecognised) << row.line;
        if (!values)
            continue;
        EXPECT_EQ(values->m_strLarge, row.large) << row.line;
        EXPECT_EQ(values->m_strSmall, row.small) << row.line;
        EXPECT_EQ(values->m_lights, row.lights) << row.line;
        EXPECT_EQ(values->m_strProgram, row.program) << row.line;
        EXPECT_EQ(values->m_strCountdownTime, row.countdown) << row.line;
        EXPECT_EQ(values->m_strBrightness, row.brightness) << row.line;
    }
}

struct AckRow {
    const char* line;
    bool bSet;
    bool bMode;
};

TEST(Acknowledgements, OnlyTheFirstTwoColumnsCount) {
    const AckRow rows[] = {
        {"P=", true, false},  {"C=1", true, false},   {"B=9", true, false}, {"T=120000", true, false},
        {"S=", false, true},  {"M=xyz", false, true}, {"p=", false, false}, {"P", false, false},
        {"", false, false},   {" P=", false, false},  {"=P", false, false}, {"S?", false, false},
        {"M?", false, false}, {"L=", false, false},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(IsSetAcknowledgement(row.line), row.bSet) << row.line;
        EXPECT_EQ(IsModeAcknowledgement(row.line), row.bMode) << row.line;
    }
}

// ---- Program and countdown lists -----------------------------------------------------------------------------------

struct FindRow {
    const char* text;
    const char* entry; // nullptr: no entry
};

TEST(ProgramList, FindsTheFirstEntryThatBeginsWithTheText) {
    const FindRow rows[] = {
        {"P5", "P5"},    {"P61", "P61"},   {"P6", "P60"},   {"p61", "P61"},    {"P64", "P64"},
        {"P7", "P7"},    {"P8", "P8"},     {"P1", "P1"},    {"P0", "P0"}, // the first entry is searched last
        {"P", "P1"},     {"p", "P1"}, // a bare "P" begins every entry: the search starts at the second
        {"P9", nullptr}, {"P01", nullptr}, {"P ", nullptr}, {"P600", nullptr}, {"X", nullptr},
        {"", nullptr}, // an empty text names no program
    };
    for (const auto& row : rows) {
        const int nEntry = FindProgramEntry(kProgramEntries, row.text);
        const std::string found = nEntry < 0 ? "none" : kProgramEntries[static_cast<std::size_t>(nEntry)];
        EXPECT_EQ(found, row.entry ? row.entry : "none") << '"' << row.text << '"';
    }
}

TEST(ProgramList, SearchRunsFromTheSecondEntryToTheLastThenTheFirst) {
    EXPECT_EQ(FindProgramEntry({"AB", "A"}, "A"), 1);
    EXPECT_EQ(FindProgramEntry({"A", "AB"}, "A"), 1);
    EXPECT_EQ(FindProgramEntry({"AB", "X", "AC"}, "A"), 2);
    EXPECT_EQ(FindProgramEntry({"AB"}, "a"), 0);
    EXPECT_EQ(FindProgramEntry({}, "A"), -1);
}

TEST(ProgramList, ShortSLineSelectsWhatItCarriesAndNothingElse) {
    // A reply cut short selects the program and the countdown number it still carries whole, and nothing in place
    // of what it lost: neither the second entry nor a column without a time.
    CCountdownRow row0{};
    row0[4] = "1:30";
    row0[2] = "1:3";
    const std::string line = CurrentLine("61");
    const struct {
        std::size_t nLength;
        const char* pszEntry; // nullptr: no entry
        int nColumn;
    } rows[] = {
        {line.size(), "P61", 4}, {25, "P61", 4},    {24, "P61", 2}, // "1:3" is CD2's time
        {23, "P61", -1},         {22, "P61", -1},   {21, "P61", -1},  {20, "P61", -1},
        {19, nullptr, -1},       {18, nullptr, -1}, {2, nullptr, -1},
    };
    for (const auto& row : rows) {
        const auto values = ParseCurrentValues(line.substr(0, row.nLength));
        ASSERT_TRUE(values.has_value()) << row.nLength;
        const int nEntry = FindProgramEntry(kProgramEntries, values->m_strProgram);
        const std::string found = nEntry < 0 ? "none" : kProgramEntries[static_cast<std::size_t>(nEntry)];
        EXPECT_EQ(found, row.pszEntry ? row.pszEntry : "none") << row.nLength << " characters";
        EXPECT_EQ(FindCountdownColumn(row0, values->m_strCountdownTime), row.nColumn) << row.nLength << " characters";
    }
}

struct NumberRow {
    const char* entry;
    int nNumber;
};

TEST(ProgramList, EntryNumberIsTheLastCharacter) {
    const NumberRow rows[] = {{"P0", 0},  {"P5", 5},  {"P60", 0}, {"P61", 1}, {"P64", 4}, {"P8", 8},
                              {"CD7", 7}, {"CD0", 0}, {"", -1},   {"P", -1},  {"P6x", -1}};
    for (const auto& row : rows)
        EXPECT_EQ(EntryNumber(row.entry), row.nNumber) << row.entry;
    EXPECT_EQ(CountdownEntry(0), "CD0");
    EXPECT_EQ(CountdownEntry(9), "CD9");
}

// ---- Countdown times -----------------------------------------------------------------------------------------------

struct TimesRow {
    const char* text;
    std::vector<std::string> times; // columns from 0; the rest empty
};

TEST(CountdownTimes, FifthFieldAfterTheThirdSemicolon) {
    const TimesRow rows[] = {
        {"10;0;0;1:30;\r\n9;1;2;10:00;\r\n", {"1:30", "10:00"}},
        {"10;0;0;123456789;\r\n", {"12345"}},
        {"10;0;0;1;3;\r\n", {"13"}}, // every ";" of the five characters goes
        {"10;0;0;;\r\n9;0;0;2:00;", {"", "2:00"}},
        {"10;0;0;1:3\r\n", {"1:3"}},     // the line end is not part of the time
        {"10;0;0;1:3\r\r\n", {"1:3\r"}}, // only the CR directly before LF goes
        {"abcdefgh\r\n", {"abcde"}},     // no ";": the first five characters
        {"a;b\r\n", {"b"}},              // the failed second search makes the third start at 0 again
        {"a;b;c\r\n", {"abc"}},          // the failed third search: from position 0
        {";;;x\n", {"x"}},
        {"\r\n\r\n9;0;0;3:00;\r\n", {"", "", "3:00"}},
        {"", {}},
    };
    for (const auto& row : rows) {
        CCountdownRow expected{};
        std::copy(row.times.begin(), row.times.end(), expected.begin());
        EXPECT_EQ(ReadCountdownTimes(row.text), expected) << row.text;
    }
}

TEST(CountdownTimes, OnlyTheFirstTenLinesCount) {
    std::string text;
    for (int i = 0; i < 12; ++i)
        text += std::to_string(10 - i) + ";0;0;" + std::to_string(i) + ":00;\r\n";
    const CCountdownRow row = ReadCountdownTimes(text);
    EXPECT_EQ(row[0], "0:00");
    EXPECT_EQ(row[9], "9:00");
    EXPECT_EQ(row[10], "");
}

TEST(CountdownTimes, ReadWhatTheProgramStoreWrites) {
    CProgramStore store;
    store.SetRowCount(CProgramStore::kRows);
    const char* intervals[] = {"1:30", "10:00", "Break", "", "0:05", "12345", "9:59", "x", "2:00", "0:00"};
    for (int k = 0; k < 10; ++k)
        store.SetInterval(4, k, intervals[k]);
    const CCountdownRow row = ReadCountdownTimes(store.FormatProgramFile(4));
    for (int k = 0; k < 10; ++k)
        EXPECT_EQ(row[static_cast<std::size_t>(k)], intervals[k]) << k;
    EXPECT_EQ(row[10], "");
}

struct ColumnRow {
    const char* time;
    int nColumn;
};

TEST(CountdownTimes, HighestMatchingColumnOfRowZero) {
    CCountdownRow row0{};
    row0[3] = "1:30";
    row0[7] = "1:30";
    row0[0] = "2:00";
    row0[10] = "9:00"; // column 10 is never a countdown number
    const ColumnRow rows[] = {
        {"1:30", 7}, {"2:00", 0}, {"9:00", -1}, {"1:3", -1}, {"1:30 ", -1}, {"", -1}, // no time matches nothing
    };
    for (const auto& row : rows)
        EXPECT_EQ(FindCountdownColumn(row0, row.time), row.nColumn) << '"' << row.time << '"';
    EXPECT_EQ(FindCountdownColumn(CCountdownRow{}, ""), -1); // not CD9 for a table without files
}

} // namespace

// ---- the device commands as operations: when the timer is armed, what is written, how long the link stays open

namespace {

using EStep = CDeviceOperation::EStep;
using CSteps = std::vector<CDeviceOperation::CStep>;
const CDeviceOperation::CStep kArmStep{EStep::Arm, {}, {}};
CDeviceOperation::CStep WriteStep(const char* pszCommand) {
    return {EStep::Write, pszCommand, {}};
}
// The reply's time: the first line within it, and each next one as well.
CDeviceOperation::CStep CollectStep(int nMs) {
    CDeviceOperation::CStep step{EStep::Collect, {}, std::chrono::milliseconds{nMs}};
    step.m_nextLineWait = std::chrono::milliseconds{nMs};
    return step;
}
// The clock command goes out on the start of a second: built by BuildSetClock from that second's text, or from the
// text given.
CDeviceOperation::CStep ClockStep(const char* pszText) {
    return {EStep::WriteAtSecond, {}, {}, &BuildSetClock, pszText};
}

} // namespace

TEST(ConsoleOperations, EachCommandArmsWritesAndWaitsInItsOwnOrder) {
    const struct {
        const char* pszName;
        CDeviceOperation operation;
        CSteps steps;
    } rows[] = {
        {"GetCurrentValues", GetCurrentValuesOperation(), {WriteStep("?S\r"), kArmStep, CollectStep(500)}},
        {"SetProgram", SetProgramOperation("P60"), {kArmStep, WriteStep("=P60\r"), CollectStep(500)}},
        {"SetCountdownNumber", SetCountdownNumberOperation("CD4"), {kArmStep, WriteStep("=C4\r"), CollectStep(250)}},
        {"SetBrightness", SetBrightnessOperation("9"), {kArmStep, WriteStep("=B9\r"), CollectStep(250)}},
        {"SetClock", SetClockOperation(" 09:05:03 "), {kArmStep, ClockStep(" 09:05:03 "), CollectStep(250)}},
        {"SetClockOfTheComputer", SetClockOperation(), {kArmStep, ClockStep(""), CollectStep(250)}},
        {"Master", MasterOperation(), {kArmStep, WriteStep("=MASTER\r"), CollectStep(250), WriteStep("?D\r")}},
        {"Slave", SlaveOperation(), {kArmStep, WriteStep("=SLAVE\r"), CollectStep(250)}},
    };
    for (const auto& row : rows)
        EXPECT_EQ(row.operation.Steps(), row.steps) << row.pszName;
}

// ---- monitoring across a reconnection of the link

TEST(MonitorResume, SwitchesTheStreamOnOnlyWhenNoLineOfTheStreamFollowsTheReopening) {
    const std::string display = "D? 12345678 ABCD 1";
    const std::string start = "0013 ST 10:15:30.25";
    const std::string lead = "             0:01:30";
    const std::string current = "S? 12345678 ABCD 1 5 1:30 7";
    const std::string garbage = "xyz";
    struct STick {
        int nMs;                        // since the start
        unsigned nReopens;              // the link's count then
        std::vector<std::string> lines; // popped in this tick
        bool bToggle;                   // "?D" expected now
    };
    const struct {
        const char* pszName;
        unsigned nAtStart;
        std::vector<STick> ticks;
    } rows[] = {
        {"no reconnection, no toggle", 0, {{100, 0, {}, false}, {3000, 0, {}, false}}},
        {"a unit streaming ten lines a second is left alone",
         0,
         {{100, 1, {}, false}, {200, 1, {display}, false}, {3000, 1, {}, false}}},
        {"a still display refreshed once a second, its line just missed before the reopening",
         0,
         {{100, 1, {}, false},
          {1200, 1, {}, false},
          {1900, 1, {display}, false},
          {2900, 1, {display}, false},
          {4000, 1, {}, false}}},
        {"a start line alone shows the stream",
         0,
         {{100, 1, {}, false}, {1500, 1, {start}, false}, {4000, 1, {}, false}}},
        {"a lead/leg line alone shows the stream",
         0,
         {{100, 1, {}, false}, {1500, 1, {lead}, false}, {4000, 1, {}, false}}},
        {"current values and garbage are no sign of the stream",
         0,
         {{100, 1, {}, false}, {1500, 1, {current, garbage}, false}, {2500, 1, {}, false}, {2600, 1, {}, true}}},
        {"nothing for two and a half seconds: one toggle, not before",
         0,
         {{100, 1, {}, false}, {2599, 1, {}, false}, {2600, 1, {}, true}, {5000, 1, {}, false}}},
        {"the line of the reopening tick itself counts", 0, {{100, 1, {display}, false}, {3000, 1, {}, false}}},
        {"a line of a tick before the reopening does not count",
         0,
         {{100, 0, {display}, false}, {200, 1, {}, false}, {2699, 1, {}, false}, {2700, 1, {}, true}}},
        {"reopens counted before monitoring started do not count", 3, {{100, 3, {}, false}, {3000, 3, {}, false}}},
        {"a second reconnection waits again",
         0,
         {{100, 1, {}, false}, {2600, 1, {}, true}, {2700, 2, {}, false}, {5100, 2, {}, false}, {5200, 2, {}, true}}},
    };
    for (const auto& row : rows) {
        CMonitorResume resume;
        const auto started = CMonitorResume::Clock::now();
        resume.Start(row.nAtStart);
        for (const STick& tick : row.ticks) {
            for (const std::string& line : tick.lines)
                resume.Take(ParseMonitorLine(line));
            EXPECT_EQ(resume.Tick(tick.nReopens, started + std::chrono::milliseconds{tick.nMs}), tick.bToggle)
                << row.pszName << " at " << tick.nMs << " ms";
        }
    }
}
