#pragma once

#include "res/DialogTemplate.h"
#include "window/Controls.h"

#include <memory>
#include <vector>

class CDialog;

// The object of the interface's class for each control of a template, in template order (Controls.h: push button
// and group box CButton, label, icon and picture CStatic, ...), not yet attached to any window.
std::vector<std::unique_ptr<CWnd>> CreateControlObjects(const CDialogTemplate& dialogTemplate);

// Whether a control of that kind takes the keyboard focus at all (its TABSTOP style says whether Tab reaches it).
bool TakesFocus(EControlKind kind);

// The control that Tab reaches first in the dialog as it is now: the first in template order that takes the focus,
// is a tab stop, and is visible and enabled. Null when there is none.
CWnd* FirstTabStop(const CDialog& dialog);
// The control Tab reaches after pFrom in the dialog as it is now: the next one in template order (round to the
// first) that FirstTabStop would take, pFrom itself left out. Null when there is none.
CWnd* NextTabStop(const CDialog& dialog, const CWnd* pFrom);

// The rule for a control about to be disabled (both implementations' EnableWindow call it first): when it has the
// keyboard focus, the focus goes on to NextTabStop, else to the dialog itself. The window system would leave the
// focus nowhere, where keys reach no control, Tab moves nothing and a screen reader hears no focus.
void HandOnFocusBeforeDisabling(CDialog& dialog, const CWnd& control);
