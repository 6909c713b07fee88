#pragma once

// Small tools the dialog tests share: reading a control's text, clicking a button by identifier, a combo box's
// entries, and acting on a modal window that a handler opens.

#include "window/Controls.h"
#include "window/Dialog.h"

#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QStringList>
#include <QTest>
#include <QTimer>

#include <memory>

// The window text of control nId, whatever its kind.
inline QString DlgItemText(const CDialog& dialog, int nId) {
    return ControlText(dialog.GetDlgItem(nId));
}

// A click of the mouse on push button nId.
inline void ClickButton(CDialog& dialog, int nId) {
    QTest::mouseClick(dialog.Item<QPushButton>(nId), Qt::LeftButton);
}

inline QStringList ComboEntries(const QComboBox& combo) {
    QStringList entries;
    for (int i = 0; i < combo.count(); ++i)
        entries << combo.itemText(i);
    return entries;
}

// Runs act(T*) on the first modal window of type T that opens (polling, as a modal run blocks the caller), and
// gives up after a few seconds so that a missing window fails the test instead of hanging it.
template <typename T, typename F>
void WhenModalOpens(QObject* owner, F act) {
    auto* poll = new QTimer(owner);
    auto tries = std::make_shared<int>(0);
    QObject::connect(poll, &QTimer::timeout, owner, [poll, tries, act] {
        if (auto* window = qobject_cast<T*>(QApplication::activeModalWidget())) {
            poll->stop();
            poll->deleteLater();
            act(window);
        } else if (++*tries > 100) {
            poll->stop();
            poll->deleteLater();
        }
    });
    poll->start(50);
}
