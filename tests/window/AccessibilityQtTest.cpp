// What Qt's accessibility bridge hands a screen reader: each dialog's tree of accessible interfaces, walked from the
// dialog's window down, holds no control the user operates or reads without a name.

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

// The operable controls under iface, each with its name; the parts of an operable control (a drop-down's list, a
// list's rows) belong to it and are not walked.
void Walk(const CDialog& dialog, QAccessibleInterface& iface, std::vector<std::pair<std::string, QString>>& found) {
    for (int i = 0; i < iface.childCount(); ++i) {
        QAccessibleInterface* child = iface.child(i);
        if (!child)
            continue;
        if (IsOperable(dialog, *child))
            found.emplace_back(Describe(*child), child->text(QAccessible::Name));
        else
            Walk(dialog, *child, found);
    }
}

TEST(AccessibilityTree, NoOperableControlIsWithoutAName) {
    struct CRow {
        int nTemplateId;
        std::size_t nOperable; // what the tree must hold, so that a walk that finds nothing fails
    };
    const std::vector<CRow> rows = {
        {IDD_ABOUTBOX, 1}, {IDD_MAIN_CONSOLE, 29}, {IDD_READ_MEMORY, 5},
        {IDD_COM_PORT, 3}, {IDD_PARAMETERS, 14},   {IDD_LIVE_PAGE, 5},
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
