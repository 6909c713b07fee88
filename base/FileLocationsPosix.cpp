#include "base/FileLocations.h"

#include <cstdlib>
#include <filesystem>
#include <pwd.h>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace {

std::optional<std::string> Variable(const char* pszName) {
    const char* pszValue = std::getenv(pszName);
    if (!pszValue)
        return std::nullopt;
    return std::string(pszValue);
}

// $HOME, and the account's home directory when it is unset or empty.
std::optional<std::string> HomeDirectory() {
    if (auto strHome = Variable("HOME"); strHome && !strHome->empty())
        return strHome;
    long nSize = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(nSize > 0 ? static_cast<std::size_t>(nSize) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found || !found->pw_dir)
        return std::nullopt;
    return std::string(found->pw_dir);
}

} // namespace

CFileLocationFacts GatherFileLocationFacts(const std::string& strExecutableDirectory) {
    CFileLocationFacts facts;
    facts.m_strExecutableDirectory = strExecutableDirectory;
    facts.m_bExecutableDirectoryWritable = access(strExecutableDirectory.c_str(), W_OK) == 0;
    std::error_code error;
    facts.m_bShippedDirectoryPresent =
        std::filesystem::is_directory(ShippedDirectoryFor(strExecutableDirectory), error);
    facts.m_strXdgDataHome = Variable("XDG_DATA_HOME");
    facts.m_strHome = HomeDirectory();
    return facts;
}
