#include "base/FileLocations.h"

#include "base/ExecutableDirectory.h"
#include "base/Files.h"

#include <filesystem>
#include <mutex>
#include <system_error>

// The relative path from the configured bindir to the configured datadir's kalvora directory, set by the build.
#ifndef KALVORA_SHIPPED_FROM_BINDIR
#define KALVORA_SHIPPED_FROM_BINDIR "../share/kalvora"
#endif

namespace {

namespace fs = std::filesystem;

constexpr const char* kProgramDirectoryName = "kalvora";
// Windows names a program's folder in the application data as the program is called.
constexpr const char* kAppDataDirectoryName = "Kalvora";
constexpr const char* kHomeDataDirectory = ".local/share";
constexpr const char* kSettingsFileName = "config.ini";

bool IsAbsolute(const std::optional<std::string>& strPath) {
    return strPath && !strPath->empty() && FileSystemPath(*strPath).is_absolute();
}

bool IsSeparator(char c) {
    return c == '/' || static_cast<fs::path::value_type>(c) == fs::path::preferred_separator;
}

// A directory path without "." and ".." steps and without a trailing separator (a root keeps its own).
std::string NormalDirectory(const fs::path& path) {
    const fs::path normal = path.lexically_normal();
    const std::size_t nRootLength = NarrowPathOf(normal.root_path()).size();
    std::string strPath = NarrowPathOf(normal);
    while (strPath.size() > 1 && strPath.size() > nRootLength && IsSeparator(strPath.back()))
        strPath.pop_back();
    return strPath;
}

std::mutex g_locationsLock;
std::optional<CFileLocations> g_locations;
unsigned g_nDecidedAt = 0; // ExecutableDirectoryChanges() when g_locations was decided

} // namespace

std::string ShippedDirectoryFor(const std::string& strExecutableDirectory) {
    return NormalDirectory(FileSystemPath(strExecutableDirectory) / KALVORA_SHIPPED_FROM_BINDIR);
}

std::optional<std::string> UserFilesDirectory(const std::optional<std::string>& strXdgDataHome,
                                              const std::optional<std::string>& strHome) {
    if (IsAbsolute(strXdgDataHome))
        return NormalDirectory(FileSystemPath(*strXdgDataHome) / kProgramDirectoryName);
    if (IsAbsolute(strHome))
        return NormalDirectory(FileSystemPath(*strHome) / kHomeDataDirectory / kProgramDirectoryName);
    return std::nullopt;
}

std::optional<std::string> UserFilesDirectory(const std::optional<std::string>& strAppData) {
    if (!strAppData || strAppData->empty())
        return std::nullopt;
    // Joined as plain text, so that the folder's name stays as the system gave it.
    std::string strDirectory = *strAppData;
    while (strDirectory.size() > 1 && IsSeparator(strDirectory.back()))
        strDirectory.pop_back();
    if (!IsSeparator(strDirectory.back()))
        strDirectory += static_cast<char>(fs::path::preferred_separator);
    return strDirectory + kAppDataDirectoryName;
}

CFileLocations FileLocationsFor(const CFileLocationFacts& facts) {
    CFileLocations locations;
    locations.m_bInstalled =
        facts.m_bShippedDirectoryPresent || facts.m_bInProgramFiles || !facts.m_bExecutableDirectoryWritable;
    locations.m_strFiles = facts.m_strExecutableDirectory;
    locations.m_strShipped = facts.m_strExecutableDirectory;
    if (!locations.m_bInstalled)
        return locations;
    const auto strUser = facts.m_strAppData ? UserFilesDirectory(facts.m_strAppData)
                                            : UserFilesDirectory(facts.m_strXdgDataHome, facts.m_strHome);
    if (strUser)
        locations.m_strFiles = *strUser;
    if (facts.m_bShippedDirectoryPresent)
        locations.m_strShipped = ShippedDirectoryFor(facts.m_strExecutableDirectory);
    return locations;
}

CFileLocations CurrentFileLocations() {
    const unsigned nChanges = ExecutableDirectoryChanges();
    std::lock_guard lock(g_locationsLock);
    if (!g_locations || g_nDecidedAt != nChanges) {
        g_locations = FileLocationsFor(GatherFileLocationFacts(ExecutableDirectory()));
        g_nDecidedAt = nChanges;
    }
    return *g_locations;
}

std::string FilesDirectory() {
    return CurrentFileLocations().m_strFiles;
}

std::string ShippedDirectory() {
    return CurrentFileLocations().m_strShipped;
}

std::string DataFilePath(const std::string& strName) {
    const CFileLocations locations = CurrentFileLocations();
    const std::string strUserCopy = locations.m_strFiles + "/" + strName;
    std::error_code error;
    if (fs::exists(FileSystemPath(strUserCopy), error))
        return strUserCopy;
    return locations.m_strShipped + "/" + strName;
}

bool MakeFilesDirectory() {
    const CFileLocations locations = CurrentFileLocations();
    if (!locations.m_bInstalled)
        return true;
    const fs::path directory = FileSystemPath(locations.m_strFiles);
    std::error_code error;
    if (fs::is_directory(directory, error))
        return true;
    // The parents as any program makes them, the program's own directory for its user alone.
    fs::create_directories(directory.parent_path(), error);
    if (!fs::create_directory(directory, error) && !fs::is_directory(directory, error))
        return false;
    fs::permissions(directory, fs::perms::owner_all, fs::perm_options::replace, error);
    return true;
}

bool PrepareFilesDirectory() {
    if (!MakeFilesDirectory())
        return false;
    const CFileLocations locations = CurrentFileLocations();
    if (!locations.m_bInstalled || locations.m_strFiles == locations.m_strShipped)
        return true;
    const std::string strTarget = locations.m_strFiles + "/" + kSettingsFileName;
    std::error_code error;
    if (fs::exists(fs::symlink_status(FileSystemPath(strTarget), error)))
        return true;
    const auto defaults = ReadFileBytes(locations.m_strShipped + "/" + kSettingsFileName);
    return defaults && WriteFileReplacing(strTarget, *defaults);
}
