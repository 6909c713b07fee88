#include "base/ExecutableDirectory.h"

#include <mutex>

namespace {

std::mutex g_directoryLock;
std::string g_strDirectory; // empty: the running executable's own directory
unsigned g_nChanges = 0;

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
    ++g_nChanges;
}

unsigned ExecutableDirectoryChanges() {
    std::lock_guard lock(g_directoryLock);
    return g_nChanges;
}
