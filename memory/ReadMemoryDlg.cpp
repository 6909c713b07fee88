#include "memory/ReadMemoryDlg.h"

#include "base/Files.h"
#include "i18n/Language.h"
#include "i18n/TranslateWindow.h"
#include "settings/Settings.h"
#include "window/MessageBox.h"
#include "window/Text.h"

#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

#include <climits>
#include <vector>

namespace {

// The save dialog's one filter. Qt shows a description with its runs of blanks collapsed to one.
constexpr const char* kExportFilter = "Configuration File  (*.txt)";

// The fixed headings of the memory table; the language files never replace them.
struct CMemoryColumn {
    const char* pszHeading;
    Qt::Alignment alignment;
    int nWidthPixels;
};
constexpr CMemoryColumn kColumns[] = {
    {"Start No", Qt::AlignLeft, 60},
    {"Start Time", Qt::AlignLeft, 85},
    {"Lead Time", Qt::AlignRight, 65},
};

// The notices take rows 5 and 6 of the start-time column, in the middle of the visible part of the list.
constexpr int kNoticeRow = 5;
constexpr int kNoticeColumn = 1;

} // namespace

CReadMemoryDlg::CReadMemoryDlg(QWidget* parent)
    : CDialog(IDD_READ_MEMORY, parent), m_nBaudRate(kDefaultBaudRate), m_nPort(kDefaultPort),
      m_link(MessageBoxReporter(this)), m_listMemory(*Item<CListCtrl>(IDC_MEMORY_LIST)) {
    OnCommand(IDC_CLEAR_MEMORY, &CReadMemoryDlg::OnClearMemory);
    OnCommand(IDC_READ_MEMORY_AGAIN, &CReadMemoryDlg::OnReadMemory);
    OnCommand(IDC_SAVE_TO_FILE, &CReadMemoryDlg::OnSaveToFile);
}

bool CReadMemoryDlg::OnInitDialog() {
    CDialog::OnInitDialog();

    const CLinkSettings settings = ReadLinkSettings(GetConfigPath());
    LoadNamedLanguage(settings.m_strLanguage);
    settings.ApplyTo(m_nPort, m_nBaudRate);
    TranslateWindow(this, IDD_READ_MEMORY);

    int nColumn = 0;
    for (const CMemoryColumn& column : kColumns)
        m_listMemory.InsertColumn(nColumn++, QString::fromLatin1(column.pszHeading), column.alignment,
                                  column.nWidthPixels);
    m_listMemory.setSelectionBehavior(QAbstractItemView::SelectRows);
    m_listMemory.setAllColumnsShowFocus(true);
    ResetMemoryList();

    // A port that cannot be opened has been reported by the link; the dialog opens all the same.
    m_link.Open(m_nPort, m_nBaudRate);
    StartMemoryRead();
    return true;
}

void CReadMemoryDlg::ResetMemoryList() {
    m_listMemory.setUpdatesEnabled(false);
    m_listMemory.DeleteAllItems();
    for (int nRow = 0; nRow < kMemoryRows; ++nRow)
        m_listMemory.InsertItem(nRow, QString());
    m_listMemory.setUpdatesEnabled(true);
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
            m_listMemory.SetItemText(m_nNextRow, nColumn, FromBytes(cells[static_cast<std::size_t>(nColumn)]));
    }
    if (m_nNextRow < INT_MAX)
        ++m_nNextRow;
}

void CReadMemoryDlg::ShowNotice(const char* pszFirst, const char* pszSecond) {
    m_listMemory.SetItemText(kNoticeRow, kNoticeColumn, QString::fromLatin1(pszFirst));
    m_listMemory.SetItemText(kNoticeRow + 1, kNoticeColumn, QString::fromLatin1(pszSecond));
}

void CReadMemoryDlg::OnSaveToFile() {
    const QString strChosen = GetExportPath();
    if (strChosen.isEmpty())
        return;

    // The save dialog asked about the chosen name only; a name that gains ".txt" here is another file, which
    // may exist as well.
    const std::string strFile = ExportFileName(QFile::encodeName(strChosen).toStdString());
    const QString strFinal = QFile::decodeName(QByteArray::fromStdString(strFile));
    if (strFinal != strChosen && QFileInfo::exists(strFinal) && !ConfirmReplace(strFinal))
        return;

    std::vector<CMemoryCells> rows;
    rows.reserve(static_cast<std::size_t>(m_listMemory.GetItemCount()));
    for (int nRow = 0; nRow < m_listMemory.GetItemCount(); ++nRow)
        rows.push_back({ToBytes(m_listMemory.GetItemText(nRow, 0)), ToBytes(m_listMemory.GetItemText(nRow, 1)),
                        ToBytes(m_listMemory.GetItemText(nRow, 2))});

    // Saved whole by WriteFileReplacing: a failed write, or a write-protected file, leaves the old file as it was.
    if (!WriteFileReplacing(strFile, BuildMemoryExport(rows)))
        ShowMessageBox(QString::fromLatin1(kMsgCantCreateFile), this);
}

QString CReadMemoryDlg::GetExportPath() {
    // The platform's save dialog, with one filter, no default extension and no initial name; it asks before an
    // existing file is replaced. Qt's own dialog has no read-only box, so there is none to hide.
    QFileDialog dialog(this);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(QString::fromLatin1(kExportFilter));
    if (dialog.exec() != QDialog::Accepted)
        return {};
    const QStringList files = dialog.selectedFiles();
    return files.isEmpty() ? QString() : files.front();
}

bool CReadMemoryDlg::ConfirmReplace(const QString& strPath) {
    // The words and buttons of the save dialog's own question.
    QMessageBox box(QMessageBox::Warning, ApplicationName(),
                    QStringLiteral("%1 already exists.\nDo you want to replace it?").arg(QFileInfo(strPath).fileName()),
                    QMessageBox::Yes | QMessageBox::No, this);
    box.setDefaultButton(QMessageBox::No);
    box.setTextFormat(Qt::PlainText);
    return box.exec() == QMessageBox::Yes;
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
