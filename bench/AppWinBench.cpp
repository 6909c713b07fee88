// The installed window program's start under Wine: from the start of its process to its main window on the screen,
// the median of several starts (the first start after Wine comes up loads more of Wine and is printed apart).
//   AppWinBench <kalvora.exe>
// `make bench-windows` runs it on the program the setup program installed.

#include "bench/Figures.h"
#include "tests/support/WindowProgramWin.h"

#include <chrono>
#include <cstdio>
#include <exception>
#include <vector>

namespace {

using namespace std::chrono_literals;

constexpr const char* kMainWindowTitle = "Kalvora v1.4";
constexpr int kStarts = 7;
constexpr auto kWindowTimeout = 60s;
constexpr auto kCloseTimeout = 15s;

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: AppWinBench <kalvora.exe>\n");
        return 2;
    }
    std::vector<double> startups;
    try {
        for (int nStart = 0; nStart < kStarts; ++nStart) {
            CWindowProgramWin program(argv[1]);
            if (!program.WaitForWindow(kMainWindowTitle, kWindowTimeout)) {
                std::fprintf(stderr, "AppWinBench: the main window did not appear\n");
                return 1;
            }
            startups.push_back(Milliseconds(program.Startup()));
            if (!program.Close(kCloseTimeout)) {
                std::fprintf(stderr, "AppWinBench: the program did not close\n");
                return 1;
            }
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "AppWinBench: %s\n", error.what());
        return 1;
    }
    const double dFirst = startups.front();
    startups.erase(startups.begin());
    std::printf("win.app.startup_ms %.0f ms\n", Percentile(startups, 0.5));
    std::printf("win.app.startup_first_ms %.0f ms\n", dFirst);
    return 0;
}
