// kalvora-sim: the Kalvora timing display on a pseudo-terminal, for the demonstration and the end-to-end tests.

#include "base/FileLocations.h"
#include "base/WallClock.h"
#include "sim/SimCable.h"
#include "sim/SimOptions.h"
#include "sim/SimServer.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <exception>
#include <fcntl.h>
#include <unistd.h>

namespace {

int g_nRequestWriteFd = -1;

extern "C" void OnSignal(int nSignal) {
    const int nSavedErrno = errno;
    const ESimRequest request = nSignal == SIGUSR1   ? ESimRequest::PullCable
                                : nSignal == SIGUSR2 ? ESimRequest::PlugInCable
                                                     : ESimRequest::Stop;
    const char cByte = static_cast<char>(request);
    [[maybe_unused]] const ssize_t nIgnored = write(g_nRequestWriteFd, &cByte, 1);
    errno = nSavedErrno;
}

// The read end of a pipe that receives a request for the server with each signal: Stop for SIGINT, SIGTERM and
// SIGHUP, PullCable for SIGUSR1, PlugInCable for SIGUSR2.
int InstallSignals() {
    int fds[2];
    if (pipe(fds) != 0)
        return -1;
    for (int nFd : fds) {
        fcntl(nFd, F_SETFD, FD_CLOEXEC);
        fcntl(nFd, F_SETFL, fcntl(nFd, F_GETFL) | O_NONBLOCK);
    }
    g_nRequestWriteFd = fds[1];
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    for (int nSignal : {SIGINT, SIGTERM, SIGHUP, SIGUSR1, SIGUSR2})
        sigaction(nSignal, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    return fds[0];
}

} // namespace

int main(int argc, char** argv) {
    std::string strError;
    const auto options = ParseSimOptions({argv + 1, argv + argc}, strError);
    if (!options) {
        std::fprintf(stderr, "kalvora-sim: %s\n", strError.c_str());
        return 2;
    }
    if (options->bHelp) {
        std::fputs(SimUsage().c_str(), stdout);
        return 0;
    }
    const int nRequestFd = InstallSignals();
    if (nRequestFd < 0) {
        std::perror("kalvora-sim: pipe");
        return 1;
    }
    try {
        // By default ports/ goes where the program looks for it: beside the executable, or in the user's directory
        // of an installed program.
        if (options->strDirectory.empty())
            MakeFilesDirectory();
        const std::string strDirectory = options->strDirectory.empty() ? FilesDirectory() : options->strDirectory;
        // Every slave's path goes out as a line of its own: the first at the start, one more at each plug-in.
        CSimCable cable(strDirectory, options->nPort, [](const std::string& strSlavePath) {
            std::printf("%s\n", strSlavePath.c_str());
            std::fflush(stdout);
        });
        CSimServer server(*options,
                          options->clockMs.value_or(MillisecondsOfDay(LocalTimeOf(std::chrono::system_clock::now()))),
                          cable);
        cable.PlugIn();
        return server.Run(nRequestFd);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "kalvora-sim: %s\n", error.what());
        return 1;
    }
}
