#include "cli/Terminal.h"

#include "base/WidePathWin.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <algorithm>
#include <string_view>

bool IsTerminal(std::FILE* pStream) {
    return ::_isatty(::_fileno(pStream)) != 0;
}

void UseBinaryStreams() {
    std::fflush(stdout);
    std::fflush(stderr);
    ::_setmode(::_fileno(stdout), _O_BINARY);
    ::_setmode(::_fileno(stderr), _O_BINARY);
}

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
    int nCount = 0;
    LPWSTR* pArguments = CommandLineToArgvW(GetCommandLineW(), &nCount);
    if (!pArguments)
        return std::vector<std::string>(argv + std::min(argc, 1), argv + argc);
    std::vector<std::string> arguments;
    for (int nIndex = 1; nIndex < nCount; ++nIndex) {
        // An argument UTF-8 cannot hold (half of a UTF-16 pair) arrives as a name no file has.
        const std::wstring_view argument = pArguments[nIndex];
        arguments.push_back(argument.empty() ? std::string() : NarrowPath(argument).value_or(std::string("?")));
    }
    LocalFree(pArguments);
    return arguments;
}
