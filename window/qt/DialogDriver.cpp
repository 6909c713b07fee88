// The test driver over Qt: controls found by the identifier the builder gave them and driven with Qt's test events
// (a click on a button, keys into the focused widget, a click on a list row), as a user's mouse and keyboard would.

#include "window/DialogDriver.h"

#include "window/Dialog.h"
#include "window/qt/QtWindow.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFileDialog>
#include <QFontInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <map>

namespace {

constexpr auto kModalPoll = std::chrono::milliseconds{50};
constexpr int kModalTries = 100; // five seconds
constexpr auto kActivateLimit = std::chrono::seconds{2};

// Types a text into a field key by key, as a keyboard does: QTest's own typing knows ASCII keys only, so a letter
// beyond them comes as a key event carrying that letter (a pair of UTF-16 units together).
void TypeText(QWidget* field, const QString& strText) {
    for (qsizetype nIndex = 0; nIndex < strText.size(); ++nIndex) {
        const QChar ch = strText.at(nIndex);
        if (ch.unicode() < 0x80) {
            QTest::keyClick(field, static_cast<char>(ch.unicode()));
            continue;
        }
        const qsizetype nLength = ch.isHighSurrogate() && nIndex + 1 < strText.size() ? 2 : 1;
        QTest::sendKeyEvent(QTest::Click, field, Qt::Key_unknown, strText.mid(nIndex, nLength), Qt::NoModifier);
        nIndex += nLength - 1;
    }
}

CColour FromQColor(const QColor& colour) {
    return RGB(static_cast<std::uint8_t>(colour.red()), static_cast<std::uint8_t>(colour.green()),
               static_cast<std::uint8_t>(colour.blue()));
}

Qt::Key QtKey(EKey key) {
    switch (key) {
    case EKey::Enter:
        return Qt::Key_Return;
    case EKey::KeypadEnter:
        return Qt::Key_Enter;
    case EKey::Escape:
        return Qt::Key_Escape;
    case EKey::Tab:
        return Qt::Key_Tab;
    case EKey::BackTab:
        return Qt::Key_Backtab;
    case EKey::Up:
        return Qt::Key_Up;
    case EKey::Down:
        return Qt::Key_Down;
    case EKey::Left:
        return Qt::Key_Left;
    case EKey::Right:
        return Qt::Key_Right;
    case EKey::Space:
        return Qt::Key_Space;
    case EKey::F1:
        return Qt::Key_F1;
    case EKey::F2:
        return Qt::Key_F2;
    case EKey::None:
        break;
    }
    return Qt::Key_unknown;
}

// The widget that takes the keys of a control: the edit field of a drop-down with edit, else the control.
QWidget* KeyTarget(QWidget* widget) {
    if (auto* combo = qobject_cast<QComboBox*>(widget); combo && combo->lineEdit())
        return combo->lineEdit();
    return widget;
}

// The user presses keys in the active window: a window's own shortcuts (the keys of its menu entries) work there
// alone. A window that is not shown cannot become active.
void Activate(QWidget* window) {
    if (window && window->isVisible() && QApplication::activeWindow() != window) {
        window->activateWindow();
        // A window that does not become active in time takes the key all the same; the test then sees the result.
        [[maybe_unused]] const bool bActive =
            QTest::qWaitForWindowActive(window, static_cast<int>(kActivateLimit.count()));
    }
}

bool Reachable(const QWidget* widget) {
    return widget && widget->isEnabled() && !widget->isHidden();
}

// Whether a modal window keeps the user's input from window: an application-modal one from every other window, a
// window-modal one from the windows it stands on.
bool IsBlockedBy(const QWidget* modal, const QWidget* window) {
    if (!modal || modal == window)
        return false;
    if (modal->windowModality() == Qt::ApplicationModal)
        return true;
    for (const QWidget* below = modal->parentWidget(); below; below = below->parentWidget()) {
        if (below->window() == window)
            return true;
    }
    return false;
}

// The shown windows other than box that take the user's clicks and keys.
std::vector<std::string> WindowsTakingInput(const QWidget* box) {
    std::vector<std::string> titles;
    const QWidget* modal = QApplication::activeModalWidget();
    for (const QWidget* window : QApplication::topLevelWidgets()) {
        if (window != box && window->isVisible() && window->isEnabled() && !IsBlockedBy(modal, window))
            titles.push_back(QtToData(window->windowTitle()));
    }
    return titles;
}

std::string WithoutAmpersands(const QString& strText) {
    return QtToData(QString(strText).remove(u'&'));
}

// Runs act(T*) on the first modal window of type T that opens (polling, as a modal run blocks the caller), and
// gives up after a few seconds so that a missing window fails the test instead of hanging it.
template <typename T, typename F>
void WhenModalOpens(F act) {
    auto* poll = new QTimer(qApp);
    auto tries = std::make_shared<int>(0);
    QObject::connect(poll, &QTimer::timeout, qApp, [poll, tries, act] {
        if (auto* window = qobject_cast<T*>(QApplication::activeModalWidget())) {
            poll->stop();
            poll->deleteLater();
            act(window);
        } else if (++*tries > kModalTries) {
            poll->stop();
            poll->deleteLater();
        }
    });
    poll->start(kModalPoll);
}

} // namespace

// Counts the events and the paint events of the dialog's controls and keeps the highest position of each progress
// bar.
struct CDialogDriver::Impl : public QObject {
    std::map<const QObject*, int> m_paints;
    std::map<const QObject*, int> m_events;
    std::map<const QObject*, int> m_highest;

    bool eventFilter(QObject* watched, QEvent* event) override {
        ++m_events[watched];
        if (event->type() == QEvent::Paint)
            ++m_paints[watched];
        return false;
    }
};

CDialogDriver::CDialogDriver(CDialog& dialog) : m_dialog(dialog), m_pImpl(std::make_unique<Impl>()) {
    for (CWnd* control : dialog.Controls()) {
        QWidget* widget = WidgetOf(control);
        if (!widget)
            continue;
        widget->installEventFilter(m_pImpl.get());
        if (auto* progress = qobject_cast<QProgressBar*>(widget)) {
            // valueChanged comes with every change, before anything is drawn.
            Impl* impl = m_pImpl.get();
            impl->m_highest[progress] = progress->value();
            QObject::connect(progress, &QProgressBar::valueChanged, impl, [impl, progress](int nValue) {
                int& nHighest = impl->m_highest[progress];
                nHighest = std::max(nHighest, nValue);
            });
        }
    }
}

CDialogDriver::~CDialogDriver() {
    for (CWnd* control : m_dialog.Controls()) {
        if (QWidget* widget = WidgetOf(control))
            widget->removeEventFilter(m_pImpl.get());
    }
}

// ---- What the user does

bool CDialogDriver::Click(int nId) {
    auto* button = qobject_cast<QAbstractButton*>(WidgetOf(m_dialog.GetDlgItem(nId)));
    if (!Reachable(button))
        return false;
    if (auto* box = qobject_cast<QCheckBox*>(button)) {
        // A check box takes a click on its box and caption only, which a wide one does not have at its middle.
        QStyleOptionButton option;
        option.initFrom(box);
        const QRect indicator = box->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, box);
        QTest::mouseClick(box, Qt::LeftButton, Qt::NoModifier, indicator.center());
        return true;
    }
    QTest::mouseClick(button, Qt::LeftButton);
    return true;
}

bool CDialogDriver::Focus(int nId) {
    QWidget* widget = WidgetOf(m_dialog.GetDlgItem(nId));
    if (!Reachable(widget) || widget->focusPolicy() == Qt::NoFocus)
        return false;
    widget->setFocus(Qt::MouseFocusReason);
    return true;
}

bool CDialogDriver::Type(int nId, std::string_view bytes) {
    if (!Focus(nId))
        return false;
    QTest::keyClicks(KeyTarget(WidgetOf(m_dialog.GetDlgItem(nId))), QtFromData(bytes));
    return true;
}

bool CDialogDriver::Choose(int nId, int nIndex) {
    auto* combo = qobject_cast<CQtComboBox*>(WidgetOf(m_dialog.GetDlgItem(nId)));
    if (!Reachable(combo) || nIndex < 0 || nIndex >= combo->count())
        return false;
    CWnd::Impl& impl = *m_dialog.GetDlgItem(nId)->GetImpl();
    if (combo->count() == 1) {
        // No neighbour to come from: the choice itself, as the list's click gives it.
        combo->setCurrentIndex(nIndex);
        emit combo->activated(nIndex);
        return true;
    }
    // The entry before it (after it, for the first) is set by the program, then the Down (Up) key moves to it,
    // which notifies the dialog as a choice from the list does.
    const bool bFromAbove = nIndex > 0;
    {
        CProgramChange change(impl);
        combo->SetCurSel(bFromAbove ? nIndex - 1 : 1);
    }
    combo->setFocus(Qt::MouseFocusReason);
    QTest::keyClick(KeyTarget(combo), bFromAbove ? Qt::Key_Down : Qt::Key_Up);
    return combo->currentIndex() == nIndex;
}

bool CDialogDriver::ClickRow(int nId, int nRow) {
    auto* list = qobject_cast<CQtListView*>(WidgetOf(m_dialog.GetDlgItem(nId)));
    if (!Reachable(list) || nRow < 0 || nRow >= list->GetItemCount())
        return false;
    QTreeWidgetItem* item = list->topLevelItem(nRow);
    list->scrollToItem(item);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(item).center());
    return true;
}

bool CDialogDriver::Key(int nId, EKey key, CKeyModifiers modifiers) {
    QWidget* target = nullptr;
    if (nId != 0) {
        if (!Focus(nId))
            return false;
        target = KeyTarget(WidgetOf(m_dialog.GetDlgItem(nId)));
    } else {
        QWidget* window = WidgetOf(&m_dialog);
        target = window && window->focusWidget() ? window->focusWidget() : window;
    }
    if (!target)
        return false;
    Activate(target->window());
    Qt::KeyboardModifiers held;
    held.setFlag(Qt::ShiftModifier, modifiers.bShift);
    held.setFlag(Qt::ControlModifier, modifiers.bControl);
    held.setFlag(Qt::AltModifier, modifiers.bAlt);
    held.setFlag(Qt::KeypadModifier, key == EKey::KeypadEnter);
    QTest::keyClick(target, QtKey(key), held);
    return true;
}

bool CDialogDriver::Step(int nId, int nDirection) {
    auto* spin = qobject_cast<CQtSpinButton*>(WidgetOf(m_dialog.GetDlgItem(nId)));
    if (!Reachable(spin) || nDirection == 0)
        return false;
    const QPoint where(spin->width() / 2, nDirection > 0 ? 2 : spin->height() - 3);
    QTest::mouseClick(spin, Qt::LeftButton, {}, where);
    return true;
}

void CDialogDriver::CloseBox() {
    if (QWidget* window = WidgetOf(&m_dialog))
        window->close();
}

bool CDialogDriver::ChooseMenuEntry(int nCommandId) {
    QWidget* window = WidgetOf(&m_dialog);
    if (!window)
        return false;
    for (QAction* action : window->actions()) {
        if (!action->isSeparator() && action->data().toInt() == nCommandId) {
            action->trigger();
            return true;
        }
    }
    return false;
}

// ---- What the user sees

std::vector<std::string> CDialogDriver::Headings(int nId) const {
    std::vector<std::string> headings;
    if (const auto* list = qobject_cast<const CQtListView*>(WidgetOf(m_dialog.GetDlgItem(nId)))) {
        for (int nColumn = 0; nColumn < list->columnCount(); ++nColumn)
            headings.push_back(QtToData(list->headerItem()->text(nColumn)));
    }
    return headings;
}

std::vector<CDialogDriver::CColumn> CDialogDriver::Columns(int nId) const {
    std::vector<CColumn> columns;
    const auto* list = qobject_cast<const CQtListView*>(WidgetOf(m_dialog.GetDlgItem(nId)));
    if (!list)
        return columns;
    const auto align = [](int nAlignment) {
        const int nHorizontal = nAlignment & Qt::AlignHorizontal_Mask;
        return nHorizontal == Qt::AlignHCenter ? EAlign::Center
               : nHorizontal == Qt::AlignRight ? EAlign::Right
                                               : EAlign::Left;
    };
    const QTreeWidgetItem* firstRow = list->topLevelItem(0);
    for (int nColumn = 0; nColumn < list->columnCount(); ++nColumn) {
        CColumn column;
        column.strHeading = QtToData(list->headerItem()->text(nColumn));
        column.headingAlign = align(list->headerItem()->textAlignment(nColumn));
        column.cellAlign = firstRow ? align(firstRow->textAlignment(nColumn)) : column.headingAlign;
        column.nWidth = list->header()->sectionSize(nColumn);
        columns.push_back(column);
    }
    return columns;
}

int CDialogDriver::HighestPosition(int nId) const {
    const QWidget* widget = WidgetOf(m_dialog.GetDlgItem(nId));
    const auto found = m_pImpl->m_highest.find(widget);
    return found == m_pImpl->m_highest.end() ? -1 : found->second;
}

bool CDialogDriver::IsShown() const {
    const QWidget* window = WidgetOf(&m_dialog);
    return window && window->isVisible();
}

std::vector<CDialogDriver::CMenuEntry> CDialogDriver::MenuEntries() const {
    std::vector<CMenuEntry> entries;
    if (const QWidget* window = WidgetOf(&m_dialog)) {
        for (const QAction* action : window->actions()) {
            if (!action->isSeparator())
                entries.push_back({QtToData(action->text()), action->data().toInt()});
        }
    }
    return entries;
}

// ---- What a screen reader hears: the interface Qt gives the control to its accessibility bridge, read as the bridge
// hands it to the bus (a name, relations, a text and a value interface; Qt's text of the kind Value never crosses)
// and as Orca reads it: a control is called by the label it is labelled by, else by its name; a drop-down holds its
// edit field's text, else its name.

namespace {

QAccessibleInterface* InterfaceOf(const CDialog& dialog, int nId) {
    QWidget* widget = WidgetOf(dialog.GetDlgItem(nId));
    return widget ? QAccessible::queryAccessibleInterface(widget) : nullptr;
}

std::string AccessibleText(const CDialog& dialog, int nId, QAccessible::Text kind) {
    QAccessibleInterface* iface = InterfaceOf(dialog, nId);
    return iface ? QtToData(iface->text(kind)) : std::string();
}

QString WholeText(QAccessibleInterface& iface) {
    QAccessibleTextInterface* text = iface.textInterface();
    return text ? text->text(0, text->characterCount()) : QString();
}

} // namespace

std::string CDialogDriver::AccessibleName(int nId) const {
    QAccessibleInterface* iface = InterfaceOf(m_dialog, nId);
    if (!iface)
        return {};
    for (const auto& [label, relation] : iface->relations(QAccessible::Label)) {
        if (label)
            return QtToData(label->text(QAccessible::Name));
    }
    return QtToData(iface->text(QAccessible::Name));
}

std::string CDialogDriver::AccessibleValue(int nId) const {
    QAccessibleInterface* iface = InterfaceOf(m_dialog, nId);
    if (!iface)
        return {};
    if (iface->role() == QAccessible::ComboBox) {
        for (int i = 0; i < iface->childCount(); ++i) {
            if (QAccessibleInterface* part = iface->child(i); part && part->role() == QAccessible::EditableText)
                return QtToData(WholeText(*part));
        }
        return QtToData(iface->text(QAccessible::Name));
    }
    if (QAccessibleValueInterface* value = iface->valueInterface())
        return QtToData(value->currentValue().toString());
    return QtToData(WholeText(*iface));
}

std::string CDialogDriver::AccessibleDescription(int nId) const {
    const std::string strDescription = AccessibleText(m_dialog, nId, QAccessible::Description);
    return strDescription.empty() ? AccessibleText(m_dialog, nId, QAccessible::Value) : strDescription;
}

std::string CDialogDriver::WhyNoAccessibleNames() const {
    return {};
}

// ---- How the implementation built a control

CDialogDriver::CLook CDialogDriver::Look(int nId) const {
    CLook look;
    const CWnd* control = m_dialog.GetDlgItem(nId);
    const QWidget* widget = WidgetOf(control);
    if (!widget)
        return look;
    look.kind = control->GetImpl()->m_kind;
    const QRect geometry = widget->geometry();
    look.rect = {geometry.x(), geometry.y(), geometry.width(), geometry.height()};
    look.bTabStop = widget->focusPolicy() & Qt::TabFocus;
    const QPalette colours = widget->palette();
    look.textColour = FromQColor(colours.color(QPalette::Active, QPalette::Text));
    look.backColour = FromQColor(colours.color(QPalette::Active, QPalette::Base));
    const QFontInfo font(widget->font());
    look.strFontFace = QtToData(font.family());
    look.nFontPixels = widget->font().pixelSize();
    look.bItalic = font.italic();
    if (const auto* button = qobject_cast<const CQtPushButton*>(widget)) {
        look.bFlat = button->isFlat();
        look.bDefault = button->isDefault();
        look.bMultiLine = button->IsMultiLine();
    } else if (const auto* edit = qobject_cast<const QLineEdit*>(widget)) {
        look.bReadOnly = edit->isReadOnly();
        look.bBorder = edit->hasFrame();
        look.align = (edit->alignment() & Qt::AlignRight)     ? EAlign::Right
                     : (edit->alignment() & Qt::AlignHCenter) ? EAlign::Center
                                                              : EAlign::Left;
        look.bDigitsOnly = control->GetImpl()->m_bDigitsOnly;
    } else if (const auto* combo = qobject_cast<const CQtComboBox*>(widget)) {
        look.bSorted = combo->IsSorted();
        look.bEditable = combo->isEditable();
        look.nVisibleItems = combo->maxVisibleItems();
    } else if (const auto* label = qobject_cast<const QLabel*>(widget)) {
        look.bWordWrap = label->wordWrap();
        look.nImageWidth = label->pixmap().width();
        look.nImageHeight = label->pixmap().height();
    } else if (const auto* list = qobject_cast<const CQtListView*>(widget)) {
        look.bBorder = list->frameShape() != QFrame::NoFrame;
        look.bMultiSelect = list->selectionMode() == QAbstractItemView::ExtendedSelection;
    } else if (const auto* progress = qobject_cast<const QProgressBar*>(widget)) {
        look.bProgressText = progress->isTextVisible();
    } else if (const auto* spin = qobject_cast<const CQtSpinButton*>(widget)) {
        look.nBuddyId = spin->GetBuddy() ? ControlOfWidget(m_dialog, spin->GetBuddy())->GetDlgCtrlID() : 0;
    }
    return look;
}

CDialogDriver::CRect CDialogDriver::ClientRect() const {
    const QWidget* window = WidgetOf(&m_dialog);
    return window ? CRect{0, 0, window->width(), window->height()} : CRect{};
}

int CDialogDriver::BaseUnitX() const {
    return m_dialog.GetDialogImpl().m_units.BaseX();
}

int CDialogDriver::BaseUnitY() const {
    return m_dialog.GetDialogImpl().m_units.BaseY();
}

int CDialogDriver::PaintCount(int nId) const {
    const QWidget* widget = WidgetOf(m_dialog.GetDlgItem(nId));
    const auto found = m_pImpl->m_paints.find(widget);
    return found == m_pImpl->m_paints.end() ? 0 : found->second;
}

int CDialogDriver::MessageCount(int nId) const {
    const QWidget* widget = WidgetOf(m_dialog.GetDlgItem(nId));
    const auto found = m_pImpl->m_events.find(widget);
    return found == m_pImpl->m_events.end() ? 0 : found->second;
}

void CDialogDriver::ResetPaintCounts() {
    m_pImpl->m_paints.clear();
    m_pImpl->m_events.clear();
}

CDialogDriver::CImage CDialogDriver::Snapshot(int nId) const {
    CImage image;
    QWidget* widget = nId == 0 ? WidgetOf(&m_dialog) : WidgetOf(m_dialog.GetDlgItem(nId));
    if (!widget)
        return image;
    const QImage grabbed = widget->grab().toImage();
    image.cx = grabbed.width();
    image.cy = grabbed.height();
    image.pixels.reserve(static_cast<std::size_t>(image.cx * image.cy));
    for (int y = 0; y < image.cy; ++y) {
        for (int x = 0; x < image.cx; ++x)
            image.pixels.push_back(FromQColor(grabbed.pixelColor(x, y)));
    }
    return image;
}

// ---- Modal windows

std::shared_ptr<CDialogDriver::CBoxSeen> CDialogDriver::AnswerNextMessageBox(std::string strButton) {
    auto seen = std::make_shared<CBoxSeen>();
    WhenModalOpens<QMessageBox>([seen, strButton](QMessageBox* box) {
        seen->bOpened = true;
        seen->otherWindowsTakingInput = WindowsTakingInput(box);
        seen->strTitle = QtToData(box->windowTitle());
        seen->strText = QtToData(box->text());
        seen->bExclamation = box->icon() == QMessageBox::Warning && box->textFormat() == Qt::PlainText;
        QAbstractButton* chosen = nullptr;
        for (QAbstractButton* button : box->buttons()) {
            const std::string strCaption = WithoutAmpersands(button->text());
            seen->buttons.push_back(strCaption);
            if (strCaption == strButton)
                chosen = button;
        }
        if (box->defaultButton())
            seen->strDefaultButton = WithoutAmpersands(box->defaultButton()->text());
        if (chosen)
            chosen->click();
        else
            box->reject();
    });
    return seen;
}

std::shared_ptr<CDialogDriver::CSaveSeen> CDialogDriver::AnswerNextSaveQuestion(std::string strDirectory,
                                                                                std::string strName, int nType) {
    auto seen = std::make_shared<CSaveSeen>();
    WhenModalOpens<QFileDialog>([seen, strDirectory, strName, nType](QFileDialog* files) {
        seen->bOpened = true;
        for (const QString& strFilter : files->nameFilters())
            seen->filters.push_back(QtToData(strFilter));
        seen->strDefaultExtension = QtToData(files->defaultSuffix());
        seen->bConfirmsReplace = !files->testOption(QFileDialog::DontConfirmOverwrite);
        auto* name = files->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        if (name)
            seen->strInitialName = QtToData(name->text());
        files->setDirectory(QFile::decodeName(QByteArray::fromStdString(strDirectory)));
        // The type as the user picks it from the dialog's list of types.
        if (auto* types = files->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
            types && nType >= 0 && nType < types->count()) {
            types->setCurrentIndex(nType);
            emit types->activated(nType);
        } else if (nType >= 0 && nType < files->nameFilters().size()) {
            files->selectNameFilter(files->nameFilters().at(nType));
        }
        // The name as the file system spells it, like the directory.
        const QString strTyped = QFile::decodeName(QByteArray::fromStdString(strName));
        if (strName.empty()) {
            files->reject();
        } else if (name) { // as the user types it
            TypeText(name, strTyped);
            QTest::keyClick(name, Qt::Key_Return);
        } else {
            files->selectFile(strTyped);
            static_cast<QDialog*>(files)->accept();
        }
    });
    return seen;
}

std::shared_ptr<CDialogDriver::COpenSeen> CDialogDriver::AnswerNextOpenQuestion(std::string strDirectory,
                                                                                std::string strName) {
    auto seen = std::make_shared<COpenSeen>();
    WhenModalOpens<QFileDialog>([seen, strDirectory, strName](QFileDialog* files) {
        seen->bOpened = true;
        seen->strTitle = QtToData(files->windowTitle());
        for (const QString& strFilter : files->nameFilters())
            seen->filters.push_back(QtToData(strFilter));
        auto* name = files->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        if (name)
            seen->strInitialName = QtToData(name->text());
        if (strName.empty()) {
            files->reject();
            return;
        }
        files->setDirectory(QFile::decodeName(QByteArray::fromStdString(strDirectory)));
        // A name of no file: the dialog says so in a box of its own, modally, and stays open; the box and the dialog
        // are closed, so that the test sees nothing chosen instead of waiting in them.
        const QPointer<QFileDialog> guarded(files);
        auto* refusal = new QTimer(qApp);
        QObject::connect(refusal, &QTimer::timeout, qApp, [refusal, guarded] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (guarded && guarded->isVisible() && !(box && box->parentWidget() == guarded))
                return;
            refusal->stop();
            refusal->deleteLater();
            if (box && guarded) {
                box->reject();
                guarded->reject();
            }
        });
        refusal->start(kModalPoll);
        const QString strTyped = QFile::decodeName(QByteArray::fromStdString(strName));
        if (name) { // as the user types it
            name->clear();
            TypeText(name, strTyped);
            QTest::keyClick(name, Qt::Key_Return);
        } else {
            files->selectFile(strTyped);
            static_cast<QDialog*>(files)->accept();
        }
    });
    return seen;
}

void CDialogDriver::WhenDialogOpens(std::function<void(CDialog& opened)> act) {
    CDialog* owner = &m_dialog;
    WhenModalOpens<CQtDialog>([owner, act](CQtDialog* window) {
        if (&window->Owner() != owner)
            act(window->Owner());
    });
}

void CDialogDriver::Later(std::chrono::milliseconds delay, std::function<void()> act) {
    QTimer::singleShot(delay, qApp, std::move(act));
}

bool CDialogDriver::WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
    return QTest::qWaitFor(condition, static_cast<int>(limit.count()));
}

void CDialogDriver::Wait(std::chrono::milliseconds duration) {
    QTest::qWait(static_cast<int>(duration.count()));
}
