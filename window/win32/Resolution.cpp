// A dialog moved to a monitor of another scale (WM_DPICHANGED, per-monitor awareness): laid out again as the
// dialog manager lays out a dialog made on that monitor, with the program's own fonts, icons, pictures and list
// columns made for it as well.

#include "window/win32/Win32Window.h"

#include <algorithm>

namespace {

// The letters whose average width is the horizontal base unit of a dialog font, as the dialog manager measures it.
constexpr wchar_t kMeasuredLetters[] = L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
constexpr int kPointsPerInch = 72;

// The template's font at a resolution, as the dialog manager makes it for a template with a font of its own.
HFONT CreateLayoutFont(const CDialogTemplate& dialogTemplate, int nDpi) {
    LOGFONTW font{};
    font.lfHeight = -MulDiv(dialogTemplate.nFontPoints, nDpi, kPointsPerInch);
    font.lfWeight = FW_NORMAL;
    font.lfCharSet = DEFAULT_CHARSET;
    font.lfQuality = PROOF_QUALITY;
    font.lfPitchAndFamily = FF_DONTCARE;
    SetFaceName(font, ToWide(WidenShown(dialogTemplate.strFontFace)));
    return CreateFontIndirectW(&font);
}

// A control's template rectangle in pixels for the base units: each coordinate and size on its own, as the dialog
// manager places the controls it makes.
RECT PixelRect(const CControlTemplate& control, SIZE base) {
    const int x = MulDiv(control.x, base.cx, 4);
    const int y = MulDiv(control.y, base.cy, 8);
    return RECT{x, y, x + MulDiv(control.cx, base.cx, 4), y + MulDiv(control.cy, base.cy, 8)};
}

void ScaleColumns(HWND hList, int nOldDpi, int nNewDpi) {
    for (int nColumn = 0; nColumn < ColumnCountOf(hList); ++nColumn) {
        const auto nWidth = static_cast<int>(SendMessageW(hList, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(nColumn), 0));
        SendMessageW(hList, LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(nColumn),
                     MAKELPARAM(MulDiv(nWidth, nNewDpi, nOldDpi), 0));
    }
}

// The client area of the template at a resolution: its size in the dialog units of its font there.
SIZE TemplateClientSize(const CDialogTemplate& dialogTemplate, SIZE base) {
    return SIZE{MulDiv(dialogTemplate.cx, base.cx, 4), MulDiv(dialogTemplate.cy, base.cy, 8)};
}

// Windows 10's frame of a window at a resolution, found at run time.
using AdjustWindowRectExForDpiFunction = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);

// The suggested rectangle, or the window where it is with its size scaled by the change.
RECT NewWindowRect(HWND hDlg, int nOldDpi, int nNewDpi, const RECT* pSuggested) {
    if (pSuggested)
        return *pSuggested;
    RECT rect{};
    GetWindowRect(hDlg, &rect);
    rect.right = rect.left + MulDiv(rect.right - rect.left, nNewDpi, nOldDpi);
    rect.bottom = rect.top + MulDiv(rect.bottom - rect.top, nNewDpi, nOldDpi);
    return rect;
}

} // namespace

int DialogDpiOf(const CWnd::Impl& impl) {
    if (impl.pDialog)
        return impl.pDialog->GetDialogImpl().nDpi;
    return DpiOf(impl.hWnd);
}

SIZE BaseUnitsOf(HFONT hFont) {
    const HDC hDC = CreateCompatibleDC(nullptr);
    const HGDIOBJ hPrevious = SelectObject(hDC, hFont);
    TEXTMETRICW metrics{};
    GetTextMetricsW(hDC, &metrics);
    SIZE letters{};
    GetTextExtentPoint32W(hDC, kMeasuredLetters, static_cast<int>(std::size(kMeasuredLetters) - 1), &letters);
    SelectObject(hDC, hPrevious);
    DeleteDC(hDC);
    return SIZE{(letters.cx / 26 + 1) / 2, metrics.tmHeight};
}

int VisibleEntries(HWND hCombo, int nDroppedHeight) {
    RECT field{};
    GetWindowRect(hCombo, &field);
    const auto nItemHeight = static_cast<int>(SendMessageW(hCombo, CB_GETITEMHEIGHT, 0, 0));
    if (nItemHeight <= 0)
        return 1;
    return std::max(1, (nDroppedHeight - static_cast<int>(field.bottom - field.top)) / nItemHeight);
}

void ChangeDialogDpi(CDialog& dialog, int nDpi, const RECT* pSuggested) {
    CDialog::DialogImpl& impl = dialog.GetDialogImpl();
    const HWND hDlg = impl.hDlg;
    const CDialogTemplate& dialogTemplate = dialog.Template();
    const int nOldDpi = impl.nDpi;
    if (!hDlg || nDpi <= 0 || nDpi == nOldDpi || impl.controls.size() != dialogTemplate.controls.size())
        return;
    const HFONT hFont = CreateLayoutFont(dialogTemplate, nDpi);
    if (!hFont)
        return;
    const SIZE base = BaseUnitsOf(hFont);
    impl.nDpi = nDpi;
    impl.nBaseUnitX = base.cx;
    impl.nBaseUnitY = base.cy;

    SendMessageW(hDlg, WM_SETREDRAW, FALSE, 0);
    // The window where the system suggests, with the client area a dialog made there has: the suggested size is the
    // old one scaled, and a font's sizes do not scale evenly (the dialog font at 120 dots per inch is wider than 1.25
    // times its width at 96), so that the controls would not fit.
    const RECT window = NewWindowRect(hDlg, nOldDpi, nDpi, pSuggested);
    SetWindowPos(hDlg, nullptr, window.left, window.top, window.right - window.left, window.bottom - window.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    RECT client{};
    GetClientRect(hDlg, &client);
    const SIZE needed = TemplateClientSize(dialogTemplate, base);
    const int nGrowX = needed.cx - static_cast<int>(client.right);
    const int nGrowY = needed.cy - static_cast<int>(client.bottom);
    if (nGrowX != 0 || nGrowY != 0)
        SetWindowPos(hDlg, nullptr, 0, 0, window.right - window.left + nGrowX, window.bottom - window.top + nGrowY,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);

    // Every control as the dialog manager makes it: the font first (a drop-down sizes its field by it), then the
    // template's rectangle (a drop-down's height is that of its open list).
    for (std::size_t i = 0; i < impl.controls.size(); ++i) {
        CWnd::Impl& control = *impl.controls[i];
        if (!control.hWnd)
            continue;
        SendMessageW(control.hWnd, WM_SETFONT, reinterpret_cast<WPARAM>(hFont), FALSE);
        const RECT rect = PixelRect(dialogTemplate.controls[i], base);
        SetWindowPos(control.hWnd, nullptr, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
    // Then what the program and the layer gave each control beyond the template.
    for (std::size_t i = 0; i < impl.controls.size(); ++i) {
        CWnd::Impl& control = *impl.controls[i];
        const CControlTemplate& controlTemplate = dialogTemplate.controls[i];
        if (!control.hWnd)
            continue;
        switch (control.kind) {
        case EControlKind::Spin:
            // Back at its buddy's edge, which the buddy's new rectangle moved.
            if (const auto hBuddy = reinterpret_cast<HWND>(SendMessageW(control.hWnd, UDM_GETBUDDY, 0, 0)))
                SendMessageW(control.hWnd, UDM_SETBUDDY, reinterpret_cast<WPARAM>(hBuddy), 0);
            break;
        case EControlKind::Icon:
            if (control.nIconId != 0)
                ShowIcon(control, control.nIconId);
            break;
        case EControlKind::Picture:
            // The program's picture drawn for the new size, else the template's image at the new resolution.
            if (!control.picture.IsEmpty())
                ShowPicture(control);
            else if (controlTemplate.nImage != 0)
                SendMessageW(control.hWnd, STM_SETIMAGE, IMAGE_BITMAP,
                             reinterpret_cast<LPARAM>(BitmapHandle(controlTemplate.nImage, nDpi)));
            break;
        case EControlKind::ListView:
            ScaleColumns(control.hWnd, nOldDpi, nDpi);
            break;
        case EControlKind::DropDownList:
        case EControlKind::DropDown:
            SendMessageW(control.hWnd, CB_SETMINVISIBLE,
                         static_cast<WPARAM>(VisibleEntries(control.hWnd, MulDiv(controlTemplate.cy, base.cy, 8))), 0);
            break;
        default:
            break;
        }
        if (control.programFont)
            ApplyProgramFont(control);
    }
    if (impl.nWindowIconId != 0)
        dialog.SetIcon(impl.nWindowIconId);

    // The font the controls had goes once none uses it; the dialog manager's own stays its to delete.
    if (impl.hLayoutFont)
        DeleteObject(impl.hLayoutFont);
    impl.hLayoutFont = hFont;
    SendMessageW(hDlg, WM_SETREDRAW, TRUE, 0);
    RedrawWindow(hDlg, nullptr, nullptr, RDW_ERASE | RDW_FRAME | RDW_INVALIDATE | RDW_ALLCHILDREN);
}

bool ScaledWindowSize(const CDialog& dialog, int nDpi, SIZE& size) {
    static const auto adjust = User32Function<AdjustWindowRectExForDpiFunction>("AdjustWindowRectExForDpi");
    const HWND hDlg = dialog.GetDialogImpl().hDlg;
    if (!adjust || !hDlg || nDpi <= 0)
        return false;
    const HFONT hFont = CreateLayoutFont(dialog.Template(), nDpi);
    if (!hFont)
        return false;
    const SIZE client = TemplateClientSize(dialog.Template(), BaseUnitsOf(hFont));
    DeleteObject(hFont);
    RECT window{0, 0, client.cx, client.cy};
    if (!adjust(&window, static_cast<DWORD>(GetWindowLongPtrW(hDlg, GWL_STYLE)), FALSE,
                static_cast<DWORD>(GetWindowLongPtrW(hDlg, GWL_EXSTYLE)), static_cast<UINT>(nDpi)))
        return false;
    size = SIZE{window.right - window.left, window.bottom - window.top};
    return true;
}
