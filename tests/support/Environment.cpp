#include "tests/support/Environment.h"

#include <cstdlib>

#ifdef _WIN32
#include <windows.h>
#endif

void SetProcessVariable(const char* pszName, const std::optional<std::string>& strValue) {
#ifdef _WIN32
    ::_putenv_s(pszName, strValue.value_or("").c_str());
#else
    if (strValue)
        ::setenv(pszName, strValue->c_str(), 1);
    else
        ::unsetenv(pszName);
#endif
}

std::optional<std::string> ProcessVariable(const char* pszName) {
    if (const char* pszValue = std::getenv(pszName))
        return std::string(pszValue);
    return std::nullopt;
}

bool RunsUnderWine() {
#ifdef _WIN32
    const HMODULE hNtdll = ::GetModuleHandleW(L"ntdll.dll");
    return hNtdll && ::GetProcAddress(hNtdll, "wine_get_version");
#else
    return false;
#endif
}
