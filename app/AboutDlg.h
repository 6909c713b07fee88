#pragma once

#include "window/Dialog.h"

// The About box (template 100): the logo, the version line, a notice, a web address and OK. Its texts follow the
// language that was loaded last; it loads none itself.
class CAboutDlg : public CDialog {
public:
    explicit CAboutDlg(CWnd* pParent = nullptr);

protected:
    bool OnInitDialog() override;
};

// Builds a fresh About box over pParent and runs it modally; the result makes no difference. The application hands
// this to the main window, whose menu entry (AddAboutEntry, window/Dialog.h) opens it.
void ShowAboutBox(CWnd* pParent);
