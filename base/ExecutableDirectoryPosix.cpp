#include "base/ExecutableDirectory.h"

#include <filesystem>
#include <system_error>

std::string RunningExecutableDirectory() {
    std::error_code error;
    // The path of the running executable; a call from a process without /proc falls back to the working directory.
    const std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error || !executable.has_parent_path())
        return std::filesystem::current_path(error).string();
    return executable.parent_path().string();
}
