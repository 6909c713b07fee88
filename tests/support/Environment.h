#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

// Sets a variable of this process's environment, or removes it when strValue is empty (std::nullopt): setenv and
// unsetenv on POSIX, _putenv_s on Windows (where an empty value removes the variable).
void SetProcessVariable(const char* pszName, const std::optional<std::string>& strValue);
// The variable as the environment holds it now.
std::optional<std::string> ProcessVariable(const char* pszName);
// Whether this Windows program runs under Wine (false on every other system): for the few things Wine does not do
// as Windows does, which a test names when it skips them.
bool RunsUnderWine();

// Points the system's temporary directory at a directory (a program path, UTF-8 on Windows) while it lives: TMPDIR on
// POSIX systems, TMP and TEMP on Windows, set through the wide functions so that any letters reach the system.
class CTemporaryDirectoryVariable {
public:
    explicit CTemporaryDirectoryVariable(const std::string& strDirectory);
    ~CTemporaryDirectoryVariable();
    CTemporaryDirectoryVariable(const CTemporaryDirectoryVariable&) = delete;
    CTemporaryDirectoryVariable& operator=(const CTemporaryDirectoryVariable&) = delete;

private:
    std::vector<std::pair<std::string, std::optional<std::u16string>>> m_saved; // each variable as it was
};
