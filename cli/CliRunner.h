#pragma once

#include "cli/CliArguments.h"
#include "link/DeviceOperation.h"
#include "link/SerialLink.h"
#include "live/LiveServer.h"
#include "startlist/StartList.h"

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>

// Exit statuses of kalvora-cli.
inline constexpr int kExitDone = 0;
inline constexpr int kExitNoReply = 1;   // no (complete) reply in time
inline constexpr int kExitUsage = 2;     // bad usage
inline constexpr int kExitNoPort = 3;    // the port cannot be opened
inline constexpr int kExitFileFault = 4; // a file cannot be read or written
inline constexpr int kExitNoServe = 5;   // the live page cannot be served (its port in use or not allowed)

// Runs one command of the tool on the core the windows use: the same link, operations, reply rules, program store
// and export. Output goes to `out`, every error to `err`. Where a window sleeps while its link collects the reply,
// the tool takes the lines as they come and goes on as soon as the reply it needs is there, or gives up after its
// time-out.
class CCliRunner {
public:
    static constexpr auto kReplyTimeout = std::chrono::milliseconds{1000};
    // A memory read ends this long after the last "M?" line: the device sends no end-of-list line.
    static constexpr auto kMemoryQuietTime = std::chrono::milliseconds{500};
    static constexpr auto kPollPause = std::chrono::milliseconds{5};
    // monitor --serve: how often the live page's status lamp and lights take what the last tick brought. Longer
    // than the window's 100 ms: the tool shows each line as it comes, and a tick as long as the unit's 10 Hz stream
    // would now and then end without a line and flash the lamp red and the lights dark on every viewer's screen.
    static constexpr auto kLiveTick = std::chrono::milliseconds{250};
    // After monitoring, the last state ("not monitoring") goes out before the server stops.
    static constexpr auto kLiveFarewell = std::chrono::milliseconds{150};

    CCliRunner(CCliArguments arguments, std::FILE* out, std::FILE* err);
    CCliRunner(const CCliRunner&) = delete;
    CCliRunner& operator=(const CCliRunner&) = delete;

    int Run();

private:
    using LineTest = std::function<bool(const std::string& strLine)>;

    int RunPorts();
    int RunGet();
    // set program/countdown/brightness, master, slave: the command, then the line that acknowledges it.
    int RunAcknowledged(const CDeviceOperation& operation, const std::string& strCommand,
                        const LineTest& isAcknowledgement);
    int RunSetClock();
    int RunMonitor();
    // monitor --serve: the live page started on its address, in the language of config.ini; false (the reason
    // reported) when it cannot be.
    bool StartLivePage(CLiveServer& server);
    int RunMemoryRead();
    int RunMemoryErase();
    int RunDownload();
    int RunUpload();

    // Runs the operation on the chosen port or device. The default hooks stop before the first write when the port
    // could not be opened or Ctrl+C was pressed (which also ends the time of a reply), pause as asked, and give
    // the first line of every reply at least kReplyTimeout.
    COperationResult RunOperation(const CDeviceOperation& operation, COperationHooks hooks);
    COperationHooks DefaultHooks() const;
    // DefaultHooks whose reply is the first line that isAcknowledgement accepts, taken into strAcknowledgement.
    COperationHooks AcknowledgementHooks(const LineTest& isAcknowledgement, std::string& strAcknowledgement);
    // "COM 7 (/dev/ttyS6)" or the device's path.
    std::string PortName() const;
    int NoReply(const std::string& strWhat);
    void Print(const std::string& strText);
    void Error(const std::string& strText);
    // Where the program files are: --to or --from, else the tool's directory.
    std::string ProgramDirectory() const;
    // The start list of --start-list into list: false, with the reason on standard error, when it cannot be read;
    // each row it leaves out is told on standard error.
    bool LoadStartList(std::optional<CStartList>& list);

    CCliArguments m_arguments;
    std::FILE* m_out;
    std::FILE* m_err;
    int m_nPort;
    int m_nBaudRate;
    bool m_bOpenFailed = false;
    CSerialLink m_link;
};
