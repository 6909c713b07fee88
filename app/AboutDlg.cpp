#include "app/AboutDlg.h"

#include "app/Resources.h"
#include "i18n/TranslateWindow.h"

CAboutDlg::CAboutDlg(QWidget* parent) : CDialog(IDD_ABOUTBOX, parent) {}

bool CAboutDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    TranslateWindow(this, IDD_ABOUTBOX);
    return true;
}

void AddAboutEntry(CDialog& window) {
    const QString strAbout = ResourceString(IDS_ABOUTBOX);
    if (!strAbout.isEmpty())
        window.AppendSystemMenu(IDM_ABOUTBOX, strAbout, QKeySequence(Qt::Key_F1));
}
