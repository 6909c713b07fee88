// The tool's command line: every form it takes, and every one it refuses with a reason.

#include "cli/CliArguments.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>
#include <vector>

using namespace std::chrono_literals;

namespace {

CCliArguments Command(ECliCommand eCommand) {
    CCliArguments arguments;
    arguments.m_eCommand = eCommand;
    return arguments;
}

template <typename Change>
CCliArguments With(ECliCommand eCommand, Change change) {
    CCliArguments arguments = Command(eCommand);
    change(arguments);
    return arguments;
}

struct SParseRow {
    const char* pszName;
    std::vector<std::string> args;
    CCliArguments expected;
};

std::ostream& operator<<(std::ostream& stream, const SParseRow& row) {
    return stream << row.pszName;
}

class CliArgumentsTest : public ::testing::TestWithParam<SParseRow> {};

TEST_P(CliArgumentsTest, ParsesInto) {
    const CCliParse parse = ParseCliArguments(GetParam().args);
    ASSERT_TRUE(parse.m_arguments) << parse.m_strError;
    EXPECT_TRUE(parse.m_strError.empty());
    EXPECT_EQ(*parse.m_arguments, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, CliArgumentsTest,
    ::testing::Values(
        SParseRow{"Help", {"--help"}, Command(ECliCommand::Help)},
        SParseRow{"ShortHelp", {"-h"}, Command(ECliCommand::Help)},
        SParseRow{"HelpAfterACommand", {"set", "program", "--help"}, Command(ECliCommand::Help)},
        SParseRow{"HelpBesideAMistake", {"bogus", "--help"}, Command(ECliCommand::Help)},
        SParseRow{"Ports", {"ports"}, Command(ECliCommand::Ports)},
        SParseRow{"Get", {"get"}, Command(ECliCommand::Get)},
        SParseRow{
            "GetJson", {"get", "--json"}, With(ECliCommand::Get, [](auto& a) { a.m_eFormat = ECliFormat::Json; })},
        SParseRow{"LineOptions",
                  {"--port", "3", "--baud", "9600", "--dir", "/opt/k", "get"},
                  With(ECliCommand::Get,
                       [](auto& a) {
                           a.m_nPort = 3;
                           a.m_nBaudRate = 9600;
                           a.m_strDirectory = "/opt/k";
                       })},
        SParseRow{"Device",
                  {"--device", "/dev/ttyUSB0", "master"},
                  With(ECliCommand::Master, [](auto& a) { a.m_strDevice = "/dev/ttyUSB0"; })},
        SParseRow{
            "HighestPort", {"--port", "255", "slave"}, With(ECliCommand::Slave, [](auto& a) { a.m_nPort = 255; })},
        SParseRow{"EveryBaudRate",
                  {"--baud", "38400", "slave"},
                  With(ECliCommand::Slave, [](auto& a) { a.m_nBaudRate = 38400; })},
        SParseRow{"SetProgram",
                  {"set", "program", "P60"},
                  With(ECliCommand::SetProgram, [](auto& a) { a.m_strValue = "P60"; })},
        SParseRow{"SetProgramFirst",
                  {"set", "program", "P0"},
                  With(ECliCommand::SetProgram, [](auto& a) { a.m_strValue = "P0"; })},
        SParseRow{"SetProgramLast",
                  {"set", "program", "P8"},
                  With(ECliCommand::SetProgram, [](auto& a) { a.m_strValue = "P8"; })},
        SParseRow{"SetCountdown",
                  {"set", "countdown", "4"},
                  With(ECliCommand::SetCountdown, [](auto& a) { a.m_nNumber = 4; })},
        SParseRow{"SetCountdownZero", {"set", "countdown", "0"}, Command(ECliCommand::SetCountdown)},
        SParseRow{"SetCountdownNine",
                  {"set", "countdown", "9"},
                  With(ECliCommand::SetCountdown, [](auto& a) { a.m_nNumber = 9; })},
        SParseRow{"SetBrightnessAsGiven",
                  {"set", "brightness", " 12"},
                  With(ECliCommand::SetBrightness, [](auto& a) { a.m_strValue = " 12"; })},
        SParseRow{"SetBrightnessEmpty", {"set", "brightness", ""}, Command(ECliCommand::SetBrightness)},
        SParseRow{"SetBrightnessThatLooksLikeAnOption",
                  {"set", "brightness", "-1"},
                  With(ECliCommand::SetBrightness, [](auto& a) { a.m_strValue = "-1"; })},
        SParseRow{"SetClockOfTheComputer", {"set", "clock"}, Command(ECliCommand::SetClock)},
        SParseRow{"SetClockGiven",
                  {"set", "clock", "08:30:00"},
                  With(ECliCommand::SetClock, [](auto& a) { a.m_strValue = "08:30:00"; })},
        SParseRow{"SetClockLastSecondOfTheDay",
                  {"set", "clock", "23:59:59"},
                  With(ECliCommand::SetClock, [](auto& a) { a.m_strValue = "23:59:59"; })},
        SParseRow{"Monitor", {"monitor"}, Command(ECliCommand::Monitor)},
        SParseRow{"MonitorJsonlForSeconds",
                  {"monitor", "--format", "jsonl", "--seconds", "2.5"},
                  With(ECliCommand::Monitor,
                       [](auto& a) {
                           a.m_eFormat = ECliFormat::Jsonl;
                           a.m_duration = 2500ms;
                       })},
        SParseRow{"MonitorSecondsRoundUp",
                  {"monitor", "--seconds", "0.0001", "--format", "csv"},
                  With(ECliCommand::Monitor,
                       [](auto& a) {
                           a.m_eFormat = ECliFormat::Csv;
                           a.m_duration = 1ms;
                       })},
        SParseRow{"MonitorServingThePage",
                  {"monitor", "--serve", "8080"},
                  With(ECliCommand::Monitor,
                       [](auto& a) {
                           a.m_serve = CServeAddress{"", 8080};
                       })},
        SParseRow{"MonitorServingOnOneAddressForSeconds",
                  {"monitor", "--serve", "192.168.1.20:80", "--seconds", "1"},
                  With(ECliCommand::Monitor,
                       [](auto& a) {
                           a.m_serve = CServeAddress{"192.168.1.20", 80};
                           a.m_duration = 1000ms;
                       })},
        SParseRow{"MemoryReadIsTxt",
                  {"memory", "read"},
                  With(ECliCommand::MemoryRead, [](auto& a) { a.m_eFormat = ECliFormat::Txt; })},
        SParseRow{"MonitorWithAStartList",
                  {"monitor", "--start-list", "heat3.xml", "--format", "csv"},
                  With(ECliCommand::Monitor,
                       [](auto& a) {
                           a.m_strStartList = "heat3.xml";
                           a.m_eFormat = ECliFormat::Csv;
                       })},
        SParseRow{"MemoryReadIofWithAStartList",
                  {"memory", "read", "--format", "iof", "--start-list", "list.csv", "-o", "heat3.xml"},
                  With(ECliCommand::MemoryRead,
                       [](auto& a) {
                           a.m_eFormat = ECliFormat::Iof;
                           a.m_strStartList = "list.csv";
                           a.m_strOutputFile = "heat3.xml";
                       })},
        SParseRow{"MemoryReadIof",
                  {"memory", "read", "--format", "iof"},
                  With(ECliCommand::MemoryRead, [](auto& a) { a.m_eFormat = ECliFormat::Iof; })},
        SParseRow{"MemoryReadCsvToFile",
                  {"memory", "read", "-o", "heat1.csv", "--format", "csv"},
                  With(ECliCommand::MemoryRead,
                       [](auto& a) {
                           a.m_eFormat = ECliFormat::Csv;
                           a.m_strOutputFile = "heat1.csv";
                       })},
        SParseRow{"MemoryReadJson",
                  {"memory", "read", "--format", "json"},
                  With(ECliCommand::MemoryRead, [](auto& a) { a.m_eFormat = ECliFormat::Json; })},
        SParseRow{"MemoryErase", {"memory", "erase"}, Command(ECliCommand::MemoryErase)},
        SParseRow{"Download", {"programs", "download"}, Command(ECliCommand::ProgramsDownload)},
        SParseRow{"DownloadTo",
                  {"programs", "download", "--to", "backup"},
                  With(ECliCommand::ProgramsDownload, [](auto& a) { a.m_strProgramDirectory = "backup"; })},
        SParseRow{"UploadBothParts",
                  {"programs", "upload", "3"},
                  With(ECliCommand::ProgramsUpload, [](auto& a) { a.m_nNumber = 3; })},
        SParseRow{"UploadProgramZero",
                  {"programs", "upload", "0", "--from", "backup"},
                  With(ECliCommand::ProgramsUpload, [](auto& a) { a.m_strProgramDirectory = "backup"; })},
        SParseRow{"UploadDetailsOnly",
                  {"programs", "upload", "8", "--details"},
                  With(ECliCommand::ProgramsUpload,
                       [](auto& a) {
                           a.m_nNumber = 8;
                           a.m_bIntervals = false;
                       })},
        SParseRow{"UploadIntervalsOnly",
                  {"programs", "upload", "2", "--intervals"},
                  With(ECliCommand::ProgramsUpload,
                       [](auto& a) {
                           a.m_nNumber = 2;
                           a.m_bDetails = false;
                       })},
        SParseRow{"UploadBothNamed",
                  {"programs", "upload", "2", "--intervals", "--details"},
                  With(ECliCommand::ProgramsUpload, [](auto& a) { a.m_nNumber = 2; })}),
    [](const auto& info) { return std::string(info.param.pszName); });

struct SRefusalRow {
    const char* pszName;
    std::vector<std::string> args;
    const char* pszReason; // a part of the error text
};

std::ostream& operator<<(std::ostream& stream, const SRefusalRow& row) {
    return stream << row.pszName;
}

class CliRefusalTest : public ::testing::TestWithParam<SRefusalRow> {};

TEST_P(CliRefusalTest, IsAUsageError) {
    const CCliParse parse = ParseCliArguments(GetParam().args);
    EXPECT_FALSE(parse.m_arguments);
    EXPECT_NE(parse.m_strError.find(GetParam().pszReason), std::string::npos) << parse.m_strError;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, CliRefusalTest,
    ::testing::Values(
        SRefusalRow{"Nothing", {}, "the command is missing"},
        SRefusalRow{"UnknownCommand", {"reboot"}, "unknown command \"reboot\""},
        SRefusalRow{"UnknownOption", {"--speed", "2", "get"}, "unknown option --speed"},
        SRefusalRow{"OptionWithoutValue", {"--port"}, "--port needs a value"},
        SRefusalRow{"PortZero", {"--port", "0", "get"}, "--port takes"},
        SRefusalRow{"PortNotANumber", {"--port", "COM7", "get"}, "--port takes"},
        SRefusalRow{"PortTwice", {"--port", "1", "--port", "2", "get"}, "--port is given twice"},
        SRefusalRow{"PortAndDevice", {"--port", "1", "--device", "/dev/ttyS0", "get"}, "exclude each other"},
        SRefusalRow{"BaudNotOffered", {"--baud", "115200", "get"}, "--baud takes"},
        SRefusalRow{"LineOptionAfterTheCommand", {"get", "--port", "3"}, "unexpected argument \"--port\""},
        SRefusalRow{"LineOptionAfterTheCommandIsShownItsPlace",
                    {"memory", "read", "--port", "3"},
                    "\"--port\" (--port goes before the command"},
        SRefusalRow{"GetWithArguments", {"get", "--csv"}, "unexpected argument"},
        SRefusalRow{"SetNothing", {"set"}, "what to set"},
        SRefusalRow{"SetUnknown", {"set", "volume", "3"}, "cannot set \"volume\""},
        SRefusalRow{"ProgramNotInTheList", {"set", "program", "P6"}, "no program \"P6\""},
        SRefusalRow{"ProgramNine", {"set", "program", "P9"}, "no program \"P9\""},
        SRefusalRow{"ProgramInLowerCase", {"set", "program", "p1"}, "no program \"p1\""},
        SRefusalRow{"ProgramMissing", {"set", "program"}, "the program is missing"},
        SRefusalRow{"CountdownTen", {"set", "countdown", "10"}, "one digit from 0 to 9"},
        SRefusalRow{"CountdownNegative", {"set", "countdown", "-1"}, "one digit from 0 to 9"},
        SRefusalRow{"CountdownAsEntry", {"set", "countdown", "CD4"}, "one digit from 0 to 9"},
        SRefusalRow{"BrightnessMissing", {"set", "brightness"}, "the brightness is missing"},
        SRefusalRow{"ClockWithoutSeconds", {"set", "clock", "08:30"}, "HH:MM:SS"},
        SRefusalRow{"ClockHour24", {"set", "clock", "24:00:00"}, "HH:MM:SS"},
        SRefusalRow{"ClockMinute60", {"set", "clock", "12:60:00"}, "HH:MM:SS"},
        SRefusalRow{"ClockSecond60", {"set", "clock", "12:00:60"}, "HH:MM:SS"},
        SRefusalRow{"ClockOneDigitHour", {"set", "clock", "8:30:00"}, "HH:MM:SS"},
        SRefusalRow{"ClockDigitsOnly", {"set", "clock", "083000"}, "HH:MM:SS"},
        SRefusalRow{"ClockOtherSeparator", {"set", "clock", "08.30.00"}, "HH:MM:SS"},
        SRefusalRow{"ClockTwice", {"set", "clock", "08:30:00", "09:00:00"}, "unexpected argument"},
        SRefusalRow{"MonitorFormatJson", {"monitor", "--format", "json"}, "text, csv or jsonl"},
        SRefusalRow{"MonitorSecondsZero", {"monitor", "--seconds", "0"}, "--seconds takes"},
        SRefusalRow{"MonitorSecondsWord", {"monitor", "--seconds", "ten"}, "--seconds takes"},
        SRefusalRow{"MonitorServeNothing", {"monitor", "--serve"}, "--serve needs a value"},
        SRefusalRow{"MonitorServeAWord", {"monitor", "--serve", "web"}, "--serve takes [ADDRESS:]PORT"},
        SRefusalRow{"MonitorServeTwice", {"monitor", "--serve", "80", "--serve", "81"}, "given twice"},
        SRefusalRow{"MonitorFormatTwice", {"monitor", "--format", "csv", "--format", "text"}, "given twice"},
        SRefusalRow{"MemoryNothing", {"memory"}, "read or erase"},
        SRefusalRow{"MemoryFormatJsonl", {"memory", "read", "--format", "jsonl"}, "txt, csv, json or iof"},
        SRefusalRow{"StartListTwice", {"monitor", "--start-list", "a", "--start-list", "b"}, "given twice"},
        SRefusalRow{"StartListEmpty", {"monitor", "--start-list", ""}, "--start-list takes a file"},
        SRefusalRow{"StartListMissing", {"memory", "read", "--format", "csv", "--start-list"}, "needs a value"},
        SRefusalRow{"StartListWithText", {"memory", "read", "--start-list", "a.xml"}, "goes with --format csv"},
        SRefusalRow{"StartListWithErase", {"memory", "erase", "--start-list", "a.xml"}, "unexpected argument"},
        SRefusalRow{"MemoryOutputMissing", {"memory", "read", "-o"}, "-o needs a value"},
        SRefusalRow{"EraseWithArguments", {"memory", "erase", "now"}, "unexpected argument"},
        SRefusalRow{"ProgramsNothing", {"programs"}, "download or upload"},
        SRefusalRow{"UploadNine", {"programs", "upload", "9"}, "the program number is 0 to 8"},
        SRefusalRow{"UploadName", {"programs", "upload", "P3"}, "the program number is 0 to 8"},
        SRefusalRow{"UploadMissing", {"programs", "upload"}, "the program number is missing"},
        SRefusalRow{"DownloadFrom", {"programs", "download", "--from", "x"}, "unexpected argument \"--from\""},
        SRefusalRow{"UploadTo", {"programs", "upload", "1", "--to", "x"}, "unexpected argument \"--to\""},
        SRefusalRow{"DownloadDetails", {"programs", "download", "--details"}, "unexpected argument"}),
    [](const auto& info) { return std::string(info.param.pszName); });

TEST(CliServeAddress, AnAddressAndAPortOrAPortAlone) {
    const struct {
        const char* pszText;
        std::optional<CServeAddress> serve;
    } kRows[] = {
        {"8080", CServeAddress{"", 8080}},
        {"0", CServeAddress{"", 0}},
        {"65535", CServeAddress{"", 65535}},
        {":8080", CServeAddress{"", 8080}},
        {"0.0.0.0:80", CServeAddress{"0.0.0.0", 80}},
        {"127.0.0.1:0", CServeAddress{"127.0.0.1", 0}},
        {"localhost:8080", CServeAddress{"localhost", 8080}},
        {"[::1]:8080", CServeAddress{"::1", 8080}},
        {"[::]:80", CServeAddress{"::", 80}},
        {"65536", std::nullopt},
        {"-1", std::nullopt},
        {"+80", std::nullopt},
        {"080080", std::nullopt},
        {"", std::nullopt},
        {"127.0.0.1", std::nullopt},
        {"127.0.0.1:", std::nullopt},
        {"127.0.0.1:http", std::nullopt},
        {"::1:8080", std::nullopt},
        {"[::1]", std::nullopt},
        {"[]:80", std::nullopt},
        {"8080 ", std::nullopt},
    };
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.pszText);
        EXPECT_EQ(ParseServeAddress(row.pszText), row.serve);
    }
}

TEST(CliUsage, NamesEveryCommandAndTheExitStatuses) {
    const std::string strUsage = CliUsage();
    for (const char* pszPart :
         {"kalvora-cli [--port N | --device PATH] [--baud B] [--dir D] COMMAND [ARGS]", "ports", "get [--json]",
          "set program P0|P1|...|P64|P7|P8", "set countdown 0..9", "set brightness TEXT", "set clock [HH:MM:SS]",
          "master | slave",
          "monitor [--format text|csv|jsonl] [--seconds S] [--start-list FILE] [--serve [ADDRESS:]PORT]",
          "memory read [--format txt|csv|json|iof] [--start-list FILE] [-o FILE]", "memory erase",
          "programs download [--to D]", "programs upload N [--details] [--intervals] [--from D]", "0 done",
          "1 no complete reply", "2 bad usage", "3 the port cannot be opened", "4 a file cannot be read or written",
          "5 the live page cannot be served"})
        EXPECT_NE(strUsage.find(pszPart), std::string::npos) << pszPart;
}

} // namespace
