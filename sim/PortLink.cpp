#include "sim/PortLink.h"

#include <filesystem>
#include <system_error>
#include <unistd.h>

namespace fs = std::filesystem;

CPortLink::CPortLink(const std::string& strDirectory, int nPort, const std::string& strTarget) {
    const fs::path ports = fs::path(strDirectory) / "ports";
    fs::create_directories(ports);
    m_strPath = (ports / ("COM" + std::to_string(nPort))).string();
    m_strTemporaryPath = (ports / (".COM" + std::to_string(nPort) + "." + std::to_string(getpid()))).string();
    Repoint(strTarget);
}

CPortLink::~CPortLink() {
    Remove();
}

void CPortLink::Repoint(const std::string& strTarget) {
    // Made under a private name and renamed over the old one, so the name is never missing.
    std::error_code ignored;
    fs::remove(m_strTemporaryPath, ignored);
    fs::create_symlink(strTarget, m_strTemporaryPath);
    std::error_code error;
    fs::rename(m_strTemporaryPath, m_strPath, error);
    if (error) {
        fs::remove(m_strTemporaryPath, ignored);
        throw fs::filesystem_error("cannot make the port link", m_strPath, error);
    }
    m_strTarget = strTarget;
    m_bPresent = true;
}

void CPortLink::Remove() {
    if (!m_bPresent)
        return;
    m_bPresent = false;
    std::error_code error;
    if (fs::read_symlink(m_strPath, error) == fs::path(m_strTarget) && !error)
        fs::remove(m_strPath, error);
}
