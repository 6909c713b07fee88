#include "base/ExecutableDirectory.h"

#include <filesystem>
#include <mutex>
#include <system_error>

namespace {

std::mutex g_directoryLock;
std::string g_strDirectory; // empty: the running executable's own directory

std::string RunningExecutableDirectory() {
    std::error_code error;
    // The path of the running executable; a call from a process without /proc falls back to the working directory.
    const std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error || !executable.has_parent_path())
        return std::filesystem::current_path(error).string();
    return executable.parent_path().string();
}

} // namespace

std::string ExecutableDirectory() {
    std::lock_guard lock(g_directoryLock);
    if (g_strDirectory.empty())
        g_strDirectory = RunningExecutableDirectory();
    return g_strDirectory;
}

void SetExecutableDirectory(std::string strDirectory) {
    std::lock_guard lock(g_directoryLock);
    g_strDirectory = std::move(strDirectory);
}
