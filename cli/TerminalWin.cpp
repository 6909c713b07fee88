#include "cli/Terminal.h"

#include <fcntl.h>
#include <io.h>

bool IsTerminal(std::FILE* pStream) {
    return ::_isatty(::_fileno(pStream)) != 0;
}

void UseBinaryStreams() {
    std::fflush(stdout);
    std::fflush(stderr);
    ::_setmode(::_fileno(stdout), _O_BINARY);
    ::_setmode(::_fileno(stderr), _O_BINARY);
}
