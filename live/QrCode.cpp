#include "live/QrCode.h"

#include <qrcodegen.hpp>

#include <cstdint>
#include <utility>

std::optional<CQrCode> CQrCode::ForText(std::string_view text) {
    // The bytes as they are, NUL included: a C string would end at the first.
    const std::vector<std::uint8_t> bytes(text.begin(), text.end());
    try {
        const qrcodegen::QrCode code = qrcodegen::QrCode::encodeBinary(bytes, qrcodegen::QrCode::Ecc::MEDIUM);
        const int nCode = code.getSize();
        const int nSize = nCode + 2 * kQuietZone;
        std::vector<bool> modules(static_cast<std::size_t>(nSize) * static_cast<std::size_t>(nSize), false);
        for (int y = 0; y < nCode; ++y) {
            for (int x = 0; x < nCode; ++x)
                modules[static_cast<std::size_t>((y + kQuietZone) * nSize + x + kQuietZone)] = code.getModule(x, y);
        }
        return CQrCode(nSize, std::move(modules));
    } catch (const qrcodegen::data_too_long&) {
        return std::nullopt;
    }
}

bool CQrCode::IsDark(int x, int y) const {
    if (x < 0 || y < 0 || x >= m_nSize || y >= m_nSize)
        return false;
    return m_modules[static_cast<std::size_t>(y * m_nSize + x)];
}
