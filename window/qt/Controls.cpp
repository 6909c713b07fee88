#include "window/qt/QtWindow.h"

#include "window/Resources.h"
#include "window/common/ControlObjects.h"
#include "window/qt/Icons.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QProgressBar>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QStyleOptionButton>
#include <QStylePainter>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <set>

namespace {

constexpr auto kRepeatDelay = std::chrono::milliseconds{400};
// The resolution a width in pixels is given for (a list column's), as the templates' dialog units are at it.
constexpr double kColumnDpi = 96.0;
constexpr auto kRepeatInterval = std::chrono::milliseconds{100};
constexpr int kFocused = CListCtrl::kStateFocused;
constexpr int kSelected = CListCtrl::kStateSelected;

std::set<int> RowsOf(const QItemSelection& selection) {
    std::set<int> rows;
    for (const QModelIndex& index : selection.indexes()) {
        if (!index.parent().isValid())
            rows.insert(index.row());
    }
    return rows;
}

template <typename T>
T* As(const CWnd::Impl* impl) {
    return impl ? qobject_cast<T*>(impl->m_widget.data()) : nullptr;
}

bool KeepsTextUnshown(const CWnd::Impl& impl) {
    switch (impl.m_kind) {
    case EControlKind::DropDownList:
    case EControlKind::ListView:
    case EControlKind::Icon:
    case EControlKind::Picture:
    case EControlKind::Spin:
    case EControlKind::Progress:
        return !impl.m_bDialog;
    default:
        return false;
    }
}

void SetText(CWnd::Impl* impl, const QString& strText) {
    if (!impl || !impl->m_widget)
        return;
    QWidget* widget = impl->m_widget;
    CProgramChange change(*impl);
    if (impl->m_bDialog) {
        widget->setWindowTitle(strText);
        return;
    }
    if (impl->m_kind == EControlKind::Label) {
        if (impl->m_strText == strText)
            return;
        impl->m_strText = strText;
        ShowLabelText(*impl);
        if (impl->m_pDialog)
            RenameControls(impl->m_pDialog->GetDialogImpl()); // the controls this label names
        return;
    }
    if (KeepsTextUnshown(*impl)) {
        impl->m_strText = strText;
        return;
    }
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        button->setText(strText);
    } else if (auto* group = qobject_cast<QGroupBox*>(widget)) {
        group->setTitle(strText);
        if (impl->m_pDialog)
            RenameControls(impl->m_pDialog->GetDialogImpl()); // the controls this box names
    } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        // A new text is shown from its start, as the window system's edits show it; the text it already shows
        // costs no repaint (the displays repeat their fields ten times a second).
        if (edit->text() == strText && edit->cursorPosition() == 0)
            return;
        edit->setText(strText);
        edit->setCursorPosition(0);
    } else if (auto* combo = qobject_cast<QComboBox*>(widget); combo && combo->isEditable()) {
        combo->setEditText(strText);
    }
}

QString Text(const CWnd::Impl* impl) {
    if (!impl || !impl->m_widget)
        return {};
    const QWidget* widget = impl->m_widget;
    if (impl->m_bDialog)
        return widget->windowTitle();
    if (impl->m_kind == EControlKind::Label || KeepsTextUnshown(*impl))
        return impl->m_strText;
    if (const auto* button = qobject_cast<const QAbstractButton*>(widget))
        return button->text();
    if (const auto* group = qobject_cast<const QGroupBox*>(widget))
        return group->title();
    if (const auto* edit = qobject_cast<const QLineEdit*>(widget))
        return edit->text();
    if (const auto* combo = qobject_cast<const QComboBox*>(widget); combo && combo->isEditable())
        return combo->currentText();
    return impl->m_strText;
}

} // namespace

void LimitTyping(QLineEdit& edit, bool bDigitsOnly, int nChars) {
    const QString strCharacters = bDigitsOnly ? QStringLiteral("[0-9]") : QStringLiteral(".");
    const QString strCount = nChars > 0 ? QStringLiteral("{0,%1}").arg(nChars) : QStringLiteral("*");
    delete edit.validator();
    edit.setValidator(new QRegularExpressionValidator(QRegularExpression(strCharacters + strCount), &edit));
}

QString QtWithoutMnemonics(const QString& strText) {
    return QString::fromStdU16String(WithoutMnemonics(strText.toStdU16String()));
}

// ---- CWnd and the controls' faces

int CWnd::GetDlgCtrlID() const {
    return m_pImpl && !m_pImpl->m_bDialog ? m_pImpl->m_nId : 0;
}

void CWnd::SetWindowText(std::string_view bytes) {
    SetText(m_pImpl, QtFromData(bytes));
}

void CWnd::SetWindowText(CShownText text) {
    SetText(m_pImpl, QtFromShown(text.text));
}

std::string CWnd::GetWindowText() const {
    return QtToData(Text(m_pImpl));
}

void CWnd::EnableWindow(bool bEnable) {
    QWidget* widget = WidgetOf(this);
    if (!widget)
        return;
    // The layer's rule, not Qt's own moving along its focus chain.
    if (!bEnable && !m_pImpl->m_bDialog && m_pImpl->m_pDialog)
        HandOnFocusBeforeDisabling(*m_pImpl->m_pDialog, *this);
    widget->setEnabled(bEnable);
}

bool CWnd::IsWindowEnabled() const {
    const QWidget* widget = WidgetOf(this);
    return widget && widget->isEnabled();
}

void CWnd::ShowWindow(bool bShow) {
    if (QWidget* widget = WidgetOf(this))
        widget->setVisible(bShow);
}

bool CWnd::IsWindowVisible() const {
    const QWidget* widget = WidgetOf(this);
    return widget && !widget->isHidden();
}

void CWnd::SetFocus() {
    if (QWidget* widget = WidgetOf(this))
        widget->setFocus(Qt::OtherFocusReason);
}

void CWnd::SetToolTip(CShownText text) {
    QWidget* widget = WidgetOf(this);
    const QString strTip = QtFromShown(text.text);
    if (widget && widget->toolTip() != strTip)
        widget->setToolTip(strTip);
}

std::string CWnd::GetToolTip() const {
    const QWidget* widget = WidgetOf(this);
    return widget ? QtToData(widget->toolTip()) : std::string();
}

void CWnd::SetFont(const CFont& font) {
    QWidget* widget = WidgetOf(this);
    if (!widget || !font.GetImpl())
        return;
    widget->setFont(font.GetImpl()->m_font);
    widget->repaint();
}

void CWnd::SetRedraw(bool bRedraw) {
    if (QWidget* widget = WidgetOf(this))
        widget->setUpdatesEnabled(bRedraw);
}

void CStatic::SetIcon(int nIconId) {
    auto* label = As<QLabel>(m_pImpl);
    // The image it already shows costs no repaint: the monitor sets its lamps ten times a second.
    if (!label || (m_pImpl->m_nIconId == nIconId && !label->pixmap().isNull()))
        return;
    label->setPixmap(IconPixmap(nIconId));
    m_pImpl->m_nIconId = nIconId;
    DescribeLamp(*m_pImpl);
}

int CStatic::GetIcon() const {
    return m_pImpl ? m_pImpl->m_nIconId : 0;
}

void CStatic::SetPicture(const CMonochromePicture& picture) {
    auto* label = As<QLabel>(m_pImpl);
    if (!label || m_pImpl->m_picture == picture)
        return;
    m_pImpl->m_picture = picture;
    if (picture.IsEmpty()) {
        label->setPixmap(QPixmap());
        return;
    }
    const int nSquare = PictureSquarePixels(picture, label->width(), label->height());
    QImage image(picture.cx * nSquare, picture.cy * nSquare, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            row[x] = picture.IsDark(x / nSquare, y / nSquare) ? qRgb(0, 0, 0) : qRgb(255, 255, 255);
    }
    label->setPixmap(QPixmap::fromImage(image));
}

void CButton::SetCheck(bool bChecked) {
    auto* box = As<QCheckBox>(m_pImpl);
    if (!box || box->isChecked() == bChecked)
        return;
    CProgramChange change(*m_pImpl);
    box->setChecked(bChecked);
}

bool CButton::GetCheck() const {
    const auto* box = As<QCheckBox>(m_pImpl);
    return box && box->isChecked();
}

void CEdit::SetLimitText(int nChars) {
    if (auto* edit = As<QLineEdit>(m_pImpl))
        LimitTyping(*edit, m_pImpl->m_bDigitsOnly, nChars);
}

void CEdit::SetColours(CColour text, CColour background) {
    auto* edit = As<QLineEdit>(m_pImpl);
    if (!edit)
        return;
    // The text in its colour on its background, and the background brush for the rest of the area, also while
    // the edit is inactive or disabled.
    const QColor textColour(text.r, text.g, text.b);
    const QBrush brush(QColor(background.r, background.g, background.b), Qt::SolidPattern);
    QPalette colours = edit->palette();
    for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        colours.setColor(group, QPalette::Text, textColour);
        colours.setBrush(group, QPalette::Base, brush);
        colours.setBrush(group, QPalette::Window, brush);
    }
    edit->setPalette(colours);
    edit->update();
}

int CComboBox::AddString(std::string_view bytes) {
    auto* combo = As<CQtComboBox>(m_pImpl);
    if (!combo)
        return -1;
    CProgramChange change(*m_pImpl);
    return combo->AddString(QtFromData(bytes));
}

int CComboBox::AddString(CShownText text) {
    auto* combo = As<CQtComboBox>(m_pImpl);
    if (!combo)
        return -1;
    CProgramChange change(*m_pImpl);
    return combo->AddString(QtFromShown(text.text));
}

int CComboBox::GetCount() const {
    const auto* combo = As<CQtComboBox>(m_pImpl);
    return combo ? combo->count() : 0;
}

int CComboBox::GetCurSel() const {
    const auto* combo = As<CQtComboBox>(m_pImpl);
    return combo ? combo->currentIndex() : -1;
}

int CComboBox::SetCurSel(int nIndex) {
    auto* combo = As<CQtComboBox>(m_pImpl);
    if (!combo)
        return -1;
    CProgramChange change(*m_pImpl);
    combo->SetCurSel(nIndex);
    return combo->currentIndex();
}

std::string CComboBox::GetLBText(int nIndex) const {
    const auto* combo = As<CQtComboBox>(m_pImpl);
    if (!combo || nIndex < 0 || nIndex >= combo->count())
        return {};
    return QtToData(combo->itemText(nIndex));
}

void CComboBox::ResetContent() {
    if (auto* combo = As<CQtComboBox>(m_pImpl)) {
        CProgramChange change(*m_pImpl);
        combo->clear();
    }
}

void CComboBox::SetItemTip(int nIndex, std::string_view bytes) {
    if (auto* combo = As<CQtComboBox>(m_pImpl); combo && nIndex >= 0 && nIndex < combo->count())
        combo->setItemData(nIndex, QtFromData(bytes), Qt::ToolTipRole);
}

std::string CComboBox::GetItemTip(int nIndex) const {
    const auto* combo = As<CQtComboBox>(m_pImpl);
    if (!combo || nIndex < 0 || nIndex >= combo->count())
        return {};
    return QtToData(combo->itemData(nIndex, Qt::ToolTipRole).toString());
}

void CSpinButtonCtrl::SetRange(int nLower, int nUpper) {
    if (auto* spin = As<CQtSpinButton>(m_pImpl))
        spin->SetRange(nLower, nUpper);
}

void CSpinButtonCtrl::GetRange(int& nLower, int& nUpper) const {
    const auto* spin = As<CQtSpinButton>(m_pImpl);
    nLower = spin ? spin->Lower() : 0;
    nUpper = spin ? spin->Upper() : 0;
}

int CSpinButtonCtrl::SetPos(int nPos) {
    auto* spin = As<CQtSpinButton>(m_pImpl);
    return spin ? spin->SetPos(nPos) : 0;
}

int CSpinButtonCtrl::GetPos() const {
    const auto* spin = As<CQtSpinButton>(m_pImpl);
    return spin ? spin->GetPos() : 0;
}

void CProgressCtrl::SetRange(int nLower, int nUpper) {
    if (auto* progress = As<QProgressBar>(m_pImpl))
        progress->setRange(nLower, nUpper);
}

void CProgressCtrl::GetRange(int& nLower, int& nUpper) const {
    const auto* progress = As<QProgressBar>(m_pImpl);
    nLower = progress ? progress->minimum() : 0;
    nUpper = progress ? progress->maximum() : 0;
}

int CProgressCtrl::SetPos(int nPos) {
    auto* progress = As<QProgressBar>(m_pImpl);
    if (!progress)
        return 0;
    const int nPrevious = progress->value();
    const int nClamped = std::clamp(nPos, progress->minimum(), progress->maximum());
    if (nClamped != nPrevious)
        progress->setValue(nClamped);
    return nPrevious;
}

int CProgressCtrl::GetPos() const {
    const auto* progress = As<QProgressBar>(m_pImpl);
    return progress ? progress->value() : 0;
}

int CListCtrl::InsertColumn(int nColumn, CShownText heading, EAlign align, int nWidth) {
    auto* list = As<CQtListView>(m_pImpl);
    if (!list)
        return -1;
    const Qt::Alignment alignment = align == EAlign::Right    ? Qt::AlignRight
                                    : align == EAlign::Center ? Qt::AlignHCenter
                                                              : Qt::AlignLeft;
    // A width given at 96 dots per inch grows with the logical resolution, as the dialog font and so the list do
    // (DialogFont).
    const QScreen* screen = QGuiApplication::primaryScreen();
    const double dDpi = screen ? screen->logicalDotsPerInchY() : kColumnDpi;
    const int nPixels = static_cast<int>(std::lround(nWidth * dDpi / kColumnDpi));
    return list->InsertColumn(nColumn, QtFromShown(heading.text), alignment, nPixels);
}

int CListCtrl::GetColumnCount() const {
    const auto* list = As<CQtListView>(m_pImpl);
    return list ? list->columnCount() : 0;
}

int CListCtrl::InsertItem(int nRow, std::string_view bytes) {
    auto* list = As<CQtListView>(m_pImpl);
    if (!list)
        return -1;
    CProgramChange change(*m_pImpl);
    return list->InsertItem(nRow, QtFromData(bytes));
}

bool CListCtrl::SetItemText(int nRow, int nColumn, std::string_view bytes) {
    auto* list = As<CQtListView>(m_pImpl);
    return list && list->SetItemText(nRow, nColumn, QtFromData(bytes));
}

std::string CListCtrl::GetItemText(int nRow, int nColumn) const {
    const auto* list = As<CQtListView>(m_pImpl);
    return list ? QtToData(list->GetItemText(nRow, nColumn)) : std::string();
}

int CListCtrl::GetItemCount() const {
    const auto* list = As<CQtListView>(m_pImpl);
    return list ? list->GetItemCount() : 0;
}

void CListCtrl::DeleteAllItems() {
    if (auto* list = As<CQtListView>(m_pImpl)) {
        CProgramChange change(*m_pImpl);
        list->clear();
    }
}

int CListCtrl::GetItemState(int nRow) const {
    const auto* list = As<CQtListView>(m_pImpl);
    return list ? list->GetItemState(nRow) : 0;
}

void CListCtrl::SetItemState(int nRow, int nState, int nMask) {
    if (auto* list = As<CQtListView>(m_pImpl)) {
        CProgramChange change(*m_pImpl);
        list->SetItemState(nRow, nState, nMask);
    }
}

int CListCtrl::GetNextSelected(int nAfter) const {
    const auto* list = As<CQtListView>(m_pImpl);
    if (!list)
        return -1;
    for (int nRow = std::max(nAfter + 1, 0); nRow < list->GetItemCount(); ++nRow) {
        if (list->GetItemState(nRow) & kSelected)
            return nRow;
    }
    return -1;
}

// ---- CFont

CFont::CFont() = default;
CFont::~CFont() = default;
CFont::CFont(CFont&& other) noexcept = default;
CFont& CFont::operator=(CFont&& other) noexcept = default;

void CFont::Reset(std::unique_ptr<Impl> pImpl) {
    m_pImpl = std::move(pImpl);
}

// ---- CQtPushButton

CQtPushButton::CQtPushButton(QWidget* parent) : QPushButton(parent) {}

void CQtPushButton::SetMultiLine(bool bMultiLine) {
    m_bMultiLine = bMultiLine;
    update();
}

void CQtPushButton::keyPressEvent(QKeyEvent* event) {
    // Enter belongs to the dialog's keyboard rule (CQtDialog): a default button would click itself here.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->ignore();
        return;
    }
    QPushButton::keyPressEvent(event);
}

void CQtPushButton::paintEvent(QPaintEvent* /*event*/) {
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    if (m_bMultiLine)
        option.text.clear();
    painter.drawControl(QStyle::CE_PushButton, option);
    if (m_bMultiLine) {
        const QRect contents = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
        int nFlags = Qt::AlignCenter | Qt::TextWordWrap | Qt::TextShowMnemonic;
        if (!style()->styleHint(QStyle::SH_UnderlineShortcut, &option, this))
            nFlags |= Qt::TextHideMnemonic;
        painter.drawItemText(contents, nFlags, option.palette, isEnabled(), text(), QPalette::ButtonText);
    }
    if (isFlat()) {
        // The window system's flat button is a plain frame; Qt's alone would look like a label.
        painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::Shadow));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

// ---- CQtComboBox

CQtComboBox::CQtComboBox(QWidget* parent) : QComboBox(parent) {}

int CQtComboBox::AddString(const QString& strText) {
    int nIndex = count();
    if (m_bSorted) {
        nIndex = 0;
        while (nIndex < count() && QString::compare(itemText(nIndex), strText, Qt::CaseInsensitive) <= 0)
            ++nIndex;
    }
    // Qt selects the first entry put into an empty list; the window system's list stays without a selection and
    // a drop-down with edit keeps the text of its edit field.
    const int nBefore = currentIndex();
    const QString strEdit = isEditable() ? currentText() : QString();
    insertItem(nIndex, strText);
    if (nBefore == -1 && currentIndex() != -1) {
        setCurrentIndex(-1);
        if (isEditable())
            setEditText(strEdit);
    }
    return nIndex;
}

void CQtComboBox::SetCurSel(int nIndex) {
    setCurrentIndex(nIndex >= 0 && nIndex < count() ? nIndex : -1);
}

// ---- CQtSpinButton

CQtSpinButton::CQtSpinButton(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::NoFocus);
    m_repeat.setSingleShot(false);
    connect(&m_repeat, &QTimer::timeout, this, &CQtSpinButton::Repeat);
}

void CQtSpinButton::SetBuddy(QLineEdit* buddy) {
    if (m_buddy && m_bArrowKeys)
        m_buddy->removeEventFilter(this);
    m_buddy = buddy;
    if (m_buddy && m_bArrowKeys)
        m_buddy->installEventFilter(this);
}

void CQtSpinButton::SetArrowKeys(bool bArrowKeys) {
    if (m_buddy && m_bArrowKeys)
        m_buddy->removeEventFilter(this);
    m_bArrowKeys = bArrowKeys;
    if (m_buddy && m_bArrowKeys)
        m_buddy->installEventFilter(this);
}

void CQtSpinButton::SetRange(int nLower, int nUpper) {
    m_nLower = nLower;
    m_nUpper = nUpper;
}

int CQtSpinButton::Clamp(int nPos) const {
    return std::clamp(nPos, std::min(m_nLower, m_nUpper), std::max(m_nLower, m_nUpper));
}

int CQtSpinButton::SetPos(int nPos) {
    const int nPrevious = m_nPos;
    m_nPos = Clamp(nPos);
    WriteBuddy();
    return nPrevious;
}

void CQtSpinButton::WriteBuddy() {
    if (m_bSetBuddyInt && m_buddy)
        m_buddy->setText(QString::number(m_nPos));
}

void CQtSpinButton::Step(int nDirection) {
    if (nDirection == 0)
        return;
    if (m_bSetBuddyInt && m_buddy) {
        bool bNumber = false;
        const int nTyped = m_buddy->text().trimmed().toInt(&bNumber);
        if (bNumber && nTyped == Clamp(nTyped))
            m_nPos = nTyped;
    }
    const int nTowardsUpper = m_nUpper >= m_nLower ? nDirection : -nDirection;
    m_nPos = Clamp(m_nPos + (nTowardsUpper > 0 ? 1 : -1));
    WriteBuddy();
}

QSize CQtSpinButton::sizeHint() const {
    return {16, 22};
}

void CQtSpinButton::paintEvent(QPaintEvent* /*event*/) {
    QStylePainter painter(this);
    const int nHalf = height() / 2;
    for (const int nDirection : {1, -1}) {
        QStyleOptionButton option;
        option.initFrom(this);
        option.rect = nDirection > 0 ? QRect(0, 0, width(), nHalf) : QRect(0, nHalf, width(), height() - nHalf);
        option.state |= m_nPressed == nDirection ? QStyle::State_Sunken : QStyle::State_Raised;
        painter.drawControl(QStyle::CE_PushButtonBevel, option);
        QStyleOption arrow = option;
        arrow.rect = option.rect.adjusted(2, 1, -2, -1);
        painter.drawPrimitive(nDirection > 0 ? QStyle::PE_IndicatorArrowUp : QStyle::PE_IndicatorArrowDown, arrow);
    }
}

void CQtSpinButton::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    m_nPressed = event->position().y() < height() / 2 ? 1 : -1;
    update();
    Step(m_nPressed);
    m_repeat.start(kRepeatDelay);
}

void CQtSpinButton::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        m_repeat.stop();
        m_nPressed = 0;
        update();
    }
    QWidget::mouseReleaseEvent(event);
}

void CQtSpinButton::Repeat() {
    if (m_nPressed == 0) {
        m_repeat.stop();
        return;
    }
    m_repeat.setInterval(kRepeatInterval);
    Step(m_nPressed);
}

bool CQtSpinButton::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_buddy && event->type() == QEvent::KeyPress && isEnabled()) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const auto modifiers = key->modifiers() & ~Qt::KeypadModifier;
        if (modifiers == Qt::NoModifier && (key->key() == Qt::Key_Up || key->key() == Qt::Key_Down)) {
            Step(key->key() == Qt::Key_Up ? 1 : -1);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

// ---- CQtListView

CQtListView::CQtListView(QWidget* parent) : QTreeWidget(parent) {
    setColumnCount(0);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSortingEnabled(false);
    header()->setStretchLastSection(false);
    header()->setSectionsMovable(false);
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, &CQtListView::OnSelectionChanged);
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this, &CQtListView::OnCurrentChanged);
}

int CQtListView::InsertColumn(int nColumn, const QString& strHeading, Qt::Alignment alignment, int nWidthPixels) {
    if (nColumn != columnCount())
        return -1;
    setColumnCount(nColumn + 1);
    headerItem()->setText(nColumn, strHeading);
    headerItem()->setTextAlignment(nColumn, alignment | Qt::AlignVCenter);
    header()->resizeSection(nColumn, nWidthPixels);
    m_alignments.append(alignment);
    for (int nRow = 0; nRow < topLevelItemCount(); ++nRow)
        topLevelItem(nRow)->setTextAlignment(nColumn, alignment | Qt::AlignVCenter);
    return nColumn;
}

int CQtListView::InsertItem(int nRow, const QString& strText) {
    auto* item = new QTreeWidgetItem;
    for (int nColumn = 0; nColumn < m_alignments.size(); ++nColumn)
        item->setTextAlignment(nColumn, m_alignments[nColumn] | Qt::AlignVCenter);
    item->setText(0, strText);
    const int nAt = std::clamp(nRow, 0, topLevelItemCount());
    insertTopLevelItem(nAt, item);
    return nAt;
}

bool CQtListView::SetItemText(int nRow, int nColumn, const QString& strText) {
    QTreeWidgetItem* item = topLevelItem(nRow);
    if (!item || nColumn < 0 || nColumn >= std::max(1, columnCount()))
        return false;
    item->setText(nColumn, strText);
    return true;
}

QString CQtListView::GetItemText(int nRow, int nColumn) const {
    const QTreeWidgetItem* item = topLevelItem(nRow);
    if (!item || nColumn < 0)
        return {};
    return item->text(nColumn);
}

int CQtListView::GetItemState(int nRow) const {
    const QTreeWidgetItem* item = topLevelItem(nRow);
    if (!item)
        return 0;
    int nState = item->isSelected() ? kSelected : 0;
    if (currentIndex().isValid() && !currentIndex().parent().isValid() && currentIndex().row() == nRow)
        nState |= kFocused;
    return nState;
}

void CQtListView::SetItemState(int nRow, int nState, int nMask) {
    QTreeWidgetItem* item = topLevelItem(nRow);
    if (!item)
        return;
    const QModelIndex index = indexFromItem(item);
    if ((nMask & kFocused) && (nState & kFocused))
        selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
    else if ((nMask & kFocused) && currentIndex() == index)
        selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
    if (nMask & kSelected)
        selectionModel()->select(index,
                                 ((nState & kSelected) ? QItemSelectionModel::Select : QItemSelectionModel::Deselect) |
                                     QItemSelectionModel::Rows);
}

void CQtListView::SetShowSelectionAlways(bool bAlways) {
    QPalette colours = palette();
    if (bAlways) {
        colours.setColor(QPalette::Inactive, QPalette::Highlight, colours.color(QPalette::Active, QPalette::Highlight));
        colours.setColor(QPalette::Inactive, QPalette::HighlightedText,
                         colours.color(QPalette::Active, QPalette::HighlightedText));
    } else {
        colours.setColor(QPalette::Inactive, QPalette::Highlight, colours.color(QPalette::Inactive, QPalette::Base));
        colours.setColor(QPalette::Inactive, QPalette::HighlightedText,
                         colours.color(QPalette::Inactive, QPalette::Text));
    }
    setPalette(colours);
}

void CQtListView::OnSelectionChanged(const QItemSelection& selected, const QItemSelection& deselected) {
    const int nCurrent = currentIndex().isValid() && !currentIndex().parent().isValid() ? currentIndex().row() : -1;
    const auto focus = [nCurrent](int nRow) {
        return nRow == nCurrent ? kFocused : 0;
    };
    for (const int nRow : RowsOf(deselected))
        emit ItemStateChanged(nRow, kSelected | focus(nRow), focus(nRow));
    for (const int nRow : RowsOf(selected))
        emit ItemStateChanged(nRow, focus(nRow), kSelected | focus(nRow));
}

void CQtListView::OnCurrentChanged(const QModelIndex& current, const QModelIndex& previous) {
    const auto selectedBit = [this](const QModelIndex& index) {
        return selectionModel()->isRowSelected(index.row(), index.parent()) ? kSelected : 0;
    };
    if (previous.isValid() && !previous.parent().isValid())
        emit ItemStateChanged(previous.row(), selectedBit(previous) | kFocused, selectedBit(previous));
    if (current.isValid() && !current.parent().isValid())
        emit ItemStateChanged(current.row(), selectedBit(current), selectedBit(current) | kFocused);
}
