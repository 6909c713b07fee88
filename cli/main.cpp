// kalvora-cli: every device operation of the program without a window.

#include "cli/CliArguments.h"
#include "cli/CliRunner.h"
#include "cli/Interrupt.h"
#include "cli/Terminal.h"

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    UseBinaryStreams();
    const std::vector<std::string> args = CommandLineArguments(argc, argv);
    const CCliParse parse = ParseCliArguments(args);
    if (!parse.m_arguments) {
        std::fprintf(stderr, "kalvora-cli: %s\n\n%s", parse.m_strError.c_str(), CliUsage().c_str());
        return kExitUsage;
    }
    CatchInterrupts();
    CCliRunner runner(*parse.m_arguments, stdout, stderr);
    return runner.Run();
}
