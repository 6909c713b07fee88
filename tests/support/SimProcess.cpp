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
    m_output.Reset(pipeFds[0]);
    fcntl(pipeFds[0], F_SETFD, FD_CLOEXEC);
    fcntl(pipeFds[0], F_SETFL, fcntl(pipeFds[0], F_GETFL) | O_NONBLOCK); // NextLine waits by poll
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
        m_nPid = -1;
        throw std::runtime_error("kalvora-sim: cannot start " KALVORA_SIM_PATH);
    }

    const auto deadline = Clock::now() + kStartTimeout;
    m_strDevicePath = NextLine(kStartTimeout);
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

CSimProcess::COutputPipe::~COutputPipe() {
    Reset(-1);
}

void CSimProcess::COutputPipe::Reset(int hRead) {
    if (m_hRead >= 0)
        close(m_hRead);
    m_hRead = hRead;
}

std::string CSimProcess::NextLine(std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    // One byte at a time, so that nothing past the line is taken from the pipe.
    while (m_output.Handle() >= 0) {
        char c = 0;
        const ssize_t nRead = read(m_output.Handle(), &c, 1);
        if (nRead < 0 && errno == EINTR)
            continue;
        if (nRead == 0)
            break; // the simulator has ended
        if (nRead > 0) {
            if (c != '\n') {
                m_strPartialLine += c;
                continue;
            }
            std::string strLine;
            strLine.swap(m_strPartialLine);
            return strLine;
        }
        if (errno != EAGAIN && errno != EWOULDBLOCK)
            break;
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            break;
        pollfd entry{m_output.Handle(), POLLIN, 0};
        if (poll(&entry, 1, static_cast<int>(left.count())) == 0)
            break;
    }
    return {};
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
