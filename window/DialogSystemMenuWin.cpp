#include "window/Dialog.h"

#include <QAction>

#include <windows.h>

#include <algorithm>

// The entries go into the window's real system menu, through its native handle. The menu is the window's own copy
// (GetSystemMenu with FALSE); a native window that Qt makes anew has a fresh copy, so the entries are put in again
// whenever the menu is about to open and lacks them. The system uses the lowest four bits of a system command, so a
// command is ours when it matches one of our identifiers with those bits cleared, and OnSysCommand receives the
// command as the system sent it.

namespace {

constexpr WPARAM kSystemCommandMask = 0xFFF0;

bool HasEntry(HMENU hMenu, int nCommandId) {
    return GetMenuState(hMenu, static_cast<UINT>(nCommandId), MF_BYCOMMAND) != static_cast<UINT>(-1);
}

void AddEntry(HMENU hMenu, int nCommandId, const QString& strText) {
    AppendMenuW(hMenu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(hMenu, MF_STRING, static_cast<UINT_PTR>(nCommandId), reinterpret_cast<LPCWSTR>(strText.utf16()));
}

} // namespace

void CDialog::AppendSystemMenu(int nCommandId, const QString& strText, const QKeySequence& key) {
    // The system menu shows the key after a tab, right-aligned, as its own entries show Alt+F4.
    const QString strEntry = key.isEmpty() ? strText : strText + u'\t' + key.toString(QKeySequence::NativeText);
    m_systemMenu.push_back({nCommandId, strEntry});
    // The key works anywhere in the dialog, as on every other platform.
    if (!key.isEmpty()) {
        auto* shortcut = new QAction(this);
        shortcut->setShortcut(key);
        shortcut->setShortcutContext(Qt::WindowShortcut);
        connect(shortcut, &QAction::triggered, this, [this, nCommandId] { OnSysCommand(nCommandId); });
        addAction(shortcut);
    }
    // winId() makes the native window if there is none yet (the entries are added before the dialog is shown).
    if (const HMENU hMenu = GetSystemMenu(reinterpret_cast<HWND>(winId()), FALSE);
        hMenu && !HasEntry(hMenu, nCommandId))
        AddEntry(hMenu, nCommandId, strEntry);
}

bool CDialog::nativeEvent(const QByteArray& eventType, void* message, qintptr* result) {
    if (eventType != "windows_generic_MSG" || message == nullptr)
        return QDialog::nativeEvent(eventType, message, result);
    const MSG& msg = *static_cast<const MSG*>(message);
    if (msg.message == WM_INITMENU) {
        const HMENU hMenu = reinterpret_cast<HMENU>(msg.wParam);
        if (hMenu != nullptr && hMenu == GetSystemMenu(msg.hwnd, FALSE)) {
            for (const CSystemMenuEntry& entry : m_systemMenu) {
                if (!HasEntry(hMenu, entry.m_nCommandId))
                    AddEntry(hMenu, entry.m_nCommandId, entry.m_strText);
            }
        }
    } else if (msg.message == WM_SYSCOMMAND) {
        const WPARAM nCommand = msg.wParam & kSystemCommandMask;
        const bool bOurs = std::any_of(m_systemMenu.begin(), m_systemMenu.end(), [&](const CSystemMenuEntry& entry) {
            return (static_cast<WPARAM>(entry.m_nCommandId) & kSystemCommandMask) == nCommand;
        });
        if (bOurs) {
            OnSysCommand(static_cast<int>(msg.wParam));
            if (result != nullptr)
                *result = 0;
            return true;
        }
    }
    return QDialog::nativeEvent(eventType, message, result);
}
