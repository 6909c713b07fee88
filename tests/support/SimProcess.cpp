#include "tests/support/SimProcess.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

// The first line the child writes to the pipe, without its line end; empty when none comes by the deadline.
std::string ReadFirstLine(int nFd, Clock::time_point deadline) {
    std::string strLine;
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            return {};
        pollfd entry{nFd, POLLIN, 0};
        const int nReady = poll(&entry, 1, static_cast<int>(left.count()));
        if (nReady < 0 && errno == EINTR)
            continue;
        if (nReady <= 0)
            return {};
        char c = 0;
        const ssize_t nRead = read(nFd, &c, 1);
        if (nRead < 0 && errno == EINTR)
            continue;
        if (nRead <= 0)
            return {}; // the simulator ended before it said anything
        if (c == '\n')
            return strLine;
        strLine += c;
    }
}

int ExitCodeOf(int nStatus) {
    if (WIFEXITED(nStatus))
        return WEXITSTATUS(nStatus);
    if (WIFSIGNALED(nStatus))
        return 128 + WTERMSIG(nStatus);
    return -1;
}

} // namespace

CSimProcess::CSimProcess(const std::string& strDirectory, std::vector<std::string> args) {
    for (std::size_t i = 0; i + 1 < args.size(); ++i)
        if (args[i] == "--com")
            m_nPort = std::stoi(args[i + 1]);
    m_strLinkPath = strDirectory + "/ports/COM" + std::to_string(m_nPort);
    args.insert(args.begin(), KALVORA_SIM_PATH);
    args.push_back("--dir");
    args.push_back(strDirectory);

    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        throw std::runtime_error("kalvora-sim: no pipe");
    fcntl(pipeFds[0], F_SETFD, FD_CLOEXEC);
    fcntl(pipeFds[1], F_SETFD, FD_CLOEXEC);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    std::vector<char*> argv;
    for (std::string& strArg : args)
        argv.push_back(strArg.data());
    argv.push_back(nullptr);
    const int nError = posix_spawn(&m_nPid, KALVORA_SIM_PATH, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    if (nError != 0) {
        close(pipeFds[0]);
        m_nPid = -1;
        throw std::runtime_error("kalvora-sim: cannot start " KALVORA_SIM_PATH);
    }

    const auto deadline = Clock::now() + kStartTimeout;
    m_strDevicePath = ReadFirstLine(pipeFds[0], deadline);
    // The simulator prints nothing more on its standard output; a write there would now fail harmlessly.
    close(pipeFds[0]);
    std::error_code error;
    while (!m_strDevicePath.empty() && !std::filesystem::is_symlink(m_strLinkPath, error) && Clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds{5});
    if (m_strDevicePath.empty() || !std::filesystem::is_symlink(m_strLinkPath, error)) {
        Stop();
        throw std::runtime_error("kalvora-sim did not come up (exit code " + std::to_string(m_nExitCode) + ")");
    }
}

CSimProcess::~CSimProcess() {
    Stop();
}

void CSimProcess::Signal(int nSignal) const {
    if (m_nPid > 0)
        kill(m_nPid, nSignal);
}

int CSimProcess::Stop() {
    if (m_nPid <= 0)
        return m_nExitCode;
    kill(m_nPid, SIGTERM);
    const auto deadline = Clock::now() + kStopTimeout;
    int nStatus = 0;
    for (;;) {
        const pid_t nDone = waitpid(m_nPid, &nStatus, WNOHANG);
        if (nDone == m_nPid)
            break;
        if (nDone < 0 && errno != EINTR) {
            nStatus = -1;
            break;
        }
        if (Clock::now() >= deadline) {
            kill(m_nPid, SIGKILL);
            while (waitpid(m_nPid, &nStatus, 0) < 0 && errno == EINTR) {
            }
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds{2});
    }
    m_nExitCode = nStatus == -1 ? -1 : ExitCodeOf(nStatus);
    m_nPid = -1;
    return m_nExitCode;
}
