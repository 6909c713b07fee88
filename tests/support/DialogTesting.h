#pragma once

// Small tools the dialog tests share: the files beside "the executable" with the message boxes recorded, reading a
// control's text, clicking a button, choosing an entry as the user does, a combo box's entries, and acting on a
// modal window that a handler opens.

#include "base/Files.h"
#include "tests/support/TempDir.h"
#include "window/Controls.h"
#include "window/Dialog.h"
#include "window/MessageBox.h"

#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QStringList>
#include <QTest>
#include <QTimer>

#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// config.ini naming a language (when given), COM port nPort and a baud index (when given).
inline std::string SettingsNaming(int nPort, std::optional<int> nBaudIndex = {}, const char* pszLanguage = nullptr) {
    std::string strText;
    if (pszLanguage)
        strText += std::string("[System]\nLanguage=") + pszLanguage + "\n";
    strText += "[Settings]\nCOMPort=" + std::to_string(nPort - 1) + "\n";
    if (nBaudIndex)
        strText += "Baudrate=" + std::to_string(*nBaudIndex) + "\n";
    return strText;
}

inline void WriteSettings(const CTempDir& directory, int nPort, std::optional<int> nBaudIndex = {}) {
    QVERIFY(WriteFileReplacing(directory.File("config.ini"), SettingsNaming(nPort, nBaudIndex)));
}

// The directory beside "the executable" of one dialog test: config.ini with the text given (none when it is empty),
// copies of files of res/ (the language files, say), and every message box recorded instead of shown.
class CDialogFiles {
public:
    explicit CDialogFiles(const std::string& strSettings = {}, std::initializer_list<const char*> resources = {}) {
        for (const char* pszName : resources) {
            const auto bytes = ReadFileBytes(std::string(KALVORA_SOURCE_DIR) + "/res/" + pszName);
            if (!bytes)
                qFatal("cannot read res/%s", pszName);
            Write(pszName, *bytes);
        }
        if (!strSettings.empty())
            Write("config.ini", strSettings);
    }
    void Write(const std::string& strName, const std::string& strText) const {
        if (!WriteFileReplacing(m_dir.File(strName), strText))
            qFatal("cannot write %s", strName.c_str());
    }
    std::optional<std::string> Read(const std::string& strName) const { return ReadFileBytes(m_dir.File(strName)); }
    const CTempDir& Dir() const { return m_dir; }
    const CMessageBoxRecorder& Boxes() const { return m_boxes; }
    std::vector<QString> Messages() const { return m_boxes.Texts(); }

private:
    CExecutableDirectory m_dir;
    CMessageBoxRecorder m_boxes; // no test ever waits for a message box
};

// The window text of control nId, whatever its kind.
inline QString DlgItemText(const CDialog& dialog, int nId) {
    return ControlText(dialog.GetDlgItem(nId));
}

// A click of the mouse on push button nId.
inline void ClickButton(CDialog& dialog, int nId) {
    QTest::mouseClick(dialog.Item<QPushButton>(nId), Qt::LeftButton);
}

inline CComboBox* Combo(const CDialog& dialog, int nId) {
    return dialog.Item<CComboBox>(nId);
}

// A choice of the user: the entry before it (after it, for the first) is set by the program, then the Down (Up) key
// moves to it, which notifies the dialog as a choice from the list does.
inline void Choose(CComboBox* combo, int nIndex) {
    QVERIFY(combo && nIndex >= 0 && nIndex < combo->count() && combo->count() > 1);
    const bool bFromAbove = nIndex > 0;
    combo->SetCurSel(bFromAbove ? nIndex - 1 : 1);
    combo->setFocus();
    QTest::keyClick(combo, bFromAbove ? Qt::Key_Down : Qt::Key_Up);
    QCOMPARE(combo->GetCurSel(), nIndex);
}
inline void Choose(CDialog& dialog, int nId, const QString& strEntry) {
    CComboBox* combo = Combo(dialog, nId);
    QVERIFY(combo);
    Choose(combo, combo->findText(strEntry));
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
