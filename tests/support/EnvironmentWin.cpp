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

namespace {

std::wstring Utf16(const std::string& strText) {
    std::wstring text(strText.size(), L'\0');
    const int nLength = MultiByteToWideChar(CP_UTF8, 0, strText.data(), static_cast<int>(strText.size()), text.data(),
                                            static_cast<int>(text.size()));
    text.resize(nLength > 0 ? static_cast<std::size_t>(nLength) : 0);
    return text;
}

} // namespace

CTemporaryDirectoryVariable::CTemporaryDirectoryVariable(const std::string& strDirectory) {
    for (const char* pszName : {"TMP", "TEMP"}) {
        const std::wstring name = Utf16(pszName);
        std::wstring value(32768, L'\0');
        const DWORD nLength = GetEnvironmentVariableW(name.c_str(), value.data(), static_cast<DWORD>(value.size()));
        std::optional<std::u16string> saved;
        if (nLength > 0 && nLength < value.size())
            saved = std::u16string(value.begin(), value.begin() + nLength);
        m_saved.emplace_back(pszName, saved);
        SetEnvironmentVariableW(name.c_str(), Utf16(strDirectory).c_str());
    }
}

CTemporaryDirectoryVariable::~CTemporaryDirectoryVariable() {
    for (const auto& [strName, saved] : m_saved) {
        const std::wstring value = saved ? std::wstring(saved->begin(), saved->end()) : std::wstring();
        SetEnvironmentVariableW(Utf16(strName).c_str(), saved ? value.c_str() : nullptr);
    }
}
