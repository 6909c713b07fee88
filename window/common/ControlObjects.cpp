#include "window/common/ControlObjects.h"

#include "window/Dialog.h"

#include <algorithm>

namespace {

std::unique_ptr<CWnd> CreateControlObject(EControlKind kind) {
    switch (kind) {
    case EControlKind::PushButton:
    case EControlKind::CheckBox:
    case EControlKind::GroupBox:
        return std::make_unique<CButton>();
    case EControlKind::Label:
    case EControlKind::Icon:
    case EControlKind::Picture:
        return std::make_unique<CStatic>();
    case EControlKind::Edit:
        return std::make_unique<CEdit>();
    case EControlKind::DropDownList:
    case EControlKind::DropDown:
        return std::make_unique<CComboBox>();
    case EControlKind::Spin:
        return std::make_unique<CSpinButtonCtrl>();
    case EControlKind::ListView:
        return std::make_unique<CListCtrl>();
    case EControlKind::Progress:
        return std::make_unique<CProgressCtrl>();
    }
    return std::make_unique<CWnd>();
}

// A control Tab can reach now: one that takes the focus, a tab stop, shown and enabled.
bool IsReachableTabStop(const CDialog& dialog, std::size_t nIndex) {
    const CControlTemplate& control = dialog.Template().controls[nIndex];
    const CWnd* pControl = dialog.Controls()[nIndex];
    return TakesFocus(control.kind) && control.Has(EControlStyle::TabStop) && pControl->IsWindowVisible() &&
           pControl->IsWindowEnabled();
}

std::size_t ControlCount(const CDialog& dialog) {
    return std::min(dialog.Controls().size(), dialog.Template().controls.size());
}

} // namespace

std::vector<std::unique_ptr<CWnd>> CreateControlObjects(const CDialogTemplate& dialogTemplate) {
    std::vector<std::unique_ptr<CWnd>> controls;
    controls.reserve(dialogTemplate.controls.size());
    for (const CControlTemplate& control : dialogTemplate.controls)
        controls.push_back(CreateControlObject(control.kind));
    return controls;
}

bool TakesFocus(EControlKind kind) {
    switch (kind) {
    case EControlKind::PushButton:
    case EControlKind::CheckBox:
    case EControlKind::Edit:
    case EControlKind::DropDownList:
    case EControlKind::DropDown:
    case EControlKind::ListView:
        return true;
    default:
        return false;
    }
}

CWnd* FirstTabStop(const CDialog& dialog) {
    for (std::size_t i = 0; i < ControlCount(dialog); ++i) {
        if (IsReachableTabStop(dialog, i))
            return dialog.Controls()[i];
    }
    return nullptr;
}

CWnd* NextTabStop(const CDialog& dialog, const CWnd* pFrom) {
    const auto& controls = dialog.Controls();
    const std::size_t nCount = ControlCount(dialog);
    const auto found = std::find(controls.begin(), controls.begin() + static_cast<std::ptrdiff_t>(nCount), pFrom);
    if (found == controls.begin() + static_cast<std::ptrdiff_t>(nCount))
        return FirstTabStop(dialog);
    const auto nFrom = static_cast<std::size_t>(found - controls.begin());
    for (std::size_t nStep = 1; nStep < nCount; ++nStep) {
        const std::size_t i = (nFrom + nStep) % nCount;
        if (IsReachableTabStop(dialog, i))
            return controls[i];
    }
    return nullptr;
}

void HandOnFocusBeforeDisabling(CDialog& dialog, const CWnd& control) {
    // A control may have two faces (SubclassDlgItem): the window is what counts.
    const CWnd* pFocus = dialog.GetFocus();
    if (!pFocus || !control.GetImpl() || pFocus->GetImpl() != control.GetImpl())
        return;
    if (CWnd* pNext = NextTabStop(dialog, pFocus))
        pNext->SetFocus();
    else
        dialog.SetFocus();
}

int PictureSquarePixels(const CMonochromePicture& picture, int cx, int cy) {
    if (picture.IsEmpty())
        return 1;
    return std::max(1, std::min(cx / picture.cx, cy / picture.cy));
}
