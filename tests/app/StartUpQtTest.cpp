// The program as a user starts it: the command line changes nothing, whatever it holds, not even the options that
// Qt itself would act on.

#include "base/Files.h"
#include "tests/support/InstalledLayout.h"
#include "tests/support/TempDir.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QProcessEnvironment>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

namespace {

using namespace std::chrono_literals;

// The program with the arguments, its windows offscreen, in this process's environment.
class CProgram {
public:
    CProgram(const QString& strPath, const QStringList& arguments) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        m_process.setProcessEnvironment(environment);
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        m_process.start(strPath, arguments);
    }
    ~CProgram() {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
    CProgram(const CProgram&) = delete;
    CProgram& operator=(const CProgram&) = delete;

    QProcess& Process() { return m_process; }

private:
    QProcess m_process;
};

// Options that Qt itself would act on: an unknown platform would end the program at once, the others change its
// look. The program must start and keep running as without them.
TEST(StartUp, ArgumentsMeantForQtHaveNoEffect) {
    const std::vector<std::pair<const char*, QStringList>> rows = {
        {"platform", {"-platform", "no-such-platform"}},
        {"platform with equals", {"-platform=no-such-platform"}},
        {"style, stylesheet, reverse, then platform",
         {"-style", "fusion", "-stylesheet", "missing.qss", "-reverse", "-platform", "none"}},
        {"arbitrary words and flags", {"/x", "--help", "-qwindowgeometry", "1x1", "P1.txt"}},
    };
    for (const auto& [pszName, arguments] : rows) {
        SCOPED_TRACE(pszName);
        CProgram program(QStringLiteral(KALVORA_PROGRAM_PATH), arguments);
        ASSERT_TRUE(program.Process().waitForStarted(5000));
        // Qt refuses an unknown platform within a few milliseconds of the start; a program that ignores its
        // arguments is still showing its window long after.
        EXPECT_FALSE(program.Process().waitForFinished(1500)) << program.Process().readAll().toStdString();
        EXPECT_EQ(program.Process().state(), QProcess::Running);
    }
}

// An installed program (a copy in an installed layout) starting for a user: the user's directory is made and given
// the shipped config.ini, unless it has one; nothing is written beside the executable.
TEST(StartUp, AnInstalledProgramsFirstStartGivesTheUserTheDefaultSettings) {
    const std::vector<std::tuple<const char*, std::string, std::string>> rows = {
        {"first start", "", "[System]\r\nLanguage=English\r\n"},
        {"the user's own file stays", "[Settings]\nCOMPort=3\n", "[Settings]\nCOMPort=3\n"},
    };
    for (const auto& [pszName, strUsersOwn, strExpected] : rows) {
        SCOPED_TRACE(pszName);
        const CInstalledLayout layout; // $XDG_DATA_HOME names its user directory while it lives
        layout.WriteShippedFile("config.ini", "[System]\r\nLanguage=English\r\n");
        if (!strUsersOwn.empty())
            layout.WriteUserFile("config.ini", strUsersOwn);
        const std::string strProgram = layout.Bin() + "/kalvora";
        std::filesystem::copy_file(KALVORA_PROGRAM_PATH, strProgram);

        CProgram program(QString::fromStdString(strProgram), {});
        ASSERT_TRUE(program.Process().waitForStarted(5000));
        const std::string strUserSettings = layout.User() + "/config.ini";
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        while (!ReadFileBytes(strUserSettings) && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(20ms);
        EXPECT_FALSE(program.Process().waitForFinished(1000)); // and its window stays
        EXPECT_EQ(ReadFileBytes(strUserSettings).value_or("(none)"), strExpected);
        EXPECT_EQ(QDir(QString::fromStdString(layout.Bin())).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                  QStringList{"kalvora"});
        if (strUsersOwn.empty()) { // made by the program: for the user alone
            EXPECT_EQ(std::filesystem::status(layout.User()).permissions() & std::filesystem::perms::all,
                      std::filesystem::perms::owner_all);
        }
    }
}

} // namespace

// QProcess watches its child through the application's event machinery.
int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    QCoreApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
