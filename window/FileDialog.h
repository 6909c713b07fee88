#pragma once

#include <functional>
#include <optional>
#include <string>

class CWnd;

// The system's file-save question.
struct CSaveQuestion {
    std::string strFilterName;       // the description of the one filter, shown as it is
    std::string strFilterPattern;    // its pattern, "*.txt"
    std::string strDefaultExtension; // appended by the dialog to a name without one; empty: nothing appended
    std::string strInitialName;      // the name the field starts with
    bool bConfirmReplace = true;     // the dialog asks before an existing file is chosen
};

// Shows the save question over pOwner: the path chosen, as the file functions of base/Files.h take it (UTF-8 on
// Windows, whatever letters it has), or nothing when the user cancels. A path those functions cannot hold (on
// Windows half of a UTF-16 pair alone, which no keyboard gives) gets the message "Can't open file!" and reads as
// cancelled. No read-only box is offered.
std::optional<std::string> AskSaveFileName(const CSaveQuestion& question, CWnd* pOwner = nullptr);

// Replaces the question, e.g. in a test; an empty hook restores it. Returns the previous hook.
using SaveQuestionHook = std::function<std::optional<std::string>(const CSaveQuestion& question)>;
SaveQuestionHook SetSaveQuestionHook(SaveQuestionHook hook);
