// The program as a user starts it: the command line changes nothing, whatever it holds.

#include <QProcess>
#include <QProcessEnvironment>
#include <QtTest>

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
};

QTEST_GUILESS_MAIN(CStartUpTest)
#include "StartUpTest.moc"
