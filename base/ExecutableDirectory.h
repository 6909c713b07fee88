#pragma once

#include <string>

// The directory of the running executable, without a trailing separator: the settings, language, program and port
// files live there. Tests may point it elsewhere, so that the files of one test never meet those of another.
std::string ExecutableDirectory();
void SetExecutableDirectory(std::string strDirectory);

// The running executable's own directory as the system names it, whatever SetExecutableDirectory said: the part of
// each platform (ExecutableDirectoryPosix.cpp, ExecutableDirectoryWin.cpp).
std::string RunningExecutableDirectory();
