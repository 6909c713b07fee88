// What a screen reader hears of the controls: each control's name by the rule of window/common/AccessibleNames.h,
// the labels as the buddies of the controls they name (Qt's labelled-by relation), the lamps' states as their
// descriptions, and an accessible interface of our own for the spin, a widget of our own, which Qt would show as a
// nameless pane: here a spin box with its position.
// A drop-down is named by its label's relation alone, never by an accessible name: Qt on Linux gives a drop-down no
// text, value or selection over the accessibility bus, only its name, which is its current entry as long as no
// accessible name replaces it. So a screen reader hears the label from the relation and the entry ("P3") as the name,
// which is how Orca reads a drop-down. The edit field of a drop-down with edit carries the label's text as its name,
// and its text is the value.
// Qt announces a changed name or description itself (QWidget::setAccessibleName, setAccessibleDescription).

#include "window/qt/QtWindow.h"

#include "window/common/IconDesign.h"

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QAccessibleWidget>
#include <QGroupBox>
#include <QLabel>

#include <algorithm>

namespace {

class CAccessibleSpin : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit CAccessibleSpin(CQtSpinButton* spin) : QAccessibleWidget(spin, QAccessible::SpinBox) {}

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }
    QString text(QAccessible::Text kind) const override {
        if (kind == QAccessible::Value)
            return QString::number(Spin()->GetPos());
        return QAccessibleWidget::text(kind);
    }
    QVariant currentValue() const override { return Spin()->GetPos(); }
    void setCurrentValue(const QVariant& value) override { Spin()->SetPos(value.toInt()); }
    QVariant maximumValue() const override { return std::max(Spin()->Lower(), Spin()->Upper()); }
    QVariant minimumValue() const override { return std::min(Spin()->Lower(), Spin()->Upper()); }
    QVariant minimumStepSize() const override { return 1; }

private:
    CQtSpinButton* Spin() const { return static_cast<CQtSpinButton*>(widget()); }
};

// Asked by Qt for every object, most derived class first: answers for the spin only.
QAccessibleInterface* ControlInterface(const QString& strClass, QObject* object) {
    if (strClass == QLatin1String(CQtSpinButton::staticMetaObject.className())) {
        if (auto* spin = qobject_cast<CQtSpinButton*>(object))
            return new CAccessibleSpin(spin);
    }
    return nullptr;
}

void InstallInterfacesOnce() {
    static const bool bInstalled = [] {
        QAccessible::installFactory(ControlInterface);
        return true;
    }();
    (void)bInstalled;
}

// The text that names a control now: its label's window text or its group box's caption.
QString SourceText(const CWnd::Impl& item) {
    if (item.m_kind == EControlKind::Label)
        return item.m_strText;
    if (const auto* group = qobject_cast<const QGroupBox*>(item.m_widget.data()))
        return group->title();
    return {};
}

} // namespace

void ShowLabelText(CWnd::Impl& impl) {
    auto* label = qobject_cast<QLabel*>(impl.m_widget.data());
    if (!label)
        return;
    QString strShown = impl.m_bNoPrefix ? impl.m_strText : QtWithoutMnemonics(impl.m_strText);
    // A label with a buddy takes a single '&' for a mnemonic of its own: every '&' left is one to show.
    if (label->buddy())
        strShown.replace(QLatin1Char('&'), QLatin1String("&&"));
    label->setText(strShown);
}

void NameControls(CDialog::DialogImpl& dialog) {
    InstallInterfacesOnce();
    dialog.m_nameSources = AccessibleNameSources(dialog.m_dialog.Template());
    const auto& controls = dialog.m_controls;
    for (std::size_t i = 0; i < dialog.m_nameSources.size() && i < controls.size(); ++i) {
        const CNameSource& source = dialog.m_nameSources[i];
        if (source.source != ENameSource::Label)
            continue;
        CWnd::Impl& label = *controls[static_cast<std::size_t>(source.nItem)];
        if (auto* widget = qobject_cast<QLabel*>(label.m_widget.data())) {
            widget->setBuddy(controls[i]->m_widget);
            ShowLabelText(label);
        }
    }
    RenameControls(dialog);
    for (const auto& control : controls)
        DescribeLamp(*control);
}

void RenameControls(CDialog::DialogImpl& dialog) {
    const CDialogTemplate& dialogTemplate = dialog.m_dialog.Template();
    const auto& controls = dialog.m_controls;
    for (std::size_t i = 0; i < dialog.m_nameSources.size() && i < controls.size(); ++i) {
        const CNameSource& source = dialog.m_nameSources[i];
        QWidget* widget = controls[i]->m_widget;
        if (!widget || source.source == ENameSource::None || source.source == ENameSource::Own)
            continue;
        const std::u16string text = SourceText(*controls[static_cast<std::size_t>(source.nItem)]).toStdU16String();
        const QString strName = QString::fromStdU16String(
            AccessibleNameFromText(text, KeepsAmpersands(dialogTemplate, source), source.nNumber));
        if (auto* combo = qobject_cast<QComboBox*>(widget)) {
            widget = combo->lineEdit(); // the drop-down itself says its entry; its edit field, if any, the label
            if (!widget)
                continue;
        }
        if (widget->accessibleName() != strName)
            widget->setAccessibleName(strName);
    }
}

void DescribeLamp(CWnd::Impl& impl) {
    QWidget* widget = impl.m_widget;
    if (!widget || impl.m_kind != EControlKind::Icon)
        return;
    const icon_design::CLamp* lamp = icon_design::FindLamp(impl.m_nIconId);
    const QString strState = lamp ? QString::fromLatin1(lamp->pszState) : QString();
    if (widget->accessibleDescription() != strState)
        widget->setAccessibleDescription(strState);
}
