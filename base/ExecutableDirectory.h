#pragma once

#include <string>

// The directory of the running executable, without a trailing separator: the settings, language, program and port
// files live there. Tests may point it elsewhere, so that the files of one test never meet those of another.
std::string ExecutableDirectory();
void SetExecutableDirectory(std::string strDirectory);
