#include "app/AboutDlg.h"
#include "base/Files.h"
#include "i18n/Language.h"
#include "res/Resource.h"
#include "tests/support/DialogTesting.h"
#include "tests/support/TempDir.h"

#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

namespace {

// "Test" and "Other" languages for the About box, and a settings file that names "Other".
void WriteLanguages(const CTempDir& directory) {
    QVERIFY(WriteFileReplacing(directory.File("identifiers.ini"), "[Identifiers]\n"
                                                                  "IDD_ABOUTBOX=100\n"
                                                                  "IDOK=1\n"
                                                                  "IDC_STATIC=-1\n"
                                                                  "IDC_ABOUT_NOTICE=1078\n"
                                                                  "IDC_ABOUT_WEB=1079\n"
                                                                  "IDC_ABOUT_VERSION=1080\n"));
    QVERIFY(WriteFileReplacing(directory.File("lng_Test.ini"), "[Strings]\n"
                                                               "IDD_ABOUTBOX=\xC3\x9C"
                                                               "ber Kalvora\n"
                                                               "IDOK=Gut\n"
                                                               "IDC_STATIC=Bild\n"
                                                               "IDC_ABOUT_VERSION=Kalvora & Co 1.4\n"
                                                               "IDC_ABOUT_WEB=<a href=\"x\">Netz</a>\n"));
    QVERIFY(WriteFileReplacing(directory.File("lng_Other.ini"), "[Strings]\n"
                                                                "IDD_ABOUTBOX=Other title\n"
                                                                "IDC_ABOUT_VERSION=Other version\n"));
    QVERIFY(WriteFileReplacing(directory.File("config.ini"), "[System]\nLanguage=Other\n"));
}

// A main window that opens the About box from its menu, the way the program's main window does.
class CMenuOwner : public CDialog {
public:
    CMenuOwner() : CDialog(IDD_MAIN_CONSOLE) { AddAboutEntry(*this); }
    std::vector<int> m_commands;
    QString m_strAboutTitle; // title of the About box while it was open

protected:
    void OnSysCommand(int nId) override {
        m_commands.push_back(nId);
        if ((nId & 0xFFF0) == IDM_ABOUTBOX) {
            CAboutDlg about(this);
            QTimer::singleShot(0, &about, [this, &about] {
                m_strAboutTitle = about.windowTitle();
                about.EndDialog(IDOK);
            });
            about.DoModal();
        }
    }
};

} // namespace

class CAboutDlgTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { LoadLanguage("none-loaded"); }

    void showsItsTemplate() {
        CAboutDlg about;
        about.Create();
        QCOMPARE(about.windowTitle(), QString("About Kalvora"));
        QCOMPARE(about.size(), QSize(about.Units().X(235), about.Units().Y(63)));
        auto* version = about.Item<QLabel>(IDC_ABOUT_VERSION);
        QCOMPARE(version->text(), QString("Kalvora Version 1.4"));
        QCOMPARE(version->textFormat(), Qt::PlainText);
        QVERIFY(!DlgItemText(about, IDC_ABOUT_NOTICE).isEmpty());
        QVERIFY(!DlgItemText(about, IDC_ABOUT_WEB).isEmpty());
        auto* ok = about.Item<QPushButton>(IDOK);
        QCOMPARE(ok->text(), QString("OK"));
        QVERIFY(ok->isDefault());
        QCOMPARE(about.focusWidget(), ok);
        auto* picture = about.Item<QLabel>(IDC_STATIC);
        QVERIFY(picture);
        QCOMPARE(picture->pixmap().size(), QSize(68, 43));
        QCOMPARE(picture->pos(), QPoint(about.Units().X(7), about.Units().Y(7)));
    }

    void translatesWithKey100FromTheLanguageLoadedLast() {
        CExecutableDirectory directory;
        WriteLanguages(directory);
        LoadLanguage("Test"); // config.ini names "Other": the About box does not read it

        CAboutDlg about;
        about.Create();
        QCOMPARE(about.windowTitle(), QString::fromUtf8("\xC3\x9C"
                                                        "ber Kalvora"));
        QCOMPARE(DlgItemText(about, IDOK), QString("Gut"));
        // The version label shows "&" as it is; the web line shows markup as plain text.
        QCOMPARE(about.Item<QLabel>(IDC_ABOUT_VERSION)->text(), QString("Kalvora & Co 1.4"));
        QCOMPARE(about.Item<QLabel>(IDC_ABOUT_WEB)->text(), QString("<a href=\"x\">Netz</a>"));
        QCOMPARE(about.Item<QLabel>(IDC_ABOUT_WEB)->textFormat(), Qt::PlainText);
        // No text for the notice: the template's stays. The picture keeps its bitmap whatever its text.
        CDialog plain(IDD_ABOUTBOX);
        QCOMPARE(DlgItemText(about, IDC_ABOUT_NOTICE), DlgItemText(plain, IDC_ABOUT_NOTICE));
        QCOMPARE(about.Item<QLabel>(IDC_STATIC)->pixmap().size(), QSize(68, 43));
    }

    void everyBoxTakesTheTablesAsTheyAreWhenItOpens() {
        CExecutableDirectory directory;
        WriteLanguages(directory);

        CAboutDlg before; // no language loaded yet, although config.ini names one
        before.Create();
        QCOMPARE(before.windowTitle(), QString("About Kalvora"));
        QCOMPARE(DlgItemText(before, IDC_ABOUT_VERSION), QString("Kalvora Version 1.4"));

        LoadLanguage("Other");
        CAboutDlg other;
        other.Create();
        QCOMPARE(other.windowTitle(), QString("Other title"));
        QCOMPARE(DlgItemText(other, IDC_ABOUT_VERSION), QString("Other version"));
        QCOMPARE(DlgItemText(other, IDOK), QString("OK"));

        LoadLanguage("Missing");
        CAboutDlg missing;
        missing.Create();
        QCOMPARE(missing.windowTitle(), QString("About Kalvora"));
        QCOMPARE(DlgItemText(other, IDC_ABOUT_VERSION), QString("Other version")); // an open box keeps its texts
    }

    void okAndEscapeCloseTheBox_data() {
        QTest::addColumn<bool>("escape");
        QTest::addColumn<int>("result");
        QTest::newRow("OK") << false << int(IDOK);
        QTest::newRow("Escape") << true << int(IDCANCEL);
    }
    void okAndEscapeCloseTheBox() {
        QFETCH(bool, escape);
        QFETCH(int, result);
        CAboutDlg about;
        QTimer::singleShot(0, &about, [&about, escape] {
            if (escape)
                QTest::keyClick(&about, Qt::Key_Escape);
            else
                QTest::mouseClick(about.Item<QPushButton>(IDOK), Qt::LeftButton);
        });
        QCOMPARE(about.DoModal(), result);
        QVERIFY(!about.isVisible());
    }

    void aboutEntryIsInTheWindowMenuAndOnF1() {
        CMenuOwner owner;
        QCOMPARE(owner.contextMenuPolicy(), Qt::ActionsContextMenu);
        QAction* entry = nullptr;
        for (QAction* action : owner.actions()) {
            if (action->text() == QLatin1String("&About Kalvora..."))
                entry = action;
        }
        QVERIFY(entry);
        QVERIFY(owner.actions().front()->isSeparator());
        QCOMPARE(entry->shortcut(), QKeySequence(Qt::Key_F1));
        entry->trigger();
        QCOMPARE(owner.m_commands, std::vector<int>{IDM_ABOUTBOX});
        QCOMPARE(owner.m_strAboutTitle, QString("About Kalvora"));

        owner.Create();
        owner.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&owner));
        QTest::keyClick(owner.focusWidget(), Qt::Key_F1);
        QCOMPARE(owner.m_commands, (std::vector<int>{IDM_ABOUTBOX, IDM_ABOUTBOX}));
    }

    void enterPressesOk() {
        CAboutDlg about;
        QTimer::singleShot(0, &about, [&about] { QTest::keyClick(about.focusWidget(), Qt::Key_Return); });
        QCOMPARE(about.DoModal(), int(IDOK));
    }
};

QTEST_MAIN(CAboutDlgTest)
#include "AboutDlgTest.moc"
