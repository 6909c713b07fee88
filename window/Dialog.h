#pragma once

#include "res/DialogTemplate.h"
#include "res/Resource.h"
#include "window/Controls.h"

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <type_traits>
#include <vector>

// A dialog built from its template (res/dialogs/<n>.dlg), with the manners of the window system's dialogs.
//
// Declaring a dialog:
//
//   class CReadMemoryDlg : public CDialog {
//   public:
//       explicit CReadMemoryDlg(CWnd* pParent = nullptr) : CDialog(IDD_READ_MEMORY, pParent) {
//           OnCommand(IDC_CLEAR_MEMORY, &CReadMemoryDlg::OnClearMemory);     // a push button
//           OnSelChange(IDC_PROGRAM, &CReadMemoryDlg::OnSelchangeProgram);    // a choice in a drop-down list
//           OnItemChanged(IDC_MEMORY_LIST, &CReadMemoryDlg::OnItemchanged);  // a row's state in a list
//       }
//   protected:
//       bool OnInitDialog() override;     // call CDialog::OnInitDialog() first, as the framework's dialogs do
//       void OnOK() override;             // button IDOK and Enter without a default button
//       void OnTimer(int nId) override;
//   };
//
// The controls exist from construction on (the implementation builds them all); reach them by identifier with
// GetDlgItem(id) or typed with Control<T>(id) / Item<T>(id): Control<CEdit>(IDC_BRIGHTNESS),
// Control<CComboBox>(IDC_PROGRAM), Control<CStatic>(IDC_STATUS_LAMP) (Controls.h).
//
// Commands: every push button sends its identifier as a command when the user clicks it. A command runs the handler
// given to OnCommand; with none, IDOK runs OnOK() and IDCANCEL runs OnCancel(). Keys: Escape sends IDCANCEL; Enter
// sends the identifier of the focused push button, else that of the default push button (DEFAULT in the template),
// else IDOK; a command whose control is disabled is not sent. OnEnterKey() can be overridden to change that. Enter
// is Enter with Shift, Ctrl or Alt held and from the numeric keypad too, and Escape with Shift or Ctrl (Alt+Escape is
// the system's): those keys are decided by these rules alone, never also by the window system's dialog manager. The
// close box (and Alt+F4) runs OnClose(), by default OnCancel().
//
// Focus: a control that has the keyboard focus hands it on before it is disabled, to the next tab stop in template
// order that the user can reach, else to the dialog itself, so that the keyboard never goes dead.
//
// Life: OnInitDialog() runs once, when the dialog is first created by DoModal() or Create() and before it is
// shown; when it returns true the focus goes to the first tab stop. DoModal() returns the result given to
// EndDialog() (IDOK, IDCANCEL, ...). EndDialog() ends the run and stops the dialog's timers.
//
// The rest of the window layer: MessageBox.h (message boxes and questions), FileDialog.h (the save question),
// Resources.h (the display font, the About entry's text), i18n/TranslateWindow.h (the language's texts).
class CDialog : public CWnd {
public:
    struct DialogImpl; // the implementation's dialog window and its event plumbing

    explicit CDialog(int nTemplateId, CWnd* pParentWnd = nullptr);
    ~CDialog() override;

    // Runs the dialog modally and returns the result given to EndDialog.
    int DoModal();
    // Shows the dialog without a modal run (for tests): creates it (OnInitDialog) and shows it.
    void Create();
    // Ends the dialog's run with a result; also stops every timer of the dialog and hides it.
    void EndDialog(int nResult);
    // True once EndDialog has been called; Result() is what it was given (0 before).
    bool IsEnded() const { return m_bEnded; }
    int Result() const { return m_nResult; }
    int TemplateId() const { return m_nTemplateId; }
    // The template the dialog was built from (an empty one when it is missing or malformed).
    const CDialogTemplate& Template() const { return m_template; }
    CWnd* GetParent() const { return m_pParentWnd; }

    // The first control with that identifier, or null.
    CWnd* GetDlgItem(int nId) const;
    template <typename T>
    T* Item(int nId) const {
        return dynamic_cast<T*>(GetDlgItem(nId));
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
    // All controls in template order, and their templates.
    const std::vector<CWnd*>& Controls() const { return m_controlList; }
    // The control that has the keyboard focus (a drop-down with edit when its field has it), or null.
    CWnd* GetFocus() const;

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

    // Appends a separator and an entry to the window's system menu; choosing it (or pressing its key in the
    // dialog) calls OnSysCommand with the command. Where the window manager offers no system menu a program can
    // extend, the entries go into the menu that the right mouse button opens on the dialog's background.
    void AppendSystemMenu(int nCommandId, CShownText text, EKey key = EKey::None);
    // The window's icon (large and small): an icon of res/Resource.h, IDR_MAINFRAME for the program's.
    void SetIcon(int nIconId);

    // ---- The implementation's entry points: what the user did, routed to the dialog's handlers. They are public
    // for the implementations only; a dialog class never calls them.
    void RouteCommand(int nId);
    void RouteSelChange(int nId);
    void RouteItemChanged(int nId, int nRow, int nOldState, int nNewState);
    void RouteTimer(int nId);
    // A key the user pressed in the dialog: true when the dialog's keyboard rules (above) took it, false for a key
    // they leave to the control and the window system.
    bool RouteKey(EKey key, CKeyModifiers modifiers);
    void RouteClose();
    void RouteSysCommand(int nCommandId);
    // The dialog's own implementation object.
    DialogImpl& GetDialogImpl() const { return *m_pDialogImpl; }

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
        static_assert(std::is_base_of_v<CDialog, Derived>);
        ExpectControl(nId);
        m_selChanges[nId] = [this, handler] {
            (static_cast<Derived*>(this)->*handler)();
        };
    }
    // A change of a row's selected or focused state in list nId made by the user: row, old state, new state.
    template <typename Derived>
    void OnItemChanged(int nId, void (Derived::*handler)(int nRow, int nOldState, int nNewState)) {
        static_assert(std::is_base_of_v<CDialog, Derived>);
        ExpectControl(nId);
        m_itemChanges[nId] = [this, handler](int nRow, int nOldState, int nNewState) {
            (static_cast<Derived*>(this)->*handler)(nRow, nOldState, nNewState);
        };
    }

    virtual bool OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();
    virtual void OnClose();
    virtual void OnEnterKey();
    virtual void OnTimer(int nId);
    virtual void OnSysCommand(int nCommandId);

private:
    // Created (OnInitDialog, the first tab stop focused) once, by DoModal or Create.
    void InitialiseOnce();
    void SendKeyCommand(int nId);
    void ExpectControl(int nId) const;
    [[noreturn]] void MissingBoundControl(int nId) const;

    int m_nTemplateId;
    CWnd* m_pParentWnd;
    CDialogTemplate m_template;
    std::vector<std::unique_ptr<CWnd>> m_controls; // one per control of the template, in its order
    std::vector<CWnd*> m_controlList;
    std::unique_ptr<DialogImpl> m_pDialogImpl;
    std::map<int, std::function<void()>> m_commands;
    std::map<int, std::function<void()>> m_selChanges;
    std::map<int, std::function<void(int, int, int)>> m_itemChanges;
    bool m_bInitialised = false;
    bool m_bEnded = false;
    int m_nResult = 0;
};

// Puts the About entry into a window's menu: ResourceString(IDS_ABOUTBOX) with command IDM_ABOUTBOX, also on F1,
// after a separator; nothing when that string is empty. The window's OnSysCommand receives the command; a command
// whose identifier with its lowest four bits cleared is IDM_ABOUTBOX opens the About box.
void AddAboutEntry(CDialog& window);
