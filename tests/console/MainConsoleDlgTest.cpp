#include "console/MainConsoleDlg.h"
#include "app/AboutDlg.h"
#include "base/Files.h"
#include "i18n/Language.h"
#include "link/SerialLink.h"
#include "res/Resource.h"
#include "tests/support/DialogTesting.h"
#include "tests/support/PtyPeer.h"
#include "tests/support/SimProcess.h"
#include "tests/support/TempDir.h"
#include "window/Controls.h"
#include "window/MessageBox.h"
#include "window/Resources.h"

#include <QAction>
#include <QApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSet>
#include <QtTest>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <ctime>
#include <filesystem>
#include <functional>
#include <memory>
#include <set>
#include <thread>

using namespace std::chrono_literals;

namespace {

constexpr int kPort = 5; // the port every test's settings name; the peer or the simulator answers there
// How long the reader thread gets to queue what the peer wrote before a tick is run by hand.
constexpr auto kQueueTime = 200ms;

// The window with its timer ticks and its state within reach of the tests.
class CConsoleProbe : public CMainConsoleDlg {
public:
    using CMainConsoleDlg::m_countdownTimes;
    using CMainConsoleDlg::m_link;
    using CMainConsoleDlg::m_nBaudRate;
    using CMainConsoleDlg::m_nCountdownColumn;
    using CMainConsoleDlg::m_nPort;
    using CMainConsoleDlg::m_nProgramRow;
    using CMainConsoleDlg::OnTimer;
};

std::string PortSettings(int nPort = kPort) {
    return SettingsNaming(nPort);
}

// The same with a recording peer as the device.
struct CPeerBench : CDialogFiles {
    explicit CPeerBench(const std::string& strConfig = PortSettings()) : CDialogFiles(strConfig) {
        peer.LinkAsPort(Dir().Path(), kPort);
    }
    CPtyPeer peer;
};

int Lamp(const CDialog& dialog, int nId) {
    return StaticIconId(dialog.GetDlgItem(nId));
}

QList<int> Lights(const CDialog& dialog) {
    return {Lamp(dialog, IDC_LIGHT_1), Lamp(dialog, IDC_LIGHT_2), Lamp(dialog, IDC_LIGHT_3)};
}

QString Selected(const CDialog& dialog, int nId) {
    const CComboBox* combo = Combo(dialog, nId);
    return combo->GetCurSel() < 0 ? QString("<none>") : combo->itemText(combo->GetCurSel());
}

// An "S?" line: display fields at columns 3-10 and 12-15, light state 17, program 18-19, countdown time 21-24,
// brightness 26.
std::string CurrentValuesLine(const std::string& large, const std::string& small, const std::string& light,
                              const std::string& program, const std::string& time, const std::string& brightness) {
    return "S? " + large + " " + small + " " + light + program + " " + time + " " + brightness;
}

// A "D?" line: display fields at columns 3-10 and 12-15, light state 17.
std::string DisplayLine(const std::string& large, const std::string& small, const std::string& light) {
    return "D? " + large + " " + small + " " + light;
}

// Whether another link can have the port now (the window's link holds it exclusively while open).
bool PortIsFree() {
    CSerialLink other;
    const bool bOpened = other.Open(kPort, 2400);
    other.Close();
    return bOpened;
}

const QList<int> kDark = {IDI_LAMP_OFF, IDI_LAMP_OFF, IDI_LAMP_OFF};

// The buttons that monitoring disables, in the order it disables them.
const QList<int> kCommandButtons = {IDC_MONITOR_ON,
                                    IDC_READ_MEMORY,
                                    IDC_PORT_SETTINGS,
                                    IDC_GET_CURRENT_VALUES,
                                    IDC_CONFIGURE_PARAMETERS,
                                    IDC_SET_BRIGHTNESS,
                                    IDC_SET_PROGRAM,
                                    IDC_SET_COUNTDOWN_NUMBER,
                                    IDC_MASTER,
                                    IDC_SLAVE,
                                    IDC_SET_PC_TIME};

// Records the order in which buttons change their enabled state.
class CEnableOrder : public QObject {
public:
    QList<int> m_ids;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::EnabledChange)
            m_ids << ControlId(qobject_cast<QWidget*>(watched));
        return false;
    }
};

// The controls that received a paint event while it watched them.
class CPaintCounter : public QObject {
public:
    QSet<int> m_ids;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            m_ids << ControlId(qobject_cast<QWidget*>(watched));
        return false;
    }
};

} // namespace

class CMainConsoleDlgTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { LoadLanguage("none-loaded"); }

    // ---- start-up

    void startsWithTheDefaultsWithoutSettings() {
        CDialogFiles bench("");
        CConsoleProbe window;
        window.Create();
        QCOMPARE(window.windowTitle(), QString("Kalvora v1.4"));
        QCOMPARE(Selected(window, IDC_PROGRAM), QString("P1"));
        QCOMPARE(Selected(window, IDC_COUNTDOWN_NUMBER), QString("CD0"));
        QCOMPARE(DlgItemText(window, IDC_COUNTDOWN_TIME), QString("0:00"));
        QCOMPARE(DlgItemText(window, IDC_BRIGHTNESS), QString("9"));
        QCOMPARE(window.m_nPort, 7);
        QCOMPARE(window.m_nBaudRate, 2400);
        QCOMPARE(window.m_nProgramRow, 1);
        QCOMPARE(window.m_nCountdownColumn, 1);
        QCOMPARE(DlgItemText(window, IDC_MONITOR_ON), QString("On"));
        QCOMPARE(DlgItemText(window, IDC_GROUP_MONITOR), QString("Real Time Monitor"));
        QCOMPARE(window.focusWidget(), window.GetDlgItem(IDC_MONITOR_ON));
        QVERIFY(window.isVisible());
        QVERIFY(bench.Boxes().Entries().empty()); // the port stays closed: nothing to report
        QVERIFY(!window.m_link.IsOpen());

        // Lists, spin and lamps.
        QStringList programs;
        for (int i = 0; i < Combo(window, IDC_PROGRAM)->count(); ++i)
            programs << Combo(window, IDC_PROGRAM)->itemText(i);
        QCOMPARE(programs,
                 QStringList({"P0", "P1", "P2", "P3", "P4", "P5", "P60", "P61", "P62", "P63", "P64", "P7", "P8"}));
        QStringList countdowns;
        for (int i = 0; i < Combo(window, IDC_COUNTDOWN_NUMBER)->count(); ++i)
            countdowns << Combo(window, IDC_COUNTDOWN_NUMBER)->itemText(i);
        QCOMPARE(countdowns, QStringList({"CD0", "CD1", "CD2", "CD3", "CD4", "CD5", "CD6", "CD7", "CD8", "CD9"}));
        auto* spin = window.Item<CSpinButtonCtrl>(IDC_BRIGHTNESS_SPIN);
        QCOMPARE(spin->Lower(), 0);
        QCOMPARE(spin->Upper(), 9);
        QCOMPARE(spin->GetPos(), 9);
        QCOMPARE(Lamp(window, IDC_STATUS_LAMP), IDI_LAMP_OFF);
        QCOMPARE(Lights(window), kDark);

        // The countdown time takes five characters from the keyboard.
        auto* countdownTime = window.Item<QLineEdit>(IDC_COUNTDOWN_TIME);
        QVERIFY(countdownTime->isReadOnly());
        QString strLong("12:345");
        int nPos = 0;
        QCOMPARE(countdownTime->validator()->validate(strLong, nPos), QValidator::Invalid);

        // The clock fills 1033 at its first tick, a second after start-up.
        QCOMPARE(DlgItemText(window, IDC_PC_TIME), QString());
        QTRY_VERIFY_WITH_TIMEOUT(QRegularExpression("^([01][0-9]|2[0-3]):[0-5][0-9]:[0-5][0-9]$")
                                     .match(DlgItemText(window, IDC_PC_TIME))
                                     .hasMatch(),
                                 3000);
    }

    void displaysAreGreenAndRedOnBlackInTheDisplayFont() {
        CDialogFiles bench(PortSettings());
        CMainConsoleDlg window;
        window.Create();
        const auto* large = window.Item<QLineEdit>(IDC_DISPLAY_LARGE);
        const auto* small = window.Item<QLineEdit>(IDC_DISPLAY_SMALL);
        for (const auto group : {QPalette::Active, QPalette::Inactive}) {
            QCOMPARE(large->palette().color(group, QPalette::Text), QColor(0, 255, 0));
            QCOMPARE(large->palette().color(group, QPalette::Base), QColor(0, 0, 0));
            QCOMPARE(small->palette().color(group, QPalette::Text), QColor(255, 0, 0));
            QCOMPARE(small->palette().color(group, QPalette::Base), QColor(0, 0, 0));
        }
        const QFont display = DisplayFont();
        QCOMPARE(large->font().family(), display.family());
        QCOMPARE(small->font().family(), display.family());
        QCOMPARE(large->font().pixelSize(), display.pixelSize());
        // Every other control keeps the system's colours and the dialog's font.
        const auto* startTime = window.Item<QLineEdit>(IDC_LAST_START_TIME);
        QVERIFY(startTime->palette().color(QPalette::Base) != QColor(0, 0, 0));
        QCOMPARE(startTime->font().family(), window.font().family());
        // Seen on the screen: the large display's pixels are black with green text.
        window.Item<QLineEdit>(IDC_DISPLAY_LARGE)->setText("88888888");
        const QImage image = window.GetDlgItem(IDC_DISPLAY_LARGE)->grab().toImage();
        int nBlack = 0;
        int nGreen = 0;
        for (int y = 3; y < image.height() - 3; ++y) {
            for (int x = 3; x < image.width() - 3; ++x) {
                const QColor pixel = image.pixelColor(x, y);
                nBlack += pixel == QColor(0, 0, 0);
                nGreen += pixel.green() > 200 && pixel.red() < 60 && pixel.blue() < 60;
            }
        }
        QVERIFY2(nBlack > image.width() * image.height() / 3, qPrintable(QString::number(nBlack)));
        QVERIFY2(nGreen > 20, qPrintable(QString::number(nGreen)));
    }

    void startsWithTheSavedSettings_data() {
        QTest::addColumn<QString>("config");
        QTest::addColumn<int>("port");
        QTest::addColumn<int>("baudRate");
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("countdownNumber");
        QTest::addColumn<QString>("countdownTime");
        QTest::addColumn<QString>("brightness");
        QTest::newRow("all keys") << "[Settings]\nCOMPort=2\nBaudrate=2\n[SetValues]\nProgram=7\nCDNumber=4\n"
                                     "CDTime=1:30\nBrightness=5\n"
                                  << 3 << 9600 << "P61"
                                  << "CD4"
                                  << "1:30"
                                  << "5";
        QTest::newRow("baud index beyond the list keeps 2400") << "[Settings]\nCOMPort=24\nBaudrate=7\n"
                                                               << 25 << 2400 << "P1"
                                                               << "CD0"
                                                               << "0:00"
                                                               << "9";
        QTest::newRow("positions without an entry leave no selection") << "[SetValues]\nProgram=13\nCDNumber=-1\n"
                                                                       << 7 << 2400 << "<none>"
                                                                       << "<none>"
                                                                       << "0:00"
                                                                       << "9";
        QTest::newRow("times and brightness verbatim") << "[SetValues]\nCDTime=10:00:00\nBrightness=x\n"
                                                       << 7 << 2400 << "P1"
                                                       << "CD0"
                                                       << "10:00:00"
                                                       << "x";
        QTest::newRow("empty values count as missing") << "[Settings]\nCOMPort=\n[SetValues]\nProgram=\nCDTime=\n"
                                                       << 7 << 2400 << "P1"
                                                       << "CD0"
                                                       << "0:00"
                                                       << "9";
        QTest::newRow("names in any case; no digits give index 0")
            << "[settings]\ncomport=abc\nBAUDRATE=4\n[setvalues]\nprogram=12\n"
            << 1 << 38400 << "P8"
            << "CD0"
            << "0:00"
            << "9";
    }
    void startsWithTheSavedSettings() {
        QFETCH(QString, config);
        QFETCH(int, port);
        QFETCH(int, baudRate);
        QFETCH(QString, program);
        QFETCH(QString, countdownNumber);
        QFETCH(QString, countdownTime);
        QFETCH(QString, brightness);
        CDialogFiles bench(config.toStdString());
        bench.Write("P7.txt", "a;b;c;7:00\n");
        CConsoleProbe window;
        window.Create();
        QCOMPARE(window.m_nPort, port);
        QCOMPARE(window.m_nBaudRate, baudRate);
        QCOMPARE(Selected(window, IDC_PROGRAM), program);
        QCOMPARE(Selected(window, IDC_COUNTDOWN_NUMBER), countdownNumber);
        QCOMPARE(DlgItemText(window, IDC_COUNTDOWN_TIME), countdownTime);
        QCOMPARE(DlgItemText(window, IDC_BRIGHTNESS), brightness);
        // The selections made by the settings move neither the row nor the column.
        QCOMPARE(window.m_nProgramRow, 1);
        QCOMPARE(window.m_nCountdownColumn, 1);
        QVERIFY(bench.Boxes().Entries().empty());
    }

    void aLanguageReplacesTextsByIdentifier() {
        CDialogFiles bench(PortSettings() + "[System]\nLanguage=Test\n");
        bench.Write("identifiers.ini", "[Identifiers]\nIDD_MAIN=102\nIDC_ON=1000\nIDC_EXIT=1072\nIDC_TIME=1011\n"
                                       "IDC_GROUP=1057\nIDC_LABEL=1066\nIDC_SET=1018\n");
        bench.Write("lng_Test.ini", "[Strings]\nIDD_MAIN=Konsole\nIDC_ON=Ein\nIDC_EXIT=Ende\nIDC_TIME=9:99\n"
                                    "IDC_GROUP=Echtzeit\nIDC_LABEL=Countdown\\nNummer\nIDC_SET=?Setzen\n");
        CMainConsoleDlg window;
        window.Create();
        QCOMPARE(window.windowTitle(), QString("Konsole"));
        QCOMPARE(DlgItemText(window, IDC_MONITOR_ON), QString("Ein"));
        QCOMPARE(DlgItemText(window, IDC_EXIT), QString("Ende"));
        QCOMPARE(DlgItemText(window, IDC_GROUP_MONITOR), QString("Echtzeit"));
        QCOMPARE(DlgItemText(window, IDC_LABEL_COUNTDOWN_NUMBER), QString("Countdown\nNummer"));
        QCOMPARE(DlgItemText(window, IDC_COUNTDOWN_TIME), QString("9:99")); // an edit's contents as well
        QCOMPARE(DlgItemText(window, IDC_SET_PROGRAM), QString("Set")); // a text beginning with "?" is never applied
        QCOMPARE(DlgItemText(window, IDC_MONITOR_OFF), QString("Off")); // no text: the template's stays
    }

    void anUnknownLanguageKeepsTheTemplateTexts() {
        CDialogFiles bench(PortSettings() + "[System]\nLanguage=Nowhere\n");
        LoadLanguage("Nowhere"); // nothing from an earlier language may remain either
        CMainConsoleDlg window;
        window.Create();
        const CDialog plain(IDD_MAIN_CONSOLE);
        QCOMPARE(window.windowTitle(), QString("Kalvora v1.4"));
        for (QWidget* control : plain.Controls()) {
            const int nId = ControlId(control);
            if (nId == IDC_BRIGHTNESS || nId == IDC_COUNTDOWN_TIME || nId == IDC_PC_TIME)
                continue; // filled by the window itself
            QCOMPARE(DlgItemText(window, nId), ControlText(control));
        }
    }

    void theAboutEntryOpensTheAboutBox() {
        CDialogFiles bench(PortSettings());
        CMainConsoleDlg window(ShowAboutBox);
        window.Create();
        QAction* entry = nullptr;
        for (QAction* action : window.actions()) {
            if (action->text() == QLatin1String("&About Kalvora..."))
                entry = action;
        }
        QVERIFY(entry);
        int nTemplate = 0;
        WhenModalOpens<CDialog>(qApp, [&nTemplate](CDialog* pAbout) {
            CDialog& about = *pAbout;
            nTemplate = about.TemplateId();
            about.EndDialog(IDOK);
        });
        entry->trigger();
        QCOMPARE(nTemplate, IDD_ABOUTBOX);
        QVERIFY(!window.IsEnded());
    }

    // ---- commands and their bytes

    void eachButtonWritesItsCommand_data() {
        QTest::addColumn<int>("button");
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("countdownNumber");
        QTest::addColumn<QString>("brightness");
        QTest::addColumn<QString>("clock"); // "-": as the window shows it before the clock's first tick
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("timer"); // started by the handler, still running when it returns
        QTest::addColumn<int>("minimumMs");
        QTest::newRow("program P60") << int(IDC_SET_PROGRAM) << "P60"
                                     << "CD0"
                                     << "9"
                                     << "-" << QByteArray("\x3D\x50\x36\x30\x0D") << int(CMainConsoleDlg::TIMER_ACK)
                                     << 750;
        QTest::newRow("program P5") << int(IDC_SET_PROGRAM) << "P5"
                                    << "CD0"
                                    << "9"
                                    << "-" << QByteArray("\x3D\x50\x35\x0D") << int(CMainConsoleDlg::TIMER_ACK) << 750;
        QTest::newRow("countdown CD4") << int(IDC_SET_COUNTDOWN_NUMBER) << "P1"
                                       << "CD4"
                                       << "9"
                                       << "-" << QByteArray("\x3D\x43\x34\x0D") << int(CMainConsoleDlg::TIMER_ACK)
                                       << 500;
        QTest::newRow("brightness 9") << int(IDC_SET_BRIGHTNESS) << "P1"
                                      << "CD0"
                                      << "9"
                                      << "-" << QByteArray("\x3D\x42\x39\x0D") << int(CMainConsoleDlg::TIMER_ACK)
                                      << 500;
        QTest::newRow("brightness empty")
            << int(IDC_SET_BRIGHTNESS) << "P1"
            << "CD0"
            << ""
            << "-" << QByteArray("\x3D\x42\x0D") << int(CMainConsoleDlg::TIMER_ACK) << 500;
        QTest::newRow("brightness 12") << int(IDC_SET_BRIGHTNESS) << "P1"
                                       << "CD0"
                                       << "12"
                                       << "-" << QByteArray("\x3D\x42\x31\x32\x0D") << int(CMainConsoleDlg::TIMER_ACK)
                                       << 500;
        QTest::newRow("current values") << int(IDC_GET_CURRENT_VALUES) << "P1"
                                        << "CD0"
                                        << "9"
                                        << "-" << QByteArray("?S\r") << int(CMainConsoleDlg::TIMER_CURRENT_VALUES)
                                        << 750;
        QTest::newRow("master") << int(IDC_MASTER) << "P1"
                                << "CD0"
                                << "9"
                                << "-" << QByteArray("=MASTER\r?D\r") << int(CMainConsoleDlg::TIMER_MODE_ACK) << 500;
        QTest::newRow("slave") << int(IDC_SLAVE) << "P1"
                               << "CD0"
                               << "9"
                               << "-" << QByteArray("=SLAVE\r") << int(CMainConsoleDlg::TIMER_MODE_ACK) << 500;
        QTest::newRow("monitoring on") << int(IDC_MONITOR_ON) << "P1"
                                       << "CD0"
                                       << "9"
                                       << "-" << QByteArray("?D\r") << int(CMainConsoleDlg::TIMER_MONITOR) << 0;
    }
    void eachButtonWritesItsCommand() {
        QFETCH(int, button);
        QFETCH(QString, program);
        QFETCH(QString, countdownNumber);
        QFETCH(QString, brightness);
        QFETCH(QString, clock);
        QFETCH(QByteArray, bytes);
        QFETCH(int, timer);
        QFETCH(int, minimumMs);
        CPeerBench bench;
        CConsoleProbe window;
        window.Create();
        Combo(window, IDC_PROGRAM)->SetCurSel(Combo(window, IDC_PROGRAM)->findText(program));
        Combo(window, IDC_COUNTDOWN_NUMBER)->SetCurSel(Combo(window, IDC_COUNTDOWN_NUMBER)->findText(countdownNumber));
        window.Item<QLineEdit>(IDC_BRIGHTNESS)->setText(brightness);
        if (clock != "-")
            window.Item<QLineEdit>(IDC_PC_TIME)->setText(clock);

        QElapsedTimer elapsed;
        elapsed.start();
        ClickButton(window, button);
        QVERIFY2(elapsed.elapsed() >= minimumMs - 20, qPrintable(QString::number(elapsed.elapsed())));
        QVERIFY(window.IsTimerRunning(timer));
        QVERIFY(bench.Boxes().Entries().empty());
        QCOMPARE(QByteArray::fromStdString(bench.peer.ReadFor(150ms)), bytes);
    }

    // The unit and config.ini are 8-bit: a byte read from the file is shown as one character and goes out to the
    // unit as that same byte, whatever it is.
    void eightBitTextGoesOutAsItCameIn_data() {
        QTest::addColumn<QByteArray>("brightness"); // as config.ini holds it
        QTest::addColumn<QString>("shown");
        QTest::newRow("Latin-1 e acute") << QByteArray("\xE9") << QString::fromUtf8("\xC3\xA9");
        QTest::newRow("degree sign and digit") << QByteArray("9\xB0") << QString::fromUtf8("9\xC2\xB0");
        QTest::newRow("the two bytes of a UTF-8 letter stay two characters")
            << QByteArray("\xC3\xA9") << QString::fromUtf8("\xC3\x83\xC2\xA9");
        QTest::newRow("plain digits") << QByteArray("7") << QString("7");
    }
    void eightBitTextGoesOutAsItCameIn() {
        QFETCH(QByteArray, brightness);
        QFETCH(QString, shown);
        CPeerBench bench(PortSettings() + "[SetValues]\nBrightness=" + brightness.toStdString() +
                         "\nCDTime=" + brightness.toStdString() + "\n");
        CConsoleProbe window;
        window.Create();
        QCOMPARE(DlgItemText(window, IDC_BRIGHTNESS), shown);
        QCOMPARE(DlgItemText(window, IDC_COUNTDOWN_TIME), shown);
        ClickButton(window, IDC_SET_BRIGHTNESS);
        QCOMPARE(QByteArray::fromStdString(bench.peer.ReadFor(150ms)), "=B" + brightness + "\r");
        // The clock field is not sent: the computer's clock is, and the field then shows the time that went out.
        window.Item<QLineEdit>(IDC_PC_TIME)->setText(shown);
        ClickButton(window, IDC_SET_PC_TIME);
        const QByteArray clock = QByteArray::fromStdString(bench.peer.ReadFor(150ms));
        QVERIFY2(QRegularExpression("^=T[0-9]{6}\r$").match(QString::fromLatin1(clock)).hasMatch(), clock.constData());
        QCOMPARE("=T" + DlgItemText(window, IDC_PC_TIME).remove(':').toLatin1() + "\r", clock);
    }

    // ---- the clock to the hundredth

    // The field turns with the computer's second, whatever the moment the window opened at.
    void clockFieldTurnsWithinMillisecondsOfEachSecondsStart() {
        CDialogFiles bench(PortSettings());
        // Half-way through a second: a one-second timer started now would turn the field half a second late.
        const auto now = std::chrono::system_clock::now();
        std::this_thread::sleep_until(std::chrono::floor<std::chrono::seconds>(now) + 1500ms);
        CMainConsoleDlg window;
        window.Create();
        QList<std::pair<QString, std::chrono::system_clock::time_point>> changes;
        QList<QString> localTimes;
        connect(window.Item<QLineEdit>(IDC_PC_TIME), &QLineEdit::textChanged, &window, [&](const QString& text) {
            changes.append({text, std::chrono::system_clock::now()});
            localTimes.append(QTime::currentTime().toString("HH:mm:ss"));
        });
        QTest::qWait(3300);
        QVERIFY2(changes.size() >= 3, qPrintable(QString::number(changes.size())));
        for (int i = 0; i < changes.size(); ++i) {
            const auto [text, moment] = changes[i];
            const auto late = moment - std::chrono::floor<std::chrono::seconds>(moment);
            // The rule is 20 ms; the margin is for a busy machine.
            QVERIFY2(late < 120ms,
                     qPrintable(QString("%1 at %2 ms into its second")
                                    .arg(text)
                                    .arg(std::chrono::duration_cast<std::chrono::milliseconds>(late).count())));
            QCOMPARE(text, localTimes[i]);
        }
    }

    // Set PC Time sends the computer's clock so that the carriage return reaches the line on the start of the
    // second it names, and shows what it sent; a stale text in the field is not sent.
    void setPcTimeSendsTheSecondItsCarriageReturnStarts_data() {
        QTest::addColumn<QString>("field"); // what 1033 shows when Set is clicked; "-": before the first tick
        QTest::addColumn<int>("baudIndex");
        QTest::newRow("stale text, 2400 baud") << "09:05:03" << 0;
        QTest::newRow("before the clock's first tick") << "-" << 0;
        QTest::newRow("8-bit text, 9600 baud") << QString::fromUtf8("\xC3\xA9") << 2;
        QTest::newRow("38400 baud") << "23:59:59" << 4;
    }
    void setPcTimeSendsTheSecondItsCarriageReturnStarts() {
        QFETCH(QString, field);
        QFETCH(int, baudIndex);
        CPeerBench bench(SettingsNaming(kPort, baudIndex));
        CConsoleProbe window;
        window.Create();
        if (field != "-")
            window.Item<QLineEdit>(IDC_PC_TIME)->setText(field);
        constexpr int kBaudRates[] = {2400, 4800, 9600, 19200, 38400};
        QCOMPARE(window.m_nBaudRate, kBaudRates[baudIndex]);
        // A pseudo-terminal passes the bytes at once; on a line the carriage return leaves nine byte times later.
        const auto lineTime = std::chrono::microseconds{9 * 10 * 1'000'000LL / window.m_nBaudRate};

        std::string bytes;
        std::chrono::system_clock::time_point arrived;
        std::thread device([&] {
            bytes = bench.peer.ReadUntil(9, 3s);
            arrived = std::chrono::system_clock::now();
        });
        QElapsedTimer elapsed;
        elapsed.start();
        ClickButton(window, IDC_SET_PC_TIME);
        const qint64 nHandlerMs = elapsed.elapsed();
        device.join();

        const QString shown = DlgItemText(window, IDC_PC_TIME);
        QVERIFY2(QRegularExpression("^([01][0-9]|2[0-3]):[0-5][0-9]:[0-5][0-9]$").match(shown).hasMatch(),
                 qPrintable(shown));
        QCOMPARE(QByteArray::fromStdString(bytes), "=T" + QString(shown).remove(':').toLatin1() + "\r");
        const auto leaves = arrived + lineTime;
        const auto second = std::chrono::round<std::chrono::seconds>(leaves);
        const auto offset = std::chrono::duration_cast<std::chrono::milliseconds>(leaves - second);
        QVERIFY2(std::chrono::abs(offset) < 60ms, qPrintable(QString::number(offset.count())));
        const std::time_t nSecond = std::chrono::system_clock::to_time_t(second);
        QCOMPARE(QDateTime::fromSecsSinceEpoch(nSecond).time().toString("HH:mm:ss"), shown);
        // The window waits for the second (at most one), then for the reply and the link's closing, as before.
        QVERIFY2(nHandlerMs >= 480 && nHandlerMs < 1000 + 500 + 400, qPrintable(QString::number(nHandlerMs)));
        QVERIFY(window.IsTimerRunning(CMainConsoleDlg::TIMER_ACK));
        QVERIFY(bench.Boxes().Entries().empty());
    }

    void masterWritesTwoCommandsAQuarterSecondApartAndSlaveOne() {
        CPeerBench bench;
        CMainConsoleDlg window;
        window.Create();
        std::string master;
        std::string toggle;
        std::chrono::steady_clock::duration gap{};
        std::thread device([&] {
            master = bench.peer.ReadUntil(8, 3s);
            const auto first = std::chrono::steady_clock::now();
            toggle = bench.peer.ReadUntil(3, 3s);
            gap = std::chrono::steady_clock::now() - first;
        });
        ClickButton(window, IDC_MASTER);
        device.join();
        QCOMPARE(QByteArray::fromStdString(master), QByteArray("=MASTER\r"));
        QCOMPARE(QByteArray::fromStdString(toggle), QByteArray("?D\r"));
        const auto nGapMs = std::chrono::duration_cast<std::chrono::milliseconds>(gap).count();
        QVERIFY2(nGapMs >= 200 && nGapMs < 2000, qPrintable(QString::number(nGapMs)));

        ClickButton(window, IDC_SLAVE);
        QCOMPARE(QByteArray::fromStdString(bench.peer.ReadFor(400ms)), QByteArray("=SLAVE\r"));
    }

    void aPortThatCannotBeOpenedIsReportedAndTheOperationGoesOn() {
        CDialogFiles bench(PortSettings(kPort)); // no peer: ports/COM5 does not exist, nor does the serial line
        std::filesystem::create_directories(bench.Dir().File("ports"));
        bench.Write("ports/COM5", "not a terminal");
        CConsoleProbe window;
        window.Create();
        ClickButton(window, IDC_SET_BRIGHTNESS);
        QCOMPARE(bench.Boxes().Texts(), std::vector<QString>{"Can't open COM port"});
        QCOMPARE(bench.Boxes().Entries().front().strTitle, ApplicationName());
        QVERIFY(window.IsTimerRunning(CMainConsoleDlg::TIMER_ACK));
        // Monitoring starts all the same; each tick finds nothing: red status, dark lights.
        ClickButton(window, IDC_MONITOR_ON);
        QCOMPARE(bench.Boxes().Texts().size(), std::size_t{2});
        QVERIFY(window.IsTimerRunning(CMainConsoleDlg::TIMER_MONITOR));
        QVERIFY(!window.Item<QPushButton>(IDC_MONITOR_ON)->isEnabled());
        QTRY_COMPARE(Lamp(window, IDC_STATUS_LAMP), int(IDI_LAMP_RED));
        QCOMPARE(Lights(window), kDark);
        ClickButton(window, IDC_MONITOR_OFF);
        QCOMPARE(Lamp(window, IDC_STATUS_LAMP), int(IDI_LAMP_OFF));
    }

    // ---- replies

    void currentValuesLine_data() {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("countdownNumber");
        QTest::addColumn<QString>("countdownTime");
        QTest::addColumn<QString>("brightness");
        QTest::addColumn<QString>("large");
        QTest::addColumn<QString>("small");
        QTest::addColumn<QList<int>>("lights");
        const QList<int> yellow = {IDI_LAMP_OFF, IDI_LAMP_YELLOW, IDI_LAMP_OFF};
        const QList<int> red = {IDI_LAMP_RED, IDI_LAMP_OFF, IDI_LAMP_OFF};
        const QList<int> green = {IDI_LAMP_OFF, IDI_LAMP_OFF, IDI_LAMP_GREEN};
        const QList<int> before = {IDI_LAMP_YELLOW, IDI_LAMP_YELLOW, IDI_LAMP_YELLOW}; // set before the tick
        // Row 0 of the table (P0.txt) holds 2:00 in columns 3 and 7, 5:00 in column 2.
        QTest::newRow("blank and 5 select P5")
            << QByteArray::fromStdString(CurrentValuesLine("    4:59", "  12", "2", " 5", "5:00", "7")) << "P5"
            << "CD2"
            << "5:00"
            << "7"
            << "    4:59"
            << "  12" << yellow;
        QTest::newRow("6 and 1 select P61")
            << QByteArray::fromStdString(CurrentValuesLine("    1:00", "   3", "1", "61", "2:00", "4")) << "P61"
            << "CD7"
            << "2:00"
            << "4"
            << "    1:00"
            << "   3" << red;
        QTest::newRow("blank and 6 select P60, the first that begins with P6")
            << QByteArray::fromStdString(CurrentValuesLine("12:00:00", "   1", "3", " 6", "1:00", "9")) << "P60"
            << "CD1"
            << "1:00"
            << "9"
            << "12:00:00"
            << "   1" << green;
        QTest::newRow("P9 names no entry: the selection stays")
            << QByteArray::fromStdString(CurrentValuesLine("    0:10", "   2", "0", " 9", "9:59", "1")) << "P2"
            << "CD0"
            << "9:59"
            << "1"
            << "    0:10"
            << "   2" << kDark;
        QTest::newRow("P01 names no entry: the selection stays")
            << QByteArray::fromStdString(CurrentValuesLine("    0:10", "   2", "x", "01", "2:00", "1")) << "P2"
            << "CD7"
            << "2:00"
            << "1"
            << "    0:10"
            << "   2" << before;
        QTest::newRow("a line of 20 characters") << QByteArray("S? 12345678 1234 2 5") << "P5"
                                                 << "CD0"
                                                 << ""
                                                 << ""
                                                 << "12345678"
                                                 << "1234" << yellow;
        QTest::newRow("other lines are dropped") << QByteArray("P=1\rD? 11111111 2222 1\rS=") << "P2"
                                                 << "CD0"
                                                 << "0:00"
                                                 << "9"
                                                 << "keep"
                                                 << "keep" << before;
        QTest::newRow("the last of two lines wins")
            << QByteArray::fromStdString(CurrentValuesLine("11111111", "1111", "1", " 5", "5:00", "1") + "\r" +
                                         CurrentValuesLine("22222222", "2222", "3", " 8", "2:00", "2"))
            << "P8"
            << "CD7"
            << "2:00"
            << "2"
            << "22222222"
            << "2222" << green;
    }
    void currentValuesLine() {
        QFETCH(QByteArray, line);
        QFETCH(QString, program);
        QFETCH(QString, countdownNumber);
        QFETCH(QString, countdownTime);
        QFETCH(QString, brightness);
        QFETCH(QString, large);
        QFETCH(QString, small);
        QFETCH(QList<int>, lights);
        CPeerBench bench(PortSettings() + "[SetValues]\nProgram=2\n");
        bench.Write("P0.txt", "x;x;x;0:00\nx;x;x;1:00\nx;x;x;5:00\nx;x;x;2:00\nx;x;x;3:00\n"
                              "x;x;x;4:00\nx;x;x;6:00\nx;x;x;2:00\nx;x;x;8:00\nx;x;x;9:00\n");
        CConsoleProbe window;
        window.Create();
        QCOMPARE(Selected(window, IDC_PROGRAM), QString("P2"));
        for (const int nId : {IDC_DISPLAY_LARGE, IDC_DISPLAY_SMALL})
            window.Item<QLineEdit>(nId)->setText("keep");
        for (const int nId : {IDC_LIGHT_1, IDC_LIGHT_2, IDC_LIGHT_3})
            SetStaticIcon(window.Item<QLabel>(nId), IDI_LAMP_YELLOW);

        QVERIFY(window.m_link.Open(kPort, 2400));
        QVERIFY(bench.peer.Write(line.toStdString() + "\r"));
        std::this_thread::sleep_for(kQueueTime);
        window.SetTimer(CMainConsoleDlg::TIMER_CURRENT_VALUES, 100ms);
        window.OnTimer(CMainConsoleDlg::TIMER_CURRENT_VALUES);

        QCOMPARE(Selected(window, IDC_PROGRAM), program);
        QCOMPARE(Selected(window, IDC_COUNTDOWN_NUMBER), countdownNumber);
        QCOMPARE(DlgItemText(window, IDC_COUNTDOWN_TIME), countdownTime);
        QCOMPARE(DlgItemText(window, IDC_BRIGHTNESS), brightness);
        QCOMPARE(DlgItemText(window, IDC_DISPLAY_LARGE), large);
        QCOMPARE(DlgItemText(window, IDC_DISPLAY_SMALL), small);
        QCOMPARE(Lights(window), lights);
        QCOMPARE(Lamp(window, IDC_STATUS_LAMP), int(large == "keep" ? IDI_LAMP_OFF : IDI_LAMP_GREEN));
        QVERIFY(!window.IsTimerRunning(CMainConsoleDlg::TIMER_CURRENT_VALUES)); // one tick only
        // Selections made by the program move neither the row nor the column.
        QCOMPARE(window.m_nProgramRow, 1);
        QCOMPARE(window.m_nCountdownColumn, 1);
        // Green for a quarter of a second, then dark, while the window goes on.
        QTRY_COMPARE_WITH_TIMEOUT(Lamp(window, IDC_STATUS_LAMP), int(IDI_LAMP_OFF), 2000);
    }

    void monitorTick_data() {
        QTest::addColumn<QByteArray>("lines");
        QTest::addColumn<int>("status");
        QTest::addColumn<QList<int>>("lights");
        QTest::addColumn<QString>("large");
        QTest::addColumn<QString>("small");
        QTest::addColumn<QString>("startNumber");
        QTest::addColumn<QString>("startTime");
        QTest::addColumn<QString>("leadTime");
        const QList<int> yellow = {IDI_LAMP_OFF, IDI_LAMP_YELLOW, IDI_LAMP_OFF};
        const QList<int> red = {IDI_LAMP_RED, IDI_LAMP_OFF, IDI_LAMP_OFF};
        const int green = IDI_LAMP_GREEN;
        QTest::newRow("display line with light state 2")
            << QByteArray::fromStdString(DisplayLine("    4:59", "  17", "2")) << green << yellow << "    4:59"
            << "  17"
            << "keep"
            << "keep"
            << "keep";
        QTest::newRow("display line of 12 characters") << QByteArray("D? 12345678 ") << green << kDark << "12345678"
                                                       << ""
                                                       << "keep"
                                                       << "keep"
                                                       << "keep";
        QTest::newRow("start 0013 shows 12") << QByteArray("0013 ST 10:11:12.345") << green << kDark << "keep"
                                             << "keep"
                                             << "12"
                                             << "10:11:12.345"
                                             << "keep";
        // Its first two columns are blanks as well: it is also a lead line.
        QTest::newRow("start '   1' shows 0") << QByteArray("   1 ST  9:00:00.00") << green << kDark << "keep"
                                              << "keep"
                                              << "0"
                                              << " 9:00:00.00"
                                              << ":00.00";
        QTest::newRow("start without digits shows -1") << QByteArray("abcd ST 1") << green << kDark << "keep"
                                                       << "keep"
                                                       << "-1"
                                                       << "1"
                                                       << "keep";
        QTest::newRow("lead line") << QByteArray("  LEAD TIME  0:01:30.25") << green << kDark << "keep"
                                   << "keep"
                                   << "keep"
                                   << "keep"
                                   << "0:01:30";
        QTest::newRow("no line: red and dark, displays keep") << QByteArray() << int(IDI_LAMP_RED) << kDark << "keep"
                                                              << "keep"
                                                              << "keep"
                                                              << "keep"
                                                              << "keep";
        QTest::newRow("unrecognised lines only") << QByteArray("S=\rXY ST\r ") << int(IDI_LAMP_RED) << kDark << "keep"
                                                 << "keep"
                                                 << "keep"
                                                 << "keep"
                                                 << "keep";
        QTest::newRow("the last line with a light state sets the lights")
            << QByteArray::fromStdString(DisplayLine("11111111", "1111", "1") + "\r" +
                                         DisplayLine("22222222", "2222", "9"))
            << green << red << "22222222"
            << "2222"
            << "keep"
            << "keep"
            << "keep";
        QTest::newRow("one line, two tests: blanks in 0-1 and ST in 5-6")
            << QByteArray("     ST 12:00:00.000 0:00:01") << green << kDark << "keep"
            << "keep"
            << "-1"
            << "12:00:00.000"
            << ":00.000";
    }
    void monitorTick() {
        QFETCH(QByteArray, lines);
        QFETCH(int, status);
        QFETCH(QList<int>, lights);
        QFETCH(QString, large);
        QFETCH(QString, small);
        QFETCH(QString, startNumber);
        QFETCH(QString, startTime);
        QFETCH(QString, leadTime);
        CPeerBench bench;
        CConsoleProbe window;
        window.Create();
        for (const int nId :
             {IDC_DISPLAY_LARGE, IDC_DISPLAY_SMALL, IDC_START_NUMBER, IDC_LAST_START_TIME, IDC_LEAD_TIME})
            window.Item<QLineEdit>(nId)->setText("keep");
        for (const int nId : {IDC_STATUS_LAMP, IDC_LIGHT_1, IDC_LIGHT_2, IDC_LIGHT_3})
            SetStaticIcon(window.Item<QLabel>(nId), IDI_LAMP_YELLOW);

        QVERIFY(window.m_link.Open(kPort, 2400));
        if (!lines.isEmpty())
            QVERIFY(bench.peer.Write(lines.toStdString() + "\r"));
        std::this_thread::sleep_for(kQueueTime);
        window.OnTimer(CMainConsoleDlg::TIMER_MONITOR);

        QCOMPARE(Lamp(window, IDC_STATUS_LAMP), status);
        QCOMPARE(Lights(window), lights);
        QCOMPARE(DlgItemText(window, IDC_DISPLAY_LARGE), large);
        QCOMPARE(DlgItemText(window, IDC_DISPLAY_SMALL), small);
        QCOMPARE(DlgItemText(window, IDC_START_NUMBER), startNumber);
        QCOMPARE(DlgItemText(window, IDC_LAST_START_TIME), startTime);
        QCOMPARE(DlgItemText(window, IDC_LEAD_TIME), leadTime);
        // The tick took every line: the next finds none.
        window.OnTimer(CMainConsoleDlg::TIMER_MONITOR);
        QCOMPARE(Lamp(window, IDC_STATUS_LAMP), int(IDI_LAMP_RED));
        QCOMPARE(Lights(window), kDark);
    }

    // A tick that brings what the window already shows repaints nothing; a tick that changes a lamp or a display
    // repaints that control alone.
    void aTickRepaintsOnlyWhatChanged_data() {
        QTest::addColumn<QByteArray>("first");
        QTest::addColumn<QByteArray>("second"); // "" for a tick without a line
        QTest::addColumn<QList<int>>("repainted");
        const QByteArray yellow = DisplayLine("    0:15", "  12", "2").c_str();
        QTest::newRow("the same line again") << yellow << yellow << QList<int>{};
        QTest::newRow("another time") << yellow << QByteArray(DisplayLine("    0:14", "  12", "2").c_str())
                                      << QList<int>{IDC_DISPLAY_LARGE};
        QTest::newRow("another light") << yellow << QByteArray(DisplayLine("    0:15", "  12", "3").c_str())
                                       << QList<int>{IDC_LIGHT_2, IDC_LIGHT_3};
        QTest::newRow("silence") << yellow << QByteArray() << QList<int>{IDC_STATUS_LAMP, IDC_LIGHT_2};
        QTest::newRow("a line without lights keeps them dark")
            << QByteArray(DisplayLine("    0:15", "  12", "x").c_str())
            << QByteArray(DisplayLine("    0:15", "  12", "x").c_str()) << QList<int>{};
    }
    void aTickRepaintsOnlyWhatChanged() {
        QFETCH(QByteArray, first);
        QFETCH(QByteArray, second);
        QFETCH(QList<int>, repainted);
        CPeerBench bench;
        CConsoleProbe window;
        window.Create();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY(window.m_link.Open(kPort, 2400));
        QVERIFY(bench.peer.Write(first.toStdString() + "\r"));
        std::this_thread::sleep_for(kQueueTime);
        window.OnTimer(CMainConsoleDlg::TIMER_MONITOR);
        QCoreApplication::processEvents(); // the first tick's paints

        CPaintCounter counter;
        for (const int nId : {IDC_STATUS_LAMP, IDC_LIGHT_1, IDC_LIGHT_2, IDC_LIGHT_3, IDC_DISPLAY_LARGE,
                              IDC_DISPLAY_SMALL, IDC_START_NUMBER, IDC_LAST_START_TIME, IDC_LEAD_TIME})
            window.GetDlgItem(nId)->installEventFilter(&counter);
        if (!second.isEmpty())
            QVERIFY(bench.peer.Write(second.toStdString() + "\r"));
        std::this_thread::sleep_for(kQueueTime);
        window.OnTimer(CMainConsoleDlg::TIMER_MONITOR);
        QCoreApplication::processEvents();
        for (const int nId : repainted)
            QVERIFY2(counter.m_ids.contains(nId), qPrintable(QString::number(nId)));
        // The three lights overlap a little, so a light's repaint may reach its neighbours; nothing else may repaint.
        QSet<int> allowed(repainted.begin(), repainted.end());
        for (const int nId : repainted) {
            if (nId == IDC_LIGHT_1 || nId == IDC_LIGHT_2 || nId == IDC_LIGHT_3)
                allowed << nId - 1 << nId + 1;
        }
        for (const int nId : counter.m_ids)
            QVERIFY2(allowed.contains(nId), qPrintable(QString("%1 repainted").arg(nId)));
    }

    void onAndOffSwitchMonitoring() {
        CPeerBench bench;
        CConsoleProbe window;
        window.Create();
        CEnableOrder order;
        for (const int nId : kCommandButtons)
            window.GetDlgItem(nId)->installEventFilter(&order);

        ClickButton(window, IDC_MONITOR_ON);
        QCOMPARE(order.m_ids, kCommandButtons);
        for (const int nId : kCommandButtons)
            QVERIFY2(!window.GetDlgItem(nId)->isEnabled(), qPrintable(QString::number(nId)));
        for (const int nId :
             {IDC_MONITOR_OFF, IDC_EXIT, IDC_PROGRAM, IDC_COUNTDOWN_NUMBER, IDC_BRIGHTNESS, IDC_BRIGHTNESS_SPIN})
            QVERIFY2(window.GetDlgItem(nId)->isEnabled(), qPrintable(QString::number(nId)));
        QVERIFY(window.m_link.IsOpen());
        QVERIFY(window.IsTimerRunning(CMainConsoleDlg::TIMER_MONITOR));
        QCOMPARE(QByteArray::fromStdString(bench.peer.ReadFor(100ms)), QByteArray("?D\r"));

        // The timer's own ticks show what arrives.
        QVERIFY(bench.peer.Write(DisplayLine("    0:42", "   7", "1") + "\r"));
        QTRY_COMPARE(DlgItemText(window, IDC_DISPLAY_LARGE), QString("    0:42"));
        QTRY_COMPARE(Lamp(window, IDC_STATUS_LAMP), int(IDI_LAMP_RED)); // the next tick found nothing

        order.m_ids.clear();
        QElapsedTimer elapsed;
        elapsed.start();
        ClickButton(window, IDC_MONITOR_OFF);
        QVERIFY(elapsed.elapsed() >= 230); // Close waits a quarter of a second
        QCOMPARE(order.m_ids, kCommandButtons);
        for (const int nId : kCommandButtons)
            QVERIFY(window.GetDlgItem(nId)->isEnabled());
        QVERIFY(!window.m_link.IsOpen());
        QVERIFY(!window.IsTimerRunning(CMainConsoleDlg::TIMER_MONITOR));
        QCOMPARE(Lamp(window, IDC_STATUS_LAMP), int(IDI_LAMP_OFF));
        QCOMPARE(DlgItemText(window, IDC_DISPLAY_LARGE), QString("    0:42")); // the displays keep what they show
        QCOMPARE(DlgItemText(window, IDC_DISPLAY_SMALL), QString("   7"));
        QCOMPARE(QByteArray::fromStdString(bench.peer.ReadFor(100ms)), QByteArray("?D\r"));

        // Off again, not monitoring: nothing can be written to the closed link, and the lamp stays dark.
        ClickButton(window, IDC_MONITOR_OFF);
        QCOMPARE(QByteArray::fromStdString(bench.peer.ReadFor(100ms)), QByteArray());
        QCOMPARE(Lamp(window, IDC_STATUS_LAMP), int(IDI_LAMP_OFF));
        QVERIFY(bench.Boxes().Entries().empty());
    }

    // ---- selection

    void userChoicesMoveTheRowAndTheColumn() {
        CPeerBench bench(PortSettings() + "[SetValues]\nProgram=11\nCDNumber=6\n"); // P7 and CD6 from the settings
        std::string row1;
        std::string row7;
        for (int i = 0; i < 12; ++i) { // twelve lines: only the first ten count
            row1 += "a;b;c;1:" + std::to_string(i) + "0;e\n";
            row7 += "a;b;c;7:" + std::to_string(i) + "0;e\n";
        }
        bench.Write("P1.txt", row1);
        bench.Write("P7.txt", row7);
        CConsoleProbe window;
        window.Create();
        QCOMPARE(Selected(window, IDC_PROGRAM), QString("P7"));
        QCOMPARE(window.m_countdownTimes[1][9], std::string("1:90"));
        QCOMPARE(window.m_countdownTimes[1][10], std::string());
        QCOMPARE(window.m_countdownTimes[2][0], std::string()); // no P2.txt

        // CD4 right after start-up: row 1, whatever program the settings selected.
        Choose(window, IDC_COUNTDOWN_NUMBER, "CD4");
        QCOMPARE(window.m_nCountdownColumn, 4);
        QCOMPARE(DlgItemText(window, IDC_COUNTDOWN_TIME), QString("1:40"));

        // P7, then CD4 again: row 7.
        Choose(window, IDC_PROGRAM, "P7");
        QCOMPARE(window.m_nProgramRow, 7);
        QCOMPARE(Selected(window, IDC_COUNTDOWN_NUMBER), QString("CD1"));
        QCOMPARE(DlgItemText(window, IDC_COUNTDOWN_TIME), QString("7:10"));
        QCOMPARE(window.m_nCountdownColumn, 4); // the column stays although the list shows CD1
        Choose(window, IDC_COUNTDOWN_NUMBER, "CD4");
        QCOMPARE(DlgItemText(window, IDC_COUNTDOWN_TIME), QString("7:40"));

        // P61: row 1, column 1, like P1; the list moves to CD1.
        Choose(window, IDC_PROGRAM, "P61");
        QCOMPARE(window.m_nProgramRow, 1);
        QCOMPARE(Selected(window, IDC_COUNTDOWN_NUMBER), QString("CD1"));
        QCOMPARE(DlgItemText(window, IDC_COUNTDOWN_TIME), QString("1:10"));

        // A program without a file: an empty time.
        Choose(window, IDC_PROGRAM, "P2");
        QCOMPARE(DlgItemText(window, IDC_COUNTDOWN_TIME), QString());

        // Selections made by the program raise no notification.
        Combo(window, IDC_PROGRAM)->SetCurSel(Combo(window, IDC_PROGRAM)->findText("P7"));
        Combo(window, IDC_COUNTDOWN_NUMBER)->SetCurSel(9);
        QCOMPARE(window.m_nProgramRow, 2);
        QCOMPARE(window.m_nCountdownColumn, 4);
        QCOMPARE(DlgItemText(window, IDC_COUNTDOWN_TIME), QString());
    }

    // ---- acknowledgements

    void anUnansweredSetLeavesTheWindowResponsive() {
        CPeerBench bench; // the peer never answers
        CConsoleProbe window;
        window.Create();
        ClickButton(window, IDC_SET_BRIGHTNESS);
        QVERIFY(window.IsTimerRunning(CMainConsoleDlg::TIMER_ACK));

        // A tick without an acknowledgement returns at once.
        QElapsedTimer elapsed;
        elapsed.start();
        window.OnTimer(CMainConsoleDlg::TIMER_ACK);
        QVERIFY2(elapsed.elapsed() < 100, qPrintable(QString::number(elapsed.elapsed())));

        // For a second of unanswered ticks the window keeps handling its events: a 10 ms probe comes through
        // most of the time (ticks that slept 250 ms each would let it through a handful of times).
        int nProbes = 0;
        QTimer probe;
        connect(&probe, &QTimer::timeout, [&nProbes] { ++nProbes; });
        probe.start(10ms);
        QTest::qWait(1000);
        probe.stop();
        QVERIFY2(nProbes > 40, qPrintable(QString::number(nProbes)));
        QVERIFY(window.IsTimerRunning(CMainConsoleDlg::TIMER_ACK)); // still waiting for an acknowledgement
        QCOMPARE(Lamp(window, IDC_STATUS_LAMP), int(IDI_LAMP_OFF));
    }

    void anAcknowledgementLightsTheLampForAQuarterSecond() {
        CPeerBench bench;
        CConsoleProbe window;
        window.Create();
        std::thread device([&bench] {
            if (bench.peer.ReadUntil(4, 3s) == "=P1\r")
                bench.peer.Write("B=9\r"); // any set acknowledgement ends the wait of any set command
        });
        ClickButton(window, IDC_SET_PROGRAM);
        device.join();
        QVERIFY(window.IsTimerRunning(CMainConsoleDlg::TIMER_ACK));

        // Watch the lamp from a 5 ms probe: the event loop must run while it is green.
        QElapsedTimer clock;
        clock.start();
        qint64 nGreenAt = -1;
        qint64 nDarkAt = -1;
        int nProbesWhileGreen = 0;
        QTimer probe;
        connect(&probe, &QTimer::timeout, [&] {
            const int nLamp = Lamp(window, IDC_STATUS_LAMP);
            if (nLamp == IDI_LAMP_GREEN) {
                if (nGreenAt < 0)
                    nGreenAt = clock.elapsed();
                ++nProbesWhileGreen;
            } else if (nLamp == IDI_LAMP_OFF && nGreenAt >= 0 && nDarkAt < 0) {
                nDarkAt = clock.elapsed();
            }
        });
        probe.start(5ms);
        QTRY_VERIFY_WITH_TIMEOUT(nDarkAt >= 0, 3000);
        probe.stop();
        QVERIFY(!window.IsTimerRunning(CMainConsoleDlg::TIMER_ACK));
        const qint64 nGreenMs = nDarkAt - nGreenAt;
        QVERIFY2(nGreenMs >= 150 && nGreenMs < 1500, qPrintable(QString::number(nGreenMs)));
        QVERIFY2(nProbesWhileGreen >= 5, qPrintable(QString::number(nProbesWhileGreen)));
    }

    void modeAcknowledgementsTakeOneTick_data() {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<int>("lamp");
        QTest::newRow("M=") << QByteArray("M=") << int(IDI_LAMP_GREEN);
        QTest::newRow("S=") << QByteArray("S=1") << int(IDI_LAMP_GREEN);
        QTest::newRow("P= is not a mode acknowledgement") << QByteArray("P=1") << int(IDI_LAMP_OFF);
        QTest::newRow("nothing") << QByteArray() << int(IDI_LAMP_OFF);
    }
    void modeAcknowledgementsTakeOneTick() {
        QFETCH(QByteArray, line);
        QFETCH(int, lamp);
        CPeerBench bench;
        CConsoleProbe window;
        window.Create();
        QVERIFY(window.m_link.Open(kPort, 2400));
        if (!line.isEmpty())
            QVERIFY(bench.peer.Write(line.toStdString() + "\r"));
        std::this_thread::sleep_for(kQueueTime);
        window.SetTimer(CMainConsoleDlg::TIMER_MODE_ACK, 100ms);
        QElapsedTimer elapsed;
        elapsed.start();
        window.OnTimer(CMainConsoleDlg::TIMER_MODE_ACK);
        QVERIFY(elapsed.elapsed() < 100);
        QCOMPARE(Lamp(window, IDC_STATUS_LAMP), lamp);
        QVERIFY(!window.IsTimerRunning(CMainConsoleDlg::TIMER_MODE_ACK));
        QTRY_COMPARE_WITH_TIMEOUT(Lamp(window, IDC_STATUS_LAMP), int(IDI_LAMP_OFF), 2000);
    }

    void timerIdsOutsideTheTableAreIgnored() {
        CPeerBench bench;
        CConsoleProbe window;
        window.Create();
        QVERIFY(window.m_link.Open(kPort, 2400));
        QVERIFY(bench.peer.Write("P=1\rD? 12345678 1234 1\r"));
        std::this_thread::sleep_for(kQueueTime);
        for (const int nId : {0, 5, 7, 16})
            window.OnTimer(nId);
        QCOMPARE(Lamp(window, IDC_STATUS_LAMP), int(IDI_LAMP_OFF));
        // The lines are still queued: the monitor's tick finds them.
        window.OnTimer(CMainConsoleDlg::TIMER_MONITOR);
        QCOMPARE(DlgItemText(window, IDC_DISPLAY_LARGE), QString("12345678"));
    }

    // ---- the way out

    void exitClosesTheLinkAndEndsTheWindow_data() {
        QTest::addColumn<QString>("way");
        QTest::newRow("Exit button") << "button";
        QTest::newRow("Enter in the program list") << "enter";
        QTest::newRow("close box") << "close";
    }
    void exitClosesTheLinkAndEndsTheWindow() {
        QFETCH(QString, way);
        CPeerBench bench;
        CConsoleProbe window;
        window.Create();
        ClickButton(window, IDC_MONITOR_ON);
        QCOMPARE(QByteArray::fromStdString(bench.peer.ReadFor(100ms)), QByteArray("?D\r"));
        QVERIFY(!PortIsFree());
        if (way == "button") {
            ClickButton(window, IDC_EXIT);
        } else if (way == "enter") {
            window.GetDlgItem(IDC_PROGRAM)->setFocus();
            QTest::keyClick(window.GetDlgItem(IDC_PROGRAM), Qt::Key_Return);
        } else {
            window.close();
        }
        QVERIFY(window.IsEnded());
        QCOMPARE(window.result(), int(IDOK));
        QVERIFY(!window.m_link.IsOpen());
        QVERIFY(!window.IsTimerRunning(CMainConsoleDlg::TIMER_MONITOR));
        QVERIFY(!window.IsTimerRunning(CMainConsoleDlg::TIMER_CLOCK));
        QVERIFY(PortIsFree());
        QCOMPARE(QByteArray::fromStdString(bench.peer.ReadFor(100ms)), QByteArray()); // nothing sent on the way out
    }

    void escapeEndsTheWindowAndItsDestructorClosesTheLink() {
        CPeerBench bench;
        auto window = std::make_unique<CConsoleProbe>();
        window->Create();
        ClickButton(*window, IDC_MONITOR_ON);
        QVERIFY(!PortIsFree());
        QTest::keyClick(window->GetDlgItem(IDC_PROGRAM), Qt::Key_Escape);
        QVERIFY(window->IsEnded());
        QCOMPARE(window->result(), int(IDCANCEL));
        QVERIFY(window->m_link.IsOpen()); // not through the exit handler
        QVERIFY(!PortIsFree());
        window.reset();
        QVERIFY(PortIsFree());
    }

    void runsModallyUntilExit() {
        CDialogFiles bench(PortSettings());
        CMainConsoleDlg window;
        QTimer::singleShot(100ms, &window, [&window] {
            // Enter in a list, where no push button has the focus: Exit, the default button.
            window.GetDlgItem(IDC_COUNTDOWN_NUMBER)->setFocus();
            QTest::keyClick(window.GetDlgItem(IDC_COUNTDOWN_NUMBER), Qt::Key_Enter);
        });
        QCOMPARE(window.DoModal(), int(IDOK));
    }

    // ---- the other dialogs

    void portSettingsTakesTheChoiceOnOkOnly_data() {
        QTest::addColumn<bool>("ok");
        QTest::addColumn<int>("port");
        QTest::addColumn<int>("baudRate");
        QTest::newRow("OK") << true << 3 << 9600;
        QTest::newRow("Cancel") << false << 6 << 4800;
    }
    void portSettingsTakesTheChoiceOnOkOnly() {
        QFETCH(bool, ok);
        QFETCH(int, port);
        QFETCH(int, baudRate);
        CDialogFiles bench("[Settings]\nCOMPort=5\nBaudrate=1\n");
        CConsoleProbe window;
        window.Create();
        QCOMPARE(window.m_nPort, 6);
        QCOMPARE(window.m_nBaudRate, 4800);
        int nTemplate = 0;
        WhenModalOpens<CDialog>(qApp, [&nTemplate, ok](CDialog* pDialog) {
            CDialog& dialog = *pDialog;
            nTemplate = dialog.TemplateId();
            auto* ports = dialog.Item<CComboBox>(IDC_COM_PORT_LIST);
            auto* rates = dialog.Item<CComboBox>(IDC_BAUD_RATE_LIST);
            if (ports && rates) {
                ports->SetCurSel(ports->findText("COM 3"));
                rates->SetCurSel(rates->findText("9600"));
            }
            if (ok)
                QTest::mouseClick(dialog.Item<QPushButton>(IDOK), Qt::LeftButton);
            else
                QTest::keyClick(&dialog, Qt::Key_Escape); // the dialog has no Cancel button
        });
        ClickButton(window, IDC_PORT_SETTINGS);
        QCOMPARE(nTemplate, IDD_COM_PORT);
        QCOMPARE(window.m_nPort, port);
        QCOMPARE(window.m_nBaudRate, baudRate);
    }

    void readMemoryAndParametersOpenModally_data() {
        QTest::addColumn<int>("button");
        QTest::addColumn<int>("dialog");
        QTest::newRow("Read Memory") << int(IDC_READ_MEMORY) << int(IDD_READ_MEMORY);
        QTest::newRow("Configure Parameters") << int(IDC_CONFIGURE_PARAMETERS) << int(IDD_PARAMETERS);
    }
    void readMemoryAndParametersOpenModally() {
        QFETCH(int, button);
        QFETCH(int, dialog);
        CPeerBench bench;
        CConsoleProbe window;
        window.Create();
        int nTemplate = 0;
        bool bParent = false;
        WhenModalOpens<CDialog>(qApp, [&](CDialog* pOpened) {
            CDialog& opened = *pOpened;
            nTemplate = opened.TemplateId();
            bParent = opened.parentWidget() == &window;
            opened.EndDialog(IDCANCEL);
        });
        ClickButton(window, button);
        QCOMPARE(nTemplate, dialog);
        QVERIFY(bParent);
        QVERIFY(!window.IsEnded());
        QVERIFY(!window.m_link.IsOpen()); // the main window's link plays no part
    }

    // ---- against the simulator

    void currentValuesFromTheSimulator() {
        CDialogFiles bench(PortSettings());
        bench.Write("P0.txt", "x;x;x;0:30\nx;x;x;1:00\nx;x;x;5:00\n");
        CSimProcess sim(bench.Dir().Path(), {"--com", std::to_string(kPort), "--frozen", "--program", "5"});
        CConsoleProbe window;
        window.Create();
        ClickButton(window, IDC_GET_CURRENT_VALUES);
        QTRY_COMPARE(Lamp(window, IDC_STATUS_LAMP), int(IDI_LAMP_GREEN));
        QCOMPARE(Selected(window, IDC_PROGRAM), QString("P5"));
        QCOMPARE(DlgItemText(window, IDC_COUNTDOWN_TIME), QString("5:00"));
        QCOMPARE(Selected(window, IDC_COUNTDOWN_NUMBER), QString("CD2"));
        QCOMPARE(DlgItemText(window, IDC_BRIGHTNESS), QString("9"));
        QVERIFY(!DlgItemText(window, IDC_DISPLAY_LARGE).trimmed().isEmpty());
        QCOMPARE(DlgItemText(window, IDC_DISPLAY_SMALL).trimmed(), QString("1"));
        QTRY_COMPARE(Lamp(window, IDC_STATUS_LAMP), int(IDI_LAMP_OFF));
        QVERIFY(bench.Boxes().Entries().empty());
    }

    void everySetIsAcknowledgedBySimulator() {
        CDialogFiles bench(PortSettings());
        CSimProcess sim(bench.Dir().Path(), {"--com", std::to_string(kPort), "--frozen"});
        CConsoleProbe window;
        window.Create();
        window.Item<QLineEdit>(IDC_PC_TIME)->setText("10:20:30");
        window.Item<QLineEdit>(IDC_BRIGHTNESS)->setText("4");
        for (const int nButton :
             {IDC_SET_PROGRAM, IDC_SET_COUNTDOWN_NUMBER, IDC_SET_BRIGHTNESS, IDC_SET_PC_TIME, IDC_MASTER, IDC_SLAVE}) {
            QTRY_COMPARE(Lamp(window, IDC_STATUS_LAMP), int(IDI_LAMP_OFF));
            ClickButton(window, nButton);
            QTRY_VERIFY2(Lamp(window, IDC_STATUS_LAMP) == IDI_LAMP_GREEN, qPrintable(QString::number(nButton)));
            QVERIFY(!window.IsTimerRunning(CMainConsoleDlg::TIMER_ACK));
        }
        // The device took the values: its current values report them.
        QTRY_COMPARE(Lamp(window, IDC_STATUS_LAMP), int(IDI_LAMP_OFF));
        window.Item<QLineEdit>(IDC_BRIGHTNESS)->clear();
        ClickButton(window, IDC_GET_CURRENT_VALUES);
        QTRY_COMPARE(DlgItemText(window, IDC_BRIGHTNESS), QString("4"));
        QVERIFY(bench.Boxes().Entries().empty());
    }

    void monitoringTheSimulatorShowsTheCountdownAndTheLights() {
        CDialogFiles bench(PortSettings());
        // Program 3 starts every two minutes: red for the second-to-last minute, yellow for the last; at sixty
        // times the speed that is a second each.
        CSimProcess sim(bench.Dir().Path(), {"--com", std::to_string(kPort), "--program", "3", "--speed", "60"});
        CConsoleProbe window;
        window.Create();
        ClickButton(window, IDC_MONITOR_ON);
        std::set<QString> displays;
        std::set<QList<int>> patterns;
        int nGreen = 0;
        QElapsedTimer elapsed;
        elapsed.start();
        while (elapsed.elapsed() < 4500) {
            QTest::qWait(50);
            displays.insert(DlgItemText(window, IDC_DISPLAY_LARGE));
            patterns.insert(Lights(window));
            nGreen += Lamp(window, IDC_STATUS_LAMP) == IDI_LAMP_GREEN;
        }
        QVERIFY2(displays.size() >= 5, qPrintable(QString::number(displays.size())));
        QVERIFY(patterns.count({IDI_LAMP_RED, IDI_LAMP_OFF, IDI_LAMP_OFF}) == 1);
        QVERIFY(patterns.count({IDI_LAMP_OFF, IDI_LAMP_YELLOW, IDI_LAMP_OFF}) == 1);
        QVERIFY(nGreen > 20);
        QVERIFY(!DlgItemText(window, IDC_START_NUMBER).isEmpty()); // a start happened meanwhile
        QVERIFY(!DlgItemText(window, IDC_LEAD_TIME).isEmpty());
        ClickButton(window, IDC_MONITOR_OFF);
        QVERIFY(bench.Boxes().Entries().empty());
    }

    // The unit is switched off and on again (the simulator ended and started again under the same link) while
    // monitoring: the window follows the new unit by itself, which needs one "?D" since it starts silent; the
    // status lamp is red at every tick while the unit is away.
    void monitoringFollowsAUnitSwitchedOffAndOnAgain() {
        CDialogFiles bench(PortSettings());
        const std::string strRecord = bench.Dir().File("received.bin");
        auto first = std::make_unique<CSimProcess>(
            bench.Dir().Path(), std::vector<std::string>{"--com", std::to_string(kPort), "--frozen", "--program", "2"});
        CConsoleProbe window;
        window.Create();
        ClickButton(window, IDC_MONITOR_ON);
        QTRY_VERIFY_WITH_TIMEOUT(!DlgItemText(window, IDC_DISPLAY_LARGE).isEmpty(), 3000);
        const QString strBefore = DlgItemText(window, IDC_DISPLAY_LARGE);

        first.reset();
        QTest::qWait(600);
        for (int i = 0; i < 5; ++i) {
            QTest::qWait(110);
            QCOMPARE(Lamp(window, IDC_STATUS_LAMP), int(IDI_LAMP_RED));
        }
        CSimProcess second(bench.Dir().Path(),
                           {"--com", std::to_string(kPort), "--frozen", "--program", "7", "--record", strRecord});
        QElapsedTimer elapsed;
        elapsed.start();
        // Within two seconds as a rule (half a second to reopen, a second to see the unit is silent); more on a
        // loaded machine.
        QTRY_VERIFY_WITH_TIMEOUT(DlgItemText(window, IDC_DISPLAY_LARGE) != strBefore, 4000);
        qInfo("the display followed the new unit after %lld ms", elapsed.elapsed());
        QCOMPARE(Lamp(window, IDC_STATUS_LAMP), int(IDI_LAMP_GREEN));
        QCOMPARE(QByteArray::fromStdString(ReadFileBytes(strRecord).value_or("")), QByteArray("?D\r"));
        QVERIFY(bench.Boxes().Entries().empty());
        ClickButton(window, IDC_MONITOR_OFF);
    }

    // A unit that kept streaming while its cable was out is not switched off: no "?D" after the reconnection.
    void monitoringLeavesAStreamingUnitStreamingAfterTheCableIsBack() {
        CDialogFiles bench(PortSettings());
        const std::string strRecord = bench.Dir().File("received.bin");
        CSimProcess sim(bench.Dir().Path(), {"--com", std::to_string(kPort), "--record", strRecord});
        CConsoleProbe window;
        window.Create();
        ClickButton(window, IDC_MONITOR_ON);
        QTRY_COMPARE_WITH_TIMEOUT(Lamp(window, IDC_STATUS_LAMP), int(IDI_LAMP_GREEN), 3000);
        sim.Signal(SIGUSR1);
        QTRY_COMPARE_WITH_TIMEOUT(Lamp(window, IDC_STATUS_LAMP), int(IDI_LAMP_RED), 3000);
        QTest::qWait(300);
        sim.Signal(SIGUSR2);
        QTRY_VERIFY_WITH_TIMEOUT(window.m_link.ReopenCount() == 1, 3000);
        QTRY_COMPARE_WITH_TIMEOUT(Lamp(window, IDC_STATUS_LAMP), int(IDI_LAMP_GREEN), 3000);
        QTest::qWait(1500); // past the second in which a silent unit would be switched on
        QCOMPARE(QByteArray::fromStdString(ReadFileBytes(strRecord).value_or("")), QByteArray("?D\r"));
        ClickButton(window, IDC_MONITOR_OFF);
    }

    // ---- picture for the documentation

    void screenshot() {
        const QByteArray directory = qgetenv("KALVORA_SCREENSHOT_DIR");
        if (directory.isEmpty())
            QSKIP("KALVORA_SCREENSHOT_DIR is not set");
        CDialogFiles bench(PortSettings());
        bench.Write("P1.txt", "x;x;x;0:30\nx;x;x;1:00\nx;x;x;1:30\n");
        CSimProcess sim(bench.Dir().Path(), {"--com", std::to_string(kPort), "--program", "3", "--speed", "30",
                                             "--memory", "11", "--clock", "10:14:00"});
        CMainConsoleDlg window;
        window.Create();
        // Program 3 at thirty times the speed starts every four seconds: by now one start has passed and the
        // next countdown shows its red light.
        ClickButton(window, IDC_MONITOR_ON);
        QTest::qWait(5000);
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QString strPath = QString::fromLocal8Bit(directory) + "/main-window.png";
        QVERIFY(window.grab().save(strPath));
        ClickButton(window, IDC_MONITOR_OFF);
    }
};

QTEST_MAIN(CMainConsoleDlgTest)
#include "MainConsoleDlgTest.moc"
