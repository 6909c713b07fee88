// The test driver on the system's own controls: every action is a message the control itself understands and that
// makes it notify its dialog as the user's action does (BM_CLICK, WM_CHAR, a row's state set without the layer's
// silence, a key posted to the focused window and run through the modal loop's keyboard handling); nothing is
// system-wide input. Modal windows that a handler opens are found from a thread timer, which the modal loop of the
// opened window runs: among the thread's windows (EnumThreadWindows) and their owners.

#include "window/win32/Win32Window.h"

#include "base/WidePathWin.h"
#include "window/common/ControlObjects.h"

#include <oleacc.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <initializer_list>
#include <iterator>
#include <map>

namespace {

using Clock = std::chrono::steady_clock;

// How often a watcher looks for the window it waits for, and how long before it gives up.
constexpr UINT kWatchMilliseconds = 20;
constexpr auto kWatchLimit = std::chrono::seconds{5};
// How long a file dialog may take to close after its Save or Open before the driver takes it for a refusal.
constexpr auto kSaveRefusedAfter = std::chrono::seconds{2};
// The longest a wait sleeps before it looks at its condition again.
constexpr DWORD kWaitSliceMilliseconds = 10;
// The identifiers of the system's dialogs' controls: a message box's text, a file dialog's file-type list and
// file name (a combo box in the explorer style, an edit in the older one).
constexpr int kMessageBoxTextId = 0xFFFF;
constexpr int kFileTypeListId = 0x470;  // cmb1
constexpr int kFileNameComboId = 0x47C; // cmb13
constexpr int kFileNameEditId = 0x480;  // edt1
constexpr UINT_PTR kWatchSubclassId = 0x4B50;

// ---- Thread timers: each runs its work from whichever message loop is running, the opened window's included.

struct CWatch {
    std::function<bool()> poll; // true when done
    Clock::time_point giveUp;
    bool bRunning = false;
};

std::map<UINT_PTR, CWatch>& Watches() {
    static std::map<UINT_PTR, CWatch> watches;
    return watches;
}

void CALLBACK WatchTick(HWND /*hWnd*/, UINT /*nMessage*/, UINT_PTR nTimer, DWORD /*nTime*/) {
    auto found = Watches().find(nTimer);
    if (found == Watches().end()) {
        KillTimer(nullptr, nTimer);
        return;
    }
    // The work may run a modal loop of its own, in which this timer ticks again.
    if (found->second.bRunning)
        return;
    if (Clock::now() > found->second.giveUp) {
        KillTimer(nullptr, nTimer);
        Watches().erase(found);
        return;
    }
    found->second.bRunning = true;
    const auto poll = found->second.poll;
    const bool bDone = poll();
    found = Watches().find(nTimer);
    if (found == Watches().end())
        return;
    found->second.bRunning = false;
    if (bDone) {
        KillTimer(nullptr, nTimer);
        Watches().erase(found);
    }
}

void Watch(std::function<bool()> poll, UINT nMilliseconds = kWatchMilliseconds,
           std::chrono::milliseconds limit = kWatchLimit) {
    const UINT_PTR nTimer = SetTimer(nullptr, 0, nMilliseconds, WatchTick);
    if (nTimer)
        Watches()[nTimer] = CWatch{std::move(poll), Clock::now() + limit};
}

// ---- The system's dialogs: message boxes and the save dialog.

std::wstring ClassOf(HWND hWnd) {
    wchar_t name[64] = {};
    GetClassNameW(hWnd, name, static_cast<int>(std::size(name)));
    return name;
}

bool IsDialogClass(HWND hWnd) {
    return ClassOf(hWnd) == L"#32770";
}

BOOL CALLBACK CollectWindow(HWND hWnd, LPARAM lParam) {
    reinterpret_cast<std::vector<HWND>*>(lParam)->push_back(hWnd);
    return TRUE;
}

// The thread's dialog windows that are not the program's own (CDialog): the system's message boxes and file
// dialogs.
std::vector<HWND> SystemDialogs() {
    std::vector<HWND> windows;
    EnumThreadWindows(GetCurrentThreadId(), CollectWindow, reinterpret_cast<LPARAM>(&windows));
    std::vector<HWND> dialogs;
    for (const HWND hWnd : windows) {
        if (IsDialogClass(hWnd) && !DialogOfWindow(hWnd))
            dialogs.push_back(hWnd);
    }
    return dialogs;
}

bool IsShownButton(HWND hWnd) {
    const LONG_PTR nStyle = GetWindowLongPtrW(hWnd, GWL_STYLE);
    const LONG_PTR nType = nStyle & BS_TYPEMASK;
    return ClassOf(hWnd) == L"Button" && (nStyle & WS_VISIBLE) != 0 &&
           (nType == BS_PUSHBUTTON || nType == BS_DEFPUSHBUTTON);
}

// The box's default button: the shown button that has the default style (the box gives its default button the
// focus, which keeps that style on it). DM_GETDEFID is no help: Wine answers IDOK for a box without such a button.
bool IsDefaultButton(HWND hButton) {
    return (GetWindowLongPtrW(hButton, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
}

// The thread's shown windows with a title bar, other than hBox, that are enabled: the user could click into them.
std::vector<std::string> WindowsTakingInput(HWND hBox) {
    std::vector<HWND> windows;
    EnumThreadWindows(GetCurrentThreadId(), CollectWindow, reinterpret_cast<LPARAM>(&windows));
    std::vector<std::string> titles;
    for (const HWND hWnd : windows) {
        if (hWnd != hBox && IsWindowVisible(hWnd) && IsWindowEnabled(hWnd) &&
            (GetWindowLongPtrW(hWnd, GWL_STYLE) & WS_CAPTION) == WS_CAPTION)
            titles.push_back(ToData(WindowTextOf(hWnd)));
    }
    return titles;
}

void ReadMessageBox(HWND hBox, CDialogDriver::CBoxSeen& seen) {
    seen.bOpened = true;
    seen.otherWindowsTakingInput = WindowsTakingInput(hBox);
    seen.strTitle = ToData(WindowTextOf(hBox));
    seen.strText = ToData(WindowTextOf(GetDlgItem(hBox, kMessageBoxTextId)));
    // The system's shared icon: the message box shows this very handle. (IDI_EXCLAMATION is a number as a pointer.)
    const HICON hExclamation = LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_EXCLAMATION));
    for (const HWND hChild : ChildWindows(hBox)) {
        if ((GetWindowLongPtrW(hChild, GWL_STYLE) & SS_TYPEMASK) == SS_ICON && ClassOf(hChild) == L"Static")
            seen.bExclamation =
                seen.bExclamation || reinterpret_cast<HICON>(SendMessageW(hChild, STM_GETICON, 0, 0)) == hExclamation;
        if (!IsShownButton(hChild))
            continue;
        const std::string strCaption = NarrowToData(WithoutMnemonics(FromWide(WindowTextOf(hChild))));
        seen.buttons.push_back(strCaption);
        if (IsDefaultButton(hChild))
            seen.strDefaultButton = strCaption;
    }
}

// Presses the button with that caption by the command it sends, as a click does; the default button when the box
// has none of that caption (the box must close either way, or the test would hang in it).
void PressButton(HWND hBox, const std::string& strCaption) {
    HWND hChosen = nullptr;
    for (const HWND hChild : ChildWindows(hBox)) {
        if (!IsShownButton(hChild))
            continue;
        if (NarrowToData(WithoutMnemonics(FromWide(WindowTextOf(hChild)))) == strCaption) {
            hChosen = hChild;
            break;
        }
        if (!hChosen && IsDefaultButton(hChild))
            hChosen = hChild;
    }
    if (hChosen)
        PostMessageW(hBox, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(hChosen), BN_CLICKED),
                     reinterpret_cast<LPARAM>(hChosen));
}

bool IsMessageBox(HWND hWnd) {
    const HWND hText = GetDlgItem(hWnd, kMessageBoxTextId);
    return hText && ClassOf(hText) == L"Static";
}

bool IsSaveDialog(HWND hWnd) {
    return ShownSaveDialog() && (GetDlgItem(hWnd, kFileNameComboId) || GetDlgItem(hWnd, kFileNameEditId));
}

bool IsOpenDialog(HWND hWnd) {
    return ShownOpenDialog() && (GetDlgItem(hWnd, kFileNameComboId) || GetDlgItem(hWnd, kFileNameEditId));
}

// The file name field of a file dialog: a combo box in the explorer style, an edit in the older one.
HWND FileNameField(HWND hDialog) {
    const HWND hCombo = GetDlgItem(hDialog, kFileNameComboId);
    return hCombo ? hCombo : GetDlgItem(hDialog, kFileNameEditId);
}

std::vector<std::string> FileTypesShown(HWND hDialog) {
    std::vector<std::string> filters;
    if (const HWND hTypes = GetDlgItem(hDialog, kFileTypeListId)) {
        const auto nCount = static_cast<int>(SendMessageW(hTypes, CB_GETCOUNT, 0, 0));
        for (int nIndex = 0; nIndex < nCount; ++nIndex)
            filters.push_back(ToData(EntryText(hTypes, nIndex)));
    }
    return filters;
}

// A folder and a name as one path, as a user of Windows types it: with backslashes, which the dialog takes where it
// may refuse a slash.
std::wstring TypedPath(const std::string& strDirectory, const std::string& strName) {
    std::wstring path = WidePath(strDirectory).value_or(std::wstring());
    if (!path.empty() && path.back() != L'\\' && path.back() != L'/')
        path += L'\\';
    path += WidePath(strName).value_or(std::wstring());
    std::replace(path.begin(), path.end(), L'/', L'\\');
    return path;
}

// ---- Keys.

// A key's data as the keyboard gives it: one stroke, its scan code, the extended set's bit for the keypad's Enter,
// the context bit when Alt is down, and the release's bits.
LPARAM KeyData(UINT nVirtualKey, bool bExtended, bool bAlt, bool bRelease) {
    const UINT nScanCode = MapVirtualKeyW(nVirtualKey, MAPVK_VK_TO_VSC);
    LPARAM nData = 1 | static_cast<LPARAM>(nScanCode << 16);
    if (bExtended)
        nData |= LPARAM{1} << 24;
    if (bAlt)
        nData |= LPARAM{1} << 29;
    if (bRelease)
        nData |= static_cast<LPARAM>(0xC0000000u);
    return nData;
}

// The modifier keys held while a key is handled: the dialog manager and the layer ask the keys' state, which posted
// keys leave as it is (Shift is held for the Tab that goes backwards too).
class CModifiersHeld {
public:
    explicit CModifiersHeld(CKeyModifiers modifiers) : m_bHeld(modifiers != CKeyModifiers{}) {
        if (!m_bHeld)
            return;
        GetKeyboardState(m_before);
        BYTE held[256];
        std::copy(std::begin(m_before), std::end(m_before), std::begin(held));
        const auto hold = [&held](bool bDown, std::initializer_list<int> keys) {
            for (const int nKey : keys) {
                if (bDown)
                    held[nKey] |= 0x80;
            }
        };
        hold(modifiers.bShift, {VK_SHIFT, VK_LSHIFT});
        hold(modifiers.bControl, {VK_CONTROL, VK_LCONTROL});
        hold(modifiers.bAlt, {VK_MENU, VK_LMENU});
        SetKeyboardState(held);
    }
    ~CModifiersHeld() {
        if (m_bHeld)
            SetKeyboardState(m_before);
    }
    CModifiersHeld(const CModifiersHeld&) = delete;
    CModifiersHeld& operator=(const CModifiersHeld&) = delete;

private:
    bool m_bHeld;
    BYTE m_before[256] = {};
};

// What the driver watches on a control from its start: how many messages it had, how often it was painted, and for a
// progress bar the highest position it has had.
struct CWatched {
    int nPaints = 0;
    int nMessages = 0;
    bool bStatic = false; // labels, icons and pictures
    bool bProgress = false;
    int nHighest = 0;
};

// A shown static control repaints when it gets a new image or text. Wine's draws it at once, outside WM_PAINT
// (comctl32's STATIC_TryPaintFcn); a WM_PAINT that follows instead, or as well, counts too.
bool RedrawsStatic(HWND hWnd, UINT nMessage) {
    return (nMessage == STM_SETICON || nMessage == STM_SETIMAGE || nMessage == WM_SETTEXT) && IsWindowVisible(hWnd);
}

bool MovesProgress(UINT nMessage) {
    switch (nMessage) {
    case PBM_SETPOS:
    case PBM_DELTAPOS:
    case PBM_STEPIT:
    case PBM_SETRANGE:
    case PBM_SETRANGE32:
        return true;
    default:
        return false;
    }
}

LRESULT CALLBACK WatchControl(HWND hWnd, UINT nMessage, WPARAM wParam, LPARAM lParam, UINT_PTR nId, DWORD_PTR nData) {
    auto& watched = *reinterpret_cast<CWatched*>(nData);
    ++watched.nMessages;
    if (nMessage == WM_PAINT || (watched.bStatic && RedrawsStatic(hWnd, nMessage)))
        ++watched.nPaints;
    else if (nMessage == WM_NCDESTROY)
        RemoveWindowSubclass(hWnd, WatchControl, nId);
    const LRESULT nResult = DefSubclassProc(hWnd, nMessage, wParam, lParam);
    // The position right after each message that moves the bar, before anything is drawn: a handler may set it and
    // set it back within one message.
    if (watched.bProgress && MovesProgress(nMessage))
        watched.nHighest = std::max(watched.nHighest, static_cast<int>(DefSubclassProc(hWnd, PBM_GETPOS, 0, 0)));
    return nResult;
}

// A bitmap to draw into, with its memory device context; nothing selected when it could not be made.
class CCanvas {
public:
    CCanvas(HDC hLike, int cx, int cy)
        : m_hDC(CreateCompatibleDC(hLike)), m_hBitmap(CreateCompatibleBitmap(hLike, std::max(cx, 1), std::max(cy, 1))) {
        if (m_hDC && m_hBitmap)
            m_hPrevious = SelectObject(m_hDC, m_hBitmap);
    }
    ~CCanvas() {
        if (m_hPrevious)
            SelectObject(m_hDC, m_hPrevious);
        if (m_hBitmap)
            DeleteObject(m_hBitmap);
        if (m_hDC)
            DeleteDC(m_hDC);
    }
    CCanvas(const CCanvas&) = delete;
    CCanvas& operator=(const CCanvas&) = delete;
    HDC DC() const { return m_hPrevious ? m_hDC : nullptr; }

private:
    HDC m_hDC;
    HBITMAP m_hBitmap;
    HGDIOBJ m_hPrevious = nullptr;
};

// The frame of a window into hDC (the window's size, holding what lies beneath): the system's own where its WM_PRINT
// draws one; Wine's draws none (nor the children: PRF_NONCLIENT and PRF_CHILDREN are not done there), and then the
// classic edges that the window's styles ask for.
void PrintFrame(HWND hWnd, HDC hDC, int cx, int cy) {
    constexpr COLORREF kUntouched = RGB(1, 2, 3);
    const CCanvas probe(hDC, cx, cy);
    if (!probe.DC())
        return;
    SetBkColor(probe.DC(), kUntouched);
    const RECT whole{0, 0, cx, cy};
    ExtTextOutW(probe.DC(), 0, 0, ETO_OPAQUE, &whole, nullptr, 0, nullptr);
    SendMessageW(hWnd, WM_PRINT, reinterpret_cast<WPARAM>(probe.DC()), PRF_NONCLIENT);
    if (GetPixel(probe.DC(), 0, 0) != kUntouched) {
        BitBlt(hDC, 0, 0, cx, cy, probe.DC(), 0, 0, SRCCOPY);
        return;
    }
    RECT edge = whole;
    const auto nStyle = static_cast<DWORD>(GetWindowLongPtrW(hWnd, GWL_STYLE));
    const auto nExStyle = static_cast<DWORD>(GetWindowLongPtrW(hWnd, GWL_EXSTYLE));
    if ((nStyle & WS_BORDER) != 0) {
        FrameRect(hDC, &edge, GetSysColorBrush(COLOR_WINDOWFRAME));
        InflateRect(&edge, -1, -1);
    }
    if ((nExStyle & WS_EX_STATICEDGE) != 0)
        DrawEdge(hDC, &edge, BDR_SUNKENOUTER, BF_RECT | BF_ADJUST);
    if ((nExStyle & WS_EX_CLIENTEDGE) != 0)
        DrawEdge(hDC, &edge, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
}

// Draws hWnd into hPicture with its top-left corner (its frame's when bFrame, else its client area's) at `at`, and
// then its shown children over it, the bottom of the z-order first, each kept inside `visible` (its parent's client
// area). Each window draws into a bitmap of its own at the origin, as a control's own clipping expects, that holds
// what lies beneath it, so that a part it leaves unpainted (a group box's inside) shows what is under it.
void PrintWindowTree(HWND hWnd, HDC hPicture, POINT at, bool bFrame, const RECT& visible) {
    RECT window{};
    GetWindowRect(hWnd, &window);
    RECT client{};
    GetClientRect(hWnd, &client);
    MapWindowPoints(hWnd, nullptr, reinterpret_cast<POINT*>(&client), 2);
    const RECT& area = bFrame ? window : client;
    const int cx = area.right - area.left;
    const int cy = area.bottom - area.top;
    if (cx <= 0 || cy <= 0)
        return;
    // From the screen to the picture.
    const int dx = at.x - area.left;
    const int dy = at.y - area.top;
    const CCanvas own(hPicture, cx, cy);
    if (!own.DC())
        return;
    BitBlt(own.DC(), 0, 0, cx, cy, hPicture, at.x, at.y, SRCCOPY);
    if (bFrame && !EqualRect(&window, &client))
        PrintFrame(hWnd, own.DC(), cx, cy);
    const int nClientX = client.left - area.left;
    const int nClientY = client.top - area.top;
    const int nClientWidth = client.right - client.left;
    const int nClientHeight = client.bottom - client.top;
    if (nClientWidth > 0 && nClientHeight > 0) {
        const CCanvas inside(hPicture, nClientWidth, nClientHeight);
        if (inside.DC()) {
            BitBlt(inside.DC(), 0, 0, nClientWidth, nClientHeight, own.DC(), nClientX, nClientY, SRCCOPY);
            SendMessageW(hWnd, WM_PRINT, reinterpret_cast<WPARAM>(inside.DC()), PRF_CLIENT | PRF_ERASEBKGND);
            BitBlt(own.DC(), nClientX, nClientY, nClientWidth, nClientHeight, inside.DC(), 0, 0, SRCCOPY);
        }
    }
    RECT shown{at.x, at.y, at.x + cx, at.y + cy};
    if (IntersectRect(&shown, &shown, &visible))
        BitBlt(hPicture, shown.left, shown.top, shown.right - shown.left, shown.bottom - shown.top, own.DC(),
               shown.left - at.x, shown.top - at.y, SRCCOPY);
    RECT childrenVisible{client.left + dx, client.top + dy, client.right + dx, client.bottom + dy};
    if (!IntersectRect(&childrenVisible, &childrenVisible, &visible))
        return;
    std::vector<HWND> children = ChildWindows(hWnd);
    std::reverse(children.begin(), children.end());
    for (const HWND hChild : children) {
        if ((GetWindowLongPtrW(hChild, GWL_STYLE) & WS_VISIBLE) == 0)
            continue;
        RECT rect{};
        GetWindowRect(hChild, &rect);
        PrintWindowTree(hChild, hPicture, POINT{rect.left + dx, rect.top + dy}, true, childrenVisible);
    }
}

// The paints that are due, made now. The system makes a window's paints only when nothing else is queued, and a
// whole dialog takes Wine a tenth of a second and more: without this, a wait could end with paints still to come,
// which would then count as the next step's.
void PaintWhatIsDue() {
    for (CDialog* pDialog : LiveDialogs()) {
        if (const HWND hDlg = pDialog->GetDialogImpl().hDlg)
            RedrawWindow(hDlg, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    }
}

// Whether the program runs under Wine rather than Windows (its ntdll has Wine's own export).
bool RunsUnderWine() {
    static const bool bWine = [] {
        const HMODULE hNtdll = GetModuleHandleW(L"ntdll.dll");
        return hNtdll && GetProcAddress(hNtdll, "wine_get_version");
    }();
    return bWine;
}

// A list column's or header item's justification (the two share their values: left 0, right 1, centre 2).
EAlign AlignOfFormat(int nJustify) {
    return nJustify == LVCFMT_RIGHT ? EAlign::Right : nJustify == LVCFMT_CENTER ? EAlign::Center : EAlign::Left;
}

CColour ColourOfBrush(HBRUSH hBrush, CColour fallback) {
    LOGBRUSH brush{};
    if (hBrush && GetObjectW(hBrush, sizeof(brush), &brush) == sizeof(brush) && brush.lbStyle == BS_SOLID)
        return ToColour(brush.lbColor);
    return fallback;
}

} // namespace

struct CDialogDriver::Impl {
    std::map<HWND, CWatched> watched; // per control, since the driver began
};

CDialogDriver::CDialogDriver(CDialog& dialog) : m_dialog(dialog), m_pImpl(std::make_unique<Impl>()) {
    for (const auto& control : dialog.GetDialogImpl().controls) {
        if (!control->hWnd)
            continue;
        CWatched& watched = m_pImpl->watched[control->hWnd];
        watched.bStatic = control->kind == EControlKind::Label || control->kind == EControlKind::Icon ||
                          control->kind == EControlKind::Picture;
        if (control->kind == EControlKind::Progress) {
            watched.bProgress = true;
            watched.nHighest = static_cast<int>(SendMessageW(control->hWnd, PBM_GETPOS, 0, 0));
        }
        SetWindowSubclass(control->hWnd, WatchControl, kWatchSubclassId, reinterpret_cast<DWORD_PTR>(&watched));
    }
}

CDialogDriver::~CDialogDriver() {
    for (const auto& [hWnd, watched] : m_pImpl->watched) {
        if (IsWindow(hWnd))
            RemoveWindowSubclass(hWnd, WatchControl, kWatchSubclassId);
    }
}

namespace {

struct CReach {
    CWnd* pControl = nullptr;
    CWnd::Impl* impl = nullptr;
};

// The control nId when the user can reach it (shown and enabled) and it is of one of the kinds given.
CReach Reachable(const CDialog& dialog, int nId, std::initializer_list<EControlKind> kinds) {
    CWnd* pControl = dialog.GetDlgItem(nId);
    CWnd::Impl* impl = pControl ? pControl->GetImpl() : nullptr;
    if (!impl || !impl->hWnd || !pControl->IsWindowVisible() || !pControl->IsWindowEnabled())
        return {};
    if (std::find(kinds.begin(), kinds.end(), impl->kind) == kinds.end())
        return {};
    return {pControl, impl};
}

CWnd::Impl* ImplOf(const CDialog& dialog, int nId) {
    const CWnd* pControl = dialog.GetDlgItem(nId);
    return pControl ? pControl->GetImpl() : nullptr;
}

} // namespace

// ---- What the user does.

bool CDialogDriver::Click(int nId) {
    const CReach reach = Reachable(m_dialog, nId, {EControlKind::PushButton, EControlKind::CheckBox});
    if (!reach.impl)
        return false;
    SendMessageW(reach.impl->hWnd, BM_CLICK, 0, 0);
    return true;
}

bool CDialogDriver::Focus(int nId) {
    const CReach reach = Reachable(m_dialog, nId,
                                   {EControlKind::PushButton, EControlKind::CheckBox, EControlKind::Edit,
                                    EControlKind::DropDownList, EControlKind::DropDown, EControlKind::ListView});
    if (!reach.impl)
        return false;
    SendMessageW(m_dialog.GetDialogImpl().hDlg, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(reach.impl->hWnd), TRUE);
    return m_dialog.GetFocus() == reach.pControl;
}

bool CDialogDriver::Type(int nId, std::string_view bytes) {
    const CReach reach = Reachable(m_dialog, nId, {EControlKind::Edit, EControlKind::DropDown});
    if (!reach.impl || !Focus(nId))
        return false;
    HWND hTarget = reach.impl->hWnd;
    if (reach.impl->kind == EControlKind::DropDown) {
        COMBOBOXINFO info{};
        info.cbSize = sizeof(info);
        if (!GetComboBoxInfo(hTarget, &info) || !info.hwndItem)
            return false;
        hTarget = info.hwndItem;
    }
    for (const char16_t c : WidenData(bytes))
        SendMessageW(hTarget, WM_CHAR, static_cast<WPARAM>(c), 1);
    return true;
}

bool CDialogDriver::Choose(int nId, int nIndex) {
    const CReach reach = Reachable(m_dialog, nId, {EControlKind::DropDownList, EControlKind::DropDown});
    if (!reach.impl || nIndex < 0 || nIndex >= static_cast<CComboBox*>(reach.pControl)->GetCount())
        return false;
    // Selecting by message notifies nothing; the user's choice from the list notifies the selection change.
    SendMessageW(reach.impl->hWnd, CB_SETCURSEL, static_cast<WPARAM>(nIndex), 0);
    SendMessageW(m_dialog.GetDialogImpl().hDlg, WM_COMMAND, MAKEWPARAM(nId, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(reach.impl->hWnd));
    return true;
}

bool CDialogDriver::ClickRow(int nId, int nRow) {
    const CReach reach = Reachable(m_dialog, nId, {EControlKind::ListView});
    if (!reach.impl || nRow < 0 || nRow >= static_cast<CListCtrl*>(reach.pControl)->GetItemCount())
        return false;
    Focus(nId);
    const HWND hList = reach.impl->hWnd;
    // The row's state set without the layer's silence: the list notifies each change as a click's, the other rows'
    // losses first.
    const auto SetState = [hList](int nItem, UINT nState, UINT nMask) {
        LVITEMW item{};
        item.state = nState;
        item.stateMask = nMask;
        SendMessageW(hList, LVM_SETITEMSTATE, static_cast<WPARAM>(nItem), reinterpret_cast<LPARAM>(&item));
    };
    std::vector<int> others;
    for (int nSelected = static_cast<int>(SendMessageW(hList, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
         nSelected >= 0; nSelected = static_cast<int>(
                             SendMessageW(hList, LVM_GETNEXTITEM, static_cast<WPARAM>(nSelected), LVNI_SELECTED))) {
        if (nSelected != nRow)
            others.push_back(nSelected);
    }
    for (const int nOther : others)
        SetState(nOther, 0, LVIS_SELECTED);
    SetState(nRow, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    SendMessageW(hList, LVM_ENSUREVISIBLE, static_cast<WPARAM>(nRow), FALSE);
    return true;
}

bool CDialogDriver::Key(int nId, EKey key, CKeyModifiers modifiers) {
    const UINT nVirtualKey = VirtualKeyOf(key);
    if (nVirtualKey == 0)
        return false;
    const HWND hDlg = m_dialog.GetDialogImpl().hDlg;
    if (!hDlg)
        return false;
    if (nId != 0 && !Focus(nId))
        return false;
    HWND hTarget = ::GetFocus();
    // As the system sends keys: to the window with the focus; with none, to the active window as system keys, also
    // without Alt.
    const bool bNoFocus = !hTarget;
    if (!hTarget || GetAncestor(hTarget, GA_ROOT) != hDlg)
        hTarget = hDlg;
    if (key == EKey::BackTab)
        modifiers.bShift = true;
    const CModifiersHeld held(modifiers);
    const bool bSystemKey = modifiers.bAlt || bNoFocus;
    const bool bExtended = key == EKey::KeypadEnter;
    // Posted, so that the key passes the modal loop's keyboard handling and the dialog manager as the user's does.
    PostMessageW(hTarget, bSystemKey ? WM_SYSKEYDOWN : WM_KEYDOWN, nVirtualKey,
                 KeyData(nVirtualKey, bExtended, modifiers.bAlt, false));
    PostMessageW(hTarget, bSystemKey ? WM_SYSKEYUP : WM_KEYUP, nVirtualKey,
                 KeyData(nVirtualKey, bExtended, modifiers.bAlt, true));
    CDialog::PumpMessages();
    return true;
}

bool CDialogDriver::Step(int nId, int nDirection) {
    const CReach reach = Reachable(m_dialog, nId, {EControlKind::Spin});
    if (!reach.impl || nDirection == 0)
        return false;
    RECT client{};
    GetClientRect(reach.impl->hWnd, &client);
    const int x = client.right / 2;
    const int y = nDirection > 0 ? client.bottom / 4 : client.bottom * 3 / 4;
    SendMessageW(reach.impl->hWnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    SendMessageW(reach.impl->hWnd, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
    return true;
}

void CDialogDriver::CloseBox() {
    if (const HWND hDlg = m_dialog.GetDialogImpl().hDlg)
        SendMessageW(hDlg, WM_SYSCOMMAND, SC_CLOSE, 0);
}

bool CDialogDriver::ChooseMenuEntry(int nCommandId) {
    const HWND hDlg = m_dialog.GetDialogImpl().hDlg;
    const HMENU hMenu = hDlg ? GetSystemMenu(hDlg, FALSE) : nullptr;
    if (!hMenu)
        return false;
    const UINT nState = GetMenuState(hMenu, static_cast<UINT>(nCommandId), MF_BYCOMMAND);
    if (nState == static_cast<UINT>(-1) || (nState & (MF_DISABLED | MF_GRAYED | MF_SEPARATOR)) != 0)
        return false;
    SendMessageW(hDlg, WM_SYSCOMMAND, static_cast<WPARAM>(nCommandId), 0);
    return true;
}

// ---- What the user sees.

std::vector<std::string> CDialogDriver::Headings(int nId) const {
    std::vector<std::string> headings;
    for (const CColumn& column : Columns(nId))
        headings.push_back(column.strHeading);
    return headings;
}

std::vector<CDialogDriver::CColumn> CDialogDriver::Columns(int nId) const {
    std::vector<CColumn> columns;
    const CWnd::Impl* impl = ImplOf(m_dialog, nId);
    if (!impl || impl->kind != EControlKind::ListView || !impl->hWnd)
        return columns;
    const HWND hList = impl->hWnd;
    const auto hHeader = reinterpret_cast<HWND>(SendMessageW(hList, LVM_GETHEADER, 0, 0));
    const int nCount = ColumnCountOf(hList);
    for (int nColumn = 0; nColumn < nCount; ++nColumn) {
        // The heading as its header item shows it; the cells as the list draws the column.
        wchar_t text[256] = {};
        HDITEMW heading{};
        heading.mask = HDI_TEXT | HDI_FORMAT;
        heading.pszText = text;
        heading.cchTextMax = static_cast<int>(std::size(text));
        SendMessageW(hHeader, HDM_GETITEMW, static_cast<WPARAM>(nColumn), reinterpret_cast<LPARAM>(&heading));
        LVCOLUMNW cells{};
        cells.mask = LVCF_FMT;
        SendMessageW(hList, LVM_GETCOLUMNW, static_cast<WPARAM>(nColumn), reinterpret_cast<LPARAM>(&cells));
        CColumn column;
        column.strHeading = ToData(text);
        column.headingAlign = AlignOfFormat(heading.fmt & HDF_JUSTIFYMASK);
        column.cellAlign = AlignOfFormat(cells.fmt & LVCFMT_JUSTIFYMASK);
        // Windows draws the cells as the column's format says, the first column's too once it has become the first
        // (window/win32/Controls.cpp). Wine's list view justifies the other columns' cells only and draws the
        // first one's from the left (comctl32's LISTVIEW_DrawItemPart).
        if (nColumn == 0 && RunsUnderWine())
            column.cellAlign = EAlign::Left;
        column.nWidth = static_cast<int>(SendMessageW(hList, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(nColumn), 0));
        columns.push_back(column);
    }
    return columns;
}

int CDialogDriver::HighestPosition(int nId) const {
    const CWnd::Impl* impl = ImplOf(m_dialog, nId);
    const auto found = impl ? m_pImpl->watched.find(impl->hWnd) : m_pImpl->watched.end();
    return found == m_pImpl->watched.end() || !found->second.bProgress ? -1 : found->second.nHighest;
}

bool CDialogDriver::IsShown() const {
    const HWND hDlg = m_dialog.GetDialogImpl().hDlg;
    return hDlg && ::IsWindowVisible(hDlg);
}

std::vector<CDialogDriver::CMenuEntry> CDialogDriver::MenuEntries() const {
    std::vector<CMenuEntry> entries;
    const CDialog::DialogImpl& impl = m_dialog.GetDialogImpl();
    const HMENU hMenu = impl.hDlg ? GetSystemMenu(impl.hDlg, FALSE) : nullptr;
    if (!hMenu || impl.nSystemMenuItems < 0)
        return entries;
    const int nCount = GetMenuItemCount(hMenu);
    for (int nItem = impl.nSystemMenuItems; nItem < nCount; ++nItem) {
        wchar_t text[256] = {};
        MENUITEMINFOW info{};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STRING;
        info.dwTypeData = text;
        info.cch = static_cast<UINT>(std::size(text));
        if (!GetMenuItemInfoW(hMenu, static_cast<UINT>(nItem), TRUE, &info) || (info.fType & MFT_SEPARATOR) != 0)
            continue;
        entries.push_back({ToData(text), static_cast<int>(info.wID)});
    }
    return entries;
}

// ---- How a control was built.

CDialogDriver::CLook CDialogDriver::Look(int nId) const {
    CLook look;
    const CWnd::Impl* impl = ImplOf(m_dialog, nId);
    if (!impl || !impl->hWnd)
        return look;
    const HWND hWnd = impl->hWnd;
    const HWND hDlg = m_dialog.GetDialogImpl().hDlg;
    const auto nStyle = static_cast<DWORD>(GetWindowLongPtrW(hWnd, GWL_STYLE));
    const auto nExStyle = static_cast<DWORD>(GetWindowLongPtrW(hWnd, GWL_EXSTYLE));
    look.kind = impl->kind;

    RECT rect{};
    GetWindowRect(hWnd, &rect);
    MapWindowPoints(nullptr, hDlg, reinterpret_cast<POINT*>(&rect), 2);
    look.rect = {rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
    look.bTabStop = (nStyle & WS_TABSTOP) != 0;
    look.bBorder = (nStyle & WS_BORDER) != 0 || (nExStyle & WS_EX_CLIENTEDGE) != 0;

    switch (impl->kind) {
    case EControlKind::PushButton: {
        look.bFlat = (nStyle & BS_FLAT) != 0;
        look.bMultiLine = (nStyle & BS_MULTILINE) != 0;
        look.bDefault = impl->bBuiltDefault;
        break;
    }
    case EControlKind::Label:
        look.align = (nStyle & SS_TYPEMASK) == SS_RIGHT    ? EAlign::Right
                     : (nStyle & SS_TYPEMASK) == SS_CENTER ? EAlign::Center
                                                           : EAlign::Left;
        look.bWordWrap = (nStyle & SS_TYPEMASK) == SS_LEFT || (nStyle & SS_TYPEMASK) == SS_CENTER ||
                         (nStyle & SS_TYPEMASK) == SS_RIGHT;
        break;
    case EControlKind::Edit:
        look.bReadOnly = (nStyle & ES_READONLY) != 0;
        look.bDigitsOnly = (nStyle & ES_NUMBER) != 0;
        look.align = (nStyle & ES_RIGHT) != 0    ? EAlign::Right
                     : (nStyle & ES_CENTER) != 0 ? EAlign::Center
                                                 : EAlign::Left;
        break;
    case EControlKind::DropDownList:
    case EControlKind::DropDown: {
        look.bSorted = impl->bSorted;
        look.bEditable = (nStyle & 0x3) == CBS_DROPDOWN;
        const auto nMinVisible = static_cast<int>(SendMessageW(hWnd, CB_GETMINVISIBLE, 0, 0));
        if (nMinVisible > 0) {
            look.nVisibleItems = nMinVisible;
        } else {
            RECT dropped{};
            SendMessageW(hWnd, CB_GETDROPPEDCONTROLRECT, 0, reinterpret_cast<LPARAM>(&dropped));
            const auto nItemHeight = static_cast<int>(SendMessageW(hWnd, CB_GETITEMHEIGHT, 0, 0));
            look.nVisibleItems = nItemHeight > 0 ? (dropped.bottom - dropped.top - look.rect.cy) / nItemHeight : 0;
        }
        break;
    }
    case EControlKind::Spin: {
        const auto hBuddy = reinterpret_cast<HWND>(SendMessageW(hWnd, UDM_GETBUDDY, 0, 0));
        look.nBuddyId = hBuddy ? static_cast<int>(GetWindowLongPtrW(hBuddy, GWLP_ID)) : 0;
        break;
    }
    case EControlKind::Icon: {
        ICONINFO info{};
        const auto hIcon = reinterpret_cast<HICON>(SendMessageW(hWnd, STM_GETICON, 0, 0));
        if (hIcon && GetIconInfo(hIcon, &info)) {
            BITMAP bitmap{};
            GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof(bitmap), &bitmap);
            look.nImageWidth = bitmap.bmWidth;
            look.nImageHeight = info.hbmColor ? bitmap.bmHeight : bitmap.bmHeight / 2;
            if (info.hbmColor)
                DeleteObject(info.hbmColor);
            if (info.hbmMask)
                DeleteObject(info.hbmMask);
        }
        break;
    }
    case EControlKind::Picture: {
        const auto hBitmap = reinterpret_cast<HBITMAP>(SendMessageW(hWnd, STM_GETIMAGE, IMAGE_BITMAP, 0));
        BITMAP bitmap{};
        if (hBitmap && GetObjectW(hBitmap, sizeof(bitmap), &bitmap)) {
            look.nImageWidth = bitmap.bmWidth;
            look.nImageHeight = std::abs(bitmap.bmHeight);
        }
        break;
    }
    case EControlKind::ListView: {
        look.bMultiSelect = (nStyle & LVS_SINGLESEL) == 0;
        LVCOLUMNW column{};
        column.mask = LVCF_FMT;
        if (SendMessageW(hWnd, LVM_GETCOLUMNW, 0, reinterpret_cast<LPARAM>(&column)))
            look.align = AlignOfFormat(column.fmt & LVCFMT_JUSTIFYMASK);
        break;
    }
    case EControlKind::CheckBox:
    case EControlKind::GroupBox:
    case EControlKind::Progress:
        break;
    }

    // Colours as the control would paint them: asked of the dialog the way the control asks before it paints.
    const HDC hDC = CreateCompatibleDC(nullptr);
    if (impl->kind == EControlKind::ListView) {
        look.textColour = ToColour(static_cast<COLORREF>(SendMessageW(hWnd, LVM_GETTEXTCOLOR, 0, 0)));
        look.backColour = ToColour(static_cast<COLORREF>(SendMessageW(hWnd, LVM_GETBKCOLOR, 0, 0)));
    } else {
        const bool bEditColours =
            impl->kind == EControlKind::Edit && (nStyle & ES_READONLY) == 0 && ::IsWindowEnabled(hWnd);
        const UINT nRequest = bEditColours                             ? WM_CTLCOLOREDIT
                              : impl->kind == EControlKind::PushButton ? WM_CTLCOLORBTN
                                                                       : WM_CTLCOLORSTATIC;
        const auto hBrush = reinterpret_cast<HBRUSH>(
            SendMessageW(hDlg, nRequest, reinterpret_cast<WPARAM>(hDC), reinterpret_cast<LPARAM>(hWnd)));
        look.textColour = ToColour(GetTextColor(hDC));
        look.backColour = ColourOfBrush(hBrush, ToColour(GetBkColor(hDC)));
    }
    // The font: its face as the system realised it, its character height and its slant. A control that shows no
    // text (a picture, an icon) keeps no font: it has the dialog's.
    auto hFont = reinterpret_cast<HFONT>(SendMessageW(hWnd, WM_GETFONT, 0, 0));
    if (!hFont)
        hFont = reinterpret_cast<HFONT>(SendMessageW(hDlg, WM_GETFONT, 0, 0));
    const HGDIOBJ hPrevious = SelectObject(hDC, hFont ? static_cast<HGDIOBJ>(hFont) : GetStockObject(SYSTEM_FONT));
    wchar_t face[LF_FACESIZE] = {};
    GetTextFaceW(hDC, LF_FACESIZE, face);
    TEXTMETRICW metrics{};
    GetTextMetricsW(hDC, &metrics);
    SelectObject(hDC, hPrevious);
    DeleteDC(hDC);
    look.strFontFace = ToData(face);
    look.nFontPixels = metrics.tmHeight - metrics.tmInternalLeading;
    look.bItalic = metrics.tmItalic != 0;
    return look;
}

CDialogDriver::CRect CDialogDriver::ClientRect() const {
    RECT client{};
    if (const HWND hDlg = m_dialog.GetDialogImpl().hDlg)
        GetClientRect(hDlg, &client);
    return {client.left, client.top, client.right - client.left, client.bottom - client.top};
}

int CDialogDriver::BaseUnitX() const {
    // Four horizontal and eight vertical dialog units are one base unit each, of the font the layout is in now (the
    // dialog manager's own answers for the monitor the dialog was made on).
    return m_dialog.GetDialogImpl().nBaseUnitX;
}

int CDialogDriver::BaseUnitY() const {
    return m_dialog.GetDialogImpl().nBaseUnitY;
}

int CDialogDriver::PaintCount(int nId) const {
    const CWnd::Impl* impl = ImplOf(m_dialog, nId);
    if (!impl)
        return -1;
    const auto found = m_pImpl->watched.find(impl->hWnd);
    return found == m_pImpl->watched.end() ? -1 : found->second.nPaints;
}

int CDialogDriver::MessageCount(int nId) const {
    const CWnd::Impl* impl = ImplOf(m_dialog, nId);
    if (!impl)
        return -1;
    const auto found = m_pImpl->watched.find(impl->hWnd);
    return found == m_pImpl->watched.end() ? -1 : found->second.nMessages;
}

void CDialogDriver::ResetPaintCounts() {
    for (auto& [hWnd, watched] : m_pImpl->watched) {
        watched.nPaints = 0;
        watched.nMessages = 0;
    }
}

CDialogDriver::CImage CDialogDriver::Snapshot(int nId) const {
    CImage image;
    // The dialog's client area for 0, else the control with its frame.
    const CWnd::Impl* impl = nId == 0 ? m_dialog.GetDialogImpl().self.get() : ImplOf(m_dialog, nId);
    if (!impl || !impl->hWnd)
        return image;
    const bool bFrame = nId != 0;
    RECT rect{};
    if (bFrame)
        GetWindowRect(impl->hWnd, &rect);
    else
        GetClientRect(impl->hWnd, &rect);
    const int cx = rect.right - rect.left;
    const int cy = rect.bottom - rect.top;
    if (cx <= 0 || cy <= 0)
        return image;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = cx;
    info.bmiHeader.biHeight = -cy;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* pBits = nullptr;
    const HDC hDC = CreateCompatibleDC(nullptr);
    const HBITMAP hBitmap = CreateDIBSection(hDC, &info, DIB_RGB_COLORS, &pBits, nullptr, 0);
    if (!hBitmap || !pBits) {
        DeleteDC(hDC);
        return image;
    }
    const HGDIOBJ hPrevious = SelectObject(hDC, hBitmap);
    const RECT whole{0, 0, cx, cy};
    PrintWindowTree(impl->hWnd, hDC, POINT{0, 0}, bFrame, whole);
    GdiFlush();
    image.cx = cx;
    image.cy = cy;
    image.pixels.reserve(static_cast<std::size_t>(cx * cy));
    const auto* pPixels = static_cast<const std::uint32_t*>(pBits);
    for (int i = 0; i < cx * cy; ++i) {
        const std::uint32_t nPixel = pPixels[i];
        image.pixels.push_back(CColour{static_cast<std::uint8_t>((nPixel >> 16) & 0xFF),
                                       static_cast<std::uint8_t>((nPixel >> 8) & 0xFF),
                                       static_cast<std::uint8_t>(nPixel & 0xFF)});
    }
    SelectObject(hDC, hPrevious);
    DeleteObject(hBitmap);
    DeleteDC(hDC);
    return image;
}

// ---- Modal windows a handler opens.

std::shared_ptr<CDialogDriver::CBoxSeen> CDialogDriver::AnswerNextMessageBox(std::string strButton) {
    auto seen = std::make_shared<CBoxSeen>();
    Watch([seen, strButton] {
        for (const HWND hBox : SystemDialogs()) {
            if (!IsMessageBox(hBox))
                continue;
            ReadMessageBox(hBox, *seen);
            PressButton(hBox, strButton);
            return true;
        }
        return false;
    });
    return seen;
}

namespace {

// A save or open dialog once the test has answered it with a name, and when.
struct CAnsweredFileDialog {
    HWND hDialog = nullptr;
    Clock::time_point when;

    // Whether the question is over: the dialog has gone (bShown: it is still the question shown). One that refuses
    // the name shows why in a box of its own and stays: after a while the box and the dialog are cancelled, so that
    // the test sees nothing chosen instead of waiting in them.
    bool Done(bool bShown) const {
        if (!IsWindow(hDialog) || !bShown)
            return true;
        if (Clock::now() - when < kSaveRefusedAfter)
            return false;
        for (const HWND hBox : SystemDialogs()) {
            if (hBox != hDialog && IsMessageBox(hBox))
                PostMessageW(hBox, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        }
        PostMessageW(hDialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        return false;
    }
};

} // namespace

std::shared_ptr<CDialogDriver::CSaveSeen> CDialogDriver::AnswerNextSaveQuestion(std::string strDirectory,
                                                                                std::string strName, int nType) {
    auto seen = std::make_shared<CSaveSeen>();
    auto answered = std::make_shared<CAnsweredFileDialog>();
    Watch([seen, answered, strDirectory, strName, nType] {
        if (answered->hDialog)
            return answered->Done(ShownSaveDialog() != nullptr);
        for (const HWND hDialog : SystemDialogs()) {
            if (!IsSaveDialog(hDialog))
                continue;
            const OPENFILENAMEW* shown = ShownSaveDialog();
            seen->bOpened = true;
            seen->filters = FileTypesShown(hDialog);
            seen->strDefaultExtension = shown->lpstrDefExt ? ToData(shown->lpstrDefExt) : std::string();
            seen->bConfirmsReplace = (shown->Flags & OFN_OVERWRITEPROMPT) != 0;
            const HWND hName = FileNameField(hDialog);
            seen->strInitialName = ToData(WindowTextOf(hName));
            if (strName.empty()) {
                PostMessageW(hDialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
                return true;
            }
            // The type as the user picks it from the list of types, which tells the dialog as a choice from a list
            // does: its selection changed, and the choice ended with it (the notice the dialog takes the type from).
            if (const HWND hTypes = GetDlgItem(hDialog, kFileTypeListId); hTypes && nType > 0) {
                SendMessageW(hTypes, CB_SETCURSEL, static_cast<WPARAM>(nType), 0);
                for (const WORD nNotice : {WORD{CBN_SELCHANGE}, WORD{CBN_SELENDOK}})
                    SendMessageW(hDialog, WM_COMMAND, MAKEWPARAM(kFileTypeListId, nNotice),
                                 reinterpret_cast<LPARAM>(hTypes));
            }
            SetWindowTextW(hName, TypedPath(strDirectory, strName).c_str());
            PostMessageW(hDialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
            *answered = {hDialog, Clock::now()};
            return false;
        }
        return false;
    });
    return seen;
}

std::shared_ptr<CDialogDriver::COpenSeen> CDialogDriver::AnswerNextOpenQuestion(std::string strDirectory,
                                                                                std::string strName) {
    auto seen = std::make_shared<COpenSeen>();
    auto answered = std::make_shared<CAnsweredFileDialog>();
    Watch([seen, answered, strDirectory, strName] {
        if (answered->hDialog)
            return answered->Done(ShownOpenDialog() != nullptr);
        for (const HWND hDialog : SystemDialogs()) {
            if (!IsOpenDialog(hDialog))
                continue;
            seen->bOpened = true;
            seen->strTitle = ToData(WindowTextOf(hDialog));
            seen->filters = FileTypesShown(hDialog);
            const HWND hName = FileNameField(hDialog);
            seen->strInitialName = ToData(WindowTextOf(hName));
            if (strName.empty()) {
                PostMessageW(hDialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
                return true;
            }
            SetWindowTextW(hName, TypedPath(strDirectory, strName).c_str());
            PostMessageW(hDialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
            *answered = {hDialog, Clock::now()};
            return false;
        }
        return false;
    });
    return seen;
}

void CDialogDriver::WhenDialogOpens(std::function<void(CDialog& opened)> act) {
    // The dialogs already in a modal run are not the next one, however long they have existed; one made before
    // this call and run after it is.
    std::vector<CDialog*> running;
    for (CDialog* pDialog : LiveDialogs()) {
        if (pDialog->GetDialogImpl().bInModalRun)
            running.push_back(pDialog);
    }
    CDialog* pThis = &m_dialog;
    Watch([running, pThis, act] {
        for (CDialog* pDialog : LiveDialogs()) {
            if (pDialog == pThis || !pDialog->GetDialogImpl().bInModalRun ||
                std::find(running.begin(), running.end(), pDialog) != running.end())
                continue;
            act(*pDialog);
            return true;
        }
        return false;
    });
}

void CDialogDriver::Later(std::chrono::milliseconds delay, std::function<void()> act) {
    const auto nDelay = static_cast<UINT>(std::max<std::chrono::milliseconds::rep>(delay.count(), USER_TIMER_MINIMUM));
    Watch(
        [act] {
            act();
            return true;
        },
        nDelay, delay + kWatchLimit);
}

bool CDialogDriver::WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
    const auto end = Clock::now() + limit;
    while (!condition()) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
        if (left.count() <= 0) {
            PaintWhatIsDue();
            return condition();
        }
        MsgWaitForMultipleObjects(
            0, nullptr, FALSE,
            static_cast<DWORD>(std::min<std::chrono::milliseconds::rep>(left.count(), kWaitSliceMilliseconds)),
            QS_ALLINPUT);
        CDialog::PumpMessages();
    }
    PaintWhatIsDue();
    return true;
}

void CDialogDriver::Wait(std::chrono::milliseconds duration) {
    WaitFor([] { return false; }, duration);
}

// ---- What a screen reader hears: the control's accessible object as the system gives it to any client.

namespace {

std::string AccessibleText(const CDialog& dialog, int nId, HRESULT (*get)(IAccessible&, VARIANT, BSTR*)) {
    const CWnd* control = dialog.GetDlgItem(nId);
    const HWND hWnd = control && control->GetImpl() ? control->GetImpl()->hWnd : nullptr;
    void* pObject = nullptr;
    if (!hWnd ||
        FAILED(AccessibleObjectFromWindow(hWnd, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible), &pObject)) ||
        !pObject)
        return {};
    auto* accessible = static_cast<IAccessible*>(pObject);
    VARIANT self;
    VariantInit(&self);
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR text = nullptr;
    std::wstring strText;
    if (SUCCEEDED(get(*accessible, self, &text)) && text)
        strText.assign(text, SysStringLen(text));
    SysFreeString(text);
    accessible->Release();
    return ToData(strText);
}

} // namespace

std::string CDialogDriver::AccessibleName(int nId) const {
    return AccessibleText(m_dialog, nId, [](IAccessible& accessible, VARIANT child, BSTR* text) {
        return accessible.get_accName(child, text);
    });
}

std::string CDialogDriver::AccessibleValue(int nId) const {
    return AccessibleText(m_dialog, nId, [](IAccessible& accessible, VARIANT child, BSTR* text) {
        return accessible.get_accValue(child, text);
    });
}

std::string CDialogDriver::AccessibleDescription(int nId) const {
    const std::string strDescription =
        AccessibleText(m_dialog, nId, [](IAccessible& accessible, VARIANT child, BSTR* text) {
            return accessible.get_accDescription(child, text);
        });
    if (!strDescription.empty())
        return strDescription;
    return AccessibleText(m_dialog, nId, [](IAccessible& accessible, VARIANT child, BSTR* text) {
        return accessible.get_accValue(child, text);
    });
}

std::string CDialogDriver::WhyNoAccessibleNames() const {
    return AnnotationRefusal(m_dialog.GetDialogImpl().hDlg);
}
