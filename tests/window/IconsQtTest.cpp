// What Qt draws of the program's resources: the lamps, the application icon and the About picture (window/qt/Icons.h,
// from the design of window/common/IconDesign.h), the dialog font and its units, and the display font's width in
// the main window's display.

#include "window/DialogDriver.h" // the dialog tests' main function: Qt's application object for the pixmaps

#include "res/Resource.h"
#include "window/Dialog.h"
#include "window/Resources.h"
#include "window/qt/Icons.h"
#include "window/qt/QtWindow.h"

#include <QColor>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QScreen>

#include <cmath>
#include <cstdlib>

#include <gtest/gtest.h>

namespace {

TEST(Icons, LampsAndIconsAreDrawn) {
    struct CRow {
        const char* pszName;
        int nIconId;
        QColor centre;
    };
    const std::vector<CRow> rows = {
        {"red", IDI_LAMP_RED, QColor(255, 0, 0)},
        {"green", IDI_LAMP_GREEN, QColor(0, 255, 0)},
        {"dark", IDI_LAMP_OFF, QColor(128, 0, 0)},
        {"yellow", IDI_LAMP_YELLOW, QColor(255, 255, 0)},
    };
    for (const CRow& row : rows) {
        SCOPED_TRACE(row.pszName);
        const QImage lamp = IconPixmap(row.nIconId).toImage();
        EXPECT_EQ(lamp.size(), QSize(32, 32));
        EXPECT_EQ(QColor(lamp.pixel(18, 20)), row.centre);
        EXPECT_EQ(qAlpha(lamp.pixel(0, 0)), 0); // transparent around the lamp
        EXPECT_EQ(qAlpha(lamp.pixel(31, 31)), 0);
        EXPECT_EQ(QColor(lamp.pixel(15, 28)), QColor(128, 128, 128)); // grey rim
    }
}

TEST(Icons, ApplicationIconAndLogo) {
    const QImage icon = IconPixmap(IDR_MAINFRAME).toImage();
    EXPECT_EQ(icon.size(), QSize(32, 32));
    EXPECT_EQ(QColor(icon.pixel(0, 0)), QColor(Qt::black));
    int nYellow = 0;
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x)
            nYellow += QColor(icon.pixel(x, y)) == QColor(255, 255, 0);
    }
    EXPECT_GT(nYellow, 60);
    EXPECT_EQ(BitmapPixmap(IDB_ABOUT_LOGO).size(), QSize(68, 43));
    EXPECT_TRUE(IconPixmap(999).isNull());
    EXPECT_TRUE(BitmapPixmap(IDI_LAMP_RED).isNull());
}

// The template's 8 points at the screen's resolution; the units of that font measured as the window system does.
TEST(Fonts, DialogFontAndItsUnitsAreTheTemplates) {
    const auto dialogTemplate = LoadDialogTemplate(IDD_ABOUTBOX);
    ASSERT_TRUE(dialogTemplate);
    const QFont font = DialogFont(*dialogTemplate);
    const QScreen* screen = QGuiApplication::primaryScreen();
    ASSERT_NE(screen, nullptr);
    EXPECT_EQ(font.pixelSize(), std::lround(8 * screen->logicalDotsPerInchY() / 72.0));
    const CDialogUnits units = UnitsOfFont(font);
    EXPECT_EQ(units.BaseY(), QFontMetrics(font).height());
    // The average width of the 52 letters, in whole pixels.
    const double dAverage =
        QFontMetrics(font).horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) /
        52.0;
    EXPECT_LE(std::abs(units.BaseX() - dAverage), 1.0);
}

// With the bundled seven-segment face, narrowed, eight digits fit the large display of the main window.
TEST(Fonts, EightDigitsFitTheLargeDisplay) {
    const CFont font = DisplayFont();
    ASSERT_FALSE(font.IsNull());
    CDialog dialog(IDD_MAIN_CONSOLE);
    const QWidget* display = WidgetOf(dialog.GetDlgItem(IDC_DISPLAY_LARGE));
    ASSERT_NE(display, nullptr);
    EXPECT_LT(QFontMetrics(font.GetImpl()->m_font).horizontalAdvance(QStringLiteral("88888888")), display->width() - 4);
}

} // namespace
