// What the program tells the window system about itself: the icon of its windows and the name of its desktop
// entry, which the desktop entry, the metainfo and the icons are installed under. The application object of the
// dialog tests' main function is the program's own (window/Application.h); nothing else here sets either.

#include "window/DialogDriver.h" // the dialog tests' main function, which makes the application object

#include "res/Resource.h"
#include "window/qt/Icons.h"

#include <QApplication>
#include <QFile>
#include <QIcon>
#include <QImage>

#include <gtest/gtest.h>

namespace {

TEST(ApplicationIdentity, DesktopFileNameIsTheApplicationId) {
    EXPECT_EQ(QGuiApplication::desktopFileName(), QStringLiteral(KALVORA_APP_ID));
    // The entry a desktop finds by that name exists in the source of the installed files, with its icon.
    QFile entry(QStringLiteral(KALVORA_SOURCE_DIR "/packaging/kalvora.desktop.in"));
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
    const QByteArray text = entry.readAll();
    EXPECT_TRUE(text.contains("\nIcon=@KALVORA_APP_ID@\n"));
    // An X11 desktop matches the window class instead: Qt gives the program's name, in lower case.
    EXPECT_TRUE(text.contains("\nStartupWMClass=kalvora\n"));
}

TEST(ApplicationIdentity, WindowsShowTheApplicationIcon) {
    EXPECT_EQ(QApplication::windowIcon().pixmap(32, 32).toImage().convertToFormat(QImage::Format_RGB32),
              IconPixmap(IDR_MAINFRAME).toImage().convertToFormat(QImage::Format_RGB32));
}

} // namespace
