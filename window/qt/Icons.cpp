#include "window/qt/Icons.h"

#include "res/Resource.h"
#include "window/common/IconDesign.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPixmapCache>

namespace {

using namespace icon_design;

constexpr int kLargestAppIcon = 1024;

QColor ToQColor(CColour colour) {
    return QColor(colour.r, colour.g, colour.b);
}

QRect Box(const CBox& box) {
    return QRect(box.x, box.y, box.cx, box.cy);
}

QPixmap DrawLamp(const CLamp& lamp) {
    QPixmap pixmap(kIconSize, kIconSize);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(ToQColor(kBlack));
    painter.setBrush(ToQColor(kGrey));
    painter.drawEllipse(Box(kLampRim));
    painter.setPen(QPen(ToQColor(kSilver), kLampRimLightWidth));
    painter.setBrush(Qt::NoBrush);
    painter.drawArc(Box(kLampRimLight), kLampRimLightStart * 16, kLampRimLightSpan * 16);
    painter.setPen(ToQColor(kBlack));
    painter.setBrush(ToQColor(lamp.glass));
    painter.drawEllipse(Box(kLampGlass));
    painter.setPen(Qt::NoPen);
    painter.setBrush(ToQColor(lamp.bLit ? kWhite : kGrey));
    painter.drawEllipse(Box(kLampReflection));
    return pixmap;
}

QImage DrawApplicationIcon(int nSize) {
    QImage image(nSize, nSize, QImage::Format_ARGB32);
    image.fill(ToQColor(kBlack));
    QPainter painter(&image);
    const bool bOwnSize = nSize == kIconSize;
    painter.setRenderHint(QPainter::Antialiasing, !bOwnSize);
    if (!bOwnSize)
        painter.scale(static_cast<double>(nSize) / kIconSize, static_cast<double>(nSize) / kIconSize);
    painter.setPen(QPen(ToQColor(kYellow), kAppIconStrokeWidth, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    for (const CStroke& stroke : kAppIconStrokes)
        painter.drawLine(stroke.nX1, stroke.nY1, stroke.nX2, stroke.nY2);
    return image;
}

QPixmap DrawAboutLogo() {
    QPixmap pixmap(kLogoWidth, kLogoHeight);
    QPainter painter(&pixmap);
    QLinearGradient sky(0, 0, 0, kLogoHeight);
    sky.setColorAt(0, ToQColor(kLogoSkyTop));
    sky.setColorAt(1, ToQColor(kLogoSkyBottom));
    painter.fillRect(pixmap.rect(), sky);
    painter.setRenderHint(QPainter::Antialiasing, true);
    for (int i = 0; i < 3; ++i) {
        painter.setPen(QPen(ToQColor(kGrey), 1));
        painter.setBrush(ToQColor(kLogoLights[i]));
        painter.drawEllipse(QRectF(kLogoLightX + i * kLogoLightStep, kLogoLightY, kLogoLightSize, kLogoLightSize));
    }
    QFont font;
    font.setBold(true);
    font.setPixelSize(kLogoTextPixels);
    painter.setFont(font);
    painter.setPen(ToQColor(kYellow));
    painter.drawText(Box(kLogoText), Qt::AlignCenter, QString::fromLatin1(kLogoName));
    painter.setPen(ToQColor(kSilver));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRectF(0.5, 0.5, kLogoWidth - 1, kLogoHeight - 1));
    return pixmap;
}

template <typename Draw>
QPixmap Cached(const QString& strKey, Draw draw) {
    QPixmap pixmap;
    if (!QPixmapCache::find(strKey, &pixmap)) {
        pixmap = draw();
        QPixmapCache::insert(strKey, pixmap);
    }
    return pixmap;
}

} // namespace

QPixmap IconPixmap(int nIconId) {
    if (const CLamp* lamp = FindLamp(nIconId))
        return Cached(QStringLiteral("kalvora-icon-%1").arg(nIconId), [lamp] { return DrawLamp(*lamp); });
    if (nIconId == IDR_MAINFRAME)
        return Cached(QStringLiteral("kalvora-icon-128"),
                      [] { return QPixmap::fromImage(DrawApplicationIcon(kIconSize)); });
    return {};
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
            .arg(ToQColor(kBlack).name(), ToQColor(kYellow).name())
            .arg(kAppIconStrokeWidth);
    for (const CStroke& stroke : kAppIconStrokes)
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
