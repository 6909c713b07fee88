#include "programs/ParametersDlg.h"

#include "base/FileLocations.h"
#include "i18n/Language.h"
#include "i18n/TranslateWindow.h"
#include "programs/TransferCodec.h"
#include "window/MessageBox.h"

#include <algorithm>
#include <optional>

namespace {

constexpr int kInitialProgram = 1;
constexpr int kIntervalRows = 10;  // CD0 to CD9
constexpr int kTopRowLabel = 10;   // detail row r is labelled 10 - r
constexpr int kIntervalLength = 5; // characters of an interval text
constexpr EAlign kCentred = EAlign::Center;

// Column widths in pixels.
constexpr int kMinuteWidth = 55;
constexpr int kFirstSettingWidth = 80;
constexpr int kSecondSettingWidth = 50;
constexpr int kIntervalNumberWidth = 50;
constexpr int kIntervalTimeWidth = 60;

// The language texts of the setting codes, in code order, which is also the order of the choice lists.
constexpr std::array kFirstSettingTexts{IDS_LIGHT_OFF, IDS_LIGHT_RED, IDS_LIGHT_YELLOW, IDS_LIGHT_GREEN};
constexpr std::array kSecondSettingTexts{IDS_SIGNAL_NONE, IDS_SIGNAL_SHORT, IDS_SIGNAL_LONG};
static_assert(kFirstSettingTexts.size() == CProgramStore::kFirstCodes);
static_assert(kSecondSettingTexts.size() == CProgramStore::kSecondCodes);

// What is disabled while a transfer sequence runs: the buttons that start or end in one, and every control that
// edits the store (the program choice reads a file into it, the setting choices and "Change" edit it). An upload was
// built before such an edit and saves after it, and a download's replies land in the store meanwhile.
constexpr std::array kLockedDuringTransfer{IDC_SELECT_PROGRAM,  IDC_FIRST_SETTING,  IDC_SECOND_SETTING,
                                           IDC_CHANGE_INTERVAL, IDC_UPLOAD_DETAILS, IDC_UPLOAD_INTERVALS,
                                           IDC_SAVE_PROGRAM,    IDC_DOWNLOAD};

// The language's text of a setting code, as the lists show it (a shown text kept among the list's data).
template <std::size_t N>
std::string SettingText(const std::optional<int>& code, const std::array<int, N>& texts) {
    if (!code || *code < 0 || *code >= static_cast<int>(N))
        return {};
    return ShownAsData(LookupText(texts[static_cast<std::size_t>(*code)]));
}

template <std::size_t N>
void FillChoices(CComboBox& combo, const std::array<int, N>& texts) {
    for (const int nText : texts)
        combo.AddString(Shown(LookupText(nText)));
    combo.SetCurSel(0);
}

} // namespace

CParametersDlg::CParametersDlg(CWnd* pParent)
    : CDialog(IDD_PARAMETERS, pParent), m_link(MessageBoxReporter(this)), m_store(MessageBoxReporter(this)),
      m_progress(Control<CProgressCtrl>(IDC_PROGRESS)), m_editInterval(Control<CEdit>(IDC_INTERVAL_TEXT)),
      m_listIntervals(Control<CListCtrl>(IDC_INTERVALS)), m_comboSecondSetting(Control<CComboBox>(IDC_SECOND_SETTING)),
      m_comboFirstSetting(Control<CComboBox>(IDC_FIRST_SETTING)),
      m_listDetails(Control<CListCtrl>(IDC_PROGRAM_DETAILS)), m_comboProgram(Control<CComboBox>(IDC_SELECT_PROGRAM)) {
    OnSelChange(IDC_SELECT_PROGRAM, &CParametersDlg::OnSelchangeProgram);
    OnItemChanged(IDC_PROGRAM_DETAILS, &CParametersDlg::OnItemchangedDetails);
    OnSelChange(IDC_FIRST_SETTING, &CParametersDlg::OnSelchangeFirstSetting);
    OnSelChange(IDC_SECOND_SETTING, &CParametersDlg::OnSelchangeSecondSetting);
    OnItemChanged(IDC_INTERVALS, &CParametersDlg::OnItemchangedIntervals);
    OnCommand(IDC_CHANGE_INTERVAL, &CParametersDlg::OnChangeInterval);
    OnCommand(IDC_SAVE_PROGRAM, &CParametersDlg::OnSaveProgram);
    OnCommand(IDC_DOWNLOAD, &CParametersDlg::OnDownload);
    OnCommand(IDC_UPLOAD_DETAILS, &CParametersDlg::OnUploadDetails);
    OnCommand(IDC_UPLOAD_INTERVALS, &CParametersDlg::OnUploadIntervals);
}

CParametersDlg::~CParametersDlg() = default;

bool CParametersDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    m_nProgram = 0;
    m_nIntervalRow = 0;
    m_nDetailRow = -1;

    const CLinkSettings settings = ReadLinkSettings(GetConfigPath());
    LoadNamedLanguage(settings.m_strLanguage);
    settings.ApplyTo(m_nPort, m_nBaudRate);
    TranslateWindow(*this, IDD_PARAMETERS);

    for (int nProgram = 0; nProgram < kProgramChoices; ++nProgram)
        m_comboProgram.AddString(ProgramName(nProgram));
    m_comboProgram.SetCurSel(kInitialProgram);
    FillChoices(m_comboFirstSetting, kFirstSettingTexts);
    FillChoices(m_comboSecondSetting, kSecondSettingTexts);

    m_strProgram = ProgramName(kInitialProgram);
    m_nProgram = kInitialProgram;
    m_store.LoadProgramFile(m_nProgram, m_strProgram, FilesDirectory());

    m_listDetails.InsertColumn(0, Shown(LookupText(IDS_HEADING_MINUTE)), kCentred, kMinuteWidth);
    m_listDetails.InsertColumn(1, Shown(LookupText(IDS_HEADING_FIRST_SETTING)), kCentred, kFirstSettingWidth);
    m_listDetails.InsertColumn(2, Shown(LookupText(IDS_HEADING_SECOND_SETTING)), kCentred, kSecondSettingWidth);
    m_listIntervals.InsertColumn(0, Shown("CD No"), kCentred, kIntervalNumberWidth);
    m_listIntervals.InsertColumn(1, Shown("CD Time"), kCentred, kIntervalTimeWidth);
    BuildRows();
    FillLists();

    m_editInterval.SetLimitText(kIntervalLength);
    m_progress.SetRange(0, kDownloadRequests);
    m_progress.SetPos(0);
    return true;
}

// ---- Closing

void CParametersDlg::OnOK() {
    EndWhenIdle(IDOK);
}

void CParametersDlg::OnCancel() {
    EndWhenIdle(IDCANCEL);
}

void CParametersDlg::EndWhenIdle(int nResult) {
    // The running sequence still writes to the link and the lists; it ends the dialog when it is done.
    if (m_bTransferring) {
        m_nEndRequest = nResult;
        return;
    }
    EndDialog(nResult);
}

void CParametersDlg::OnEnterKey() {
    // No button is the default one, and Enter as OK would close the dialog and drop every unsaved edit. Enter in
    // the interval field stores the interval; on a push button it presses that button; elsewhere, and while a
    // transfer runs, it does nothing. The same with Shift, Ctrl or Alt held and for the keypad's Enter.
    if (m_bTransferring)
        return;
    const CWnd* focused = GetFocus();
    if (!focused)
        return;
    if (focused->GetDlgCtrlID() == IDC_INTERVAL_TEXT) {
        OnChangeInterval();
        return;
    }
    if (dynamic_cast<const CButton*>(focused) && focused->IsWindowEnabled() && focused->IsWindowVisible())
        SendCommand(focused->GetDlgCtrlID());
}

// ---- Program choice and lists

void CParametersDlg::OnSelchangeProgram() {
    const int nProgram = m_comboProgram.GetCurSel();
    if (m_bTransferring || nProgram < 0 || nProgram >= kProgramChoices)
        return;
    m_shownRows[static_cast<std::size_t>(m_nProgram)] = m_store.RowCount();
    m_strProgram = m_comboProgram.GetLBText(nProgram);
    m_nProgram = nProgram;
    if (m_store.IsModified(m_nProgram)) {
        // Downloaded or edited data is newer than the file: reading the file would drop it unseen and unsaved.
        m_store.SetRowCount(RowsOfNewerData(m_shownRows[static_cast<std::size_t>(m_nProgram)]));
    } else {
        m_store.LoadProgramFile(m_nProgram, m_strProgram, FilesDirectory());
    }
    BuildRows();
    FillLists();
    ShowSelectedRows();
}

void CParametersDlg::BuildRows() {
    // The rows the user selected stay selected in the new rows, as far as they still exist.
    const auto states = [](const CListCtrl& list) {
        std::vector<int> rowStates;
        for (int nRow = 0; nRow < list.GetItemCount(); ++nRow)
            rowStates.push_back(list.GetItemState(nRow));
        return rowStates;
    };
    const auto restore = [](CListCtrl& list, const std::vector<int>& rowStates) {
        constexpr int kBoth = CListCtrl::kStateSelected | CListCtrl::kStateFocused;
        for (int nRow = 0; nRow < list.GetItemCount() && nRow < static_cast<int>(rowStates.size()); ++nRow) {
            if (rowStates[static_cast<std::size_t>(nRow)] & kBoth)
                list.SetItemState(nRow, rowStates[static_cast<std::size_t>(nRow)], kBoth);
        }
    };
    const std::vector<int> detailStates = states(m_listDetails);
    const std::vector<int> intervalStates = states(m_listIntervals);
    m_listDetails.DeleteAllItems();
    m_listIntervals.DeleteAllItems();
    for (int nRow = 0; nRow < m_store.RowCount(); ++nRow)
        m_listDetails.InsertItem(nRow, std::to_string(kTopRowLabel - nRow));
    for (int nRow = 0; nRow < kIntervalRows; ++nRow)
        m_listIntervals.InsertItem(nRow, "CD" + std::to_string(nRow));
    restore(m_listDetails, detailStates);
    restore(m_listIntervals, intervalStates);
    // A detail row that is gone leaves no row for a setting choice to act on.
    if (m_nDetailRow >= m_listDetails.GetItemCount())
        m_nDetailRow = -1;
}

void CParametersDlg::ShowSelectedRows() {
    // The fields beside the lists show what the store now holds for the selected rows, so that a choice or
    // "Change" acts on the row the user sees selected, with the text the user sees.
    if (m_nDetailRow >= 0 && (m_listDetails.GetItemState(m_nDetailRow) & CListCtrl::kStateSelected))
        ShowDetailFields(m_nDetailRow);
    if (m_nIntervalRow >= 0 && (m_listIntervals.GetItemState(m_nIntervalRow) & CListCtrl::kStateSelected))
        ShowIntervalField(m_nIntervalRow);
}

void CParametersDlg::ShowDetailFields(int nRow) {
    // The edit fields show the row's settings; the choice lists keep their selection.
    m_comboFirstSetting.SetWindowText(SettingText(m_store.GetFirstSetting(m_nProgram, nRow), kFirstSettingTexts));
    m_comboSecondSetting.SetWindowText(SettingText(m_store.GetSecondSetting(m_nProgram, nRow), kSecondSettingTexts));
}

void CParametersDlg::ShowIntervalField(int nRow) {
    m_editInterval.SetWindowText(m_store.GetInterval(m_nProgram, nRow));
}

void CParametersDlg::FillLists() {
    FillSettingColumns();
    FillIntervalColumn();
}

void CParametersDlg::FillSettingColumns() {
    const int nRows = std::min(m_store.RowCount(), m_listDetails.GetItemCount());
    for (int nRow = 0; nRow < nRows; ++nRow) {
        m_listDetails.SetItemText(nRow, 1, SettingText(m_store.GetFirstSetting(m_nProgram, nRow), kFirstSettingTexts));
        m_listDetails.SetItemText(nRow, 2,
                                  SettingText(m_store.GetSecondSetting(m_nProgram, nRow), kSecondSettingTexts));
    }
}

void CParametersDlg::FillIntervalColumn() {
    for (int nRow = 0; nRow < kIntervalRows; ++nRow)
        m_listIntervals.SetItemText(nRow, 1, m_store.GetInterval(m_nProgram, nRow));
}

void CParametersDlg::OnItemchangedDetails(int nRow, int /*nOldState*/, int nNewState) {
    if (nNewState == 0)
        return;
    m_nDetailRow = nRow;
    ShowDetailFields(nRow);
}

void CParametersDlg::OnSelchangeFirstSetting() {
    if (m_bTransferring || m_nDetailRow < 0)
        return;
    // The position in the choice list is the code: a shown text is never looked up again.
    m_store.SetFirstSetting(m_nProgram, m_nDetailRow, m_comboFirstSetting.GetCurSel());
    FillSettingColumns();
}

void CParametersDlg::OnSelchangeSecondSetting() {
    if (m_bTransferring || m_nDetailRow < 0)
        return;
    m_store.SetSecondSetting(m_nProgram, m_nDetailRow, m_comboSecondSetting.GetCurSel());
    FillSettingColumns();
}

void CParametersDlg::OnItemchangedIntervals(int nRow, int /*nOldState*/, int nNewState) {
    if (nNewState != 0) {
        m_nIntervalRow = nRow;
        ShowIntervalField(nRow);
    }
    m_editInterval.SetFocus();
}

void CParametersDlg::OnChangeInterval() {
    if (m_bTransferring || m_nIntervalRow < 0)
        return;
    m_store.SetInterval(m_nProgram, m_nIntervalRow, m_editInterval.GetWindowText());
    FillIntervalColumn();
}

// ---- Saving

void CParametersDlg::OnSaveProgram() {
    if (m_bTransferring)
        return;
    SaveProgram();
}

bool CParametersDlg::SaveProgram() {
    if (!m_store.SaveProgramFile(m_nProgram, m_strProgram, FilesDirectory()))
        return false;
    KillTimer(kTransferTimer);
    return true;
}

// ---- Transfer sequences

void CParametersDlg::OnDownload() {
    RunSequence(&CParametersDlg::DownloadPrograms);
}

void CParametersDlg::OnUploadDetails() {
    RunSequence(&CParametersDlg::UploadProgramDetails);
}

void CParametersDlg::OnUploadIntervals() {
    RunSequence(&CParametersDlg::UploadIntervals);
}

void CParametersDlg::RunSequence(void (CParametersDlg::*sequence)()) {
    // A sequence started inside another (through the window messages it lets run) would reopen the link the
    // first one holds and cut it short.
    if (m_bTransferring)
        return;
    // Disabling the button that started the sequence sends the keyboard focus on along the tab order (to OK, from
    // "Download From Kalvora"); it comes back when the sequence ends, so that Enter never reaches OK by way of a
    // transfer. Where the user took the focus meanwhile, it stays.
    CWnd* pStarter = GetFocus();
    SetTransferring(true);
    const CWnd* pHandedTo = GetFocus();
    (this->*sequence)();
    SetTransferring(false);
    if (m_nEndRequest != 0) {
        EndDialog(m_nEndRequest);
        return;
    }
    if (pStarter && GetFocus() == pHandedTo && pStarter->IsWindowEnabled() && pStarter->IsWindowVisible())
        pStarter->SetFocus();
}

void CParametersDlg::SetTransferring(bool bTransferring) {
    m_bTransferring = bTransferring;
    // The control with the focus last, so that the focus moves once, to a control that stays enabled.
    const CWnd* pFocus = GetFocus();
    CWnd* pFocusLocked = nullptr;
    for (const int nId : kLockedDuringTransfer) {
        CWnd* control = GetDlgItem(nId);
        if (control == pFocus)
            pFocusLocked = control;
        else if (control)
            control->EnableWindow(!bTransferring);
    }
    if (pFocusLocked)
        pFocusLocked->EnableWindow(!bTransferring);
}

COperationHooks CParametersDlg::SequenceHooks() {
    COperationHooks hooks;
    hooks.m_arm = [this] {
        SetTimer(kTransferTimer, kTransferTimerPeriod);
    };
    hooks.m_wait = &CDialog::Sleep;
    hooks.m_pump = &CDialog::PumpMessages;
    return hooks;
}

void CParametersDlg::DownloadPrograms() {
    m_progress.SetPos(0);
    COperationHooks hooks = SequenceHooks();
    // A close request stops the download after the request it is on.
    hooks.m_stopRequested = [this] {
        return m_nEndRequest != 0;
    };
    RunDeviceOperation(m_link, m_nPort, m_nBaudRate, DownloadOperation(), hooks);
    // The link is closed and its reader stopped, so every reply is queued: decode them all now, for the lists to
    // show and the progress bar to end at 0.
    DrainReplies();
    m_progress.SetPos(0);
    ShowDownloadedRows();
    FillLists();
    ShowSelectedRows();
}

void CParametersDlg::ShowDownloadedRows() {
    // A program whose file gave its rows keeps them: the download refreshes them. One without rows of its own shows
    // what the download filled, or the upload and the save would leave it out.
    if (!m_store.IsModified(m_nProgram))
        return; // "P0", or nothing answered
    const int nRows = RowsOfNewerData(m_store.RowCount());
    if (nRows == m_store.RowCount())
        return;
    m_store.SetRowCount(nRows);
    BuildRows();
}

// The rows program m_nProgram shows for data newer than its file, having shown nShownBefore.
int CParametersDlg::RowsOfNewerData(int nShownBefore) {
    return ShownRows(m_store.FileRows(m_nProgram, m_strProgram, FilesDirectory()), nShownBefore,
                     m_store.FilledRowCount(m_nProgram));
}

void CParametersDlg::UploadProgramDetails() {
    RunDeviceOperation(m_link, m_nPort, m_nBaudRate, UploadDetailsOperation(m_store, m_nProgram), SequenceHooks());
    SaveProgram();
}

void CParametersDlg::UploadIntervals() {
    // The intervals go out as the list shows them.
    CIntervalTexts texts;
    for (int nInterval = 0; nInterval < kIntervalRows; ++nInterval)
        texts[static_cast<std::size_t>(nInterval)] = m_listIntervals.GetItemText(nInterval, 1);
    RunDeviceOperation(m_link, m_nPort, m_nBaudRate, UploadIntervalsOperation(m_nProgram, texts), SequenceHooks());
    SaveProgram();
}

void CParametersDlg::OnTimer(int nId) {
    if (nId == kTransferTimer)
        DrainReplies();
    CDialog::OnTimer(nId);
}

void CParametersDlg::DrainReplies() {
    DrainLines(m_link, [this](const std::string& strLine) {
        if (ParseTransferReply(strLine, m_store))
            StepProgress();
    });
}

void CParametersDlg::StepProgress() {
    m_progress.SetPos(m_progress.GetPos() + 1); // kept inside the range
}
