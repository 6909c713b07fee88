#include "app/KalvoraApp.h"

#include "app/AboutDlg.h"
#include "console/MainConsoleDlg.h"
#include "window/Resources.h"

#include <QApplication>

int CKalvoraApp::Run(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setWindowIcon(AppIcon());
    CMainConsoleDlg mainWindow(ShowAboutBox);
    mainWindow.DoModal(); // its result makes no difference: the program ends with the main window
    return 0;
}
