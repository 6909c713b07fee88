// What the driver reads through the interface's own calls, and the Tab walk, the same on every implementation; the
// implementation's DialogDriver.cpp does what takes its own controls.

#include "window/DialogDriver.h"

#include "window/Dialog.h"
#include "window/common/ControlObjects.h"

bool CDialogDriver::Choose(int nId, std::string_view entry) {
    const auto* combo = dynamic_cast<const CComboBox*>(m_dialog.GetDlgItem(nId));
    if (!combo)
        return false;
    for (int nIndex = 0; nIndex < combo->GetCount(); ++nIndex) {
        if (combo->GetLBText(nIndex) == entry)
            return Choose(nId, nIndex);
    }
    return false;
}

std::string CDialogDriver::Text(int nId) const {
    const CWnd* control = m_dialog.GetDlgItem(nId);
    return control ? control->GetWindowText() : std::string();
}

bool CDialogDriver::IsEnabled(int nId) const {
    const CWnd* control = m_dialog.GetDlgItem(nId);
    return control && control->IsWindowEnabled();
}

bool CDialogDriver::IsVisible(int nId) const {
    const CWnd* control = m_dialog.GetDlgItem(nId);
    return control && control->IsWindowVisible();
}

int CDialogDriver::Selection(int nId) const {
    if (const auto* combo = m_dialog.Item<CComboBox>(nId))
        return combo->GetCurSel();
    if (const auto* list = m_dialog.Item<CListCtrl>(nId))
        return list->GetNextSelected(-1);
    return -1;
}

std::vector<std::string> CDialogDriver::Entries(int nId) const {
    std::vector<std::string> entries;
    if (const auto* combo = m_dialog.Item<CComboBox>(nId)) {
        for (int nIndex = 0; nIndex < combo->GetCount(); ++nIndex)
            entries.push_back(combo->GetLBText(nIndex));
    }
    return entries;
}

int CDialogDriver::IconId(int nId) const {
    const auto* icon = m_dialog.Item<CStatic>(nId);
    return icon ? icon->GetIcon() : 0;
}

bool CDialogDriver::IsChecked(int nId) const {
    const auto* button = m_dialog.Item<CButton>(nId);
    return button && button->GetCheck();
}

CMonochromePicture CDialogDriver::ShownPicture(int nId) const {
    // Dark is below the middle of the brightness range, counted as a camera counts it (green weighs most).
    constexpr int kDarkBelow = 128 * 1000;
    const CImage image = Snapshot(nId);
    CMonochromePicture picture;
    picture.cx = image.cx;
    picture.cy = image.cy;
    picture.dark.reserve(image.pixels.size());
    for (const CColour& pixel : image.pixels)
        picture.dark.push_back(299 * pixel.r + 587 * pixel.g + 114 * pixel.b < kDarkBelow);
    return picture;
}

std::string CDialogDriver::ItemText(int nId, int nRow, int nColumn) const {
    const auto* list = m_dialog.Item<CListCtrl>(nId);
    return list ? list->GetItemText(nRow, nColumn) : std::string();
}

std::string CDialogDriver::Tip(int nId) const {
    const CWnd* control = m_dialog.GetDlgItem(nId);
    return control ? control->GetToolTip() : std::string();
}

int CDialogDriver::ItemCount(int nId) const {
    const auto* list = m_dialog.Item<CListCtrl>(nId);
    return list ? list->GetItemCount() : 0;
}

int CDialogDriver::FocusId() const {
    const CWnd* pFocus = m_dialog.GetFocus();
    return pFocus ? pFocus->GetDlgCtrlID() : 0;
}

std::string CDialogDriver::Title() const {
    return m_dialog.GetWindowText();
}

std::vector<int> CDialogDriver::TabOrder() {
    std::vector<int> order;
    const CWnd* pFirst = FirstTabStop(m_dialog);
    const int nFirst = pFirst ? pFirst->GetDlgCtrlID() : 0;
    if (nFirst == 0 || !Focus(nFirst))
        return order;
    order.push_back(nFirst);
    for (std::size_t nStep = 0; nStep <= m_dialog.Controls().size(); ++nStep) {
        Key(0, EKey::Tab);
        const int nNow = FocusId();
        if (nNow == nFirst || nNow == 0)
            break;
        order.push_back(nNow);
    }
    return order;
}
