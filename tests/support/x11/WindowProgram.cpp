#include "tests/support/x11/WindowProgram.h"

#include <X11/extensions/XTest.h>

#include <csignal>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>

extern char** environ;

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr auto kKeyPause = 50ms; // for the program to take the key before the next one

bool BeginsWithAny(const std::string& strVariable, const std::vector<std::string>& prefixes) {
    for (const std::string& strPrefix : prefixes)
        if (strVariable.rfind(strPrefix, 0) == 0)
            return true;
    return false;
}

} // namespace

std::string WindowTitle(Display* display, Window window) {
    char* pszName = nullptr;
    std::string strTitle;
    if (XFetchName(display, window, &pszName) && pszName)
        strTitle = pszName;
    if (pszName)
        XFree(pszName);
    return strTitle;
}

Window WaitForMappedWindow(Display* display, const char* pszTitle, std::chrono::seconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (Clock::now() < deadline) {
        while (XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == MapNotify && WindowTitle(display, event.xmap.window) == pszTitle)
                return event.xmap.window;
        }
        std::this_thread::sleep_for(1ms); // fine enough for the start-up time measured from it
    }
    return 0;
}

void PressKey(Display* display, KeySym key) {
    const KeyCode nKey = XKeysymToKeycode(display, key);
    XTestFakeKeyEvent(display, nKey, True, 0);
    XTestFakeKeyEvent(display, nKey, False, 0);
    XFlush(display);
    std::this_thread::sleep_for(kKeyPause);
}

CWindowProgram::CWindowProgram(const std::string& strPath, const std::vector<std::string>& droppedPrefixes,
                               const std::vector<std::string>& addedVariables) {
    std::vector<std::string> environment;
    for (char** ppsz = environ; *ppsz; ++ppsz) {
        const std::string strVariable = *ppsz;
        if (!BeginsWithAny(strVariable, {"QT_", "NO_AT_BRIDGE="}) && !BeginsWithAny(strVariable, droppedPrefixes))
            environment.push_back(strVariable);
    }
    environment.insert(environment.end(), addedVariables.begin(), addedVariables.end());
    environment.push_back("QT_QPA_PLATFORM=xcb");
    environment.push_back("NO_AT_BRIDGE=1"); // no accessibility bus
    environment.push_back("QT_ACCESSIBILITY=0");
    std::vector<char*> envp;
    for (std::string& strVariable : environment)
        envp.push_back(strVariable.data());
    envp.push_back(nullptr);
    std::string strProgram = strPath;
    char* argv[] = {strProgram.data(), nullptr};
    if (posix_spawn(&m_nPid, strPath.c_str(), nullptr, nullptr, argv, envp.data()) != 0)
        throw std::runtime_error("cannot start " + strPath);
}

CWindowProgram::~CWindowProgram() {
    kill(m_nPid, SIGTERM);
    waitpid(m_nPid, nullptr, 0);
}

bool CWindowProgram::Running() const {
    return waitpid(m_nPid, nullptr, WNOHANG) == 0;
}
