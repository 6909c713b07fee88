#include "settings/ComPortDlg.h"

CComPortDlg::CComPortDlg(int nCurrentBaudRate, QWidget* parent)
    : CDialog(IDD_COM_PORT, parent), m_nBaudRate(nCurrentBaudRate) {}
