// The controls' calls on the system's own controls. A value the program sets is compared with what the control
// shows first (the monitor sets its displays and lamps ten times a second, and an equal value must not repaint), and
// is set inside a CSilentChange, so that the notifications the control sends for it reach no handler.

#include "window/win32/Win32Window.h"

#include "window/common/ControlObjects.h"

#include <algorithm>
#include <string>
#include <vector>

namespace {

HWND Handle(const CWnd::Impl* impl) {
    return impl ? impl->hWnd : nullptr;
}

LRESULT Send(HWND hWnd, UINT nMessage, WPARAM wParam = 0, LPARAM lParam = 0) {
    return SendMessageW(hWnd, nMessage, wParam, lParam);
}

// Whether the control's text changes only when the program sets it, or else with a notification to the dialog: a
// drop-down with edit takes the text of each entry chosen, also by the program.
bool RemembersSetText(const CWnd::Impl& impl) {
    return impl.bDialog || impl.kind != EControlKind::DropDown;
}

void SetText(CWnd::Impl* impl, const std::u16string& text) {
    if (!impl)
        return;
    const std::wstring strText = ToWide(text);
    if (impl->KeepsText()) {
        impl->strKeptText = strText;
        return;
    }
    if (!impl->hWnd || impl->setText == strText)
        return;
    if (!impl->setText && WindowTextOf(impl->hWnd) == strText) {
        impl->setText = RemembersSetText(*impl) ? std::optional<std::wstring>(strText) : std::nullopt;
        return;
    }
    {
        CSilentChange silent(*impl);
        SetWindowTextW(impl->hWnd, strText.c_str());
    }
    if (RemembersSetText(*impl))
        impl->setText = strText; // after the change's own notification, which forgets the text before
    // A label or group box names controls: the names the program gave follow its text.
    if ((impl->kind == EControlKind::Label || impl->kind == EControlKind::GroupBox) && !impl->bDialog && impl->pDialog)
        AnnotateNames(*impl->pDialog);
}

// ---- Drop-downs: entries and tips.

// The layer's order of a sorted list: without regard to case, character by character (the same rule for every
// user, whatever the locale).
bool SortsAfter(const std::wstring& strEntry, const std::wstring& strAdded) {
    return CompareStringOrdinal(strEntry.c_str(), -1, strAdded.c_str(), -1, TRUE) == CSTR_GREATER_THAN;
}

int AddEntry(CWnd::Impl* impl, const std::u16string& text) {
    const HWND hCombo = Handle(impl);
    if (!hCombo)
        return -1;
    const std::wstring strText = ToWide(text);
    CSilentChange silent(*impl);
    if (!impl->bSorted)
        return static_cast<int>(Send(hCombo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(strText.c_str())));
    // After every entry that sorts before it or equal to it, so that equal texts keep the order of adding.
    const int nCount = static_cast<int>(Send(hCombo, CB_GETCOUNT));
    int nIndex = 0;
    while (nIndex < nCount && !SortsAfter(EntryText(hCombo, nIndex), strText))
        ++nIndex;
    return static_cast<int>(
        Send(hCombo, CB_INSERTSTRING, static_cast<WPARAM>(nIndex), reinterpret_cast<LPARAM>(strText.c_str())));
}

constexpr UINT_PTR kTipSubclassId = 1;
constexpr UINT_PTR kTipToolId = 1;

// The tip of the entry under the pointer in a drop-down's list: one tool, moved onto the entry the pointer rests on,
// so that the tip window shows each entry's text after the usual pause.
LRESULT CALLBACK TipListProc(HWND hList, UINT nMessage, WPARAM wParam, LPARAM lParam, UINT_PTR nSubclassId,
                             DWORD_PTR nRefData) {
    auto* impl = reinterpret_cast<CWnd::Impl*>(nRefData);
    switch (nMessage) {
    case WM_MOUSEMOVE: {
        const LRESULT nHit = DefSubclassProc(hList, LB_ITEMFROMPOINT, 0, lParam);
        const int nItem = HIWORD(nHit) == 0 ? static_cast<int>(LOWORD(nHit)) : -1;
        if (nItem != impl->nTipItem && impl->hTipWindow) {
            TOOLINFOW tool{};
            tool.cbSize = sizeof(tool);
            tool.hwnd = hList;
            tool.uId = kTipToolId;
            Send(impl->hTipWindow, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
            impl->nTipItem = nItem;
            const LRESULT nData = nItem >= 0 ? Send(impl->hWnd, CB_GETITEMDATA, static_cast<WPARAM>(nItem)) : 0;
            if (nData > 0 && static_cast<std::size_t>(nData) <= impl->tips.size()) {
                tool.uFlags = TTF_SUBCLASS;
                tool.lpszText = LPSTR_TEXTCALLBACKW;
                DefSubclassProc(hList, LB_GETITEMRECT, static_cast<WPARAM>(nItem),
                                reinterpret_cast<LPARAM>(&tool.rect));
                Send(impl->hTipWindow, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
            }
        }
        break;
    }
    case WM_NOTIFY: {
        auto* info = reinterpret_cast<NMTTDISPINFOW*>(lParam);
        if (info->hdr.code == TTN_GETDISPINFOW && impl->nTipItem >= 0) {
            const LRESULT nData = Send(impl->hWnd, CB_GETITEMDATA, static_cast<WPARAM>(impl->nTipItem));
            if (nData > 0 && static_cast<std::size_t>(nData) <= impl->tips.size())
                info->lpszText = impl->tips[static_cast<std::size_t>(nData) - 1].data();
            return 0;
        }
        break;
    }
    case WM_NCDESTROY:
        RemoveWindowSubclass(hList, TipListProc, nSubclassId);
        break;
    default:
        break;
    }
    return DefSubclassProc(hList, nMessage, wParam, lParam);
}

// The tip window dies with the drop-down's list, which owns it (when the dialog's windows go), or in the control
// object's destructor: either way the object forgets its handle then, so that it never destroys another window
// that has since been given the same handle.
LRESULT CALLBACK TipWindowProc(HWND hTip, UINT nMessage, WPARAM wParam, LPARAM lParam, UINT_PTR nSubclassId,
                               DWORD_PTR nRefData) {
    if (nMessage == WM_NCDESTROY) {
        reinterpret_cast<CWnd::Impl*>(nRefData)->hTipWindow = nullptr;
        RemoveWindowSubclass(hTip, TipWindowProc, nSubclassId);
    }
    return DefSubclassProc(hTip, nMessage, wParam, lParam);
}

void EnsureTipWindow(CWnd::Impl& impl) {
    if (impl.hTipWindow)
        return;
    COMBOBOXINFO info{};
    info.cbSize = sizeof(info);
    if (!GetComboBoxInfo(impl.hWnd, &info) || !info.hwndList)
        return;
    impl.hTipWindow = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                                      CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, info.hwndList,
                                      nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!impl.hTipWindow)
        return;
    SetWindowSubclass(impl.hTipWindow, TipWindowProc, kTipSubclassId, reinterpret_cast<DWORD_PTR>(&impl));
    SetWindowSubclass(info.hwndList, TipListProc, kTipSubclassId, reinterpret_cast<DWORD_PTR>(&impl));
}

// ---- Icons.

constexpr UINT_PTR kKeepSizeSubclassId = 2;

// The icon control being given its icon, if any (on the window thread).
HWND g_hTakingIcon = nullptr;

// An icon control that keeps its rectangle (REALSIZEIMAGE: the icon drawn at its own size, clipped to the control):
// the system's static control would take each new icon's size and the program give the rectangle back, and each of
// those two resizes repaints what it uncovers around the control (the monitor's status lamp changes with every tick
// that brings no line). Here a new icon leaves the size as it is, so that only the control repaints.
LRESULT CALLBACK KeepSizeProc(HWND hWnd, UINT nMessage, WPARAM wParam, LPARAM lParam, UINT_PTR nSubclassId,
                              DWORD_PTR /*nRefData*/) {
    switch (nMessage) {
    case STM_SETICON: {
        const HWND hOuter = g_hTakingIcon;
        g_hTakingIcon = hWnd;
        const LRESULT nResult = DefSubclassProc(hWnd, nMessage, wParam, lParam);
        g_hTakingIcon = hOuter;
        return nResult;
    }
    case WM_WINDOWPOSCHANGING:
        if (hWnd == g_hTakingIcon)
            reinterpret_cast<WINDOWPOS*>(lParam)->flags |= SWP_NOSIZE;
        break;
    case WM_NCDESTROY:
        RemoveWindowSubclass(hWnd, KeepSizeProc, nSubclassId);
        break;
    default:
        break;
    }
    return DefSubclassProc(hWnd, nMessage, wParam, lParam);
}

// ---- Lists.

std::wstring ItemTextOf(HWND hList, int nRow, int nColumn) {
    std::wstring text(64, L'\0');
    for (;;) {
        LVITEMW item{};
        item.iSubItem = nColumn;
        item.pszText = text.data();
        item.cchTextMax = static_cast<int>(text.size());
        const auto nCopied = static_cast<std::size_t>(
            Send(hList, LVM_GETITEMTEXTW, static_cast<WPARAM>(nRow), reinterpret_cast<LPARAM>(&item)));
        if (nCopied + 1 < text.size()) {
            text.resize(nCopied);
            return text;
        }
        text.resize(text.size() * 2);
    }
}

int ColumnFormat(EAlign align) {
    switch (align) {
    case EAlign::Center:
        return LVCFMT_CENTER;
    case EAlign::Right:
        return LVCFMT_RIGHT;
    case EAlign::Left:
        break;
    }
    return LVCFMT_LEFT;
}

} // namespace

// ---- Shared with the test driver.

std::wstring EntryText(HWND hCombo, int nIndex) {
    const LRESULT nLength = Send(hCombo, CB_GETLBTEXTLEN, static_cast<WPARAM>(nIndex));
    if (nLength == CB_ERR)
        return {};
    std::wstring text(static_cast<std::size_t>(nLength) + 1, L'\0');
    const LRESULT nCopied =
        Send(hCombo, CB_GETLBTEXT, static_cast<WPARAM>(nIndex), reinterpret_cast<LPARAM>(text.data()));
    text.resize(nCopied == CB_ERR ? 0 : static_cast<std::size_t>(nCopied));
    return text;
}

int ColumnCountOf(HWND hList) {
    const auto hHeader = reinterpret_cast<HWND>(Send(hList, LVM_GETHEADER));
    return hHeader ? static_cast<int>(Send(hHeader, HDM_GETITEMCOUNT)) : 0;
}

// ---- CWnd::Impl

CWnd::Impl::~Impl() {
    // Only a tip that still exists: one that died with its owner has cleared the handle (TipWindowProc).
    if (hTipWindow)
        DestroyWindow(hTipWindow);
    if (hToolTip)
        DestroyWindow(hToolTip);
    if (hBackBrush)
        DeleteObject(hBackBrush);
    if (hPicture)
        DeleteObject(hPicture);
}

bool CWnd::Impl::KeepsText() const {
    return !bDialog && !ShowsOwnText(kind);
}

// ---- CWnd

int CWnd::GetDlgCtrlID() const {
    return m_pImpl && !m_pImpl->bDialog ? m_pImpl->nId : 0;
}

void CWnd::SetWindowText(std::string_view bytes) {
    SetText(m_pImpl, WidenData(bytes));
}

void CWnd::SetWindowText(CShownText text) {
    SetText(m_pImpl, Widen(text));
}

std::string CWnd::GetWindowText() const {
    if (!m_pImpl)
        return {};
    if (m_pImpl->KeepsText())
        return ToData(m_pImpl->strKeptText);
    return m_pImpl->hWnd ? ToData(WindowTextOf(m_pImpl->hWnd)) : std::string();
}

void CWnd::EnableWindow(bool bEnable) {
    const HWND hWnd = Handle(m_pImpl);
    if (!hWnd)
        return;
    // The system would leave the focus nowhere: keys would then reach no control.
    if (!bEnable && !m_pImpl->bDialog && m_pImpl->pDialog)
        HandOnFocusBeforeDisabling(*m_pImpl->pDialog, *this);
    ::EnableWindow(hWnd, bEnable ? TRUE : FALSE);
}

bool CWnd::IsWindowEnabled() const {
    const HWND hWnd = Handle(m_pImpl);
    return hWnd && ::IsWindowEnabled(hWnd);
}

void CWnd::ShowWindow(bool bShow) {
    if (const HWND hWnd = Handle(m_pImpl))
        ::ShowWindow(hWnd, bShow ? SW_SHOW : SW_HIDE);
}

bool CWnd::IsWindowVisible() const {
    const HWND hWnd = Handle(m_pImpl);
    return hWnd && (GetWindowLongPtrW(hWnd, GWL_STYLE) & WS_VISIBLE) != 0;
}

void CWnd::SetFocus() {
    const HWND hWnd = Handle(m_pImpl);
    if (!hWnd)
        return;
    if (m_pImpl->bDialog) {
        ::SetFocus(hWnd);
        return;
    }
    // Through the dialog manager, which also moves the default push button's frame.
    if (const HWND hDlg = ::GetParent(hWnd))
        Send(hDlg, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(hWnd), TRUE);
}

namespace {

// A control's own tip window dies with the dialog that owns it, or in the control object's destructor: the object
// forgets its handle then.
LRESULT CALLBACK ToolTipProc(HWND hTip, UINT nMessage, WPARAM wParam, LPARAM lParam, UINT_PTR nSubclassId,
                             DWORD_PTR nRefData) {
    if (nMessage == WM_NCDESTROY) {
        reinterpret_cast<CWnd::Impl*>(nRefData)->hToolTip = nullptr;
        RemoveWindowSubclass(hTip, ToolTipProc, nSubclassId);
    }
    return DefSubclassProc(hTip, nMessage, wParam, lParam);
}

// The tool of a control in its tip window: the control itself, whose mouse messages the tip window watches.
TOOLINFOW ToolOf(const CWnd::Impl& impl, HWND hDialog) {
    TOOLINFOW tool{};
    tool.cbSize = sizeof(tool);
    tool.hwnd = hDialog;
    tool.uId = reinterpret_cast<UINT_PTR>(impl.hWnd);
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.lpszText = const_cast<wchar_t*>(impl.strToolTip.c_str());
    return tool;
}

} // namespace

void CWnd::SetToolTip(CShownText text) {
    const HWND hWnd = Handle(m_pImpl);
    const HWND hDialog = hWnd ? ::GetParent(hWnd) : nullptr;
    if (!hWnd || !hDialog)
        return;
    const std::wstring strTip = ToWide(Widen(text));
    if (strTip == m_pImpl->strToolTip && (m_pImpl->hToolTip || strTip.empty()))
        return;
    m_pImpl->strToolTip = strTip;
    if (!m_pImpl->hToolTip) {
        m_pImpl->hToolTip = CreateWindowExW(
            WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, CW_USEDEFAULT,
            CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hDialog, nullptr, GetModuleHandleW(nullptr), nullptr);
        if (!m_pImpl->hToolTip)
            return;
        SetWindowSubclass(m_pImpl->hToolTip, ToolTipProc, kTipSubclassId, reinterpret_cast<DWORD_PTR>(m_pImpl));
        TOOLINFOW tool = ToolOf(*m_pImpl, hDialog);
        Send(m_pImpl->hToolTip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
        // Tips of a few lines: the clock's text and its advice.
        Send(m_pImpl->hToolTip, TTM_SETMAXTIPWIDTH, 0, 400);
        return;
    }
    TOOLINFOW tool = ToolOf(*m_pImpl, hDialog);
    Send(m_pImpl->hToolTip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
}

std::string CWnd::GetToolTip() const {
    const HWND hWnd = Handle(m_pImpl);
    const HWND hDialog = hWnd ? ::GetParent(hWnd) : nullptr;
    if (!hDialog || !m_pImpl->hToolTip)
        return {};
    // What the tip window holds, as it would show it.
    std::wstring text(1024, L'\0');
    TOOLINFOW tool = ToolOf(*m_pImpl, hDialog);
    tool.lpszText = text.data();
    Send(m_pImpl->hToolTip, TTM_GETTEXTW, static_cast<WPARAM>(text.size()), reinterpret_cast<LPARAM>(&tool));
    text.resize(wcsnlen(text.c_str(), text.size()));
    return ToData(text);
}

void ApplyProgramFont(CWnd::Impl& control) {
    const HWND hWnd = control.hWnd;
    const HFONT hFont = control.programFont ? control.programFont->ForDpi(DialogDpiOf(control)) : nullptr;
    if (!hWnd || !hFont)
        return;
    // An edit keeps the margins the dialog font gave it: for a TrueType face the system widens them by half the
    // face's average width, which the narrow displays cannot spare.
    const bool bEdit = !control.bDialog && control.kind == EControlKind::Edit;
    const LRESULT nMargins = bEdit ? Send(hWnd, EM_GETMARGINS) : 0;
    Send(hWnd, WM_SETFONT, reinterpret_cast<WPARAM>(hFont), TRUE);
    if (bEdit)
        Send(hWnd, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, nMargins);
}

void CWnd::SetFont(const CFont& font) {
    if (!Handle(m_pImpl) || !font.GetImpl())
        return;
    // Made for the resolution of the control's window, not the screen's, and again when that changes.
    m_pImpl->programFont = font.GetImpl()->font;
    ApplyProgramFont(*m_pImpl);
}

void CWnd::SetRedraw(bool bRedraw) {
    const HWND hWnd = Handle(m_pImpl);
    if (!hWnd)
        return;
    Send(hWnd, WM_SETREDRAW, bRedraw ? TRUE : FALSE);
    if (bRedraw)
        RedrawWindow(hWnd, nullptr, nullptr, RDW_ERASE | RDW_FRAME | RDW_INVALIDATE | RDW_ALLCHILDREN);
}

// ---- CStatic

void ShowIcon(CWnd::Impl& control, int nIconId) {
    const HWND hWnd = control.hWnd;
    if (!hWnd)
        return;
    const HICON hIcon = IconHandle(nIconId, ScaleForDpi(32, DialogDpiOf(control)));
    // The control takes the icon's size, unless it keeps its rectangle and draws the icon clipped to it (the
    // system's static control would resize itself with either style: KeepSizeProc keeps it from that).
    if ((GetWindowLongPtrW(hWnd, GWL_STYLE) & SS_REALSIZEIMAGE) != 0)
        SetWindowSubclass(hWnd, KeepSizeProc, kKeepSizeSubclassId, 0);
    Send(hWnd, STM_SETICON, reinterpret_cast<WPARAM>(hIcon));
    control.nIconId = hIcon ? nIconId : 0;
    control.hShownIcon = hIcon;
    AnnotateLampState(control);
}

void CStatic::SetIcon(int nIconId) {
    if (!Handle(m_pImpl))
        return;
    // The icon it shows already costs nothing, not even a message: the monitor sets its lamps ten times a second.
    if (m_pImpl->nIconId == nIconId && m_pImpl->hShownIcon)
        return;
    ShowIcon(*m_pImpl, nIconId);
}

int CStatic::GetIcon() const {
    return m_pImpl ? m_pImpl->nIconId : 0;
}

void CStatic::SetPicture(const CMonochromePicture& picture) {
    if (!Handle(m_pImpl) || m_pImpl->picture == picture)
        return;
    m_pImpl->picture = picture;
    ShowPicture(*m_pImpl);
}

void ShowPicture(CWnd::Impl& control) {
    const HWND hWnd = control.hWnd;
    const CMonochromePicture& picture = control.picture;
    RECT client{};
    GetClientRect(hWnd, &client);
    const int cx = client.right - client.left;
    const int cy = client.bottom - client.top;
    // The bitmap fills the control, white around the picture, so that nothing of the dialog's colour shows.
    HBITMAP hBitmap = nullptr;
    if (!picture.IsEmpty() && cx > 0 && cy > 0) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = cx;
        info.bmiHeader.biHeight = -cy; // top row first
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* pBits = nullptr;
        hBitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &pBits, nullptr, 0);
        if (hBitmap && pBits) {
            const int nSquare = PictureSquarePixels(picture, cx, cy);
            const int nLeft = (cx - picture.cx * nSquare) / 2;
            const int nTop = (cy - picture.cy * nSquare) / 2;
            auto* pPixels = static_cast<std::uint32_t*>(pBits);
            for (int y = 0; y < cy; ++y) {
                for (int x = 0; x < cx; ++x) {
                    const int px = x - nLeft;
                    const int py = y - nTop;
                    const bool bDark = px >= 0 && py >= 0 && px < picture.cx * nSquare && py < picture.cy * nSquare &&
                                       picture.IsDark(px / nSquare, py / nSquare);
                    pPixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(cx) + static_cast<std::size_t>(x)] =
                        bDark ? 0x000000u : 0xFFFFFFu;
                }
            }
        }
    }
    // The control may show a copy of the bitmap it is given and hands back the one it showed before: whatever comes
    // back that is not ours is its copy, and goes too.
    const auto hShown =
        reinterpret_cast<HBITMAP>(SendMessageW(hWnd, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(hBitmap)));
    if (hShown && hShown != control.hPicture && hShown != hBitmap)
        DeleteObject(hShown);
    if (control.hPicture)
        DeleteObject(control.hPicture);
    control.hPicture = hBitmap;
    InvalidateRect(hWnd, nullptr, TRUE);
}

// ---- CButton

void CButton::SetCheck(bool bChecked) {
    const HWND hWnd = Handle(m_pImpl);
    if (!hWnd || m_pImpl->kind != EControlKind::CheckBox)
        return;
    const CSilentChange silent(*m_pImpl);
    Send(hWnd, BM_SETCHECK, bChecked ? BST_CHECKED : BST_UNCHECKED);
}

bool CButton::GetCheck() const {
    const HWND hWnd = Handle(m_pImpl);
    return hWnd && m_pImpl->kind == EControlKind::CheckBox && Send(hWnd, BM_GETCHECK) == BST_CHECKED;
}

// ---- CEdit

void CEdit::SetLimitText(int nChars) {
    if (const HWND hWnd = Handle(m_pImpl))
        Send(hWnd, EM_SETLIMITTEXT, static_cast<WPARAM>(std::max(nChars, 0)));
}

void CEdit::SetColours(CColour text, CColour background) {
    const HWND hWnd = Handle(m_pImpl);
    if (!hWnd)
        return;
    const COLORREF textColour = ToColorRef(text);
    const COLORREF backColour = ToColorRef(background);
    if (m_pImpl->bColours && m_pImpl->textColour == textColour && m_pImpl->backColour == backColour)
        return;
    if (m_pImpl->hBackBrush)
        DeleteObject(m_pImpl->hBackBrush);
    // The dialog answers the edit's colour requests with these (WM_CTLCOLOREDIT, and WM_CTLCOLORSTATIC while it is
    // read-only or disabled).
    m_pImpl->hBackBrush = CreateSolidBrush(backColour);
    m_pImpl->bColours = true;
    m_pImpl->textColour = textColour;
    m_pImpl->backColour = backColour;
    InvalidateRect(hWnd, nullptr, TRUE);
}

// ---- CComboBox

int CComboBox::AddString(std::string_view bytes) {
    return AddEntry(m_pImpl, WidenData(bytes));
}

int CComboBox::AddString(CShownText text) {
    return AddEntry(m_pImpl, Widen(text));
}

int CComboBox::GetCount() const {
    const HWND hWnd = Handle(m_pImpl);
    return hWnd ? std::max(0, static_cast<int>(Send(hWnd, CB_GETCOUNT))) : 0;
}

int CComboBox::GetCurSel() const {
    const HWND hWnd = Handle(m_pImpl);
    return hWnd ? static_cast<int>(Send(hWnd, CB_GETCURSEL)) : -1;
}

int CComboBox::SetCurSel(int nIndex) {
    const HWND hWnd = Handle(m_pImpl);
    if (!hWnd)
        return -1;
    const int nSelect = nIndex >= 0 && nIndex < GetCount() ? nIndex : -1;
    // No selection also empties a drop-down's edit field; only an empty one is already what is asked.
    if (GetCurSel() == nSelect && (nSelect >= 0 || WindowTextOf(hWnd).empty()))
        return nSelect;
    CSilentChange silent(*m_pImpl);
    Send(hWnd, CB_SETCURSEL, static_cast<WPARAM>(nSelect));
    return nSelect;
}

std::string CComboBox::GetLBText(int nIndex) const {
    const HWND hWnd = Handle(m_pImpl);
    return hWnd ? ToData(EntryText(hWnd, nIndex)) : std::string();
}

void CComboBox::ResetContent() {
    const HWND hWnd = Handle(m_pImpl);
    if (!hWnd)
        return;
    CSilentChange silent(*m_pImpl);
    Send(hWnd, CB_RESETCONTENT);
    m_pImpl->tips.clear();
}

void CComboBox::SetItemTip(int nIndex, std::string_view bytes) {
    const HWND hWnd = Handle(m_pImpl);
    if (!hWnd || nIndex < 0 || nIndex >= GetCount())
        return;
    const std::wstring strTip = ToWide(WidenData(bytes));
    // The entry's item data names its tip, so that the tip moves with the entry when entries are put before it.
    const LRESULT nData = Send(hWnd, CB_GETITEMDATA, static_cast<WPARAM>(nIndex));
    if (nData > 0 && static_cast<std::size_t>(nData) <= m_pImpl->tips.size()) {
        m_pImpl->tips[static_cast<std::size_t>(nData) - 1] = strTip;
    } else {
        m_pImpl->tips.push_back(strTip);
        Send(hWnd, CB_SETITEMDATA, static_cast<WPARAM>(nIndex), static_cast<LPARAM>(m_pImpl->tips.size()));
    }
    EnsureTipWindow(*m_pImpl);
}

std::string CComboBox::GetItemTip(int nIndex) const {
    const HWND hWnd = Handle(m_pImpl);
    if (!hWnd || nIndex < 0 || nIndex >= GetCount())
        return {};
    const LRESULT nData = Send(hWnd, CB_GETITEMDATA, static_cast<WPARAM>(nIndex));
    if (nData <= 0 || static_cast<std::size_t>(nData) > m_pImpl->tips.size())
        return {};
    return ToData(m_pImpl->tips[static_cast<std::size_t>(nData) - 1]);
}

// ---- CSpinButtonCtrl

namespace {

// The buddy whose text the spin writes its position into, or null.
HWND NumberBuddy(HWND hSpin) {
    const auto hBuddy = reinterpret_cast<HWND>(Send(hSpin, UDM_GETBUDDY));
    return hBuddy && (GetWindowLongPtrW(hSpin, GWL_STYLE) & UDS_SETBUDDYINT) != 0 ? hBuddy : nullptr;
}

int Clamped(HWND hSpin, int nPos) {
    int nLower = 0;
    int nUpper = 0;
    Send(hSpin, UDM_GETRANGE32, reinterpret_cast<WPARAM>(&nLower), reinterpret_cast<LPARAM>(&nUpper));
    return std::clamp(nPos, std::min(nLower, nUpper), std::max(nLower, nUpper));
}

// The system's up-down takes an empty buddy for the number 0; for the layer an empty field is no number, and the
// spin goes on from its position.
bool HasEmptyBuddy(HWND hSpin) {
    const HWND hBuddy = NumberBuddy(hSpin);
    return hBuddy && GetWindowTextLengthW(hBuddy) == 0;
}

} // namespace

bool StepSpin(CWnd::Impl& spin, const NMUPDOWN& step) {
    if (!HasEmptyBuddy(spin.hWnd)) {
        spin.nSpinPos = Clamped(spin.hWnd, step.iPos + step.iDelta);
        return false;
    }
    spin.nSpinPos = Clamped(spin.hWnd, spin.nSpinPos + step.iDelta);
    Send(spin.hWnd, UDM_SETPOS32, 0, static_cast<LPARAM>(spin.nSpinPos));
    return true;
}

void CSpinButtonCtrl::SetRange(int nLower, int nUpper) {
    if (const HWND hWnd = Handle(m_pImpl)) {
        CSilentChange silent(*m_pImpl);
        Send(hWnd, UDM_SETRANGE32, static_cast<WPARAM>(nLower), static_cast<LPARAM>(nUpper));
    }
}

void CSpinButtonCtrl::GetRange(int& nLower, int& nUpper) const {
    nLower = 0;
    nUpper = 0;
    if (const HWND hWnd = Handle(m_pImpl))
        Send(hWnd, UDM_GETRANGE32, reinterpret_cast<WPARAM>(&nLower), reinterpret_cast<LPARAM>(&nUpper));
}

int CSpinButtonCtrl::SetPos(int nPos) {
    const HWND hWnd = Handle(m_pImpl);
    if (!hWnd)
        return 0;
    const int nKept = Clamped(hWnd, nPos);
    const int nPrevious = GetPos();
    const HWND hBuddy = NumberBuddy(hWnd);
    m_pImpl->nSpinPos = nKept;
    if (nPrevious == nKept && (!hBuddy || WindowTextOf(hBuddy) == std::to_wstring(nKept)))
        return nPrevious;
    CSilentChange silent(*m_pImpl);
    Send(hWnd, UDM_SETPOS32, 0, static_cast<LPARAM>(nKept));
    return nPrevious;
}

int CSpinButtonCtrl::GetPos() const {
    const HWND hWnd = Handle(m_pImpl);
    if (!hWnd)
        return 0;
    // The system reads the buddy first (and would take an empty one for 0).
    if (!HasEmptyBuddy(hWnd))
        m_pImpl->nSpinPos = static_cast<int>(Send(hWnd, UDM_GETPOS32));
    return m_pImpl->nSpinPos;
}

// ---- CProgressCtrl

void CProgressCtrl::SetRange(int nLower, int nUpper) {
    if (const HWND hWnd = Handle(m_pImpl))
        Send(hWnd, PBM_SETRANGE32, static_cast<WPARAM>(nLower), static_cast<LPARAM>(nUpper));
}

void CProgressCtrl::GetRange(int& nLower, int& nUpper) const {
    PBRANGE range{};
    if (const HWND hWnd = Handle(m_pImpl))
        Send(hWnd, PBM_GETRANGE, TRUE, reinterpret_cast<LPARAM>(&range));
    nLower = range.iLow;
    nUpper = range.iHigh;
}

int CProgressCtrl::SetPos(int nPos) {
    const HWND hWnd = Handle(m_pImpl);
    if (!hWnd)
        return 0;
    int nLower = 0;
    int nUpper = 0;
    GetRange(nLower, nUpper);
    const int nKept = std::clamp(nPos, std::min(nLower, nUpper), std::max(nLower, nUpper));
    const int nPrevious = GetPos();
    if (nPrevious != nKept)
        Send(hWnd, PBM_SETPOS, static_cast<WPARAM>(nKept));
    return nPrevious;
}

int CProgressCtrl::GetPos() const {
    const HWND hWnd = Handle(m_pImpl);
    return hWnd ? static_cast<int>(Send(hWnd, PBM_GETPOS)) : 0;
}

// ---- CListCtrl

int CListCtrl::InsertColumn(int nColumn, CShownText heading, EAlign align, int nWidth) {
    const HWND hWnd = Handle(m_pImpl);
    if (!hWnd || nColumn != GetColumnCount())
        return -1;
    std::wstring strHeading = ToWide(Widen(heading));
    LVCOLUMNW column{};
    column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT;
    column.fmt = ColumnFormat(align);
    column.cx = ScaleForDpi(nWidth, DialogDpiOf(*m_pImpl));
    column.pszText = strHeading.data();
    CSilentChange silent(*m_pImpl);
    if (nColumn == 0 && align != EAlign::Left) {
        // The list view keeps its first column left-aligned whatever it is given; a column that becomes the first
        // one when the one before it goes keeps its own alignment.
        LVCOLUMNW placeholder{};
        placeholder.mask = LVCF_WIDTH;
        Send(hWnd, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&placeholder));
        Send(hWnd, LVM_INSERTCOLUMNW, 1, reinterpret_cast<LPARAM>(&column));
        Send(hWnd, LVM_DELETECOLUMN, 0);
        return ColumnCountOf(hWnd) == 1 ? 0 : -1;
    }
    return static_cast<int>(
        Send(hWnd, LVM_INSERTCOLUMNW, static_cast<WPARAM>(nColumn), reinterpret_cast<LPARAM>(&column)));
}

int CListCtrl::GetColumnCount() const {
    const HWND hWnd = Handle(m_pImpl);
    return hWnd ? ColumnCountOf(hWnd) : 0;
}

int CListCtrl::InsertItem(int nRow, std::string_view bytes) {
    const HWND hWnd = Handle(m_pImpl);
    if (!hWnd)
        return -1;
    std::wstring strText = ToWide(WidenData(bytes));
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = std::clamp(nRow, 0, GetItemCount());
    item.pszText = strText.data();
    CSilentChange silent(*m_pImpl);
    return static_cast<int>(Send(hWnd, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
}

bool CListCtrl::SetItemText(int nRow, int nColumn, std::string_view bytes) {
    const HWND hWnd = Handle(m_pImpl);
    if (!hWnd || nRow < 0 || nRow >= GetItemCount() || nColumn < 0 || nColumn >= std::max(1, GetColumnCount()))
        return false;
    std::wstring strText = ToWide(WidenData(bytes));
    if (ItemTextOf(hWnd, nRow, nColumn) == strText)
        return true;
    LVITEMW item{};
    item.iSubItem = nColumn;
    item.pszText = strText.data();
    CSilentChange silent(*m_pImpl);
    return Send(hWnd, LVM_SETITEMTEXTW, static_cast<WPARAM>(nRow), reinterpret_cast<LPARAM>(&item)) != 0;
}

std::string CListCtrl::GetItemText(int nRow, int nColumn) const {
    const HWND hWnd = Handle(m_pImpl);
    // A row past the end reads as empty from the list itself: one message a cell (the memory list is read whole).
    if (!hWnd || nRow < 0 || nColumn < 0)
        return {};
    return ToData(ItemTextOf(hWnd, nRow, nColumn));
}

int CListCtrl::GetItemCount() const {
    const HWND hWnd = Handle(m_pImpl);
    return hWnd ? static_cast<int>(Send(hWnd, LVM_GETITEMCOUNT)) : 0;
}

void CListCtrl::DeleteAllItems() {
    const HWND hWnd = Handle(m_pImpl);
    if (!hWnd)
        return;
    CSilentChange silent(*m_pImpl);
    Send(hWnd, LVM_DELETEALLITEMS);
}

int CListCtrl::GetItemState(int nRow) const {
    const HWND hWnd = Handle(m_pImpl);
    if (!hWnd || nRow < 0 || nRow >= GetItemCount())
        return 0;
    return static_cast<int>(Send(hWnd, LVM_GETITEMSTATE, static_cast<WPARAM>(nRow), LVIS_SELECTED | LVIS_FOCUSED));
}

void CListCtrl::SetItemState(int nRow, int nState, int nMask) {
    const HWND hWnd = Handle(m_pImpl);
    const int nBits = nMask & (LVIS_SELECTED | LVIS_FOCUSED);
    if (!hWnd || nRow < 0 || nRow >= GetItemCount() || nBits == 0 || (GetItemState(nRow) & nBits) == (nState & nBits))
        return;
    LVITEMW item{};
    item.stateMask = static_cast<UINT>(nBits);
    item.state = static_cast<UINT>(nState & nBits);
    CSilentChange silent(*m_pImpl);
    Send(hWnd, LVM_SETITEMSTATE, static_cast<WPARAM>(nRow), reinterpret_cast<LPARAM>(&item));
}

int CListCtrl::GetNextSelected(int nAfter) const {
    const HWND hWnd = Handle(m_pImpl);
    if (!hWnd)
        return -1;
    return static_cast<int>(Send(hWnd, LVM_GETNEXTITEM, static_cast<WPARAM>(nAfter), MAKELPARAM(LVNI_SELECTED, 0)));
}

// ---- CFont

CFont::CFont() = default;
CFont::~CFont() = default;
CFont::CFont(CFont&& other) noexcept = default;
CFont& CFont::operator=(CFont&& other) noexcept = default;

void CFont::Reset(std::unique_ptr<Impl> pImpl) {
    m_pImpl = std::move(pImpl);
}
