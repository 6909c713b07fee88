#pragma once

#include <optional>
#include <string_view>
#include <vector>

// A QR code of a short text (the live page's address for a phone's camera): its dark and light modules with the
// quiet zone of light modules around them that a reader needs to find the code, as a window draws it square by
// square. Made by the qrcodegen library, at error-correction level M: a code of which a fifteenth is glared or
// soiled still reads.
class CQrCode {
public:
    static constexpr int kQuietZone = 4; // light modules on each side

    // The code of the text's bytes, the smallest that holds them; nothing when the text is too long for any code.
    static std::optional<CQrCode> ForText(std::string_view text);

    // Modules across and down, quiet zone included.
    int Size() const { return m_nSize; }
    // Whether module (x, y) is dark, counted from the top left corner of the quiet zone; light outside the code.
    bool IsDark(int x, int y) const;
    // Every module, row by row from the top.
    const std::vector<bool>& Modules() const { return m_modules; }

private:
    CQrCode(int nSize, std::vector<bool> modules) : m_nSize(nSize), m_modules(std::move(modules)) {}

    int m_nSize = 0;
    std::vector<bool> m_modules;
};
