#pragma once

class CDialog;

// Replaces the texts of a window from the language in use (i18n/Language.h): its caption by the text of nKey
// (0 leaves the caption alone), and the window text of every control in it by the text of the control's own
// identifier (labels without one carry IDC_STATIC and are looked up like any other). Where the language has no
// text, or its text begins with "?", the window keeps its text. Texts are shown as plain text.
void TranslateWindow(CDialog& window, int nKey);
