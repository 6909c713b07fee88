#include "window/DialogBuilder.h"

#include "window/Controls.h"
#include "window/Resources.h"
#include "window/Text.h"

#include <QAbstractItemView>
#include <QFile>
#include <QFontMetrics>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QRegularExpressionValidator>
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

bool TakesFocus(EControlKind kind) {
    switch (kind) {
    case EControlKind::PushButton:
    case EControlKind::Edit:
    case EControlKind::DropDownList:
    case EControlKind::DropDown:
    case EControlKind::ListView:
        return true;
    default:
        return false;
    }
}

} // namespace

CDialogUnits::CDialogUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    const int nAlphabetWidth =
        metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    m_nBaseX = (nAlphabetWidth / 26 + 1) / 2;
    m_nBaseY = metrics.height();
}

QFont DialogFont(const CDialogTemplate& dialogTemplate) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const double dDpi = screen ? screen->logicalDotsPerInchY() : kDefaultDpi;
    QFont font(ShownText(dialogTemplate.strFontFace));
    font.setPixelSize(std::max(1, static_cast<int>(std::lround(dialogTemplate.nFontPoints * dDpi / kPointsPerInch))));
    return font;
}

std::optional<CDialogTemplate> LoadDialogTemplate(int nTemplateId) {
    InitResources();
    QFile file(QStringLiteral(":/dialogs/%1.dlg").arg(nTemplateId));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = file.readAll();
    auto dialogTemplate =
        ParseDialogTemplate(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    if (!dialogTemplate || dialogTemplate->nId != nTemplateId)
        return std::nullopt;
    return dialogTemplate;
}

CDialogBuilder::CDialogBuilder(QWidget& dialog, const CDialogTemplate& dialogTemplate)
    : m_dialog(dialog), m_template(dialogTemplate), m_font(DialogFont(dialogTemplate)), m_units(m_font) {}

std::vector<QWidget*> CDialogBuilder::Build() {
    m_dialog.setFont(m_font);
    m_dialog.setWindowTitle(ShownText(m_template.strCaption));

    Qt::WindowFlags flags = m_template.Has(EDialogStyle::AppWindow) ? Qt::Window : Qt::Dialog;
    flags |= Qt::CustomizeWindowHint;
    if (m_template.Has(EDialogStyle::Caption))
        flags |= Qt::WindowTitleHint;
    if (m_template.Has(EDialogStyle::SysMenu))
        flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if (m_template.Has(EDialogStyle::MinimizeBox))
        flags |= Qt::WindowMinimizeButtonHint;
    m_dialog.setWindowFlags(flags);
    m_dialog.setFixedSize(m_units.X(m_template.cx), m_units.Y(m_template.cy));

    std::vector<QWidget*> controls;
    QWidget* previous = nullptr;
    for (const auto& control : m_template.controls) {
        QWidget* widget = Create(control, previous);
        if (TakesFocus(control.kind))
            widget->setFocusPolicy(control.Has(EControlStyle::TabStop) ? Qt::StrongFocus : Qt::ClickFocus);
        else
            widget->setFocusPolicy(Qt::NoFocus);
        if (control.Has(EControlStyle::Hidden))
            widget->setHidden(true);
        if (control.Has(EControlStyle::Disabled))
            widget->setEnabled(false);
        controls.push_back(widget);
        previous = widget;
    }
    // The first control of the template lies on top, the last at the bottom.
    for (auto it = controls.rbegin(); it != controls.rend(); ++it)
        (*it)->raise();
    QWidget* lastInChain = nullptr;
    for (QWidget* widget : controls) {
        if (widget->focusPolicy() == Qt::NoFocus)
            continue;
        if (lastInChain)
            QWidget::setTabOrder(lastInChain, widget);
        lastInChain = widget;
    }
    return controls;
}

QWidget* CDialogBuilder::Create(const CControlTemplate& control, QWidget* previous) {
    const QRect rect = m_units.Rect(control.x, control.y, control.cx, control.cy);
    const QString strText = ShownText(control.strText);
    const auto mark = [&control](QWidget* widget) {
        widget->setProperty(kControlIdProperty, control.nId);
        widget->setProperty(kControlKindProperty, static_cast<int>(control.kind));
        widget->setObjectName(QStringLiteral("id%1").arg(control.nId));
    };

    switch (control.kind) {
    case EControlKind::PushButton: {
        auto* button = new CPushButton(&m_dialog);
        mark(button);
        button->setAutoDefault(false);
        button->setDefault(control.Has(EControlStyle::Default));
        button->setFlat(control.Has(EControlStyle::Flat));
        button->SetMultiLine(control.Has(EControlStyle::MultiLine));
        button->setText(strText);
        button->setGeometry(rect);
        return button;
    }
    case EControlKind::GroupBox: {
        auto* group = new QGroupBox(&m_dialog);
        mark(group);
        group->setTitle(strText);
        group->setAttribute(Qt::WA_TransparentForMouseEvents);
        group->setGeometry(rect);
        return group;
    }
    case EControlKind::Label: {
        auto* label = new QLabel(&m_dialog);
        mark(label);
        label->setTextFormat(Qt::PlainText);
        // Words wrap where the label holds two lines or more; a one-line label whose text is a little wider than
        // it with the platform's font keeps its words on that line.
        label->setWordWrap(rect.height() >= 2 * QFontMetrics(m_font).height());
        label->setAlignment(HorizontalAlignment(control) | Qt::AlignTop);
        label->setProperty("noPrefix", control.Has(EControlStyle::NoPrefix));
        label->setAttribute(Qt::WA_TransparentForMouseEvents);
        SetControlText(label, strText);
        label->setGeometry(rect);
        return label;
    }
    case EControlKind::Edit: {
        auto* edit = new QLineEdit(&m_dialog);
        mark(edit);
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
        if (control.Has(EControlStyle::Number))
            edit->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
        edit->setText(strText);
        edit->setGeometry(rect);
        return edit;
    }
    case EControlKind::DropDownList:
    case EControlKind::DropDown: {
        auto* combo = new CComboBox(&m_dialog);
        mark(combo);
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
        const int nItemHeight = QFontMetrics(m_font).height();
        combo->setMaxVisibleItems(std::max(1, (rect.height() - nFieldHeight) / nItemHeight));
        // A list popup (not a menu-like one) so that the dropped height counts in every style.
        combo->setStyleSheet(QStringLiteral("QComboBox { combobox-popup: 0; }"));
        combo->view()->setVerticalScrollBarPolicy(control.Has(EControlStyle::VScroll) ? Qt::ScrollBarAsNeeded
                                                                                      : Qt::ScrollBarAlwaysOff);
        combo->setGeometry(rect.x(), rect.y(), rect.width(), nFieldHeight);
        return combo;
    }
    case EControlKind::Spin: {
        auto* spin = new CSpinButtonCtrl(&m_dialog);
        mark(spin);
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
        auto* icon = new QLabel(&m_dialog);
        mark(icon);
        icon->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        icon->setAttribute(Qt::WA_TransparentForMouseEvents);
        SetStaticIcon(icon, control.nImage);
        SetControlText(icon, strText);
        if (control.Has(EControlStyle::RealSizeImage))
            icon->setGeometry(rect);
        else
            icon->setGeometry(QRect(rect.topLeft(), icon->pixmap().size()));
        return icon;
    }
    case EControlKind::Picture: {
        auto* picture = new QLabel(&m_dialog);
        mark(picture);
        picture->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        picture->setAttribute(Qt::WA_TransparentForMouseEvents);
        picture->setPixmap(BitmapPixmap(control.nImage));
        SetControlText(picture, strText);
        picture->setGeometry(QRect(rect.topLeft(), picture->pixmap().size()));
        return picture;
    }
    case EControlKind::ListView: {
        auto* list = new CListCtrl(&m_dialog);
        mark(list);
        list->setFrameShape(control.Has(EControlStyle::Border) ? QFrame::StyledPanel : QFrame::NoFrame);
        list->setSelectionMode(control.Has(EControlStyle::SingleSel) ? QAbstractItemView::SingleSelection
                                                                     : QAbstractItemView::ExtendedSelection);
        list->SetShowSelectionAlways(control.Has(EControlStyle::ShowSelAlways));
        list->setGeometry(rect);
        return list;
    }
    case EControlKind::Progress: {
        auto* progress = new QProgressBar(&m_dialog);
        mark(progress);
        progress->setTextVisible(false);
        progress->setRange(0, 100);
        progress->setValue(0);
        progress->setGeometry(rect);
        return progress;
    }
    }
    auto* unknown = new QWidget(&m_dialog);
    mark(unknown);
    return unknown;
}
