#pragma once

#include <cstdio>

// The tool's standard streams as the platform has them.

// True when the stream goes to a terminal (a console window), where a progress line may be redrawn in place.
bool IsTerminal(std::FILE* pStream);
// Makes standard output and standard error pass their bytes on as they are. Windows writes them in text mode, which
// would turn every "\n" into "\r\n", also the one of a "\r\n" that a memory export already ends its lines with.
void UseBinaryStreams();
