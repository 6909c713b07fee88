#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

class CWnd;

// One entry of a file dialog's list of file types (the save question's and the open question's).
struct CSaveFileType {
    std::string strName;    // the description, shown as it is
    std::string strPattern; // "*.xml"
};

// The system's file-save question.
struct CSaveQuestion {
    std::string strFilterName;            // the description of the first filter, shown as it is
    std::string strFilterPattern;         // its pattern, "*.txt"
    std::string strDefaultExtension;      // appended by the dialog to a name without one; empty: nothing appended
    std::string strInitialName;           // the name the field starts with
    bool bConfirmReplace = true;          // the dialog asks before an existing file is chosen
    std::vector<CSaveFileType> moreTypes; // further filters after the first, in the order the list shows them
};

// What the user chose: the path, as the file functions of base/Files.h take it, and the filter that was selected
// when the user saved (0 the first, 1 the first of moreTypes, ...).
struct CSaveChoice {
    CSaveChoice(std::string strChosenPath, int nChosenType = 0)
        : strPath(std::move(strChosenPath)), nType(nChosenType) {}
    std::string strPath;
    int nType = 0;
};

// Shows the save question over pOwner: the path and filter chosen, or nothing when the user cancels. The path is as
// the file functions of base/Files.h take it (UTF-8 on Windows, whatever letters it has); a path those functions
// cannot hold (on Windows half of a UTF-16 pair alone, which no keyboard gives) gets the message "Can't open file!"
// and reads as cancelled. No read-only box is offered.
std::optional<CSaveChoice> AskSaveFile(const CSaveQuestion& question, CWnd* pOwner = nullptr);

// Replaces the question, e.g. in a test (a hook that answers with a path alone chooses the first filter); an empty
// hook restores it. Returns the previous hook.
using SaveQuestionHook = std::function<std::optional<CSaveChoice>(const CSaveQuestion& question)>;
SaveQuestionHook SetSaveQuestionHook(SaveQuestionHook hook);

// The system's file-open question: an existing file to read.
struct COpenQuestion {
    std::string strTitle;             // the dialog's title, shown as it is; empty: the system's own
    std::vector<CSaveFileType> types; // the list of file types, the first one chosen; none: every file shown
    std::string strInitialPath;       // a file the dialog starts at (its folder, its name in the field); may be empty
};

// Shows the open question over pOwner: the path of the file chosen, or nothing when the user cancels. Only an
// existing file can be chosen (the system's dialog says so of a name that is none). The path is as the file
// functions of base/Files.h take it; a path those functions cannot hold (on Windows half of a UTF-16 pair alone)
// gets the message "Can't Open File!" and reads as cancelled. No read-only box is offered.
std::optional<std::string> AskOpenFileName(const COpenQuestion& question, CWnd* pOwner = nullptr);

// Replaces the open question, e.g. in a test; an empty hook restores it. Returns the previous hook.
using OpenQuestionHook = std::function<std::optional<std::string>(const COpenQuestion& question)>;
OpenQuestionHook SetOpenQuestionHook(OpenQuestionHook hook);
