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
    const std::string& Target() const { return m_strTarget; }
    // Points the link at another slave in one step, replacing whatever holds the name now: a program that opens
    // the name meets either the old target or the new one, never no link. Throws as the constructor does.
    void Repoint(const std::string& strTarget);
    // Removes the link now (also safe to call from the end of the program more than once).
    void Remove();

private:
    std::string m_strPath;
    std::string m_strTemporaryPath; // where the next target is linked before it is renamed over m_strPath
    std::string m_strTarget;
    bool m_bPresent = false;
};
