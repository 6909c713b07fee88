#pragma once

#include "tests/support/TempDir.h"

#include <optional>
#include <string>

// An installed program in a temporary directory: <root>/usr/bin stands for the executable's directory, the shipped
// directory of that layout exists, and $XDG_DATA_HOME names <root>/data while it lives,
// so that the user's files of the program go to <root>/data/kalvora. The variable is restored afterwards.
class CInstalledLayout : public CTempDir {
public:
    CInstalledLayout();
    ~CInstalledLayout();

    std::string Bin() const { return File("usr/bin"); }
    std::string Shipped() const; // ShippedDirectoryFor(Bin()): <root>/usr/share/kalvora as the build configures it
    std::string XdgDataHome() const { return File("data"); }
    std::string User() const { return File("data/kalvora"); }
    // Writes a file of the user's (the directory is made when it is missing) or one of the shipped files.
    void WriteUserFile(const std::string& strName, const std::string& strBytes) const;
    void WriteShippedFile(const std::string& strName, const std::string& strBytes) const;

private:
    std::optional<std::string> m_strSavedXdgDataHome;
};
