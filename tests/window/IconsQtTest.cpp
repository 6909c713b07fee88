// What Qt draws of the program's resources: the lamps, the application icon and the About picture (window/qt/Icons.h,
// from the design of window/common/IconDesign.h), and the display font's width in the main window's display.

#include "window/DialogDriver.h" // the dialog tests' main function: Qt's application object for the pixmaps

#include "res/Resource.h"
#include "window/Dialog.h"
#include "window/Resources.h"
#include "window/qt/Icons.h"
#include "window/qt/QtWindow.h"

#include <QColor>
#include <QFontMetrics>
#include <QImage>

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

// With the bundled seven-segment face, narrowed, eight digits fit the large display of the main window.
TEST(DisplayFont, EightDigitsFitTheLargeDisplay) {
    const CFont font = DisplayFont();
    ASSERT_FALSE(font.IsNull());
    CDialog dialog(IDD_MAIN_CONSOLE);
    const QWidget* display = WidgetOf(dialog.GetDlgItem(IDC_DISPLAY_LARGE));
    ASSERT_NE(display, nullptr);
    EXPECT_LT(QFontMetrics(font.GetImpl()->m_font).horizontalAdvance(QStringLiteral("88888888")), display->width() - 4);
}

} // namespace
