// What Qt's accessibility bridge hands a screen reader: each dialog's tree of accessible interfaces, walked from the
// dialog's window down, holds no control the user operates or reads, and no drop-down's edit field, that a screen
// reader could not call by a label or a name. (tests/window/AccessibilityAtspi.cpp reads the same over the bus.)

#include "window/DialogDriver.h" // the dialog tests' main function: Qt's application object

#include "res/Resource.h"
#include "window/Controls.h"
#include "window/Dialog.h"
#include "window/qt/QtWindow.h"

#include <QAccessible>
#include <QWidget>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Roles of the controls a user operates; a graphic counts where it shows one of the program's icons (a lamp), not
// the About box's picture, which is decoration.
bool IsOperable(const CDialog& dialog, QAccessibleInterface& iface) {
    switch (iface.role()) {
    case QAccessible::PushButton:
    case QAccessible::CheckBox:
    case QAccessible::EditableText:
    case QAccessible::ComboBox:
    case QAccessible::List:
    case QAccessible::Table:
    case QAccessible::Tree:
    case QAccessible::SpinBox:
    case QAccessible::ProgressBar:
        return true;
    case QAccessible::Graphic: {
        const auto* icon = dynamic_cast<CStatic*>(ControlOfWidget(dialog, qobject_cast<QWidget*>(iface.object())));
        return icon && icon->GetIcon() != 0;
    }
    default:
        return false;
    }
}

std::string Describe(QAccessibleInterface& iface) {
    const QObject* object = iface.object();
    return (object ? object->objectName() : QStringLiteral("?")).toStdString() + " (role " +
           std::to_string(static_cast<int>(iface.role())) + ")";
}

// What a screen reader calls the control: the label it is labelled by (a drop-down's name is its entry), else its name.
QString CalledBy(QAccessibleInterface& iface) {
    for (const auto& [label, relation] : iface.relations(QAccessible::Label)) {
        if (label && !label->text(QAccessible::Name).trimmed().isEmpty())
            return label->text(QAccessible::Name);
    }
    return iface.text(QAccessible::Name);
}

// The operable controls under iface, each with what it is called; the parts of an operable control (a drop-down's
// list, a list's rows) belong to it and are not walked, but for a drop-down's edit field, which the user types into.
void Walk(const CDialog& dialog, QAccessibleInterface& iface, std::vector<std::pair<std::string, QString>>& found) {
    for (int i = 0; i < iface.childCount(); ++i) {
        QAccessibleInterface* child = iface.child(i);
        if (!child)
            continue;
        if (!IsOperable(dialog, *child)) {
            Walk(dialog, *child, found);
            continue;
        }
        found.emplace_back(Describe(*child), CalledBy(*child));
        if (child->role() != QAccessible::ComboBox)
            continue;
        for (int nPart = 0; nPart < child->childCount(); ++nPart) {
            QAccessibleInterface* part = child->child(nPart);
            if (part && part->role() == QAccessible::EditableText)
                found.emplace_back(Describe(*child) + "'s edit field", part->text(QAccessible::Name));
        }
    }
}

TEST(AccessibilityTree, NoOperableControlIsWithoutAName) {
    struct CRow {
        int nTemplateId;
        std::size_t nOperable; // what the tree must hold, so that a walk that finds nothing fails
    };
    const std::vector<CRow> rows = {
        {IDD_ABOUTBOX, 1},  {IDD_MAIN_CONSOLE, 29},   {IDD_READ_MEMORY, 5},
        {IDD_COM_PORT, 3},  {IDD_PARAMETERS, 14 + 3}, // and the edit fields of its three drop-downs with edit
        {IDD_LIVE_PAGE, 8},
    };
    for (const CRow& row : rows) {
        SCOPED_TRACE(row.nTemplateId);
        CDialog dialog(row.nTemplateId);
        dialog.Create();
        QAccessibleInterface* window = QAccessible::queryAccessibleInterface(WidgetOf(&dialog));
        ASSERT_NE(window, nullptr);
        std::vector<std::pair<std::string, QString>> found;
        Walk(dialog, *window, found);
        EXPECT_EQ(found.size(), row.nOperable);
        for (const auto& [strControl, strName] : found)
            EXPECT_FALSE(strName.trimmed().isEmpty()) << strControl << " has no name";
    }
}

} // namespace
