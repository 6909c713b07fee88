#include "base/Files.h"

#include <algorithm>
#include <random>

namespace {

constexpr std::string_view kTemporaryMark = ".kalvora-";
constexpr std::size_t kTemporaryUniqueChars = 6;

bool IsLetterOrDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

} // namespace

std::string TemporaryFileName(std::string_view targetName) {
    constexpr std::string_view kAlphabet = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    std::random_device random;
    std::uniform_int_distribution<std::size_t> pick(0, kAlphabet.size() - 1);
    std::string name = ".";
    name += targetName;
    name += kTemporaryMark;
    for (std::size_t nChar = 0; nChar < kTemporaryUniqueChars; ++nChar)
        name += kAlphabet[pick(random)];
    return name;
}

bool IsTemporaryFileName(std::string_view targetName, std::string_view name) {
    if (targetName.empty() || name.size() != 1 + targetName.size() + kTemporaryMark.size() + kTemporaryUniqueChars)
        return false;
    if (name.front() != '.' || name.substr(1, targetName.size()) != targetName ||
        name.substr(1 + targetName.size(), kTemporaryMark.size()) != kTemporaryMark)
        return false;
    const std::string_view unique = name.substr(name.size() - kTemporaryUniqueChars);
    return std::all_of(unique.begin(), unique.end(), IsLetterOrDigit);
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
