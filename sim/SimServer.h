#pragma once

#include "sim/SimDevice.h"
#include "sim/SimOptions.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

class CSimCable;

// What a signal asks of the running device: its handler writes one of these bytes to the pipe that Run watches.
enum class ESimRequest : char { Stop = 's', PullCable = 'u', PlugInCable = 'p' };

// The device on its line: one thread, one poll loop. It reads commands from the pseudo-terminal, hands them to the
// running device (CSimDevice) at the time of their arrival, and pumps the device's replies and its "D?" stream
// (about ten lines a second, or one every --stream-period) onto the line. While nobody holds the line it sends
// nothing and looks again every kPeerRecheck for the program to open it. While the cable is out it neither sends nor
// receives, and the device runs on as before: its time, its countdown, its monitoring and its memory.
class CSimServer {
public:
    using Clock = std::chrono::steady_clock;

    static constexpr auto kPeerRecheck = std::chrono::milliseconds{20};
    static constexpr auto kLongestSleep = std::chrono::milliseconds{1000};

    // nClockMs: the time of day at start. The server pulls the cable and plugs it in at requests and at the times
    // of --unplug-after and --replug-after. Throws std::system_error when the record file cannot be made.
    CSimServer(const SSimOptions& options, std::int64_t nClockMs, CSimCable& cable);
    ~CSimServer();
    CSimServer(const CSimServer&) = delete;
    CSimServer& operator=(const CSimServer&) = delete;

    // Runs until a Stop request arrives on nRequestFd (non-blocking; one ESimRequest byte each), or the pipe
    // fails. Returns the exit code.
    int Run(int nRequestFd);

private:
    void ReceiveBytes(Clock::time_point now);
    void Log(const std::string& strText) const;
    void PullCable();
    void PlugInCable();
    void FollowCableSchedule(Clock::time_point now);
    // Carries out the requests waiting in the pipe, in order; false once a Stop is among them.
    bool HandleRequests(int nRequestFd);

    SSimOptions m_options;
    CSimCable& m_cable;
    CSimDevice m_device;
    Clock::time_point m_pullAt = Clock::time_point::max();   // the cable's timed pull, while it is to come
    Clock::time_point m_plugInAt = Clock::time_point::max(); // the timed plug-in after it
    int m_nRecordFd = -1;
};
