#include "live/LivePageDlg.h"

#include "base/Files.h"
#include "base/IniFile.h"
#include "i18n/Language.h"
#include "i18n/TranslateWindow.h"
#include "live/LiveShare.h"
#include "live/LiveTexts.h"
#include "live/QrCode.h"
#include "settings/Settings.h"
#include "window/FileDialog.h"
#include "window/MessageBox.h"
#include "window/Text.h"

#include <algorithm>
#include <optional>
#include <utility>

namespace {

// The column of the address list, in pixels at 96 dots per inch.
constexpr int kAddressWidth = 230;

// The language's text for a number, else the built-in English one.
std::string TextOf(int nId, const char* pszEnglish) {
    return TranslationFor(nId).value_or(pszEnglish);
}

// The files the open dialog lists first: the start lists results programs write.
constexpr const char* kStartListPatterns = "*.xml;*.csv;*.txt";

// The rows a start list left out, the first kLeftOutShown of them one a line with their line numbers, for the
// message that tells the user.
std::string LeftOutMessage(const std::string& strPath, const std::vector<CStartListProblem>& problems) {
    const std::size_t nShown = std::min(problems.size(), CLivePageDlg::kLeftOutShown);
    std::string strText = FillInMessage(TextOf(IDS_STARTLIST_LEFT_OUT_MESSAGE,
                                               "The start list %1 is in use. These rows of it were left out:"),
                                        strPath) +
                          "\n" + ProblemLines({problems.begin(), problems.begin() + static_cast<long>(nShown)});
    if (problems.size() > nShown)
        strText += FillInMessage(TextOf(IDS_STARTLIST_MORE_LEFT_OUT, "... and %1 more"),
                                 std::to_string(problems.size() - nShown));
    while (!strText.empty() && strText.back() == '\n')
        strText.pop_back();
    return strText;
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

CStartListInUse StartListOfSettings() {
    return StartListInUseOf(ReadStartListSetting(GetConfigPath()).value_or(std::string()));
}

CLivePageDlg::CLivePageDlg(CLiveServer& server, CWnd* pParent) : CLivePageDlg(server, m_ownStartList, {}, pParent) {
    m_ownStartList = StartListOfSettings();
}

CLivePageDlg::CLivePageDlg(CLiveServer& server, CStartListInUse& startList, StartListChanged startListChanged,
                           CWnd* pParent)
    : CDialog(IDD_LIVE_PAGE, pParent), m_server(server), m_startList(startList),
      m_startListChanged(std::move(startListChanged)), m_checkShare(Control<CButton>(IDC_LIVE_SHARE)),
      m_editPort(Control<CEdit>(IDC_LIVE_PORT)), m_labelState(Control<CStatic>(IDC_LIVE_STATE)),
      m_listAddresses(Control<CListCtrl>(IDC_LIVE_ADDRESSES)), m_editViewers(Control<CEdit>(IDC_LIVE_VIEWERS)),
      m_pictureQrCode(Control<CStatic>(IDC_LIVE_QR_CODE)), m_editStartList(Control<CEdit>(IDC_START_LIST_FILE)),
      m_buttonNoStartList(Control<CButton>(IDC_NO_START_LIST)) {
    OnCommand(IDC_LIVE_SHARE, &CLivePageDlg::OnShare);
    OnCommand(IDC_START_LIST, &CLivePageDlg::OnStartList);
    OnCommand(IDC_NO_START_LIST, &CLivePageDlg::OnNoStartList);
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
    ShowStartList();
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
    switch (LiveShareFailureOf(strError)) {
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

void CLivePageDlg::OnStartList() {
    COpenQuestion question;
    question.strTitle = TextOf(IDS_STARTLIST_OPEN_TITLE, "Open Start List");
    question.types = {
        {TextOf(IDS_STARTLIST_TYPE_LISTS, "Start Lists: IOF XML 3.0, CSV (*.xml;*.csv;*.txt)"), kStartListPatterns},
        {TextOf(IDS_STARTLIST_TYPE_ALL, "All Files (*)"), "*"}};
    question.strInitialPath = m_startList.m_strPath;
    const std::optional<std::string> strPath = AskOpenFileName(question, this);
    if (!strPath)
        return;
    // config.ini keeps the path, and the memory's exports take the list from there: a path it cannot keep whole
    // would name another file.
    if (strPath->size() > CIniFile::kValueLimit) {
        ShowMessageBox(FillInMessage(TextOf(IDS_STARTLIST_PATH_TOO_LONG,
                                            "The start list's path is longer than the %1 characters config.ini "
                                            "can keep. Move the file into a folder with a shorter path and choose "
                                            "it again."),
                                     std::to_string(CIniFile::kValueLimit)),
                       this);
        return;
    }
    CStartListInUse chosen = StartListInUseOf(*strPath);
    if (!chosen.m_list) { // the list in use stays
        ShowMessageBox(FillInMessage(TextOf(IDS_STARTLIST_CANNOT_READ, "The start list %1 cannot be read: %2."),
                                     *strPath, chosen.m_strError),
                       this);
        return;
    }
    const std::vector<CStartListProblem> problems = chosen.m_list->Problems();
    const bool bKept = UseStartList(std::move(chosen));
    if (!problems.empty())
        ShowMessageBox(LeftOutMessage(*strPath, problems), this);
    if (!bKept)
        ShowMessageBox(TextOf(IDS_STARTLIST_NOT_KEPT,
                              "config.ini cannot be written: this choice holds only until the program ends."),
                       this);
}

void CLivePageDlg::OnNoStartList() {
    if (!UseStartList({}))
        ShowMessageBox(TextOf(IDS_STARTLIST_NOT_KEPT,
                              "config.ini cannot be written: this choice holds only until the program ends."),
                       this);
}

bool CLivePageDlg::UseStartList(CStartListInUse startList) {
    // Read back: a value config.ini would not give back as it was written is no path kept.
    const bool bKept = WriteStartListSetting(GetConfigPath(), startList.m_strPath) &&
                       ReadStartListSetting(GetConfigPath()).value_or(std::string()) == startList.m_strPath;
    m_startList = std::move(startList);
    if (m_startListChanged)
        m_startListChanged();
    ShowStartList();
    return bKept;
}

void CLivePageDlg::ShowStartList() {
    std::string strText;
    const std::string strName = FileNameOf(m_startList.m_strPath);
    if (m_startList.m_strPath.empty()) {
        strText = TextOf(IDS_STARTLIST_NONE, "(none: the page shows start numbers without names)");
    } else if (!m_startList.m_list) {
        strText =
            FillInMessage(TextOf(IDS_STARTLIST_NOT_READ, "%1 cannot be read: %2"), strName, m_startList.m_strError);
    } else {
        const std::size_t nStarters = m_startList.m_list->Starters().size();
        strText = nStarters == 1 ? FillInMessage(TextOf(IDS_STARTLIST_ONE_STARTER, "%1, 1 starter"), strName)
                                 : FillInMessage(TextOf(IDS_STARTLIST_STARTERS, "%1, %2 starters"), strName,
                                                 std::to_string(nStarters));
        if (const std::size_t nLeftOut = m_startList.m_list->Problems().size(); nLeftOut > 0)
            strText = FillInMessage(TextOf(IDS_STARTLIST_ROWS_LEFT_OUT, "%1, rows left out: %2"), strText,
                                    std::to_string(nLeftOut));
    }
    // The file's name is UTF-8, as the file functions have it.
    m_editStartList.SetWindowText(Shown(strText));
    m_buttonNoStartList.EnableWindow(!m_startList.m_strPath.empty());
}
