#pragma once

#include "base/Reporter.h"

#include <QString>

#include <functional>
#include <vector>

class QWidget;

// The program's message boxes: the fixed English texts of app/Reporter.h, titled with the program's name, with an
// exclamation icon and a single OK button; never translated.

// The program's name: the executable's file name without its extension (everything before the last '.'), so
// that renaming the executable renames the title of every message box.
QString ApplicationName();
// The same rule for any path of an executable.
QString ApplicationNameFromPath(const QString& strExecutablePath);

// Shows strText modally and returns when the user has pressed OK.
void ShowMessageBox(const QString& strText, QWidget* parent = nullptr);

// The reporter that core objects of a window are given: each message becomes a message box over the window.
Reporter MessageBoxReporter(QWidget* parent = nullptr);

// Replaces the modal box, e.g. by a recorder in a test; an empty hook restores the box. Returns the previous hook.
using MessageBoxHook = std::function<void(const QString& strTitle, const QString& strText)>;
MessageBoxHook SetMessageBoxHook(MessageBoxHook hook);

// Records every message box shown while it lives, instead of showing it.
class CMessageBoxRecorder {
public:
    struct CEntry {
        QString strTitle;
        QString strText;
    };

    CMessageBoxRecorder();
    ~CMessageBoxRecorder();
    CMessageBoxRecorder(const CMessageBoxRecorder&) = delete;
    CMessageBoxRecorder& operator=(const CMessageBoxRecorder&) = delete;

    const std::vector<CEntry>& Entries() const { return m_entries; }
    // The texts alone, in order.
    std::vector<QString> Texts() const;

private:
    std::vector<CEntry> m_entries;
    MessageBoxHook m_previous;
};
