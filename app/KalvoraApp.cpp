#include "app/KalvoraApp.h"

#include "app/AboutDlg.h"
#include "base/FileLocations.h"
#include "console/MainConsoleDlg.h"
#include "settings/SessionSettings.h"
#include "window/Application.h"
#include "window/MessageBox.h"

int CKalvoraApp::Run(int argc, char** argv) {
    CApplication application(argc, argv);
    // An installed program's first start gives the user a directory of their own with the default config.ini; if
    // that fails the windows run on their defaults, as without a settings file.
    PrepareFilesDirectory();
    // After the first start's copy, so that a session starts from the user's own settings.
    std::optional<CSessionSettings> session;
    if (m_nSessionPort)
        session.emplace(*m_nSessionPort, MessageBoxReporter());
    CMainConsoleDlg mainWindow(ShowAboutBox);
    mainWindow.DoModal(); // its result makes no difference: the program ends with the main window
    return 0;
}
