#include "memory/ReadMemoryDlg.h"

CReadMemoryDlg::CReadMemoryDlg(QWidget* parent) : CDialog(IDD_READ_MEMORY, parent) {}
