// kalvora.exe under Wine, with Wine's server and desktop already running.
//   AppWinBench                      the build's program, copied into a folder of its own (no config.ini: it talks to
//                                    COM 7, the device simulator that make bench-windows starts there, recording
//                                    what it receives into KALVORA_SIM_RECORD): the time from its start to its main
//                                    window shown, the CPU its process takes while it monitors the simulator's 10 Hz
//                                    stream, that CPU over the floor's (BareMonitorWin.exe: the same window showing the
//                                    same stream without the window layer and the serial line) and over the reading
//                                    floor's (BareMonitorWin.exe --port 7: the same window reading the stream from the
//                                    simulator with the plainest reader of a COM port), measured in turns, the CPU of
//                                    Wine's server meanwhile, and the size of the executable.
//   AppWinBench --installed PROGRAM  the program a setup program installed: its start to its main window.
//
// A process's CPU is read where Wine's own account cannot be fine enough: Wine counts a thread's time in the clock
// ticks of Linux (10 ms, 0.05 % of a 20 s span for each thread), the kernel its scheduler time in nanoseconds
// (/proc/<pid>/task/*/schedstat, read through Wine's drive Z:). Wine's account is the fallback, on Windows itself.
// Under Wine much of a program's work is done by Wine's server on its behalf (every wait, every overlapped read of a
// serial port), outside the program's process: the server's CPU over each span is read the same way (the
// wineserver of this WINEPREFIX); it serves the bench itself and Wine's desktop too, the same for each span.

#include "bench/Figures.h"
#include "res/Resource.h"
#include "tests/support/TempDir.h"
#include "tests/support/WindowProgramWin.h"

#include <windows.h>

#include <algorithm>
#include <cctype>
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
constexpr int kRounds = 3;         // the program and the floors in turn, back to back; the figures are the medians
constexpr const char* kSimulatorPort = "7"; // the COM port of the simulator, for the reading floor
// Of the 240 or so lines the simulator sends while the reading floor runs, its reader must bring most.
constexpr unsigned long kLeastLinesRead = 200;

std::string FileText(const std::string& strPath) {
    std::ifstream file(strPath, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

std::size_t Occurrences(const std::string& strText, const std::string& strPart) {
    std::size_t nCount = 0;
    for (std::size_t nAt = strText.find(strPart); nAt != std::string::npos; nAt = strText.find(strPart, nAt + 1))
        ++nCount;
    return nCount;
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

// A path as Wine writes it into a process's command line: '/' for '\\', and any case.
std::string Comparable(std::string strPath) {
    std::replace(strPath.begin(), strPath.end(), '\\', '/');
    std::transform(strPath.begin(), strPath.end(), strPath.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return strPath;
}

// The Linux process that runs the executable under Wine: its command line starts with the executable's Windows path.
std::optional<std::string> LinuxProcessOf(const std::string& strExecutable) {
    const std::string strWanted = Comparable(strExecutable);
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("Z:/proc", error)) {
        const std::string strName = entry.path().filename().string();
        if (strName.empty() || !std::all_of(strName.begin(), strName.end(), ::isdigit))
            continue;
        const std::string strCommand = FileText("Z:/proc/" + strName + "/cmdline");
        if (Comparable(strCommand.substr(0, strCommand.find('\0'))) == strWanted)
            return strName;
    }
    return std::nullopt;
}

// The Linux process of Wine's server for this WINEPREFIX, when there is one to be seen.
std::optional<std::string> WineServerProcess() {
    char szPrefix[1024]{};
    const DWORD nLength = GetEnvironmentVariableA("WINEPREFIX", szPrefix, sizeof szPrefix);
    const std::string strWanted = "WINEPREFIX=" + std::string(szPrefix, nLength < sizeof szPrefix ? nLength : 0);
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("Z:/proc", error)) {
        const std::string strName = entry.path().filename().string();
        if (strName.empty() || !std::all_of(strName.begin(), strName.end(), ::isdigit) ||
            FileText("Z:/proc/" + strName + "/comm").rfind("wineserver", 0) != 0)
            continue;
        const std::string strEnvironment = FileText("Z:/proc/" + strName + "/environ");
        for (std::size_t nAt = 0, nEnd; (nEnd = strEnvironment.find('\0', nAt)) != std::string::npos; nAt = nEnd + 1) {
            if (strEnvironment.compare(nAt, nEnd - nAt, strWanted) == 0)
                return strName;
        }
    }
    return std::nullopt;
}

// The scheduler's time of a Linux process's threads, in seconds: its first thread (the window's, which runs WinMain)
// and the others (the serial link's reader).
struct CThreadsCpu {
    double dWindow = 0;
    double dOthers = 0;
};

CThreadsCpu LinuxCpuSeconds(const std::string& strProcess) {
    CThreadsCpu cpu;
    std::error_code error;
    for (const auto& task : std::filesystem::directory_iterator("Z:/proc/" + strProcess + "/task", error)) {
        std::ifstream stat(task.path() / "schedstat");
        unsigned long long nNanoseconds = 0;
        if (!(stat >> nNanoseconds))
            continue;
        (task.path().filename().string() == strProcess ? cpu.dWindow : cpu.dOthers) +=
            static_cast<double>(nNanoseconds) / 1e9;
    }
    return cpu;
}

// The CPU of a started program over a span, in percent of one core, its window's thread and its other threads apart
// where the kernel's account is there (else all of it counts as the window's).
// And Wine's server's over the same span, where it can be seen.
struct CCpuPercent {
    double dWindow = 0;
    double dOthers = 0;
    bool bKernel = false;
    double dServer = 0;
    bool bServer = false;
    double Total() const { return dWindow + dOthers; }
};

CCpuPercent CpuPercentOver(CWindowProgramWin& program, const std::string& strExecutable) {
    const std::optional<std::string> process = LinuxProcessOf(strExecutable);
    const std::optional<std::string> server = WineServerProcess();
    const auto cpu = [&] {
        return process ? LinuxCpuSeconds(*process) : CThreadsCpu{program.CpuSeconds(), 0};
    };
    const auto serverCpu = [&] {
        if (!server)
            return 0.0;
        const CThreadsCpu cpu = LinuxCpuSeconds(*server); // all its threads
        return cpu.dWindow + cpu.dOthers;
    };
    const CThreadsCpu before = cpu();
    const double dServerBefore = serverCpu();
    const auto measured = Clock::now();
    std::this_thread::sleep_for(kMonitorSpan);
    const double dWall = std::chrono::duration<double>(Clock::now() - measured).count();
    const CThreadsCpu after = cpu();
    const double dServerAfter = serverCpu();
    return {100.0 * (after.dWindow - before.dWindow) / dWall, 100.0 * (after.dOthers - before.dOthers) / dWall,
            process.has_value(), 100.0 * (dServerAfter - dServerBefore) / dWall, server.has_value()};
}

// The large display's text changes while the span runs (the countdown): what is measured is a monitoring window.
bool DisplayRuns(const CWindowProgramWin& program, const std::string& strBefore, const char* pszWhat) {
    if (program.ControlText(IDC_DISPLAY_LARGE) != strBefore)
        return true;
    std::fprintf(stderr, "AppWinBench: the %s's large display stood still at \"%s\"\n", pszWhat, strBefore.c_str());
    return false;
}

// The program's CPU while it monitors the simulator. Monitoring ends with "Off", so that the simulator's stream is
// off again for the next round's "On".
bool MeasureMonitoring(const std::string& strProgram, const std::string& strRecord, CCpuPercent& percent) {
    CWindowProgramWin program(strProgram);
    if (!ShowsMainWindow(program))
        return false;
    std::this_thread::sleep_for(kSettle);
    // "On", clicked as a user does; the simulator records the "?D" that starts its stream.
    const std::size_t nToggles = Occurrences(FileText(strRecord), "?D\r");
    program.Click(IDC_MONITOR_ON);
    const auto deadline = Clock::now() + kMonitorStart;
    while (Occurrences(FileText(strRecord), "?D\r") == nToggles && Clock::now() < deadline)
        std::this_thread::sleep_for(10ms);
    if (Occurrences(FileText(strRecord), "?D\r") == nToggles) {
        std::fprintf(stderr, "AppWinBench: monitoring did not start\n");
        return false;
    }
    std::this_thread::sleep_for(1s);
    const std::string strShown = program.ControlText(IDC_DISPLAY_LARGE);
    percent = CpuPercentOver(program, strProgram);
    const bool bRan = DisplayRuns(program, strShown, "program");
    program.Click(IDC_MONITOR_OFF);
    Close(program);
    return bRan;
}

// A floor's CPU while it shows the same stream, in percent of one core: the bare window (no arguments), or the
// reading floor ("--port 7"), which switches the simulator's stream on at its start and off at its end, and says by
// its exit status how many monitoring lines it read from the line.
bool MeasureFloor(const std::string& strFloor, const std::string& strArguments, const char* pszWhat,
                  CCpuPercent& percent) {
    CWindowProgramWin floor(strFloor, strArguments);
    if (!ShowsMainWindow(floor))
        return false;
    std::this_thread::sleep_for(kSettle + 1s);
    const std::string strShown = floor.ControlText(IDC_DISPLAY_LARGE);
    percent = CpuPercentOver(floor, strFloor);
    const bool bRan = DisplayRuns(floor, strShown, pszWhat);
    Close(floor);
    if (strArguments.empty() || floor.ExitCode() >= kLeastLinesRead)
        return bRan;
    std::fprintf(stderr, "AppWinBench: the %s read %lu monitoring lines from the line\n", pszWhat, floor.ExitCode());
    return false;
}

double Ratio(double dValue, double dFloor) {
    return dFloor > 0 ? dValue / dFloor : 0;
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
    // Copies of the program and the floor in a folder of their own: without a config.ini the program talks to COM 7,
    // the simulator, and nothing of the build's own folder is touched.
    CTempDir dir;
    const std::string strProgram = dir.File("kalvora.exe");
    const std::string strFloor = dir.File("BareMonitorWin.exe");
    std::filesystem::copy_file(KALVORA_PROGRAM_PATH, strProgram);
    std::filesystem::copy_file(KALVORA_FLOOR_PATH, strFloor);
    const double dExeMegabytes = static_cast<double>(std::filesystem::file_size(strProgram)) / 1e6;
    if (!MeasureStartup(strProgram, dStartupMs))
        return 1;
    std::vector<double> programs, floors, readingFloors, ratios, readingRatios, windowRatios, readers, bareReaders;
    std::vector<double> servers, floorServers, readingFloorServers;
    bool bKernel = true;
    bool bServer = true;
    const std::string strReading = std::string("--port ") + kSimulatorPort;
    for (int nRound = 0; nRound < kRounds; ++nRound) {
        CCpuPercent program, floor, reading;
        if (!MeasureMonitoring(strProgram, pszRecord, program) || !MeasureFloor(strFloor, {}, "floor", floor) ||
            !MeasureFloor(strFloor, strReading, "reading floor", reading))
            return 1;
        bKernel = bKernel && program.bKernel && floor.bKernel && reading.bKernel;
        bServer = bServer && program.bServer && floor.bServer && reading.bServer;
        programs.push_back(program.Total());
        floors.push_back(floor.Total());
        readingFloors.push_back(reading.Total());
        ratios.push_back(Ratio(program.Total(), floor.Total()));
        readingRatios.push_back(Ratio(program.Total(), reading.Total()));
        windowRatios.push_back(Ratio(program.dWindow, floor.Total()));
        readers.push_back(program.dOthers);
        bareReaders.push_back(reading.dOthers);
        servers.push_back(program.dServer);
        floorServers.push_back(floor.dServer);
        readingFloorServers.push_back(reading.dServer);
        std::fprintf(stderr,
                     "monitoring, round %d: program %.3f %% (window thread %.3f, other threads %.3f), floor %.3f %% "
                     "(window thread %.3f), reading floor %.3f %% (window thread %.3f, reader %.3f): %.2f times the "
                     "floor, %.2f times the reading floor; Wine's server meanwhile %.3f, %.3f and %.3f %%\n",
                     nRound + 1, program.Total(), program.dWindow, program.dOthers, floor.Total(), floor.dWindow,
                     reading.Total(), reading.dWindow, reading.dOthers, ratios.back(), readingRatios.back(),
                     program.dServer, floor.dServer, reading.dServer);
    }
    std::fprintf(stderr, "CPU from %s\n", bKernel ? "the kernel's schedstat" : "Wine's account of the threads");
    std::printf("win.app.startup_ms %.0f ms\n", dStartupMs);
    std::printf("win.app.cpu_pct_monitor_10hz %.2f %%\n", Percentile(programs, 0.5));
    std::printf("win.app.floor_cpu_pct_monitor_10hz %.2f %%\n", Percentile(floors, 0.5));
    std::printf("win.app.reading_floor_cpu_pct_monitor_10hz %.2f %%\n", Percentile(readingFloors, 0.5));
    std::printf("win.app.cpu_over_floor %.2f\n", Percentile(ratios, 0.5));
    std::printf("win.app.cpu_over_reading_floor %.2f\n", Percentile(readingRatios, 0.5));
    if (bKernel) {
        std::printf("win.app.window_thread_over_floor %.2f\n", Percentile(windowRatios, 0.5));
        std::printf("win.app.reader_cpu_pct_monitor_10hz %.2f %%\n", Percentile(readers, 0.5));
        std::printf("win.app.bare_reader_cpu_pct_monitor_10hz %.2f %%\n", Percentile(bareReaders, 0.5));
    }
    if (bServer) {
        std::printf("win.app.server_cpu_pct_monitor_10hz %.2f %%\n", Percentile(servers, 0.5));
        std::printf("win.app.floor_server_cpu_pct_monitor_10hz %.2f %%\n", Percentile(floorServers, 0.5));
        std::printf("win.app.reading_floor_server_cpu_pct_monitor_10hz %.2f %%\n",
                    Percentile(readingFloorServers, 0.5));
    }
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
