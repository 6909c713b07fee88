#include "cli/CliArguments.h"

#include "base/TextRules.h"
#include "console/ConsoleProtocol.h"
#include "programs/TransferCodec.h"
#include "settings/Settings.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace {

constexpr int kHighestPort = 255;
constexpr int kHighestTcpPort = 65535;
constexpr double kLongestMonitorSeconds = 7.0 * 24 * 3600; // a week
constexpr std::size_t kClockTextLength = 8;                // "HH:MM:SS"
constexpr int kHours = 24;
constexpr int kMinutesOrSeconds = 60;

// A whole decimal number and nothing else.
std::optional<int> WholeNumber(const std::string& strText) {
    int nValue = 0;
    const char* pEnd = strText.data() + strText.size();
    const auto [pStop, error] = std::from_chars(strText.data(), pEnd, nValue);
    if (strText.empty() || error != std::errc() || pStop != pEnd)
        return std::nullopt;
    return nValue;
}

bool IsBaudRate(int nBaudRate) {
    for (int nIndex = 0; const std::optional<int> rate = BaudRateFromIndex(nIndex); ++nIndex)
        if (*rate == nBaudRate)
            return true;
    return false;
}

// "HH:MM:SS" with hours 00 to 23 and minutes and seconds 00 to 59.
bool IsClockText(const std::string& strText) {
    if (strText.size() != kClockTextLength || strText[2] != ':' || strText[5] != ':')
        return false;
    const auto twoDigits = [&](std::size_t nAt, int nLimit) {
        return IsDigit(strText[nAt]) && IsDigit(strText[nAt + 1]) &&
               (strText[nAt] - '0') * 10 + (strText[nAt + 1] - '0') < nLimit;
    };
    return twoDigits(0, kHours) && twoDigits(3, kMinutesOrSeconds) && twoDigits(6, kMinutesOrSeconds);
}

std::optional<std::chrono::milliseconds> Seconds(const std::string& strText) {
    double dSeconds = 0;
    const char* pEnd = strText.data() + strText.size();
    const auto [pStop, error] = std::from_chars(strText.data(), pEnd, dSeconds, std::chars_format::fixed);
    if (strText.empty() || error != std::errc() || pStop != pEnd || !std::isfinite(dSeconds) || dSeconds <= 0 ||
        dSeconds > kLongestMonitorSeconds)
        return std::nullopt;
    return std::chrono::milliseconds{static_cast<long long>(std::ceil(dSeconds * 1000))};
}

// "unexpected argument", with a hint where it is one of the line options, which go before the command.
std::string Unexpected(const std::string& strArgument) {
    std::string strText = "unexpected argument \"" + strArgument + "\"";
    for (const char* pszOption : {"--port", "--device", "--baud", "--dir"})
        if (strArgument == pszOption)
            return strText + " (" + strArgument + " goes before the command: kalvora-cli " + strArgument +
                   " ... COMMAND)";
    return strText;
}

// Walks the arguments once; every Take* either gives what was asked for or records why not.
class CArgumentReader {
public:
    explicit CArgumentReader(const std::vector<std::string>& args) : m_args(args) {}

    bool AtEnd() const { return m_nNext >= m_args.size(); }
    const std::string& Peek() const { return m_args[m_nNext]; }
    bool Failed() const { return !m_strError.empty(); }
    const std::string& Error() const { return m_strError; }

    void Fail(std::string strError) {
        if (m_strError.empty())
            m_strError = std::move(strError);
    }
    std::optional<std::string> Take(const std::string& strWhat) {
        if (AtEnd()) {
            Fail(strWhat + " is missing");
            return std::nullopt;
        }
        return m_args[m_nNext++];
    }
    // The value after an option; an option given twice is refused.
    template <typename T>
    std::optional<std::string> TakeValue(const std::string& strOption, const std::optional<T>& already) {
        if (already) {
            Fail(strOption + " is given twice");
            return std::nullopt;
        }
        if (AtEnd()) {
            Fail(strOption + " needs a value");
            return std::nullopt;
        }
        return m_args[m_nNext++];
    }
    void ExpectEnd() {
        if (!AtEnd())
            Fail(Unexpected(m_args[m_nNext]));
    }

private:
    const std::vector<std::string>& m_args;
    std::size_t m_nNext = 0;
    std::string m_strError;
};

void ReadLineOptions(CArgumentReader& reader, CCliArguments& arguments) {
    while (!reader.Failed() && !reader.AtEnd() && reader.Peek().starts_with("-")) {
        const std::string strOption = *reader.Take("option");
        if (strOption == "--port") {
            if (const auto value = reader.TakeValue(strOption, arguments.m_nPort)) {
                const auto nPort = WholeNumber(*value);
                if (!nPort || *nPort < 1 || *nPort > kHighestPort)
                    reader.Fail("--port takes a COM port number from 1 to " + std::to_string(kHighestPort));
                arguments.m_nPort = nPort.value_or(0);
            }
        } else if (strOption == "--device") {
            if (const auto value = reader.TakeValue(strOption, arguments.m_strDevice)) {
                if (value->empty())
                    reader.Fail("--device takes the path of a device");
                arguments.m_strDevice = *value;
            }
        } else if (strOption == "--baud") {
            if (const auto value = reader.TakeValue(strOption, arguments.m_nBaudRate)) {
                const auto nBaud = WholeNumber(*value);
                if (!nBaud || !IsBaudRate(*nBaud))
                    reader.Fail("--baud takes 2400, 4800, 9600, 19200 or 38400");
                arguments.m_nBaudRate = nBaud.value_or(0);
            }
        } else if (strOption == "--dir") {
            if (const auto value = reader.TakeValue(strOption, arguments.m_strDirectory)) {
                if (value->empty())
                    reader.Fail("--dir takes a directory");
                arguments.m_strDirectory = *value;
            }
        } else {
            reader.Fail("unknown option " + strOption);
        }
    }
    if (!reader.Failed() && arguments.m_nPort && arguments.m_strDevice)
        reader.Fail("--port and --device exclude each other");
}

std::optional<ECliFormat> FormatNamed(const std::string& strName, std::initializer_list<ECliFormat> allowed) {
    static const std::pair<const char*, ECliFormat> kNames[] = {
        {"text", ECliFormat::Text},   {"json", ECliFormat::Json}, {"csv", ECliFormat::Csv},
        {"jsonl", ECliFormat::Jsonl}, {"txt", ECliFormat::Txt},   {"iof", ECliFormat::Iof}};
    for (const auto& [pszName, eFormat] : kNames)
        if (strName == pszName && std::find(allowed.begin(), allowed.end(), eFormat) != allowed.end())
            return eFormat;
    return std::nullopt;
}

// The value of --format, one of `allowed`; refused (strCommand + " --format is " + strNames) otherwise or when given
// twice.
void ReadFormat(CArgumentReader& reader, std::optional<std::string>& format, CCliArguments& arguments,
                std::initializer_list<ECliFormat> allowed, const std::string& strCommand, const std::string& strNames) {
    const auto value = reader.TakeValue("--format", format);
    if (!value)
        return;
    format = *value;
    if (const auto eFormat = FormatNamed(*value, allowed))
        arguments.m_eFormat = *eFormat;
    else
        reader.Fail(strCommand + " --format is " + strNames + ", not \"" + *value + "\"");
}

void ReadSet(CArgumentReader& reader, CCliArguments& arguments) {
    const auto what = reader.Take("what to set (program, countdown, brightness or clock)");
    if (!what)
        return;
    if (*what == "program") {
        arguments.m_eCommand = ECliCommand::SetProgram;
        if (const auto entry = reader.Take("the program")) {
            if (std::find(kProgramEntries.begin(), kProgramEntries.end(), *entry) == kProgramEntries.end())
                reader.Fail("no program \"" + *entry + "\": P0, P1, P2, P3, P4, P5, P60 to P64, P7 or P8");
            arguments.m_strValue = *entry;
        }
    } else if (*what == "countdown") {
        arguments.m_eCommand = ECliCommand::SetCountdown;
        if (const auto number = reader.Take("the countdown number")) {
            if (number->size() != 1 || !IsDigit((*number)[0]))
                reader.Fail("the countdown number is one digit from 0 to 9, not \"" + *number + "\"");
            else
                arguments.m_nNumber = (*number)[0] - '0';
        }
    } else if (*what == "brightness") {
        arguments.m_eCommand = ECliCommand::SetBrightness;
        if (const auto text = reader.Take("the brightness"))
            arguments.m_strValue = *text;
    } else if (*what == "clock") {
        arguments.m_eCommand = ECliCommand::SetClock;
        if (!reader.AtEnd()) {
            const std::string strTime = *reader.Take("the time");
            if (!IsClockText(strTime))
                reader.Fail("the time is HH:MM:SS (00:00:00 to 23:59:59), not \"" + strTime + "\"");
            arguments.m_strValue = strTime;
        }
    } else {
        reader.Fail("cannot set \"" + *what + "\": program, countdown, brightness or clock");
    }
    reader.ExpectEnd();
}

// --start-list FILE.
void ReadStartList(CArgumentReader& reader, CCliArguments& arguments) {
    if (const auto value = reader.TakeValue("--start-list", arguments.m_strStartList)) {
        if (value->empty())
            reader.Fail("--start-list takes a file (IOF XML 3.0 or CSV)");
        arguments.m_strStartList = *value;
    }
}

void ReadMonitor(CArgumentReader& reader, CCliArguments& arguments) {
    arguments.m_eCommand = ECliCommand::Monitor;
    std::optional<std::string> format;
    while (!reader.Failed() && !reader.AtEnd()) {
        const std::string strOption = *reader.Take("option");
        if (strOption == "--format") {
            ReadFormat(reader, format, arguments, {ECliFormat::Text, ECliFormat::Csv, ECliFormat::Jsonl}, "monitor",
                       "text, csv or jsonl");
        } else if (strOption == "--serve") {
            if (const auto value = reader.TakeValue(strOption, arguments.m_serve)) {
                arguments.m_serve = ParseServeAddress(*value);
                if (!arguments.m_serve)
                    reader.Fail("--serve takes [ADDRESS:]PORT with a port from 0 to 65535, not \"" + *value + "\"");
            }
        } else if (strOption == "--seconds") {
            if (const auto value = reader.TakeValue(strOption, arguments.m_duration)) {
                arguments.m_duration = Seconds(*value);
                if (!arguments.m_duration)
                    reader.Fail("--seconds takes a number of seconds above 0, not \"" + *value + "\"");
            }
        } else if (strOption == "--start-list") {
            ReadStartList(reader, arguments);
        } else {
            reader.Fail("monitor: " + Unexpected(strOption));
        }
    }
}

void ReadMemory(CArgumentReader& reader, CCliArguments& arguments) {
    const auto what = reader.Take("read or erase");
    if (!what)
        return;
    if (*what == "erase") {
        arguments.m_eCommand = ECliCommand::MemoryErase;
        reader.ExpectEnd();
        return;
    }
    if (*what != "read") {
        reader.Fail("memory \"" + *what + "\": read or erase");
        return;
    }
    arguments.m_eCommand = ECliCommand::MemoryRead;
    arguments.m_eFormat = ECliFormat::Txt;
    std::optional<std::string> format;
    while (!reader.Failed() && !reader.AtEnd()) {
        const std::string strOption = *reader.Take("option");
        if (strOption == "--format") {
            ReadFormat(reader, format, arguments, {ECliFormat::Txt, ECliFormat::Csv, ECliFormat::Json, ECliFormat::Iof},
                       "memory read", "txt, csv, json or iof");
        } else if (strOption == "--start-list") {
            ReadStartList(reader, arguments);
        } else if (strOption == "-o") {
            if (const auto value = reader.TakeValue(strOption, arguments.m_strOutputFile)) {
                if (value->empty())
                    reader.Fail("-o takes a file name");
                arguments.m_strOutputFile = *value;
            }
        } else {
            reader.Fail("memory read: " + Unexpected(strOption));
        }
    }
    // The txt form is the dialog's export, which has no names.
    if (!reader.Failed() && arguments.m_strStartList && arguments.m_eFormat == ECliFormat::Txt)
        reader.Fail("memory read --start-list goes with --format csv, json or iof");
}

void ReadPrograms(CArgumentReader& reader, CCliArguments& arguments) {
    const auto what = reader.Take("download or upload");
    if (!what)
        return;
    const bool bUpload = *what == "upload";
    if (!bUpload && *what != "download") {
        reader.Fail("programs \"" + *what + "\": download or upload");
        return;
    }
    const std::string strFolderOption = bUpload ? "--from" : "--to";
    if (bUpload) {
        arguments.m_eCommand = ECliCommand::ProgramsUpload;
        if (const auto number = reader.Take("the program number")) {
            const auto nProgram = WholeNumber(*number);
            if (number->size() != 1 || !nProgram || *nProgram >= kProgramFileCount)
                reader.Fail("the program number is 0 to " + std::to_string(kProgramFileCount - 1) + ", not \"" +
                            *number + "\"");
            arguments.m_nNumber = nProgram.value_or(0);
        }
    } else {
        arguments.m_eCommand = ECliCommand::ProgramsDownload;
    }
    bool bDetails = false;
    bool bIntervals = false;
    while (!reader.Failed() && !reader.AtEnd()) {
        const std::string strOption = *reader.Take("option");
        if (strOption == strFolderOption) {
            if (const auto value = reader.TakeValue(strOption, arguments.m_strProgramDirectory)) {
                if (value->empty())
                    reader.Fail(strOption + " takes a directory");
                arguments.m_strProgramDirectory = *value;
            }
        } else if (bUpload && strOption == "--details") {
            bDetails = true;
        } else if (bUpload && strOption == "--intervals") {
            bIntervals = true;
        } else {
            reader.Fail("programs " + *what + ": " + Unexpected(strOption));
        }
    }
    // Both parts when neither is named.
    if (bDetails || bIntervals) {
        arguments.m_bDetails = bDetails;
        arguments.m_bIntervals = bIntervals;
    }
}

void ReadCommand(CArgumentReader& reader, CCliArguments& arguments) {
    const auto command = reader.Take("the command");
    if (!command)
        return;
    if (*command == "ports") {
        arguments.m_eCommand = ECliCommand::Ports;
        reader.ExpectEnd();
    } else if (*command == "get") {
        arguments.m_eCommand = ECliCommand::Get;
        if (!reader.AtEnd() && reader.Peek() == "--json") {
            reader.Take("--json");
            arguments.m_eFormat = ECliFormat::Json;
        }
        reader.ExpectEnd();
    } else if (*command == "set") {
        ReadSet(reader, arguments);
    } else if (*command == "master" || *command == "slave") {
        arguments.m_eCommand = *command == "master" ? ECliCommand::Master : ECliCommand::Slave;
        reader.ExpectEnd();
    } else if (*command == "monitor") {
        ReadMonitor(reader, arguments);
    } else if (*command == "memory") {
        ReadMemory(reader, arguments);
    } else if (*command == "programs") {
        ReadPrograms(reader, arguments);
    } else {
        reader.Fail("unknown command \"" + *command + "\"");
    }
}

} // namespace

std::optional<CServeAddress> ParseServeAddress(const std::string& strText) {
    CServeAddress serve;
    std::string strPort = strText;
    if (strText.starts_with('[')) { // an IPv6 address in brackets
        const std::size_t nClose = strText.find("]:");
        if (nClose == std::string::npos || nClose == 1)
            return std::nullopt;
        serve.m_strAddress = strText.substr(1, nClose - 1);
        strPort = strText.substr(nClose + 2);
    } else if (const std::size_t nColon = strText.rfind(':'); nColon != std::string::npos) {
        serve.m_strAddress = strText.substr(0, nColon);
        strPort = strText.substr(nColon + 1);
        if (serve.m_strAddress.find(':') != std::string::npos)
            return std::nullopt; // an IPv6 address goes in brackets
    }
    const auto nPort = WholeNumber(strPort);
    if (!nPort || *nPort < 0 || *nPort > kHighestTcpPort || strPort.size() > 5)
        return std::nullopt;
    serve.m_nPort = *nPort;
    return serve;
}

CCliParse ParseCliArguments(const std::vector<std::string>& args) {
    // --help wherever it stands, even after a command or beside a mistake: the usage is what was asked for.
    if (std::find_if(args.begin(), args.end(),
                     [](const std::string& strArg) { return strArg == "--help" || strArg == "-h"; }) != args.end())
        return {CCliArguments{}, {}};
    CArgumentReader reader(args);
    CCliArguments arguments;
    ReadLineOptions(reader, arguments);
    if (!reader.Failed())
        ReadCommand(reader, arguments);
    if (reader.Failed())
        return {std::nullopt, reader.Error()};
    return {arguments, {}};
}

std::string CliUsage() {
    return "Usage: kalvora-cli [--port N | --device PATH] [--baud B] [--dir D] COMMAND [ARGS]\n"
           "\n"
           "Talks to a Kalvora display unit over its serial line, as the program's windows do.\n"
           "\n"
           "Commands:\n"
           "  ports                         COM 1..20: the device each opens, and why it cannot be opened\n"
           "  get [--json]                  current values: display, small, light, program, time, brightness\n"
           "  set program P0|P1|...|P64|P7|P8\n"
           "                                select a program (P0 to P5, P60 to P64, P7, P8)\n"
           "  set countdown 0..9            select a countdown number\n"
           "  set brightness TEXT           send the brightness as given\n"
           "  set clock [HH:MM:SS]          set the unit's clock on the start of a second (default: this computer's)\n"
           "  master | slave                switch the unit to master or slave mode\n"
           "  monitor [--format text|csv|jsonl] [--seconds S] [--start-list FILE] [--serve [ADDRESS:]PORT]\n"
           "                                live lines until S seconds have passed or Ctrl+C; each start with\n"
           "                                the unit's clock against this computer's (clock_offset, seconds) and,\n"
           "                                from the start list, name, club, class, planned time and difference;\n"
           "                                with --serve also the live page at http://ADDRESS:PORT/ (default:\n"
           "                                every interface; port 0: any free one), the overlay at /overlay and\n"
           "                                the state as JSON at /state.json\n"
           "  memory read [--format txt|csv|json|iof] [--start-list FILE] [-o FILE]\n"
           "                                the memory of start times (txt: the Read Memory dialog's export;\n"
           "                                iof: an IOF XML 3.0 start list of the actual start times; csv and\n"
           "                                json with a start list: names, clubs, classes, planned times)\n"
           "  memory erase                  erase the memory of start times\n"
           "  programs download [--to D]    programs 1 to 8 into P1.txt .. P8.txt in D (about 20 s)\n"
           "  programs upload N [--details] [--intervals] [--from D]\n"
           "                                program N (0 to 8) from PN.txt; both parts unless one is named\n"
           "\n"
           "Options:\n"
           "  --port N      COM port N (default: config.ini, else COM 7)\n"
           "  --device PATH open this device instead of a COM port\n"
           "  --baud B      2400, 4800, 9600, 19200 or 38400 (default: config.ini, else 2400)\n"
           "  --dir D       the directory of config.ini, ports/ and the program files\n"
           "                (default: the program's, beside kalvora-cli or, installed, the user's:\n"
           "                ~/.local/share/kalvora on Linux, %APPDATA%\\Kalvora on Windows)\n"
           "  --help        this text\n"
           "\n"
           "A start list (--start-list) is an IOF XML 3.0 StartList or a CSV file whose first line names the\n"
           "columns (start number, name or first and last name, club, start time, class; in English or German).\n"
           "\n"
           "Exit status: 0 done, 1 no complete reply in time, 2 bad usage, 3 the port cannot be opened,\n"
           "4 a file cannot be read or written, 5 the live page cannot be served (its port is in use or not\n"
           "allowed). Errors go to standard error.\n";
}
