// Turns a template into widgets on a dialog's window: the caption, the font, the window frame, the fixed client
// size, and one child widget per control at its converted position, in template order (which is the tab order; the
// first control lies on top of the others, as in the window system). Kinds become:
//   PUSHBUTTON CQtPushButton (no Qt auto-default), CHECKBOX QCheckBox (checked and cleared by the user's click,
//   which then sends its command), GROUPBOX QGroupBox, LABEL / ICON / PICTURE QLabel (labels: plain
//   text, words wrap when two lines fit; all three let mouse events through to the dialog), EDIT QLineEdit (NUMBER:
//   digits only when typed; READONLY: the dialog's background), DROPDOWNLIST / DROPDOWN CQtComboBox (the field's
//   own height; the list shows as many entries as the template's dropped height holds), SPIN CQtSpinButton
//   (AUTOBUDDY: bound to the control before it; ALIGNRIGHT: the buddy gives up the spin's width at its right edge),
//   LISTVIEW CQtListView, PROGRESS QProgressBar (no text, range 0 to 100). A PICTURE with CENTERIMAGE keeps its
//   rectangle, white, with its image in the middle.
// The user's actions reach the dialog's handlers through CDialog's Route functions; the program's own changes
// (CProgramChange) do not.

#include "window/qt/Icons.h"
#include "window/qt/QtWindow.h"

#include "window/common/ControlObjects.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QScreen>

#include <algorithm>
#include <cmath>

namespace {

constexpr double kDefaultDpi = 96.0;
constexpr double kPointsPerInch = 72.0;
// A drop-down field is the height of the font plus its frame and margins, as the window system draws it.
constexpr int kComboFieldMargin = 8;

Qt::Alignment HorizontalAlignment(const CControlTemplate& control) {
    if (control.Has(EControlStyle::Right))
        return Qt::AlignRight;
    if (control.Has(EControlStyle::Center))
        return Qt::AlignHCenter;
    return Qt::AlignLeft;
}

class CBuilder {
public:
    CBuilder(CDialog::DialogImpl& dialog, const CDialogTemplate& dialogTemplate)
        : m_dialog(dialog), m_template(dialogTemplate), m_window(*dialog.m_window), m_font(DialogFont(dialogTemplate)),
          m_units(UnitsOfFont(m_font)) {}

    std::vector<std::unique_ptr<CWnd::Impl>> Build();

private:
    QWidget* Create(const CControlTemplate& control, CWnd::Impl& impl, QWidget* previous);
    QRect Rect(const CControlTemplate& control) const {
        return {m_units.X(control.x), m_units.Y(control.y), m_units.X(control.cx), m_units.Y(control.cy)};
    }

    CDialog::DialogImpl& m_dialog;
    const CDialogTemplate& m_template;
    QWidget& m_window;
    QFont m_font;
    CDialogUnits m_units;
};

std::vector<std::unique_ptr<CWnd::Impl>> CBuilder::Build() {
    m_dialog.m_units = m_units;
    m_window.setFont(m_font);
    m_window.setWindowTitle(QtFromShown(m_template.strCaption));

    Qt::WindowFlags flags = m_template.Has(EDialogStyle::AppWindow) ? Qt::Window : Qt::Dialog;
    flags |= Qt::CustomizeWindowHint;
    if (m_template.Has(EDialogStyle::Caption))
        flags |= Qt::WindowTitleHint;
    if (m_template.Has(EDialogStyle::SysMenu))
        flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if (m_template.Has(EDialogStyle::MinimizeBox))
        flags |= Qt::WindowMinimizeButtonHint;
    m_window.setWindowFlags(flags);
    m_window.setFixedSize(m_units.X(m_template.cx), m_units.Y(m_template.cy));

    std::vector<std::unique_ptr<CWnd::Impl>> controls;
    std::vector<QWidget*> widgets;
    QWidget* previous = nullptr;
    for (const auto& control : m_template.controls) {
        auto impl = std::make_unique<CWnd::Impl>();
        impl->m_kind = control.kind;
        impl->m_nId = control.nId;
        impl->m_pDialog = &m_dialog.m_dialog;
        QWidget* widget = Create(control, *impl, previous);
        impl->m_widget = widget;
        if (TakesFocus(control.kind))
            widget->setFocusPolicy(control.Has(EControlStyle::TabStop) ? Qt::StrongFocus : Qt::ClickFocus);
        else
            widget->setFocusPolicy(Qt::NoFocus);
        if (control.Has(EControlStyle::Hidden))
            widget->setHidden(true);
        if (control.Has(EControlStyle::Disabled))
            widget->setEnabled(false);
        widgets.push_back(widget);
        controls.push_back(std::move(impl));
        previous = widget;
    }
    // The first control of the template lies on top, the last at the bottom.
    for (auto it = widgets.rbegin(); it != widgets.rend(); ++it)
        (*it)->raise();
    QWidget* lastInChain = nullptr;
    for (QWidget* widget : widgets) {
        if (widget->focusPolicy() == Qt::NoFocus)
            continue;
        if (lastInChain)
            QWidget::setTabOrder(lastInChain, widget);
        lastInChain = widget;
    }
    return controls;
}

QWidget* CBuilder::Create(const CControlTemplate& control, CWnd::Impl& impl, QWidget* previous) {
    const QRect rect = Rect(control);
    const QString strText = QtFromShown(control.strText);
    CDialog& owner = m_dialog.m_dialog;
    const int nId = control.nId;
    const auto name = [nId](QWidget* widget) {
        widget->setObjectName(QStringLiteral("id%1").arg(nId));
    };

    switch (control.kind) {
    case EControlKind::PushButton: {
        auto* button = new CQtPushButton(&m_window);
        name(button);
        button->setAutoDefault(false);
        button->setDefault(control.Has(EControlStyle::Default));
        button->setFlat(control.Has(EControlStyle::Flat));
        button->SetMultiLine(control.Has(EControlStyle::MultiLine));
        button->setText(strText);
        button->setGeometry(rect);
        QObject::connect(button, &QAbstractButton::clicked, &m_window, [&owner, nId] { owner.RouteCommand(nId); });
        return button;
    }
    case EControlKind::CheckBox: {
        auto* box = new QCheckBox(&m_window);
        name(box);
        box->setText(strText);
        box->setGeometry(rect);
        // clicked() comes from the user alone, after the mark has changed; setChecked() by the program sends none.
        QObject::connect(box, &QAbstractButton::clicked, &m_window, [&owner, nId] { owner.RouteCommand(nId); });
        return box;
    }
    case EControlKind::GroupBox: {
        auto* group = new QGroupBox(&m_window);
        name(group);
        group->setTitle(strText);
        group->setAttribute(Qt::WA_TransparentForMouseEvents);
        group->setGeometry(rect);
        return group;
    }
    case EControlKind::Label: {
        auto* label = new QLabel(&m_window);
        name(label);
        label->setTextFormat(Qt::PlainText);
        // Words wrap where the label holds two lines or more; a one-line label whose text is a little wider than
        // it with the platform's font keeps its words on that line.
        label->setWordWrap(rect.height() >= 2 * m_units.BaseY());
        label->setAlignment(HorizontalAlignment(control) | Qt::AlignTop);
        label->setAttribute(Qt::WA_TransparentForMouseEvents);
        impl.m_bNoPrefix = control.Has(EControlStyle::NoPrefix);
        impl.m_strText = strText;
        label->setText(impl.m_bNoPrefix ? strText : QtWithoutMnemonics(strText));
        label->setGeometry(rect);
        return label;
    }
    case EControlKind::Edit: {
        auto* edit = new QLineEdit(&m_window);
        name(edit);
        edit->setFrame(control.Has(EControlStyle::Border));
        edit->setAlignment(HorizontalAlignment(control) | Qt::AlignVCenter);
        if (control.Has(EControlStyle::ReadOnly)) {
            edit->setReadOnly(true);
            QPalette colours = edit->palette();
            for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
                colours.setColor(group, QPalette::Base, colours.color(group, QPalette::Window));
            edit->setPalette(colours);
            // Painted whole in its own background, so that a new text repaints the field alone and not the group
            // box and the window behind it (the clock and the displays change every second).
            edit->setAutoFillBackground(true);
        }
        impl.m_bDigitsOnly = control.Has(EControlStyle::Number);
        if (impl.m_bDigitsOnly)
            LimitTyping(*edit, true, 0);
        edit->setText(strText);
        edit->setGeometry(rect);
        return edit;
    }
    case EControlKind::DropDownList:
    case EControlKind::DropDown: {
        auto* combo = new CQtComboBox(&m_window);
        name(combo);
        if (control.kind == EControlKind::DropDown) {
            combo->setEditable(true);
            combo->setInsertPolicy(QComboBox::NoInsert);
            // A typed text never chooses an entry, as in the window system's combo boxes: only a choice from the
            // list acts. Qt would otherwise complete the text and choose its entry when the field is left.
            combo->setCompleter(nullptr);
            QObject::disconnect(combo->lineEdit(), &QLineEdit::editingFinished, combo, nullptr);
            combo->setEditText(strText);
        }
        combo->SetSorted(control.Has(EControlStyle::Sort));
        const int nFieldHeight = m_units.BaseY() + kComboFieldMargin;
        const int nItemHeight = m_units.BaseY();
        combo->setMaxVisibleItems(std::max(1, (rect.height() - nFieldHeight) / nItemHeight));
        // A list popup (not a menu-like one) so that the dropped height counts in every style.
        combo->setStyleSheet(QStringLiteral("QComboBox { combobox-popup: 0; }"));
        combo->view()->setVerticalScrollBarPolicy(control.Has(EControlStyle::VScroll) ? Qt::ScrollBarAsNeeded
                                                                                      : Qt::ScrollBarAlwaysOff);
        combo->setGeometry(rect.x(), rect.y(), rect.width(), nFieldHeight);
        // activated() comes from the user's choice alone.
        QObject::connect(combo, &QComboBox::activated, &m_window, [&owner, nId] { owner.RouteSelChange(nId); });
        return combo;
    }
    case EControlKind::Spin: {
        auto* spin = new CQtSpinButton(&m_window);
        name(spin);
        spin->SetBuddyInt(control.Has(EControlStyle::SetBuddyInt));
        spin->SetArrowKeys(control.Has(EControlStyle::ArrowKeys));
        auto* buddy = control.Has(EControlStyle::AutoBuddy) ? qobject_cast<QLineEdit*>(previous) : nullptr;
        spin->SetBuddy(buddy);
        if (buddy && control.Has(EControlStyle::AlignRight)) {
            const QRect buddyRect = buddy->geometry();
            const int nWidth = std::min(rect.width(), buddyRect.width());
            buddy->setGeometry(buddyRect.adjusted(0, 0, -nWidth, 0));
            spin->setGeometry(buddyRect.right() + 1 - nWidth, buddyRect.y(), nWidth, buddyRect.height());
        } else {
            spin->setGeometry(rect);
        }
        return spin;
    }
    case EControlKind::Icon: {
        auto* icon = new QLabel(&m_window);
        name(icon);
        icon->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        icon->setAttribute(Qt::WA_TransparentForMouseEvents);
        icon->setPixmap(IconPixmap(control.nImage));
        impl.m_nIconId = control.nImage;
        impl.m_strText = strText;
        if (control.Has(EControlStyle::RealSizeImage))
            icon->setGeometry(rect);
        else
            icon->setGeometry(QRect(rect.topLeft(), icon->pixmap().size()));
        return icon;
    }
    case EControlKind::Picture: {
        auto* picture = new QLabel(&m_window);
        name(picture);
        picture->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        picture->setAttribute(Qt::WA_TransparentForMouseEvents);
        if (control.nImage != 0)
            picture->setPixmap(BitmapPixmap(control.nImage));
        impl.m_strText = strText;
        if (control.Has(EControlStyle::CenterImage)) {
            picture->setAlignment(Qt::AlignCenter);
            QPalette colours = picture->palette();
            colours.setColor(QPalette::Window, Qt::white);
            picture->setPalette(colours);
            picture->setAutoFillBackground(true);
            picture->setGeometry(rect);
        } else {
            picture->setGeometry(QRect(rect.topLeft(), picture->pixmap().size()));
        }
        return picture;
    }
    case EControlKind::ListView: {
        auto* list = new CQtListView(&m_window);
        name(list);
        list->setFrameShape(control.Has(EControlStyle::Border) ? QFrame::StyledPanel : QFrame::NoFrame);
        list->setSelectionMode(control.Has(EControlStyle::SingleSel) ? QAbstractItemView::SingleSelection
                                                                     : QAbstractItemView::ExtendedSelection);
        list->SetShowSelectionAlways(control.Has(EControlStyle::ShowSelAlways));
        list->setGeometry(rect);
        CWnd::Impl* pImpl = &impl;
        QObject::connect(list, &CQtListView::ItemStateChanged, &m_window,
                         [&owner, nId, pImpl](int nRow, int nOld, int nNew) {
                             if (pImpl->m_nSetting == 0)
                                 owner.RouteItemChanged(nId, nRow, nOld, nNew);
                         });
        return list;
    }
    case EControlKind::Progress: {
        auto* progress = new QProgressBar(&m_window);
        name(progress);
        progress->setTextVisible(false);
        progress->setRange(0, 100);
        progress->setValue(0);
        progress->setGeometry(rect);
        return progress;
    }
    }
    auto* unknown = new QWidget(&m_window);
    name(unknown);
    return unknown;
}

} // namespace

QFont DialogFont(const CDialogTemplate& dialogTemplate) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const double dDpi = screen ? screen->logicalDotsPerInchY() : kDefaultDpi;
    QFont font(QtFromShown(dialogTemplate.strFontFace));
    font.setPixelSize(std::max(1, static_cast<int>(std::lround(dialogTemplate.nFontPoints * dDpi / kPointsPerInch))));
    return font;
}

CDialogUnits UnitsOfFont(const QFont& font) {
    const QFontMetrics metrics(font);
    const int nAlphabetWidth =
        metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return CDialogUnits(CDialogUnits::BaseXFromAlphabetWidth(nAlphabetWidth), metrics.height());
}

std::vector<std::unique_ptr<CWnd::Impl>> BuildControls(CDialog::DialogImpl& dialog,
                                                       const CDialogTemplate& dialogTemplate) {
    return CBuilder(dialog, dialogTemplate).Build();
}
