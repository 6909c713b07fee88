#pragma once

#include <chrono>
#include <string>
#include <sys/types.h>
#include <vector>

// A program run as a child process for tests: its standard output and standard error each collected whole, its
// exit code, and a signal on request. The destructor kills a child that is still running and reaps it.
class CChildProcess {
public:
    // Starts strPath with the arguments. Throws std::runtime_error when it cannot be started.
    CChildProcess(const std::string& strPath, const std::vector<std::string>& args);
    ~CChildProcess();
    CChildProcess(const CChildProcess&) = delete;
    CChildProcess& operator=(const CChildProcess&) = delete;

    // Collects the output until the child ends or `timeout` passes; the exit code (128 + the signal's number when
    // a signal ended it), or -1 when it was still running after `timeout` (it is then killed).
    int Wait(std::chrono::milliseconds timeout);
    void Signal(int nSignal) const;
    // What arrived so far (all of it after Wait).
    const std::string& Out() const { return m_strOut; }
    const std::string& Err() const { return m_strErr; }
    // Collects what the child wrote within `duration`, without waiting for its end.
    void Collect(std::chrono::milliseconds duration);

private:
    // The read end of one of the child's output pipes, closed with the object.
    struct CPipe {
        int m_hRead = -1;
        ~CPipe();
    };
    bool Drain(CPipe& pipe, std::string& strInto);

    pid_t m_nPid = -1;
    int m_nExitCode = -1;
    CPipe m_out;
    CPipe m_err;
    std::string m_strOut;
    std::string m_strErr;
};

// Runs a program to its end (or `timeout`) and gives its exit code and both outputs.
struct CProgramRun {
    int m_nExitCode = -1;
    std::string m_strOut;
    std::string m_strErr;
    std::chrono::milliseconds m_took{0};
};
CProgramRun RunProgram(const std::string& strPath, const std::vector<std::string>& args,
                       std::chrono::milliseconds timeout);
