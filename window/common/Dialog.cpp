// The part of CDialog and CWnd that every implementation shares: handler tables, routing of the user's actions to
// the handlers, the keyboard rules of a dialog, the first focus. The implementation's Dialog.cpp gives the window
// itself (building, showing, the modal run, timers, the menu).

#include "window/Dialog.h"

#include "window/Resources.h"
#include "window/common/ControlObjects.h"

#include <cstdio>
#include <cstdlib>
#include <thread>

namespace {

const CControlTemplate* TemplateOf(const CDialog& dialog, const CWnd* control) {
    const auto& controls = dialog.Controls();
    for (std::size_t i = 0; i < controls.size() && i < dialog.Template().controls.size(); ++i) {
        if (controls[i] == control)
            return &dialog.Template().controls[i];
    }
    return nullptr;
}

} // namespace

// ---- CWnd

CWnd::CWnd() = default;

CWnd::~CWnd() = default;

bool CWnd::SubclassDlgItem(int nId, CDialog* pParent) {
    CWnd* control = pParent ? pParent->GetDlgItem(nId) : nullptr;
    if (!control)
        return false;
    m_pImpl = control->GetImpl();
    return true;
}

// ---- CDialog

CWnd* CDialog::GetDlgItem(int nId) const {
    for (CWnd* control : m_controlList) {
        if (control->GetDlgCtrlID() == nId)
            return control;
    }
    return nullptr;
}

void CDialog::InitialiseOnce() {
    if (m_bInitialised)
        return;
    m_bInitialised = true;
    if (!OnInitDialog())
        return;
    if (CWnd* pFirst = FirstTabStop(*this))
        pFirst->SetFocus();
}

void CDialog::Sleep(std::chrono::milliseconds duration) {
    std::this_thread::sleep_for(duration);
}

bool CDialog::SendCommand(int nId) {
    if (const auto handler = m_commands.find(nId); handler != m_commands.end()) {
        // A copy: the handler may register handlers itself.
        const auto run = handler->second;
        run();
        return true;
    }
    if (nId == IDOK) {
        OnOK();
        return true;
    }
    if (nId == IDCANCEL) {
        OnCancel();
        return true;
    }
    return false;
}

void CDialog::SendKeyCommand(int nId) {
    if (const CWnd* control = GetDlgItem(nId); control && !control->IsWindowEnabled())
        return;
    SendCommand(nId);
}

void CDialog::RouteCommand(int nId) {
    SendCommand(nId);
}

void CDialog::RouteSelChange(int nId) {
    if (const auto handler = m_selChanges.find(nId); handler != m_selChanges.end()) {
        const auto run = handler->second;
        run();
    }
}

void CDialog::RouteItemChanged(int nId, int nRow, int nOldState, int nNewState) {
    if (const auto handler = m_itemChanges.find(nId); handler != m_itemChanges.end()) {
        const auto run = handler->second;
        run(nRow, nOldState, nNewState);
    }
}

void CDialog::RouteTimer(int nId) {
    OnTimer(nId);
}

bool CDialog::RouteKey(EKey key, CKeyModifiers modifiers) {
    switch (key) {
    case EKey::Enter:
    case EKey::KeypadEnter:
        // A modifier changes nothing: Shift+Enter in a field is the Enter the user meant, never a way around the
        // dialog's own rule for Enter.
        OnEnterKey();
        return true;
    case EKey::Escape:
        if (modifiers.bAlt)
            return false; // the system's key for another window
        SendKeyCommand(IDCANCEL);
        return true;
    default:
        return false;
    }
}

void CDialog::RouteClose() {
    OnClose();
}

void CDialog::RouteSysCommand(int nCommandId) {
    OnSysCommand(nCommandId);
}

bool CDialog::OnInitDialog() {
    return true;
}

void CDialog::OnOK() {
    EndDialog(IDOK);
}

void CDialog::OnCancel() {
    EndDialog(IDCANCEL);
}

void CDialog::OnClose() {
    OnCancel();
}

void CDialog::OnEnterKey() {
    int nId = IDOK;
    const CWnd* focused = GetFocus();
    if (const CControlTemplate* control = TemplateOf(*this, focused);
        control && control->kind == EControlKind::PushButton) {
        nId = control->nId;
    } else {
        for (const CControlTemplate& candidate : m_template.controls) {
            if (candidate.kind == EControlKind::PushButton && candidate.Has(EControlStyle::Default)) {
                nId = candidate.nId;
                break;
            }
        }
    }
    SendKeyCommand(nId);
}

void CDialog::OnTimer(int /*nId*/) {}

void CDialog::OnSysCommand(int /*nCommandId*/) {}

void CDialog::ExpectControl(int nId) const {
    if (!GetDlgItem(nId))
        std::fprintf(stderr, "Dialog %d has no control %d for a handler\n", m_nTemplateId, nId);
}

void CDialog::MissingBoundControl(int nId) const {
    std::fprintf(stderr, "Dialog %d has no control %d of the kind its class binds\n", m_nTemplateId, nId);
    std::abort();
}

void AddAboutEntry(CDialog& window) {
    const std::string strAbout = ResourceString(IDS_ABOUTBOX);
    if (!strAbout.empty())
        window.AppendSystemMenu(IDM_ABOUTBOX, Shown(strAbout), EKey::F1);
}
