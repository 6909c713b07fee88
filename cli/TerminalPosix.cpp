#include "cli/Terminal.h"

#include <unistd.h>

bool IsTerminal(std::FILE* pStream) {
    return ::isatty(::fileno(pStream)) != 0;
}

void UseBinaryStreams() {
    // The streams pass their bytes on as they are.
}
