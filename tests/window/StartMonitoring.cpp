// StartMonitoring.exe PROGRAM
// Starts the window program, waits for its main window, clicks "On" there as a user does, prints "monitoring" and
// stays until the program ends: the Windows side of MainWindowScreenshot.sh, which takes the picture from the X
// screen and then ends Wine.

#include "res/Resource.h"
#include "tests/support/WindowProgramWin.h"

#include <chrono>
#include <cstdio>
#include <exception>

using namespace std::chrono_literals;

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: StartMonitoring PROGRAM\n");
        return 2;
    }
    try {
        CWindowProgramWin program(argv[1]);
        if (!program.WaitForWindow("Kalvora v1.4", 60s)) {
            std::fprintf(stderr, "StartMonitoring: the main window did not appear\n");
            return 1;
        }
        program.Click(IDC_MONITOR_ON);
        std::printf("monitoring\n");
        std::fflush(stdout);
        while (!program.WaitForEnd(1h)) {
        }
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "StartMonitoring: %s\n", error.what());
        return 1;
    }
}
