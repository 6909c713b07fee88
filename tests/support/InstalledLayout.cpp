#include "tests/support/InstalledLayout.h"

#include "base/ExecutableDirectory.h"
#include "base/FileLocations.h"
#include "base/Files.h"
#include "tests/support/Environment.h"

#include <filesystem>
#include <stdexcept>

CInstalledLayout::CInstalledLayout() {
    std::filesystem::create_directories(Bin());
    std::filesystem::create_directories(Shipped());
    std::filesystem::create_directories(XdgDataHome());
    m_strSavedXdgDataHome = ProcessVariable("XDG_DATA_HOME");
    SetProcessVariable("XDG_DATA_HOME", XdgDataHome());
    SetExecutableDirectory(Bin());
}

CInstalledLayout::~CInstalledLayout() {
    SetExecutableDirectory({});
    SetProcessVariable("XDG_DATA_HOME", m_strSavedXdgDataHome);
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
