#pragma once

#include <cstdio>
#include <string>
#include <vector>

// The tool's standard streams as the platform has them.

// True when the stream goes to a terminal (a console window), where a progress line may be redrawn in place.
bool IsTerminal(std::FILE* pStream);
// Makes standard output and standard error pass their bytes on as they are. Windows writes them in text mode, which
// would turn every "\n" into "\r\n", also the one of a "\r\n" that a memory export already ends its lines with.
void UseBinaryStreams();
// The arguments after the program's name as the tool takes them, file names in the program's narrow paths
// (base/Files.h). On Windows they come from the wide command line, in UTF-8: the C runtime's argv is narrowed through
// the ANSI code page, whose best fit would turn "Łódź.txt" into another file's name.
std::vector<std::string> CommandLineArguments(int argc, char** argv);
