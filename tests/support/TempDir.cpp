#include "tests/support/TempDir.h"

#include "base/ExecutableDirectory.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <system_error>

CTempDir::CTempDir() {
    std::string strTemplate = (std::filesystem::temp_directory_path() / "kalvora-XXXXXX").string();
    if (!mkdtemp(strTemplate.data()))
        throw std::runtime_error("cannot create a temporary directory");
    m_strPath = strTemplate;
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
