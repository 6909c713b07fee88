// What a screen reader reads over Linux's accessibility bus (AT-SPI), from this program's own dialogs: what Qt's
// bridge serves there, read with the bus's own calls as Orca reads them. Qt serves the bus only on a real display and
// with a session bus, so this runs apart from the other dialog tests, in a virtual X display with a session bus of its
// own (tests/window/CMakeLists.txt: xvfb-run and dbus-run-session), on the xcb platform with the bridge always on.
//
// Orca calls a control by the labels it is labelled by, else by its name, and reads a drop-down's entry from its edit
// field's text, else from its selected child (the Selection interface, which Qt 6.4 does not serve), else from its
// name. Every drop-down of every dialog must say both its label and its entry, and the edit field of a drop-down with
// edit must have a name of its own.

#include "window/DialogDriver.h" // the dialog tests' main function: Qt's application object

#include "res/Resource.h"
#include "window/Controls.h"
#include "window/Dialog.h"
#include "window/Text.h"
#include "window/common/AccessibleNames.h"

#include <QAccessible>
#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr int kCallTimeoutMs = 5000;
constexpr qint64 kRegistrationTimeoutMs = 15000; // the bridge tells the registry of the program at its start

// The bus's numbers (at-spi2-core's atspi-constants.h).
constexpr quint32 kRoleComboBox = 11;
constexpr quint32 kRoleText = 61;
constexpr quint32 kRoleEntry = 79;
constexpr quint32 kRelationLabelledBy = 2;

const char* const kAccessible = "org.a11y.atspi.Accessible";
const char* const kText = "org.a11y.atspi.Text";

// An object on the accessibility bus: the connection that serves it and its path.
struct CObject {
    QString strBus;
    QString strPath;
};

// A client of the accessibility bus inside this process. The calls wait with the window's events running, so that
// Qt's bridge, which answers on the same thread, answers them.
class CAtspiClient {
public:
    CAtspiClient() : m_bus(Connect()) {}
    ~CAtspiClient() { QDBusConnection::disconnectFromBus(QStringLiteral("kalvora-atspi-reader")); }

    bool IsConnected() const { return m_bus.isConnected(); }
    QString Why() const { return m_strWhy; }

    // This program's root object, once the bridge has told the registry of it.
    std::optional<CObject> OwnApplication() {
        const CObject registry{QStringLiteral("org.a11y.atspi.Registry"),
                               QStringLiteral("/org/a11y/atspi/accessible/root")};
        // Qt makes its bridge when first asked whether accessibility is on; the bridge then connects to the bus and
        // tells the registry of the program, with the events running.
        QAccessible::isActive();
        QElapsedTimer waited;
        waited.start();
        while (waited.elapsed() < kRegistrationTimeoutMs) {
            for (const CObject& application : Children(registry)) {
                if (ProcessOf(application.strBus) == QCoreApplication::applicationPid())
                    return application;
            }
            QCoreApplication::processEvents(QEventLoop::AllEvents, 100);
        }
        return std::nullopt;
    }

    QString Name(const CObject& object) {
        const QDBusMessage reply = Call(object, "org.freedesktop.DBus.Properties", "Get",
                                        {QString::fromLatin1(kAccessible), QStringLiteral("Name")});
        return reply.arguments().isEmpty() ? QString()
                                           : reply.arguments().at(0).value<QDBusVariant>().variant().toString();
    }
    quint32 Role(const CObject& object) {
        const QDBusMessage reply = Call(object, kAccessible, "GetRole");
        return reply.arguments().isEmpty() ? 0 : reply.arguments().at(0).toUInt();
    }
    std::vector<CObject> Children(const CObject& object) {
        const QDBusMessage reply = Call(object, kAccessible, "GetChildren");
        return reply.arguments().isEmpty() ? std::vector<CObject>{}
                                           : Objects(reply.arguments().at(0).value<QDBusArgument>());
    }
    QStringList Interfaces(const CObject& object) {
        const QDBusMessage reply = Call(object, kAccessible, "GetInterfaces");
        return reply.arguments().isEmpty() ? QStringList() : reply.arguments().at(0).toStringList();
    }
    // The names of the objects this one is labelled by.
    QStringList Labels(const CObject& object) {
        QStringList labels;
        const QDBusMessage reply = Call(object, kAccessible, "GetRelationSet");
        if (reply.arguments().isEmpty())
            return labels;
        const QDBusArgument relations = reply.arguments().at(0).value<QDBusArgument>();
        relations.beginArray();
        while (!relations.atEnd()) {
            quint32 nType = 0;
            relations.beginStructure();
            relations >> nType;
            const std::vector<CObject> targets = Objects(relations);
            relations.endStructure();
            if (nType == kRelationLabelledBy) {
                for (const CObject& target : targets)
                    labels << Name(target);
            }
        }
        relations.endArray();
        return labels;
    }
    // The whole text of an object with the text interface; nothing without one.
    std::optional<QString> Text(const CObject& object) {
        if (!Interfaces(object).contains(QString::fromLatin1(kText)))
            return std::nullopt;
        const QDBusMessage reply = Call(object, kText, "GetText", {0, -1});
        return reply.arguments().isEmpty() ? QString() : reply.arguments().at(0).toString();
    }

private:
    QDBusConnection Connect() {
        // The session bus names the accessibility bus, as it does for every screen reader and toolkit.
        const QDBusMessage address = QDBusConnection::sessionBus().call(
            QDBusMessage::createMethodCall(QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
                                           QStringLiteral("org.a11y.Bus"), QStringLiteral("GetAddress")),
            QDBus::Block, kCallTimeoutMs);
        if (address.type() != QDBusMessage::ReplyMessage || address.arguments().isEmpty()) {
            m_strWhy = QStringLiteral("no accessibility bus: ") + address.errorMessage();
            return QDBusConnection(QStringLiteral("kalvora-atspi-reader"));
        }
        QDBusConnection bus =
            QDBusConnection::connectToBus(address.arguments().at(0).toString(), QStringLiteral("kalvora-atspi-reader"));
        if (!bus.isConnected())
            m_strWhy = QStringLiteral("the accessibility bus refuses a connection: ") + bus.lastError().message();
        return bus;
    }

    QDBusMessage Call(const CObject& object, const char* pszInterface, const char* pszMethod,
                      const QVariantList& arguments = {}) {
        QDBusMessage call = QDBusMessage::createMethodCall(
            object.strBus, object.strPath, QString::fromLatin1(pszInterface), QString::fromLatin1(pszMethod));
        call.setArguments(arguments);
        const QDBusMessage reply = m_bus.call(call, QDBus::BlockWithGui, kCallTimeoutMs);
        return reply.type() == QDBusMessage::ReplyMessage ? reply : QDBusMessage();
    }

    qint64 ProcessOf(const QString& strBus) {
        const CObject daemon{QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus")};
        const QDBusMessage reply = Call(daemon, "org.freedesktop.DBus", "GetConnectionUnixProcessID", {strBus});
        return reply.arguments().isEmpty() ? -1 : static_cast<qint64>(reply.arguments().at(0).toUInt());
    }

    static std::vector<CObject> Objects(const QDBusArgument& argument) {
        std::vector<CObject> objects;
        argument.beginArray();
        while (!argument.atEnd()) {
            QString strBus;
            QDBusObjectPath path;
            argument.beginStructure();
            argument >> strBus >> path;
            argument.endStructure();
            objects.push_back({strBus, path.path()});
        }
        argument.endArray();
        return objects;
    }

    QString m_strWhy;
    QDBusConnection m_bus;
};

// A drop-down as a screen reader finds it on the bus.
struct CHeardDropDown {
    QString strName;
    QStringList labels;
    std::optional<QString> fieldName; // the edit field of a drop-down with edit
    std::optional<QString> fieldText;

    // What Orca calls it and what it reads as its entry.
    QString Label() const { return labels.isEmpty() ? strName : labels.join(QLatin1Char(' ')); }
    QString Entry() const { return fieldText ? *fieldText : strName; }
};

void FindDropDowns(CAtspiClient& client, const CObject& object, std::vector<CHeardDropDown>& found) {
    for (const CObject& child : client.Children(object)) {
        if (client.Role(child) != kRoleComboBox) {
            FindDropDowns(client, child, found);
            continue;
        }
        CHeardDropDown dropDown{client.Name(child), client.Labels(child), std::nullopt, std::nullopt};
        for (const CObject& part : client.Children(child)) {
            const quint32 nRole = client.Role(part);
            if (nRole == kRoleText || nRole == kRoleEntry) {
                dropDown.fieldName = client.Name(part);
                dropDown.fieldText = client.Text(part);
            }
        }
        found.push_back(dropDown);
    }
}

// The window of this program with the title, on the bus.
std::optional<CObject> FindWindow(CAtspiClient& client, const CObject& application, const QString& strTitle) {
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < kRegistrationTimeoutMs) {
        for (const CObject& window : client.Children(application)) {
            if (client.Name(window) == strTitle)
                return window;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 100);
    }
    return std::nullopt;
}

std::string Quoted(const QString& strText) {
    return '"' + strText.toStdString() + '"';
}

const int kTemplates[] = {IDD_ABOUTBOX, IDD_MAIN_CONSOLE, IDD_READ_MEMORY, IDD_COM_PORT, IDD_PARAMETERS};

// Entries every drop-down gets here: the program chooses one, then the user another.
const std::vector<std::string> kEntries = {"P1", "P5", "COM 20"};
constexpr const char* kProgramChoice = "COM 20";
constexpr const char* kUserChoice = "P5";

struct CExpected {
    int nId = 0;
    QString strLabel;
    bool bEditable = false;
};

// Every drop-down of every dialog says its label and its entry over the bus, the program's choice and the user's;
// the edit field of a drop-down with edit is named by the label too and holds the entry.
TEST(AccessibilityOverTheBus, EveryDropDownSaysItsLabelAndItsEntry) {
    CAtspiClient client;
    ASSERT_TRUE(client.IsConnected()) << client.Why().toStdString();
    const std::optional<CObject> application = client.OwnApplication();
    ASSERT_TRUE(application) << "this program never appeared on the accessibility bus (QT_QPA_PLATFORM=xcb and "
                                "QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 switch Qt's bridge on)";
    std::size_t nChecked = 0;
    for (const int nTemplateId : kTemplates) {
        SCOPED_TRACE(nTemplateId);
        CDialog dialog(nTemplateId);
        CDialogDriver driver(dialog);
        const CDialogTemplate& dialogTemplate = dialog.Template();
        const std::vector<CNameSource> sources = AccessibleNameSources(dialogTemplate);
        std::vector<CExpected> expected;
        for (std::size_t i = 0; i < dialogTemplate.controls.size(); ++i) {
            const CControlTemplate& control = dialogTemplate.controls[i];
            if (control.kind != EControlKind::DropDownList && control.kind != EControlKind::DropDown)
                continue;
            ASSERT_EQ(sources[i].source, ENameSource::Label) << control.nId << " has no label before it";
            const CControlTemplate& label = dialogTemplate.controls[static_cast<std::size_t>(sources[i].nItem)];
            const std::u16string name =
                AccessibleNameFromText(WidenShown(label.strText), KeepsAmpersands(dialogTemplate, sources[i]), 0);
            expected.push_back({control.nId, QString::fromStdU16String(name), control.kind == EControlKind::DropDown});
            CComboBox& combo = dialog.Control<CComboBox>(control.nId);
            for (const std::string& entry : kEntries)
                combo.AddString(entry);
        }
        if (expected.empty())
            continue;
        dialog.Create();
        for (const CExpected& control : expected) {
            const std::vector<std::string> entries = driver.Entries(control.nId);
            const auto chosen = std::find(entries.begin(), entries.end(), kProgramChoice);
            dialog.Control<CComboBox>(control.nId).SetCurSel(static_cast<int>(chosen - entries.begin()));
        }
        const std::optional<CObject> window =
            FindWindow(client, *application, QString::fromStdU16String(WidenShown(dialogTemplate.strCaption)));
        ASSERT_TRUE(window) << "no window " << dialogTemplate.strCaption << " on the bus";

        // Heard by their labels, the program's choice first, then the user's (a disabled list keeps the program's).
        for (const bool bUsersChoice : {false, true}) {
            std::map<int, QString> entries;
            for (const CExpected& control : expected) {
                entries[control.nId] = QString::fromLatin1(kProgramChoice);
                if (bUsersChoice && driver.IsEnabled(control.nId)) {
                    ASSERT_TRUE(driver.Choose(control.nId, std::string_view(kUserChoice)));
                    entries[control.nId] = QString::fromLatin1(kUserChoice);
                }
            }
            std::vector<CHeardDropDown> heard;
            FindDropDowns(client, *window, heard);
            ASSERT_EQ(heard.size(), expected.size());
            for (const CExpected& control : expected) {
                SCOPED_TRACE(control.strLabel.toStdString());
                const auto found = std::find_if(heard.begin(), heard.end(), [&](const CHeardDropDown& dropDown) {
                    return dropDown.Label() == control.strLabel;
                });
                ASSERT_NE(found, heard.end()) << "no drop-down heard as " << Quoted(control.strLabel);
                EXPECT_EQ(found->Entry().toStdString(), entries[control.nId].toStdString())
                    << "its name " << Quoted(found->strName);
                EXPECT_EQ(found->fieldName.has_value(), control.bEditable);
                if (control.bEditable) {
                    EXPECT_EQ(found->fieldName.value_or(QString()).toStdString(), control.strLabel.toStdString())
                        << "its edit field's name";
                    EXPECT_EQ(found->fieldText.value_or(QString()).toStdString(), entries[control.nId].toStdString());
                }
                ++nChecked;
            }
        }
    }
    EXPECT_EQ(nChecked, 2 * 7u); // seven drop-downs, each heard twice: a walk that finds none fails
}

} // namespace
