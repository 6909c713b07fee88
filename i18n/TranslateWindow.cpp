#include "i18n/TranslateWindow.h"

#include "i18n/Language.h"
#include "window/Dialog.h"

void TranslateWindow(CDialog& window, int nKey) {
    if (nKey != 0) {
        if (const auto strCaption = TranslationFor(nKey))
            window.SetWindowText(Shown(*strCaption));
    }
    for (CWnd* control : window.Controls()) {
        if (const auto strText = TranslationFor(control->GetDlgCtrlID()))
            control->SetWindowText(Shown(*strText));
    }
}
