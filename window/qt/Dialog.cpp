#include "window/qt/QtWindow.h"

#include "window/common/ControlObjects.h"
#include "window/qt/Icons.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QKeyEvent>

#include <cstdio>

namespace {

// The shortest period the window system gives a timer.
constexpr auto kMinimumTimerPeriod = std::chrono::milliseconds{10};

QKeySequence KeySequence(EKey key) {
    switch (key) {
    case EKey::F1:
        return QKeySequence(Qt::Key_F1);
    case EKey::F2:
        return QKeySequence(Qt::Key_F2);
    default:
        return {};
    }
}

CDialogTemplate TemplateOrEmpty(int nTemplateId) {
    if (auto dialogTemplate = LoadDialogTemplate(nTemplateId))
        return std::move(*dialogTemplate);
    std::fprintf(stderr, "Dialog template %d is missing or malformed\n", nTemplateId);
    return {};
}

} // namespace

// ---- The dialog's window

CQtDialog::CQtDialog(CDialog& dialog, QWidget* parent) : QDialog(parent), m_dialog(dialog) {}

// QDialog's own ways of ending go through the same handlers.
void CQtDialog::accept() {
    m_dialog.RouteCommand(IDOK);
}

void CQtDialog::reject() {
    m_dialog.RouteCommand(IDCANCEL);
}

void CQtDialog::keyPressEvent(QKeyEvent* event) {
    EKey key = EKey::None;
    switch (event->key()) {
    case Qt::Key_Return:
        key = EKey::Enter;
        break;
    case Qt::Key_Enter:
        key = (event->modifiers() & Qt::KeypadModifier) ? EKey::KeypadEnter : EKey::Enter;
        break;
    case Qt::Key_Escape:
        key = EKey::Escape;
        break;
    default:
        break;
    }
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    if (key != EKey::None &&
        m_dialog.RouteKey(key, {modifiers.testFlag(Qt::ShiftModifier), modifiers.testFlag(Qt::ControlModifier),
                                modifiers.testFlag(Qt::AltModifier)}))
        return;
    // Not QDialog's handling: it would press auto-default buttons and move the focus with the arrow keys.
    QWidget::keyPressEvent(event);
}

void CQtDialog::closeEvent(QCloseEvent* event) {
    event->ignore();
    m_dialog.RouteClose();
}

CDialog::DialogImpl::~DialogImpl() {
    delete m_window.data();
}

QTimer& CDialog::DialogImpl::TimerFor(int nId) {
    QTimer*& timer = m_timers[nId];
    if (!timer) {
        timer = new QTimer(m_window);
        QObject::connect(timer, &QTimer::timeout, m_window, [this, nId] { m_dialog.RouteTimer(nId); });
    }
    return *timer;
}

CWnd* ControlOfWidget(const CDialog& dialog, const QWidget* widget) {
    for (; widget; widget = widget->parentWidget()) {
        for (CWnd* control : dialog.Controls()) {
            if (WidgetOf(control) == widget)
                return control;
        }
    }
    return nullptr;
}

// ---- CDialog

CDialog::CDialog(int nTemplateId, CWnd* pParentWnd)
    : m_nTemplateId(nTemplateId), m_pParentWnd(pParentWnd), m_template(TemplateOrEmpty(nTemplateId)),
      m_controls(CreateControlObjects(m_template)), m_pDialogImpl(std::make_unique<DialogImpl>(*this)) {
    DialogImpl& impl = *m_pDialogImpl;
    impl.m_window = new CQtDialog(*this, WidgetOf(pParentWnd));
    impl.m_self.m_widget = impl.m_window.data();
    impl.m_self.m_bDialog = true;
    impl.m_self.m_pDialog = this;
    m_pImpl = &impl.m_self;
    impl.m_controls = BuildControls(impl, m_template);
    for (std::size_t i = 0; i < m_controls.size() && i < impl.m_controls.size(); ++i) {
        m_controls[i]->Attach(impl.m_controls[i].get());
        m_controlList.push_back(m_controls[i].get());
    }
    NameControls(impl);
}

CDialog::~CDialog() = default;

int CDialog::DoModal() {
    InitialiseOnce();
    if (m_bEnded || !m_pDialogImpl->m_window)
        return m_nResult;
    m_pDialogImpl->m_window->exec();
    return m_nResult;
}

void CDialog::Create() {
    InitialiseOnce();
    if (!m_bEnded && m_pDialogImpl->m_window)
        m_pDialogImpl->m_window->show();
}

void CDialog::EndDialog(int nResult) {
    m_bEnded = true;
    m_nResult = nResult;
    for (auto& [nId, timer] : m_pDialogImpl->m_timers)
        timer->stop();
    if (m_pDialogImpl->m_window)
        m_pDialogImpl->m_window->done(nResult);
}

CWnd* CDialog::GetFocus() const {
    const QWidget* window = m_pDialogImpl->m_window;
    return window ? ControlOfWidget(*this, window->focusWidget()) : nullptr;
}

void CDialog::SetTimer(int nId, std::chrono::milliseconds period) {
    QTimer& timer = m_pDialogImpl->TimerFor(nId);
    timer.setSingleShot(false);
    timer.setTimerType(Qt::CoarseTimer);
    timer.start(std::max(period, kMinimumTimerPeriod));
}

void CDialog::SetTimerOnce(int nId, std::chrono::milliseconds delay) {
    QTimer& timer = m_pDialogImpl->TimerFor(nId);
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    timer.start(std::max(delay, std::chrono::milliseconds{0}));
}

bool CDialog::KillTimer(int nId) {
    const auto timer = m_pDialogImpl->m_timers.find(nId);
    if (timer == m_pDialogImpl->m_timers.end() || !timer->second->isActive())
        return false;
    timer->second->stop();
    return true;
}

bool CDialog::IsTimerRunning(int nId) const {
    const auto timer = m_pDialogImpl->m_timers.find(nId);
    return timer != m_pDialogImpl->m_timers.end() && timer->second->isActive();
}

void CDialog::PumpMessages() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

// Window managers other than Windows's offer no title-bar menu a program can extend: the entries go into the menu
// that the right mouse button opens on the dialog's background, and their key works anywhere in the dialog.
void CDialog::AppendSystemMenu(int nCommandId, CShownText text, EKey key) {
    CQtDialog* window = m_pDialogImpl->m_window;
    if (!window)
        return;
    const QString strText = QtFromShown(text.text);
    window->setContextMenuPolicy(Qt::ActionsContextMenu);
    auto* separator = new QAction(window);
    separator->setSeparator(true);
    window->addAction(separator);
    auto* entry = new QAction(strText, window);
    entry->setData(nCommandId);
    entry->setShortcut(KeySequence(key));
    entry->setShortcutContext(Qt::WindowShortcut);
    QObject::connect(entry, &QAction::triggered, window, [this, nCommandId] { RouteSysCommand(nCommandId); });
    window->addAction(entry);
}

void CDialog::SetIcon(int nIconId) {
    if (m_pDialogImpl->m_window)
        m_pDialogImpl->m_window->setWindowIcon(QIcon(IconPixmap(nIconId)));
}
