// MonitoringWindowProgram PROGRAM
// The window program as an official runs it, for the live page's browser test and benchmark: started in the X
// display of $DISPLAY (under xvfb-run), its main window awaited, "On" pressed with the keyboard (the focus starts
// there), and kept running until this process gets SIGTERM or SIGINT, which ends the program too. Prints
// "monitoring" once "On" has been pressed, and exits with 1 when the window does not come or the program ends first.

#include "tests/support/x11/WindowProgram.h"

#include <X11/Xlib.h>
#include <X11/keysym.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <thread>

namespace {

using namespace std::chrono_literals;

constexpr const char* kMainWindowTitle = "Kalvora v1.4";
constexpr auto kWindowTimeout = 20s;
constexpr auto kSettle = 500ms; // the window's first paints and its focus, before the key

volatile std::sig_atomic_t g_bStop = 0;

void OnStop(int) {
    g_bStop = 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: MonitoringWindowProgram PROGRAM\n");
        return 2;
    }
    std::signal(SIGTERM, OnStop);
    std::signal(SIGINT, OnStop);
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "MonitoringWindowProgram: no X display; run it under xvfb-run\n");
        return 1;
    }
    XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
    XSync(display, False);
    int nStatus = 0;
    {
        CWindowProgram program(argv[1]);
        const Window window = WaitForMappedWindow(display, kMainWindowTitle, kWindowTimeout);
        if (!window) {
            std::fprintf(stderr, "MonitoringWindowProgram: the main window did not appear\n");
            nStatus = 1;
        } else {
            std::this_thread::sleep_for(kSettle);
            XSetInputFocus(display, window, RevertToPointerRoot, CurrentTime);
            PressKey(display, XK_Return);
            std::printf("monitoring\n");
            std::fflush(stdout);
            while (!g_bStop && program.Running())
                std::this_thread::sleep_for(50ms);
            if (!g_bStop) {
                std::fprintf(stderr, "MonitoringWindowProgram: the program ended by itself\n");
                nStatus = 1;
            }
        }
    }
    XCloseDisplay(display);
    return nStatus;
}
