#pragma once

#include "app/Dialog.h"

// Reads, erases and exports the device's memory of start times (template 131). Opened modally by the main
// window's "Read Memory" button; it owns its own link to the device.
class CReadMemoryDlg : public CDialog {
    Q_OBJECT
public:
    explicit CReadMemoryDlg(QWidget* parent = nullptr);
};
