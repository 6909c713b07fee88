#include "tests/support/Environment.h"

#include <cstdlib>

void SetProcessVariable(const char* pszName, const std::optional<std::string>& strValue) {
    if (strValue)
        ::setenv(pszName, strValue->c_str(), 1);
    else
        ::unsetenv(pszName);
}

bool RunsUnderWine() {
    return false;
}
