// The program as a user starts it: the command line changes nothing, whatever it holds.

#include "base/Files.h"
#include "tests/support/InstalledLayout.h"
#include "tests/support/TempDir.h"

#include <QDir>
#include <QProcess>
#include <QProcessEnvironment>
#include <QtTest>

#include <filesystem>

class CStartUpTest : public QObject {
    Q_OBJECT

private slots:
    // Options that Qt itself would act on: an unknown platform would end the program at once, the others change
    // its look. The program must start and keep running as without them.
    void argumentsMeantForQtHaveNoEffect_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("platform") << QStringList{"-platform", "no-such-platform"};
        QTest::newRow("platform with equals") << QStringList{"-platform=no-such-platform"};
        QTest::newRow("style, stylesheet, reverse, then platform")
            << QStringList{"-style", "fusion", "-stylesheet", "missing.qss", "-reverse", "-platform", "none"};
        QTest::newRow("arbitrary words and flags") << QStringList{"/x", "--help", "-qwindowgeometry", "1x1", "P1.txt"};
    }
    void argumentsMeantForQtHaveNoEffect() {
        QFETCH(QStringList, arguments);
        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        program.setProcessEnvironment(environment);
        program.setProcessChannelMode(QProcess::MergedChannels);
        program.start(QStringLiteral(KALVORA_PROGRAM_PATH), arguments);
        QVERIFY(program.waitForStarted(5000));
        // Qt refuses an unknown platform within a few milliseconds of the start; a program that ignores its
        // arguments is still showing its window long after.
        QVERIFY2(!program.waitForFinished(1500), program.readAll().constData());
        QCOMPARE(program.state(), QProcess::Running);
        program.kill();
        program.waitForFinished(5000);
    }

    // An installed program (a copy in an installed layout) starting for a user: the user's directory is made and
    // given the shipped config.ini, unless it has one; nothing is written beside the executable.
    void anInstalledProgramsFirstStartGivesTheUserTheDefaultSettings_data() {
        QTest::addColumn<QByteArray>("usersOwn");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("first start") << QByteArray() << QByteArray("[System]\r\nLanguage=English\r\n");
        QTest::newRow("the user's own file stays")
            << QByteArray("[Settings]\nCOMPort=3\n") << QByteArray("[Settings]\nCOMPort=3\n");
    }
    void anInstalledProgramsFirstStartGivesTheUserTheDefaultSettings() {
        QFETCH(QByteArray, usersOwn);
        QFETCH(QByteArray, expected);
        CInstalledLayout layout;
        layout.WriteShippedFile("config.ini", "[System]\r\nLanguage=English\r\n");
        if (!usersOwn.isEmpty())
            layout.WriteUserFile("config.ini", usersOwn.toStdString());
        const std::string strProgram = layout.Bin() + "/kalvora";
        std::filesystem::copy_file(KALVORA_PROGRAM_PATH, strProgram);

        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment(); // with the layout's XDG_DATA_HOME
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        program.setProcessEnvironment(environment);
        program.start(QString::fromStdString(strProgram), {});
        QVERIFY(program.waitForStarted(5000));
        const std::string strUserSettings = layout.User() + "/config.ini";
        QTRY_VERIFY_WITH_TIMEOUT(ReadFileBytes(strUserSettings).has_value(), 10000);
        QVERIFY(!program.waitForFinished(1000)); // and its window stays
        QCOMPARE(QByteArray::fromStdString(ReadFileBytes(strUserSettings).value_or("")), expected);
        QCOMPARE(QDir(QString::fromStdString(layout.Bin())).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                 QStringList{"kalvora"});
        if (usersOwn.isEmpty()) // made by the program: for the user alone
            QCOMPARE(std::filesystem::status(layout.User()).permissions() & std::filesystem::perms::all,
                     std::filesystem::perms::owner_all);
        program.kill();
        program.waitForFinished(5000);
    }
};

QTEST_GUILESS_MAIN(CStartUpTest)
#include "StartUpTest.moc"
