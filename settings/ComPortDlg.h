#pragma once

#include "window/Dialog.h"

// Chooses the COM port (template 132). After OK the caller takes m_nPort and m_nBaudRate; m_nBaudRate keeps the
// value given at construction (the caller's current baud rate) when the baud-rate list has no selection.
// The baud rate is shown but cannot be changed: its list stays disabled, and OK writes its position back.
class CComPortDlg : public CDialog {
public:
    explicit CComPortDlg(int nCurrentBaudRate, CWnd* pParent = nullptr);

    int m_nBaudRate;
    int m_nPort = 0;
    CComboBox& m_comboPort;
    CComboBox& m_comboBaud;

protected:
    bool OnInitDialog() override;
    void OnOK() override;
};
