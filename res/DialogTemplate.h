#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Dialog templates as data: one text file per dialog under res/dialogs/, read here without any window system and
// turned into native dialogs by each implementation of the window layer (window/qt/, window/win32/).
//
// The format, one item per line (blank lines and lines starting with '#' are skipped; CR LF or LF):
//
//   DIALOG <template number>
//   CAPTION "<title>"
//   FONT <points> "<face>"
//   SIZE <width> <height>
//   STYLE <dialog styles>
//   CONTROL <id> <kind> <styles> "<text>" <x> <y> <width> <height>
//
// DIALOG comes first; FONT and SIZE are required, CAPTION and STYLE optional; each header line at most once, all
// before the first CONTROL. Positions and sizes are dialog units of the dialog's font. Controls are listed in
// template order, which is also the tab order. <id> is a control identifier from 1 to 65535, or -1 for a label
// or picture without one of its own; no identifier other than -1 may appear twice. <styles> is a list of style
// names joined by '|', or '-' for none; a style that does not belong to the control's kind is an error.
// A quoted text may hold the escapes \" \\ \n and \t. For ICON and PICTURE the text is the number of the image
// resource. For DROPDOWNLIST and DROPDOWN the height is the height of the field with its list dropped down.
//
// A label names the control that follows it for a screen reader (window/common/AccessibleNames.h), so each label
// stands directly before the control it captions, and a HIDDEN label names a control that shows no caption. Labels
// take no focus: where they stand leaves the tab order alone. The first control lies on top of those after it.
//
// Kinds and their styles (TABSTOP, HIDDEN, DISABLED and BORDER belong to every kind):
//   PUSHBUTTON    FLAT, DEFAULT (the default push button), MULTILINE (caption wraps onto several lines)
//   CHECKBOX      -            -- a box the user's click checks and clears, its caption to its right
//   GROUPBOX      -
//   LABEL         NOPREFIX ('&' shown as it is), RIGHT, CENTER
//   EDIT          READONLY, NUMBER (digits only when typed), AUTOHSCROLL, RIGHT, CENTER
//   DROPDOWNLIST  SORT (entries added are put in sorted order), VSCROLL       -- a list without typing
//   DROPDOWN      SORT, VSCROLL                                               -- a list with an edit field
//   SPIN          AUTOBUDDY (partner = the control before it), ALIGNRIGHT (sits at the partner's right edge),
//                 SETBUDDYINT (writes its position into the partner), ARROWKEYS (answers Up and Down in it)
//   ICON          REALSIZEIMAGE (keeps its rectangle; the icon is drawn at its own size, clipped to it);
//                 without it the control takes the icon's size
//   PICTURE       CENTERIMAGE (keeps its rectangle; the image is centred in it) -- a bitmap; else takes its size.
//                 With CENTERIMAGE the image number may be 0: no image until the program gives it a picture of its
//                 own (CStatic::SetPicture, a QR code)
//   LISTVIEW      REPORT, SINGLESEL (without it several rows can be selected), SHOWSELALWAYS
//   PROGRESS      SMOOTH
// Dialog styles: POPUP, CAPTION, SYSMENU, MODALFRAME, MINIMIZEBOX, APPWINDOW (own button on the task bar).

enum class EControlKind {
    PushButton,
    GroupBox,
    Label,
    Edit,
    DropDownList,
    DropDown,
    Spin,
    Icon,
    Picture,
    ListView,
    Progress,
    CheckBox,
};

enum class EControlStyle : std::uint32_t {
    TabStop = 1u << 0,
    Hidden = 1u << 1,
    Disabled = 1u << 2,
    Border = 1u << 3,
    Flat = 1u << 4,
    Default = 1u << 5,
    MultiLine = 1u << 6,
    NoPrefix = 1u << 7,
    Right = 1u << 8,
    Center = 1u << 9,
    ReadOnly = 1u << 10,
    Number = 1u << 11,
    AutoHScroll = 1u << 12,
    Sort = 1u << 13,
    VScroll = 1u << 14,
    AutoBuddy = 1u << 15,
    AlignRight = 1u << 16,
    SetBuddyInt = 1u << 17,
    ArrowKeys = 1u << 18,
    RealSizeImage = 1u << 19,
    Report = 1u << 20,
    SingleSel = 1u << 21,
    ShowSelAlways = 1u << 22,
    Smooth = 1u << 23,
    CenterImage = 1u << 24,
};

enum class EDialogStyle : std::uint32_t {
    Popup = 1u << 0,
    Caption = 1u << 1,
    SysMenu = 1u << 2,
    ModalFrame = 1u << 3,
    MinimizeBox = 1u << 4,
    AppWindow = 1u << 5,
};

struct CControlTemplate {
    int nId = 0;
    EControlKind kind = EControlKind::Label;
    std::uint32_t nStyles = 0; // EControlStyle bits
    std::string strText;
    int nImage = 0; // image resource of an ICON or PICTURE, else 0
    int x = 0;
    int y = 0;
    int cx = 0;
    int cy = 0;

    bool Has(EControlStyle style) const { return (nStyles & static_cast<std::uint32_t>(style)) != 0; }
};

struct CDialogTemplate {
    int nId = 0;
    std::string strCaption;
    std::string strFontFace;
    int nFontPoints = 0;
    int cx = 0;
    int cy = 0;
    std::uint32_t nStyles = 0; // EDialogStyle bits
    std::vector<CControlTemplate> controls;

    bool Has(EDialogStyle style) const { return (nStyles & static_cast<std::uint32_t>(style)) != 0; }
    // The first control with that identifier, or null.
    const CControlTemplate* Find(int nControlId) const;
};

// The template described by the text, or nothing when the text breaks any rule of the format above.
std::optional<CDialogTemplate> ParseDialogTemplate(std::string_view text);

// Dialog template nTemplateId as built into the program (res/dialogs/<n>.dlg, res/EmbeddedFiles.h); nothing when
// it is missing, malformed or numbered otherwise inside.
std::optional<CDialogTemplate> LoadDialogTemplate(int nTemplateId);
