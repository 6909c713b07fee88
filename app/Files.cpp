#include "app/Files.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <system_error>

std::optional<std::string> ReadFileBytes(const std::string& strPath) {
    std::ifstream file(strPath, std::ios::binary);
    if (!file)
        return std::nullopt;
    std::string bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    if (file.bad())
        return std::nullopt;
    return bytes;
}

bool WriteFileReplacing(const std::string& strPath, std::string_view bytes) {
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path target(strPath);
    if (fs::is_directory(target, error))
        return false;

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
    fs::rename(temporary, target, error);
    if (error) {
        fs::remove(temporary, error);
        return false;
    }
    return true;
}

std::vector<std::string> SplitTextLines(std::string_view text) {
    std::vector<std::string> lines;
    std::size_t nStart = 0;
    while (nStart < text.size()) {
        const std::size_t nEnd = text.find('\n', nStart);
        if (nEnd == std::string_view::npos) {
            lines.emplace_back(text.substr(nStart));
            break;
        }
        std::size_t nLength = nEnd - nStart;
        if (nLength > 0 && text[nEnd - 1] == '\r')
            --nLength;
        lines.emplace_back(text.substr(nStart, nLength));
        nStart = nEnd + 1;
    }
    return lines;
}
