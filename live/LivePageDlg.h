#pragma once

#include "live/LiveServer.h"
#include "startlist/StartListInUse.h"
#include "window/Dialog.h"

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

// Shares the live page on this computer's network (template 134), opened from the main window's "Live Page" button
// and its menu entry. The main window owns the server and publishes the unit's state to it; this dialog starts and
// stops it with its check box on the port typed, keeps the choice in config.ini, and shows the addresses a browser
// on the network opens, a QR code of the first for a phone's camera, and how many are watching. It also chooses the
// start list whose names the page shows ("Start List...", or "No Start List"), keeps it in config.ini and says
// which one is in use.
class CLivePageDlg : public CDialog {
public:
    // The viewer count is read this often while the dialog is open.
    static constexpr int TIMER_VIEWERS = 1;
    static constexpr auto kViewerPeriod = std::chrono::milliseconds{500};
    // The most characters of a port.
    static constexpr int kPortChars = 5;
    // The rows left out of a start list that its message names one by one; the rest it counts.
    static constexpr std::size_t kLeftOutShown = 5;

    // The owner's start list changed (another one, or none) while the dialog is open.
    using StartListChanged = std::function<void()>;

    // With a start list of its own: the one config.ini names.
    explicit CLivePageDlg(CLiveServer& server, CWnd* pParent = nullptr);
    // With the owner's start list, which the dialog replaces when the user chooses another, and then tells.
    CLivePageDlg(CLiveServer& server, CStartListInUse& startList, StartListChanged startListChanged,
                 CWnd* pParent = nullptr);

protected:
    bool OnInitDialog() override;
    void OnTimer(int nId) override;

    // The check box: shares on the port typed, or stops sharing.
    void OnShare();
    // "Start List...": asks for a file, reads it and uses it, or says why not.
    void OnStartList();
    // "No Start List": the page shows numbers without names.
    void OnNoStartList();

private:
    // The state line, the addresses, the QR code and the port field as the server's state is now.
    void ShowSharing();
    void ShowViewers();
    // The message for a port the server could not listen on, over the dialog.
    void ReportFailure(const std::string& strPort, const std::string& strError);
    // The start list field and "No Start List" as the start list in use is now.
    void ShowStartList();
    // Puts the list in use, keeps its path in config.ini and tells the owner; false when config.ini kept nothing.
    bool UseStartList(CStartListInUse startList);

    CLiveServer& m_server;
    CStartListInUse m_ownStartList; // the dialog's own, when the owner hands it none
    CStartListInUse& m_startList;
    StartListChanged m_startListChanged;
    CButton& m_checkShare;        // 1101
    CEdit& m_editPort;            // 1103
    CStatic& m_labelState;        // 1104
    CListCtrl& m_listAddresses;   // 1106
    CEdit& m_editViewers;         // 1108
    CStatic& m_pictureQrCode;     // 1110
    CEdit& m_editStartList;       // 1141
    CButton& m_buttonNoStartList; // 1142
};

// The start list config.ini names, read (none when it names none).
CStartListInUse StartListOfSettings();

// Starts sharing the live page on every interface at that port with the texts of the language loaded now; the
// server's result. The main window calls it at start when config.ini says to share, the dialog when the user does.
CLiveServer::CStartResult ShareLivePage(CLiveServer& server, int nPort);
