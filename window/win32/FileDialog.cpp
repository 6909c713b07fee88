// The save question as the system's file-save dialog.

#include "window/common/Native.h"

#include "window/win32/Win32Window.h"

namespace {

// Long enough for any path the dialog returns.
constexpr std::size_t kPathCharacters = 32768;

const OPENFILENAMEW*& Shown() {
    static const OPENFILENAMEW* pShown = nullptr;
    return pShown;
}

// The path in the system's ANSI code page, the one the file functions of base/ read their paths in; nothing when
// it holds a character that code page lacks.
std::optional<std::string> InAnsiCodePage(const std::wstring& path) {
    if (path.empty())
        return std::nullopt;
    const int nSize = static_cast<int>(path.size());
    BOOL bLost = FALSE;
    const int nBytes =
        WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, path.data(), nSize, nullptr, 0, nullptr, &bLost);
    if (nBytes <= 0 || bLost)
        return std::nullopt;
    std::string bytes(static_cast<std::size_t>(nBytes), '\0');
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, path.data(), nSize, bytes.data(), nBytes, nullptr, nullptr);
    return bytes;
}

// A path the ANSI code page cannot spell may still be reached through the short names of its folders.
std::optional<std::string> ForFileFunctions(const std::wstring& path) {
    if (auto bytes = InAnsiCodePage(path))
        return bytes;
    const std::size_t nSlash = path.find_last_of(L"\\/");
    if (nSlash == std::wstring::npos)
        return std::nullopt;
    const std::wstring directory = path.substr(0, nSlash);
    std::wstring shortDirectory(kPathCharacters, L'\0');
    const DWORD nLength =
        GetShortPathNameW(directory.c_str(), shortDirectory.data(), static_cast<DWORD>(shortDirectory.size()));
    if (nLength == 0 || nLength >= shortDirectory.size())
        return std::nullopt;
    shortDirectory.resize(nLength);
    return InAnsiCodePage(shortDirectory + path.substr(nSlash));
}

} // namespace

const OPENFILENAMEW* ShownSaveDialog() {
    return Shown();
}

std::optional<std::string> NativeSaveFileName(const CSaveQuestion& question, CWnd* pOwner) {
    // The filter list: the description and the pattern, each ended by a zero, and one more zero at the end.
    std::wstring filter = ToWide(WidenShown(question.strFilterName));
    filter += L'\0';
    filter += ToWide(WidenShown(question.strFilterPattern));
    filter += L'\0';
    filter += L'\0';
    const std::wstring defaultExtension = ToWide(WidenShown(question.strDefaultExtension));
    std::wstring path = ToWide(WidenShown(question.strInitialName));
    path.resize(kPathCharacters, L'\0');

    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof(dialog);
    const HWND hOwner = pOwner && pOwner->GetImpl() ? pOwner->GetImpl()->hWnd : nullptr;
    dialog.hwndOwner = hOwner ? GetAncestor(hOwner, GA_ROOT) : nullptr;
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
    return ForFileFunctions(path);
}
