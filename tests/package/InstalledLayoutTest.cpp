// The windows of a program run from the staged install tree (ctest's package.Stage): the executable's directory is
// the tree's bin directory, the user's files live in a fresh $XDG_DATA_HOME/kalvora. The windows read the shipped
// language files from the tree and the user's settings and program files from the user's directory, and every
// file they write goes there; the tree stays as installed.

#include "base/ExecutableDirectory.h"
#include "base/FileLocations.h"
#include "base/Files.h"
#include "console/MainConsoleDlg.h"
#include "programs/ParametersDlg.h"
#include "res/Resource.h"
#include "settings/ComPortDlg.h"
#include "tests/support/DialogTesting.h"
#include "tests/support/InstalledLayout.h"
#include "tests/support/TempDir.h"

#include <QPushButton>
#include <QtTest>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

namespace {

namespace fs = std::filesystem;

const std::string kStagedBin = KALVORA_PACKAGE_STAGE "/usr/bin";

class CConsoleProbe : public CMainConsoleDlg {
public:
    using CMainConsoleDlg::m_countdownTimes;
};

// The program's files as the staged install and a user of it see them, for one test.
class CInstalledUser {
public:
    CInstalledUser() {
        if (const char* pszSaved = std::getenv("XDG_DATA_HOME"))
            m_strSavedDataHome = pszSaved;
        setenv("XDG_DATA_HOME", m_dataHome.Path().c_str(), 1);
        SetExecutableDirectory(kStagedBin);
    }
    ~CInstalledUser() {
        SetExecutableDirectory({});
        if (m_strSavedDataHome)
            setenv("XDG_DATA_HOME", m_strSavedDataHome->c_str(), 1);
        else
            unsetenv("XDG_DATA_HOME");
    }
    CInstalledUser(const CInstalledUser&) = delete;
    CInstalledUser& operator=(const CInstalledUser&) = delete;

    std::string Files() const { return m_dataHome.File("kalvora"); }
    void Write(const std::string& strName, const std::string& strText) const {
        fs::create_directories(Files());
        if (!WriteFileReplacing(Files() + "/" + strName, strText))
            qFatal("cannot write the user's %s", strName.c_str());
    }
    std::optional<std::string> Read(const std::string& strName) const { return ReadFileBytes(Files() + "/" + strName); }

private:
    CTempDir m_dataHome;
    std::optional<std::string> m_strSavedDataHome;
    CMessageBoxRecorder m_boxes;
};

// Every entry of the staged tree (the tests run beside each other: none may change it).
std::vector<std::string> StagedEntries() {
    std::vector<std::string> entries;
    for (const auto& entry : fs::recursive_directory_iterator(KALVORA_PACKAGE_STAGE))
        entries.push_back(entry.path().string());
    std::sort(entries.begin(), entries.end());
    return entries;
}

} // namespace

class CInstalledLayoutTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QVERIFY2(fs::exists(kStagedBin + "/kalvora"), "no staged install; ctest's package.Stage makes it");
        m_staged = StagedEntries();
    }
    void cleanupTestCase() { QCOMPARE(StagedEntries(), m_staged); }

    void theInstallTreeIsTheShippedOne() {
        CInstalledUser user;
        QVERIFY(CurrentFileLocations().m_bInstalled);
        QCOMPARE(QString::fromStdString(FilesDirectory()), QString::fromStdString(user.Files()));
        QCOMPARE(fs::canonical(ShippedDirectory()), fs::canonical(KALVORA_PACKAGE_STAGE "/usr/share/kalvora"));
    }

    // The language named in the user's config.ini comes from the tree, unless the user has a copy of their own.
    void mainWindowTextsAreTheShippedOnesOrTheUsersOwn_data() {
        QTest::addColumn<QByteArray>("usersCopy");
        QTest::addColumn<QString>("onButton");
        QTest::newRow("shipped German") << QByteArray() << QString("Ein");
        QTest::newRow("the user's own") << QByteArray("[Strings]\nIDC_MONITOR_ON=Los\n") << QString("Los");
    }
    void mainWindowTextsAreTheShippedOnesOrTheUsersOwn() {
        QFETCH(QByteArray, usersCopy);
        QFETCH(QString, onButton);
        CInstalledUser user;
        user.Write("config.ini", "[System]\nLanguage=Deutsch\n");
        if (!usersCopy.isEmpty())
            user.Write("lng_Deutsch.ini", usersCopy.toStdString());
        CConsoleProbe window;
        window.Create();
        QCOMPARE(window.Item<QPushButton>(IDC_MONITOR_ON)->text(), onButton);
    }

    void mainWindowReadsTheUsersProgramFiles() {
        CInstalledUser user;
        user.Write("P1.txt", "10;0;0;7:30;\r\n9;0;0;Break;\r\n");
        CConsoleProbe window;
        window.Create();
        QCOMPARE(window.m_countdownTimes[1][0], std::string("7:30"));
        QCOMPARE(window.m_countdownTimes[1][1], std::string("Break"));
    }

    void portSettingsOkWritesTheUsersConfig() {
        CInstalledUser user;
        user.Write("config.ini", "[System]\r\nLanguage=English\r\n");
        CConsoleProbe window;
        window.Create();
        int nTemplate = 0;
        WhenModalOpens<CDialog>(qApp, [&nTemplate](CDialog* dialog) {
            nTemplate = dialog->TemplateId();
            ClickButton(*dialog, IDOK);
        });
        ClickButton(window, IDC_PORT_SETTINGS);
        QCOMPARE(nTemplate, int(IDD_COM_PORT));
        const std::string strText = user.Read("config.ini").value_or("");
        QVERIFY2(strText.find("\r\n[Settings]\r\nCOMPort=") != std::string::npos &&
                     strText.find("\r\nBaudrate=") != std::string::npos,
                 strText.c_str());
        QVERIFY(strText.starts_with("[System]\r\nLanguage=English\r\n"));
        QVERIFY(!fs::exists(kStagedBin + "/config.ini"));
    }

    void parametersSaveWritesTheUsersProgramFile() {
        CInstalledUser user;
        user.Write("config.ini", "[System]\r\nLanguage=English\r\n");
        user.Write("P1.txt", "10;1;2;2:30;\r\n");
        CParametersDlg dialog;
        dialog.Create();
        QVERIFY(dialog.SendCommand(IDC_SAVE_PROGRAM));
        QCOMPARE(user.Read("P1.txt"), std::optional<std::string>("10;1;2;2:30;\r\n"));
        QVERIFY(!fs::exists(kStagedBin + "/P1.txt"));
    }

private:
    std::vector<std::string> m_staged;
};

QTEST_MAIN(CInstalledLayoutTest)
#include "InstalledLayoutTest.moc"
