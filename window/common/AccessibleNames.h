#pragma once

#include "res/DialogTemplate.h"

#include <string>
#include <string_view>
#include <vector>

// What names each control of a dialog for a screen reader, from its template alone: one rule for every dialog and
// both window implementations, the way the window system's accessibility names the controls of a dialog.
//
//   1. A push button or check box with a caption names itself.
//   2. Else the label that stands directly before the control in the template names it (a hidden label too: the
//      window system's way of naming a control that shows no caption).
//   3. Else the smallest group box that frames it names it; where that box frames several controls named so, each
//      takes its number among them, in template order ("Light 1" to "Light 3"). Not a drop-down: a screen reader
//      hears a drop-down's label and its entry, and an implementation may give the label as a relation between the
//      label and the drop-down (Qt on Linux must, or the entry goes unheard), which a group box cannot be.
//   4. Else nothing names it, and the template wants a label before it.
// A spin bound to the control before it takes that control's name. Labels, group boxes and pictures (the About
// box's logo, a decoration) are not named: they are what names the others.
//
// The name is the text of the label or group box as it is now, so that it follows the language's texts: an
// implementation keeps the source and composes the name again whenever that text changes.

enum class ENameSource {
    None,  // nothing names it (or it needs no name)
    Own,   // its own caption: the implementation's control names itself
    Label, // the label directly before it
    Group, // the group box that frames it
    Buddy, // a spin: the label or group box that names the control it is bound to
};

struct CNameSource {
    ENameSource source = ENameSource::None;
    int nItem = -1;  // the template item (position in the template) whose text is the name; -1 for None
    int nNumber = 0; // its number among the group box's controls, 0 when it is the only one
    friend bool operator==(const CNameSource&, const CNameSource&) = default;
};

// One source per control of the template, in template order.
std::vector<CNameSource> AccessibleNameSources(const CDialogTemplate& dialogTemplate);

// The name a label's or group box's text gives: the text as it is shown, a mnemonic '&' removed ("&&" is one '&')
// unless the label shows '&' as it is (bNoPrefix), line breaks and tabs as single blanks, no blanks at either end,
// and the number after a blank when there is one.
std::u16string AccessibleNameFromText(std::u16string_view text, bool bNoPrefix, int nNumber);

// Whether the source's text keeps its '&' (a label with the no-prefix style).
bool KeepsAmpersands(const CDialogTemplate& dialogTemplate, const CNameSource& source);
