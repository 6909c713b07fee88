// The desktop's icons of the program (packaging/icons/hicolor) are the window's icon design, drawn by the program's
// own code: the committed files match what the code draws now, and every size shows the same letters.

#include "window/DialogDriver.h" // the dialog tests' main function: Qt's application object for the pixmaps

#include "res/Resource.h"
#include "window/qt/Icons.h"

#include <QFile>
#include <QImage>
#include <QPainter>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

namespace {

constexpr int kOwnSize = 32;
// Channels may differ by this much between two drawings of the same design (another version of Qt's smoothing).
constexpr int kChannelTolerance = 8;

QString IconFile(const QString& strSizeDirectory, const char* pszExtension) {
    return QStringLiteral(KALVORA_SOURCE_DIR "/packaging/icons/hicolor/%1/apps/" KALVORA_APP_ID ".%2")
        .arg(strSizeDirectory, QString::fromLatin1(pszExtension));
}

bool IsYellow(QRgb rgb) {
    return qRed(rgb) > 128 && qGreen(rgb) > 128 && qBlue(rgb) < 128;
}

// The share of yellow in the nScale by nScale block of image at grid cell (x, y).
double YellowShare(const QImage& image, int x, int y, int nScale) {
    int nYellow = 0;
    for (int dy = 0; dy < nScale; ++dy) {
        for (int dx = 0; dx < nScale; ++dx)
            nYellow += IsYellow(image.pixel(x * nScale + dx, y * nScale + dy));
    }
    return static_cast<double>(nYellow) / (nScale * nScale);
}

TEST(DesktopIcons, OwnSizeIsTheWindowsIcon) {
    const QImage image = AppIconImage(kOwnSize);
    EXPECT_EQ(image.convertToFormat(QImage::Format_RGB32),
              IconPixmap(IDR_MAINFRAME).toImage().convertToFormat(QImage::Format_RGB32));
}

TEST(DesktopIcons, SizesOutsideTheRangeGiveNoImage) {
    EXPECT_TRUE(AppIconImage(0).isNull());
    EXPECT_TRUE(AppIconImage(-32).isNull());
    EXPECT_TRUE(AppIconImage(4096).isNull());
    EXPECT_EQ(AppIconImage(1).size(), QSize(1, 1));
}

TEST(DesktopIcons, CommittedPngsAreTheProgramsDrawing) {
    for (const int nSize : {32, 48, 64, 128, 256}) {
        SCOPED_TRACE(nSize);
        const QString strPath = IconFile(QStringLiteral("%1x%1").arg(nSize), "png");
        const QImage committed = QImage(strPath).convertToFormat(QImage::Format_ARGB32);
        ASSERT_FALSE(committed.isNull()) << strPath.toStdString() << " is missing; `make icons` draws it";
        const QImage drawn = AppIconImage(nSize);
        ASSERT_EQ(committed.size(), drawn.size());
        int nWorst = 0;
        for (int y = 0; y < nSize; ++y) {
            for (int x = 0; x < nSize; ++x) {
                const QRgb a = committed.pixel(x, y), b = drawn.pixel(x, y);
                nWorst = std::max({nWorst, std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                                   std::abs(qBlue(a) - qBlue(b)), std::abs(qAlpha(a) - qAlpha(b))});
            }
        }
        EXPECT_LE(nWorst, kChannelTolerance)
            << strPath.toStdString() << " differs from the drawing; `make icons` draws it again";
    }
}

TEST(DesktopIcons, CommittedSvgIsTheProgramsDrawing) {
    QFile file(IconFile(QStringLiteral("scalable"), "svg"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(file.readAll()), AppIconSvg());
}

// Scaled down to the 32-pixel grid, a large icon is yellow where the window's icon is and black where it is
// black; only pixels on the edge of a stroke may go either way.
TEST(DesktopIcons, EverySizeShowsTheSameLetters) {
    for (const int nScale : {2, 4, 8}) {
        SCOPED_TRACE(kOwnSize * nScale);
        const QImage small = AppIconImage(kOwnSize);
        const QImage large = AppIconImage(kOwnSize * nScale);
        int nYellow = 0, nDisagree = 0;
        for (int y = 0; y < kOwnSize; ++y) {
            for (int x = 0; x < kOwnSize; ++x) {
                const bool bYellow = IsYellow(small.pixel(x, y));
                const double dShare = YellowShare(large, x, y, nScale);
                nYellow += bYellow;
                nDisagree += bYellow ? dShare < 0.25 : dShare > 0.75;
            }
        }
        EXPECT_GT(nYellow, 60);
        EXPECT_LT(nDisagree * 50, nYellow) << nDisagree << " of " << nYellow;
    }
}

// The scalable icon, drawn as its elements say (background, stroke width, colours and caps, each line), is the
// large PNG.
TEST(DesktopIcons, SvgDrawsTheSameIcon) {
    const QString strSvg = AppIconSvg();
    const auto attribute = [&strSvg](const char* pszName) {
        const QRegularExpressionMatch match =
            QRegularExpression(QStringLiteral("%1=\"([^\"]*)\"").arg(QString::fromLatin1(pszName))).match(strSvg);
        return match.captured(1);
    };
    EXPECT_EQ(attribute("viewBox"), QStringLiteral("0 0 32 32"));
    EXPECT_EQ(attribute("stroke-linecap"), QStringLiteral("square"));
    EXPECT_FALSE(strSvg.contains(QStringLiteral("transform")));

    constexpr int kScale = 8;
    QImage image(kOwnSize * kScale, kOwnSize * kScale, QImage::Format_ARGB32);
    image.fill(QColor(attribute("fill")));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(kScale, kScale);
    painter.setPen(QPen(QColor(attribute("stroke")), attribute("stroke-width").toDouble(), Qt::SolidLine, Qt::SquareCap,
                        Qt::MiterJoin));
    const QRegularExpression line(
        QStringLiteral("<line x1=\"([0-9.]+)\" y1=\"([0-9.]+)\" x2=\"([0-9.]+)\" y2=\"([0-9.]+)\"/>"));
    int nLines = 0;
    for (auto it = line.globalMatch(strSvg); it.hasNext(); ++nLines) {
        const QRegularExpressionMatch match = it.next();
        painter.drawLine(QPointF(match.captured(1).toDouble(), match.captured(2).toDouble()),
                         QPointF(match.captured(3).toDouble(), match.captured(4).toDouble()));
    }
    painter.end();
    EXPECT_EQ(nLines, 5);
    EXPECT_TRUE(image == AppIconImage(kOwnSize * kScale));
}

} // namespace
