#pragma once

// The Win32 side of the window layer's objects: each control object's window handle and what the window system
// does not keep for it, each dialog's window, timers and menu, and the helpers the files of window/win32/ share.

// The layer's headers come before the system's: windows.h defines RGB, IDOK and IDCANCEL as macros, which would
// break the interface's own declarations of those names.
#include "res/DialogTemplate.h"
#include "window/Controls.h"
#include "window/Dialog.h"
#include "window/DialogDriver.h"
#include "window/Text.h"
#include "window/common/AccessibleNames.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <commctrl.h>
#include <commdlg.h>

// The A/W macros of these two would rename the interface's members of the same names.
#undef SetWindowText
#undef GetWindowText

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

// ---- Texts: the layer's UTF-16 texts are the wide strings of the W functions.

inline std::wstring ToWide(std::u16string_view text) {
    return std::wstring(text.begin(), text.end());
}
inline std::u16string FromWide(std::wstring_view text) {
    return std::u16string(text.begin(), text.end());
}
// A wide text as the layer's narrow data (window/Text.h).
inline std::string ToData(std::wstring_view text) {
    return NarrowToData(FromWide(text));
}
// The text of a window, as the window system keeps it.
std::wstring WindowTextOf(HWND hWnd);
// The direct children of a window in creation order, which for a dialog is its template's.
std::vector<HWND> ChildWindows(HWND hParent);
// UTF-8 of a wide text (the executable's path, for the program's name).
std::string Utf8Of(std::wstring_view text);
// The text of entry nIndex of a drop-down; empty for none.
std::wstring EntryText(HWND hCombo, int nIndex);
// How many columns a list view's header has.
int ColumnCountOf(HWND hList);

// The top-level window that holds a control object's window (the owner of what it opens); null for none.
HWND RootWindowOf(const CWnd* pWnd);

// Whether the window of a control of that kind keeps its own text. The others (an icon or picture control takes
// its text for the name of an image resource, a drop-down list for an entry to select) keep it beside the window
// (CWnd::Impl::strKeptText).
bool ShowsOwnText(EControlKind kind);

// A function of user32 found at run time (one a newer Windows than the oldest the program runs on has); null when
// this one lacks it.
template <typename Function>
Function User32Function(const char* pszName) {
    const HMODULE hUser32 = GetModuleHandleW(L"user32.dll");
    return hUser32 ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(hUser32, pszName))) : nullptr;
}

// A face name into a font description, cut to the length the system takes.
inline void SetFaceName(LOGFONTW& font, std::wstring_view face) {
    const std::size_t nLength = face.size() < LF_FACESIZE ? face.size() : LF_FACESIZE - 1;
    face.copy(font.lfFaceName, nLength);
    font.lfFaceName[nLength] = L'\0';
}

inline COLORREF ToColorRef(CColour colour) {
    return RGB(colour.r, colour.g, colour.b);
}
inline CColour ToColour(COLORREF colour) {
    return CColour{GetRValue(colour), GetGValue(colour), GetBValue(colour)};
}

// ---- Resolution: what is given in pixels at 96 dots per inch (list columns, icons) grows with the window's.

constexpr int kDefaultDpi = 96;
// The window's resolution (per monitor where the system tells it), else the screen's.
int DpiOf(HWND hWnd);
// The screen's resolution, for what is made before any window (the display font).
int SystemDpi();
inline int ScaleForDpi(int nPixelsAt96, int nDpi) {
    return MulDiv(nPixelsAt96, nDpi, kDefaultDpi);
}
// The resolution a control's dialog is laid out for: the one it was made on, and after a move to a monitor of
// another scale that monitor's (Resolution.cpp).
int DialogDpiOf(const CWnd::Impl& impl);

// ---- Images drawn from the program's design (window/common/IconDesign.h), made once and kept until the
// application object ends.

// Icon nIconId (a lamp, or IDR_MAINFRAME) at nSize pixels square; null for an unknown one.
HICON IconHandle(int nIconId, int nSize);
// Bitmap nBitmapId (IDB_ABOUT_LOGO) for a window of that resolution; null for an unknown one.
HBITMAP BitmapHandle(int nBitmapId, int nDpi);
void ReleaseImages();

// ---- The bundled display face, registered from the program's own bytes for this process only, when the display
// font first needs it; unregistered when the application object ends.
bool RegisterBundledFont();
void UnregisterBundledFont();

// ---- Objects behind the interface's classes.

// A font the program gives controls, made for each resolution a control's dialog takes. Shared by the font object
// and the controls it was set on, so that a control keeps its font as long as its window lives; the fonts made go
// with the last of them.
class CScalableFont {
public:
    using Maker = std::function<HFONT(int nDpi)>;
    explicit CScalableFont(Maker make) : m_make(std::move(make)) {}
    ~CScalableFont() {
        for (const auto& [nDpi, hFont] : m_made)
            DeleteObject(hFont);
    }
    CScalableFont(const CScalableFont&) = delete;
    CScalableFont& operator=(const CScalableFont&) = delete;

    // The font at that resolution, made on first use; null when it cannot be made.
    HFONT ForDpi(int nDpi) {
        const auto found = m_made.find(nDpi);
        if (found != m_made.end())
            return found->second;
        const HFONT hFont = m_make(nDpi);
        if (hFont)
            m_made.emplace(nDpi, hFont);
        return hFont;
    }

private:
    Maker m_make;
    std::map<int, HFONT> m_made;
};

struct CFont::Impl {
    std::shared_ptr<CScalableFont> font;

    explicit Impl(std::shared_ptr<CScalableFont> scalable) : font(std::move(scalable)) {}
};

struct CWnd::Impl {
    HWND hWnd = nullptr;
    int nId = 0;
    EControlKind kind = EControlKind::Label;
    bool bDialog = false;       // the dialog's own window, not a control
    CDialog* pDialog = nullptr; // the dialog the window belongs to (itself for the dialog)
    // The text of controls whose window does not keep a text as it was set (an icon control takes its text for
    // the name of an icon resource, a drop-down list for an entry to select).
    std::wstring strKeptText;
    int nIconId = 0;            // icons: the icon shown
    HICON hShownIcon = nullptr; // and the handle the control was given for it
    // Pictures of the program's own (CStatic::SetPicture): the one shown, and the bitmap the window shows it with.
    CMonochromePicture picture;
    HBITMAP hPicture = nullptr;
    // The text the program last gave a control that keeps its own text, while nothing else has changed it since
    // (a change by the user or the system notifies the dialog, which forgets it): setting the same text again then
    // sends the control nothing, where the monitor sets its fields ten times a second.
    std::optional<std::wstring> setText;
    // Push buttons: built as the default push button (read back from the window when it was made; the dialog
    // manager moves the style to whichever push button has the focus).
    bool bBuiltDefault = false;
    bool bSorted = false; // drop-downs: entries are put in their sorted place
    int nSpinPos = 0;     // spins: the position, for a step from a buddy the system reads wrongly
    // Edits with colours of their own: the text and background colours and the brush of the background.
    bool bColours = false;
    COLORREF textColour = 0;
    COLORREF backColour = 0;
    HBRUSH hBackBrush = nullptr;
    // Drop-downs with tips: the texts (an entry's item data is its tip's place + 1), and the tip window.
    std::vector<std::wstring> tips;
    HWND hTipWindow = nullptr;
    int nTipItem = -1;
    // Controls with a tip of their own: the tip window (owned by the dialog) and its text.
    HWND hToolTip = nullptr;
    std::wstring strToolTip;
    // Accessible properties the program has given the window through the system's annotation (Accessibility.cpp),
    // and the name it gave.
    bool bAnnotated = false;
    std::wstring strAnnotatedName;
    // The font the program set (CWnd::SetFont), made again when the dialog's resolution changes.
    std::shared_ptr<CScalableFont> programFont;

    Impl() = default;
    ~Impl();
    Impl(const Impl&) = delete;
    Impl& operator=(const Impl&) = delete;

    bool KeepsText() const;
};

// A system-menu entry the program added, and the key that chooses it too.
struct CSystemMenuEntry {
    int nCommandId = 0;
    EKey key = EKey::None;
};

struct CDialog::DialogImpl {
    HWND hDlg = nullptr;
    std::unique_ptr<CWnd::Impl> self;                  // the dialog's own window
    std::vector<std::unique_ptr<CWnd::Impl>> controls; // in template order
    std::vector<CNameSource> nameSources;              // what names each control for a screen reader
    // While above zero, a setter of the program runs: the notifications it causes reach no handler.
    int nSilent = 0;
    // The user's actions reach the handlers once the dialog's object is whole.
    bool bRouting = false;
    std::set<int> timers;     // running
    std::set<int> onceTimers; // running, ending at their tick
    std::vector<CSystemMenuEntry> menuEntries;
    int nSystemMenuItems = -1; // how many entries the system's own menu had before the program's
    HWND hDisabledOwner = nullptr;
    bool bInModalRun = false;
    // The resolution the layout, fonts and images are made for (Resolution.cpp), the dialog units' base values in
    // pixels at it, the template's font the layer made for it after a change of monitor (the dialog manager's own
    // before any), and the window's icon.
    int nDpi = kDefaultDpi;
    int nBaseUnitX = 0;
    int nBaseUnitY = 0;
    HFONT hLayoutFont = nullptr;
    int nWindowIconId = 0;

    CWnd::Impl* Find(HWND hWnd) const;
};

// Keeps a dialog's handlers from hearing what a setter of the program causes (the window system notifies some
// changes made by the program as it notifies the user's).
class CSilentChange {
public:
    explicit CSilentChange(const CWnd::Impl& impl)
        : m_pDialogImpl(impl.pDialog ? &impl.pDialog->GetDialogImpl() : nullptr) {
        if (m_pDialogImpl)
            ++m_pDialogImpl->nSilent;
    }
    ~CSilentChange() {
        if (m_pDialogImpl)
            --m_pDialogImpl->nSilent;
    }
    CSilentChange(const CSilentChange&) = delete;
    CSilentChange& operator=(const CSilentChange&) = delete;

private:
    CDialog::DialogImpl* m_pDialogImpl;
};

// ---- A change of resolution (Resolution.cpp): the window moved to a monitor of another scale (WM_DPICHANGED).

// Lays the dialog out again for nDpi as the dialog manager lays out a dialog made there: the template's font at that
// resolution on every control and each control at its template rectangle in that font's dialog units; the fonts
// the program set, the icons, the pictures and the window's icons made for it; the list columns scaled by the
// change; the window at the place the system suggests (none: where it is), with the client area of the template at
// the new resolution.
void ChangeDialogDpi(CDialog& dialog, int nDpi, const RECT* pSuggested);
// The size the dialog's window takes at nDpi (its template's client area there and the frame at that resolution),
// which Windows 10 asks for before a move (WM_GETDPISCALEDSIZE) so that the rectangle it suggests fits; false where
// the system cannot tell the frame at another resolution.
bool ScaledWindowSize(const CDialog& dialog, int nDpi, SIZE& size);
// The dialog units' base values of a font: a quarter of the horizontal and an eighth of the vertical unit, in pixels.
SIZE BaseUnitsOf(HFONT hFont);
// How many entries a drop-down's list shows to fill its dropped height (in pixels) below its field.
int VisibleEntries(HWND hCombo, int nDroppedHeight);
// Shows icon nIconId in an icon control at the size for its dialog's resolution.
void ShowIcon(CWnd::Impl& control, int nIconId);
// Draws the control's picture (CStatic::SetPicture) to fill its client area as it is now, white around it.
void ShowPicture(CWnd::Impl& control);
// Sets a font the program gave on a control, made for the control's dialog's resolution; the margins an edit had
// in the dialog font stay.
void ApplyProgramFont(CWnd::Impl& control);

// A step of a spin, as the system's up-down announces it before making it (UDN_DELTAPOS): true when the step was
// made here instead and the system's is to be refused.
bool StepSpin(CWnd::Impl& spin, const NMUPDOWN& step);

// ---- Accessibility (Accessibility.cpp): what a screen reader hears. The system names a control by the label before
// it; the program names the rest by the rule of window/common/AccessibleNames.h and tells each lamp's colour, through
// the system's annotation of a window's accessible properties.

// Names the controls of a dialog just built that the system does not name by a label before them (those a group box
// names, the spin, the lamps).
void AnnotateControls(CDialog& dialog);
// The same again after the text of a label or group box changed.
void AnnotateNames(CDialog& dialog);
// A lamp's colour as its accessible value ("red", "green", "yellow", "off"); nothing for other controls.
void AnnotateLampState(CWnd::Impl& control);
// Drops a dialog's annotations, before its windows go.
void ClearAnnotations(const CDialog::DialogImpl& impl);
// Why the system takes no annotations (its first refusal, or its answer for hWindow now), empty where it takes them.
std::string AnnotationRefusal(HWND hWindow);
// Releases the annotation service, before COM ends with the application object.
void ReleaseAccessibility();

// ---- Dialogs alive on the window thread, and the message processing all of them share.

// Every dialog whose window exists, in the order of creation.
const std::vector<CDialog*>& LiveDialogs();
// The dialog whose window is hWnd or holds it; null when it is none of the program's.
CDialog* DialogOfWindow(HWND hWnd);
// Handles one message as the modal runs do: a key for one of the program's dialogs first through its keyboard
// rules, then the dialog manager (IsDialogMessage), else the window's own procedure.
void ProcessWindowMessage(MSG& msg);
// The virtual key of a key the layer names, 0 for none.
UINT VirtualKeyOf(EKey key);

// The save dialog while it is shown, as it was given to the system (for the test driver); null otherwise.
const OPENFILENAMEW* ShownSaveDialog();
// The same for the open dialog.
const OPENFILENAMEW* ShownOpenDialog();
