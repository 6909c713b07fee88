#include "tests/support/QrReader.h"

std::optional<std::string> ReadQrCodeFile(const std::string& /*strPngPath*/) {
    return std::nullopt;
}

std::string WhyNoQrReader() {
    return "no QR code reader runs under Windows (zbarimg is a program of the Linux side)";
}
