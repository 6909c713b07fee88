#include "memory/ReadMemoryDlg.h"

#include "base/Files.h"
#include "i18n/Language.h"
#include "i18n/TranslateWindow.h"
#include "memory/MemoryExport.h"
#include "settings/Settings.h"
#include "startlist/StartListInUse.h"
#include "window/FileDialog.h"
#include "window/MessageBox.h"

#include <climits>
#include <vector>

namespace {

// The save dialog: the file types of the exports, the text file first; no default extension, no initial name, a
// question before a file is replaced.
CSaveQuestion ExportQuestion() {
    CSaveQuestion question;
    question.strFilterName = kMemoryExportTypes[0].m_pszFilterName;
    question.strFilterPattern = kMemoryExportTypes[0].m_pszPattern;
    for (std::size_t i = 1; i < std::size(kMemoryExportTypes); ++i)
        question.moreTypes.push_back({kMemoryExportTypes[i].m_pszFilterName, kMemoryExportTypes[i].m_pszPattern});
    return question;
}

EMemoryExport ExportOfType(int nType) {
    if (nType < 0 || static_cast<std::size_t>(nType) >= std::size(kMemoryExportTypes))
        return EMemoryExport::Text;
    return kMemoryExportTypes[static_cast<std::size_t>(nType)].m_eExport;
}

// The fixed headings of the memory table; the language files never replace them.
struct CMemoryColumn {
    const char* pszHeading;
    EAlign align;
    int nWidthPixels;
};
constexpr CMemoryColumn kColumns[] = {
    {"Start No", EAlign::Left, 60},
    {"Start Time", EAlign::Left, 85},
    {"Lead Time", EAlign::Right, 65},
};

// The notices take rows 5 and 6 of the start-time column, in the middle of the visible part of the list.
constexpr int kNoticeRow = 5;
constexpr int kNoticeColumn = 1;

} // namespace

CReadMemoryDlg::CReadMemoryDlg(CWnd* pParent)
    : CDialog(IDD_READ_MEMORY, pParent), m_nBaudRate(kDefaultBaudRate), m_nPort(kDefaultPort),
      m_link(MessageBoxReporter(this)), m_listMemory(Control<CListCtrl>(IDC_MEMORY_LIST)) {
    OnCommand(IDC_CLEAR_MEMORY, &CReadMemoryDlg::OnClearMemory);
    OnCommand(IDC_READ_MEMORY_AGAIN, &CReadMemoryDlg::OnReadMemory);
    OnCommand(IDC_SAVE_TO_FILE, &CReadMemoryDlg::OnSaveToFile);
}

bool CReadMemoryDlg::OnInitDialog() {
    CDialog::OnInitDialog();

    const CLinkSettings settings = ReadLinkSettings(GetConfigPath());
    LoadNamedLanguage(settings.m_strLanguage);
    settings.ApplyTo(m_nPort, m_nBaudRate);
    TranslateWindow(*this, IDD_READ_MEMORY);

    // The list selects whole rows, as every list of the window layer does.
    int nColumn = 0;
    for (const CMemoryColumn& column : kColumns)
        m_listMemory.InsertColumn(nColumn++, Shown(column.pszHeading), column.align, column.nWidthPixels);
    ResetMemoryList();

    // A port that cannot be opened has been reported by the link; the dialog opens all the same.
    m_link.Open(m_nPort, m_nBaudRate);
    StartMemoryRead();
    return true;
}

void CReadMemoryDlg::ResetMemoryList() {
    m_listMemory.SetRedraw(false);
    m_listMemory.DeleteAllItems();
    for (int nRow = 0; nRow < kMemoryRows; ++nRow)
        m_listMemory.InsertItem(nRow, "");
    m_listMemory.SetRedraw(true);
}

void CReadMemoryDlg::StartMemoryRead() {
    m_link.Write(kCmdReadMemory);
    m_nNextRow = 0;
    SetTimer(kMemoryTimer, kMemoryTimerPeriod);
}

void CReadMemoryDlg::OnReadMemory() {
    ResetMemoryList();
    StartMemoryRead();
}

void CReadMemoryDlg::OnClearMemory() {
    // The list changes only when the device confirms the erase.
    m_link.Write(kCmdEraseMemory);
}

// The reply has no end-of-list line, so the timer drains the queue for as long as the dialog is open and late
// lines still land in the list.
void CReadMemoryDlg::OnTimer(int nId) {
    if (nId != kMemoryTimer)
        return;
    DrainLines(m_link, [this](const std::string& strLine) {
        const CMemoryReply reply = ParseMemoryReply(strLine);
        switch (reply.m_kind) {
        case EMemoryReply::Entry:
            ShowEntry(reply.m_cells);
            break;
        case EMemoryReply::Empty:
            ShowNotice("Memory is", "Empty!");
            break;
        case EMemoryReply::Erased:
            // The row counter stays: only a new read starts again from row 0.
            ResetMemoryList();
            ShowNotice("Memory", "Cleared!");
            break;
        case EMemoryReply::Other:
            break;
        }
    });
}

void CReadMemoryDlg::ShowEntry(const CMemoryCells& cells) {
    // Entries beyond the last row are counted but not shown.
    if (m_nNextRow >= 0 && m_nNextRow < kMemoryRows) {
        for (int nColumn = 0; nColumn < static_cast<int>(cells.size()); ++nColumn)
            m_listMemory.SetItemText(m_nNextRow, nColumn, cells[static_cast<std::size_t>(nColumn)]);
    }
    if (m_nNextRow < INT_MAX)
        ++m_nNextRow;
}

void CReadMemoryDlg::ShowNotice(const char* pszFirst, const char* pszSecond) {
    m_listMemory.SetItemText(kNoticeRow, kNoticeColumn, pszFirst);
    m_listMemory.SetItemText(kNoticeRow + 1, kNoticeColumn, pszSecond);
}

void CReadMemoryDlg::OnSaveToFile() {
    const std::optional<CSaveChoice> choice = AskSaveFile(ExportQuestion(), this);
    if (!choice)
        return;

    // The save dialog asked about the chosen name only; a name that gains its type's extension here is another
    // file, which may exist as well.
    const EMemoryExport eExport = ExportOfType(choice->nType);
    const std::string strFile = ExportFileName(choice->strPath, eExport);
    if (strFile != choice->strPath && PathExists(strFile) && !AskYesNo(ReplaceQuestion(strFile), this))
        return;

    std::vector<CMemoryCells> rows;
    rows.reserve(static_cast<std::size_t>(m_listMemory.GetItemCount()));
    for (int nRow = 0; nRow < m_listMemory.GetItemCount(); ++nRow)
        rows.push_back(
            {m_listMemory.GetItemText(nRow, 0), m_listMemory.GetItemText(nRow, 1), m_listMemory.GetItemText(nRow, 2)});

    // The files for results programs name the starters of the start list config.ini names, where it has one; one
    // that cannot be read leaves the names out, and says so once the file is saved.
    CStartListInUse startList;
    if (eExport != EMemoryExport::Text)
        startList = StartListInUseOf(ReadStartListSetting(GetConfigPath()).value_or(std::string()));
    std::string strListProblem;
    if (!startList.m_strPath.empty() && !startList.m_list)
        strListProblem = "The start list " + startList.m_strPath + " cannot be read (" + startList.m_strError +
                         "): the file is saved without names.";

    // Saved whole by WriteFileReplacing: a failed write, or a write-protected file, leaves the old file as it was.
    const std::string bytes = BuildMemoryExportOf(eExport, rows, startList.m_list.get(),
                                                  ComputerExportContext(std::chrono::system_clock::now()));
    if (!WriteFileReplacing(strFile, bytes)) {
        ShowMessageBox(kMsgCantCreateFile, this);
        return;
    }
    if (!strListProblem.empty())
        ShowMessageBox(strListProblem, this);
}

void CReadMemoryDlg::OnOK() {
    CloseAndEnd(IDOK);
}

void CReadMemoryDlg::OnCancel() {
    CloseAndEnd(IDCANCEL);
}

void CReadMemoryDlg::CloseAndEnd(int nResult) {
    m_link.Close();
    KillTimer(kMemoryTimer);
    EndDialog(nResult);
}
