#include "base/Files.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <system_error>

std::optional<std::string> ReadFileBytes(const std::string& strPath) {
    std::error_code error;
    // A directory opens as a stream on some systems and then fails inside the read.
    if (std::filesystem::is_directory(strPath, error))
        return std::nullopt;
    std::ifstream file(strPath, std::ios::binary);
    if (!file)
        return std::nullopt;
    std::string bytes;
    char buffer[65536];
    while (file.read(buffer, sizeof buffer) || file.gcount() > 0)
        bytes.append(buffer, static_cast<std::size_t>(file.gcount()));
    if (file.bad())
        return std::nullopt;
    return bytes;
}

bool WriteFileReplacing(const std::string& strPath, std::string_view bytes) {
    namespace fs = std::filesystem;
    std::error_code error;
    fs::path target(strPath);
    // A file that is a symbolic link stays one: the new content goes where the link points.
    if (fs::is_symlink(target, error)) {
        const fs::path resolved = fs::canonical(target, error);
        if (!error)
            target = resolved;
    }
    if (fs::is_directory(target, error))
        return false;
    const fs::file_status oldStatus = fs::status(target, error);
    const bool bExisted = !error && fs::exists(oldStatus);

    // A name of our own in the same directory, so that the rename never crosses a file system.
    std::random_device random;
    fs::path temporary = target;
    temporary += ".tmp" + std::to_string(random() % 1000000);
    {
        std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
        if (!file)
            return false;
        file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        file.flush();
        if (!file) {
            file.close();
            fs::remove(temporary, error);
            return false;
        }
    }
    if (bExisted) // keep the permissions the user gave the file
        fs::permissions(temporary, oldStatus.permissions(), error);
    fs::rename(temporary, target, error);
    if (error) {
        fs::remove(temporary, error);
        return false;
    }
    return true;
}
