#include "window/qt/QtWindow.h"

#include "window/Text.h"

QString QtFromData(std::string_view bytes) {
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

QString QtFromShown(std::string_view text) {
    const std::u16string wide = WidenShown(text);
    return QString::fromUtf16(wide.data(), static_cast<qsizetype>(wide.size()));
}

std::string QtToData(const QString& strText) {
    return NarrowToData(std::u16string_view(reinterpret_cast<const char16_t*>(strText.utf16()),
                                            static_cast<std::size_t>(strText.size())));
}
