#include "programs/ParametersDlg.h"
#include "tests/support/DialogTesting.h"

#include "base/Files.h"
#include "i18n/Language.h"
#include "link/SerialLink.h"
#include "res/Resource.h"
#include "tests/support/PtyPeer.h"
#include "tests/support/SimProcess.h"
#include "tests/support/TempDir.h"
#include "window/MessageBox.h"
#include "window/Text.h"

#include <QDir>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QtTest>

#include <array>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

using namespace std::chrono_literals;

namespace {

constexpr int kPort = 5; // COM 5 in each test's own directory
constexpr auto kPeerWait = 500ms;

// A program file's lines, each ended by CR LF.
std::string FileText(std::initializer_list<const char*> lines) {
    std::string text;
    for (const char* line : lines)
        text += std::string(line) + "\r\n";
    return text;
}

// Program 1 of several tests: row r carries light r % 4 and signal (r + 1) % 3.
const std::string kEleven =
    FileText({"10;0;1;1:30;", "9;1;2;Break;", "8;2;0;0:45;", "7;3;1;2:00;", "6;0;2;3:15;", "5;1;0;Break;",
              "4;2;1;4:00;", "3;3;2;0:30;", "2;0;0;5:00;", "1;1;1;9:59;", "0;2;2;;"});
const std::string kThree = FileText({"10;0;0;1:30;", "9;2;1;Break;", "8;3;2;10:00;"});

// The files beside the "executable" of one test: the English language files, config.ini for COM kPort at 9600 baud.
const std::string kSettings = SettingsNaming(kPort, 2, "English");
const std::string kLanguageOnly = "[System]\nLanguage=English\n";
const std::initializer_list<const char*> kLanguageFiles = {"identifiers.ini", "lng_English.ini"};

CListCtrl* Details(const CDialog& dialog) {
    return dialog.Item<CListCtrl>(IDC_PROGRAM_DETAILS);
}
CListCtrl* Intervals(const CDialog& dialog) {
    return dialog.Item<CListCtrl>(IDC_INTERVALS);
}
QLineEdit* IntervalEdit(const CDialog& dialog) {
    return dialog.Item<QLineEdit>(IDC_INTERVAL_TEXT);
}
QProgressBar* Progress(const CDialog& dialog) {
    return dialog.Item<QProgressBar>(IDC_PROGRESS);
}

QStringList Column(const CListCtrl* list, int nColumn) {
    QStringList texts;
    for (int nRow = 0; nRow < list->GetItemCount(); ++nRow)
        texts << list->GetItemText(nRow, nColumn);
    return texts;
}

void ClickRow(CListCtrl* list, int nRow) {
    const QRect rect = list->visualItemRect(list->topLevelItem(nRow));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
}

void Later(std::chrono::milliseconds delay, QObject* context, std::function<void()> action) {
    QTimer::singleShot(delay, context, std::move(action));
}

// Commands split at their carriage returns.
QStringList Commands(const std::string& bytes) {
    QStringList commands = FromBytes(bytes).split(u'\r');
    if (!commands.isEmpty() && commands.last().isEmpty())
        commands.removeLast();
    return commands;
}

// Every request of one download, in order.
QStringList DownloadRequests() {
    QStringList requests;
    for (int p = 1; p <= 8; ++p)
        for (int r = 0; r < 32; ++r)
            requests << QStringLiteral("?L%1%2").arg(p).arg(r, 2, 10, QChar(u'0'));
    for (int p = 1; p <= 8; ++p)
        for (int k = 0; k < 10; ++k)
            requests << QStringLiteral("?C%1%2").arg(p).arg(k);
    return requests;
}

// What the simulator holds for programs 1 to 8, rows 0 to 20 and CD0 to CD9, asked with its own link.
struct CDeviceData {
    std::map<std::pair<int, int>, std::pair<int, int>> rows; // (program, row) -> (light, signal)
    std::map<std::pair<int, int>, std::string> intervals;    // (program, interval) -> time as the device sends it
};

CDeviceData AskDevice(const std::string& strDevice) {
    CDeviceData data;
    CSerialLink link;
    if (!link.OpenDevice(strDevice, 9600))
        return data;
    std::size_t nAsked = 0;
    for (int p = 1; p <= 8; ++p) {
        for (int r = 0; r < CProgramStore::kRows; ++r, ++nAsked)
            link.Write("?L" + std::to_string(p) + (r < 10 ? "0" : "") + std::to_string(r) + "\r");
        for (int k = 0; k < 10; ++k, ++nAsked)
            link.Write("?C" + std::to_string(p) + std::to_string(k) + "\r");
    }
    QElapsedTimer clock;
    clock.start();
    std::string strLine;
    while (data.rows.size() + data.intervals.size() < nAsked && clock.elapsed() < 10000) {
        if (!link.PopLine(strLine)) {
            QTest::qWait(5);
            continue;
        }
        if (strLine.size() == 7 && strLine.starts_with("L?"))
            data.rows[{strLine[2] - '0', std::stoi(strLine.substr(3, 2))}] = {strLine[5] - '0', strLine[6] - '0'};
        else if (strLine.size() == 8 && strLine.starts_with("C?"))
            data.intervals[{strLine[2] - '0', strLine[3] - '0'}] = strLine.substr(4);
    }
    link.Close();
    return data;
}

// The texts the English language gives the setting codes.
const QStringList kLights{"Off", "Red", "Yellow", "Green"};
const QStringList kSignals{"None", "Short", "Long"};

} // namespace

class CParametersDlgTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { LoadLanguage("none-loaded"); }

    void opensWithoutAProgramFile() {
        CDialogFiles beside(kSettings, kLanguageFiles);
        CParametersDlg dialog;
        QStringList messages;
        bool bShownAtMessage = true;
        const MessageBoxHook previous = SetMessageBoxHook([&](const QString&, const QString& strText) {
            messages << strText;
            bShownAtMessage = dialog.isVisible();
        });
        dialog.Create();
        SetMessageBoxHook(previous);

        QCOMPARE(messages, QStringList{"Can't Open File!"});
        QVERIFY(!bShownAtMessage);
        QCOMPARE(dialog.windowTitle(), QString("Parameters Dialog"));
        QCOMPARE(Details(dialog)->GetItemCount(), 0);
        QCOMPARE(Column(Intervals(dialog), 0),
                 (QStringList{"CD0", "CD1", "CD2", "CD3", "CD4", "CD5", "CD6", "CD7", "CD8", "CD9"}));
        QCOMPARE(Column(Intervals(dialog), 1), QStringList(10, QString()));

        QCOMPARE(ComboEntries(*Combo(dialog, IDC_SELECT_PROGRAM)),
                 (QStringList{"P0", "P1", "P2", "P3", "P4", "P5", "P6", "P7", "P8"}));
        QCOMPARE(Combo(dialog, IDC_SELECT_PROGRAM)->GetCurSel(), 1);
        QCOMPARE(Combo(dialog, IDC_SELECT_PROGRAM)->currentText(), QString("P1"));
        QCOMPARE(ComboEntries(*Combo(dialog, IDC_FIRST_SETTING)), kLights);
        QCOMPARE(Combo(dialog, IDC_FIRST_SETTING)->GetCurSel(), 0);
        QCOMPARE(ComboEntries(*Combo(dialog, IDC_SECOND_SETTING)), kSignals);
        QCOMPARE(Combo(dialog, IDC_SECOND_SETTING)->GetCurSel(), 0);

        QCOMPARE(Progress(dialog)->minimum(), 0);
        QCOMPARE(Progress(dialog)->maximum(), 336);
        QCOMPARE(Progress(dialog)->value(), 0);
        QCOMPARE(IntervalEdit(dialog)->maxLength(), 5);
        QVERIFY(dialog.GetDlgItem(IDC_PAINT)->isHidden());
        QVERIFY(!dialog.SendCommand(IDC_PAINT));
        QVERIFY(!dialog.IsTimerRunning(CParametersDlg::kTransferTimer));
    }

    void listsHaveTheirColumns_data() {
        QTest::addColumn<int>("nList");
        QTest::addColumn<int>("nColumn");
        QTest::addColumn<QString>("strHeading");
        QTest::addColumn<int>("nWidth");
        QTest::newRow("minute") << IDC_PROGRAM_DETAILS << 0 << "Minute" << 55;
        QTest::newRow("light") << IDC_PROGRAM_DETAILS << 1 << "Light" << 80;
        QTest::newRow("signal") << IDC_PROGRAM_DETAILS << 2 << "Signal" << 50;
        QTest::newRow("cd number") << IDC_INTERVALS << 0 << "CD No" << 50;
        QTest::newRow("cd time") << IDC_INTERVALS << 1 << "CD Time" << 60;
    }

    void listsHaveTheirColumns() {
        QFETCH(int, nList);
        QFETCH(int, nColumn);
        QFETCH(QString, strHeading);
        QFETCH(int, nWidth);
        CDialogFiles beside(kSettings, kLanguageFiles);
        beside.Write("P1.txt", kThree);
        CParametersDlg dialog;
        dialog.Create();
        auto* list = dialog.Item<CListCtrl>(nList);
        QCOMPARE(list->columnCount(), nList == IDC_PROGRAM_DETAILS ? 3 : 2);
        QCOMPARE(list->headerItem()->text(nColumn), strHeading);
        QCOMPARE(list->header()->sectionSize(nColumn), nWidth);
        QCOMPARE(list->headerItem()->textAlignment(nColumn) & Qt::AlignHorizontal_Mask, int(Qt::AlignHCenter));
        QCOMPARE(list->topLevelItem(0)->textAlignment(nColumn) & Qt::AlignHorizontal_Mask, int(Qt::AlignHCenter));
        QCOMPARE(list->selectionBehavior(), QAbstractItemView::SelectRows);
    }

    void withoutALanguageEveryTextItAsksForIsAQuestionMark() {
        CDialogFiles beside(kSettings, kLanguageFiles);
        beside.Write("config.ini", "");
        beside.Write("P1.txt", kThree);
        CParametersDlg dialog;
        dialog.Create();
        QCOMPARE(dialog.windowTitle(), QString("Parameters Dialog"));
        QCOMPARE(Details(dialog)->headerItem()->text(1), QString("?"));
        QCOMPARE(ComboEntries(*Combo(dialog, IDC_FIRST_SETTING)), QStringList(4, "?"));
        QCOMPARE(Column(Details(dialog), 2), QStringList(3, "?"));
        // The position is the code: a choice among equal texts still sets the right one.
        ClickRow(Details(dialog), 0);
        Choose(Combo(dialog, IDC_FIRST_SETTING), 2);
        QCOMPARE(dialog.Store().GetFirstSetting(1, 0), std::optional<int>(2));
    }

    void opensWithAProgramFile() {
        CDialogFiles beside(kSettings, kLanguageFiles);
        beside.Write("P1.txt", kThree);
        CParametersDlg dialog;
        dialog.Create();
        QVERIFY(beside.Messages().empty());
        QCOMPARE(Column(Details(dialog), 0), (QStringList{"10", "9", "8"}));
        QCOMPARE(Column(Details(dialog), 1), (QStringList{"Off", "Yellow", "Green"}));
        QCOMPARE(Column(Details(dialog), 2), (QStringList{"None", "Short", "Long"}));
        QCOMPARE(Column(Intervals(dialog), 1), (QStringList{"1:30", "Break", "10:00", "", "", "", "", "", "", ""}));
        QCOMPARE(dialog.Store().RowCount(), 3);
    }

    void changeRightAfterOpeningStoresIntoCD0() {
        CDialogFiles beside(kSettings, kLanguageFiles);
        beside.Write("P1.txt", kThree);
        CParametersDlg dialog;
        dialog.Create();
        IntervalEdit(dialog)->setText("2:00");
        QVERIFY(dialog.SendCommand(IDC_CHANGE_INTERVAL));
        QCOMPARE(Intervals(dialog)->GetItemText(0, 1), QString("2:00"));
        QCOMPARE(dialog.Store().GetInterval(1, 0), std::string("2:00"));
        // No test of its form: what is typed is what is kept.
        IntervalEdit(dialog)->setText("x;y");
        dialog.SendCommand(IDC_CHANGE_INTERVAL);
        QCOMPARE(dialog.Store().GetInterval(1, 0), std::string("x;y"));
    }

    void settingChoiceBeforeAnyRowIsSelectedChangesNothing_data() {
        QTest::addColumn<int>("nCombo");
        QTest::newRow("light") << IDC_FIRST_SETTING;
        QTest::newRow("signal") << IDC_SECOND_SETTING;
    }

    void settingChoiceBeforeAnyRowIsSelectedChangesNothing() {
        QFETCH(int, nCombo);
        CDialogFiles beside(kSettings, kLanguageFiles);
        beside.Write("P1.txt", kThree);
        CParametersDlg dialog;
        dialog.Create();
        const QStringList before = Column(Details(dialog), 1) + Column(Details(dialog), 2);
        Choose(Combo(dialog, nCombo), 2);
        QCOMPARE(Column(Details(dialog), 1) + Column(Details(dialog), 2), before);
        QVERIFY(!dialog.Store().IsModified(1));
    }

    void selectedRowShowsItsSettingsAndTakesTheChoices() {
        CDialogFiles beside(kSettings, kLanguageFiles);
        beside.Write("P1.txt", kThree);
        CParametersDlg dialog;
        dialog.Create();
        auto* lightChoice = Combo(dialog, IDC_FIRST_SETTING);
        auto* signalChoice = Combo(dialog, IDC_SECOND_SETTING);
        ClickRow(Details(dialog), 1);
        // The edit fields show the row; the lists keep their selection.
        QCOMPARE(lightChoice->currentText(), QString("Yellow"));
        QCOMPARE(lightChoice->GetCurSel(), 0);
        QCOMPARE(signalChoice->currentText(), QString("Short"));
        QCOMPARE(signalChoice->GetCurSel(), 0);

        Choose(lightChoice, 3);
        QCOMPARE(Column(Details(dialog), 1), (QStringList{"Off", "Green", "Green"}));
        Choose(signalChoice, 0);
        QCOMPARE(Column(Details(dialog), 2), (QStringList{"None", "None", "Long"}));
        QCOMPARE(dialog.Store().GetFirstSetting(1, 1), std::optional<int>(3));
        QCOMPARE(dialog.Store().GetSecondSetting(1, 1), std::optional<int>(0));
        // Edits stay in memory until saved.
        QCOMPARE(beside.Read("P1.txt"), std::optional<std::string>(kThree));

        // Typing into a choice's edit field chooses nothing, not even an entry's text.
        ClickRow(Details(dialog), 2);
        lightChoice->setFocus();
        lightChoice->lineEdit()->selectAll();
        QTest::keyClicks(lightChoice->lineEdit(), "Off");
        QTest::keyClick(lightChoice->lineEdit(), Qt::Key_Return);
        QCOMPARE(dialog.Store().GetFirstSetting(1, 2), std::optional<int>(3));
        QVERIFY(!dialog.IsEnded());
    }

    void selectedIntervalGoesToTheFieldAndChangeStoresIt() {
        CDialogFiles beside(kSettings, kLanguageFiles);
        beside.Write("P1.txt", kThree);
        CParametersDlg dialog;
        dialog.Create();
        ClickRow(Intervals(dialog), 1);
        QCOMPARE(IntervalEdit(dialog)->text(), QString("Break"));
        QCOMPARE(dialog.focusWidget(), IntervalEdit(dialog));
        IntervalEdit(dialog)->setText("3:00");
        dialog.SendCommand(IDC_CHANGE_INTERVAL);
        QCOMPARE(Column(Intervals(dialog), 1), (QStringList{"1:30", "3:00", "10:00", "", "", "", "", "", "", ""}));
        // The field takes five characters at most.
        IntervalEdit(dialog)->clear();
        QTest::keyClicks(IntervalEdit(dialog), "123456");
        QCOMPARE(IntervalEdit(dialog)->text(), QString("12345"));
    }

    void enterStoresTheIntervalAndNeverClosesTheDialog_data() {
        QTest::addColumn<int>("nFocus");
        QTest::addColumn<QString>("strInterval"); // CD0 afterwards
        QTest::newRow("interval field") << IDC_INTERVAL_TEXT << "4:00";
        QTest::newRow("detail list") << IDC_PROGRAM_DETAILS << "1:30";
        QTest::newRow("interval list") << IDC_INTERVALS << "1:30";
        QTest::newRow("program choice") << IDC_SELECT_PROGRAM << "1:30";
    }

    void enterStoresTheIntervalAndNeverClosesTheDialog() {
        QFETCH(int, nFocus);
        QFETCH(QString, strInterval);
        CDialogFiles beside(kSettings, kLanguageFiles);
        beside.Write("P1.txt", kThree);
        CParametersDlg dialog;
        dialog.Create();
        IntervalEdit(dialog)->setText("4:00");
        QWidget* target = dialog.GetDlgItem(nFocus);
        if (auto* combo = qobject_cast<CComboBox*>(target)) {
            // A program typed into the choice's field is no choice either.
            combo->lineEdit()->setText("P3");
            target = combo->lineEdit();
        }
        target->setFocus();
        QTest::keyClick(target, Qt::Key_Return);
        QVERIFY(!dialog.IsEnded());
        QVERIFY(dialog.isVisible());
        QCOMPARE(Intervals(dialog)->GetItemText(0, 1), strInterval);
        QCOMPARE(dialog.Store().RowCount(), 3); // still program 1 from its file
    }

    void closingSavesAndSendsNothing_data() {
        QTest::addColumn<QString>("strHow");
        QTest::addColumn<int>("nResult");
        QTest::newRow("ok") << "ok" << int(IDOK);
        QTest::newRow("escape") << "escape" << int(IDCANCEL);
        QTest::newRow("close box") << "close" << int(IDCANCEL);
    }

    void closingSavesAndSendsNothing() {
        QFETCH(QString, strHow);
        QFETCH(int, nResult);
        CDialogFiles beside(kSettings, kLanguageFiles);
        beside.Write("P1.txt", kThree);
        CPtyPeer peer;
        peer.LinkAsPort(beside.Dir().Path(), kPort);
        CParametersDlg dialog;
        dialog.Create();
        IntervalEdit(dialog)->setText("7:00");
        dialog.SendCommand(IDC_CHANGE_INTERVAL);
        if (strHow == "ok")
            QTest::mouseClick(dialog.GetDlgItem(IDOK), Qt::LeftButton);
        else if (strHow == "escape")
            QTest::keyClick(&dialog, Qt::Key_Escape);
        else
            dialog.close();
        QVERIFY(dialog.IsEnded());
        QCOMPARE(dialog.result(), nResult);
        QCOMPARE(beside.Read("P1.txt"), std::optional<std::string>(kThree));
        QCOMPARE(peer.ReadFor(100ms), std::string());
    }

    void saveWritesTheFileAndReopeningShowsIt() {
        CDialogFiles beside(kSettings, kLanguageFiles);
        beside.Write("P1.txt", kThree);
        {
            CParametersDlg dialog;
            dialog.Create();
            ClickRow(Details(dialog), 0);
            Choose(Combo(dialog, IDC_FIRST_SETTING), 2);
            ClickRow(Intervals(dialog), 2);
            IntervalEdit(dialog)->setText("0:45");
            dialog.SendCommand(IDC_CHANGE_INTERVAL);
            dialog.SendCommand(IDC_SAVE_PROGRAM);
            QVERIFY(!dialog.Store().IsModified(1));
        }
        const std::string saved = FileText({"10;2;0;1:30;", "9;2;1;Break;", "8;3;2;0:45;"});
        QCOMPARE(beside.Read("P1.txt"), std::optional<std::string>(saved));

        CParametersDlg reopened;
        reopened.Create();
        QCOMPARE(Column(Details(reopened), 1), (QStringList{"Yellow", "Yellow", "Green"}));
        QCOMPARE(Column(Intervals(reopened), 1), (QStringList{"1:30", "Break", "0:45", "", "", "", "", "", "", ""}));
        reopened.SendCommand(IDC_SAVE_PROGRAM);
        QCOMPARE(beside.Read("P1.txt"), std::optional<std::string>(saved));
    }

    void fileThatCannotBeWrittenIsReportedAndTheDialogStaysOpen() {
        CDialogFiles beside(kSettings, kLanguageFiles);
        QDir(QString::fromStdString(beside.Dir().Path())).mkdir("P1.txt");
        CParametersDlg dialog;
        dialog.Create();
        dialog.SendCommand(IDC_SAVE_PROGRAM);
        QCOMPARE(beside.Messages(), (std::vector<QString>{"Can't Open File!", "Can't open file!"}));
        QVERIFY(!dialog.IsEnded());
    }

    void editedDataSurvivesSwitchingPrograms() {
        CDialogFiles beside(kSettings, kLanguageFiles);
        beside.Write("P1.txt", kThree);
        beside.Write("P2.txt", FileText({"10;3;2;7:00;", "9;3;2;7:30;", "8;3;2;;", "7;3;2;;", "6;3;2;;"}));
        CParametersDlg dialog;
        dialog.Create();
        auto* programs = Combo(dialog, IDC_SELECT_PROGRAM);
        IntervalEdit(dialog)->setText("9:59");
        dialog.SendCommand(IDC_CHANGE_INTERVAL);

        Choose(programs, 2); // read from its file
        QCOMPARE(Column(Details(dialog), 1), QStringList(5, "Green"));
        QCOMPARE(Intervals(dialog)->GetItemText(0, 1), QString("7:00"));

        Choose(programs, 1); // edited since read: kept, with the rows it showed
        QCOMPARE(Column(Details(dialog), 0), (QStringList{"10", "9", "8"}));
        QCOMPARE(Column(Intervals(dialog), 1), (QStringList{"9:59", "Break", "10:00", "", "", "", "", "", "", ""}));
        dialog.SendCommand(IDC_SAVE_PROGRAM);
        QCOMPARE(beside.Read("P1.txt"),
                 std::optional<std::string>(FileText({"10;0;0;9:59;", "9;2;1;Break;", "8;3;2;10:00;"})));

        // A program without a file keeps the rows shown before and shows its own (empty) settings.
        Choose(programs, 3);
        QCOMPARE(beside.Messages(), std::vector<QString>{"Can't Open File!"});
        QCOMPARE(Column(Details(dialog), 1), QStringList(3, QString()));
        QCOMPARE(Column(Intervals(dialog), 1), QStringList(10, QString()));
    }

    void uploadOfDetailsSendsEveryRowAtItsPaceAndSaves() {
        CDialogFiles beside(kSettings, kLanguageFiles);
        beside.Write("P1.txt", kEleven);
        CPtyPeer peer;
        peer.LinkAsPort(beside.Dir().Path(), kPort);
        CParametersDlg dialog;
        dialog.Create();
        IntervalEdit(dialog)->setText("1:45");
        dialog.SendCommand(IDC_CHANGE_INTERVAL);

        bool bPumped = false;
        bool bDisabledMeanwhile = false;
        Later(0ms, &dialog, [&] {
            bPumped = dialog.IsTransferring();
            bDisabledMeanwhile = !dialog.GetDlgItem(IDC_UPLOAD_DETAILS)->isEnabled();
        });
        QElapsedTimer clock;
        clock.start();
        dialog.SendCommand(IDC_UPLOAD_DETAILS);
        const qint64 nElapsed = clock.elapsed();

        QCOMPARE(Commands(peer.ReadFor(kPeerWait)),
                 (QStringList{"=L10001", "=L10112", "=L10220", "=L10331", "=L10402", "=L10510", "=L10621", "=L10732",
                              "=L10800", "=L10911", "=L11022"}));
        QVERIFY2(nElapsed >= 11 * 60 - 5, qPrintable(QString::number(nElapsed)));
        QVERIFY2(nElapsed < 10000, qPrintable(QString::number(nElapsed)));
        QVERIFY(bPumped);
        QVERIFY(bDisabledMeanwhile);
        QVERIFY(dialog.GetDlgItem(IDC_UPLOAD_DETAILS)->isEnabled());
        QVERIFY(!dialog.IsTransferring());
        QCOMPARE(beside.Read("P1.txt"), std::optional<std::string>("10;0;1;1:45;\r\n" + kEleven.substr(14)));
    }

    void uploadOfIntervalsSendsTheShownTimesWithoutPausingForMessages() {
        CDialogFiles beside(kSettings, kLanguageFiles);
        beside.Write("P1.txt", kThree);
        CPtyPeer peer;
        peer.LinkAsPort(beside.Dir().Path(), kPort);
        CParametersDlg dialog;
        dialog.Create();
        ClickRow(Intervals(dialog), 3);
        IntervalEdit(dialog)->setText("1:3:0");
        dialog.SendCommand(IDC_CHANGE_INTERVAL);

        bool bRanDuring = false;
        Later(0ms, &dialog, [&] { bRanDuring = dialog.IsTransferring(); });
        QElapsedTimer clock;
        clock.start();
        dialog.SendCommand(IDC_UPLOAD_INTERVALS);
        const qint64 nElapsed = clock.elapsed();
        QCoreApplication::processEvents();

        QCOMPARE(Commands(peer.ReadFor(kPeerWait)), (QStringList{"=W10130", "=W11Break", "=W121000", "=W13130", "=W14",
                                                                 "=W15", "=W16", "=W17", "=W18", "=W19"}));
        QVERIFY2(nElapsed >= 10 * 60 - 5, qPrintable(QString::number(nElapsed)));
        QVERIFY(!bRanDuring);
        // Saved afterwards: the file has the rows it had, and CD3 is not among them.
        QCOMPARE(beside.Read("P1.txt"), std::optional<std::string>(kThree));
        QVERIFY(!dialog.Store().IsModified(1));
    }

    void uploadWithNoRowsSendsNothingButSavesAnEmptyFile() {
        CDialogFiles beside(kSettings, kLanguageFiles);
        CPtyPeer peer;
        peer.LinkAsPort(beside.Dir().Path(), kPort);
        CParametersDlg dialog;
        dialog.Create();
        dialog.SendCommand(IDC_UPLOAD_DETAILS);
        QCOMPARE(peer.ReadFor(200ms), std::string());
        QCOMPARE(beside.Read("P1.txt"), std::optional<std::string>(std::string()));
        QCOMPARE(beside.Messages(), std::vector<QString>{"Can't Open File!"});
    }

    void withoutPortSettingsTheMainWindowsPortIsUsed() {
        CDialogFiles beside(kLanguageOnly, kLanguageFiles);
        beside.Write("P1.txt", kThree);
        CPtyPeer peer;
        peer.LinkAsPort(beside.Dir().Path(), kDefaultPort);
        CParametersDlg dialog;
        dialog.Create();
        dialog.SendCommand(IDC_UPLOAD_INTERVALS);
        QCOMPARE(Commands(peer.ReadFor(kPeerWait)).size(), 10);
        QVERIFY(beside.Messages().empty());
    }

    void portThatCannotBeOpenedIsReportedAndTheUploadStillSaves() {
        CDialogFiles beside(kSettings, kLanguageFiles);
        beside.Write("P1.txt", kThree);
        CParametersDlg dialog;
        dialog.Create();
        IntervalEdit(dialog)->setText("0:10");
        dialog.SendCommand(IDC_CHANGE_INTERVAL);
        dialog.SendCommand(IDC_UPLOAD_INTERVALS);
        QCOMPARE(beside.Messages(), std::vector<QString>{"Can't open COM port"});
        QCOMPARE(beside.Read("P1.txt"),
                 std::optional<std::string>(FileText({"10;0;0;0:10;", "9;2;1;Break;", "8;3;2;10:00;"})));
        QVERIFY(!dialog.IsEnded());
    }

    // A request to close while a download runs stops its requests; the dialog closes once the link is closed,
    // and what arrived meanwhile is decoded and shown, all rows of it although there was no program file.
    void closingDuringADownloadWaitsForItsEnd_data() {
        QTest::addColumn<QString>("strHow");
        QTest::addColumn<int>("nResult");
        QTest::newRow("escape") << "escape" << int(IDCANCEL);
        QTest::newRow("close box") << "close" << int(IDCANCEL);
        QTest::newRow("ok") << "ok" << int(IDOK);
    }

    void closingDuringADownloadWaitsForItsEnd() {
        QFETCH(QString, strHow);
        QFETCH(int, nResult);
        CDialogFiles beside(kSettings, kLanguageFiles);
        CPtyPeer peer;
        peer.LinkAsPort(beside.Dir().Path(), kPort);
        CParametersDlg dialog;
        dialog.Create();
        int nMaxProgress = 0;
        connect(Progress(dialog), &QProgressBar::valueChanged, this,
                [&nMaxProgress](int nValue) { nMaxProgress = std::max(nMaxProgress, nValue); });

        Later(150ms, &dialog, [&] { peer.Write("L?10031\rL?10121\rL?10200\rOK\r\rC?101:30\rC?110:00\r"); });
        bool bEndedAtRequest = true;
        bool bTransferringAfterRequest = false;
        Later(600ms, &dialog, [&] {
            if (strHow == "ok")
                QTest::mouseClick(dialog.GetDlgItem(IDOK), Qt::LeftButton);
            else if (strHow == "escape")
                QTest::keyClick(&dialog, Qt::Key_Escape);
            else
                dialog.close();
            bEndedAtRequest = dialog.IsEnded();
            bTransferringAfterRequest = dialog.IsTransferring();
        });
        dialog.SendCommand(IDC_DOWNLOAD);

        QVERIFY(!bEndedAtRequest);
        QVERIFY(bTransferringAfterRequest);
        QVERIFY(dialog.IsEnded());
        QCOMPARE(dialog.result(), nResult);
        const QStringList sent = Commands(peer.ReadFor(200ms));
        QVERIFY(!sent.isEmpty());
        QVERIFY2(sent.size() < 40, qPrintable(QString::number(sent.size())));
        QCOMPARE(sent, DownloadRequests().mid(0, sent.size()));

        QCOMPARE(nMaxProgress, 5);
        QCOMPARE(Progress(dialog)->value(), 0);
        QCOMPARE(Column(Details(dialog), 0), (QStringList{"10", "9", "8"}));
        QCOMPARE(Column(Details(dialog), 1), (QStringList{"Green", "Yellow", "Off"}));
        QCOMPARE(Column(Details(dialog), 2), (QStringList{"Short", "Short", "None"}));
        QCOMPARE(Column(Intervals(dialog), 1), (QStringList{"1:30", "Break", "", "", "", "", "", "", "", ""}));
        QCOMPARE(dialog.Store().RowCount(), 3); // an upload or a save would cover them too
        QCOMPARE(beside.Messages(), std::vector<QString>{"Can't Open File!"});
    }

    void closingDuringAnUploadLetsItFinishAndSave() {
        CDialogFiles beside(kSettings, kLanguageFiles);
        beside.Write("P1.txt", kEleven);
        CPtyPeer peer;
        peer.LinkAsPort(beside.Dir().Path(), kPort);
        CParametersDlg dialog;
        dialog.Create();
        IntervalEdit(dialog)->setText("0:20");
        dialog.SendCommand(IDC_CHANGE_INTERVAL);
        bool bEndedAtRequest = true;
        Later(100ms, &dialog, [&] {
            QTest::keyClick(&dialog, Qt::Key_Escape);
            bEndedAtRequest = dialog.IsEnded();
        });
        dialog.SendCommand(IDC_UPLOAD_DETAILS);
        QVERIFY(!bEndedAtRequest);
        QVERIFY(dialog.IsEnded());
        QCOMPARE(dialog.result(), int(IDCANCEL));
        QCOMPARE(Commands(peer.ReadFor(kPeerWait)).size(), 11);
        QCOMPARE(beside.Read("P1.txt"), std::optional<std::string>("10;0;1;0:20;\r\n" + kEleven.substr(14)));
    }

    // The one full download of this file: the simulator first gets program 1 uploaded, then is downloaded while
    // "P0" is the current program.
    void fullDownloadFromTheSimulator() {
        CDialogFiles beside(kSettings, kLanguageFiles);
        const std::string p0 = FileText({"10;1;1;2:00;", "9;2;2;2:30;"});
        beside.Write("P0.txt", p0);
        beside.Write("P1.txt", kEleven);
        beside.Write("P2.txt", FileText({"10;3;2;7:00;", "9;3;2;7:30;"}));
        const std::string strRecord = beside.Dir().File("received.bin");
        CSimProcess sim(beside.Dir().Path(), {"--com", std::to_string(kPort), "--record", strRecord});
        CParametersDlg dialog;
        dialog.Create();

        // Upload program 1, then see what the device holds.
        dialog.SendCommand(IDC_UPLOAD_DETAILS);
        dialog.SendCommand(IDC_UPLOAD_INTERVALS);
        const CDeviceData device = AskDevice(sim.LinkPath());
        QCOMPARE(device.rows.size(), std::size_t{8 * 21});
        QCOMPARE(device.intervals.size(), std::size_t{8 * 10});
        const QStringList uploadedLights{"Off",    "Red",   "Yellow", "Green", "Off",   "Red",
                                         "Yellow", "Green", "Off",    "Red",   "Yellow"};
        for (int r = 0; r <= 10; ++r) {
            QCOMPARE(device.rows.at({1, r}).first, r % 4);
            QCOMPARE(device.rows.at({1, r}).second, (r + 1) % 3);
        }
        QCOMPARE(device.intervals.at({1, 0}), std::string("1:30"));
        QCOMPARE(device.intervals.at({1, 1}), std::string("0:00")); // "Break"

        Choose(Combo(dialog, IDC_SELECT_PROGRAM), 0);
        QCOMPARE(Details(dialog)->GetItemCount(), 2);

        int nMaxProgress = 0;
        connect(Progress(dialog), &QProgressBar::valueChanged, this,
                [&nMaxProgress](int nValue) { nMaxProgress = std::max(nMaxProgress, nValue); });
        QList<bool> enabledMeanwhile;
        bool bStillOneDownload = false;
        Later(1500ms, &dialog, [&] {
            for (const int nId :
                 {IDC_UPLOAD_DETAILS, IDC_UPLOAD_INTERVALS, IDC_SAVE_PROGRAM, IDC_DOWNLOAD, IDC_SELECT_PROGRAM, IDOK})
                enabledMeanwhile << dialog.GetDlgItem(nId)->isEnabled();
            // A second download, a save and another program are all refused while the first one runs.
            QTest::mouseClick(dialog.GetDlgItem(IDC_DOWNLOAD), Qt::LeftButton);
            dialog.SendCommand(IDC_DOWNLOAD);
            dialog.SendCommand(IDC_UPLOAD_DETAILS);
            dialog.SendCommand(IDC_SAVE_PROGRAM);
            QTest::keyClick(Combo(dialog, IDC_SELECT_PROGRAM), Qt::Key_Down);
            bStillOneDownload = dialog.IsTransferring() && Progress(dialog)->value() > 0;
        });
        const std::size_t nRecordedBefore = ReadFileBytes(strRecord).value_or("").size();
        QElapsedTimer clock;
        clock.start();
        dialog.SendCommand(IDC_DOWNLOAD);
        const qint64 nElapsed = clock.elapsed();

        // Exactly one download went out, in order, at its pace.
        QCOMPARE(enabledMeanwhile, (QList<bool>{false, false, false, false, false, true}));
        QVERIFY(bStillOneDownload);
        const std::string received = ReadFileBytes(strRecord).value_or("");
        QCOMPARE(Commands(received.substr(std::min(nRecordedBefore, received.size()))), DownloadRequests());
        QVERIFY2(nElapsed >= 336 * 60 - 5, qPrintable(QString::number(nElapsed)));
        QCOMPARE(nMaxProgress, 336);
        QCOMPARE(Progress(dialog)->value(), 0);
        QVERIFY(dialog.IsTimerRunning(CParametersDlg::kTransferTimer));
        QVERIFY(beside.Messages().empty());

        // "P0" stays current and unchanged; the store holds what the device holds.
        QCOMPARE(Combo(dialog, IDC_SELECT_PROGRAM)->GetCurSel(), 0);
        QCOMPARE(Column(Details(dialog), 1), (QStringList{"Red", "Yellow"}));
        QCOMPARE(Column(Details(dialog), 2), (QStringList{"Short", "Long"}));
        QCOMPARE(Column(Intervals(dialog), 1).mid(0, 2), (QStringList{"2:00", "2:30"}));
        QVERIFY(!dialog.Store().IsModified(0));
        const CProgramStore& store = dialog.Store();
        for (int p = 1; p <= 8; ++p) {
            for (int r = 0; r < CProgramStore::kRows; ++r) {
                QCOMPARE(store.GetFirstSetting(p, r), std::optional<int>(device.rows.at({p, r}).first));
                QCOMPARE(store.GetSecondSetting(p, r), std::optional<int>(device.rows.at({p, r}).second));
            }
            for (int k = 0; k < 10; ++k) {
                const std::string& time = device.intervals.at({p, k});
                QCOMPARE(store.GetInterval(p, k), time == "0:00" ? std::string("Break") : time);
            }
            QCOMPARE(store.FilledRowCount(p), CProgramStore::kRows);
        }

        // Program 2 shows what was downloaded, not its file, in the two rows its file has; program 3 (no file)
        // shows every downloaded row.
        auto* programs = Combo(dialog, IDC_SELECT_PROGRAM);
        Choose(programs, 2);
        QCOMPARE(Details(dialog)->GetItemCount(), 2);
        QCOMPARE(Details(dialog)->GetItemText(1, 1), kLights[device.rows.at({2, 1}).first]);
        QCOMPARE(Intervals(dialog)->GetItemText(0, 1), FromBytes(device.intervals.at({2, 0})));
        Choose(programs, 3);
        QVERIFY(beside.Messages().empty());
        QCOMPARE(Column(Details(dialog), 0).last(), QString("-10"));
        QStringList lightChoice;
        std::string expectedFile;
        for (int r = 0; r < CProgramStore::kRows; ++r) {
            const auto [nLight, nSignal] = device.rows.at({3, r});
            lightChoice << kLights[nLight];
            expectedFile += std::to_string(10 - r) + ";" + std::to_string(nLight) + ";" + std::to_string(nSignal) +
                            ";" + (r < 10 ? store.GetInterval(3, r) : "") + ";\r\n";
        }
        QCOMPARE(Column(Details(dialog), 1), lightChoice);

        // Saving covers every shown row and stops the transfer timer.
        dialog.SendCommand(IDC_SAVE_PROGRAM);
        QCOMPARE(beside.Read("P3.txt"), std::optional<std::string>(expectedFile));
        QVERIFY(!dialog.IsTimerRunning(CParametersDlg::kTransferTimer));
        Choose(programs, 1);
        QCOMPARE(Column(Details(dialog), 1).mid(0, 11), uploadedLights);
        QCOMPARE(Column(Intervals(dialog), 1),
                 (QStringList{"1:30", "Break", "0:45", "2:00", "3:15", "Break", "4:00", "0:30", "5:00", "9:59"}));
        QCOMPARE(beside.Read("P0.txt"), std::optional<std::string>(p0));

        // P1.txt has eleven lines: after the download the program still has eleven rows, the upload sends eleven
        // rows and the file keeps eleven lines.
        QCOMPARE(Details(dialog)->GetItemCount(), 11);
        const std::size_t nBeforeUpload = ReadFileBytes(strRecord).value_or("").size();
        dialog.SendCommand(IDC_UPLOAD_DETAILS);
        const QStringList uploaded = Commands(ReadFileBytes(strRecord).value_or("").substr(nBeforeUpload));
        QCOMPARE(uploaded.size(), 11);
        QCOMPARE(uploaded.first(), QString("=L100") + QString::number(device.rows.at({1, 0}).first) +
                                       QString::number(device.rows.at({1, 0}).second));
        QCOMPARE(uploaded.last(), QString("=L110") + QString::number(device.rows.at({1, 10}).first) +
                                      QString::number(device.rows.at({1, 10}).second));
        QCOMPARE(SplitTextLines(beside.Read("P1.txt").value_or("")).size(), std::size_t{11});
    }

    // docs/parameters.png: the dialog after a download from the simulator, with a detail row selected.
    void screenshot() {
        const QByteArray strDirectory = qgetenv("KALVORA_SCREENSHOT_DIR");
        if (strDirectory.isEmpty())
            QSKIP("KALVORA_SCREENSHOT_DIR is not set");
        CDialogFiles beside(kSettings, kLanguageFiles);
        CSimProcess sim(beside.Dir().Path(), {"--com", std::to_string(kPort)});
        CParametersDlg dialog;
        dialog.Create();
        dialog.SendCommand(IDC_DOWNLOAD);
        ClickRow(Details(dialog), 6);
        ClickRow(Intervals(dialog), 2);
        ClickRow(Details(dialog), 6);
        QTest::qWait(200);
        QVERIFY(dialog.grab().save(QString::fromLocal8Bit(strDirectory) + "/parameters.png"));
    }
};

QTEST_MAIN(CParametersDlgTest)
#include "ParametersDlgTest.moc"
