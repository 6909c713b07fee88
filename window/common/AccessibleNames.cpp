#include "window/common/AccessibleNames.h"

#include "window/Text.h"

#include <cstddef>
#include <string>

namespace {

bool Frames(const CControlTemplate& group, const CControlTemplate& control) {
    return control.x >= group.x && control.y >= group.y && control.x + control.cx <= group.x + group.cx &&
           control.y + control.cy <= group.y + group.cy;
}

// The smallest group box that frames the control, -1 for none.
int FramingGroup(const CDialogTemplate& dialogTemplate, std::size_t nControl) {
    const CControlTemplate& control = dialogTemplate.controls[nControl];
    int nGroup = -1;
    long long nSmallestArea = 0;
    for (std::size_t i = 0; i < dialogTemplate.controls.size(); ++i) {
        const CControlTemplate& group = dialogTemplate.controls[i];
        if (i == nControl || group.kind != EControlKind::GroupBox || !Frames(group, control))
            continue;
        const long long nArea = static_cast<long long>(group.cx) * group.cy;
        if (nGroup < 0 || nArea < nSmallestArea) {
            nGroup = static_cast<int>(i);
            nSmallestArea = nArea;
        }
    }
    return nGroup;
}

bool IsBoundSpin(const CDialogTemplate& dialogTemplate, std::size_t nControl) {
    const CControlTemplate& control = dialogTemplate.controls[nControl];
    return nControl > 0 && control.kind == EControlKind::Spin && control.Has(EControlStyle::AutoBuddy);
}

bool IsDropDown(EControlKind kind) {
    return kind == EControlKind::DropDownList || kind == EControlKind::DropDown;
}

bool IsBlank(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r';
}

// Whether a control of this kind is one the user operates or reads, and so needs a name.
bool NeedsAccessibleName(EControlKind kind) {
    switch (kind) {
    case EControlKind::PushButton:
    case EControlKind::CheckBox:
    case EControlKind::Edit:
    case EControlKind::DropDownList:
    case EControlKind::DropDown:
    case EControlKind::Spin:
    case EControlKind::Icon:
    case EControlKind::ListView:
    case EControlKind::Progress:
        return true;
    case EControlKind::GroupBox:
    case EControlKind::Label:
    case EControlKind::Picture:
        break;
    }
    return false;
}

} // namespace

std::vector<CNameSource> AccessibleNameSources(const CDialogTemplate& dialogTemplate) {
    const auto& controls = dialogTemplate.controls;
    std::vector<CNameSource> sources(controls.size());
    for (std::size_t i = 0; i < controls.size(); ++i) {
        const CControlTemplate& control = controls[i];
        if (!NeedsAccessibleName(control.kind) || IsBoundSpin(dialogTemplate, i))
            continue;
        if ((control.kind == EControlKind::PushButton || control.kind == EControlKind::CheckBox) &&
            !control.strText.empty())
            sources[i] = {ENameSource::Own, static_cast<int>(i), 0};
        else if (i > 0 && controls[i - 1].kind == EControlKind::Label)
            sources[i] = {ENameSource::Label, static_cast<int>(i - 1), 0};
        else if (const int nGroup = FramingGroup(dialogTemplate, i); nGroup >= 0 && !IsDropDown(control.kind))
            sources[i] = {ENameSource::Group, nGroup, 0};
    }
    // The controls a group box names are numbered when there are several.
    for (std::size_t i = 0; i < controls.size(); ++i) {
        if (controls[i].kind != EControlKind::GroupBox)
            continue;
        std::vector<std::size_t> named;
        for (std::size_t k = 0; k < controls.size(); ++k) {
            if (sources[k].source == ENameSource::Group && sources[k].nItem == static_cast<int>(i))
                named.push_back(k);
        }
        if (named.size() < 2)
            continue;
        for (std::size_t n = 0; n < named.size(); ++n)
            sources[named[n]].nNumber = static_cast<int>(n + 1);
    }
    // A spin says what its buddy says, named by the same text.
    for (std::size_t i = 0; i < controls.size(); ++i) {
        if (!IsBoundSpin(dialogTemplate, i))
            continue;
        CNameSource buddy = sources[i - 1];
        if (buddy.source == ENameSource::Label || buddy.source == ENameSource::Group) {
            buddy.source = ENameSource::Buddy;
            sources[i] = buddy;
        }
    }
    return sources;
}

std::u16string AccessibleNameFromText(std::u16string_view text, bool bNoPrefix, int nNumber) {
    const std::u16string read = bNoPrefix ? std::u16string(text) : WithoutMnemonics(text);
    std::u16string name;
    name.reserve(read.size() + 4);
    bool bPendingBlank = false;
    for (const char16_t c : read) {
        if (IsBlank(c)) {
            bPendingBlank = !name.empty();
            continue;
        }
        if (bPendingBlank)
            name += u' ';
        bPendingBlank = false;
        name += c;
    }
    if (nNumber > 0) {
        if (!name.empty())
            name += u' ';
        for (const char c : std::to_string(nNumber))
            name += static_cast<char16_t>(c);
    }
    return name;
}

bool KeepsAmpersands(const CDialogTemplate& dialogTemplate, const CNameSource& source) {
    if (source.nItem < 0 || static_cast<std::size_t>(source.nItem) >= dialogTemplate.controls.size())
        return false;
    const CControlTemplate& item = dialogTemplate.controls[static_cast<std::size_t>(source.nItem)];
    return item.kind == EControlKind::Label && item.Has(EControlStyle::NoPrefix);
}
