#pragma once

#include "base/Reporter.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

class CWnd;

// The program's message boxes: the fixed English texts of base/Reporter.h, titled with the program's name, with an
// exclamation icon and a single OK button; never translated. And the one question the program asks (whether a file
// may be replaced), with Yes and No, No the default.

// The program's name: the executable's file name without its extension (everything before the last '.'), so that
// renaming the executable renames the title of every message box.
std::string ApplicationName();
// The same rule for any path of an executable ('/' or '\' between directories).
std::string ApplicationNameFromPath(std::string_view executablePath);

// Shows the text (a shown text, window/Text.h) modally over pOwner and returns when the user has pressed OK.
void ShowMessageBox(std::string_view text, CWnd* pOwner = nullptr);
// Asks a question with Yes and No over pOwner; true for Yes. No is the default button, Escape answers No.
bool AskYesNo(std::string_view text, CWnd* pOwner = nullptr);

// The reporter that core objects of a window are given: each message becomes a message box over the window.
Reporter MessageBoxReporter(CWnd* pOwner = nullptr);

// Replaces the modal boxes, e.g. by a recorder in a test; an empty hook restores the boxes. A hook gets each box as
// it would have been shown and answers a question (true: Yes); a box with OK alone ignores the answer. Returns the
// previous hook.
struct CMessageBoxShown {
    std::string strTitle;
    std::string strText;
    bool bQuestion = false;
};
using MessageBoxHook = std::function<bool(const CMessageBoxShown& box)>;
MessageBoxHook SetMessageBoxHook(MessageBoxHook hook);

// Records every box shown while it lives, instead of showing it; questions get the answer given (No unless said).
class CMessageBoxRecorder {
public:
    explicit CMessageBoxRecorder(bool bAnswerYes = false);
    ~CMessageBoxRecorder();
    CMessageBoxRecorder(const CMessageBoxRecorder&) = delete;
    CMessageBoxRecorder& operator=(const CMessageBoxRecorder&) = delete;

    const std::vector<CMessageBoxShown>& Entries() const { return m_entries; }
    // The texts alone, in order.
    std::vector<std::string> Texts() const;

private:
    std::vector<CMessageBoxShown> m_entries;
    bool m_bAnswerYes;
    MessageBoxHook m_previous;
};
