#include "i18n/TranslateWindow.h"

#include "i18n/Language.h"
#include "window/Controls.h"
#include "window/Text.h"

#include <QWidget>

void TranslateWindow(QWidget* window, int nKey) {
    if (!window)
        return;
    if (nKey != 0) {
        if (const auto strCaption = TranslationFor(nKey))
            window->setWindowTitle(ShownText(*strCaption));
    }
    const QList<QWidget*> children = window->findChildren<QWidget*>();
    for (QWidget* child : children) {
        const int nId = ControlId(child);
        if (nId == 0) // not a control of a template
            continue;
        if (const auto strText = TranslationFor(nId))
            SetControlText(child, ShownText(*strText));
    }
}
