#include "app/AboutDlg.h"

#include "i18n/TranslateWindow.h"

CAboutDlg::CAboutDlg(QWidget* parent) : CDialog(IDD_ABOUTBOX, parent) {}

bool CAboutDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    TranslateWindow(this, IDD_ABOUTBOX);
    return true;
}

void ShowAboutBox(QWidget* parent) {
    CAboutDlg about(parent);
    about.DoModal();
}
