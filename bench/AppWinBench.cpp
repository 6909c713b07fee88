// kalvora.exe under Wine, with Wine's server and desktop already running.
//   AppWinBench                      the build's program, copied into a folder of its own (no config.ini: it talks to
//                                    COM 7, the device simulator that make bench-windows starts there, recording
//                                    what it receives into KALVORA_SIM_RECORD): the time from its start to its main
//                                    window shown, the CPU its process takes while it monitors the simulator's 10 Hz
//                                    stream, and the size of the executable.
//   AppWinBench --installed PROGRAM  the program a setup program installed: its start to its main window.

#include "bench/Figures.h"
#include "res/Resource.h"
#include "tests/support/TempDir.h"
#include "tests/support/WindowProgramWin.h"

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

constexpr const char* kMainWindowTitle = "Kalvora v1.4";
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

bool ShowsMainWindow(CWindowProgramWin& program) {
    if (program.WaitForWindow(kMainWindowTitle, kWindowTimeout))
        return true;
    std::fprintf(stderr, "AppWinBench: the main window did not appear\n");
    return false;
}

void Close(CWindowProgramWin& program) {
    if (!program.Close(kEndTimeout))
        std::fprintf(stderr, "AppWinBench: the program did not end with its window\n");
}

// The median start of the program to its main window, after a first start; nothing when a start failed.
bool MeasureStartup(const std::string& strProgram, double& dMedianMs) {
    std::vector<double> startups;
    for (int nStart = 0; nStart <= kStarts; ++nStart) {
        CWindowProgramWin program(strProgram);
        if (!ShowsMainWindow(program))
            return false;
        if (nStart > 0)
            startups.push_back(Milliseconds(program.Startup()));
        Close(program);
    }
    dMedianMs = Percentile(startups, 0.5);
    std::fprintf(stderr, "startup: %d starts, min %.0f, max %.0f ms\n", kStarts, Percentile(startups, 0.0),
                 Percentile(startups, 1.0));
    return true;
}

// The program's CPU while it monitors the simulator, in percent of one core.
bool MeasureMonitoring(const std::string& strProgram, const std::string& strRecord, double& dPercent) {
    CWindowProgramWin program(strProgram);
    if (!ShowsMainWindow(program))
        return false;
    std::this_thread::sleep_for(kSettle);
    // "On", clicked as a user does; the simulator records the "?D" that starts its stream.
    program.Click(IDC_MONITOR_ON);
    const auto deadline = Clock::now() + kMonitorStart;
    while (FileText(strRecord).find("?D\r") == std::string::npos && Clock::now() < deadline)
        std::this_thread::sleep_for(10ms);
    if (FileText(strRecord).find("?D\r") == std::string::npos) {
        std::fprintf(stderr, "AppWinBench: monitoring did not start\n");
        return false;
    }
    std::this_thread::sleep_for(1s);
    const double dBefore = program.CpuSeconds();
    const auto measured = Clock::now();
    std::this_thread::sleep_for(kMonitorSpan);
    const double dWall = std::chrono::duration<double>(Clock::now() - measured).count();
    dPercent = 100.0 * (program.CpuSeconds() - dBefore) / dWall;
    Close(program);
    return true;
}

int Run(int argc, char** argv) {
    double dStartupMs = 0;
    if (argc == 3 && std::string(argv[1]) == "--installed") {
        if (!MeasureStartup(argv[2], dStartupMs))
            return 1;
        std::printf("win.app.installed_startup_ms %.0f ms\n", dStartupMs);
        return 0;
    }
    if (argc != 1) {
        std::fprintf(stderr, "usage: AppWinBench [--installed PROGRAM]\n");
        return 2;
    }
    const char* pszRecord = std::getenv("KALVORA_SIM_RECORD");
    if (!pszRecord) {
        std::fprintf(stderr, "AppWinBench: KALVORA_SIM_RECORD names no file (make bench-windows runs it)\n");
        return 1;
    }
    // A copy of the program in a folder of its own: without a config.ini it talks to COM 7, the simulator, and
    // nothing of the build's own folder is touched.
    CTempDir dir;
    const std::string strProgram = dir.File("kalvora.exe");
    std::filesystem::copy_file(KALVORA_PROGRAM_PATH, strProgram);
    const double dExeMegabytes = static_cast<double>(std::filesystem::file_size(strProgram)) / 1e6;
    double dMonitorPercent = 0;
    if (!MeasureStartup(strProgram, dStartupMs) || !MeasureMonitoring(strProgram, pszRecord, dMonitorPercent))
        return 1;
    std::printf("win.app.startup_ms %.0f ms\n", dStartupMs);
    std::printf("win.app.cpu_pct_monitor_10hz %.2f %%\n", dMonitorPercent);
    std::printf("win.app.exe_mb %.2f MB\n", dExeMegabytes);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    try {
        return Run(argc, argv);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "AppWinBench: %s\n", error.what());
        return 1;
    }
}
