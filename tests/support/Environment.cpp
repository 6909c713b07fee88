#include "tests/support/Environment.h"

#include <cstdlib>

std::optional<std::string> ProcessVariable(const char* pszName) {
    if (const char* pszValue = std::getenv(pszName))
        return std::string(pszValue);
    return std::nullopt;
}
