#include "tests/support/InstalledLayout.h"

#include "base/ExecutableDirectory.h"
#include "base/FileLocations.h"
#include "base/Files.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

namespace {

// The C library's own: POSIX has setenv and unsetenv, Windows _putenv_s (where an empty value removes the variable).
void SetVariable(const char* pszName, const std::optional<std::string>& strValue) {
#ifdef _WIN32
    ::_putenv_s(pszName, strValue.value_or("").c_str());
#else
    if (strValue)
        ::setenv(pszName, strValue->c_str(), 1);
    else
        ::unsetenv(pszName);
#endif
}

} // namespace

CInstalledLayout::CInstalledLayout() {
    std::filesystem::create_directories(Bin());
    std::filesystem::create_directories(Shipped());
    std::filesystem::create_directories(XdgDataHome());
    if (const char* pszSaved = std::getenv("XDG_DATA_HOME"))
        m_strSavedXdgDataHome = pszSaved;
    SetVariable("XDG_DATA_HOME", XdgDataHome());
    SetExecutableDirectory(Bin());
}

CInstalledLayout::~CInstalledLayout() {
    SetExecutableDirectory({});
    SetVariable("XDG_DATA_HOME", m_strSavedXdgDataHome);
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
