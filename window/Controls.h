#pragma once

#include "window/Text.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class CDialog;
class CFont;

// The controls of a dialog, in the window system's terms: the calls the dialogs make on them, each with the
// meaning the framework's classes of the same names give it. No toolkit type crosses this interface: a control
// object is a face of a window that the implementation (window/qt/, window/win32/) made from the template, and
// forwards every call to that window through its Impl.
//
// The dialog makes one object per control of its template, of the class its kind gives (push button, check box and
// group box: CButton, label, icon and picture: CStatic, edit: CEdit, drop-down list and drop-down: CComboBox, spin:
// CSpinButtonCtrl, list: CListCtrl, progress bar: CProgressCtrl), and owns it; a dialog reaches it by identifier
// (CDialog::GetDlgItem, Control<T>). An object not attached to any window (a CEdit member before SubclassDlgItem)
// does nothing and reads as empty.
//
// A value set by the program (SetWindowText, SetCurSel, SetPos, SetItemState, AddString...) calls no handler of
// the dialog; only the user's action does (a click, a choice from a list, a typed key, a row clicked in a list).
// Setting a text, icon or position that a control already shows changes nothing and repaints nothing.
//
// A screen reader hears each control by the name its template gives it (window/common/AccessibleNames.h: its own
// caption, the label before it, the group box around it); the name follows the text of that label or box whenever
// the program sets it. A lamp also says its colour.

// A colour as red, green and blue.
struct CColour {
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;
    friend bool operator==(const CColour&, const CColour&) = default;
};
constexpr CColour RGB(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    return CColour{r, g, b};
}

enum class EAlign { Left, Center, Right };

// A picture of dark and light squares, row by row from the top: a QR code, say. Each square is drawn as a square of
// whole pixels (CStatic::SetPicture).
struct CMonochromePicture {
    int cx = 0;             // squares across
    int cy = 0;             // squares down
    std::vector<bool> dark; // cx * cy, row by row: true for a dark square
    bool IsDark(int x, int y) const { return dark[static_cast<std::size_t>(y * cx + x)]; }
    bool IsEmpty() const { return cx <= 0 || cy <= 0; }
    friend bool operator==(const CMonochromePicture&, const CMonochromePicture&) = default;
};

// Keys the layer speaks of: a menu entry's key, the keys its dialogs' keyboard rules decide, and the keys a test
// presses. KeypadEnter is the numeric keypad's Enter, which the rules take as Enter.
enum class EKey { None, Enter, KeypadEnter, Escape, Tab, BackTab, Up, Down, Left, Right, Space, F1, F2 };

// The modifier keys held down with a key.
struct CKeyModifiers {
    bool bShift = false;
    bool bControl = false;
    bool bAlt = false;
    friend bool operator==(const CKeyModifiers&, const CKeyModifiers&) = default;
};

class CWnd {
public:
    struct Impl; // the implementation's window: a widget, a window handle

    CWnd();
    virtual ~CWnd();
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    // The control's identifier in its template (IDC_STATIC for a label without one); 0 for a dialog.
    int GetDlgCtrlID() const;

    // The window text as the window system keeps it: the caption of a button, group box, label or dialog, the
    // contents of an edit, the edit field of a drop-down with edit. A label without the no-prefix style shows "&&"
    // as "&" and drops a single "&", but keeps the text as it was set. Always plain text, never markup. Other
    // controls (drop-down lists, lists, icons, pictures, spins, progress bars) keep the text without showing it.
    void SetWindowText(std::string_view bytes);
    void SetWindowText(CShownText text);
    std::string GetWindowText() const;

    void EnableWindow(bool bEnable = true);
    bool IsWindowEnabled() const;
    void ShowWindow(bool bShow);
    // Not hidden (by its template or ShowWindow); whether its dialog is on the screen does not count.
    bool IsWindowVisible() const;
    void SetFocus();
    // The control's font; fonts are owned by their CFont, which must outlive the control's use of it.
    void SetFont(const CFont& font);
    // Stops (false) and resumes (true) drawing the control while many changes are made; resuming draws it whole.
    void SetRedraw(bool bRedraw);
    // A text shown beside the control when the pointer rests on it, also while it is disabled; an empty text shows
    // none. Setting the tip it has costs nothing. GetToolTip reads it back as data.
    void SetToolTip(CShownText text);
    std::string GetToolTip() const;

    // Makes this object a second face of control nId of pParent, as the framework's SubclassDlgItem does: a dialog's
    // member of a class of its own (a display edit with its colours) acts on the control the template made. False
    // when the dialog has no such control.
    bool SubclassDlgItem(int nId, CDialog* pParent);

    // For the implementation and the dialog that owns the object.
    Impl* GetImpl() const { return m_pImpl; }
    void Attach(Impl* pImpl) { m_pImpl = pImpl; }

protected:
    Impl* m_pImpl = nullptr;
};

// A push button, a check box, or a group box (a frame with a caption).
class CButton : public CWnd {
public:
    // A check box's mark: the user's click sets or clears it and then sends the box's identifier as a command (the
    // handler reads the new state); SetCheck by the program sends nothing. Other buttons read as unchecked.
    void SetCheck(bool bChecked);
    bool GetCheck() const;
};

// A label, an icon or a picture.
class CStatic : public CWnd {
public:
    // Shows icon nIconId (IDI_LAMP_RED, ... of res/Resource.h) in an icon control. GetIcon tells which one it shows
    // (0: none). Setting the icon it already shows costs nothing. A lamp tells a screen reader its colour in a word
    // ("red", "green", "yellow", "off"; window/common/IconDesign.h).
    void SetIcon(int nIconId);
    int GetIcon() const;
    // Shows a picture of the program's own in a picture control that keeps its rectangle (PICTURE with CENTERIMAGE):
    // each square as the largest whole number of pixels that lets the whole picture fit the control
    // (PictureSquarePixels), centred, dark squares black and light ones white, the rest of the control white. An
    // empty picture leaves the control blank. Setting the picture it already shows costs nothing.
    void SetPicture(const CMonochromePicture& picture);
};

// The side in pixels of one square of a picture shown in a control of cx by cy pixels: the largest whole number that
// lets the whole picture fit, at least 1.
int PictureSquarePixels(const CMonochromePicture& picture, int cx, int cy);

class CEdit : public CWnd {
public:
    // The most characters the user can type; texts set by the program are kept and shown whole.
    void SetLimitText(int nChars);
    // One text colour on one background colour, also while read-only or disabled; every other edit keeps the
    // system's colours. (The window system asks the control before it paints; the control answers itself.)
    void SetColours(CColour text, CColour background);
};

// A drop-down list, or a drop-down with an edit field. Entries added go to their sorted place when the template
// gives the list the sort style (compared without regard to case, equal texts in the order of adding), else to the
// end. Adding selects nothing. A choice of the user notifies the dialog (CDialog::OnSelChange); SetCurSel does not.
class CComboBox : public CWnd {
public:
    // Adds an entry and returns its position.
    int AddString(std::string_view bytes);
    int AddString(CShownText text);
    int GetCount() const;
    // The selected position, -1 when none.
    int GetCurSel() const;
    // Selects position nIndex; a position outside the list leaves no selection (and returns -1).
    int SetCurSel(int nIndex);
    // The text of entry nIndex; empty outside the list.
    std::string GetLBText(int nIndex) const;
    void ResetContent();
    // A text shown when the pointer rests on entry nIndex (the device behind a COM number).
    void SetItemTip(int nIndex, std::string_view bytes);
    std::string GetItemTip(int nIndex) const;
};

// An up-down control bound to the edit before it (its buddy). It steps its position by one per click or
// auto-repeat, stops at the ends of the range and, built with SETBUDDYINT, writes each position into the buddy as a
// whole number; with ARROWKEYS the Up and Down keys in the buddy step it. Before a step it takes its position from
// the buddy's text when that is a whole number inside the range. Range 0 to 100, position 0 until the owner sets them.
class CSpinButtonCtrl : public CWnd {
public:
    void SetRange(int nLower, int nUpper);
    void GetRange(int& nLower, int& nUpper) const;
    // Sets the position, kept inside the range, writes it into the buddy and returns the previous one.
    int SetPos(int nPos);
    int GetPos() const;
};

// A progress bar: range 0 to 100 and position 0 until the owner sets them.
class CProgressCtrl : public CWnd {
public:
    void SetRange(int nLower, int nUpper);
    void GetRange(int& nLower, int& nUpper) const;
    // Sets the position, kept inside the range, and returns the previous one.
    int SetPos(int nPos);
    int GetPos() const;
};

// A list in report view: a header with columns and rows of text cells, whole rows selected. Rows and columns are
// numbered from 0. The user's selection and focus changes notify the dialog row by row
// (CDialog::OnItemChanged: row, old state, new state; the losses before the gains).
class CListCtrl : public CWnd {
public:
    static constexpr int kStateFocused = 1;  // LVIS_FOCUSED
    static constexpr int kStateSelected = 2; // LVIS_SELECTED

    // Appends a column; nColumn must be the current column count. Returns the column, or -1. The width is in
    // pixels at 96 dots per inch, scaled with the dialog's resolution.
    int InsertColumn(int nColumn, CShownText heading, EAlign align, int nWidth);
    int GetColumnCount() const;
    // Inserts a row with column 0's text before row nRow (at the end when nRow is beyond it); returns its row.
    int InsertItem(int nRow, std::string_view bytes);
    bool SetItemText(int nRow, int nColumn, std::string_view bytes);
    // Empty outside the list.
    std::string GetItemText(int nRow, int nColumn) const;
    int GetItemCount() const;
    void DeleteAllItems();
    // The kStateSelected and kStateFocused bits of a row.
    int GetItemState(int nRow) const;
    // Sets the bits of nMask to those of nState: selects or deselects the row, makes it the focused row.
    void SetItemState(int nRow, int nState, int nMask);
    // The first selected row after nAfter (-1: from the start), -1 when there is none.
    int GetNextSelected(int nAfter = -1) const;
};

// A font made by the implementation (window/Resources.h: DisplayFont).
class CFont {
public:
    struct Impl;

    CFont();
    ~CFont();
    CFont(CFont&& other) noexcept;
    CFont& operator=(CFont&& other) noexcept;

    bool IsNull() const { return !m_pImpl; }
    Impl* GetImpl() const { return m_pImpl.get(); }
    void Reset(std::unique_ptr<Impl> pImpl);

private:
    std::unique_ptr<Impl> m_pImpl;
};
