#include "cli/Interrupt.h"

#include <atomic>
#include <csignal>

namespace {

volatile std::sig_atomic_t g_bInterrupted = 0;

extern "C" void OnInterrupt(int /*nSignal*/) {
    g_bInterrupted = 1;
}

} // namespace

void CatchInterrupts() {
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;
    for (const int nSignal : {SIGINT, SIGTERM, SIGHUP})
        ::sigaction(nSignal, &action, nullptr);
}

bool InterruptRequested() {
    return g_bInterrupted != 0;
}
