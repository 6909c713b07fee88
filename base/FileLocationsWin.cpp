#include "base/FileLocations.h"

#include "base/WidePathWin.h"

#include <windows.h>

#include <knownfolders.h>
#include <objbase.h>
#include <shlobj.h>

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

// A setup program puts the program into Program Files, which belongs to the system: there, as anywhere the user
// may not write, it runs installed and keeps each user's files in their roaming application data. A portable copy,
// unpacked into a folder of the user's, keeps them beside itself. The folders are the ones the system names through
// its known-folder API, never environment variables read by hand.

namespace {

struct CTaskMemFree {
    void operator()(wchar_t* psz) const { CoTaskMemFree(psz); }
};

// The path of a known folder of the system; nothing when it has none (a folder of another architecture's).
std::optional<std::wstring> KnownFolder(REFKNOWNFOLDERID id) {
    wchar_t* pszPath = nullptr;
    const HRESULT result = SHGetKnownFolderPath(id, KF_FLAG_DONT_VERIFY, nullptr, &pszPath);
    std::unique_ptr<wchar_t, CTaskMemFree> path(pszPath);
    if (FAILED(result) || !path || !*path)
        return std::nullopt;
    return std::wstring(path.get());
}

// A path with Windows's own separators only and without trailing ones.
std::wstring WithBackslashes(std::wstring path) {
    for (wchar_t& ch : path)
        if (ch == L'/')
            ch = L'\\';
    while (path.size() > 1 && path.back() == L'\\')
        path.pop_back();
    return path;
}

// Whether directory is folder or lies in it, as Windows compares paths: without regard to case, either separator.
bool IsWithin(const std::wstring& directory, const std::wstring& folder) {
    const std::wstring inner = WithBackslashes(directory);
    const std::wstring outer = WithBackslashes(folder);
    if (outer.empty() || inner.size() < outer.size())
        return false;
    const int nLength = static_cast<int>(outer.size());
    if (CompareStringOrdinal(inner.data(), nLength, outer.data(), nLength, TRUE) != CSTR_EQUAL)
        return false;
    return inner.size() == outer.size() || inner[outer.size()] == L'\\';
}

bool IsInProgramFiles(const std::wstring& directory) {
    for (REFKNOWNFOLDERID id : {FOLDERID_ProgramFiles, FOLDERID_ProgramFilesX86})
        if (const auto folder = KnownFolder(id); folder && IsWithin(directory, *folder))
            return true;
    return false;
}

// Whether the user may make a file in the directory: the system's answer to trying, which takes in its access rules,
// a read-only medium and, under Wine, the Unix file modes. The trial file goes as its handle is closed.
bool MayWriteIn(const std::wstring& directory) {
    static std::atomic<unsigned> nTrial{0};
    const std::wstring name =
        L"\\~kalvora-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(nTrial++) + L".tmp";
    const HANDLE hFile =
        CreateFileW((WithBackslashes(directory) + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                    FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (hFile == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(hFile);
    return true;
}

} // namespace

CFileLocationFacts GatherFileLocationFacts(const std::string& strExecutableDirectory) {
    CFileLocationFacts facts;
    facts.m_strExecutableDirectory = strExecutableDirectory;
    const std::wstring directory = WidePath(strExecutableDirectory).value_or(std::wstring());
    facts.m_bInProgramFiles = IsInProgramFiles(directory);
    // Program Files decides alone: no trial file there (Wine would let it be made).
    facts.m_bExecutableDirectoryWritable = !facts.m_bInProgramFiles && !directory.empty() && MayWriteIn(directory);
    // The shipped files sit beside the executable, in a setup program's install and in a portable copy alike.
    facts.m_bShippedDirectoryPresent = false;
    // The user's own folder whatever letters its name has: UTF-8, never the ANSI code page's best fit, which would
    // name another user's folder or none ("Łukasz" as "Lukasz").
    if (const auto appData = KnownFolder(FOLDERID_RoamingAppData))
        facts.m_strAppData = NarrowPath(*appData);
    return facts;
}
