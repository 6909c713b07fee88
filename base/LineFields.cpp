#include "base/LineFields.h"

#include "base/TextRules.h"

#include <climits>
#include <cstdint>

std::string Field(std::string_view line, std::size_t nFirst, std::size_t nCount) {
    if (nFirst >= line.size())
        return {};
    return std::string(line.substr(nFirst, nCount));
}

bool HasPrefix(std::string_view line, std::string_view prefix) {
    return line.substr(0, prefix.size()) == prefix;
}

int ParseLeadingInt(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsWhiteSpace(text[i]))
        ++i;
    bool bNegative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        bNegative = text[i] == '-';
        ++i;
    }
    // Accumulate the magnitude with a ceiling just above INT_MAX, so forty digits cannot overflow.
    constexpr std::int64_t kCeiling = static_cast<std::int64_t>(INT_MAX) + 1;
    std::int64_t nMagnitude = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        nMagnitude = nMagnitude * 10 + (text[i] - '0');
        if (nMagnitude > kCeiling)
            nMagnitude = kCeiling;
    }
    if (bNegative)
        return static_cast<int>(-nMagnitude); // -2147483648 at most
    return nMagnitude > INT_MAX ? INT_MAX : static_cast<int>(nMagnitude);
}
