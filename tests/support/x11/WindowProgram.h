#pragma once

#include <X11/Xlib.h>

#include <chrono>
#include <string>
#include <sys/types.h>
#include <vector>

// The window program as a desktop sees it, in the X display of $DISPLAY (run under xvfb-run): for the tests and
// benchmarks that start the real executable and watch its windows from outside.

// The title of a window, empty when it has none.
std::string WindowTitle(Display* display, Window window);
// Waits for a top-level window with the title to be mapped (the caller selected SubstructureNotifyMask on the root
// window before the program started); 0 when none comes in time.
Window WaitForMappedWindow(Display* display, const char* pszTitle, std::chrono::seconds timeout);
// Presses and releases a key through the XTEST extension, to whichever window has the focus.
void PressKey(Display* display, KeySym key);

// The program started with this process's environment less Qt's own variables and those that begin with one of
// droppedPrefixes, plus addedVariables ("NAME=value"), on the xcb platform without the accessibility bus. The
// destructor ends it (SIGTERM) and reaps it.
class CWindowProgram {
public:
    CWindowProgram(const std::string& strPath, const std::vector<std::string>& droppedPrefixes = {},
                   const std::vector<std::string>& addedVariables = {});
    ~CWindowProgram();
    CWindowProgram(const CWindowProgram&) = delete;
    CWindowProgram& operator=(const CWindowProgram&) = delete;

    pid_t Pid() const { return m_nPid; }
    bool Running() const;

private:
    pid_t m_nPid = -1;
};
