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

CTemporaryDirectoryVariable::CTemporaryDirectoryVariable(const std::string& strDirectory) {
    const std::optional<std::string> saved = ProcessVariable("TMPDIR");
    m_saved.emplace_back("TMPDIR", saved ? std::optional<std::u16string>(std::u16string(saved->begin(), saved->end()))
                                         : std::nullopt);
    SetProcessVariable("TMPDIR", strDirectory);
}

CTemporaryDirectoryVariable::~CTemporaryDirectoryVariable() {
    for (const auto& [strName, saved] : m_saved)
        SetProcessVariable(strName.c_str(), saved
                                                ? std::optional<std::string>(std::string(saved->begin(), saved->end()))
                                                : std::nullopt);
}
