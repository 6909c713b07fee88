#pragma once

#include "res/Resource.h"
#include "window/Controls.h"
#include "window/DialogBuilder.h"

#include <QComboBox>
#include <QDialog>
#include <QKeySequence>

#include <chrono>
#include <functional>
#include <map>
#include <type_traits>
#include <vector>

class QTimer;

// A dialog built from its template (res/dialogs/<n>.dlg), with the manners of the window system's dialogs.
//
// Declaring a dialog:
//
//   class CReadMemoryDlg : public CDialog {
//   public:
//       explicit CReadMemoryDlg(QWidget* parent = nullptr) : CDialog(IDD_READ_MEMORY, parent) {
//           OnCommand(IDC_CLEAR_MEMORY, &CReadMemoryDlg::OnClearMemory);     // a push button
//           OnSelChange(IDC_PROGRAM, &CReadMemoryDlg::OnSelchangeProgram);    // a choice in a drop-down list
//           Connect(IDC_MEMORY_LIST, &CListCtrl::ItemStateChanged, &CReadMemoryDlg::OnItemchanged); // any signal
//       }
//   protected:
//       bool OnInitDialog() override;     // call CDialog::OnInitDialog() first, as the framework's dialogs do
//       void OnOK() override;             // button IDOK and Enter without a default button
//       void OnTimer(int nId) override;
//   };
//
// The controls exist from construction on (the builder creates them all); reach them by identifier with
// GetDlgItem(id) or typed with Item<T>(id), e.g. Item<QLineEdit>(IDC_BRIGHTNESS), Item<CComboBox>(IDC_PROGRAM),
// Item<CSpinButtonCtrl>(IDC_BRIGHTNESS_SPIN), Item<CListCtrl>(IDC_MEMORY_LIST), Item<QLabel>(IDC_STATUS_LAMP).
// SetControlText/ControlText (Controls.h) read and write any control's window text.
//
// Commands: every push button sends its identifier as a command when clicked. A command runs the handler given to
// OnCommand; with none, IDOK runs OnOK() and IDCANCEL runs OnCancel(). Keys: Escape sends IDCANCEL; Enter sends
// the identifier of the focused push button, else that of the default push button (DEFAULT in the template),
// else IDOK; a command whose control is disabled is not sent. OnEnterKey() can be overridden to change that.
// The close box (and Alt+F4) runs OnClose(), by default OnCancel().
//
// Life: OnInitDialog() runs once, when the dialog is first created by DoModal() or Create() and before it is
// shown; when it returns true the focus goes to the first tab stop. DoModal() returns the result given to
// EndDialog() (IDOK, IDCANCEL, ...). EndDialog() ends the run and stops the dialog's timers.
//
// The rest of the window layer:
//   Controls.h    CComboBox (AddString honours the template's sort style, GetCurSel/SetCurSel), CSpinButtonCtrl
//                 (SetRange/SetPos/GetPos), CListCtrl (InsertColumn/InsertItem/SetItemText/GetItemText/
//                 DeleteAllItems, ItemStateChanged), SetStaticIcon/StaticIconId for the lamps. An edit's length
//                 limit is QLineEdit::setMaxLength; colours are the widget's palette.
//   Resources.h   IconPixmap(IDI_LAMP_...), AppIcon(), BitmapPixmap, ResourceString(IDS_ABOUTBOX), DisplayFont().
//   MessageBox.h  MessageBoxReporter(this) for the core objects a dialog owns; CMessageBoxRecorder in tests.
//   i18n/TranslateWindow.h  TranslateWindow(this, IDD_...) after loading the language.
//   AddAboutEntry (below) for the main window's menu; the About box itself is the application's (app/).
class CDialog : public QDialog {
    Q_OBJECT
public:
    explicit CDialog(int nTemplateId, QWidget* parent = nullptr);
    ~CDialog() override;

    // Runs the dialog modally and returns the result given to EndDialog.
    int DoModal();
    // Shows the dialog without a modal run (for tests): creates it (OnInitDialog) and shows it.
    void Create();
    // Ends the dialog's run with a result; also stops every timer of the dialog.
    void EndDialog(int nResult);
    // True once EndDialog has been called.
    bool IsEnded() const { return m_bEnded; }
    int TemplateId() const { return m_nTemplateId; }

    // The first control with that identifier, or null.
    QWidget* GetDlgItem(int nId) const;
    template <typename T>
    T* Item(int nId) const {
        return qobject_cast<T*>(GetDlgItem(nId));
    }
    // A control that the dialog's class binds to a member, as a reference. The template is the program's own data:
    // a control missing there, or of another kind, is a fault of the program, which then ends with a message
    // naming the template and the control.
    template <typename T>
    T& Control(int nId) const {
        if (T* control = Item<T>(nId))
            return *control;
        MissingBoundControl(nId);
    }
    // All controls in template order.
    const std::vector<QWidget*>& Controls() const { return m_controls; }
    const CDialogUnits& Units() const { return m_units; }

    // Runs the command nId as a click of its push button would (see above); true when something handled it.
    bool SendCommand(int nId);

    // Window timers by identifier: SetTimer starts the timer, or restarts it with the new period when it runs;
    // each tick calls OnTimer(nId). KillTimer stops it and tells whether it was running. The ticks come from this
    // window's event queue, so a tick is never delivered in the middle of a handler except through PumpMessages.
    void SetTimer(int nId, std::chrono::milliseconds period);
    // One tick of timer nId after `delay`, to the millisecond (a timer that must land on a moment, not a period);
    // it runs until that tick or KillTimer. Replaces a running timer nId.
    void SetTimerOnce(int nId, std::chrono::milliseconds delay);
    bool KillTimer(int nId);
    bool IsTimerRunning(int nId) const;

    // Blocks the window's thread: nothing is drawn or handled meanwhile (the device operations are synchronous).
    static void Sleep(std::chrono::milliseconds duration);
    // Handles the window events that are pending, inside a long operation.
    static void PumpMessages();

    // Appends a separator and an entry to the window's menu; choosing the entry (or pressing its key) calls
    // OnSysCommand with the command. On Windows the entry goes into the real system menu of the title bar
    // (DialogSystemMenuWin.cpp), whose commands arrive with their lowest four bits used by the system. Other window
    // managers offer no title-bar menu a program can extend, so there the entries appear in the menu that the right
    // mouse button opens on the dialog's background (DialogSystemMenu.cpp).
    void AppendSystemMenu(int nCommandId, const QString& strText, const QKeySequence& key = {});

protected:
    // Handler registration; the handlers are member functions of the derived dialog.
    template <typename Derived>
    void OnCommand(int nId, void (Derived::*handler)()) {
        static_assert(std::is_base_of_v<CDialog, Derived>);
        m_commands[nId] = [this, handler] {
            (static_cast<Derived*>(this)->*handler)();
        };
    }
    // A choice the user makes in drop-down list nId (not a selection set by the program).
    template <typename Derived>
    void OnSelChange(int nId, void (Derived::*handler)()) {
        Connect(nId, &QComboBox::activated, handler);
    }
    // Any signal of control nId to a handler of the derived dialog.
    template <typename Control, typename... SignalArgs, typename Derived, typename... SlotArgs>
    void Connect(int nId, void (Control::*signal)(SignalArgs...), void (Derived::*handler)(SlotArgs...)) {
        static_assert(std::is_base_of_v<CDialog, Derived>);
        if (auto* control = Item<Control>(nId))
            QObject::connect(control, signal, static_cast<Derived*>(this), handler);
        else
            MissingControl(nId);
    }

    virtual bool OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();
    virtual void OnClose();
    virtual void OnEnterKey();
    virtual void OnTimer(int nId);
    virtual void OnSysCommand(int nCommandId);

    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    // The system menu's commands on Windows; every other message goes on to Qt.
    bool nativeEvent(const QByteArray& eventType, void* message, qintptr* result) override;

public:
    // QDialog's own ways of ending go through the same handlers.
    void accept() override { OnOK(); }
    void reject() override { OnCancel(); }

private:
    void InitialiseOnce();
    QTimer& TimerFor(int nId);
    void SendKeyCommand(int nId);
    void MissingControl(int nId) const;
    [[noreturn]] void MissingBoundControl(int nId) const;

    int m_nTemplateId;
    CDialogUnits m_units{1, 1};
    std::vector<QWidget*> m_controls;
    std::map<int, std::function<void()>> m_commands;
    std::map<int, QTimer*> m_timers;
    struct CSystemMenuEntry {
        int m_nCommandId;
        QString m_strText;
    };
    std::vector<CSystemMenuEntry> m_systemMenu; // what AppendSystemMenu added, for the platform's menu
    bool m_bInitialised = false;
    bool m_bEnded = false;
};

// Puts the About entry into a window's menu: ResourceString(IDS_ABOUTBOX) with command IDM_ABOUTBOX, also on F1,
// after a separator; nothing when that string is empty. The window's OnSysCommand receives the command; a command
// whose identifier with its lowest four bits cleared is IDM_ABOUTBOX opens the About box.
void AddAboutEntry(CDialog& window);
