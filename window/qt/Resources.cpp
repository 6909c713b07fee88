#include "window/Resources.h"

#include "res/EmbeddedFiles.h"
#include "window/qt/QtWindow.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <QScreen>

namespace {

constexpr double kDefaultDpi = 96.0;
constexpr const char* kBundledFontFile = "fonts/DSEG7Classic-Italic.ttf";
// The bundled face's digits are 0.8 of its height wide, much wider than those of the display face it stands in
// for; narrowed at the same height, eight digits fit the large display and four the small one.
constexpr int kBundledFaceStretch = 62;

// The family that carries the display face, found once.
struct CDisplayFace {
    QString strFamily;
    bool bItalic = false;
    int nStretch = QFont::Unstretched;
};

CDisplayFace FindDisplayFace() {
    if (QFontDatabase::hasFamily(QString::fromLatin1(kDisplayFace)))
        return {QString::fromLatin1(kDisplayFace), false};
    if (QFontDatabase::hasFamily(QString::fromLatin1(kDisplayFamily)))
        return {QString::fromLatin1(kDisplayFamily), true};
    const std::string_view bytes = EmbeddedResFile(kBundledFontFile);
    const int nFont =
        QFontDatabase::addApplicationFontFromData(QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
    const QStringList families = QFontDatabase::applicationFontFamilies(nFont);
    if (families.isEmpty())
        return {QString::fromLatin1(kDisplayFace), false}; // the platform's substitute at the same size
    return {families.front(), true, kBundledFaceStretch};
}

} // namespace

CFont DisplayFont() {
    static const CDisplayFace face = FindDisplayFace();
    const QScreen* screen = QGuiApplication::primaryScreen();
    auto pImpl = std::make_unique<CFont::Impl>();
    pImpl->m_font = QFont(face.strFamily);
    pImpl->m_font.setPixelSize(DisplayFontPixels(screen ? screen->logicalDotsPerInchY() : kDefaultDpi));
    pImpl->m_font.setItalic(face.bItalic);
    pImpl->m_font.setStretch(face.nStretch);
    CFont font;
    font.Reset(std::move(pImpl));
    return font;
}
