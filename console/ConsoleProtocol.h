#pragma once

#include "link/DeviceOperation.h"

#include <array>
#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Commands of the main window and the reply lines its timers parse.

// The image of one lamp: the status lamp and the three start lights each show one.
enum class ELamp { Off, Red, Green, Yellow };
using CLightPattern = std::array<ELamp, 3>; // start lights 1 to 3, top to bottom
// The icon resource that shows a lamp (IDI_LAMP_*).
int LampIcon(ELamp lamp);

// The start lights for a light-state character: "0" all off, "1" red top, "2" yellow middle, "3" green bottom;
// nothing (lights unchanged) for any other text.
std::optional<CLightPattern> LightsForState(std::string_view state);

inline constexpr const char* kCmdMonitorToggle = "?D\r"; // starts and, sent again, stops the live stream
inline constexpr const char* kCmdGetCurrentValues = "?S\r";
inline constexpr const char* kCmdMaster = "=MASTER\r";
inline constexpr const char* kCmdSlave = "=SLAVE\r";

// "=P" + the program entry without its first character + "\r": "P60" gives "=P60\r".
std::string BuildSetProgram(std::string_view programEntry);
// "=C" + the last character of the countdown entry + "\r": "CD4" gives "=C4\r".
std::string BuildSetCountdownNumber(std::string_view countdownEntry);
// "=B" + the brightness exactly as typed + "\r".
std::string BuildSetBrightness(std::string_view brightness);
// "=T" + the clock text without surrounding blanks and without any ":" + "\r": "09:05:03" gives "=T090503\r".
std::string BuildSetClock(std::string_view clockText);

// The main window's device commands as operations: how long the link stays open for the reply (a Collect step, which
// the window, taking the reply with its timer, waits out whole), and when the timer that takes it is armed. The
// timer's first tick comes after the link has closed again.
inline constexpr auto kLongReplyWait = std::chrono::milliseconds{500};
inline constexpr auto kShortReplyWait = std::chrono::milliseconds{250};
// "?S", arm, 500 ms.
CDeviceOperation GetCurrentValuesOperation();
// Arm, the command, 500 ms for the program and 250 ms for the countdown number and the brightness.
CDeviceOperation SetProgramOperation(std::string_view programEntry);
CDeviceOperation SetCountdownNumberOperation(std::string_view countdownEntry);
CDeviceOperation SetBrightnessOperation(std::string_view brightness);
// Arm, "=T" + HHMMSS written so that its carriage return reaches the line at the start of the second it names, then
// 250 ms. Without a text the second is the next one of the computer's clock that the command can still reach, and
// the text is its time; with one ("10:15:00", blanks and ":" removed as BuildSetClock does), that text goes out on
// the start of the computer's next second. The wait for the second is at most one second.
CDeviceOperation SetClockOperation(std::string_view clockText = {});
// Arm, "=MASTER", 250 ms, then "?D": a master unit starts its stream.
CDeviceOperation MasterOperation();
// Arm, "=SLAVE", 250 ms.
CDeviceOperation SlaveOperation();

// One line of the live stream. The three tests are independent: a line may satisfy more than one.
struct CMonitorLine {
    bool m_bDisplay = false;               // "D?" at columns 0-1
    std::string m_strLarge;                // columns 3-10
    std::string m_strSmall;                // columns 12-15
    std::optional<CLightPattern> m_lights; // column 17
    bool m_bStart = false;                 // "ST" at columns 5-6
    std::string m_strStartNumber;          // columns 0-3 read as a number, minus one, in decimal
    std::string m_strStartTime;            // columns 8-19
    bool m_bLead = false;                  // two blanks at columns 0-1
    std::string m_strLeadTime;             // columns 13-19

    bool Recognised() const { return m_bDisplay || m_bStart || m_bLead; }
};
CMonitorLine ParseMonitorLine(std::string_view line);

// Monitoring across a reconnection. "?D" switches the unit's stream on and off, so after the link has opened the
// unit again by itself a "?D" must not simply be sent: a unit that kept streaming while the cable was out would be
// switched off. One "?D" goes out only when no line of the stream has come within kStreamWait of the reopening (the
// unit was switched off, or another unit is there now). A unit whose display stands still may refresh it, and send
// its "D?" line, only once a second: the wait leaves that line more than twice its time to come.
class CMonitorResume {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr auto kStreamWait = std::chrono::milliseconds{2500};

    // Monitoring starts on a link that has reopened nReopens times so far.
    void Start(unsigned nReopens);
    // A line popped while monitoring. Any line that only a streaming unit sends ("D?", a start line, a lead/leg
    // line) shows that the stream is on.
    void Take(const CMonitorLine& line);
    // One monitor tick, after its lines were taken: the link's reopen count now. True when "?D" is to be written
    // now.
    bool Tick(unsigned nReopens, Clock::time_point now);

private:
    unsigned m_nSeenReopens = 0;
    bool m_bStreamLine = false; // a line of the stream since the last tick
    std::optional<Clock::time_point> m_reopenedAt;
};

// An "S?" line: the device's current values. A short line gives shorter or empty fields; a program or countdown
// time that it does not carry is empty and selects nothing (FindProgramEntry, FindCountdownColumn).
struct CCurrentValues {
    std::string m_strLarge;                // columns 3-10
    std::string m_strSmall;                // columns 12-15
    std::optional<CLightPattern> m_lights; // column 17
    std::string m_strProgram;              // "P" + column 19 when column 18 is blank, else "P" + columns 18-19;
                                           // empty for a line that ends before column 19
    std::string m_strCountdownTime;        // columns 21-24
    std::string m_strBrightness;           // column 26
};
std::optional<CCurrentValues> ParseCurrentValues(std::string_view line);

// "P=", "C=", "B=" or "T=": any of them ends the wait of any set command.
bool IsSetAcknowledgement(std::string_view line);
// "S=" or "M=".
bool IsModeAcknowledgement(std::string_view line);

// The program list in its order; there is no "P6": "P60" to "P64" stand in its place.
inline const std::vector<std::string> kProgramEntries = {"P0",  "P1",  "P2",  "P3",  "P4", "P5", "P60",
                                                         "P61", "P62", "P63", "P64", "P7", "P8"};
inline constexpr int kCountdownNumbers = 10; // "CD0" to "CD9"
std::string CountdownEntry(int nColumn);     // "CD<n>"

// The first entry whose text begins with the program text, ignoring case, searching from the second entry to
// the last and then the first; -1 when none does, and for an empty text.
int FindProgramEntry(const std::vector<std::string>& entries, std::string_view programText);
// The numeric value of the last character of an entry ("P61" gives 1, "CD7" gives 7); -1 without a digit there.
int EntryNumber(std::string_view entry);

// The countdown-time table: [program row][countdown column], rows and columns 0 to 9 filled from P0.txt to P9.txt.
inline constexpr int kCountdownTableSize = 11;
using CCountdownRow = std::array<std::string, kCountdownTableSize>;

// The ten countdown times of one program file's text: for each of its first ten lines, the 5 characters after
// the third ";" with every ";" removed (a search that finds nothing restarts at position 0).
CCountdownRow ReadCountdownTimes(std::string_view fileText);
// The highest column 0 to 9 of row 0 whose text equals the reported time; -1 when none does, and for an empty time.
int FindCountdownColumn(const CCountdownRow& row0, std::string_view countdownTime);
