#pragma once

#include <chrono>
#include <memory>
#include <string>

// A window program of this project run as a user runs it, watched and driven from outside its process through the
// messages its windows understand: its main window found among the top-level windows of its process, a button
// pressed by the notification the button sends its dialog, a control's text read by WM_GETTEXT. For the installed
// program's test, the window program's benchmark and the screenshot under Wine.
class CWindowProgramWin {
public:
    // Starts strExecutable (a Windows path), with strArguments after it on its command line, in the system's
    // temporary folder, so that nothing depends on the folder it is started in. Throws std::runtime_error when it
    // cannot be started.
    explicit CWindowProgramWin(const std::string& strExecutable, const std::string& strArguments = {});
    // Closes the program if it still runs, and ends it when it does not close.
    ~CWindowProgramWin();
    CWindowProgramWin(const CWindowProgramWin&) = delete;
    CWindowProgramWin& operator=(const CWindowProgramWin&) = delete;

    // Waits until the process shows a top-level window with the caption given; false after timeout. The time
    // from the start to the moment it was seen is then Startup().
    bool WaitForWindow(const std::string& strCaption, std::chrono::milliseconds timeout);
    std::chrono::microseconds Startup() const { return m_startup; }

    // The text of the main window's control nId (WM_GETTEXT); empty when there is no such control.
    std::string ControlText(int nId) const;
    // Presses button nId of the main window: the BN_CLICKED notification the button sends its dialog.
    void Click(int nId) const;
    // Waits up to `timeout` until a top-level window of the process with the caption given is shown, other than
    // the main window; its control nId's text then goes to strText. False when none comes.
    bool WaitForDialogText(const std::string& strCaption, int nId, std::string& strText,
                           std::chrono::milliseconds timeout) const;
    // Closes the dialog of that caption as its close box does (OnClose, by default a cancel).
    void CancelDialog(const std::string& strCaption) const;

    // Asks the main window to close, as its close box does, and waits for the process to end. False when it does
    // not end within timeout.
    bool Close(std::chrono::milliseconds timeout);
    // Waits for the process to end by itself; false when it has not ended within timeout.
    bool WaitForEnd(std::chrono::milliseconds timeout) const;
    // The exit status once the process has ended.
    unsigned long ExitCode() const;
    // The CPU time the process has taken so far, user and kernel, in seconds: the larger of what the system says of
    // the process and of its threads (Wine accounts another process's time by its threads only).
    double CpuSeconds() const;

    struct Impl;

private:
    std::unique_ptr<Impl> m_pImpl;
    std::chrono::microseconds m_startup{0};
};
