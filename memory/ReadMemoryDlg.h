#pragma once

#include "link/SerialLink.h"
#include "memory/MemoryProtocol.h"
#include "window/Dialog.h"

// Reads, erases and exports the device's memory of start times (template 131). Opened modally by the main
// window's "Read Memory" button; it owns its own link to the device, open while the dialog is shown, and takes
// its port from config.ini (the main window's defaults, COM 7 at 2400 baud, when the file names none).
//
// The list itself is the memory table: 500 rows made in advance, filled by the entries as they arrive, and read
// back cell by cell by the export.
class CReadMemoryDlg : public CDialog {
public:
    static constexpr int kMemoryTimer = 1;
    static constexpr auto kMemoryTimerPeriod = std::chrono::milliseconds{100};

    explicit CReadMemoryDlg(CWnd* pParent = nullptr);

    int m_nBaudRate;
    int m_nPort;
    int m_nNextRow = 0; // the row that the next memory entry fills
    CSerialLink m_link;
    CListCtrl& m_listMemory;

protected:
    bool OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override; // also the close box
    void OnTimer(int nId) override;

    void OnReadMemory();
    void OnClearMemory();
    void OnSaveToFile();

    void ResetMemoryList();
    void StartMemoryRead();

private:
    void ShowEntry(const CMemoryCells& cells);
    void ShowNotice(const char* pszFirst, const char* pszSecond);
    void CloseAndEnd(int nResult);
};
