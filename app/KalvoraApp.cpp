#include "app/KalvoraApp.h"

#include "app/AboutDlg.h"
#include "app/Resources.h"

#include <QApplication>

namespace {

// The main window's template with its About entry and its way out, until the main window's own class runs here.
class CMainWindowShell : public CDialog {
public:
    CMainWindowShell() : CDialog(IDD_MAIN_CONSOLE) {
        AddAboutEntry(*this);
        setWindowIcon(AppIcon());
        OnCommand(IDC_EXIT, &CMainWindowShell::OnExit);
    }

protected:
    void OnSysCommand(int nId) override {
        if ((nId & 0xFFF0) == IDM_ABOUTBOX) {
            CAboutDlg about(this);
            about.DoModal();
        } else {
            CDialog::OnSysCommand(nId);
        }
    }
    void OnClose() override { OnExit(); }

private:
    void OnExit() { EndDialog(IDOK); }
};

} // namespace

int CKalvoraApp::Run(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setWindowIcon(AppIcon());
    CMainWindowShell mainWindow;
    mainWindow.DoModal(); // its result makes no difference: the program ends with the main window
    return 0;
}
