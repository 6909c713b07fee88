#include "window/Controls.h"

#include "res/DialogTemplate.h"
#include "window/Resources.h"

#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QStyleOptionButton>
#include <QStylePainter>

#include <algorithm>
#include <chrono>
#include <set>

namespace {

constexpr const char* kWindowTextProperty = "windowText";
constexpr const char* kIconIdProperty = "iconId";
constexpr auto kRepeatDelay = std::chrono::milliseconds{400};
constexpr auto kRepeatInterval = std::chrono::milliseconds{100};

std::optional<EControlKind> KindOf(const QWidget* control) {
    const QVariant kind = control->property(kControlKindProperty);
    if (!kind.isValid())
        return std::nullopt;
    return static_cast<EControlKind>(kind.toInt());
}

// What a label without the no-prefix style shows: "&&" is one "&", a single "&" only marks the next character.
QString WithoutMnemonics(const QString& strText) {
    QString strShown;
    strShown.reserve(strText.size());
    for (qsizetype i = 0; i < strText.size(); ++i) {
        if (strText[i] == u'&' && i + 1 < strText.size())
            ++i;
        strShown += strText[i];
    }
    return strShown;
}

std::set<int> RowsOf(const QItemSelection& selection) {
    std::set<int> rows;
    for (const QModelIndex& index : selection.indexes()) {
        if (!index.parent().isValid())
            rows.insert(index.row());
    }
    return rows;
}

} // namespace

int ControlId(const QWidget* control) {
    const QVariant id = control ? control->property(kControlIdProperty) : QVariant();
    return id.isValid() ? id.toInt() : 0;
}

void SetControlText(QWidget* control, const QString& strText) {
    if (!control)
        return;
    const auto kind = KindOf(control);
    if (kind == EControlKind::Label) {
        auto* label = qobject_cast<QLabel*>(control);
        control->setProperty(kWindowTextProperty, strText);
        if (label)
            label->setText(label->property("noPrefix").toBool() ? strText : WithoutMnemonics(strText));
        return;
    }
    if (kind == EControlKind::Icon || kind == EControlKind::Picture) {
        control->setProperty(kWindowTextProperty, strText);
        return;
    }
    if (auto* button = qobject_cast<QAbstractButton*>(control))
        button->setText(strText);
    else if (auto* group = qobject_cast<QGroupBox*>(control))
        group->setTitle(strText);
    else if (auto* edit = qobject_cast<QLineEdit*>(control))
        edit->setText(strText);
    else if (auto* combo = qobject_cast<QComboBox*>(control); combo && combo->isEditable())
        combo->setEditText(strText);
    else if (auto* label = qobject_cast<QLabel*>(control))
        label->setText(strText);
    else
        control->setProperty(kWindowTextProperty, strText);
}

QString ControlText(const QWidget* control) {
    if (!control)
        return {};
    const auto kind = KindOf(control);
    if (kind == EControlKind::Label || kind == EControlKind::Icon || kind == EControlKind::Picture)
        return control->property(kWindowTextProperty).toString();
    if (const auto* button = qobject_cast<const QAbstractButton*>(control))
        return button->text();
    if (const auto* group = qobject_cast<const QGroupBox*>(control))
        return group->title();
    if (const auto* edit = qobject_cast<const QLineEdit*>(control))
        return edit->text();
    if (const auto* combo = qobject_cast<const QComboBox*>(control); combo && combo->isEditable())
        return combo->currentText();
    if (const auto* label = qobject_cast<const QLabel*>(control))
        return label->text();
    return control->property(kWindowTextProperty).toString();
}

void SetStaticIcon(QLabel* control, int nIconId) {
    // The image it already shows costs no repaint: the monitor sets its lamps ten times a second.
    if (!control || (StaticIconId(control) == nIconId && !control->pixmap().isNull()))
        return;
    control->setPixmap(IconPixmap(nIconId));
    control->setProperty(kIconIdProperty, nIconId);
}

int StaticIconId(const QWidget* control) {
    return control ? control->property(kIconIdProperty).toInt() : 0;
}

// ---- CPushButton

CPushButton::CPushButton(QWidget* parent) : QPushButton(parent) {}

void CPushButton::SetMultiLine(bool bMultiLine) {
    m_bMultiLine = bMultiLine;
    update();
}

void CPushButton::paintEvent(QPaintEvent* /*event*/) {
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

// ---- CComboBox

CComboBox::CComboBox(QWidget* parent) : QComboBox(parent) {}

int CComboBox::AddString(const QString& strText) {
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

void CComboBox::SetCurSel(int nIndex) {
    setCurrentIndex(nIndex >= 0 && nIndex < count() ? nIndex : -1);
}

// ---- CSpinButtonCtrl

CSpinButtonCtrl::CSpinButtonCtrl(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::NoFocus);
    m_repeat.setSingleShot(false);
    connect(&m_repeat, &QTimer::timeout, this, &CSpinButtonCtrl::Repeat);
}

void CSpinButtonCtrl::SetBuddy(QLineEdit* buddy) {
    if (m_buddy && m_bArrowKeys)
        m_buddy->removeEventFilter(this);
    m_buddy = buddy;
    if (m_buddy && m_bArrowKeys)
        m_buddy->installEventFilter(this);
}

void CSpinButtonCtrl::SetArrowKeys(bool bArrowKeys) {
    if (m_buddy && m_bArrowKeys)
        m_buddy->removeEventFilter(this);
    m_bArrowKeys = bArrowKeys;
    if (m_buddy && m_bArrowKeys)
        m_buddy->installEventFilter(this);
}

void CSpinButtonCtrl::SetRange(int nLower, int nUpper) {
    m_nLower = nLower;
    m_nUpper = nUpper;
}

int CSpinButtonCtrl::Clamp(int nPos) const {
    return std::clamp(nPos, std::min(m_nLower, m_nUpper), std::max(m_nLower, m_nUpper));
}

int CSpinButtonCtrl::SetPos(int nPos) {
    const int nPrevious = m_nPos;
    m_nPos = Clamp(nPos);
    WriteBuddy();
    return nPrevious;
}

void CSpinButtonCtrl::WriteBuddy() {
    if (m_bSetBuddyInt && m_buddy)
        m_buddy->setText(QString::number(m_nPos));
}

void CSpinButtonCtrl::Step(int nDirection) {
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
    emit PositionChanged(m_nPos);
}

QSize CSpinButtonCtrl::sizeHint() const {
    return {16, 22};
}

void CSpinButtonCtrl::paintEvent(QPaintEvent* /*event*/) {
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

void CSpinButtonCtrl::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    m_nPressed = event->position().y() < height() / 2 ? 1 : -1;
    update();
    Step(m_nPressed);
    m_repeat.start(kRepeatDelay);
}

void CSpinButtonCtrl::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        m_repeat.stop();
        m_nPressed = 0;
        update();
    }
    QWidget::mouseReleaseEvent(event);
}

void CSpinButtonCtrl::Repeat() {
    if (m_nPressed == 0) {
        m_repeat.stop();
        return;
    }
    m_repeat.setInterval(kRepeatInterval);
    Step(m_nPressed);
}

bool CSpinButtonCtrl::eventFilter(QObject* watched, QEvent* event) {
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

// ---- CListCtrl

CListCtrl::CListCtrl(QWidget* parent) : QTreeWidget(parent) {
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
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, &CListCtrl::OnSelectionChanged);
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this, &CListCtrl::OnCurrentChanged);
}

int CListCtrl::InsertColumn(int nColumn, const QString& strHeading, Qt::Alignment alignment, int nWidthPixels) {
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

int CListCtrl::InsertItem(int nRow, const QString& strText) {
    auto* item = new QTreeWidgetItem;
    for (int nColumn = 0; nColumn < m_alignments.size(); ++nColumn)
        item->setTextAlignment(nColumn, m_alignments[nColumn] | Qt::AlignVCenter);
    item->setText(0, strText);
    const int nAt = std::clamp(nRow, 0, topLevelItemCount());
    insertTopLevelItem(nAt, item);
    return nAt;
}

bool CListCtrl::SetItemText(int nRow, int nColumn, const QString& strText) {
    QTreeWidgetItem* item = topLevelItem(nRow);
    if (!item || nColumn < 0 || nColumn >= std::max(1, columnCount()))
        return false;
    item->setText(nColumn, strText);
    return true;
}

QString CListCtrl::GetItemText(int nRow, int nColumn) const {
    const QTreeWidgetItem* item = topLevelItem(nRow);
    if (!item || nColumn < 0)
        return {};
    return item->text(nColumn);
}

void CListCtrl::DeleteAllItems() {
    clear();
}

int CListCtrl::GetItemState(int nRow) const {
    const QTreeWidgetItem* item = topLevelItem(nRow);
    if (!item)
        return 0;
    int nState = item->isSelected() ? kStateSelected : 0;
    if (currentIndex().isValid() && !currentIndex().parent().isValid() && currentIndex().row() == nRow)
        nState |= kStateFocused;
    return nState;
}

void CListCtrl::SetItemState(int nRow, bool bSelected, bool bFocus) {
    QTreeWidgetItem* item = topLevelItem(nRow);
    if (!item)
        return;
    const QModelIndex index = indexFromItem(item);
    if (bFocus)
        selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
    selectionModel()->select(index, (bSelected ? QItemSelectionModel::Select : QItemSelectionModel::Deselect) |
                                        QItemSelectionModel::Rows);
}

void CListCtrl::SetShowSelectionAlways(bool bAlways) {
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

void CListCtrl::OnSelectionChanged(const QItemSelection& selected, const QItemSelection& deselected) {
    const int nCurrent = currentIndex().isValid() && !currentIndex().parent().isValid() ? currentIndex().row() : -1;
    const auto focus = [nCurrent](int nRow) {
        return nRow == nCurrent ? kStateFocused : 0;
    };
    for (const int nRow : RowsOf(deselected))
        emit ItemStateChanged(nRow, kStateSelected | focus(nRow), focus(nRow));
    for (const int nRow : RowsOf(selected))
        emit ItemStateChanged(nRow, focus(nRow), kStateSelected | focus(nRow));
}

void CListCtrl::OnCurrentChanged(const QModelIndex& current, const QModelIndex& previous) {
    const auto selectedBit = [this](const QModelIndex& index) {
        return selectionModel()->isRowSelected(index.row(), index.parent()) ? kStateSelected : 0;
    };
    if (previous.isValid() && !previous.parent().isValid())
        emit ItemStateChanged(previous.row(), selectedBit(previous) | kStateFocused, selectedBit(previous));
    if (current.isValid() && !current.parent().isValid())
        emit ItemStateChanged(current.row(), selectedBit(current), selectedBit(current) | kStateFocused);
}
