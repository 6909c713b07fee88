#pragma once

#include "sim/CommandFramer.h"
#include "sim/DeviceModel.h"
#include "sim/LineSender.h"
#include "sim/SimOptions.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

class CPseudoTerminal;

// The device on its line: one thread, one poll loop. It reads commands from the pseudo-terminal, hands them to the
// device model with the device time of their arrival, streams the "D?" lines about ten a second while monitoring,
// and sends the replies through the line sender. While nobody holds the line it sends nothing and looks again
// every kPeerRecheck for the program to open it.
class CSimServer {
public:
    using Clock = std::chrono::steady_clock;

    static constexpr auto kStatusPeriod = std::chrono::milliseconds{100};
    static constexpr auto kPeerRecheck = std::chrono::milliseconds{20};
    static constexpr auto kLongestSleep = std::chrono::milliseconds{1000};

    // nClockMs: the time of day at start. Throws std::system_error when the record file cannot be made.
    CSimServer(const SSimOptions& options, std::int64_t nClockMs, CPseudoTerminal& terminal);
    ~CSimServer();
    CSimServer(const CSimServer&) = delete;
    CSimServer& operator=(const CSimServer&) = delete;

    // Runs until nStopFd becomes readable (a signal arrived). Returns the exit code.
    int Run(int nStopFd);

private:
    std::int64_t DeviceTime(Clock::time_point now) const;
    Clock::time_point RealTime(std::int64_t nDeviceMs) const;
    void AdvanceTo(Clock::time_point now);
    void ReceiveBytes(Clock::time_point now);
    void Execute(const std::string& strCommand, Clock::time_point now);
    void Send(const std::vector<std::string>& lines);
    void Log(const std::string& strText) const;

    SSimOptions m_options;
    CPseudoTerminal& m_terminal;
    CDeviceModel m_model;
    CCommandFramer m_framer;
    CLineSender m_sender;
    Clock::time_point m_start;
    Clock::time_point m_nextStatus;
    int m_nRecordFd = -1;
};
