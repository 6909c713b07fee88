#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The simulator's command line.
struct SSimOptions {
    int nPort = 7;                       // --com N: the link is ports/COM<N>
    std::string strDirectory;            // --dir D: where ports/ goes (default: FilesDirectory)
    int nBaud = 0;                       // --baud B: pace the output as on a line at B baud; 0 unpaced
    int nMemory = 0;                     // --memory N: start with N stored starts
    std::optional<std::int64_t> clockMs; // --clock HH:MM:SS: the time of day at start (default: local time)
    bool bFrozen = false;                // --frozen: device time stands still
    double dSpeed = 1.0;                 // --speed X: device time runs X times as fast
    // --clock-offset S: the unit's clock starts S seconds ahead of the computer's (behind when negative);
    // --clock-drift D: the unit's time runs fast by D seconds an hour (slow when negative), countdown and clock
    // alike, as a unit whose crystal is off.
    double dClockOffsetSeconds = 0.0;
    double dClockDriftSecondsPerHour = 0.0;
    int nProgram = 1;                        // --program N: the program that runs at start
    bool bGarbage = false;                   // --garbage: a line of garbage before every line
    std::chrono::milliseconds splitPause{0}; // --split-pause MS: pause in the middle of every line
    // --stream-period MS: while monitoring, the display's "D?" line every MS milliseconds (a unit that refreshes a
    // still display only now and then); start and lead/leg lines still come as the starts happen.
    std::chrono::milliseconds streamPeriod{100};
    bool bSilent = false;      // --silent: answer nothing
    std::string strRecordFile; // --record FILE: every received byte goes to FILE
    bool bVerbose = false;     // --verbose: commands, starts and the cable on standard error
    bool bHelp = false;        // --help

    // --unplug-after S: the cable is pulled S seconds after the start; --replug-after R: plugged in again R seconds
    // after that (only with --unplug-after). Rounded up to whole milliseconds.
    std::optional<std::chrono::milliseconds> unplugAfter;
    std::optional<std::chrono::milliseconds> replugAfter;
};

// Parses the arguments after the program name. On an error returns nothing and sets strError.
std::optional<SSimOptions> ParseSimOptions(const std::vector<std::string>& args, std::string& strError);

// The text of --help.
std::string SimUsage();
