#pragma once

#include <string>

// The name under which the program finds the device: the symbolic link <dir>/ports/COM<n> to the slave's path.
// Made on construction (creating ports/ if needed and replacing a stale link) and removed on destruction, unless
// another simulator has since put its own link in its place.
class CPortLink {
public:
    // Throws std::filesystem::filesystem_error when the link cannot be made.
    CPortLink(const std::string& strDirectory, int nPort, const std::string& strTarget);
    ~CPortLink();
    CPortLink(const CPortLink&) = delete;
    CPortLink& operator=(const CPortLink&) = delete;

    const std::string& Path() const { return m_strPath; }
    // Removes the link now (also safe to call from the end of the program more than once).
    void Remove();

private:
    std::string m_strPath;
    std::string m_strTarget;
    bool m_bPresent = false;
};
