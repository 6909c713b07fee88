#include "tests/support/TempDir.h"

#include "base/ExecutableDirectory.h"

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
