// kalvora.exe itself under Wine, against the device simulator on this machine's pseudo-terminal (make bench-windows
// starts it as COM port 7, recording what it receives into KALVORA_SIM_RECORD): the time from the program's start
// to its main window shown, with Wine's server and desktop already running; the CPU its process takes while it
// monitors the simulator's 10 Hz stream; and the size of the executable.

#include "bench/Figures.h"
#include "res/Resource.h"
#include "tests/support/StartedProgramWin.h"
#include "tests/support/TempDir.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

namespace {

using Clock = std::chrono::steady_clock;

const std::wstring kMainWindowTitle = L"Kalvora v1.4";
constexpr int kStarts = 5; // the start-up figure is their median, after one start that warms the caches
constexpr auto kWindowTimeout = 20s;
constexpr auto kEndTimeout = 10s;  // for the program to end after its window is closed
constexpr auto kSettle = 3s;       // start-up work and the first paints done before monitoring starts
constexpr auto kMonitorStart = 5s; // for the "?D" that switches the simulator's stream on
constexpr auto kMonitorSpan = 20s; // 200 ticks of the monitor

std::string FileText(const std::string& strPath) {
    std::ifstream file(strPath, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// The program's main window, or null with a word on the error stream.
HWND MainWindow(const CStartedProgram& program) {
    const HWND hWindow = program.WaitForWindow(kMainWindowTitle, kWindowTimeout);
    if (!hWindow)
        std::fprintf(stderr, "AppWinBench: the main window did not appear\n");
    return hWindow;
}

void Close(const CStartedProgram& program, HWND hWindow) {
    if (!program.Close(hWindow, kEndTimeout))
        std::fprintf(stderr, "AppWinBench: the program did not end with its window\n");
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
        const CStartedProgram program(strProgram);
        const HWND hWindow = MainWindow(program);
        const auto shown = Clock::now();
        if (!hWindow)
            return 1;
        if (nStart > 0)
            startups.push_back(Milliseconds(shown - started));
        Close(program, hWindow);
    }

    const CStartedProgram program(strProgram);
    const HWND hWindow = MainWindow(program);
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
        return 1;
    }
    std::this_thread::sleep_for(1s);
    const double dBefore = program.CpuSeconds();
    const auto measured = Clock::now();
    std::this_thread::sleep_for(kMonitorSpan);
    const double dWall = std::chrono::duration<double>(Clock::now() - measured).count();
    const double dMonitor = 100.0 * (program.CpuSeconds() - dBefore) / dWall;
    Close(program, hWindow);

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
