#include "settings/ComPortDlg.h"
#include "tests/support/DialogTesting.h"

#include "base/Files.h"
#include "base/IniFile.h"
#include "i18n/Language.h"
#include "res/Resource.h"
#include "tests/support/PtyPeer.h"
#include "tests/support/InstalledLayout.h"
#include "tests/support/TempDir.h"

#include <QLabel>
#include <QPushButton>
#include <QtTest>

#include <filesystem>
#include <optional>
#include <string>

namespace {

constexpr int kCallerBaudRate = 4800; // the main window's current rate, handed in at construction

std::string Stored(const CTempDir& directory, const char* pszKey) {
    return CIniFile::GetString(directory.File("config.ini"), "Settings", pszKey).value_or("(absent)");
}

} // namespace

class CComPortDlgTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { LoadLanguage("none-loaded"); }

    void showsTwentyPortsAndFiveRatesUnsorted() {
        CExecutableDirectory directory;
        CComPortDlg dialog(kCallerBaudRate);
        dialog.Create();
        QCOMPARE(dialog.windowTitle(), QString("COM Port Settings"));
        QStringList ports;
        for (int n = 1; n <= 20; ++n)
            ports << QStringLiteral("COM %1").arg(n);
        QCOMPARE(ComboEntries(dialog.m_comboPort), ports);
        QCOMPARE(ComboEntries(dialog.m_comboBaud), (QStringList{"2400", "4800", "9600", "19200", "38400"}));
        QVERIFY(!dialog.m_comboPort.IsSorted());
        QVERIFY(!dialog.m_comboBaud.IsSorted());
        QCOMPARE(&dialog.m_comboPort, dialog.Item<CComboBox>(IDC_COM_PORT_LIST));
        QCOMPARE(&dialog.m_comboBaud, dialog.Item<CComboBox>(IDC_BAUD_RATE_LIST));
        QCOMPARE(dialog.Item<QLabel>(IDC_LABEL_COM_PORT)->text(), QString("COM Port"));
        QCOMPARE(dialog.Item<QLabel>(IDC_LABEL_BAUD_RATE)->text(), QString("Baudrate"));
        QVERIFY(!QFileInfo::exists(QString::fromStdString(directory.File("config.ini")))); // opening writes nothing
    }

    // Each entry's tooltip is the device its number opens: the link ports/COM<n> when there is one, else the
    // built-in line.
    void eachEntrysTooltipIsItsDevice() {
        CExecutableDirectory directory;
        CPtyPeer simulator;
        simulator.LinkAsPort(directory.Path(), 7);
        CComPortDlg dialog(kCallerBaudRate);
        dialog.Create();
        QCOMPARE(dialog.m_comboPort.itemData(0, Qt::ToolTipRole).toString(), QString("/dev/ttyS0"));
        QCOMPARE(dialog.m_comboPort.itemData(6, Qt::ToolTipRole).toString(),
                 QString::fromStdString(directory.File("ports/COM7")));
        QCOMPARE(dialog.m_comboPort.itemText(6), QString("COM 7")); // a link that is not an adapter's keeps the name
        QCOMPARE(dialog.m_comboPort.itemData(19, Qt::ToolTipRole).toString(), QString("/dev/ttyS19"));
    }

    // Installed, the links are the user's: those beside the executable are not looked at.
    void anInstalledProgramsEntriesAreTheUsersLinks() {
        CInstalledLayout layout;
        std::filesystem::create_directories(layout.Bin() + "/ports");
        std::filesystem::create_symlink("/dev/null", layout.Bin() + "/ports/COM7");
        CPtyPeer simulator;
        simulator.LinkAsPort(layout.User(), 8);
        CComPortDlg dialog(kCallerBaudRate);
        dialog.Create();
        QCOMPARE(dialog.m_comboPort.itemData(6, Qt::ToolTipRole).toString(), QString("/dev/ttyS6"));
        QCOMPARE(dialog.m_comboPort.itemData(7, Qt::ToolTipRole).toString(),
                 QString::fromStdString(layout.User() + "/ports/COM8"));
    }

    // What config.ini selects when the dialog opens, and what OK then hands back and writes.
    void opensWithTheStoredChoiceAndOkWritesItBack_data() {
        QTest::addColumn<QByteArray>("config"); // empty: no file
        QTest::addColumn<int>("portShown");
        QTest::addColumn<int>("baudShown");
        QTest::addColumn<int>("port");
        QTest::addColumn<int>("baudRate");
        QTest::addColumn<QByteArray>("portWritten");
        QTest::addColumn<QByteArray>("baudWritten");
        // clang-format off
        QTest::newRow("no file")          << QByteArray()                                     << 0  << 2  << 1  << 9600 << QByteArray("0")  << QByteArray("2");
        QTest::newRow("COMPort 2")        << QByteArray("[Settings]\nCOMPort=2\nBaudrate=2\n") << 2  << 2  << 3  << 9600 << QByteArray("2")  << QByteArray("2");
        QTest::newRow("COMPort 19")       << QByteArray("[Settings]\nCOMPort=19\n")           << 19 << 2  << 20 << 9600 << QByteArray("19") << QByteArray("2");
        QTest::newRow("COMPort 20")       << QByteArray("[Settings]\nCOMPort=20\n")           << -1 << 2  << 0  << 9600 << QByteArray("-1") << QByteArray("2");
        QTest::newRow("COMPort 25")       << QByteArray("[Settings]\nCOMPort=25\n")           << -1 << 2  << 0  << 9600 << QByteArray("-1") << QByteArray("2");
        QTest::newRow("COMPort -1")       << QByteArray("[Settings]\nCOMPort=-1\n")           << -1 << 2  << 0  << 9600 << QByteArray("-1") << QByteArray("2");
        QTest::newRow("COMPort abc")      << QByteArray("[Settings]\nCOMPort=abc\n")          << 0  << 2  << 1  << 9600 << QByteArray("0")  << QByteArray("2");
        QTest::newRow("COMPort empty")    << QByteArray("[Settings]\nCOMPort=\nBaudrate=0\n")  << 0  << 0  << 1  << 2400 << QByteArray("0")  << QByteArray("0");
        QTest::newRow("Baudrate 4")       << QByteArray("[Settings]\nBaudrate=4\n")           << 0  << 4  << 1  << 38400 << QByteArray("0") << QByteArray("4");
        QTest::newRow("Baudrate 7")       << QByteArray("[Settings]\nCOMPort=5\nBaudrate=7\n") << 5  << -1 << 6  << kCallerBaudRate << QByteArray("5") << QByteArray("-1");
        QTest::newRow("Baudrate -1")      << QByteArray("[Settings]\nBaudrate=-1\n")          << 0  << -1 << 1  << kCallerBaudRate << QByteArray("0") << QByteArray("-1");
        QTest::newRow("names any case")   << QByteArray("[settings]\ncomport = 3 \nBAUDRATE=1\n") << 3 << 1 << 4 << 4800 << QByteArray("3") << QByteArray("1");
        QTest::newRow("other section")    << QByteArray("[SetValues]\nCOMPort=9\n")           << 0  << 2  << 1  << 9600 << QByteArray("0")  << QByteArray("2");
        // clang-format on
    }
    void opensWithTheStoredChoiceAndOkWritesItBack() {
        QFETCH(QByteArray, config);
        QFETCH(int, portShown);
        QFETCH(int, baudShown);
        QFETCH(int, port);
        QFETCH(int, baudRate);
        QFETCH(QByteArray, portWritten);
        QFETCH(QByteArray, baudWritten);
        CExecutableDirectory directory;
        if (!config.isEmpty())
            QVERIFY(WriteFileReplacing(directory.File("config.ini"), config.toStdString()));

        CComPortDlg dialog(kCallerBaudRate);
        dialog.Create();
        QCOMPARE(dialog.m_comboPort.GetCurSel(), portShown);
        QCOMPARE(dialog.m_comboBaud.GetCurSel(), baudShown);
        if (portShown < 0)
            QCOMPARE(dialog.m_comboPort.currentText(), QString());

        ClickButton(dialog, IDOK);
        QVERIFY(dialog.IsEnded());
        QCOMPARE(dialog.result(), int(IDOK));
        QCOMPARE(dialog.m_nPort, port);
        QCOMPARE(dialog.m_nBaudRate, baudRate);
        QCOMPARE(Stored(directory, "COMPort"), portWritten.toStdString());
        QCOMPARE(Stored(directory, "Baudrate"), baudWritten.toStdString());
    }

    void okWithoutAFileCreatesItWithBothKeys() {
        CExecutableDirectory directory;
        CComPortDlg dialog(2400);
        QTimer::singleShot(0, &dialog, [&dialog] { ClickButton(dialog, IDOK); });
        QCOMPARE(dialog.DoModal(), int(IDOK));
        QCOMPARE(dialog.m_nPort, 1);
        QCOMPARE(dialog.m_nBaudRate, 9600);
        QCOMPARE(ReadFileBytes(directory.File("config.ini")).value_or("(none)"),
                 std::string("[Settings]\r\nCOMPort=0\r\nBaudrate=2\r\n"));
    }

    // The user picks "COM 4" with the keyboard; the rest of the user's file stays as it was, byte for byte.
    void okWithCom4Writes3AndKeepsTheRestOfTheFile() {
        CExecutableDirectory directory;
        const std::string strBefore = "; Kalvora at the club house\r\n"
                                      "[System]\r\n"
                                      "Language = NoSuchLanguage\r\n"
                                      "\r\n"
                                      "[Settings]\r\n"
                                      "COMPort=0 ; first port\r\n"
                                      "Baudrate=2\n"
                                      "[SetValues]\n"
                                      "; as the starter likes it\n"
                                      "Program=3\n"
                                      "CDTime =  1:30  \n"
                                      "Brightness=7";
        QVERIFY(WriteFileReplacing(directory.File("config.ini"), strBefore));

        CComPortDlg dialog(kCallerBaudRate);
        dialog.Create();
        QCOMPARE(dialog.m_comboPort.currentText(), QString("COM 1"));
        dialog.m_comboPort.setFocus();
        for (int i = 0; i < 3; ++i)
            QTest::keyClick(&dialog.m_comboPort, Qt::Key_Down);
        QCOMPARE(dialog.m_comboPort.currentText(), QString("COM 4"));
        QCOMPARE(dialog.m_comboBaud.currentText(), QString("9600"));
        ClickButton(dialog, IDOK);

        QCOMPARE(dialog.result(), int(IDOK));
        QCOMPARE(dialog.m_nPort, 4);
        QCOMPARE(dialog.m_nBaudRate, 9600);
        std::string strAfter = strBefore;
        strAfter.replace(strAfter.find("COMPort=0 ; first port"), 22, "COMPort=3");
        QCOMPARE(ReadFileBytes(directory.File("config.ini")).value_or("(none)"), strAfter);
    }

    void okAddsTheSectionAtTheEndWhenItIsMissing() {
        CExecutableDirectory directory;
        const std::string strBefore = "[System]\nLanguage=NoSuchLanguage\n[SetValues]\nProgram=2\n";
        QVERIFY(WriteFileReplacing(directory.File("config.ini"), strBefore));
        CComPortDlg dialog(kCallerBaudRate);
        dialog.Create();
        dialog.m_comboPort.setFocus();
        QTest::keyClick(&dialog.m_comboPort, Qt::Key_End);
        QCOMPARE(dialog.m_comboPort.currentText(), QString("COM 20"));
        ClickButton(dialog, IDOK);
        QCOMPARE(dialog.m_nPort, 20);
        QCOMPARE(ReadFileBytes(directory.File("config.ini")).value_or("(none)"),
                 strBefore + "[Settings]\nCOMPort=19\nBaudrate=2\n");
    }

    void escapeAndCloseBoxChangeNothing_data() {
        QTest::addColumn<bool>("closeBox");
        QTest::newRow("Escape") << false;
        QTest::newRow("close box") << true;
    }
    void escapeAndCloseBoxChangeNothing() {
        QFETCH(bool, closeBox);
        CExecutableDirectory directory;
        const std::string strBefore = "[Settings]\r\nCOMPort=6\r\nBaudrate=3\r\n";
        QVERIFY(WriteFileReplacing(directory.File("config.ini"), strBefore));

        CComPortDlg dialog(kCallerBaudRate);
        QStringList shown; // the choice before and after the user's change
        QTimer::singleShot(0, &dialog, [&dialog, &shown, closeBox] {
            shown << dialog.m_comboPort.currentText();
            dialog.m_comboPort.setFocus();
            QTest::keyClick(&dialog.m_comboPort, Qt::Key_Down);
            shown << dialog.m_comboPort.currentText();
            if (closeBox)
                dialog.close();
            else
                QTest::keyClick(dialog.focusWidget(), Qt::Key_Escape);
        });
        QCOMPARE(dialog.DoModal(), int(IDCANCEL));
        QCOMPARE(shown, (QStringList{"COM 7", "COM 8"}));
        QCOMPARE(dialog.m_nPort, 0);
        QCOMPARE(dialog.m_nBaudRate, kCallerBaudRate);
        QCOMPARE(ReadFileBytes(directory.File("config.ini")).value_or("(none)"), strBefore);
    }

    // The rate is shown, never chosen: the list stays disabled, and OK writes back the position it came with.
    void baudRateListStaysDisabled() {
        CExecutableDirectory directory;
        QVERIFY(WriteFileReplacing(directory.File("config.ini"), "[Settings]\nBaudrate=4\n"));
        CComPortDlg dialog(kCallerBaudRate);
        dialog.Create();
        QVERIFY(!dialog.m_comboBaud.isEnabled());
        QVERIFY(dialog.m_comboPort.isEnabled());
        QCOMPARE(dialog.focusWidget(), &dialog.m_comboPort);
        QTest::keyClick(&dialog.m_comboPort, Qt::Key_Tab);
        QVERIFY(dialog.focusWidget() != &dialog.m_comboBaud);
        QTest::keyClick(&dialog.m_comboBaud, Qt::Key_Down);
        QCOMPARE(dialog.m_comboBaud.currentText(), QString("38400"));
        ClickButton(dialog, IDOK);
        QCOMPARE(dialog.m_nBaudRate, 38400);
        QCOMPARE(Stored(directory, "Baudrate"), std::string("4"));
    }

    void languageNamedInTheFileTranslatesCaptionAndLabels() {
        CExecutableDirectory directory;
        QVERIFY(WriteFileReplacing(directory.File("identifiers.ini"), "[Identifiers]\n"
                                                                      "IDD_COM_PORT=132\n"
                                                                      "IDOK=1\n"
                                                                      "IDC_PORT_SETTINGS=1021\n"
                                                                      "IDC_BAUD_RATE_LIST=1022\n"
                                                                      "IDC_LABEL_COM_PORT=1073\n"
                                                                      "IDC_LABEL_BAUD_RATE=1074\n"));
        QVERIFY(WriteFileReplacing(directory.File("lng_Deutsch.ini"), "[Strings]\n"
                                                                      "IDD_COM_PORT=COM-Port-Einstellungen\n"
                                                                      "IDOK=Übernehmen\n"
                                                                      "IDC_PORT_SETTINGS=Anschluss\n"
                                                                      "IDC_BAUD_RATE_LIST=Tempo\n"
                                                                      "IDC_LABEL_COM_PORT=<b>Port</b>\n"
                                                                      "IDC_LABEL_BAUD_RATE=Baud\\nrate\n"));
        QVERIFY(WriteFileReplacing(directory.File("config.ini"), "[System]\nLanguage=Deutsch\n"
                                                                 "[Settings]\nCOMPort=1\n"));
        CComPortDlg dialog(kCallerBaudRate);
        dialog.Create();
        QCOMPARE(dialog.windowTitle(), QString("COM-Port-Einstellungen"));
        QCOMPARE(dialog.Item<QPushButton>(IDOK)->text(), QString::fromUtf8("Übernehmen"));
        QCOMPARE(dialog.Item<QLabel>(IDC_LABEL_COM_PORT)->text(), QString("<b>Port</b>"));
        QCOMPARE(dialog.Item<QLabel>(IDC_LABEL_COM_PORT)->textFormat(), Qt::PlainText);
        QCOMPARE(dialog.Item<QLabel>(IDC_LABEL_BAUD_RATE)->text(), QString("Baud\nrate"));
        // The lists keep their built-in entries and their choices, whatever their identifiers translate to.
        QCOMPARE(dialog.m_comboPort.currentText(), QString("COM 2"));
        QCOMPARE(dialog.m_comboBaud.currentText(), QString("9600"));
        QCOMPARE(dialog.m_comboPort.count(), 20);
        QVERIFY(!dialog.m_comboBaud.isEnabled());
    }

    // Only with KALVORA_SCREENSHOT_DIR: the dialog as the user sees it, into <dir>/com-port.png.
    void screenshot() {
        const QByteArray screenshotDir = qgetenv("KALVORA_SCREENSHOT_DIR");
        if (screenshotDir.isEmpty())
            QSKIP("KALVORA_SCREENSHOT_DIR is not set");
        CExecutableDirectory directory;
        QVERIFY(WriteFileReplacing(directory.File("config.ini"), "[Settings]\nCOMPort=2\nBaudrate=2\n"));
        CComPortDlg dialog(kCallerBaudRate);
        dialog.Create();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QTest::qWait(200);
        QVERIFY(dialog.grab().save(QString::fromLocal8Bit(screenshotDir) + "/com-port.png"));
    }
};

QTEST_MAIN(CComPortDlgTest)
#include "ComPortDlgTest.moc"
