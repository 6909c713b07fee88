#include "window/Resources.h"

#include "res/Resource.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QPixmapCache>
#include <QScreen>

#include <cmath>
#include <mutex>

// The embedded files live in a static library; naming its initialiser here makes the linker keep them.
static void InitKalvoraResources() {
    Q_INIT_RESOURCE(kalvora);
}

namespace {

constexpr int kIconSize = 32;
constexpr int kLargestAppIcon = 1024;
constexpr QSize kLogoSize{68, 43};
constexpr double kDefaultDpi = 96.0;
constexpr int kDisplayFontTenthsOfPoint = 180;
constexpr const char* kDisplayFace = "DS-Digital Italic";
constexpr const char* kDisplayFamily = "DS-Digital";
constexpr const char* kBundledFontFile = ":/fonts/DSEG7Classic-Italic.ttf";
// The bundled face's digits are 0.8 of its height wide, much wider than those of the display face it stands in
// for; narrowed at the same height, eight digits fit the large display and four the small one.
constexpr int kBundledFaceStretch = 62;

// Colours of the 16-colour palette the icons are drawn in.
const QColor kBlack{0, 0, 0};
const QColor kMaroon{128, 0, 0};
const QColor kGrey{128, 128, 128};
const QColor kSilver{192, 192, 192};
const QColor kRed{255, 0, 0};
const QColor kLime{0, 255, 0};
const QColor kYellow{255, 255, 0};
const QColor kWhite{255, 255, 255};

QPixmap DrawLamp(const QColor& lamp, bool bLit) {
    QPixmap pixmap(kIconSize, kIconSize);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing, false);
    // Rim: black outline, grey ring lit from the upper left.
    painter.setPen(kBlack);
    painter.setBrush(kGrey);
    painter.drawEllipse(QRect(1, 1, 29, 29));
    painter.setPen(QPen(kSilver, 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawArc(QRect(3, 3, 25, 25), 45 * 16, 180 * 16);
    // Glass.
    painter.setPen(kBlack);
    painter.setBrush(lamp);
    painter.drawEllipse(QRect(6, 6, 19, 19));
    // Reflection: bright on a lit lamp, dull on a dark one.
    painter.setPen(Qt::NoPen);
    painter.setBrush(bLit ? kWhite : kGrey);
    painter.drawEllipse(QRect(10, 9, 5, 4));
    return pixmap;
}

// The application icon's design on its 32-pixel grid: the letters "K" and "V" as yellow strokes 3 pixels wide with
// square ends, on black. The window's icon, the desktop's icons and the scalable one are all drawn from it.
struct CIconStroke {
    int nX1, nY1, nX2, nY2;
};
constexpr CIconStroke kAppIconStrokes[] = {
    {5, 6, 5, 25},   {6, 16, 14, 6},  {8, 14, 14, 25}, // "K"
    {18, 6, 22, 25}, {22, 25, 26, 6},                  // "V"
};
constexpr int kAppIconStrokeWidth = 3;

// At its own size the icon is drawn pixel for pixel, as the 16-colour original; any other size is the same design
// scaled and smoothed (an unsmoothed wide stroke covers the pixels whose centres its smoothed outline covers, so the
// two agree but for the edges).
QImage DrawApplicationIcon(int nSize) {
    QImage image(nSize, nSize, QImage::Format_ARGB32);
    image.fill(kBlack);
    QPainter painter(&image);
    const bool bOwnSize = nSize == kIconSize;
    painter.setRenderHint(QPainter::Antialiasing, !bOwnSize);
    if (!bOwnSize)
        painter.scale(static_cast<double>(nSize) / kIconSize, static_cast<double>(nSize) / kIconSize);
    painter.setPen(QPen(kYellow, kAppIconStrokeWidth, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    for (const CIconStroke& stroke : kAppIconStrokes)
        painter.drawLine(stroke.nX1, stroke.nY1, stroke.nX2, stroke.nY2);
    return image;
}

QPixmap DrawAboutLogo() {
    QPixmap pixmap(kLogoSize);
    QPainter painter(&pixmap);
    QLinearGradient sky(0, 0, 0, kLogoSize.height());
    sky.setColorAt(0, QColor(0, 0, 96));
    sky.setColorAt(1, QColor(0, 0, 24));
    painter.fillRect(pixmap.rect(), sky);
    painter.setRenderHint(QPainter::Antialiasing, true);
    // The three start lights.
    const QColor lights[] = {kRed, kYellow, kLime};
    for (int i = 0; i < 3; ++i) {
        painter.setPen(QPen(kGrey, 1));
        painter.setBrush(lights[i]);
        painter.drawEllipse(QRectF(14.5 + i * 14, 3.5, 11, 11));
    }
    QFont font;
    font.setBold(true);
    font.setPixelSize(15);
    painter.setFont(font);
    painter.setPen(kYellow);
    painter.drawText(QRect(0, 18, kLogoSize.width(), 22), Qt::AlignCenter, QStringLiteral("Kalvora"));
    painter.setPen(kSilver);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRectF(0.5, 0.5, kLogoSize.width() - 1, kLogoSize.height() - 1));
    return pixmap;
}

QPixmap Cached(const QString& strKey, QPixmap (*draw)()) {
    QPixmap pixmap;
    if (!QPixmapCache::find(strKey, &pixmap)) {
        pixmap = draw();
        QPixmapCache::insert(strKey, pixmap);
    }
    return pixmap;
}

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
    const int nFont = QFontDatabase::addApplicationFont(QString::fromLatin1(kBundledFontFile));
    const QStringList families = QFontDatabase::applicationFontFamilies(nFont);
    if (families.isEmpty())
        return {QString::fromLatin1(kDisplayFace), false}; // the platform's substitute at the same size
    return {families.front(), true, kBundledFaceStretch};
}

} // namespace

void InitResources() {
    static std::once_flag once;
    std::call_once(once, [] { InitKalvoraResources(); });
}

QPixmap IconPixmap(int nIconId) {
    switch (nIconId) {
    case IDI_LAMP_RED:
        return Cached(QStringLiteral("kalvora-icon-136"), [] { return DrawLamp(kRed, true); });
    case IDI_LAMP_GREEN:
        return Cached(QStringLiteral("kalvora-icon-137"), [] { return DrawLamp(kLime, true); });
    case IDI_LAMP_OFF:
        return Cached(QStringLiteral("kalvora-icon-138"), [] { return DrawLamp(kMaroon, false); });
    case IDI_LAMP_YELLOW:
        return Cached(QStringLiteral("kalvora-icon-141"), [] { return DrawLamp(kYellow, true); });
    case IDR_MAINFRAME:
        return Cached(QStringLiteral("kalvora-icon-128"),
                      [] { return QPixmap::fromImage(DrawApplicationIcon(kIconSize)); });
    default:
        return {};
    }
}

QIcon AppIcon() {
    return QIcon(IconPixmap(IDR_MAINFRAME));
}

QImage AppIconImage(int nSize) {
    if (nSize < 1 || nSize > kLargestAppIcon)
        return {};
    return DrawApplicationIcon(nSize);
}

QString AppIconSvg() {
    QString strSvg =
        QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                       "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%1\" height=\"%1\" viewBox=\"0 0 %1 %1\">\n"
                       "  <rect width=\"%1\" height=\"%1\" fill=\"%2\"/>\n"
                       "  <g stroke=\"%3\" stroke-width=\"%4\" stroke-linecap=\"square\">\n")
            .arg(kIconSize)
            .arg(kBlack.name(), kYellow.name())
            .arg(kAppIconStrokeWidth);
    for (const CIconStroke& stroke : kAppIconStrokes)
        strSvg += QStringLiteral("    <line x1=\"%1\" y1=\"%2\" x2=\"%3\" y2=\"%4\"/>\n")
                      .arg(stroke.nX1)
                      .arg(stroke.nY1)
                      .arg(stroke.nX2)
                      .arg(stroke.nY2);
    strSvg += QStringLiteral("  </g>\n</svg>\n");
    return strSvg;
}

QPixmap BitmapPixmap(int nBitmapId) {
    if (nBitmapId != IDB_ABOUT_LOGO)
        return {};
    return Cached(QStringLiteral("kalvora-bitmap-140"), &DrawAboutLogo);
}

QString ResourceString(int nStringId) {
    if (nStringId == IDS_ABOUTBOX)
        return QStringLiteral("&About Kalvora...");
    return {};
}

int DisplayFontPixels(double dLogicalDpiY) {
    return static_cast<int>(std::lround(dLogicalDpiY * kDisplayFontTenthsOfPoint / 720.0));
}

QFont DisplayFont() {
    InitResources();
    static const CDisplayFace face = FindDisplayFace();
    const QScreen* screen = QGuiApplication::primaryScreen();
    QFont font(face.strFamily);
    font.setPixelSize(DisplayFontPixels(screen ? screen->logicalDotsPerInchY() : kDefaultDpi));
    font.setItalic(face.bItalic);
    font.setStretch(face.nStretch);
    return font;
}
