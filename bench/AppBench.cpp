// The whole program against the simulator, in a real X display (run it under xvfb-run): the time from the
// process's start to its main window on the screen, the CPU it takes while idle and while monitoring the
// simulator's 10 Hz stream, and its resident memory. Accessibility stays off, as on most officials' laptops.

#include "tests/support/SimProcess.h"
#include "tests/support/TempDir.h"
#include "tests/support/x11/WindowProgram.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr const char* kMainWindowTitle = "Kalvora v1.4";
constexpr auto kWindowTimeout = 20s;
constexpr auto kSettle = 3s;       // start-up work (fonts, the first paints) done before the idle figure
constexpr auto kIdleSpan = 20s;    // long enough for the clock's once-a-second repaint to dominate
constexpr auto kMonitorSpan = 20s; // 200 ticks of the monitor

// CPU time of every thread of the process so far, in seconds, from the scheduler's own nanosecond account.
double ProcessCpuSeconds(pid_t nPid) {
    double dSeconds = 0;
    const std::filesystem::path tasks = "/proc/" + std::to_string(nPid) + "/task";
    std::error_code error;
    for (const auto& task : std::filesystem::directory_iterator(tasks, error)) {
        std::ifstream stat(task.path() / "schedstat");
        unsigned long long nNanoseconds = 0;
        if (stat >> nNanoseconds)
            dSeconds += static_cast<double>(nNanoseconds) / 1e9;
    }
    return dSeconds;
}

double ResidentMegabytes(pid_t nPid) {
    std::ifstream status("/proc/" + std::to_string(nPid) + "/status");
    for (std::string strLine; std::getline(status, strLine);) {
        if (strLine.rfind("VmRSS:", 0) == 0)
            return std::stod(strLine.substr(6)) / 1024.0;
    }
    return 0;
}

double CpuPercentOver(pid_t nPid, std::chrono::seconds span) {
    const double dBefore = ProcessCpuSeconds(nPid);
    const auto started = Clock::now();
    std::this_thread::sleep_for(span);
    const double dWall = std::chrono::duration<double>(Clock::now() - started).count();
    return 100.0 * (ProcessCpuSeconds(nPid) - dBefore) / dWall;
}

void PressReturn(Display* display, Window window) {
    XSetInputFocus(display, window, RevertToPointerRoot, CurrentTime);
    PressKey(display, XK_Return);
}

std::string FileText(const std::string& strPath) {
    std::ifstream file(strPath, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

int Run() {
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "AppBench: no X display; run it under xvfb-run\n");
        return 1;
    }
    int nEvent = 0, nError = 0, nMajor = 0, nMinor = 0;
    if (!XTestQueryExtension(display, &nEvent, &nError, &nMajor, &nMinor)) {
        std::fprintf(stderr, "AppBench: the X server has no XTEST extension\n");
        return 1;
    }

    // A copy of the program in a directory of its own: its config.ini names nothing, so it talks to COM 7, where
    // the simulator is linked, and nothing of the build's own directory is touched.
    CTempDir dir;
    const std::string strProgram = dir.File("kalvora");
    std::filesystem::copy_file(KALVORA_PROGRAM_PATH, strProgram);
    CSimProcess sim(dir.Path(), {"--com", "7", "--record", dir.File("received")});

    XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
    XSync(display, False);
    const auto started = Clock::now();
    CWindowProgram program(strProgram);
    const Window window = WaitForMappedWindow(display, kMainWindowTitle, kWindowTimeout);
    if (!window) {
        std::fprintf(stderr, "AppBench: the main window did not appear\n");
        return 1;
    }
    const double dStartupMs = std::chrono::duration<double, std::milli>(Clock::now() - started).count();

    std::this_thread::sleep_for(kSettle);
    const double dIdle = CpuPercentOver(program.Pid(), kIdleSpan);

    // The focus starts on "On"; Return presses it. The simulator records the "?D" that starts its stream.
    PressReturn(display, window);
    const auto deadline = Clock::now() + 5s;
    while (FileText(dir.File("received")).find("?D\r") == std::string::npos && Clock::now() < deadline)
        std::this_thread::sleep_for(10ms);
    if (FileText(dir.File("received")).find("?D\r") == std::string::npos) {
        std::fprintf(stderr, "AppBench: monitoring did not start\n");
        return 1;
    }
    std::this_thread::sleep_for(1s);
    const double dMonitor = CpuPercentOver(program.Pid(), kMonitorSpan);
    const double dRss = ResidentMegabytes(program.Pid());

    std::printf("app.startup_ms %.0f ms\n", dStartupMs);
    std::printf("app.cpu_pct_idle %.3f %%\n", dIdle);
    std::printf("app.cpu_pct_monitor_10hz %.3f %%\n", dMonitor);
    std::printf("app.rss_mb %.1f MB\n", dRss);
    XCloseDisplay(display);
    return 0;
}

} // namespace

int main() {
    try {
        return Run();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "AppBench: %s\n", error.what());
        return 1;
    }
}
