#pragma once

#include <string>

// The directory of the running executable, without a trailing separator. The program's files live there unless it
// runs installed (base/FileLocations.h decides from this directory). Tests may point it elsewhere, so that the files
// of one test never meet those of another.
std::string ExecutableDirectory();
void SetExecutableDirectory(std::string strDirectory);

// The running executable's own directory as the system names it, whatever SetExecutableDirectory said: the part of
// each platform (ExecutableDirectoryPosix.cpp, ExecutableDirectoryWin.cpp).
std::string RunningExecutableDirectory();

// How many times SetExecutableDirectory has been called: what was decided from the directory is due again when this
// changes (a test may point it at the same directory with other variables in force).
unsigned ExecutableDirectoryChanges();
