#include "window/Dialog.h"

#include "window/Resources.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QTimer>

#include <thread>

namespace {

// The shortest period the window system gives a timer.
constexpr auto kMinimumTimerPeriod = std::chrono::milliseconds{10};

} // namespace

CDialog::CDialog(int nTemplateId, QWidget* parent) : QDialog(parent), m_nTemplateId(nTemplateId) {
    const auto dialogTemplate = LoadDialogTemplate(nTemplateId);
    if (!dialogTemplate) {
        qWarning("Dialog template %d is missing or malformed", nTemplateId);
        return;
    }
    CDialogBuilder builder(*this, *dialogTemplate);
    m_controls = builder.Build();
    m_units = builder.Units();
    for (QWidget* control : m_controls) {
        if (auto* button = qobject_cast<QAbstractButton*>(control)) {
            const int nId = ControlId(button);
            connect(button, &QAbstractButton::clicked, this, [this, nId] { SendCommand(nId); });
        }
    }
}

CDialog::~CDialog() = default;

int CDialog::DoModal() {
    InitialiseOnce();
    if (m_bEnded)
        return result();
    return exec();
}

void CDialog::Create() {
    InitialiseOnce();
    if (!m_bEnded)
        show();
}

void CDialog::InitialiseOnce() {
    if (m_bInitialised)
        return;
    m_bInitialised = true;
    if (!OnInitDialog())
        return;
    for (QWidget* control : m_controls) {
        if ((control->focusPolicy() & Qt::TabFocus) && control->isEnabled() && !control->isHidden()) {
            control->setFocus(Qt::TabFocusReason);
            break;
        }
    }
}

void CDialog::EndDialog(int nResult) {
    m_bEnded = true;
    for (auto& [nId, timer] : m_timers)
        timer->stop();
    QDialog::done(nResult);
}

QWidget* CDialog::GetDlgItem(int nId) const {
    for (QWidget* control : m_controls) {
        if (ControlId(control) == nId)
            return control;
    }
    return nullptr;
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
    if (const QWidget* control = GetDlgItem(nId); control && !control->isEnabled())
        return;
    SendCommand(nId);
}

QTimer& CDialog::TimerFor(int nId) {
    QTimer*& timer = m_timers[nId];
    if (!timer) {
        timer = new QTimer(this);
        connect(timer, &QTimer::timeout, this, [this, nId] { OnTimer(nId); });
    }
    return *timer;
}

void CDialog::SetTimer(int nId, std::chrono::milliseconds period) {
    QTimer& timer = TimerFor(nId);
    timer.setSingleShot(false);
    timer.setTimerType(Qt::CoarseTimer);
    timer.start(std::max(period, kMinimumTimerPeriod));
}

void CDialog::SetTimerOnce(int nId, std::chrono::milliseconds delay) {
    QTimer& timer = TimerFor(nId);
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    timer.start(std::max(delay, std::chrono::milliseconds{0}));
}

bool CDialog::KillTimer(int nId) {
    const auto timer = m_timers.find(nId);
    if (timer == m_timers.end() || !timer->second->isActive())
        return false;
    timer->second->stop();
    return true;
}

bool CDialog::IsTimerRunning(int nId) const {
    const auto timer = m_timers.find(nId);
    return timer != m_timers.end() && timer->second->isActive();
}

void CDialog::Sleep(std::chrono::milliseconds duration) {
    std::this_thread::sleep_for(duration);
}

void CDialog::PumpMessages() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void AddAboutEntry(CDialog& window) {
    const QString strAbout = ResourceString(IDS_ABOUTBOX);
    if (!strAbout.isEmpty())
        window.AppendSystemMenu(IDM_ABOUTBOX, strAbout, QKeySequence(Qt::Key_F1));
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
    const auto* focused = qobject_cast<const QPushButton*>(focusWidget());
    if (focused && GetDlgItem(ControlId(focused)) == focused) {
        nId = ControlId(focused);
    } else {
        for (const QWidget* control : m_controls) {
            const auto* button = qobject_cast<const QPushButton*>(control);
            if (button && button->isDefault()) {
                nId = ControlId(button);
                break;
            }
        }
    }
    SendKeyCommand(nId);
}

void CDialog::OnTimer(int /*nId*/) {}

void CDialog::OnSysCommand(int /*nCommandId*/) {}

void CDialog::keyPressEvent(QKeyEvent* event) {
    const auto modifiers = event->modifiers() & ~Qt::KeypadModifier;
    if (modifiers == Qt::NoModifier) {
        switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            OnEnterKey();
            return;
        case Qt::Key_Escape:
            SendKeyCommand(IDCANCEL);
            return;
        default:
            break;
        }
    }
    // Not QDialog's handling: it would press auto-default buttons and move the focus with the arrow keys.
    QWidget::keyPressEvent(event);
}

void CDialog::closeEvent(QCloseEvent* event) {
    event->ignore();
    OnClose();
}

void CDialog::MissingControl(int nId) const {
    qWarning("Dialog %d has no control %d of the kind a handler expects", m_nTemplateId, nId);
}

void CDialog::MissingBoundControl(int nId) const {
    qFatal("Dialog %d has no control %d of the kind its class binds", m_nTemplateId, nId);
}
