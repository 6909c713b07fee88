#pragma once

#include <optional>
#include <string>

// Sets a variable of this process's environment, or removes it when strValue is empty (std::nullopt): setenv and
// unsetenv on POSIX, _putenv_s on Windows (where an empty value removes the variable).
void SetProcessVariable(const char* pszName, const std::optional<std::string>& strValue);
// The variable as the environment holds it now.
std::optional<std::string> ProcessVariable(const char* pszName);
// Whether this Windows program runs under Wine (false on every other system): for the few things Wine does not do
// as Windows does, which a test names when it skips them.
bool RunsUnderWine();
