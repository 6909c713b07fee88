#include "window/Text.h"

#include <QStringDecoder>

QString FromBytes(std::string_view bytes) {
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

std::string ToBytes(const QString& strText) {
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(strText.size()));
    for (const QChar c : strText)
        bytes += c.unicode() <= 0xFF ? static_cast<char>(c.unicode()) : '?';
    return bytes;
}

QString ShownText(std::string_view text) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QByteArrayView bytes(text.data(), static_cast<qsizetype>(text.size()));
    QString strText = decoder.decode(bytes);
    if (decoder.hasError())
        return FromBytes(text);
    return strText;
}
