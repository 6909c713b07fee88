#include "tests/support/Environment.h"

#include <cstdlib>

#include <windows.h>

void SetProcessVariable(const char* pszName, const std::optional<std::string>& strValue) {
    ::_putenv_s(pszName, strValue.value_or("").c_str());
}

bool RunsUnderWine() {
    const HMODULE hNtdll = ::GetModuleHandleW(L"ntdll.dll");
    return hNtdll && ::GetProcAddress(hNtdll, "wine_get_version");
}
