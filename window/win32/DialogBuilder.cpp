#include "window/win32/DialogBuilder.h"

#include <cstring>

namespace {

// The version and signature words that mark an extended dialog template.
constexpr WORD kExtendedVersion = 1;
constexpr WORD kExtendedSignature = 0xFFFF;
// Two lines of the dialog font in vertical dialog units (its height is the vertical base, eight units).
constexpr int kTwoLines = 16;

// Appends the fields of a template as the dialog manager reads them: little-endian words, texts as zero-ended
// UTF-16, each control's record starting on a double word.
class CTemplateWriter {
public:
    void Word(WORD nValue) {
        m_bytes.push_back(static_cast<std::uint8_t>(nValue & 0xFF));
        m_bytes.push_back(static_cast<std::uint8_t>(nValue >> 8));
    }
    void Short(int nValue) { Word(static_cast<WORD>(static_cast<std::int16_t>(nValue))); }
    void DoubleWord(DWORD nValue) {
        Word(static_cast<WORD>(nValue & 0xFFFF));
        Word(static_cast<WORD>(nValue >> 16));
    }
    void Byte(std::uint8_t nValue) { m_bytes.push_back(nValue); }
    void Text(std::u16string_view text) {
        for (const char16_t c : text) {
            // A zero inside would end the text early; the template format cannot hold one anyway.
            if (c != 0)
                Word(static_cast<WORD>(c));
        }
        Word(0);
    }
    void AlignToDoubleWord() {
        while (m_bytes.size() % sizeof(DWORD) != 0)
            m_bytes.push_back(0);
    }
    std::vector<DWORD> Finish() {
        AlignToDoubleWord();
        std::vector<DWORD> aligned(m_bytes.size() / sizeof(DWORD));
        std::memcpy(aligned.data(), m_bytes.data(), m_bytes.size());
        return aligned;
    }

private:
    std::vector<std::uint8_t> m_bytes;
};

DWORD Flag(const CControlTemplate& control, EControlStyle style, DWORD nNative) {
    return control.Has(style) ? nNative : 0;
}

// The identifier as the extended template holds it: a double word, so that a label without one (-1) reads back
// as -1.
DWORD TemplateId(int nId) {
    return static_cast<DWORD>(nId);
}

} // namespace

DWORD CDialogBuilder::DialogStyle(const CDialogTemplate& dialogTemplate) {
    // DS_SETFONT: the dialog manager makes the template's font and measures the dialog units with it. DS_CENTER:
    // the dialog opens in the middle of its owner, or of the screen.
    DWORD nStyle = DS_SETFONT | DS_CENTER;
    if (dialogTemplate.Has(EDialogStyle::Popup))
        nStyle |= WS_POPUP;
    if (dialogTemplate.Has(EDialogStyle::Caption))
        nStyle |= WS_CAPTION;
    if (dialogTemplate.Has(EDialogStyle::SysMenu))
        nStyle |= WS_SYSMENU;
    if (dialogTemplate.Has(EDialogStyle::ModalFrame))
        nStyle |= DS_MODALFRAME;
    if (dialogTemplate.Has(EDialogStyle::MinimizeBox))
        nStyle |= WS_MINIMIZEBOX;
    return nStyle;
}

DWORD CDialogBuilder::DialogExStyle(const CDialogTemplate& dialogTemplate) {
    return dialogTemplate.Has(EDialogStyle::AppWindow) ? WS_EX_APPWINDOW : 0;
}

DWORD CDialogBuilder::ControlStyle(const CControlTemplate& control) {
    DWORD nStyle = WS_CHILD;
    if (!control.Has(EControlStyle::Hidden))
        nStyle |= WS_VISIBLE;
    nStyle |= Flag(control, EControlStyle::TabStop, WS_TABSTOP);
    nStyle |= Flag(control, EControlStyle::Disabled, WS_DISABLED);
    nStyle |= Flag(control, EControlStyle::Border, WS_BORDER);

    switch (control.kind) {
    case EControlKind::PushButton:
        nStyle |= control.Has(EControlStyle::Default) ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
        nStyle |= Flag(control, EControlStyle::Flat, BS_FLAT);
        nStyle |= Flag(control, EControlStyle::MultiLine, BS_MULTILINE);
        break;
    case EControlKind::CheckBox:
        nStyle |= BS_AUTOCHECKBOX;
        break;
    case EControlKind::GroupBox:
        nStyle |= BS_GROUPBOX;
        break;
    case EControlKind::Label:
        // Words wrap where the label holds two lines of the dialog font (a line is 8 vertical units); a one-line
        // label whose text is a little wider than it keeps its words on that line.
        if (control.Has(EControlStyle::Right))
            nStyle |= SS_RIGHT;
        else if (control.Has(EControlStyle::Center))
            nStyle |= SS_CENTER;
        else
            nStyle |= control.cy >= kTwoLines ? SS_LEFT : SS_LEFTNOWORDWRAP;
        nStyle |= Flag(control, EControlStyle::NoPrefix, SS_NOPREFIX);
        break;
    case EControlKind::Edit:
        if (control.Has(EControlStyle::Right))
            nStyle |= ES_RIGHT;
        else if (control.Has(EControlStyle::Center))
            nStyle |= ES_CENTER;
        else
            nStyle |= ES_LEFT;
        nStyle |= Flag(control, EControlStyle::ReadOnly, ES_READONLY);
        nStyle |= Flag(control, EControlStyle::Number, ES_NUMBER);
        nStyle |= Flag(control, EControlStyle::AutoHScroll, ES_AUTOHSCROLL);
        break;
    case EControlKind::DropDownList:
    case EControlKind::DropDown:
        nStyle |= control.kind == EControlKind::DropDownList ? CBS_DROPDOWNLIST : CBS_DROPDOWN;
        nStyle |= CBS_AUTOHSCROLL;
        nStyle |= Flag(control, EControlStyle::VScroll, WS_VSCROLL);
        break;
    case EControlKind::Spin:
        nStyle |= UDS_NOTHOUSANDS;
        nStyle |= Flag(control, EControlStyle::AutoBuddy, UDS_AUTOBUDDY);
        nStyle |= Flag(control, EControlStyle::AlignRight, UDS_ALIGNRIGHT);
        nStyle |= Flag(control, EControlStyle::SetBuddyInt, UDS_SETBUDDYINT);
        nStyle |= Flag(control, EControlStyle::ArrowKeys, UDS_ARROWKEYS);
        break;
    case EControlKind::Icon:
        nStyle |= SS_ICON;
        nStyle |= Flag(control, EControlStyle::RealSizeImage, SS_REALSIZEIMAGE);
        break;
    case EControlKind::Picture:
        // A centred image keeps the control's rectangle; without it the control takes the bitmap's size.
        nStyle |= SS_BITMAP;
        nStyle |= Flag(control, EControlStyle::CenterImage, SS_CENTERIMAGE);
        break;
    case EControlKind::ListView:
        nStyle |= Flag(control, EControlStyle::Report, LVS_REPORT);
        nStyle |= Flag(control, EControlStyle::SingleSel, LVS_SINGLESEL);
        nStyle |= Flag(control, EControlStyle::ShowSelAlways, LVS_SHOWSELALWAYS);
        break;
    case EControlKind::Progress:
        nStyle |= Flag(control, EControlStyle::Smooth, PBS_SMOOTH);
        break;
    }
    return nStyle;
}

const wchar_t* CDialogBuilder::ControlClass(EControlKind kind) {
    switch (kind) {
    case EControlKind::PushButton:
    case EControlKind::CheckBox:
    case EControlKind::GroupBox:
        return WC_BUTTONW;
    case EControlKind::Label:
    case EControlKind::Icon:
    case EControlKind::Picture:
        return WC_STATICW;
    case EControlKind::Edit:
        return WC_EDITW;
    case EControlKind::DropDownList:
    case EControlKind::DropDown:
        return WC_COMBOBOXW;
    case EControlKind::Spin:
        return UPDOWN_CLASSW;
    case EControlKind::ListView:
        return WC_LISTVIEWW;
    case EControlKind::Progress:
        return PROGRESS_CLASSW;
    }
    return WC_STATICW;
}

std::vector<DWORD> CDialogBuilder::Build() const {
    CTemplateWriter writer;
    writer.Word(kExtendedVersion);
    writer.Word(kExtendedSignature);
    writer.DoubleWord(0); // help identifier
    writer.DoubleWord(DialogExStyle(m_template));
    writer.DoubleWord(DialogStyle(m_template));
    writer.Word(static_cast<WORD>(m_template.controls.size()));
    writer.Short(0); // position: centred (DS_CENTER)
    writer.Short(0);
    writer.Short(m_template.cx);
    writer.Short(m_template.cy);
    writer.Word(0); // no menu
    writer.Word(0); // the dialog class
    writer.Text(WidenShown(m_template.strCaption));
    writer.Word(static_cast<WORD>(m_template.nFontPoints));
    writer.Word(FW_NORMAL);
    writer.Byte(0);               // not italic
    writer.Byte(DEFAULT_CHARSET); // the face's own characters
    writer.Text(WidenShown(m_template.strFontFace));

    for (const CControlTemplate& control : m_template.controls) {
        writer.AlignToDoubleWord();
        writer.DoubleWord(0); // help identifier
        writer.DoubleWord(0); // extended style
        writer.DoubleWord(ControlStyle(control));
        writer.Short(control.x);
        writer.Short(control.y);
        writer.Short(control.cx);
        writer.Short(control.cy);
        writer.DoubleWord(TemplateId(control.nId));
        writer.Text(FromWide(ControlClass(control.kind)));
        // The kinds that do not show their own text keep it beside the window (CWnd::Impl::strKeptText).
        writer.Text(ShowsOwnText(control.kind) ? WidenShown(control.strText) : std::u16string());
        writer.Word(0); // no creation data
    }
    return writer.Finish();
}
