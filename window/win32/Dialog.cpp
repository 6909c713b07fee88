// The dialog as the window system's own: built from its template by the dialog manager (CreateDialogIndirectParamW),
// hidden until DoModal or Create shows it, run by a modal loop of its own as the framework's dialogs are (the owner
// disabled, IsDialogMessageW for Tab, arrows and mnemonics), with the keys that the layer's keyboard rules decide
// (Enter, Escape, the menu entries' keys) taken out before the dialog manager sees them.

#include "window/win32/Win32Window.h"

#include "res/Resource.h"
#include "window/common/ControlObjects.h"
#include "window/win32/DialogBuilder.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

// The shortest period the window system gives a timer.
constexpr auto kMinimumTimerPeriod = std::chrono::milliseconds{USER_TIMER_MINIMUM};
// PumpMessages returns after this long even while messages keep coming (a timer whose handler outlasts its period).
constexpr DWORD kLongestPumpMilliseconds = 100;
// Windows 10's WM_GETDPISCALEDSIZE, which the system's headers give only for that version.
constexpr UINT kGetDpiScaledSize = 0x02E4;
// SetCoalescableTimer's tolerance for a timer that must not be merged with others.
constexpr ULONG kNoCoalescing = 0xFFFFFFFF;

std::vector<CDialog*>& Dialogs() {
    static std::vector<CDialog*> dialogs;
    return dialogs;
}

// The dialogs in a modal run, the innermost last.
std::vector<CDialog*>& ModalRuns() {
    static std::vector<CDialog*> runs;
    return runs;
}

void Forget(std::vector<CDialog*>& dialogs, CDialog* pDialog) {
    dialogs.erase(std::remove(dialogs.begin(), dialogs.end(), pDialog), dialogs.end());
}

// Windows 8's timer without coalescing, found at run time; Windows 7 has only SetTimer.
using SetCoalescableTimerFunction = UINT_PTR(WINAPI*)(HWND, UINT_PTR, UINT, TIMERPROC, ULONG);

void StartWindowTimer(HWND hWnd, int nId, std::chrono::milliseconds period, bool bExact) {
    static const auto setCoalescableTimer = User32Function<SetCoalescableTimerFunction>("SetCoalescableTimer");
    const auto nMilliseconds = static_cast<UINT>(std::max(period, kMinimumTimerPeriod).count());
    if (bExact && setCoalescableTimer)
        setCoalescableTimer(hWnd, static_cast<UINT_PTR>(nId), nMilliseconds, nullptr, kNoCoalescing);
    else
        ::SetTimer(hWnd, static_cast<UINT_PTR>(nId), nMilliseconds, nullptr);
}

// The owner of a new dialog: the parent it was given, else the dialog whose modal run is going on (as the
// framework's dialogs take the main window), else none.
HWND OwnerFor(const CWnd* pParentWnd) {
    if (const HWND hRoot = RootWindowOf(pParentWnd))
        return hRoot;
    if (!ModalRuns().empty())
        return ModalRuns().back()->GetDialogImpl().hDlg;
    return nullptr;
}

void EnableOwner(CDialog::DialogImpl& impl) {
    if (impl.hDisabledOwner) {
        ::EnableWindow(impl.hDisabledOwner, TRUE);
        impl.hDisabledOwner = nullptr;
    }
}

bool IsDroppedDown(const CDialog& dialog, HWND hWnd) {
    const CWnd::Impl* control = dialog.GetDialogImpl().Find(hWnd);
    return control && (control->kind == EControlKind::DropDownList || control->kind == EControlKind::DropDown) &&
           SendMessageW(control->hWnd, CB_GETDROPPEDSTATE, 0, 0) != 0;
}

bool IsKeyDown(int nVirtualKey) {
    return (GetKeyState(nVirtualKey) & 0x8000) != 0;
}

// Bits of a key message's data: the key is one of the extended set (the keypad's Enter beside the main one's), and
// Alt was down (a WM_SYSKEYDOWN without it is a key that came while no window had the focus).
constexpr LPARAM kExtendedKey = LPARAM{1} << 24;
constexpr LPARAM kAltDown = LPARAM{1} << 29;

// The key of a key-down message as the layer's keyboard rules name it; None for the keys they do not decide.
EKey RuledKeyOf(const MSG& msg) {
    switch (msg.wParam) {
    case VK_RETURN:
        return (msg.lParam & kExtendedKey) != 0 ? EKey::KeypadEnter : EKey::Enter;
    case VK_ESCAPE:
        return EKey::Escape;
    default:
        return EKey::None;
    }
}

// The keys the layer's rules decide, for a key-down aimed at one of the dialog's windows: Enter and Escape, whatever
// modifiers are held (CDialog::RouteKey decides; a drop-down whose list is open takes them itself), and the keys of
// the menu entries. True when it was one. Run before the dialog manager, which would otherwise make a second,
// different decision about Enter and Escape (IDOK with Shift held, say).
bool HandleDialogKey(CDialog& dialog, const MSG& msg) {
    CDialog::DialogImpl& impl = dialog.GetDialogImpl();
    const bool bSystemKey = msg.message == WM_SYSKEYDOWN;
    if (!impl.bRouting || (msg.message != WM_KEYDOWN && !bSystemKey) || !::IsWindowEnabled(impl.hDlg))
        return false;
    const CKeyModifiers modifiers{IsKeyDown(VK_SHIFT), IsKeyDown(VK_CONTROL),
                                  (bSystemKey && (msg.lParam & kAltDown) != 0) || IsKeyDown(VK_MENU)};
    if (const EKey key = RuledKeyOf(msg); key != EKey::None) {
        if (IsDroppedDown(dialog, msg.hwnd))
            return false;
        return dialog.RouteKey(key, modifiers);
    }
    const auto nKey = static_cast<UINT>(msg.wParam);
    const bool bModifiers = modifiers.bShift || modifiers.bControl || modifiers.bAlt;
    for (const CSystemMenuEntry& entry : impl.menuEntries) {
        if (entry.key != EKey::None && VirtualKeyOf(entry.key) == nKey && !bModifiers) {
            dialog.RouteSysCommand(entry.nCommandId);
            return true;
        }
    }
    return false;
}

bool IsMenuCommand(const CDialog::DialogImpl& impl, WPARAM nCommand) {
    // The system uses the lowest four bits of a system command itself.
    return std::any_of(impl.menuEntries.begin(), impl.menuEntries.end(), [nCommand](const CSystemMenuEntry& entry) {
        return (static_cast<UINT>(entry.nCommandId) & 0xFFF0u) == (static_cast<UINT>(nCommand) & 0xFFF0u);
    });
}

INT_PTR Answer(HWND hDlg, LRESULT nResult) {
    SetWindowLongPtrW(hDlg, DWLP_MSGRESULT, nResult);
    return TRUE;
}

INT_PTR HandleMessage(CDialog& dialog, UINT nMessage, WPARAM wParam, LPARAM lParam) {
    CDialog::DialogImpl& impl = dialog.GetDialogImpl();
    const HWND hDlg = impl.hDlg;
    switch (nMessage) {
    case WM_COMMAND: {
        const auto hControl = reinterpret_cast<HWND>(lParam);
        // An edit's text changed, by the user, the system or the program: what the program set last is no longer
        // known to be shown.
        if (hControl && HIWORD(wParam) == EN_CHANGE) {
            if (CWnd::Impl* edit = impl.Find(hControl))
                edit->setText.reset();
        }
        if (!impl.bRouting)
            return FALSE;
        if (!hControl) {
            // The dialog manager's own Enter or Escape (IDOK or IDCANCEL without a control). The layer's keyboard
            // rules decide those keys before the dialog manager sees them; a second decision here could only
            // contradict the first one.
            return LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL ? TRUE : FALSE;
        }
        const CWnd::Impl* control = impl.Find(hControl);
        if (!control)
            return FALSE;
        const UINT nCode = HIWORD(wParam);
        if ((control->kind == EControlKind::PushButton || control->kind == EControlKind::CheckBox) &&
            nCode == BN_CLICKED) {
            dialog.RouteCommand(control->nId);
            return TRUE;
        }
        if ((control->kind == EControlKind::DropDownList || control->kind == EControlKind::DropDown) &&
            nCode == CBN_SELCHANGE && impl.nSilent == 0) {
            dialog.RouteSelChange(control->nId);
            return TRUE;
        }
        return FALSE;
    }
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header->code == UDN_DELTAPOS) {
            CWnd::Impl* spin = impl.Find(header->hwndFrom);
            if (!spin || spin->kind != EControlKind::Spin)
                return FALSE;
            return Answer(hDlg, StepSpin(*spin, *reinterpret_cast<const NMUPDOWN*>(lParam)) ? TRUE : FALSE);
        }
        if (header->code != LVN_ITEMCHANGED || !impl.bRouting || impl.nSilent != 0)
            return FALSE;
        const auto* change = reinterpret_cast<const NMLISTVIEW*>(lParam);
        const CWnd::Impl* control = impl.Find(header->hwndFrom);
        constexpr UINT kStates = LVIS_SELECTED | LVIS_FOCUSED;
        const int nOldState = static_cast<int>(change->uOldState & kStates);
        const int nNewState = static_cast<int>(change->uNewState & kStates);
        if (control && control->kind == EControlKind::ListView && (change->uChanged & LVIF_STATE) != 0 &&
            change->iItem >= 0 && nOldState != nNewState)
            dialog.RouteItemChanged(control->nId, change->iItem, nOldState, nNewState);
        return Answer(hDlg, 0);
    }
    case WM_TIMER: {
        const int nId = static_cast<int>(wParam);
        if (!impl.timers.count(nId))
            return TRUE; // a tick already queued when the timer was stopped
        if (impl.onceTimers.count(nId)) {
            impl.timers.erase(nId);
            impl.onceTimers.erase(nId);
            ::KillTimer(hDlg, wParam);
        }
        if (impl.bRouting)
            dialog.RouteTimer(nId);
        return TRUE;
    }
    case WM_SYSCOMMAND:
        if (!IsMenuCommand(impl, wParam))
            return FALSE;
        if (impl.bRouting)
            dialog.RouteSysCommand(static_cast<int>(wParam));
        return Answer(hDlg, 0);
    case WM_CLOSE:
        if (impl.bRouting)
            dialog.RouteClose();
        return Answer(hDlg, 0);
    case kGetDpiScaledSize:
        // Asked before a move to a monitor of another scale: the size the layout takes there, so that the rectangle
        // suggested next fits the window.
        return Answer(
            hDlg, ScaledWindowSize(dialog, static_cast<int>(wParam), *reinterpret_cast<SIZE*>(lParam)) ? TRUE : FALSE);
    case WM_DPICHANGED:
        // Moved to a monitor of another scale: the layer lays the dialog out again itself (the system's own
        // scaling of dialogs is off, TakeResolution), so that it keeps the program's fonts and images.
        ChangeDialogDpi(dialog, LOWORD(wParam), reinterpret_cast<const RECT*>(lParam));
        return Answer(hDlg, 0);
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC: {
        const CWnd::Impl* control = impl.Find(reinterpret_cast<HWND>(lParam));
        if (!control || !control->bColours)
            return FALSE;
        const auto hDC = reinterpret_cast<HDC>(wParam);
        SetTextColor(hDC, control->textColour);
        SetBkColor(hDC, control->backColour);
        return reinterpret_cast<INT_PTR>(control->hBackBrush);
    }
    default:
        return FALSE;
    }
}

INT_PTR CALLBACK DialogProc(HWND hDlg, UINT nMessage, WPARAM wParam, LPARAM lParam) {
    if (nMessage == WM_INITDIALOG) {
        SetWindowLongPtrW(hDlg, DWLP_USER, lParam);
        return FALSE; // the first focus is CDialog's (InitialiseOnce), when the program runs the dialog
    }
    auto* pDialog = reinterpret_cast<CDialog*>(GetWindowLongPtrW(hDlg, DWLP_USER));
    return pDialog ? HandleMessage(*pDialog, nMessage, wParam, lParam) : FALSE;
}

// Windows 10's switch of the dialog manager's own scaling on a change of monitor, found at run time.
using SetDialogDpiChangeBehaviorFunction = BOOL(WINAPI*)(HWND, int, int);
// DDC_DISABLE_ALL, DDC_DISABLE_RESIZE and DDC_DISABLE_CONTROL_RELAYOUT of the system's headers: no new size, no new
// font, no new layout of the controls.
constexpr int kDialogScalingOff = 0x0001 | 0x0002 | 0x0004;

// The resolution the dialog manager made the dialog for, and its dialog units. The layer follows a change of monitor
// itself: the system's scaling of dialogs would give the digital displays the dialog font and leave the lamps,
// pictures and list columns at their size.
void TakeResolution(CDialog::DialogImpl& impl) {
    static const auto setBehavior = User32Function<SetDialogDpiChangeBehaviorFunction>("SetDialogDpiChangeBehavior");
    if (setBehavior)
        setBehavior(impl.hDlg, kDialogScalingOff, kDialogScalingOff);
    impl.nDpi = DpiOf(impl.hDlg);
    RECT units{0, 0, 4, 8};
    MapDialogRect(impl.hDlg, &units);
    impl.nBaseUnitX = units.right;
    impl.nBaseUnitY = units.bottom;
}

int ControlIdOf(HWND hWnd) {
    return static_cast<int>(GetWindowLongPtrW(hWnd, GWLP_ID));
}

// What the dialog manager cannot take from the template: the drawn images, the list's whole-row selection, the
// spin's range, and how many entries a drop-down's list shows.
void CompleteControl(HWND hDlg, const CControlTemplate& control, CWnd::Impl& impl) {
    const HWND hWnd = impl.hWnd;
    switch (control.kind) {
    case EControlKind::ListView:
        SendMessageW(hWnd, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
        break;
    case EControlKind::Spin:
        // The system's own default runs from 100 down to 0.
        SendMessageW(hWnd, UDM_SETRANGE32, 0, 100);
        break;
    case EControlKind::Picture:
        if (control.nImage != 0)
            SendMessageW(hWnd, STM_SETIMAGE, IMAGE_BITMAP,
                         reinterpret_cast<LPARAM>(BitmapHandle(control.nImage, DialogDpiOf(impl))));
        break;
    case EControlKind::DropDownList:
    case EControlKind::DropDown: {
        // The list shows as many entries as the template's dropped height holds below the field (the system's
        // newer drop-downs would otherwise show up to 30).
        RECT dropped{0, 0, 0, control.cy};
        MapDialogRect(hDlg, &dropped);
        SendMessageW(hWnd, CB_SETMINVISIBLE, static_cast<WPARAM>(VisibleEntries(hWnd, dropped.bottom)), 0);
        impl.bSorted = control.Has(EControlStyle::Sort);
        break;
    }
    default:
        break;
    }
}

} // namespace

// ---- Shared with the other files of window/win32/

CWnd::Impl* CDialog::DialogImpl::Find(HWND hWnd) const {
    // A control's own child (a drop-down's edit field, a list's header) counts as the control.
    HWND hControl = hWnd;
    while (hControl && hControl != hDlg) {
        const HWND hParent = ::GetParent(hControl);
        if (hParent == hDlg)
            break;
        hControl = hParent;
    }
    if (!hControl || hControl == hDlg)
        return nullptr;
    for (const auto& control : controls) {
        if (control->hWnd == hControl)
            return control.get();
    }
    return nullptr;
}

const std::vector<CDialog*>& LiveDialogs() {
    return Dialogs();
}

CDialog* DialogOfWindow(HWND hWnd) {
    const HWND hRoot = hWnd ? GetAncestor(hWnd, GA_ROOT) : nullptr;
    if (!hRoot)
        return nullptr;
    for (CDialog* pDialog : Dialogs()) {
        if (pDialog->GetDialogImpl().hDlg == hRoot)
            return pDialog;
    }
    return nullptr;
}

void ProcessWindowMessage(MSG& msg) {
    if (CDialog* pDialog = DialogOfWindow(msg.hwnd)) {
        if (HandleDialogKey(*pDialog, msg))
            return;
        if (IsDialogMessageW(pDialog->GetDialogImpl().hDlg, &msg))
            return;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
}

// ---- CDialog

CDialog::CDialog(int nTemplateId, CWnd* pParentWnd)
    : m_nTemplateId(nTemplateId), m_pParentWnd(pParentWnd), m_pDialogImpl(std::make_unique<DialogImpl>()) {
    DialogImpl& impl = *m_pDialogImpl;
    impl.self = std::make_unique<CWnd::Impl>();
    impl.self->bDialog = true;
    impl.self->pDialog = this;
    m_pImpl = impl.self.get();

    auto dialogTemplate = LoadDialogTemplate(nTemplateId);
    if (!dialogTemplate) {
        std::fprintf(stderr, "Dialog template %d is missing or malformed\n", nTemplateId);
        return;
    }
    m_template = std::move(*dialogTemplate);
    m_controls = CreateControlObjects(m_template);
    for (const auto& control : m_controls)
        m_controlList.push_back(control.get());

    const std::vector<DWORD> bytes = CDialogBuilder(m_template).Build();
    impl.hDlg = CreateDialogIndirectParamW(GetModuleHandleW(nullptr), reinterpret_cast<LPCDLGTEMPLATEW>(bytes.data()),
                                           OwnerFor(pParentWnd), DialogProc, reinterpret_cast<LPARAM>(this));
    if (!impl.hDlg) {
        std::fprintf(stderr, "Dialog %d cannot be created (error %lu)\n", nTemplateId, GetLastError());
        return;
    }
    impl.self->hWnd = impl.hDlg;
    Dialogs().push_back(this);
    TakeResolution(impl);

    // The controls, matched to the template by identifier in creation order (labels share -1).
    std::vector<HWND> children = ChildWindows(impl.hDlg);
    for (std::size_t i = 0; i < m_template.controls.size(); ++i) {
        const CControlTemplate& control = m_template.controls[i];
        auto controlImpl = std::make_unique<CWnd::Impl>();
        controlImpl->nId = control.nId;
        controlImpl->kind = control.kind;
        controlImpl->pDialog = this;
        const auto found = std::find_if(children.begin(), children.end(),
                                        [&control](HWND hChild) { return ControlIdOf(hChild) == control.nId; });
        if (found != children.end()) {
            controlImpl->hWnd = *found;
            controlImpl->bBuiltDefault = control.kind == EControlKind::PushButton &&
                                         (GetWindowLongPtrW(*found, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
            children.erase(found);
        }
        if (controlImpl->KeepsText())
            controlImpl->strKeptText = ToWide(WidenShown(control.strText));
        m_controls[i]->Attach(controlImpl.get());
        impl.controls.push_back(std::move(controlImpl));
        if (impl.controls.back()->hWnd)
            CompleteControl(impl.hDlg, control, *impl.controls.back());
        if (control.kind == EControlKind::Icon)
            static_cast<CStatic&>(*m_controls[i]).SetIcon(control.nImage);
    }
    AnnotateControls(*this);
    impl.bRouting = true;
}

CDialog::~CDialog() {
    DialogImpl& impl = *m_pDialogImpl;
    impl.bRouting = false;
    EnableOwner(impl);
    Forget(Dialogs(), this);
    Forget(ModalRuns(), this);
    if (impl.hDlg) {
        for (const int nId : impl.timers)
            ::KillTimer(impl.hDlg, static_cast<UINT_PTR>(nId));
        SetWindowLongPtrW(impl.hDlg, DWLP_USER, 0);
        ClearAnnotations(impl);
        DestroyWindow(impl.hDlg);
    }
    if (impl.hLayoutFont)
        DeleteObject(impl.hLayoutFont);
}

int CDialog::DoModal() {
    DialogImpl& impl = *m_pDialogImpl;
    if (!impl.hDlg)
        return -1;
    // The owner is disabled before the initialisation, as the framework's dialogs do it: a message box shown there
    // (a port or a file that cannot be opened) belongs to the dialog, which is not shown yet, and the window beneath
    // must not take the user's clicks meanwhile.
    const HWND hOwner = GetWindow(impl.hDlg, GW_OWNER);
    if (hOwner && ::IsWindowEnabled(hOwner)) {
        ::EnableWindow(hOwner, FALSE);
        impl.hDisabledOwner = hOwner;
    }
    InitialiseOnce();
    if (m_bEnded) {
        EnableOwner(impl);
        return m_nResult;
    }
    ModalRuns().push_back(this);
    impl.bInModalRun = true;
    ::ShowWindow(impl.hDlg, SW_SHOW);
    MSG msg{};
    while (!m_bEnded) {
        const BOOL nGot = GetMessageW(&msg, nullptr, 0, 0);
        if (nGot == 0) {
            // The program is asked to end: the run ends, and the request goes on to the loop outside.
            PostQuitMessage(static_cast<int>(msg.wParam));
            EndDialog(IDCANCEL);
            break;
        }
        if (nGot == -1)
            break;
        ProcessWindowMessage(msg);
    }
    impl.bInModalRun = false;
    Forget(ModalRuns(), this);
    EnableOwner(impl);
    return m_nResult;
}

void CDialog::Create() {
    DialogImpl& impl = *m_pDialogImpl;
    if (!impl.hDlg)
        return;
    InitialiseOnce();
    if (!m_bEnded)
        ::ShowWindow(impl.hDlg, SW_SHOW);
}

void CDialog::EndDialog(int nResult) {
    DialogImpl& impl = *m_pDialogImpl;
    m_bEnded = true;
    m_nResult = nResult;
    if (!impl.hDlg)
        return;
    for (const int nId : impl.timers)
        ::KillTimer(impl.hDlg, static_cast<UINT_PTR>(nId));
    impl.timers.clear();
    impl.onceTimers.clear();
    // The owner first, so that it becomes the active window when the dialog goes.
    EnableOwner(impl);
    ::ShowWindow(impl.hDlg, SW_HIDE);
    PostMessageW(impl.hDlg, WM_NULL, 0, 0); // wakes the modal run to see its end
}

CWnd* CDialog::GetFocus() const {
    const HWND hFocus = ::GetFocus();
    if (!hFocus)
        return nullptr;
    const CWnd::Impl* control = m_pDialogImpl->Find(hFocus);
    if (!control)
        return nullptr;
    for (CWnd* pControl : m_controlList) {
        if (pControl->GetImpl() == control)
            return pControl;
    }
    return nullptr;
}

void CDialog::SetTimer(int nId, std::chrono::milliseconds period) {
    DialogImpl& impl = *m_pDialogImpl;
    if (!impl.hDlg)
        return;
    StartWindowTimer(impl.hDlg, nId, period, false);
    impl.timers.insert(nId);
    impl.onceTimers.erase(nId);
}

void CDialog::SetTimerOnce(int nId, std::chrono::milliseconds delay) {
    DialogImpl& impl = *m_pDialogImpl;
    if (!impl.hDlg)
        return;
    StartWindowTimer(impl.hDlg, nId, delay, true);
    impl.timers.insert(nId);
    impl.onceTimers.insert(nId);
}

bool CDialog::KillTimer(int nId) {
    DialogImpl& impl = *m_pDialogImpl;
    const bool bRunning = impl.timers.erase(nId) > 0;
    impl.onceTimers.erase(nId);
    if (bRunning && impl.hDlg)
        ::KillTimer(impl.hDlg, static_cast<UINT_PTR>(nId));
    return bRunning;
}

bool CDialog::IsTimerRunning(int nId) const {
    return m_pDialogImpl->timers.count(nId) != 0;
}

void CDialog::PumpMessages() {
    const DWORD nStart = GetTickCount();
    MSG msg{};
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        ProcessWindowMessage(msg);
        if (GetTickCount() - nStart > kLongestPumpMilliseconds)
            return;
    }
}

void CDialog::AppendSystemMenu(int nCommandId, CShownText text, EKey key) {
    DialogImpl& impl = *m_pDialogImpl;
    impl.menuEntries.push_back({nCommandId, key});
    const HMENU hMenu = impl.hDlg ? GetSystemMenu(impl.hDlg, FALSE) : nullptr;
    if (!hMenu)
        return; // no system menu: the key still chooses the entry
    if (impl.nSystemMenuItems < 0)
        impl.nSystemMenuItems = GetMenuItemCount(hMenu);
    const std::wstring strText = ToWide(Widen(text));
    AppendMenuW(hMenu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(hMenu, MF_STRING, static_cast<UINT_PTR>(nCommandId), strText.c_str());
}

void CDialog::SetIcon(int nIconId) {
    const HWND hDlg = m_pDialogImpl->hDlg;
    if (!hDlg)
        return;
    // The system's icon sizes are those of its own resolution; the window's may differ (another monitor).
    m_pDialogImpl->nWindowIconId = nIconId;
    const int nDpi = m_pDialogImpl->nDpi;
    const HICON hLarge = IconHandle(nIconId, MulDiv(GetSystemMetrics(SM_CXICON), nDpi, SystemDpi()));
    const HICON hSmall = IconHandle(nIconId, MulDiv(GetSystemMetrics(SM_CXSMICON), nDpi, SystemDpi()));
    SendMessageW(hDlg, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(hLarge));
    SendMessageW(hDlg, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(hSmall));
}
