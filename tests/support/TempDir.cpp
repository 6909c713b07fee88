#include "tests/support/TempDir.h"

#include "base/ExecutableDirectory.h"
#include "base/FileLocations.h"
#include "base/Files.h"

#include <filesystem>
#include <random>
#include <stdexcept>
#include <system_error>

namespace {

constexpr int kNameAttempts = 100;

} // namespace

CTempDir::CTempDir() {
    // A fresh name of our own: create_directory tells whether it made the directory or found one there.
    std::random_device random;
    std::error_code error;
    const std::filesystem::path temporary = std::filesystem::temp_directory_path(error);
    for (int nAttempt = 0; !error && nAttempt < kNameAttempts; ++nAttempt) {
        const std::filesystem::path path = temporary / ("kalvora-" + std::to_string(random() % 1000000000u));
        if (std::filesystem::create_directory(path, error)) {
            std::filesystem::permissions(path, std::filesystem::perms::owner_all, error); // for this user alone
            // The core builds its paths with "/", on Windows too.
            m_strPath = path.generic_string();
            return;
        }
    }
    throw std::runtime_error("cannot create a temporary directory");
}

CTempDir::~CTempDir() {
    std::error_code error;
    std::filesystem::remove_all(m_strPath, error);
}

CExecutableDirectory::CExecutableDirectory() {
    SetExecutableDirectory(Path());
}

CExecutableDirectory::~CExecutableDirectory() {
    SetExecutableDirectory({}); // back to the running executable's own directory
}

CInstalledLayout::CInstalledLayout() {
    std::filesystem::create_directories(Bin());
    std::filesystem::create_directories(Shipped());
    std::filesystem::create_directories(XdgDataHome());
    if (const char* pszSaved = std::getenv("XDG_DATA_HOME"))
        m_strSavedXdgDataHome = pszSaved;
    setenv("XDG_DATA_HOME", XdgDataHome().c_str(), 1);
    SetExecutableDirectory(Bin());
}

CInstalledLayout::~CInstalledLayout() {
    SetExecutableDirectory({});
    if (m_strSavedXdgDataHome)
        setenv("XDG_DATA_HOME", m_strSavedXdgDataHome->c_str(), 1);
    else
        unsetenv("XDG_DATA_HOME");
}

std::string CInstalledLayout::Shipped() const {
    return ShippedDirectoryFor(Bin());
}

void CInstalledLayout::WriteUserFile(const std::string& strName, const std::string& strBytes) const {
    std::filesystem::create_directories(User());
    if (!WriteFileReplacing(User() + "/" + strName, strBytes))
        throw std::runtime_error("cannot write the user's " + strName);
}

void CInstalledLayout::WriteShippedFile(const std::string& strName, const std::string& strBytes) const {
    if (!WriteFileReplacing(Shipped() + "/" + strName, strBytes))
        throw std::runtime_error("cannot write the shipped " + strName);
}
