#pragma once

#include <chrono>
#include <string>
#include <sys/types.h>
#include <vector>

// The device simulator (kalvora-sim) as a child process, for tests and benchmarks. The constructor starts it with
// the given arguments and "--dir <directory>", reads the terminal path it prints first and waits until its link
// ports/COM<n> exists; the destructor stops it (SIGTERM, then SIGKILL if it lingers) and reaps it. The lines it
// prints later (a new terminal's path each time its cable is plugged in again) wait for NextLine.
class CSimProcess {
public:
    static constexpr auto kStartTimeout = std::chrono::seconds{5};
    static constexpr auto kStopTimeout = std::chrono::seconds{3};

    // The port number comes from a "--com N" in args (7 when there is none). Throws std::runtime_error when the
    // simulator cannot be started or does not come up within kStartTimeout.
    CSimProcess(const std::string& strDirectory, std::vector<std::string> args = {});
    ~CSimProcess();
    CSimProcess(const CSimProcess&) = delete;
    CSimProcess& operator=(const CSimProcess&) = delete;

    // The terminal path the simulator printed, such as /dev/pts/4.
    const std::string& DevicePath() const { return m_strDevicePath; }
    // <directory>/ports/COM<n>.
    const std::string& LinkPath() const { return m_strLinkPath; }
    int Port() const { return m_nPort; }
    pid_t Pid() const { return m_nPid; }

    // Sends SIGTERM and waits for the end (SIGKILL after kStopTimeout). Returns the exit code, or 128 + the
    // signal's number when a signal ended it; later calls return the same.
    int Stop();
    // Sends a signal without waiting.
    void Signal(int nSignal) const;
    // The next line of the simulator's standard output after those already taken, without its line end, as soon
    // as it is complete; empty when none is complete within `timeout` (what came of it waits for the next call).
    std::string NextLine(std::chrono::milliseconds timeout);

private:
    // The read end of the pipe on the simulator's standard output, closed with the object.
    class COutputPipe {
    public:
        COutputPipe() = default;
        ~COutputPipe();
        COutputPipe(const COutputPipe&) = delete;
        COutputPipe& operator=(const COutputPipe&) = delete;
        void Reset(int hRead);
        int Handle() const { return m_hRead; }

    private:
        int m_hRead = -1;
    };

    COutputPipe m_output;
    std::string m_strPartialLine; // what came of the next line so far
    pid_t m_nPid = -1;
    int m_nExitCode = -1;
    int m_nPort = 7;
    std::string m_strDevicePath;
    std::string m_strLinkPath;
};
