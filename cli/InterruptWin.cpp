#include "cli/Interrupt.h"

#include <windows.h>

#include <atomic>

namespace {

std::atomic<bool> g_bInterrupted{false};

// Runs on a thread of its own that the system starts for the event.
BOOL WINAPI OnConsoleEvent(DWORD nEvent) {
    switch (nEvent) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
        g_bInterrupted = true;
        return TRUE; // handled: the tool ends by itself
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
        // The system ends the process when this handler returns: give the tool a moment to finish first.
        g_bInterrupted = true;
        Sleep(1000);
        return TRUE;
    default:
        return FALSE;
    }
}

} // namespace

void CatchInterrupts() {
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

bool InterruptRequested() {
    return g_bInterrupted;
}
