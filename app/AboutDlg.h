#pragma once

#include "app/Dialog.h"

// The About box (template 100): the logo, the version line, a notice, a web address and OK. Its texts follow the
// language that was loaded last; it loads none itself.
class CAboutDlg : public CDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);

protected:
    bool OnInitDialog() override;
};

// Puts the About entry into a window's menu: ResourceString(IDS_ABOUTBOX) with command IDM_ABOUTBOX, also on F1,
// after a separator; nothing when that string is empty. The window's OnSysCommand receives the command; a command
// whose identifier with its lowest four bits cleared is IDM_ABOUTBOX opens the About box:
//
//   void CMainConsoleDlg::OnSysCommand(int nId) {
//       if ((nId & 0xFFF0) == IDM_ABOUTBOX) { CAboutDlg about(this); about.DoModal(); }
//       else CDialog::OnSysCommand(nId);
//   }
void AddAboutEntry(CDialog& window);
