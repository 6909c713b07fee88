#include "sim/PortLink.h"

#include <filesystem>
#include <system_error>
#include <unistd.h>

namespace fs = std::filesystem;

CPortLink::CPortLink(const std::string& strDirectory, int nPort, const std::string& strTarget)
    : m_strTarget(strTarget) {
    const fs::path ports = fs::path(strDirectory) / "ports";
    fs::create_directories(ports);
    const fs::path link = ports / ("COM" + std::to_string(nPort));
    m_strPath = link.string();
    // Made under a private name and renamed over the old one, so the name never points nowhere.
    const fs::path temporary = ports / (".COM" + std::to_string(nPort) + "." + std::to_string(getpid()));
    std::error_code ignored;
    fs::remove(temporary, ignored);
    fs::create_symlink(strTarget, temporary);
    std::error_code error;
    fs::rename(temporary, link, error);
    if (error) {
        fs::remove(temporary, ignored);
        throw fs::filesystem_error("cannot make the port link", link, error);
    }
    m_bPresent = true;
}

CPortLink::~CPortLink() {
    Remove();
}

void CPortLink::Remove() {
    if (!m_bPresent)
        return;
    m_bPresent = false;
    std::error_code error;
    if (fs::read_symlink(m_strPath, error) == fs::path(m_strTarget) && !error)
        fs::remove(m_strPath, error);
}
