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
    const auto& controls = dialog.Controls();
    const auto& templates = dialog.Template().controls;
    for (std::size_t i = 0; i < controls.size() && i < templates.size(); ++i) {
        if (TakesFocus(templates[i].kind) && templates[i].Has(EControlStyle::TabStop) &&
            controls[i]->IsWindowVisible() && controls[i]->IsWindowEnabled())
            return controls[i];
    }
    return nullptr;
}

int PictureSquarePixels(const CMonochromePicture& picture, int cx, int cy) {
    if (picture.IsEmpty())
        return 1;
    return std::max(1, std::min(cx / picture.cx, cy / picture.cy));
}
