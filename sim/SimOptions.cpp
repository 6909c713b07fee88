#include "sim/SimOptions.h"

#include "sim/DeviceFormat.h"

#include <cerrno>
#include <cstdlib>

namespace {

constexpr int kMaxPort = 255;
constexpr int kMinBaud = 50;
constexpr int kMaxBaud = 4'000'000;
constexpr double kMaxSpeed = 100'000.0;
constexpr double kMaxClockOffsetSeconds = 43'200.0; // half a day either way
constexpr double kMaxClockDriftSecondsPerHour = 600.0;
constexpr auto kMaxCableDelay = std::chrono::seconds{86'400};
constexpr auto kMaxSplitPause = std::chrono::milliseconds{60'000};
constexpr auto kMinStreamPeriod = std::chrono::milliseconds{10};
constexpr auto kMaxStreamPeriod = std::chrono::milliseconds{60'000};

std::optional<long> ParseLong(const std::string& strText, long nMin, long nMax) {
    if (strText.empty())
        return std::nullopt;
    errno = 0;
    char* pEnd = nullptr;
    const long nValue = std::strtol(strText.c_str(), &pEnd, 10);
    if (errno != 0 || *pEnd != '\0' || nValue < nMin || nValue > nMax)
        return std::nullopt;
    return nValue;
}

// A decimal number from dLeast to dMost.
std::optional<double> ParseDecimal(const std::string& strText, double dLeast, double dMost) {
    if (strText.empty())
        return std::nullopt;
    errno = 0;
    char* pEnd = nullptr;
    const double dValue = std::strtod(strText.c_str(), &pEnd);
    if (errno != 0 || *pEnd != '\0' || !(dValue >= dLeast && dValue <= dMost))
        return std::nullopt;
    return dValue;
}

// A decimal number above 0 and at most dMax.
std::optional<double> ParsePositive(const std::string& strText, double dMax) {
    const std::optional<double> value = ParseDecimal(strText, 0.0, dMax);
    return value && *value > 0.0 ? value : std::nullopt;
}

// A decimal number from -dLimit to dLimit.
std::optional<double> ParseSigned(const std::string& strText, double dLimit) {
    return ParseDecimal(strText, -dLimit, dLimit);
}

// Seconds, decimals allowed, as whole milliseconds rounded up: a delay above 0 never becomes 0.
std::optional<std::chrono::milliseconds> ParseCableDelay(const std::string& strText) {
    const auto seconds = ParsePositive(strText, static_cast<double>(kMaxCableDelay.count()));
    if (!seconds)
        return std::nullopt;
    return std::chrono::ceil<std::chrono::milliseconds>(std::chrono::duration<double>{*seconds});
}

std::optional<std::int64_t> ParseClockOption(const std::string& strText) {
    if (strText.size() != 8 || strText[2] != ':' || strText[5] != ':')
        return std::nullopt;
    return DeviceFormat::ParseClock(strText.substr(0, 2) + strText.substr(3, 2) + strText.substr(6, 2));
}

bool IsProgram(long nProgram) {
    return (nProgram >= 0 && nProgram <= 8) || (nProgram >= 60 && nProgram <= 64);
}

} // namespace

std::string SimUsage() {
    return "Usage: kalvora-sim [options]\n"
           "Simulates the Kalvora timing display on a pseudo-terminal. Prints the terminal's path as the first\n"
           "line of its output and links it as <dir>/ports/COM<n>, where the program finds COM port n. Each time\n"
           "the cable is plugged in again the new terminal's path follows as a line of its own.\n"
           "\n"
           "  --com N           port number of the link (default 7)\n"
           "  --dir D           directory that holds ports/ (default: where the program looks, the directory of\n"
           "                    this executable, or ~/.local/share/kalvora when installed)\n"
           "  --baud B          send no faster than a line at B baud would (10 bits a byte); default unpaced\n"
           "  --memory N        start with N stored starts (0 to 999)\n"
           "  --clock HH:MM:SS  time of day at start (default: the local time)\n"
           "  --frozen          device time stands still: no countdown, a fixed clock\n"
           "  --speed X         device time runs X times as fast (default 1)\n"
           "  --clock-offset S  the unit's clock starts S seconds ahead of the computer's (decimals allowed;\n"
           "                    negative: behind; at most 43200 either way)\n"
           "  --clock-drift D   the unit's time runs fast by D seconds an hour (slow when negative; at most 600\n"
           "                    either way), its countdown and its clock alike\n"
           "  --program N       program running at start: 0 to 8 or 60 to 64 (default 1)\n"
           "  --garbage         send a line of garbage before every line\n"
           "  --split-pause MS  split every line in two with a pause of MS milliseconds\n"
           "  --stream-period MS\n"
           "                    while monitoring, send the display's \"D?\" line every MS milliseconds (10 to\n"
           "                    60000; default 100, about ten a second); starts are sent as they happen\n"
           "  --silent          receive, but send nothing\n"
           "  --record FILE     write every received byte to FILE\n"
           "  --unplug-after S  pull the cable S seconds after the start (decimals allowed): the terminal goes\n"
           "                    away and the link leads nowhere, while the device runs on\n"
           "  --replug-after S  plug the cable in again S seconds after that: a new terminal, whose path is\n"
           "                    printed as a new output line and linked in place of the old one\n"
           "  --verbose         report commands, starts and the cable on standard error\n"
           "  --help            show this text\n"
           "\n"
           "SIGUSR1 pulls the cable at once, SIGUSR2 plugs it in at once. SIGINT, SIGTERM and SIGHUP end the\n"
           "simulator and remove the link.\n";
}

std::optional<SSimOptions> ParseSimOptions(const std::vector<std::string>& args, std::string& strError) {
    SSimOptions options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& strName = args[i];
        const auto value = [&]() -> const std::string* {
            return i + 1 < args.size() ? &args[++i] : nullptr;
        };
        const auto fail = [&](const std::string& strWhy) {
            strError = strName + ": " + strWhy;
            return std::nullopt;
        };
        if (strName == "--help") {
            options.bHelp = true;
        } else if (strName == "--frozen") {
            options.bFrozen = true;
        } else if (strName == "--garbage") {
            options.bGarbage = true;
        } else if (strName == "--silent") {
            options.bSilent = true;
        } else if (strName == "--verbose") {
            options.bVerbose = true;
        } else if (strName == "--com" || strName == "--baud" || strName == "--memory" || strName == "--program" ||
                   strName == "--split-pause" || strName == "--dir" || strName == "--record" || strName == "--clock" ||
                   strName == "--speed" || strName == "--unplug-after" || strName == "--replug-after" ||
                   strName == "--stream-period" || strName == "--clock-offset" || strName == "--clock-drift") {
            const std::string* pValue = value();
            if (!pValue)
                return fail("needs a value");
            const std::string& strValue = *pValue;
            if (strName == "--dir") {
                if (strValue.empty())
                    return fail("needs a directory");
                options.strDirectory = strValue;
            } else if (strName == "--record") {
                if (strValue.empty())
                    return fail("needs a file name");
                options.strRecordFile = strValue;
            } else if (strName == "--clock") {
                const auto clock = ParseClockOption(strValue);
                if (!clock)
                    return fail("expects a time HH:MM:SS");
                options.clockMs = clock;
            } else if (strName == "--unplug-after" || strName == "--replug-after") {
                const auto delay = ParseCableDelay(strValue);
                if (!delay)
                    return fail("expects seconds above 0 and at most 86400");
                (strName == "--unplug-after" ? options.unplugAfter : options.replugAfter) = delay;
            } else if (strName == "--clock-offset" || strName == "--clock-drift") {
                const bool bOffset = strName == "--clock-offset";
                const auto seconds =
                    ParseSigned(strValue, bOffset ? kMaxClockOffsetSeconds : kMaxClockDriftSecondsPerHour);
                if (!seconds)
                    return fail(bOffset ? "expects seconds from -43200 to 43200"
                                        : "expects seconds an hour from -600 to 600");
                (bOffset ? options.dClockOffsetSeconds : options.dClockDriftSecondsPerHour) = *seconds;
            } else if (strName == "--speed") {
                const auto speed = ParsePositive(strValue, kMaxSpeed);
                if (!speed)
                    return fail("expects a number above 0 and at most 100000");
                options.dSpeed = *speed;
            } else if (strName == "--com") {
                const auto port = ParseLong(strValue, 1, kMaxPort);
                if (!port)
                    return fail("expects a port number from 1 to 255");
                options.nPort = static_cast<int>(*port);
            } else if (strName == "--baud") {
                const auto baud = ParseLong(strValue, kMinBaud, kMaxBaud);
                if (!baud)
                    return fail("expects a baud rate from 50 to 4000000");
                options.nBaud = static_cast<int>(*baud);
            } else if (strName == "--memory") {
                const auto memory = ParseLong(strValue, 0, 999);
                if (!memory)
                    return fail("expects a count from 0 to 999");
                options.nMemory = static_cast<int>(*memory);
            } else if (strName == "--program") {
                const auto program = ParseLong(strValue, 0, 64);
                if (!program || !IsProgram(*program))
                    return fail("expects a program 0 to 8 or 60 to 64");
                options.nProgram = static_cast<int>(*program);
            } else if (strName == "--stream-period") {
                const auto period = ParseLong(strValue, kMinStreamPeriod.count(), kMaxStreamPeriod.count());
                if (!period)
                    return fail("expects milliseconds from 10 to 60000");
                options.streamPeriod = std::chrono::milliseconds{*period};
            } else {
                const auto pause = ParseLong(strValue, 0, kMaxSplitPause.count());
                if (!pause)
                    return fail("expects milliseconds from 0 to 60000");
                options.splitPause = std::chrono::milliseconds{*pause};
            }
        } else {
            return fail("unknown option (see --help)");
        }
    }
    if (options.replugAfter && !options.unplugAfter) {
        strError = "--replug-after: needs --unplug-after";
        return std::nullopt;
    }
    return options;
}
