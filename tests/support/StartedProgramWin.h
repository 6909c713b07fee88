#pragma once

// The window program as Windows (or Wine) runs it, watched from another program: for the benchmark and the
// screenshot that start the real kalvora.exe. Windows only.

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <chrono>
#include <string>

class CStartedProgram {
public:
    // Starts the program at strPath (a path in the ANSI code page) in this process's directory; throws
    // std::runtime_error when it cannot.
    explicit CStartedProgram(const std::string& strPath);
    // Ends the program when it still runs.
    ~CStartedProgram();
    CStartedProgram(const CStartedProgram&) = delete;
    CStartedProgram& operator=(const CStartedProgram&) = delete;

    // Its shown top-level window with that title, once there is one; null when the program ends first or none
    // comes within the timeout.
    HWND WaitForWindow(const std::wstring& title, std::chrono::milliseconds timeout) const;
    // Closes the window as its close box does and waits for the program to end; false when it has not ended in
    // time.
    bool Close(HWND hWindow, std::chrono::milliseconds timeout) const;
    // Waits for the program to end; false when it has not ended in time.
    bool WaitForEnd(std::chrono::milliseconds timeout) const;
    // CPU time of the program so far, user and kernel, in seconds.
    double CpuSeconds() const;

private:
    HANDLE m_hProcess = nullptr;
    DWORD m_nId = 0;
};
