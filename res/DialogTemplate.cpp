#include "res/DialogTemplate.h"

#include "res/EmbeddedFiles.h"

#include <charconv>
#include <utility>

namespace {

constexpr int kMaxIdentifier = 65535;
constexpr int kMaxUnits = 32767; // dialog units, the largest coordinate a template can hold
constexpr int kMaxFontPoints = 72;

struct CToken {
    std::string strText;
    bool bQuoted = false;
};

// Splits a line into blank-separated words and quoted texts; nothing when a quote is left open, an escape is
// unknown, or a quoted text runs straight into the next word.
std::optional<std::vector<CToken>> Tokenise(std::string_view line) {
    std::vector<CToken> tokens;
    std::size_t i = 0;
    const auto isBlank = [](char c) {
        return c == ' ' || c == '\t';
    };
    while (i < line.size()) {
        if (isBlank(line[i])) {
            ++i;
            continue;
        }
        CToken token;
        if (line[i] == '"') {
            token.bQuoted = true;
            ++i;
            bool bClosed = false;
            while (i < line.size()) {
                const char c = line[i++];
                if (c == '"') {
                    bClosed = true;
                    break;
                }
                if (c != '\\') {
                    token.strText += c;
                    continue;
                }
                if (i >= line.size())
                    return std::nullopt;
                switch (line[i++]) {
                case '"':
                    token.strText += '"';
                    break;
                case '\\':
                    token.strText += '\\';
                    break;
                case 'n':
                    token.strText += '\n';
                    break;
                case 't':
                    token.strText += '\t';
                    break;
                default:
                    return std::nullopt;
                }
            }
            if (!bClosed || (i < line.size() && !isBlank(line[i])))
                return std::nullopt;
        } else {
            while (i < line.size() && !isBlank(line[i])) {
                if (line[i] == '"')
                    return std::nullopt;
                token.strText += line[i++];
            }
        }
        tokens.push_back(std::move(token));
    }
    return tokens;
}

// A whole bare token as a decimal number in [nMin, nMax]: an optional '-' and digits, nothing else.
std::optional<int> Number(const CToken& token, int nMin, int nMax) {
    if (token.bQuoted || token.strText.empty())
        return std::nullopt;
    const char* first = token.strText.data();
    const char* last = first + token.strText.size();
    if (*first == '+')
        return std::nullopt;
    int nValue = 0;
    const auto [end, error] = std::from_chars(first, last, nValue);
    if (error != std::errc{} || end != last || nValue < nMin || nValue > nMax)
        return std::nullopt;
    return nValue;
}

struct CKindInfo {
    std::string_view name;
    EControlKind kind;
    std::uint32_t nAllowed; // styles of this kind besides the common ones
};

constexpr std::uint32_t Bits(std::initializer_list<EControlStyle> styles) {
    std::uint32_t nBits = 0;
    for (const auto style : styles)
        nBits |= static_cast<std::uint32_t>(style);
    return nBits;
}

using S = EControlStyle;
constexpr std::uint32_t kCommonStyles = Bits({S::TabStop, S::Hidden, S::Disabled, S::Border});

constexpr CKindInfo kKinds[] = {
    {"PUSHBUTTON", EControlKind::PushButton, Bits({S::Flat, S::Default, S::MultiLine})},
    {"GROUPBOX", EControlKind::GroupBox, 0},
    {"LABEL", EControlKind::Label, Bits({S::NoPrefix, S::Right, S::Center})},
    {"EDIT", EControlKind::Edit, Bits({S::ReadOnly, S::Number, S::AutoHScroll, S::Right, S::Center})},
    {"DROPDOWNLIST", EControlKind::DropDownList, Bits({S::Sort, S::VScroll})},
    {"DROPDOWN", EControlKind::DropDown, Bits({S::Sort, S::VScroll})},
    {"SPIN", EControlKind::Spin, Bits({S::AutoBuddy, S::AlignRight, S::SetBuddyInt, S::ArrowKeys})},
    {"ICON", EControlKind::Icon, Bits({S::RealSizeImage})},
    {"PICTURE", EControlKind::Picture, Bits({S::CenterImage})},
    {"LISTVIEW", EControlKind::ListView, Bits({S::Report, S::SingleSel, S::ShowSelAlways})},
    {"PROGRESS", EControlKind::Progress, Bits({S::Smooth})},
    {"CHECKBOX", EControlKind::CheckBox, 0},
};

constexpr std::pair<std::string_view, EControlStyle> kControlStyles[] = {
    {"TABSTOP", S::TabStop},
    {"HIDDEN", S::Hidden},
    {"DISABLED", S::Disabled},
    {"BORDER", S::Border},
    {"FLAT", S::Flat},
    {"DEFAULT", S::Default},
    {"MULTILINE", S::MultiLine},
    {"NOPREFIX", S::NoPrefix},
    {"RIGHT", S::Right},
    {"CENTER", S::Center},
    {"READONLY", S::ReadOnly},
    {"NUMBER", S::Number},
    {"AUTOHSCROLL", S::AutoHScroll},
    {"SORT", S::Sort},
    {"VSCROLL", S::VScroll},
    {"AUTOBUDDY", S::AutoBuddy},
    {"ALIGNRIGHT", S::AlignRight},
    {"SETBUDDYINT", S::SetBuddyInt},
    {"ARROWKEYS", S::ArrowKeys},
    {"REALSIZEIMAGE", S::RealSizeImage},
    {"REPORT", S::Report},
    {"SINGLESEL", S::SingleSel},
    {"SHOWSELALWAYS", S::ShowSelAlways},
    {"SMOOTH", S::Smooth},
    {"CENTERIMAGE", S::CenterImage},
};

constexpr std::pair<std::string_view, EDialogStyle> kDialogStyles[] = {
    {"POPUP", EDialogStyle::Popup},
    {"CAPTION", EDialogStyle::Caption},
    {"SYSMENU", EDialogStyle::SysMenu},
    {"MODALFRAME", EDialogStyle::ModalFrame},
    {"MINIMIZEBOX", EDialogStyle::MinimizeBox},
    {"APPWINDOW", EDialogStyle::AppWindow},
};

// "A|B|C" or "-" as style bits from the table; nothing for an unknown or repeated name or an empty part.
template <typename Style, std::size_t N>
std::optional<std::uint32_t> StyleBits(const CToken& token, const std::pair<std::string_view, Style> (&table)[N]) {
    if (token.bQuoted || token.strText.empty())
        return std::nullopt;
    if (token.strText == "-")
        return 0u;
    std::uint32_t nBits = 0;
    std::string_view rest = token.strText;
    while (true) {
        const std::size_t nBar = rest.find('|');
        const std::string_view name = rest.substr(0, nBar);
        std::uint32_t nBit = 0;
        for (const auto& [styleName, style] : table) {
            if (styleName == name)
                nBit = static_cast<std::uint32_t>(style);
        }
        if (nBit == 0 || (nBits & nBit) != 0)
            return std::nullopt;
        nBits |= nBit;
        if (nBar == std::string_view::npos)
            break;
        rest.remove_prefix(nBar + 1);
    }
    return nBits;
}

std::optional<CControlTemplate> ParseControl(const std::vector<CToken>& tokens) {
    if (tokens.size() != 9 || !tokens[4].bQuoted)
        return std::nullopt;
    CControlTemplate control;
    const auto nId = Number(tokens[1], -1, kMaxIdentifier);
    if (!nId || *nId == 0)
        return std::nullopt;
    control.nId = *nId;

    const CKindInfo* info = nullptr;
    for (const auto& kind : kKinds) {
        if (!tokens[2].bQuoted && kind.name == tokens[2].strText)
            info = &kind;
    }
    if (!info)
        return std::nullopt;
    control.kind = info->kind;

    const auto nStyles = StyleBits(tokens[3], kControlStyles);
    if (!nStyles || (*nStyles & ~(kCommonStyles | info->nAllowed)) != 0)
        return std::nullopt;
    control.nStyles = *nStyles;

    control.strText = tokens[4].strText;
    if (control.kind == EControlKind::Icon || control.kind == EControlKind::Picture) {
        // A picture that keeps its rectangle may start without an image: the program draws one into it.
        const bool bMayBeEmpty = control.kind == EControlKind::Picture && control.Has(EControlStyle::CenterImage);
        const auto nImage = Number(CToken{control.strText, false}, bMayBeEmpty ? 0 : 1, kMaxIdentifier);
        if (!nImage)
            return std::nullopt;
        control.nImage = *nImage;
    }

    int* const fields[] = {&control.x, &control.y, &control.cx, &control.cy};
    for (std::size_t i = 0; i < 4; ++i) {
        const auto nValue = Number(tokens[5 + i], 0, kMaxUnits);
        if (!nValue)
            return std::nullopt;
        *fields[i] = *nValue;
    }
    return control;
}

} // namespace

const CControlTemplate* CDialogTemplate::Find(int nControlId) const {
    for (const auto& control : controls) {
        if (control.nId == nControlId)
            return &control;
    }
    return nullptr;
}

std::optional<CDialogTemplate> ParseDialogTemplate(std::string_view text) {
    CDialogTemplate dialog;
    bool bHaveDialog = false, bHaveCaption = false, bHaveFont = false, bHaveSize = false, bHaveStyle = false;

    while (!text.empty()) {
        const std::size_t nEnd = text.find('\n');
        std::string_view line = text.substr(0, nEnd);
        text.remove_prefix(nEnd == std::string_view::npos ? text.size() : nEnd + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);

        const auto tokens = Tokenise(line);
        if (!tokens)
            return std::nullopt;
        if (tokens->empty() || (!tokens->front().bQuoted && tokens->front().strText.front() == '#'))
            continue;
        const CToken& keyword = tokens->front();
        if (keyword.bQuoted)
            return std::nullopt;
        const std::size_t nCount = tokens->size();

        if (!bHaveDialog) {
            if (keyword.strText != "DIALOG" || nCount != 2)
                return std::nullopt;
            const auto nId = Number((*tokens)[1], 1, kMaxIdentifier);
            if (!nId)
                return std::nullopt;
            dialog.nId = *nId;
            bHaveDialog = true;
            continue;
        }

        const bool bHeaderOpen = dialog.controls.empty();
        if (keyword.strText == "CONTROL") {
            if (!bHaveFont || !bHaveSize)
                return std::nullopt;
            auto control = ParseControl(*tokens);
            if (!control || (control->nId != -1 && dialog.Find(control->nId)))
                return std::nullopt;
            dialog.controls.push_back(std::move(*control));
        } else if (keyword.strText == "CAPTION" && bHeaderOpen && !bHaveCaption) {
            if (nCount != 2 || !(*tokens)[1].bQuoted)
                return std::nullopt;
            dialog.strCaption = (*tokens)[1].strText;
            bHaveCaption = true;
        } else if (keyword.strText == "FONT" && bHeaderOpen && !bHaveFont) {
            const auto nPoints = nCount == 3 ? Number((*tokens)[1], 1, kMaxFontPoints) : std::nullopt;
            if (!nPoints || !(*tokens)[2].bQuoted || (*tokens)[2].strText.empty())
                return std::nullopt;
            dialog.nFontPoints = *nPoints;
            dialog.strFontFace = (*tokens)[2].strText;
            bHaveFont = true;
        } else if (keyword.strText == "SIZE" && bHeaderOpen && !bHaveSize) {
            const auto cx = nCount == 3 ? Number((*tokens)[1], 1, kMaxUnits) : std::nullopt;
            const auto cy = nCount == 3 ? Number((*tokens)[2], 1, kMaxUnits) : std::nullopt;
            if (!cx || !cy)
                return std::nullopt;
            dialog.cx = *cx;
            dialog.cy = *cy;
            bHaveSize = true;
        } else if (keyword.strText == "STYLE" && bHeaderOpen && !bHaveStyle) {
            const auto nStyles = nCount == 2 ? StyleBits((*tokens)[1], kDialogStyles) : std::nullopt;
            if (!nStyles)
                return std::nullopt;
            dialog.nStyles = *nStyles;
            bHaveStyle = true;
        } else {
            return std::nullopt;
        }
    }
    if (!bHaveDialog || !bHaveFont || !bHaveSize)
        return std::nullopt;
    return dialog;
}

std::optional<CDialogTemplate> LoadDialogTemplate(int nTemplateId) {
    const std::string_view text = EmbeddedResFile("dialogs/" + std::to_string(nTemplateId) + ".dlg");
    if (text.empty())
        return std::nullopt;
    auto dialogTemplate = ParseDialogTemplate(text);
    if (!dialogTemplate || dialogTemplate->nId != nTemplateId)
        return std::nullopt;
    return dialogTemplate;
}
