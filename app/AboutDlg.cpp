#include "app/AboutDlg.h"

#include "i18n/TranslateWindow.h"

CAboutDlg::CAboutDlg(CWnd* pParent) : CDialog(IDD_ABOUTBOX, pParent) {}

bool CAboutDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    TranslateWindow(*this, IDD_ABOUTBOX);
    return true;
}

void ShowAboutBox(CWnd* pParent) {
    CAboutDlg about(pParent);
    about.DoModal();
}
