#include "base/TextRules.h"

#include <algorithm>

namespace {

template <typename Predicate>
std::string_view TrimWhere(std::string_view text, Predicate isTrimmed) {
    while (!text.empty() && isTrimmed(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isTrimmed(text.back()))
        text.remove_suffix(1);
    return text;
}

bool EqualIgnoringCase(char a, char b) {
    return LowerAscii(a) == LowerAscii(b);
}

} // namespace

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

bool IsWhiteSpace(char c) {
    return IsBlank(c) || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

std::string_view TrimBlanks(std::string_view text) {
    return TrimWhere(text, IsBlank);
}

std::string_view TrimWhiteSpace(std::string_view text) {
    return TrimWhere(text, IsWhiteSpace);
}

char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualsIgnoringCase(std::string_view left, std::string_view right) {
    return left.size() == right.size() && std::equal(left.begin(), left.end(), right.begin(), EqualIgnoringCase);
}

bool BeginsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && EqualsIgnoringCase(text.substr(0, prefix.size()), prefix);
}

bool EndsWithIgnoringCase(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && EqualsIgnoringCase(text.substr(text.size() - suffix.size()), suffix);
}

std::string CommandValue(std::string_view value) {
    std::string text(value);
    std::erase_if(text, [](char c) { return c == '\r' || c == '\n'; });
    return text;
}

std::string CsvField(std::string_view text, char cSeparator) {
    const char szSpecial[] = {cSeparator, '"', '\r', '\n', '\0'};
    if (text.find_first_of(szSpecial) == std::string_view::npos)
        return std::string(text);
    std::string field = "\"";
    for (const char c : text) {
        if (c == '"')
            field += '"';
        field += c;
    }
    return field + '"';
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

int Digits(std::string_view text, std::size_t nFirst, std::size_t nCount) {
    if (nFirst > text.size() || nCount > text.size() - nFirst)
        return -1;
    int nValue = 0;
    for (std::size_t i = nFirst; i < nFirst + nCount; ++i) {
        if (!IsDigit(text[i]))
            return -1;
        nValue = nValue * 10 + (text[i] - '0');
    }
    return nValue;
}
