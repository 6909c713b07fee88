#include "tests/support/ChildProcess.h"

#include <array>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
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

CChildProcess::CPipe::~CPipe() {
    if (m_hRead >= 0)
        ::close(m_hRead);
}

CChildProcess::CChildProcess(const std::string& strPath, const std::vector<std::string>& args) {
    int outFds[2];
    int errFds[2];
    if (::pipe2(outFds, O_CLOEXEC) != 0)
        throw std::runtime_error("no pipe for " + strPath);
    if (::pipe2(errFds, O_CLOEXEC) != 0) {
        ::close(outFds[0]);
        ::close(outFds[1]);
        throw std::runtime_error("no pipe for " + strPath);
    }
    m_out.m_hRead = outFds[0];
    m_err.m_hRead = errFds[0];
    ::fcntl(m_out.m_hRead, F_SETFL, ::fcntl(m_out.m_hRead, F_GETFL) | O_NONBLOCK);
    ::fcntl(m_err.m_hRead, F_SETFL, ::fcntl(m_err.m_hRead, F_GETFL) | O_NONBLOCK);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, outFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, errFds[1], STDERR_FILENO);
    std::vector<std::string> argv = {strPath};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> pointers;
    for (std::string& strArg : argv)
        pointers.push_back(strArg.data());
    pointers.push_back(nullptr);
    const int nError = ::posix_spawn(&m_nPid, strPath.c_str(), &actions, nullptr, pointers.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(outFds[1]);
    ::close(errFds[1]);
    if (nError != 0) {
        m_nPid = -1;
        throw std::runtime_error("cannot start " + strPath);
    }
}

CChildProcess::~CChildProcess() {
    if (m_nPid > 0) {
        ::kill(m_nPid, SIGKILL);
        int nStatus = 0;
        while (::waitpid(m_nPid, &nStatus, 0) < 0 && errno == EINTR) {
        }
    }
}

bool CChildProcess::Drain(CPipe& pipe, std::string& strInto) {
    std::array<char, 4096> buffer{};
    for (;;) {
        const ssize_t nRead = ::read(pipe.m_hRead, buffer.data(), buffer.size());
        if (nRead > 0) {
            strInto.append(buffer.data(), static_cast<std::size_t>(nRead));
            continue;
        }
        if (nRead < 0 && errno == EINTR)
            continue;
        return nRead == 0; // true: the child closed it
    }
}

void CChildProcess::Collect(std::chrono::milliseconds duration) {
    const auto deadline = Clock::now() + duration;
    bool bOutOpen = true;
    bool bErrOpen = true;
    while (bOutOpen || bErrOpen) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            break;
        // A pipe the child has closed is left out (a negative descriptor is skipped).
        std::array<pollfd, 2> waits{pollfd{bOutOpen ? m_out.m_hRead : -1, POLLIN, 0},
                                    pollfd{bErrOpen ? m_err.m_hRead : -1, POLLIN, 0}};
        const int nReady = ::poll(waits.data(), waits.size(), static_cast<int>(left.count()));
        if (nReady < 0 && errno == EINTR)
            continue;
        if (nReady <= 0)
            break;
        if (waits[0].revents != 0)
            bOutOpen = !Drain(m_out, m_strOut);
        if (waits[1].revents != 0)
            bErrOpen = !Drain(m_err, m_strErr);
    }
    // Both closed: the child is ending; a caller that waits for it must not spin meanwhile.
    if (!bOutOpen && !bErrOpen)
        std::this_thread::sleep_for(std::chrono::milliseconds{2});
}

int CChildProcess::Wait(std::chrono::milliseconds timeout) {
    if (m_nPid <= 0)
        return m_nExitCode;
    const auto deadline = Clock::now() + timeout;
    int nStatus = 0;
    for (;;) {
        Collect(std::chrono::milliseconds{20});
        const pid_t nDone = ::waitpid(m_nPid, &nStatus, WNOHANG);
        if (nDone == m_nPid) {
            m_nExitCode = ExitCodeOf(nStatus);
            break;
        }
        if (Clock::now() >= deadline) {
            ::kill(m_nPid, SIGKILL);
            while (::waitpid(m_nPid, &nStatus, 0) < 0 && errno == EINTR) {
            }
            m_nExitCode = -1;
            break;
        }
    }
    m_nPid = -1;
    Drain(m_out, m_strOut);
    Drain(m_err, m_strErr);
    return m_nExitCode;
}

void CChildProcess::Signal(int nSignal) const {
    if (m_nPid > 0)
        ::kill(m_nPid, nSignal);
}

CProgramRun RunProgram(const std::string& strPath, const std::vector<std::string>& args,
                       std::chrono::milliseconds timeout) {
    const auto started = Clock::now();
    CChildProcess child(strPath, args);
    CProgramRun run;
    run.m_nExitCode = child.Wait(timeout);
    run.m_took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started);
    run.m_strOut = child.Out();
    run.m_strErr = child.Err();
    return run;
}
