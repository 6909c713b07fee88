#pragma once

#include "window/win32/Win32Window.h"

#include <cstdint>
#include <vector>

// Turns a template of res/dialogs into the window system's own form, an extended dialog template in memory
// (DLGTEMPLATEEX and one DLGITEMTEMPLATEEX per control), so that the dialog manager itself creates the dialog and its
// controls: the dialog font, the dialog units, the tab order and the default push button are then the system's.
//
// Kinds become these classes and styles:
//   PUSHBUTTON    Button, BS_PUSHBUTTON or BS_DEFPUSHBUTTON, BS_FLAT, BS_MULTILINE
//   GROUPBOX      Button, BS_GROUPBOX
//   LABEL         Static, SS_LEFT (SS_LEFTNOWORDWRAP one line high), SS_RIGHT or SS_CENTER, SS_NOPREFIX
//   EDIT          Edit, ES_READONLY, ES_NUMBER, ES_AUTOHSCROLL, ES_RIGHT or ES_CENTER
//   DROPDOWNLIST  ComboBox, CBS_DROPDOWNLIST (the template's height is the dropped height; no CBS_SORT: the layer
//   DROPDOWN      ComboBox, CBS_DROPDOWN      puts entries in their sorted place itself, with its own rule)
//   SPIN          msctls_updown32, UDS_AUTOBUDDY, UDS_ALIGNRIGHT, UDS_SETBUDDYINT, UDS_ARROWKEYS, UDS_NOTHOUSANDS
//   ICON          Static, SS_ICON, SS_REALSIZEIMAGE (the icon itself is set after creation: it is drawn, not loaded)
//   PICTURE       Static, SS_BITMAP (likewise)
//   LISTVIEW      SysListView32, LVS_REPORT, LVS_SINGLESEL, LVS_SHOWSELALWAYS
//   PROGRESS      msctls_progress32, PBS_SMOOTH
// TABSTOP, HIDDEN, DISABLED and BORDER are WS_TABSTOP, no WS_VISIBLE, WS_DISABLED and WS_BORDER. The dialog itself is
// never created visible: it shows when the program runs it, in the middle of its owner or of the screen.
class CDialogBuilder {
public:
    explicit CDialogBuilder(const CDialogTemplate& dialogTemplate) : m_template(dialogTemplate) {}

    // The template's bytes, aligned as CreateDialogIndirectParamW wants them (it is given the data's address).
    std::vector<DWORD> Build() const;

    static DWORD DialogStyle(const CDialogTemplate& dialogTemplate);
    static DWORD DialogExStyle(const CDialogTemplate& dialogTemplate);
    static DWORD ControlStyle(const CControlTemplate& control);
    // The window class of a control, as the dialog manager creates it.
    static const wchar_t* ControlClass(EControlKind kind);

private:
    const CDialogTemplate& m_template;
};
