#include "app/KalvoraApp.h"

#include "app/Resources.h"
#include "console/MainConsoleDlg.h"

#include <QApplication>

int CKalvoraApp::Run(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setWindowIcon(AppIcon());
    CMainConsoleDlg mainWindow;
    mainWindow.DoModal(); // its result makes no difference: the program ends with the main window
    return 0;
}
