#include "base/Files.h"
#include "i18n/Language.h"
#include "i18n/TranslateWindow.h"
#include "res/Resource.h"
#include "tests/support/DialogTesting.h"
#include "tests/support/TempDir.h"
#include "window/Controls.h"
#include "window/Dialog.h"
#include "window/DialogBuilder.h"
#include "window/MessageBox.h"
#include "window/Resources.h"
#include "window/Text.h"

#include <QAction>
#include <QElapsedTimer>
#include <QFontInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QtTest>

#include <algorithm>
#include <chrono>
#include <memory>

using namespace std::chrono_literals;

namespace {

// A dialog that records what the framework calls on it.
class CProbeDlg : public CDialog {
public:
    explicit CProbeDlg(int nTemplateId, bool bEndInInit = false) : CDialog(nTemplateId), m_bEndInInit(bEndInInit) {
        for (QWidget* control : Controls()) {
            if (qobject_cast<QPushButton*>(control) && ControlId(control) != IDOK && ControlId(control) != IDCANCEL)
                m_buttons.push_back(ControlId(control));
        }
        // Handlers for the push buttons the tests press.
        OnCommand(IDC_MONITOR_ON, &CProbeDlg::Record<IDC_MONITOR_ON>);
        OnCommand(IDC_MONITOR_OFF, &CProbeDlg::Record<IDC_MONITOR_OFF>);
        OnCommand(IDC_EXIT, &CProbeDlg::Record<IDC_EXIT>);
        OnCommand(IDC_CHANGE_INTERVAL, &CProbeDlg::Record<IDC_CHANGE_INTERVAL>);
    }

    QStringList m_calls;
    std::vector<std::pair<int, qint64>> m_ticks; // timer id, milliseconds on m_clock
    QElapsedTimer m_clock;
    int m_nInits = 0;
    bool m_bVisibleInInit = true;
    std::vector<int> m_buttons;

protected:
    template <int N>
    void Record() {
        m_calls << QStringLiteral("command %1").arg(N);
    }
    bool OnInitDialog() override {
        ++m_nInits;
        m_bVisibleInInit = isVisible();
        CDialog::OnInitDialog();
        if (m_bEndInInit)
            EndDialog(IDCANCEL);
        return true;
    }
    void OnOK() override {
        m_calls << "OnOK";
        CDialog::OnOK();
    }
    void OnCancel() override {
        m_calls << "OnCancel";
        CDialog::OnCancel();
    }
    void OnClose() override {
        m_calls << "OnClose";
        CDialog::OnClose();
    }
    void OnTimer(int nId) override { m_ticks.emplace_back(nId, m_clock.elapsed()); }
    void OnSysCommand(int nId) override { m_calls << QStringLiteral("syscommand %1").arg(nId); }

private:
    bool m_bEndInInit;
};

std::optional<CDialogTemplate> SourceTemplate(int nId) {
    const auto text = ReadFileBytes(std::string(KALVORA_SOURCE_DIR) + "/res/dialogs/" + std::to_string(nId) + ".dlg");
    return text ? ParseDialogTemplate(*text) : std::nullopt;
}

bool IsKind(QWidget* widget, EControlKind kind) {
    switch (kind) {
    case EControlKind::PushButton:
        return qobject_cast<CPushButton*>(widget);
    case EControlKind::GroupBox:
        return qobject_cast<QGroupBox*>(widget);
    case EControlKind::Label:
    case EControlKind::Icon:
    case EControlKind::Picture:
        return qobject_cast<QLabel*>(widget);
    case EControlKind::Edit:
        return qobject_cast<QLineEdit*>(widget);
    case EControlKind::DropDownList:
        return qobject_cast<CComboBox*>(widget) && !qobject_cast<CComboBox*>(widget)->isEditable();
    case EControlKind::DropDown:
        return qobject_cast<CComboBox*>(widget) && qobject_cast<CComboBox*>(widget)->isEditable();
    case EControlKind::Spin:
        return qobject_cast<CSpinButtonCtrl*>(widget);
    case EControlKind::ListView:
        return qobject_cast<CListCtrl*>(widget);
    case EControlKind::Progress:
        return qobject_cast<QProgressBar*>(widget);
    }
    return false;
}

void WriteLanguage(const CTempDir& directory) {
    QVERIFY(WriteFileReplacing(directory.File("identifiers.ini"), "[Identifiers]\n"
                                                                  "IDD_MAIN_CONSOLE=102\n"
                                                                  "IDC_MONITOR_ON=1000\n"
                                                                  "IDC_MONITOR_OFF=1023\n"
                                                                  "IDC_COUNTDOWN_TIME=1011\n"
                                                                  "IDC_PROGRAM=1010\n"
                                                                  "IDC_SLAVE=1036\n"
                                                                  "IDC_GROUP_MONITOR=1057\n"
                                                                  "IDC_LABEL_LAST_START_TIME=1060\n"
                                                                  "IDC_LABEL_MONITORING=1062\n"
                                                                  "IDC_STATUS_LAMP=1042\n"
                                                                  "IDC_STATIC=-1\n"
                                                                  "IDC_NESTED=4242\n"));
    QVERIFY(WriteFileReplacing(directory.File("lng_Test.ini"), "[Strings]\n"
                                                               "IDD_MAIN_CONSOLE=Konsole\n"
                                                               "IDC_MONITOR_ON=Ein\n"
                                                               "IDC_MONITOR_OFF=?Aus\n"
                                                               "IDC_COUNTDOWN_TIME=9:99\n"
                                                               "IDC_PROGRAM=Programm\n"
                                                               "IDC_SLAVE=Sklave\n"
                                                               "IDC_GROUP_MONITOR=Echtzeit\n"
                                                               "IDC_LABEL_LAST_START_TIME=<b>x</b>\n"
                                                               "IDC_LABEL_MONITORING=Zwei\\nZeilen\n"
                                                               "IDC_STATUS_LAMP=138\n"
                                                               "IDC_STATIC=Statisch\n"
                                                               "IDC_NESTED=Tief\n"));
}

} // namespace

class CWindowLayerTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() {
        LoadLanguage("none-loaded"); // empty tables for the next test
    }

    // ---- building

    void dialogUnitsConvertLikeTheWindowSystem_data() {
        QTest::addColumn<int>("baseX");
        QTest::addColumn<int>("baseY");
        QTest::addColumn<int>("units");
        QTest::addColumn<int>("x");
        QTest::addColumn<int>("y");
        // MS Sans Serif 8 at 96 dpi has the bases 6 and 13.
        QTest::newRow("main window width/height") << 6 << 13 << 352 << 528 << 572;
        QTest::newRow("height 243") << 6 << 13 << 243 << 365 << 395;
        QTest::newRow("zero") << 6 << 13 << 0 << 0 << 0;
        QTest::newRow("1: 1.5 and 1.625 round up") << 6 << 13 << 1 << 2 << 2;
        QTest::newRow("3: 4.5 rounds up") << 6 << 13 << 3 << 5 << 5;
        QTest::newRow("4: 6.5 rounds up") << 6 << 13 << 4 << 6 << 7;
        QTest::newRow("14 at 7/13") << 7 << 13 << 14 << 25 << 23;
        QTest::newRow("62 at 7/13") << 7 << 13 << 62 << 109 << 101;
    }
    void dialogUnitsConvertLikeTheWindowSystem() {
        QFETCH(int, baseX);
        QFETCH(int, baseY);
        QFETCH(int, units);
        QFETCH(int, x);
        QFETCH(int, y);
        const CDialogUnits converter(baseX, baseY);
        QCOMPARE(converter.X(units), x);
        QCOMPARE(converter.Y(units), y);
    }

    void unitsComeFromTheDialogFont() {
        const auto dialogTemplate = SourceTemplate(IDD_ABOUTBOX);
        QVERIFY(dialogTemplate);
        const QFont font = DialogFont(*dialogTemplate);
        const QScreen* screen = QGuiApplication::primaryScreen();
        QCOMPARE(font.pixelSize(), qRound(8 * screen->logicalDotsPerInchY() / 72.0));
        const CDialogUnits units(font);
        QCOMPARE(units.BaseY(), QFontMetrics(font).height());
        // The average width of the 52 letters, in whole pixels.
        const double dAverage =
            QFontMetrics(font).horizontalAdvance("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz") / 52.0;
        QVERIFY(std::abs(units.BaseX() - dAverage) <= 1.0);
    }

    void everyTemplateBuildsItsControls_data() {
        QTest::addColumn<int>("templateId");
        for (const int nId : {IDD_ABOUTBOX, IDD_MAIN_CONSOLE, IDD_READ_MEMORY, IDD_COM_PORT, IDD_PARAMETERS})
            QTest::newRow(std::to_string(nId).c_str()) << nId;
    }
    void everyTemplateBuildsItsControls() {
        QFETCH(int, templateId);
        const auto expected = SourceTemplate(templateId);
        QVERIFY(expected);
        QVERIFY2(LoadDialogTemplate(templateId), "the embedded template is missing or differs");
        CDialog dialog(templateId);
        QCOMPARE(dialog.windowTitle(), ShownText(expected->strCaption));
        const CDialogUnits& units = dialog.Units();
        QCOMPARE(dialog.minimumSize(), QSize(units.X(expected->cx), units.Y(expected->cy)));
        QCOMPARE(dialog.maximumSize(), dialog.minimumSize());
        QCOMPARE(dialog.size(), dialog.minimumSize());

        QCOMPARE(dialog.Controls().size(), expected->controls.size());
        for (std::size_t i = 0; i < expected->controls.size(); ++i) {
            const CControlTemplate& control = expected->controls[i];
            QWidget* widget = dialog.Controls()[i];
            const QByteArray where = QByteArray::number(control.nId);
            QVERIFY2(ControlId(widget) == control.nId, where);
            QVERIFY2(widget->objectName() == QStringLiteral("id%1").arg(control.nId), where);
            QVERIFY2(IsKind(widget, control.kind), where);
            QVERIFY2(widget->isHidden() == control.Has(EControlStyle::Hidden), where);
            QVERIFY2(widget->isEnabled() == !control.Has(EControlStyle::Disabled), where);
            const QRect rect = units.Rect(control.x, control.y, control.cx, control.cy);
            const bool bSpinBuddy =
                i + 1 < expected->controls.size() && expected->controls[i + 1].kind == EControlKind::Spin;
            switch (control.kind) {
            case EControlKind::DropDownList:
            case EControlKind::DropDown:
                QVERIFY2(widget->geometry().topLeft() == rect.topLeft() && widget->width() == rect.width(), where);
                QVERIFY2(widget->height() < rect.height(), where); // the field alone, not the dropped list
                break;
            case EControlKind::Icon:
                if (control.Has(EControlStyle::RealSizeImage))
                    QVERIFY2(widget->geometry() == rect, where);
                else
                    QVERIFY2(widget->geometry() == QRect(rect.topLeft(), QSize(32, 32)), where);
                break;
            case EControlKind::Picture:
                QVERIFY2(widget->geometry() == QRect(rect.topLeft(), QSize(68, 43)), where);
                break;
            case EControlKind::Spin:
                break; // placed by its buddy, see spinSitsAtTheRightEdgeOfItsBuddy
            default:
                if (!bSpinBuddy)
                    QVERIFY2(widget->geometry() == rect, where);
            }
            if (!dialog.GetDlgItem(control.nId))
                QFAIL(where);
        }
        QVERIFY(!dialog.GetDlgItem(4711));
    }

    void mainWindowControlsCarryTheirStyles() {
        CDialog dialog(IDD_MAIN_CONSOLE);
        for (const int nId : {1000, 1023, 1014, 1012, 1034, 1035, 1036, 1021, 1009, 1016, 1072, 1018, 1019}) {
            auto* button = dialog.Item<QPushButton>(nId);
            QVERIFY(button);
            QVERIFY(button->isFlat());
            QVERIFY(!button->autoDefault());
            QCOMPARE(button->isDefault(), nId == IDC_EXIT);
            QCOMPARE(button->focusPolicy(), Qt::StrongFocus);
        }
        for (const int nId : {1011, 1001, 1002, 1008, 1006, 1007, 1033})
            QVERIFY(dialog.Item<QLineEdit>(nId)->isReadOnly());
        QVERIFY(!dialog.Item<QLineEdit>(IDC_BRIGHTNESS)->isReadOnly());
        QVERIFY(dialog.Item<QLineEdit>(IDC_DISPLAY_LARGE)->alignment() & Qt::AlignRight);
        QVERIFY(dialog.Item<QLineEdit>(IDC_DISPLAY_SMALL)->alignment() & Qt::AlignRight);
        QVERIFY(dialog.Item<QLineEdit>(IDC_PC_TIME)->alignment() & Qt::AlignHCenter);
        QVERIFY(dialog.Item<QLineEdit>(IDC_COUNTDOWN_TIME)->alignment() & Qt::AlignLeft);
        for (const int nId : {IDC_PROGRAM, IDC_COUNTDOWN_NUMBER}) {
            auto* combo = dialog.Item<CComboBox>(nId);
            QVERIFY(combo && !combo->isEditable() && combo->IsSorted());
            QVERIFY(combo->maxVisibleItems() >= 3 && combo->maxVisibleItems() <= 8);
        }
        QCOMPARE(StaticIconId(dialog.GetDlgItem(IDC_STATUS_LAMP)), IDI_LAMP_OFF);
        QCOMPARE(dialog.Item<QLabel>(IDC_LIGHT_2)->pixmap().size(), QSize(32, 32));
        auto* label = dialog.Item<QLabel>(IDC_LABEL_COUNTDOWN_NUMBER);
        QCOMPARE(label->textFormat(), Qt::PlainText);
        QVERIFY(label->wordWrap()); // two lines high
        QVERIFY(!dialog.Item<QLabel>(IDC_LABEL_START_NUMBER)->wordWrap());
        QVERIFY(dialog.GetDlgItem(IDC_GROUP_MONITOR)->testAttribute(Qt::WA_TransparentForMouseEvents));
        QCOMPARE(dialog.GetDlgItem(IDC_LABEL_STATUS)->focusPolicy(), Qt::NoFocus);
    }

    void otherDialogsControlsCarryTheirStyles() {
        CDialog parameters(IDD_PARAMETERS);
        QVERIFY(parameters.Item<CComboBox>(IDC_SELECT_PROGRAM)->isEditable());
        QCOMPARE(parameters.Item<CComboBox>(IDC_SELECT_PROGRAM)->insertPolicy(), QComboBox::NoInsert);
        QVERIFY(!parameters.Item<CComboBox>(IDC_FIRST_SETTING)->IsSorted());
        QVERIFY(parameters.GetDlgItem(IDC_PAINT)->isHidden());
        QVERIFY(!parameters.Item<QProgressBar>(IDC_PROGRESS)->isTextVisible());
        auto* details = parameters.Item<CListCtrl>(IDC_PROGRAM_DETAILS);
        QCOMPARE(details->selectionMode(), QAbstractItemView::ExtendedSelection);
        QCOMPARE(details->selectionBehavior(), QAbstractItemView::SelectRows);
        QCOMPARE(details->palette().color(QPalette::Inactive, QPalette::Highlight),
                 details->palette().color(QPalette::Active, QPalette::Highlight));
        auto* upload = parameters.Item<CPushButton>(IDC_UPLOAD_INTERVALS);
        QVERIFY(upload->isFlat() && upload->IsMultiLine());
        QVERIFY(!parameters.Item<CPushButton>(IDC_CHANGE_INTERVAL)->isFlat());
        for (QWidget* control : parameters.Controls()) {
            if (auto* button = qobject_cast<QPushButton*>(control))
                QVERIFY(!button->isDefault());
        }

        CDialog port(IDD_COM_PORT);
        QVERIFY(!port.GetDlgItem(IDC_BAUD_RATE_LIST)->isEnabled());
        QVERIFY(port.GetDlgItem(IDC_COM_PORT_LIST)->isEnabled());
        QCOMPARE(port.Item<CComboBox>(IDC_COM_PORT_LIST)->view()->verticalScrollBarPolicy(), Qt::ScrollBarAsNeeded);
        QVERIFY(port.Item<QPushButton>(IDOK)->isDefault());

        CDialog memory(IDD_READ_MEMORY);
        QVERIFY(memory.Item<CListCtrl>(IDC_MEMORY_LIST)->frameShape() != QFrame::NoFrame);
    }

    void tabOrderIsTemplateOrder() {
        CDialog dialog(IDD_MAIN_CONSOLE);
        const auto expected = SourceTemplate(IDD_MAIN_CONSOLE);
        std::vector<int> focusable;
        for (const auto& control : expected->controls) {
            if (control.Has(EControlStyle::TabStop))
                focusable.push_back(control.nId);
        }
        QCOMPARE(focusable.size(), std::size_t{23}); // 13 push buttons, 2 lists, 8 edits
        std::vector<int> chain;
        QWidget* start = dialog.GetDlgItem(focusable.front());
        QWidget* widget = start;
        do {
            if (ControlId(widget) != 0 && (widget->focusPolicy() & Qt::TabFocus))
                chain.push_back(ControlId(widget));
            widget = widget->nextInFocusChain();
        } while (widget != start && chain.size() <= focusable.size());
        QCOMPARE(chain, focusable);
    }

    void firstControlLiesOnTop() {
        CDialog dialog(IDD_MAIN_CONSOLE);
        const QObjectList& children = dialog.children();
        // The stacking order runs from bottom to top: the first control of the template comes last.
        QVERIFY(children.indexOf(dialog.GetDlgItem(IDC_MONITOR_ON)) > children.indexOf(dialog.GetDlgItem(IDC_LIGHT_3)));
        QVERIFY(children.indexOf(dialog.GetDlgItem(IDC_MONITOR_ON)) >
                children.indexOf(dialog.GetDlgItem(IDC_GROUP_MONITOR)));
    }

    // ---- controls

    void spinSitsAtTheRightEdgeOfItsBuddy() {
        CDialog dialog(IDD_MAIN_CONSOLE);
        auto* spin = dialog.Item<CSpinButtonCtrl>(IDC_BRIGHTNESS_SPIN);
        auto* buddy = dialog.Item<QLineEdit>(IDC_BRIGHTNESS);
        QCOMPARE(spin->GetBuddy(), buddy);
        const QRect template1013 = dialog.Units().Rect(13, 190, 47, 14);
        QCOMPARE(spin->geometry().right(), template1013.right());
        QCOMPARE(spin->width(), dialog.Units().X(11));
        QCOMPARE(spin->geometry().top(), template1013.top());
        QCOMPARE(spin->height(), template1013.height());
        QCOMPARE(buddy->geometry(), template1013.adjusted(0, 0, -spin->width(), 0));
        QCOMPARE(spin->focusPolicy(), Qt::NoFocus);
    }

    void spinWritesItsPositionIntoTheBuddy() {
        CDialog dialog(IDD_MAIN_CONSOLE);
        dialog.Create();
        auto* spin = dialog.Item<CSpinButtonCtrl>(IDC_BRIGHTNESS_SPIN);
        auto* buddy = dialog.Item<QLineEdit>(IDC_BRIGHTNESS);
        QSignalSpy changes(spin, &CSpinButtonCtrl::PositionChanged);
        spin->SetRange(0, 9);
        QCOMPARE(spin->SetPos(9), 0);
        QCOMPARE(buddy->text(), QString("9"));
        QCOMPARE(changes.count(), 0); // the program's own settings are no user steps

        struct Step {
            const char* action;
            const char* typed; // text put into the buddy first, or null
            const char* expected;
        };
        const Step steps[] = {
            {"down", nullptr, "8"},     {"down", nullptr, "7"},       {"up", nullptr, "8"},
            {"up", nullptr, "9"},       {"up", nullptr, "9"}, // stops at the upper end
            {"up", "3", "4"},                                 // takes a typed number inside the range
            {"up", "57", "5"},                                // a number beyond the range is ignored: 4 + 1
            {"down", "x", "4"},         {"down", "0", "0"},   // stops at the lower end
            {"click-up", nullptr, "1"}, {"click-down", nullptr, "0"},
        };
        for (const auto& step : steps) {
            if (step.typed)
                buddy->setText(step.typed);
            const QString strAction = step.action;
            if (strAction == "up")
                QTest::keyClick(buddy, Qt::Key_Up);
            else if (strAction == "down")
                QTest::keyClick(buddy, Qt::Key_Down);
            else if (strAction == "click-up")
                QTest::mouseClick(spin, Qt::LeftButton, {}, QPoint(spin->width() / 2, 2));
            else
                QTest::mouseClick(spin, Qt::LeftButton, {}, QPoint(spin->width() / 2, spin->height() - 3));
            QVERIFY2(buddy->text() == step.expected, qPrintable(strAction + " " + buddy->text()));
            QCOMPARE(spin->GetPos(), buddy->text().toInt());
        }
        QCOMPARE(changes.count(), int(std::size(steps)));
        QCOMPARE(spin->SetPos(-5), 0);
        QCOMPARE(spin->GetPos(), 0);
    }

    void digitsOnlyEditAcceptsNumbersBeyondTheSpinRange() {
        CDialog dialog(IDD_MAIN_CONSOLE);
        dialog.Create();
        auto* buddy = dialog.Item<QLineEdit>(IDC_BRIGHTNESS);
        buddy->clear();
        QTest::keyClicks(buddy, "1a2-b3");
        QCOMPARE(buddy->text(), QString("123"));
        buddy->setText("x"); // the program may still put any text there
        QCOMPARE(buddy->text(), QString("x"));
    }

    void comboAddsAtTheSortedPlace_data() {
        QTest::addColumn<bool>("sorted");
        QTest::addColumn<QStringList>("added");
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<QList<int>>("positions");
        QTest::newRow("program list order is its sorted order")
            << true << QStringList{"P0", "P1", "P2", "P3", "P4", "P5", "P60", "P61", "P62", "P63", "P64", "P7", "P8"}
            << QStringList{"P0", "P1", "P2", "P3", "P4", "P5", "P60", "P61", "P62", "P63", "P64", "P7", "P8"}
            << QList<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
        QTest::newRow("sorted, case ignored, equal texts in order of adding")
            << true << QStringList{"b", "C", "a", "B"} << QStringList{"a", "b", "B", "C"} << QList<int>{0, 1, 0, 2};
        QTest::newRow("unsorted keeps the order of adding")
            << false << QStringList{"COM 2", "COM 10", "COM 1"} << QStringList{"COM 2", "COM 10", "COM 1"}
            << QList<int>{0, 1, 2};
    }
    void comboAddsAtTheSortedPlace() {
        QFETCH(bool, sorted);
        QFETCH(QStringList, added);
        QFETCH(QStringList, shown);
        QFETCH(QList<int>, positions);
        CComboBox combo;
        combo.SetSorted(sorted);
        QSignalSpy activated(&combo, &QComboBox::activated);
        QList<int> returned;
        for (const QString& text : added)
            returned << combo.AddString(text);
        QStringList items;
        for (int i = 0; i < combo.count(); ++i)
            items << combo.itemText(i);
        QCOMPARE(items, shown);
        QCOMPARE(returned, positions);
        QCOMPARE(combo.GetCurSel(), -1); // adding selects nothing
        combo.SetCurSel(1);
        QCOMPARE(combo.GetCurSel(), 1);
        combo.SetCurSel(combo.count());
        QCOMPARE(combo.GetCurSel(), -1);
        QCOMPARE(activated.count(), 0);
    }

    void comboWithEditKeepsItsTextWhenEntriesAreAdded() {
        CDialog dialog(IDD_PARAMETERS);
        auto* combo = dialog.Item<CComboBox>(IDC_FIRST_SETTING);
        SetControlText(combo, "typed");
        combo->AddString("Red");
        QCOMPARE(ControlText(combo), QString("typed"));
        QCOMPARE(combo->GetCurSel(), -1);
    }

    void listCtrlHoldsRowsAndReportsStates() {
        CDialog dialog(IDD_PARAMETERS);
        auto* list = dialog.Item<CListCtrl>(IDC_INTERVALS);
        QCOMPARE(list->InsertColumn(0, "CD No", Qt::AlignHCenter, 50), 0);
        QCOMPARE(list->InsertColumn(1, "CD Time", Qt::AlignHCenter, 60), 1);
        QCOMPARE(list->InsertColumn(5, "gap", Qt::AlignLeft, 10), -1);
        QCOMPARE(list->header()->sectionSize(1), 60);
        for (int nRow = 0; nRow < 10; ++nRow)
            QCOMPARE(list->InsertItem(nRow, QStringLiteral("CD%1").arg(nRow)), nRow);
        QCOMPARE(list->InsertItem(99, "end"), 10);
        QVERIFY(list->SetItemText(3, 1, "1:30"));
        QVERIFY(!list->SetItemText(3, 2, "no column"));
        QVERIFY(!list->SetItemText(42, 1, "no row"));
        QCOMPARE(list->GetItemText(3, 0), QString("CD3"));
        QCOMPARE(list->GetItemText(3, 1), QString("1:30"));
        QCOMPARE(list->GetItemText(42, 0), QString());
        QCOMPARE(list->topLevelItem(3)->textAlignment(1) & Qt::AlignHorizontal_Mask, int(Qt::AlignHCenter));

        using Change = QList<int>;
        QSignalSpy states(list, &CListCtrl::ItemStateChanged);
        const auto changes = [&states] {
            QList<Change> all;
            for (const auto& arguments : states)
                all << Change{arguments[0].toInt(), arguments[1].toInt(), arguments[2].toInt()};
            states.clear();
            return all;
        };
        constexpr int F = CListCtrl::kStateFocused;
        constexpr int S = CListCtrl::kStateSelected;
        list->SetItemState(2, true, true);
        QCOMPARE(changes(), (QList<Change>{{2, 0, F}, {2, F, S | F}}));
        list->SetItemState(4, true, true); // several rows can be selected
        QCOMPARE(changes(), (QList<Change>{{2, S | F, S}, {4, 0, F}, {4, F, S | F}}));
        QCOMPARE(list->GetItemState(2), S);
        QCOMPARE(list->GetItemState(4), S | F);
        list->SetItemState(2, false, false);
        QCOMPARE(changes(), (QList<Change>{{2, S, 0}}));
        list->DeleteAllItems();
        QCOMPARE(list->GetItemCount(), 0);
    }

    void controlTextFollowsTheWindowSystem() {
        CDialog dialog(IDD_MAIN_CONSOLE);
        auto* label = dialog.Item<QLabel>(IDC_LABEL_PROGRAM);
        SetControlText(label, "A&&B &Cd");
        QCOMPARE(label->text(), QString("A&B Cd"));
        QCOMPARE(ControlText(label), QString("A&&B &Cd"));
        CDialog about(IDD_ABOUTBOX);
        auto* version = about.Item<QLabel>(IDC_ABOUT_VERSION);
        SetControlText(version, "R&D <i>1</i>");
        QCOMPARE(version->text(), QString("R&D <i>1</i>"));
        QCOMPARE(version->textFormat(), Qt::PlainText);

        SetControlText(dialog.GetDlgItem(IDC_GROUP_MODE), "Betrieb");
        QCOMPARE(dialog.Item<QGroupBox>(IDC_GROUP_MODE)->title(), QString("Betrieb"));
        SetControlText(dialog.GetDlgItem(IDC_COUNTDOWN_TIME), "1:30");
        QCOMPARE(dialog.Item<QLineEdit>(IDC_COUNTDOWN_TIME)->text(), QString("1:30"));
        // Lists and icons keep a text without showing it; the lamp keeps its icon.
        SetControlText(dialog.GetDlgItem(IDC_PROGRAM), "P9");
        QCOMPARE(dialog.Item<CComboBox>(IDC_PROGRAM)->count(), 0);
        QCOMPARE(dialog.Item<CComboBox>(IDC_PROGRAM)->currentText(), QString());
        SetControlText(dialog.GetDlgItem(IDC_STATUS_LAMP), "137");
        QCOMPARE(StaticIconId(dialog.GetDlgItem(IDC_STATUS_LAMP)), IDI_LAMP_OFF);
        QVERIFY(!dialog.Item<QLabel>(IDC_STATUS_LAMP)->pixmap().isNull());
    }

    // ---- dialog manners

    void initialisationRunsOnceBeforeShowingAndFocusesTheFirstTabStop_data() {
        QTest::addColumn<int>("templateId");
        QTest::addColumn<int>("firstTabStop");
        QTest::newRow("main window") << IDD_MAIN_CONSOLE << IDC_MONITOR_ON;
        QTest::newRow("read memory") << IDD_READ_MEMORY << IDC_MEMORY_LIST;
        QTest::newRow("com port") << IDD_COM_PORT << IDC_COM_PORT_LIST;
        QTest::newRow("parameters") << IDD_PARAMETERS << IDC_SELECT_PROGRAM;
        QTest::newRow("about") << IDD_ABOUTBOX << IDOK;
    }
    void initialisationRunsOnceBeforeShowingAndFocusesTheFirstTabStop() {
        QFETCH(int, templateId);
        QFETCH(int, firstTabStop);
        CProbeDlg dialog(templateId);
        QCOMPARE(dialog.m_nInits, 0);
        dialog.Create();
        dialog.Create();
        QCOMPARE(dialog.m_nInits, 1);
        QVERIFY(!dialog.m_bVisibleInInit);
        QVERIFY(dialog.isVisible());
        QWidget* focus = dialog.focusWidget();
        QVERIFY(focus);
        const int nFocused = ControlId(focus) != 0 ? ControlId(focus) : ControlId(focus->parentWidget());
        QCOMPARE(nFocused, firstTabStop);
    }

    void doModalReturnsTheResultOfEndDialog() {
        CProbeDlg dialog(IDD_COM_PORT);
        QTimer::singleShot(0, &dialog, [&dialog] { dialog.EndDialog(7); });
        QCOMPARE(dialog.DoModal(), 7);
        QVERIFY(!dialog.isVisible());
        QVERIFY(dialog.IsEnded());

        CProbeDlg ended(IDD_COM_PORT, true); // ends in its initialisation: never shown
        QCOMPARE(ended.DoModal(), int(IDCANCEL));
        QVERIFY(!ended.isVisible());
    }

    void okButtonAndEscapeAndCloseBoxEndTheDialog() {
        CProbeDlg ok(IDD_COM_PORT);
        ok.Create();
        ok.Item<QPushButton>(IDOK)->click();
        QCOMPARE(ok.m_calls, QStringList{"OnOK"});
        QCOMPARE(ok.result(), int(IDOK));
        QVERIFY(!ok.isVisible());

        CProbeDlg escape(IDD_COM_PORT);
        escape.Create();
        QTest::keyClick(&escape, Qt::Key_Escape);
        QCOMPARE(escape.m_calls, QStringList{"OnCancel"});
        QCOMPARE(escape.result(), int(IDCANCEL));
        QVERIFY(!escape.isVisible());

        CProbeDlg closeBox(IDD_COM_PORT);
        closeBox.Create();
        QVERIFY(!closeBox.close()); // the dialog decides; here its default OnClose cancels
        QCOMPARE(closeBox.m_calls, (QStringList{"OnClose", "OnCancel"}));
        QCOMPARE(closeBox.result(), int(IDCANCEL));
        QVERIFY(!closeBox.isVisible());
    }

    void enterPressesTheFocusedButtonElseTheDefaultElseOk_data() {
        QTest::addColumn<int>("templateId");
        QTest::addColumn<int>("focused");
        QTest::addColumn<int>("disabled"); // a control disabled first, or 0
        QTest::addColumn<QStringList>("calls");
        QTest::newRow("focused push button") << IDD_MAIN_CONSOLE << IDC_MONITOR_ON << 0 << QStringList{"command 1000"};
        QTest::newRow("focused default button") << IDD_MAIN_CONSOLE << IDC_EXIT << 0 << QStringList{"command 1072"};
        QTest::newRow("edit: the default button")
            << IDD_MAIN_CONSOLE << IDC_BRIGHTNESS << 0 << QStringList{"command 1072"};
        QTest::newRow("list: the default button")
            << IDD_MAIN_CONSOLE << IDC_PROGRAM << 0 << QStringList{"command 1072"};
        QTest::newRow("disabled default button: nothing")
            << IDD_MAIN_CONSOLE << IDC_BRIGHTNESS << IDC_EXIT << QStringList{};
        QTest::newRow("no default button: OK") << IDD_PARAMETERS << IDC_INTERVAL_TEXT << 0 << QStringList{"OnOK"};
        QTest::newRow("no default button, focused button")
            << IDD_PARAMETERS << IDC_CHANGE_INTERVAL << 0 << QStringList{"command 1019"};
        QTest::newRow("default OK button") << IDD_COM_PORT << IDC_COM_PORT_LIST << 0 << QStringList{"OnOK"};
    }
    void enterPressesTheFocusedButtonElseTheDefaultElseOk() {
        QFETCH(int, templateId);
        QFETCH(int, focused);
        QFETCH(int, disabled);
        QFETCH(QStringList, calls);
        CProbeDlg dialog(templateId);
        dialog.Create();
        if (disabled)
            dialog.GetDlgItem(disabled)->setEnabled(false);
        QWidget* target = dialog.GetDlgItem(focused);
        target->setFocus();
        QWidget* receiver = target->focusProxy() ? target->focusProxy() : target;
        QCOMPARE(dialog.focusWidget(), receiver);
        QTest::keyClick(receiver, Qt::Key_Return);
        QCOMPARE(dialog.m_calls, calls);
        QCOMPARE(dialog.IsEnded(), calls == QStringList{"OnOK"});
    }

    void commandsRunTheirHandlersAndUnhandledOnesNothing() {
        CProbeDlg dialog(IDD_MAIN_CONSOLE);
        dialog.Create();
        QTest::mouseClick(dialog.Item<QPushButton>(IDC_MONITOR_OFF), Qt::LeftButton);
        QCOMPARE(dialog.m_calls, QStringList{"command 1023"});
        QVERIFY(!dialog.SendCommand(IDC_MASTER)); // no handler: nothing happens
        QVERIFY(dialog.SendCommand(IDCANCEL));
        QCOMPARE(dialog.m_calls, (QStringList{"command 1023", "OnCancel"}));
    }

    // ---- timers

    void timersTickByIdentifier() {
        CProbeDlg dialog(IDD_COM_PORT);
        dialog.Create();
        dialog.m_clock.start();
        dialog.SetTimer(1, 30ms);
        dialog.SetTimer(2, 50ms);
        QTRY_VERIFY_WITH_TIMEOUT(std::count_if(dialog.m_ticks.begin(), dialog.m_ticks.end(),
                                               [](const auto& tick) { return tick.first == 2; }) >= 2,
                                 10000);
        QVERIFY(std::any_of(dialog.m_ticks.begin(), dialog.m_ticks.end(),
                            [](const auto& tick) { return tick.first == 1; }));
        QVERIFY(std::all_of(dialog.m_ticks.begin(), dialog.m_ticks.end(),
                            [](const auto& tick) { return tick.first == 1 || tick.first == 2; }));
        QVERIFY(dialog.IsTimerRunning(1));
        QVERIFY(dialog.KillTimer(1));
        QVERIFY(!dialog.KillTimer(1));
        QVERIFY(!dialog.KillTimer(3)); // never started
        QVERIFY(!dialog.IsTimerRunning(1));
        dialog.m_ticks.clear();
        QTest::qWait(200);
        QVERIFY(std::none_of(dialog.m_ticks.begin(), dialog.m_ticks.end(),
                             [](const auto& tick) { return tick.first == 1; }));
        QVERIFY(!dialog.m_ticks.empty()); // timer 2 goes on
    }

    void settingARunningTimerRestartsItsPeriod() {
        CProbeDlg dialog(IDD_COM_PORT);
        dialog.Create();
        constexpr auto kPeriod = 600ms;
        dialog.m_clock.start();
        dialog.SetTimer(3, kPeriod);
        QTest::qWait(300);
        dialog.m_ticks.clear(); // a tick that came before the restart (on a very slow machine) does not count
        const qint64 nRestart = dialog.m_clock.elapsed();
        dialog.SetTimer(3, kPeriod);
        QTRY_VERIFY_WITH_TIMEOUT(!dialog.m_ticks.empty(), 10000);
        // Coarse timers may come up to 5 % early; without the restart the tick would come 300 ms sooner.
        QVERIFY2(dialog.m_ticks.front().second - nRestart >= kPeriod.count() * 9 / 10,
                 qPrintable(QString::number(dialog.m_ticks.front().second - nRestart)));
    }

    void endingTheDialogStopsItsTimers() {
        CProbeDlg dialog(IDD_COM_PORT);
        dialog.Create();
        dialog.SetTimer(5, 20ms);
        dialog.EndDialog(IDOK);
        QVERIFY(!dialog.IsTimerRunning(5));
        dialog.m_ticks.clear();
        QTest::qWait(100);
        QVERIFY(dialog.m_ticks.empty());
    }

    void sleepBlocksAndPumpMessagesRunsWhatIsPending() {
        bool bRan = false;
        QTimer::singleShot(0, [&bRan] { bRan = true; });
        QElapsedTimer clock;
        clock.start();
        CDialog::Sleep(60ms);
        QVERIFY(clock.elapsed() >= 60);
        QVERIFY(!bRan); // nothing ran while the thread slept
        CDialog::PumpMessages();
        QVERIFY(bRan);
    }

    // ---- the window menu

    void menuEntriesReachOnSysCommand() {
        CProbeDlg dialog(IDD_MAIN_CONSOLE);
        QCOMPARE(dialog.contextMenuPolicy(), Qt::DefaultContextMenu);
        dialog.AppendSystemMenu(99, "Extra", QKeySequence(Qt::Key_F2));
        QCOMPARE(dialog.contextMenuPolicy(), Qt::ActionsContextMenu);
        QCOMPARE(dialog.actions().size(), 2);
        QVERIFY(dialog.actions()[0]->isSeparator());
        QAction* entry = dialog.actions()[1];
        QCOMPARE(entry->text(), QString("Extra"));
        entry->trigger();
        QCOMPARE(dialog.m_calls, QStringList{"syscommand 99"});

        dialog.Create();
        dialog.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        QTest::keyClick(dialog.focusWidget(), Qt::Key_F2);
        QCOMPARE(dialog.m_calls, (QStringList{"syscommand 99", "syscommand 99"}));
    }

    // ---- translation

    void translateWindowReplacesTextsByIdentifier() {
        CExecutableDirectory directory;
        WriteLanguage(directory);
        LoadLanguage("Test");

        CDialog dialog(IDD_MAIN_CONSOLE);
        // Controls deeper inside the window, one with an identifier of its own, one static, one without.
        auto* panel = new QWidget(&dialog);
        auto* inner = new QWidget(panel);
        auto* deep = new QLabel("deep", inner);
        deep->setProperty(kControlIdProperty, 4242);
        auto* staticLabel = new QLabel("static", inner);
        staticLabel->setProperty(kControlIdProperty, IDC_STATIC);
        auto* plain = new QLabel("keep", inner);

        TranslateWindow(&dialog, IDD_MAIN_CONSOLE);
        QCOMPARE(dialog.windowTitle(), QString("Konsole"));
        QCOMPARE(dialog.Item<QPushButton>(IDC_MONITOR_ON)->text(), QString("Ein"));
        QCOMPARE(dialog.Item<QPushButton>(IDC_MONITOR_OFF)->text(), QString("Off")); // text beginning with "?"
        QCOMPARE(dialog.Item<QGroupBox>(IDC_GROUP_MONITOR)->title(), QString("Echtzeit"));
        QCOMPARE(dialog.Item<QLineEdit>(IDC_COUNTDOWN_TIME)->text(), QString("9:99"));
        QCOMPARE(dialog.Item<QLabel>(IDC_LABEL_MONITORING)->text(), QString("Zwei\nZeilen"));
        QCOMPARE(dialog.Item<QPushButton>(IDC_SET_PROGRAM)->text(), QString("Set")); // no entry
        QCOMPARE(dialog.Item<QLabel>(IDC_LABEL_STATUS)->text(), QString("Status"));
        QCOMPARE(StaticIconId(dialog.GetDlgItem(IDC_STATUS_LAMP)), IDI_LAMP_OFF);
        QCOMPARE(dialog.Item<CComboBox>(IDC_PROGRAM)->currentText(), QString());
        QCOMPARE(deep->text(), QString("Tief"));
        QCOMPARE(staticLabel->text(), QString("Statisch"));
        QCOMPARE(plain->text(), QString("keep"));

        // Markup from a language file is shown as it is.
        auto* markup = dialog.Item<QLabel>(IDC_LABEL_LAST_START_TIME);
        QCOMPARE(markup->text(), QString("<b>x</b>"));
        QCOMPARE(markup->textFormat(), Qt::PlainText);

        // The same identifier in another dialog: a drop-down with edit takes it as its edit text.
        CDialog parameters(IDD_PARAMETERS);
        TranslateWindow(&parameters, 0);
        QCOMPARE(parameters.windowTitle(), QString("Parameters Dialog")); // key 0 leaves the caption
        QCOMPARE(ControlText(parameters.GetDlgItem(IDC_FIRST_SETTING)), QString("Sklave"));

        // A language whose files are missing: the next window keeps its template texts.
        LoadLanguage("Missing");
        CDialog again(IDD_MAIN_CONSOLE);
        TranslateWindow(&again, IDD_MAIN_CONSOLE);
        QCOMPARE(again.windowTitle(), QString("Kalvora v1.4"));
        QCOMPARE(again.Item<QPushButton>(IDC_MONITOR_ON)->text(), QString("On"));
    }

    // ---- message boxes

    void applicationNameIsTheExecutableWithoutExtension_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("name");
        QTest::newRow("Windows") << "C:/Program Files/Kalvora/Kalvora.EXE"
                                 << "Kalvora";
        QTest::newRow("no extension") << "/opt/kalvora/bin/kalvora"
                                      << "kalvora";
        QTest::newRow("renamed") << "/tmp/start-display.exe"
                                 << "start-display";
        QTest::newRow("two dots") << "/tmp/kalvora.1.4.bin"
                                  << "kalvora.1.4";
        QTest::newRow("dot in the directory only") << "/opt/kalvora.d/kalvora"
                                                   << "kalvora";
    }
    void applicationNameIsTheExecutableWithoutExtension() {
        QFETCH(QString, path);
        QFETCH(QString, name);
        QCOMPARE(ApplicationNameFromPath(path), name);
    }

    void messageBoxesAreRecordedWithTheirTitle() {
        QCOMPARE(ApplicationName(), QString("window_WindowLayerTest"));
        CMessageBoxRecorder outer;
        {
            CMessageBoxRecorder inner;
            const Reporter reporter = MessageBoxReporter();
            reporter(kMsgCantOpenPort);
            QCOMPARE(inner.Entries().size(), std::size_t{1});
            QCOMPARE(inner.Entries()[0].strTitle, QString("window_WindowLayerTest"));
            QCOMPARE(inner.Entries()[0].strText, QString("Can't open COM port"));
        }
        ShowMessageBox(kMsgCantReadFile);
        QCOMPARE(outer.Texts(), std::vector<QString>{"Can't Open File!"});
    }

    void messageBoxHasAnExclamationAndOneOkButton() {
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QString strTitle, strText;
        int nButtons = 0;
        Qt::TextFormat format = Qt::AutoText;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            icon = box->icon();
            strTitle = box->windowTitle();
            strText = box->text();
            format = box->textFormat();
            nButtons = int(box->buttons().size());
            box->button(QMessageBox::Ok)->click();
        });
        ShowMessageBox("<b>Can't open file!</b>");
        QCOMPARE(icon, QMessageBox::Warning);
        QCOMPARE(strTitle, ApplicationName());
        QCOMPARE(strText, QString("<b>Can't open file!</b>"));
        QCOMPARE(format, Qt::PlainText);
        QCOMPARE(nButtons, 1);
    }

    // ---- resources

    void lampsAndIconsAreDrawn_data() {
        QTest::addColumn<int>("iconId");
        QTest::addColumn<QColor>("centre");
        QTest::newRow("red") << IDI_LAMP_RED << QColor(255, 0, 0);
        QTest::newRow("green") << IDI_LAMP_GREEN << QColor(0, 255, 0);
        QTest::newRow("dark") << IDI_LAMP_OFF << QColor(128, 0, 0);
        QTest::newRow("yellow") << IDI_LAMP_YELLOW << QColor(255, 255, 0);
    }
    void lampsAndIconsAreDrawn() {
        QFETCH(int, iconId);
        QFETCH(QColor, centre);
        const QImage lamp = IconPixmap(iconId).toImage();
        QCOMPARE(lamp.size(), QSize(32, 32));
        QCOMPARE(QColor(lamp.pixel(18, 20)), centre);
        QCOMPARE(qAlpha(lamp.pixel(0, 0)), 0); // transparent around the lamp
        QCOMPARE(qAlpha(lamp.pixel(31, 31)), 0);
        QCOMPARE(QColor(lamp.pixel(15, 28)), QColor(128, 128, 128)); // grey rim
    }

    void applicationIconAndLogo() {
        const QImage icon = IconPixmap(IDR_MAINFRAME).toImage();
        QCOMPARE(icon.size(), QSize(32, 32));
        QCOMPARE(QColor(icon.pixel(0, 0)), QColor(Qt::black));
        int nYellow = 0;
        for (int y = 0; y < 32; ++y) {
            for (int x = 0; x < 32; ++x)
                nYellow += QColor(icon.pixel(x, y)) == QColor(255, 255, 0);
        }
        QVERIFY(nYellow > 60);
        QCOMPARE(BitmapPixmap(IDB_ABOUT_LOGO).size(), QSize(68, 43));
        QVERIFY(IconPixmap(999).isNull());
        QVERIFY(BitmapPixmap(IDI_LAMP_RED).isNull());
        QCOMPARE(ResourceString(IDS_ABOUTBOX), QString("&About Kalvora..."));
        QVERIFY(ResourceString(IDD_ABOUTBOX).isEmpty());
    }

    void displayFontHeightFollowsTheResolution_data() {
        QTest::addColumn<double>("dpi");
        QTest::addColumn<int>("pixels");
        QTest::newRow("96") << 96.0 << 24;
        QTest::newRow("72") << 72.0 << 18;
        QTest::newRow("120") << 120.0 << 30;
        QTest::newRow("144") << 144.0 << 36;
        QTest::newRow("100 rounds") << 100.0 << 25;
    }
    void displayFontHeightFollowsTheResolution() {
        QFETCH(double, dpi);
        QFETCH(int, pixels);
        QCOMPARE(DisplayFontPixels(dpi), pixels);
    }

    void displayFontIsASevenSegmentFace() {
        const QFont font = DisplayFont();
        QCOMPARE(font.pixelSize(), DisplayFontPixels(QGuiApplication::primaryScreen()->logicalDotsPerInchY()));
        const QString strFamily = QFontInfo(font).family();
        QVERIFY2(strFamily.startsWith("DS-Digital") || strFamily.startsWith("DSEG7"), qPrintable(strFamily));
        if (strFamily.startsWith("DSEG7")) {
            QVERIFY(QFontInfo(font).italic());
            // Eight digits fit the large display (63 units wide) of the main window.
            CDialog dialog(IDD_MAIN_CONSOLE);
            auto* display = dialog.Item<QLineEdit>(IDC_DISPLAY_LARGE);
            QVERIFY(QFontMetrics(font).horizontalAdvance("88888888") < display->width() - 4);
        }
    }
};

QTEST_MAIN(CWindowLayerTest)
#include "WindowLayerTest.moc"
