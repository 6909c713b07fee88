// The save question and the open question as the system's file dialogs.

#include "window/common/Native.h"

#include "window/win32/Win32Window.h"

#include "base/Reporter.h"
#include "base/WidePathWin.h"

#include <algorithm>

namespace {

// Long enough for any path the dialog returns.
constexpr std::size_t kPathCharacters = 32768;

const OPENFILENAMEW*& Shown() {
    static const OPENFILENAMEW* pShown = nullptr;
    return pShown;
}

const OPENFILENAMEW*& ShownOpen() {
    static const OPENFILENAMEW* pShown = nullptr;
    return pShown;
}

// The filter list: each description and pattern, each ended by a zero, and one more zero at the end.
void AddFilter(std::wstring& filter, const std::string& strName, const std::string& strPattern) {
    filter += ToWide(WidenShown(strName));
    filter += L'\0';
    filter += ToWide(WidenShown(strPattern));
    filter += L'\0';
}

} // namespace

const OPENFILENAMEW* ShownSaveDialog() {
    return Shown();
}

const OPENFILENAMEW* ShownOpenDialog() {
    return ShownOpen();
}

std::optional<CSaveChoice> NativeSaveFileName(const CSaveQuestion& question, CWnd* pOwner) {
    std::wstring filter;
    AddFilter(filter, question.strFilterName, question.strFilterPattern);
    for (const CSaveFileType& type : question.moreTypes)
        AddFilter(filter, type.strName, type.strPattern);
    filter += L'\0';
    const std::wstring defaultExtension = ToWide(WidenShown(question.strDefaultExtension));
    std::wstring path = ToWide(WidenShown(question.strInitialName));
    path.resize(kPathCharacters, L'\0');

    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = RootWindowOf(pOwner);
    dialog.lpstrFilter = filter.c_str();
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = path.data();
    dialog.nMaxFile = static_cast<DWORD>(path.size());
    dialog.lpstrDefExt = defaultExtension.empty() ? nullptr : defaultExtension.c_str();
    dialog.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;
    if (question.bConfirmReplace)
        dialog.Flags |= OFN_OVERWRITEPROMPT;

    Shown() = &dialog;
    const BOOL bChosen = GetSaveFileNameW(&dialog);
    Shown() = nullptr;
    if (!bChosen)
        return std::nullopt;
    path.resize(wcsnlen(path.c_str(), path.size()));
    // The path as the file functions of base/ take it, in UTF-8, whatever letters it has. One that UTF-8 cannot hold
    // (half of a UTF-16 pair alone) cannot be written: the user hears so, as of any file that cannot be made.
    std::optional<std::string> chosen = NarrowPath(path);
    if (!chosen) {
        ShowMessageBox(kMsgCantCreateFile, pOwner);
        return std::nullopt;
    }
    // The filter chosen, counted from 1 by the dialog.
    const int nType = dialog.nFilterIndex >= 1 ? static_cast<int>(dialog.nFilterIndex) - 1 : 0;
    return CSaveChoice(std::move(*chosen), nType);
}

std::optional<std::string> NativeOpenFileName(const COpenQuestion& question, CWnd* pOwner) {
    std::wstring filter;
    for (const CSaveFileType& type : question.types)
        AddFilter(filter, type.strName, type.strPattern);
    filter += L'\0';
    const std::wstring title = ToWide(WidenShown(question.strTitle));
    // A full path starts the dialog in its folder with its name in the field; one the system cannot take starts it
    // where the system likes.
    std::wstring path = WidePath(question.strInitialPath).value_or(std::wstring());
    std::replace(path.begin(), path.end(), L'/', L'\\');
    path.resize(kPathCharacters, L'\0');

    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = RootWindowOf(pOwner);
    dialog.lpstrFilter = question.types.empty() ? nullptr : filter.c_str();
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = path.data();
    dialog.nMaxFile = static_cast<DWORD>(path.size());
    dialog.lpstrTitle = title.empty() ? nullptr : title.c_str();
    dialog.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;

    ShownOpen() = &dialog;
    const BOOL bChosen = GetOpenFileNameW(&dialog);
    ShownOpen() = nullptr;
    if (!bChosen)
        return std::nullopt;
    path.resize(wcsnlen(path.c_str(), path.size()));
    // The path as the file functions of base/ take it; one that UTF-8 cannot hold cannot be read.
    std::optional<std::string> chosen = NarrowPath(path);
    if (!chosen) {
        ShowMessageBox(kMsgCantReadFile, pOwner);
        return std::nullopt;
    }
    return chosen;
}
