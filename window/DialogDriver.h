#pragma once

#include "res/DialogTemplate.h"
#include "window/Controls.h"

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class CDialog;

// Drives a dialog the way its user does, and reads what the user sees, by control identifier, on every window
// implementation: the dialog tests are written once against this class. Each implementation drives its controls
// with the messages the control itself understands (Qt: its test events; Win32: the messages that make a control
// notify its parent, as a click or a key does), never with screen coordinates or system-level input.
//
// An action on a control the user could not reach (hidden or disabled, or of another kind) does nothing and
// returns false, so that a test sees it.
//
// Texts are data, as GetWindowText returns them (window/Text.h).
class CDialogDriver {
public:
    explicit CDialogDriver(CDialog& dialog);
    ~CDialogDriver();
    CDialogDriver(const CDialogDriver&) = delete;
    CDialogDriver& operator=(const CDialogDriver&) = delete;

    CDialog& Dialog() const { return m_dialog; }

    // ---- What the user does.

    // A click on push button nId.
    bool Click(int nId);
    // Gives control nId the focus (a click into an edit or a list, Tab to a button) without other effect.
    bool Focus(int nId);
    // Types the bytes into control nId (an edit, or a drop-down's edit field), one key per byte, after giving it the
    // focus. The control's own rules apply (digits only, the length limit).
    bool Type(int nId, std::string_view bytes);
    // Chooses entry nIndex of drop-down nId from its list, as the user does, which notifies the dialog.
    bool Choose(int nId, int nIndex);
    // The same for the entry with that text (exactly).
    bool Choose(int nId, std::string_view entry);
    // A click on row nRow of list nId: that row alone selected and focused, the dialog notified row by row.
    bool ClickRow(int nId, int nRow);
    // Presses and releases a key in control nId, which has the focus first; 0 for the control that has it now (or
    // the dialog itself, as the window system hands keys on when no control has the focus). Enter, Escape and Tab go
    // through the dialog's keyboard handling as the user's do; the modifiers are held down meanwhile.
    bool Key(int nId, EKey key, CKeyModifiers modifiers = {});
    // One step of spin nId as a click on its upper (+1) or lower (-1) half.
    bool Step(int nId, int nDirection);
    // The close box of the dialog's title bar.
    void CloseBox();
    // A choice from the window's system menu (or its stand-in menu): the entry with command nCommandId.
    bool ChooseMenuEntry(int nCommandId);

    // ---- What the user sees.

    std::string Text(int nId) const;
    bool IsEnabled(int nId) const;
    bool IsVisible(int nId) const;
    // The selected entry of a drop-down, the first selected row of a list; -1 when none.
    int Selection(int nId) const;
    // The entries of a drop-down.
    std::vector<std::string> Entries(int nId) const;
    // The icon an icon control shows (0: none).
    int IconId(int nId) const;
    // Whether check box nId is checked.
    bool IsChecked(int nId) const;
    // The pixels control nId shows (as Snapshot gives them), each dark or light by its brightness: what a camera
    // pointed at a picture of dark and light squares sees. Empty where the implementation cannot draw offscreen.
    CMonochromePicture ShownPicture(int nId) const;
    std::string ItemText(int nId, int nRow, int nColumn) const;
    // The tip the control shows when the pointer rests on it, as its window holds it; empty: none.
    std::string Tip(int nId) const;
    int ItemCount(int nId) const;
    // Column headings of a list.
    std::vector<std::string> Headings(int nId) const;
    // The columns of a list as they are shown: heading, where the heading and the cells of the column are aligned
    // (the cells' as row 0 shows them; the heading's when there is no row), and width in pixels.
    struct CColumn {
        std::string strHeading;
        EAlign headingAlign = EAlign::Left;
        EAlign cellAlign = EAlign::Left;
        int nWidth = 0;
        friend bool operator==(const CColumn&, const CColumn&) = default;
    };
    std::vector<CColumn> Columns(int nId) const;
    // The highest position progress bar nId has had since the driver began, also one that a handler set and reset
    // before anything was drawn; -1 where the implementation cannot tell.
    int HighestPosition(int nId) const;
    // The control that has the keyboard focus, 0 when none.
    int FocusId() const;
    // The dialog's title, and whether it is on the screen.
    std::string Title() const;
    bool IsShown() const;
    // The entries of the window's menu (or its stand-in), after the system's own: text and command.
    struct CMenuEntry {
        std::string strText;
        int nCommandId = 0;
    };
    std::vector<CMenuEntry> MenuEntries() const;
    // The identifiers reached by pressing Tab from the first tab stop until the focus comes back, in order.
    std::vector<int> TabOrder();

    // ---- What a screen reader hears, through the system's accessibility (Qt's interfaces, Windows's IAccessible).
    // What the control is called: the label it is labelled by where the window system names it through a relation
    // (Qt on Linux), else its accessible name.
    std::string AccessibleName(int nId) const;
    // What the control holds as a screen reader reads it: a drop-down's entry (or its edit field's text), an edit's
    // text; empty where the system says none.
    std::string AccessibleValue(int nId) const;
    // What the control says of its state beside its name (a lamp's colour): its accessible description, else its
    // accessible value (the window system's lamps carry their colour as value).
    std::string AccessibleDescription(int nId) const;
    // Why this window system cannot report the names and states the program gives its controls, empty where it can
    // (a test of those then skips, naming the reason).
    std::string WhyNoAccessibleNames() const;

    // ---- How the implementation built a control, for the tests of the window layer itself.
    struct CRect {
        int x = 0, y = 0, cx = 0, cy = 0;
        friend bool operator==(const CRect&, const CRect&) = default;
    };
    struct CLook {
        EControlKind kind = EControlKind::Label;
        CRect rect;              // client coordinates of the dialog, pixels
        bool bTabStop = false;   // Tab reaches it
        bool bFlat = false;      // push buttons
        bool bDefault = false;   // the default push button
        bool bMultiLine = false; // a caption wrapped onto lines
        bool bReadOnly = false;  // edits
        EAlign align = EAlign::Left;
        bool bDigitsOnly = false;
        bool bSorted = false;      // drop-downs
        bool bEditable = false;    // a drop-down with edit
        int nVisibleItems = 0;     // how many entries the dropped list shows
        bool bWordWrap = false;    // labels
        bool bBorder = false;      // edits, lists
        bool bMultiSelect = false; // lists
        bool bProgressText = false;
        int nBuddyId = 0;    // spins: the control they are bound to
        int nImageWidth = 0; // icons and pictures: the image's size
        int nImageHeight = 0;
        CColour textColour; // the colours the control paints its text in, and its background
        CColour backColour;
        std::string strFontFace; // the font the control uses, its character height in pixels and its slant
        int nFontPixels = 0;
        bool bItalic = false;
    };
    CLook Look(int nId) const;
    // The dialog's client size in pixels, and the dialog units of its font as base values.
    CRect ClientRect() const;
    int BaseUnitX() const;
    int BaseUnitY() const;
    // How many times the control has been painted since the driver began (or Reset); -1 where the implementation
    // cannot tell.
    int PaintCount(int nId) const;
    // How many messages the window system has given the control (Qt: events), painting or not, since the driver
    // began (or Reset); -1 where the implementation cannot tell.
    int MessageCount(int nId) const;
    // Both counts of every control back to 0.
    void ResetPaintCounts();
    // The control's pixels as red, green, blue rows, the dialog's whole client area for nId 0 (empty when the
    // implementation cannot draw offscreen).
    struct CImage {
        int cx = 0, cy = 0;
        std::vector<CColour> pixels; // row by row
        CColour At(int x, int y) const { return pixels[static_cast<std::size_t>(y * cx + x)]; }
    };
    CImage Snapshot(int nId) const;

    // ---- Modal windows a handler opens. The answer is given before the handler runs; the driver acts on the
    // window when it opens inside the handler's modal run (and gives up after a few seconds, so that a missing
    // window fails the test instead of hanging it).
    struct CBoxSeen {
        bool bOpened = false;
        std::string strTitle;
        std::string strText;
        bool bExclamation = false;
        std::vector<std::string> buttons; // "OK", "Yes", "No"
        std::string strDefaultButton;
        // The titles of the program's other shown windows that took the user's clicks and keys while the box was up
        // (a box holds them all off: disabled under Windows, blocked under Qt).
        std::vector<std::string> otherWindowsTakingInput;
    };
    // The next message box or question: presses the button with that caption ("OK", "Yes", "No").
    std::shared_ptr<CBoxSeen> AnswerNextMessageBox(std::string strButton);
    struct CSaveSeen {
        bool bOpened = false;
        std::vector<std::string> filters; // as the dialog shows them
        std::string strDefaultExtension;
        std::string strInitialName;
        bool bConfirmsReplace = false;
    };
    // The next save question: chooses filter nType (0 the first) from its list of file types, types strName into its
    // file name field in strDirectory and saves, or cancels when strName is empty.
    std::shared_ptr<CSaveSeen> AnswerNextSaveQuestion(std::string strDirectory, std::string strName, int nType = 0);
    struct COpenSeen {
        bool bOpened = false;
        std::string strTitle;
        std::vector<std::string> filters; // as the dialog shows them
        std::string strInitialName;       // what its file name field held when it opened
    };
    // The next open question: types strName into its file name field in strDirectory and opens, or cancels when
    // strName is empty. (A name of no file is refused by the dialog; the driver then cancels it.)
    std::shared_ptr<COpenSeen> AnswerNextOpenQuestion(std::string strDirectory, std::string strName);
    // Runs act() once when the next modal dialog of the program (CDialog) has opened over this one.
    void WhenDialogOpens(std::function<void(CDialog& opened)> act);
    // Runs act() after `delay`, from the window's event queue (inside whatever modal run is going on then).
    static void Later(std::chrono::milliseconds delay, std::function<void()> act);

    // Runs pending window messages until condition() holds or `limit` has passed; returns condition().
    static bool WaitFor(const std::function<bool()>& condition,
                        std::chrono::milliseconds limit = std::chrono::seconds{5});
    // Runs pending window messages for `duration`.
    static void Wait(std::chrono::milliseconds duration);

    struct Impl;

private:
    CDialog& m_dialog;
    std::unique_ptr<Impl> m_pImpl;
};
