#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

// The command line of kalvora-cli, as data:
//   kalvora-cli [--port N | --device PATH] [--baud B] [--dir D] COMMAND [ARGS]
// The options before the command choose the line and the directory; each command takes its own after it.

enum class ECliCommand {
    Help,
    Ports,
    Get,
    SetProgram,
    SetCountdown,
    SetBrightness,
    SetClock,
    Master,
    Slave,
    Monitor,
    MemoryRead,
    MemoryErase,
    ProgramsDownload,
    ProgramsUpload,
};

enum class ECliFormat { Text, Json, Csv, Jsonl, Txt, Iof };

// monitor --serve [ADDRESS:]PORT: where the live page is served.
struct CServeAddress {
    std::string m_strAddress; // empty: every interface
    int m_nPort = 0;          // 0: any free port
    bool operator==(const CServeAddress&) const = default;
};

struct CCliArguments {
    std::optional<int> m_nPort;                // --port N
    std::optional<std::string> m_strDevice;    // --device PATH
    std::optional<int> m_nBaudRate;            // --baud B
    std::optional<std::string> m_strDirectory; // --dir D
    ECliCommand m_eCommand = ECliCommand::Help;
    // set program: the program entry ("P60"); set brightness: the text as given; set clock: "HH:MM:SS", or empty
    // for the computer's clock.
    std::string m_strValue;
    int m_nNumber = 0; // set countdown: 0 to 9; programs upload: the program 0 to 8
    ECliFormat m_eFormat = ECliFormat::Text;
    std::optional<std::chrono::milliseconds> m_duration; // monitor --seconds; nothing: until Ctrl+C
    std::optional<CServeAddress> m_serve;                // monitor --serve
    std::optional<std::string> m_strOutputFile;          // memory read -o FILE
    std::optional<std::string> m_strStartList;           // monitor, memory read: --start-list FILE
    std::optional<std::string> m_strProgramDirectory;    // programs download --to D, upload --from D
    bool m_bDetails = true;                              // programs upload: the detail rows
    bool m_bIntervals = true;                            // programs upload: the countdown intervals

    bool operator==(const CCliArguments&) const = default;
};

// The arguments after the program's name, or the reason they are no command line of the tool.
struct CCliParse {
    std::optional<CCliArguments> m_arguments;
    std::string m_strError;
};
CCliParse ParseCliArguments(const std::vector<std::string>& args);

// The value of --serve: "8080", "127.0.0.1:8080", "[::1]:8080", ":8080"; nothing when it is none.
std::optional<CServeAddress> ParseServeAddress(const std::string& strText);

// The usage text (--help, and after a usage error).
std::string CliUsage();
