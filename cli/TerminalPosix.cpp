#include "cli/Terminal.h"

#include <unistd.h>

bool IsTerminal(std::FILE* pStream) {
    return ::isatty(::fileno(pStream)) != 0;
}

void UseBinaryStreams() {
    // The streams pass their bytes on as they are.
}

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
    return argc > 1 ? std::vector<std::string>(argv + 1, argv + argc) : std::vector<std::string>();
}
