#include "programs/ParametersDlg.h"

CParametersDlg::CParametersDlg(QWidget* parent) : CDialog(IDD_PARAMETERS, parent) {}
