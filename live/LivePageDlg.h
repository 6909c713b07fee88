#pragma once

#include "live/LiveServer.h"
#include "window/Dialog.h"

#include <chrono>
#include <string>
#include <vector>

// Shares the live page on this computer's network (template 134), opened from the main window's "Live Page" button
// and its menu entry. The main window owns the server and publishes the unit's state to it; this dialog starts and
// stops it with its check box on the port typed, keeps the choice in config.ini, and shows the addresses a browser
// on the network opens, a QR code of the first for a phone's camera, and how many are watching.
class CLivePageDlg : public CDialog {
public:
    // The viewer count is read this often while the dialog is open.
    static constexpr int TIMER_VIEWERS = 1;
    static constexpr auto kViewerPeriod = std::chrono::milliseconds{500};
    // The most characters of a port.
    static constexpr int kPortChars = 5;

    explicit CLivePageDlg(CLiveServer& server, CWnd* pParent = nullptr);

protected:
    bool OnInitDialog() override;
    void OnTimer(int nId) override;

    // The check box: shares on the port typed, or stops sharing.
    void OnShare();

private:
    // The state line, the addresses, the QR code and the port field as the server's state is now.
    void ShowSharing();
    void ShowViewers();
    // The message for a port the server could not listen on, over the dialog.
    void ReportFailure(const std::string& strPort, const std::string& strError);

    CLiveServer& m_server;
    CButton& m_checkShare;      // 1101
    CEdit& m_editPort;          // 1103
    CStatic& m_labelState;      // 1104
    CListCtrl& m_listAddresses; // 1106
    CEdit& m_editViewers;       // 1108
    CStatic& m_pictureQrCode;   // 1110
};

// Starts sharing the live page on every interface at that port with the texts of the language loaded now; the
// server's result. The main window calls it at start when config.ini says to share, the dialog when the user does.
CLiveServer::CStartResult ShareLivePage(CLiveServer& server, int nPort);
