#include "tests/support/QrReader.h"

#include "tests/support/ChildProcess.h"

#include <chrono>
#include <unistd.h>

namespace {

constexpr const char* kZbarImg = "/usr/bin/zbarimg";
constexpr auto kReadLimit = std::chrono::seconds{20};

} // namespace

std::optional<std::string> ReadQrCodeFile(const std::string& strPngPath) {
    // --raw: the text alone, with a line break after it; exit status 4 when no code was found.
    const CProgramRun run =
        RunProgram(kZbarImg, {"--raw", "-q", "-Sdisable", "-Sqrcode.enable", strPngPath}, kReadLimit);
    if (run.m_nExitCode != 0 || run.m_strOut.empty() || run.m_strOut.back() != '\n')
        return std::nullopt;
    return run.m_strOut.substr(0, run.m_strOut.size() - 1);
}

std::string WhyNoQrReader() {
    return ::access(kZbarImg, X_OK) == 0 ? std::string() : std::string(kZbarImg) + " is missing (Debian: zbar-tools)";
}
