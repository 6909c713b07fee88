#include "app/KalvoraApp.h"

#include "app/AboutDlg.h"
#include "base/FileLocations.h"
#include "console/MainConsoleDlg.h"
#include "window/Resources.h"

#include <QApplication>

namespace {

// The name Qt is given for the program when the system gave none (a process may be started without any argument).
char g_szProgramName[] = "kalvora";

// The desktop entry's name without ".desktop" (the build's application id): the desktop matches the window, and
// its icon, to the entry by it.
constexpr const char* kDesktopFileName = KALVORA_APP_ID;

} // namespace

void SetApplicationIdentity() {
    QApplication::setWindowIcon(AppIcon());
    QGuiApplication::setDesktopFileName(QString::fromLatin1(kDesktopFileName));
}

int CKalvoraApp::Run(int argc, char** argv) {
    // The command line is accepted and has no effect: Qt sees the program's name alone, so that options meant for
    // Qt (-platform, -style, -stylesheet, -reverse...) change nothing either. Qt keeps these for the whole run.
    // The window changes a few small fields a second. Through X11's shared memory each of those repaints costs a
    // round trip to the display server and a wake-up more than sending its few pixels does; the whole window is
    // drawn only when it is shown. A choice the user made in the environment stands.
    if (!qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM"))
        qputenv("QT_XCB_NO_MITSHM", "1");
    static int nQtArgc = 1;
    static char* qtArgv[] = {argc > 0 && argv[0] ? argv[0] : g_szProgramName, nullptr};
    QApplication application(nQtArgc, qtArgv);
    SetApplicationIdentity();
    // An installed program's first start gives the user a directory of their own with the default config.ini; if
    // that fails the windows run on their defaults, as without a settings file.
    PrepareFilesDirectory();
    CMainConsoleDlg mainWindow(ShowAboutBox);
    mainWindow.DoModal(); // its result makes no difference: the program ends with the main window
    return 0;
}
