#include "window/Dialog.h"

#include <QAction>

// Window managers other than Windows's offer no title-bar menu a program can extend: the entries go into the menu
// that the right mouse button opens on the dialog's background.

void CDialog::AppendSystemMenu(int nCommandId, const QString& strText, const QKeySequence& key) {
    m_systemMenu.push_back({nCommandId, strText});
    setContextMenuPolicy(Qt::ActionsContextMenu);
    auto* separator = new QAction(this);
    separator->setSeparator(true);
    addAction(separator);
    auto* entry = new QAction(strText, this);
    entry->setShortcut(key);
    entry->setShortcutContext(Qt::WindowShortcut);
    connect(entry, &QAction::triggered, this, [this, nCommandId] { OnSysCommand(nCommandId); });
    addAction(entry);
}

bool CDialog::nativeEvent(const QByteArray& eventType, void* message, qintptr* result) {
    return QDialog::nativeEvent(eventType, message, result);
}
