// kalvora.exe itself under Wine, against the device simulator on this machine's pseudo-terminal (make bench-windows
// starts it as COM port 7, recording what it receives into KALVORA_SIM_RECORD): the time from the program's start
// to its main window shown, with Wine's server and desktop already running; the CPU its process takes while it
// monitors the simulator's 10 Hz stream; and the size of the executable.

#include "bench/Figures.h"
#include "res/Resource.h"
#include "tests/support/TempDir.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <tlhelp32.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

using namespace std::chrono_literals;

namespace {

using Clock = std::chrono::steady_clock;

constexpr const wchar_t* kMainWindowTitle = L"Kalvora v1.4";
constexpr int kStarts = 5; // the start-up figure is their median, after one start that warms the caches
constexpr auto kWindowTimeout = 20s;
constexpr auto kPollPause = 2ms;   // between looks for the main window
constexpr auto kEndTimeout = 10s;  // for the program to end after its window is closed
constexpr auto kSettle = 3s;       // start-up work and the first paints done before monitoring starts
constexpr auto kMonitorStart = 5s; // for the "?D" that switches the simulator's stream on
constexpr auto kMonitorSpan = 20s; // 200 ticks of the monitor

// A started program's process handle, closed with the object.
class CProcess {
public:
    CProcess(HANDLE hProcess, DWORD nId) : m_hProcess(hProcess), m_nId(nId) {}
    ~CProcess() {
        if (m_hProcess)
            CloseHandle(m_hProcess);
    }
    CProcess(CProcess&& other) noexcept : m_hProcess(std::exchange(other.m_hProcess, nullptr)), m_nId(other.m_nId) {}
    CProcess(const CProcess&) = delete;
    CProcess& operator=(const CProcess&) = delete;
    CProcess& operator=(CProcess&&) = delete;
    HANDLE Handle() const { return m_hProcess; }
    DWORD Id() const { return m_nId; }

private:
    HANDLE m_hProcess;
    DWORD m_nId;
};

struct CFind {
    DWORD nProcessId = 0;
    HWND hFound = nullptr;
};

BOOL CALLBACK FindMainWindow(HWND hWnd, LPARAM lParam) {
    auto& find = *reinterpret_cast<CFind*>(lParam);
    DWORD nProcessId = 0;
    GetWindowThreadProcessId(hWnd, &nProcessId);
    if (nProcessId != find.nProcessId || !IsWindowVisible(hWnd))
        return TRUE;
    wchar_t title[64] = {};
    GetWindowTextW(hWnd, title, static_cast<int>(std::size(title)));
    if (std::wstring(title) != kMainWindowTitle)
        return TRUE;
    find.hFound = hWnd;
    return FALSE;
}

// The program's main window once it is shown; null, with the program ended, when it does not show in time.
HWND WaitForMainWindow(const CProcess& process) {
    const auto deadline = Clock::now() + kWindowTimeout;
    while (Clock::now() < deadline) {
        CFind find{process.Id(), nullptr};
        EnumWindows(FindMainWindow, reinterpret_cast<LPARAM>(&find));
        if (find.hFound)
            return find.hFound;
        if (WaitForSingleObject(process.Handle(), 0) == WAIT_OBJECT_0) {
            std::fprintf(stderr, "AppWinBench: the program ended without its main window\n");
            return nullptr;
        }
        std::this_thread::sleep_for(kPollPause);
    }
    std::fprintf(stderr, "AppWinBench: the main window did not appear\n");
    TerminateProcess(process.Handle(), 1);
    WaitForSingleObject(process.Handle(), INFINITE);
    return nullptr;
}

std::wstring Wide(const std::string& strText) {
    std::wstring wide(strText.size() + 1, L'\0');
    const int nWide = MultiByteToWideChar(CP_ACP, 0, strText.c_str(), -1, wide.data(), static_cast<int>(wide.size()));
    wide.resize(nWide > 0 ? static_cast<std::size_t>(nWide - 1) : 0);
    return wide;
}

std::optional<CProcess> Start(const std::string& strProgram) {
    std::wstring command = L"\"" + Wide(strProgram) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
        std::fprintf(stderr, "AppWinBench: cannot start %s (error %lu)\n", strProgram.c_str(), GetLastError());
        return std::nullopt;
    }
    CloseHandle(info.hThread);
    return std::optional<CProcess>(std::in_place, info.hProcess, info.dwProcessId);
}

// Closes the window as its close box does and waits for the program to end; ends it when it does not.
void Close(const CProcess& process, HWND hWindow) {
    PostMessageW(hWindow, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process.Handle(), static_cast<DWORD>(std::chrono::milliseconds(kEndTimeout).count())) !=
        WAIT_OBJECT_0) {
        std::fprintf(stderr, "AppWinBench: the program did not end with its window\n");
        TerminateProcess(process.Handle(), 1);
        WaitForSingleObject(process.Handle(), INFINITE);
    }
}

double Seconds(const FILETIME& time) {
    ULARGE_INTEGER value{};
    value.LowPart = time.dwLowDateTime;
    value.HighPart = time.dwHighDateTime;
    return static_cast<double>(value.QuadPart) / 1e7; // 100 ns units
}

// CPU time of the process so far, user and kernel, in seconds: its own account, or the sum over its threads when
// that is more (Wine keeps no CPU account of another process, only of each thread, from the system's own).
double CpuSeconds(const CProcess& process) {
    FILETIME created{}, ended{}, kernel{}, user{};
    double dProcess = 0;
    if (GetProcessTimes(process.Handle(), &created, &ended, &kernel, &user))
        dProcess = Seconds(kernel) + Seconds(user);
    double dThreads = 0;
    const HANDLE hSnapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (hSnapshot == INVALID_HANDLE_VALUE)
        return dProcess;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL bMore = Thread32First(hSnapshot, &entry); bMore; bMore = Thread32Next(hSnapshot, &entry)) {
        if (entry.th32OwnerProcessID != process.Id())
            continue;
        if (const HANDLE hThread = OpenThread(THREAD_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ThreadID)) {
            if (GetThreadTimes(hThread, &created, &ended, &kernel, &user))
                dThreads += Seconds(kernel) + Seconds(user);
            CloseHandle(hThread);
        }
    }
    CloseHandle(hSnapshot);
    return std::max(dProcess, dThreads);
}

std::string FileText(const std::string& strPath) {
    std::ifstream file(strPath, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

int Run() {
    const char* pszRecord = std::getenv("KALVORA_SIM_RECORD");
    if (!pszRecord) {
        std::fprintf(stderr, "AppWinBench: KALVORA_SIM_RECORD names no file (make bench-windows runs it)\n");
        return 1;
    }
    // A copy of the program in a directory of its own: without a config.ini it talks to COM 7, the simulator,
    // and nothing of the build's own directory is touched.
    CTempDir dir;
    const std::string strProgram = dir.File("kalvora.exe");
    std::filesystem::copy_file(KALVORA_PROGRAM_PATH, strProgram);
    const double dExeMegabytes = static_cast<double>(std::filesystem::file_size(strProgram)) / 1e6;

    std::vector<double> startups;
    for (int nStart = 0; nStart <= kStarts; ++nStart) {
        const auto started = Clock::now();
        const std::optional<CProcess> process = Start(strProgram);
        if (!process)
            return 1;
        const HWND hWindow = WaitForMainWindow(*process);
        const auto shown = Clock::now();
        if (!hWindow)
            return 1;
        if (nStart > 0)
            startups.push_back(Milliseconds(shown - started));
        Close(*process, hWindow);
    }

    const std::optional<CProcess> monitoring = Start(strProgram);
    if (!monitoring)
        return 1;
    const CProcess& process = *monitoring;
    const HWND hWindow = WaitForMainWindow(process);
    if (!hWindow)
        return 1;
    std::this_thread::sleep_for(kSettle);
    // "On", clicked as a user does; the simulator records the "?D" that starts its stream.
    SendMessageW(GetDlgItem(hWindow, IDC_MONITOR_ON), BM_CLICK, 0, 0);
    const auto deadline = Clock::now() + kMonitorStart;
    while (FileText(pszRecord).find("?D\r") == std::string::npos && Clock::now() < deadline)
        std::this_thread::sleep_for(10ms);
    if (FileText(pszRecord).find("?D\r") == std::string::npos) {
        std::fprintf(stderr, "AppWinBench: monitoring did not start\n");
        Close(process, hWindow);
        return 1;
    }
    std::this_thread::sleep_for(1s);
    const double dBefore = CpuSeconds(process);
    const auto measured = Clock::now();
    std::this_thread::sleep_for(kMonitorSpan);
    const double dWall = std::chrono::duration<double>(Clock::now() - measured).count();
    const double dMonitor = 100.0 * (CpuSeconds(process) - dBefore) / dWall;
    Close(process, hWindow);

    std::printf("win.app.startup_ms %.0f ms\n", Percentile(startups, 0.5));
    std::printf("win.app.cpu_pct_monitor_10hz %.2f %%\n", dMonitor);
    std::printf("win.app.exe_mb %.2f MB\n", dExeMegabytes);
    std::fprintf(stderr, "startup: %d starts, min %.0f, max %.0f ms\n", kStarts, Percentile(startups, 0.0),
                 Percentile(startups, 1.0));
    return 0;
}

} // namespace

int main() {
    try {
        return Run();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "AppWinBench: %s\n", error.what());
        return 1;
    }
}
