// The INI reader and writer on arbitrary file contents, section and key names and values.
#include "base/IniFile.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

namespace {

void Check(bool bCondition) {
    if (!bCondition)
        std::abort();
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

bool HasLineBreak(std::string_view text) {
    return text.find_first_of("\r\n") != std::string_view::npos;
}

// Names that every file can hold: letters, digits and inner blanks.
bool IsPlainName(std::string_view name, bool bMayBeEmpty) {
    if (Trim(name).empty())
        return bMayBeEmpty;
    for (const char c : name) {
        const bool bPlain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || IsBlank(c);
        if (!bPlain)
            return false;
    }
    return true;
}

// True when two names may be the same name to the file; errs towards true (it folds more than letters).
bool MaybeSameName(std::string_view left, std::string_view right) {
    left = Trim(left);
    right = Trim(right);
    return left.size() == right.size() &&
           std::equal(left.begin(), left.end(), right.begin(), [](char a, char b) { return (a | 0x20) == (b | 0x20); });
}

// A value as it reads back: up to its first NUL, trimmed, out of a pair of enclosing quotes, cut to 199.
std::optional<std::string> ExpectedRead(std::string_view value) {
    std::string_view read = Trim(value.substr(0, value.find('\0')));
    if (read.size() >= 2 && (read.front() == '"' || read.front() == '\'') && read.back() == read.front())
        read = read.substr(1, read.size() - 2);
    if (read.empty())
        return std::nullopt;
    return std::string(read.substr(0, CIniFile::kValueLimit));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t nSize) {
    FuzzedDataProvider provider(data, nSize);
    const std::size_t nLimit = provider.ConsumeIntegralInRange<std::size_t>(0, 20000);
    const std::string section = provider.ConsumeRandomLengthString(32);
    const std::string key = provider.ConsumeRandomLengthString(32);
    const std::string otherKey = provider.ConsumeRandomLengthString(32);
    const std::string value = provider.ConsumeRandomLengthString(400);
    const std::string text = provider.ConsumeRemainingBytesAsString();

    // A value that arrives is not empty, one line without NUL, and at most 199 characters; it begins with a blank
    // only when the blank stood inside quotes.
    const std::optional<std::string> before = CIniFile::GetStringFromText(text, section, key);
    if (before) {
        Check(!before->empty() && before->size() <= CIniFile::kValueLimit);
        Check(!HasLineBreak(*before) && before->find('\0') == std::string::npos);
        Check(!IsBlank(before->front()) || text.find_first_of("\"'") != std::string::npos);
    }

    // A section's entries fit the limit with their terminators, and each is a trimmed line.
    std::size_t nCharacters = 1;
    for (const std::string& entry : CIniFile::GetSectionFromText(text, section, nLimit)) {
        Check(!entry.empty() && !HasLineBreak(entry) && !IsBlank(entry.front()));
        nCharacters += entry.size() + 1;
    }
    Check(nCharacters == 1 || nCharacters <= nLimit);

    // A write that changes the text can be read back, and leaves every other key of the file as it was.
    const std::string written = CIniFile::WriteStringToText(text, section, key, value);
    const bool bPlain = IsPlainName(section, true) && IsPlainName(key, false) && !HasLineBreak(value) &&
                        value.find('\0') == std::string::npos;
    if (written != text || bPlain)
        Check(CIniFile::GetStringFromText(written, section, key) == ExpectedRead(value));
    if (!MaybeSameName(otherKey, key))
        Check(CIniFile::GetStringFromText(written, section, otherKey) ==
              CIniFile::GetStringFromText(text, section, otherKey));
    if (!MaybeSameName(otherKey, section))
        Check(CIniFile::GetStringFromText(written, otherKey, key) == CIniFile::GetStringFromText(text, otherKey, key));
    // Writing the same value again changes nothing (when the value does not start with a blank, which the file
    // keeps after the "=").
    if (value.empty() || !IsBlank(value.front()))
        Check(CIniFile::WriteStringToText(written, section, key, value) == written);
    return 0;
}
