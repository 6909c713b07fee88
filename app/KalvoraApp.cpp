#include "app/KalvoraApp.h"

#include <QApplication>
#include <QWidget>

int CKalvoraApp::Run(int argc, char** argv) {
    QApplication application(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Kalvora v1.4"));
    window.show();
    return application.exec();
}
