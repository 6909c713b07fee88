#pragma once

#include <optional>
#include <string>

// Reads the QR code in a picture file (PNG) as a phone's camera would, by zbarimg (Debian's zbar-tools): the text it
// holds, or nothing when no code reads in it. Where no reader can run (under Windows) WhyNoQrReader says so, and a
// test skips what needs one.
std::optional<std::string> ReadQrCodeFile(const std::string& strPngPath);
std::string WhyNoQrReader();
