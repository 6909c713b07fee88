#pragma once

#include "app/Dialog.h"

// Edits, saves, uploads and downloads the device's programs (template 133). Opened modally by the main window's
// "Configure Parameters" button; it owns its own link and program store.
class CParametersDlg : public CDialog {
    Q_OBJECT
public:
    explicit CParametersDlg(QWidget* parent = nullptr);
};
