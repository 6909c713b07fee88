#include "live/LivePageDlg.h"

#include "i18n/Language.h"
#include "i18n/TranslateWindow.h"
#include "live/LiveShare.h"
#include "live/LiveTexts.h"
#include "live/PortProbe.h"
#include "live/QrCode.h"
#include "settings/Settings.h"
#include "window/MessageBox.h"
#include "window/Text.h"

#include <optional>

namespace {

// The column of the address list, in pixels at 96 dots per inch.
constexpr int kAddressWidth = 230;

// The language's text for a number, else the built-in English one.
std::string TextOf(int nId, const char* pszEnglish) {
    return TranslationFor(nId).value_or(pszEnglish);
}

CMonochromePicture PictureOf(const CQrCode& code) {
    CMonochromePicture picture;
    picture.cx = code.Size();
    picture.cy = code.Size();
    picture.dark = code.Modules();
    return picture;
}

} // namespace

CLiveServer::CStartResult ShareLivePage(CLiveServer& server, int nPort) {
    server.SetTexts(LiveTextsOf(CurrentLanguage()));
    return server.Start("", static_cast<unsigned short>(nPort));
}

CLivePageDlg::CLivePageDlg(CLiveServer& server, CWnd* pParent)
    : CDialog(IDD_LIVE_PAGE, pParent), m_server(server), m_checkShare(Control<CButton>(IDC_LIVE_SHARE)),
      m_editPort(Control<CEdit>(IDC_LIVE_PORT)), m_labelState(Control<CStatic>(IDC_LIVE_STATE)),
      m_listAddresses(Control<CListCtrl>(IDC_LIVE_ADDRESSES)), m_editViewers(Control<CEdit>(IDC_LIVE_VIEWERS)),
      m_pictureQrCode(Control<CStatic>(IDC_LIVE_QR_CODE)) {
    OnCommand(IDC_LIVE_SHARE, &CLivePageDlg::OnShare);
}

bool CLivePageDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    // The language the main window loaded at its start; the choice itself is the server's state and the file's port.
    TranslateWindow(*this, IDD_LIVE_PAGE);
    m_listAddresses.InsertColumn(0, Shown(TextOf(IDS_LIVE_PAGE_ADDRESS_HEADING, "Address")), EAlign::Left,
                                 kAddressWidth);
    m_editPort.SetLimitText(kPortChars);
    const int nPort = m_server.IsRunning() ? m_server.Port() : ReadLivePageSettings(GetConfigPath()).m_nPort;
    m_editPort.SetWindowText(std::to_string(nPort));
    ShowSharing();
    ShowViewers();
    SetTimer(TIMER_VIEWERS, kViewerPeriod);
    return true;
}

void CLivePageDlg::OnTimer(int nId) {
    if (nId == TIMER_VIEWERS)
        ShowViewers();
    CDialog::OnTimer(nId);
}

void CLivePageDlg::OnShare() {
    if (!m_checkShare.GetCheck()) {
        m_server.Stop();
        WriteLivePageSettings(GetConfigPath(), {false, ReadLivePageSettings(GetConfigPath()).m_nPort});
        ShowSharing();
        return;
    }
    const std::string strPort = m_editPort.GetWindowText();
    const std::optional<int> nPort = ParseLivePort(strPort);
    const CLiveServer::CStartResult result =
        nPort ? ShareLivePage(m_server, *nPort) : CLiveServer::CStartResult{false, "not allowed"};
    if (!result.m_bOk) {
        m_checkShare.SetCheck(false);
        ShowSharing();
        ReportFailure(strPort, result.m_strError);
        return;
    }
    // A failed write goes unreported: the page is shared all the same, and the next start does not share it.
    WriteLivePageSettings(GetConfigPath(), {true, *nPort});
    ShowSharing();
}

void CLivePageDlg::ShowSharing() {
    const bool bSharing = m_server.IsRunning();
    m_checkShare.SetCheck(bSharing);
    // The port is chosen while the page is not shared; to move it, stop sharing first.
    m_editPort.EnableWindow(!bSharing);
    m_labelState.SetWindowText(
        Shown(bSharing ? TextOf(IDS_LIVE_PAGE_ON, "Shared.") : TextOf(IDS_LIVE_PAGE_OFF, "Not shared.")));
    m_listAddresses.DeleteAllItems();
    CMonochromePicture picture;
    if (bSharing) {
        const std::vector<std::string> addresses = LocalIPv4Addresses();
        for (const std::string& strAddress : addresses)
            m_listAddresses.InsertItem(m_listAddresses.GetItemCount(), LivePageUrl(strAddress, m_server.Port()));
        if (addresses.empty()) {
            m_listAddresses.InsertItem(0, ShownAsData(TextOf(IDS_LIVE_PAGE_NO_ADDRESS, "(no network)")));
        } else if (const auto code = CQrCode::ForText(LivePageUrl(addresses.front(), m_server.Port()))) {
            picture = PictureOf(*code);
        }
    }
    m_pictureQrCode.SetPicture(picture);
}

void CLivePageDlg::ShowViewers() {
    m_editViewers.SetWindowText(std::to_string(m_server.IsRunning() ? m_server.ViewerCount() : 0));
}

void CLivePageDlg::ReportFailure(const std::string& strPort, const std::string& strError) {
    std::string strText;
    const std::optional<int> nPort = ParseLivePort(strPort);
    const bool bAnswers = LiveShareFailureOf(strError, false) == ELiveShareFailure::NotAllowed && nPort &&
                          IsPortAnswering(static_cast<unsigned short>(*nPort));
    switch (LiveShareFailureOf(strError, bAnswers)) {
    case ELiveShareFailure::InUse:
        strText = TextOf(IDS_LIVE_PAGE_PORT_IN_USE, "Port %1 is in use by another program.");
        break;
    case ELiveShareFailure::NotAllowed:
        strText = TextOf(IDS_LIVE_PAGE_PORT_NOT_ALLOWED, "Port %1 may not be used here.");
        break;
    case ELiveShareFailure::Other:
        strText = TextOf(IDS_LIVE_PAGE_PORT_FAILED, "The page cannot be shared on port %1 (%2).");
        break;
    }
    // The port as typed: digits alone (the field takes no other key), the same bytes as data or shown.
    ShowMessageBox(FillInMessage(strText, strPort, strError), this);
}
