// What the program tells the window system about itself: the icon of its windows and the name of its desktop
// entry, which the desktop entry, the metainfo and the icons are installed under.

#include "app/KalvoraApp.h"
#include "res/Resource.h"
#include "window/Resources.h"

#include <QApplication>
#include <QFile>
#include <QtTest>

class CApplicationIdentityTest : public QObject {
    Q_OBJECT

private slots:
    void desktopFileNameIsTheApplicationId() {
        QGuiApplication::setDesktopFileName({});
        SetApplicationIdentity();
        QCOMPARE(QGuiApplication::desktopFileName(), QStringLiteral(KALVORA_APP_ID));
        // The entry a desktop finds by that name exists in the source of the installed files, with its icon.
        QFile entry(QStringLiteral(KALVORA_SOURCE_DIR "/packaging/kalvora.desktop.in"));
        QVERIFY(entry.open(QIODevice::ReadOnly));
        const QByteArray text = entry.readAll();
        QVERIFY(text.contains("\nIcon=@KALVORA_APP_ID@\n"));
        // An X11 desktop matches the window class instead: Qt gives the program's name, in lower case.
        QVERIFY(text.contains("\nStartupWMClass=kalvora\n"));
    }

    void windowsShowTheApplicationIcon() {
        QApplication::setWindowIcon(QIcon());
        SetApplicationIdentity();
        QCOMPARE(QApplication::windowIcon().pixmap(32, 32).toImage().convertToFormat(QImage::Format_RGB32),
                 IconPixmap(IDR_MAINFRAME).toImage().convertToFormat(QImage::Format_RGB32));
    }
};

QTEST_MAIN(CApplicationIdentityTest)
#include "ApplicationIdentityTest.moc"
