#pragma once

#include "link/DeviceOperation.h"
#include "link/SerialLink.h"
#include "programs/ProgramStore.h"
#include "programs/TransferCodec.h"
#include "settings/Settings.h"
#include "window/Dialog.h"

#include <array>
#include <string>
#include <vector>

// Edits, saves, uploads and downloads the device's programs (template 133). Opened modally by the main window's
// "Configure Parameters" button; it owns its own link and program store.
//
// A transfer sequence (download, upload of details, upload of intervals) holds the link, the store and the progress
// bar while it runs. Meanwhile nothing edits the store: the transfer buttons, the program choice, the two setting
// choices and "Change" are disabled, and Enter does nothing. The keyboard focus moves on from a control being
// disabled (the window layer's rule), so Tab, Escape and a screen reader still reach the dialog; a request to close
// the dialog (OK, Escape, close box) waits for the sequence's end: a download then stops asking after the request it
// is on, an upload of details sends its last rows and saves the program first; the dialog closes as soon as the
// sequence has closed its link.
class CParametersDlg : public CDialog {
public:
    static constexpr int kTransferTimer = 1;
    static constexpr auto kTransferTimerPeriod = std::chrono::milliseconds{100};
    static constexpr int kProgramChoices = kProgramFileCount; // "P0" to "P8"

    explicit CParametersDlg(CWnd* pParent = nullptr);
    ~CParametersDlg() override;

    // What the dialog holds in memory, for the window's owner and tests to look at.
    const CProgramStore& Store() const { return m_store; }
    // True while a transfer sequence runs.
    bool IsTransferring() const { return m_bTransferring; }

protected:
    bool OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    void OnEnterKey() override;
    void OnTimer(int nId) override;

private:
    // Handlers.
    void OnSelchangeProgram();
    void OnItemchangedDetails(int nRow, int nOldState, int nNewState);
    void OnSelchangeFirstSetting();
    void OnSelchangeSecondSetting();
    void OnItemchangedIntervals(int nRow, int nOldState, int nNewState);
    void OnChangeInterval();
    void OnSaveProgram();
    void OnDownload();
    void OnUploadDetails();
    void OnUploadIntervals();

    // The transfer sequences; each runs inside RunSequence.
    void DownloadPrograms();
    void UploadProgramDetails();
    void UploadIntervals();
    void RunSequence(void (CParametersDlg::*sequence)());
    // The transfer timer, the pace and the window messages of the sequences.
    COperationHooks SequenceHooks();
    // The one switch of a transfer: the flag every handler that edits or saves the store asks, and the controls
    // locked meanwhile.
    void SetTransferring(bool bTransferring);
    void EndWhenIdle(int nResult);

    void DrainReplies();
    void StepProgress();
    bool SaveProgram();
    void ShowDownloadedRows();

    // The lists.
    void BuildRows();
    void FillLists();
    void FillSettingColumns();
    void FillIntervalColumn();
    // The fields beside the lists from the store, for the rows shown selected (after a download or a new program).
    void ShowSelectedRows();
    void ShowDetailFields(int nRow);
    void ShowIntervalField(int nRow);
    int RowsOfNewerData(int nShownBefore);

    int m_nProgram = 0;
    // The main window's port defaults until config.ini names a port or baud rate.
    int m_nBaudRate = kDefaultBaudRate;
    int m_nPort = kDefaultPort;
    CSerialLink m_link;
    CProgramStore m_store;
    std::string m_strProgram;
    int m_nDetailRow = -1;
    int m_nIntervalRow = 0;

    // Bound controls, in this order.
    CProgressCtrl& m_progress;
    CEdit& m_editInterval;
    CListCtrl& m_listIntervals;
    CComboBox& m_comboSecondSetting;
    CComboBox& m_comboFirstSetting;
    CListCtrl& m_listDetails;
    CComboBox& m_comboProgram;

    bool m_bTransferring = false;
    int m_nEndRequest = 0; // the result a close request asked for while a sequence ran; 0 when none
    // The rows each program showed when it was last the current one, for coming back to data newer than its file.
    std::array<int, kProgramChoices> m_shownRows{};
};
