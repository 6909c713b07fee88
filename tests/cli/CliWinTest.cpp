// kalvora-cli.exe as a Windows user runs it, against the device simulator on COM port KALVORA_TEST_COM (under Wine,
// cmake/WithSimulator.sh starts it with three starts in its memory and a frozen clock): what the current values,
// the memory and a download give, byte for byte, the live page it serves while it monitors, and a port without a
// device.

#include "base/Files.h"
#include "live/LiveServer.h"
#include "programs/ProgramStore.h"
#include "tests/support/RawHttp.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

constexpr auto kRunTimeout = 15s;
constexpr auto kDownloadTimeout = 60s;
// Every line of the memory export: start number, start time and lead time in fixed columns, and CR LF.
constexpr std::size_t kExportLineBytes = 27;
constexpr int kStoredStarts = 3;

struct SProgramRun {
    DWORD nExitCode = 0;
    bool bTimedOut = false;
    std::string strOut;
    std::string strErr;
};

struct CHandleCloser {
    void operator()(HANDLE hHandle) const {
        if (hHandle != nullptr && hHandle != INVALID_HANDLE_VALUE)
            CloseHandle(hHandle);
    }
};
using CHandle = std::unique_ptr<void, CHandleCloser>;

// A pipe whose writing end the child inherits.
struct CPipe {
    CHandle m_read;
    CHandle m_write;
    bool Make() {
        SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
        HANDLE hRead = nullptr;
        HANDLE hWrite = nullptr;
        if (!CreatePipe(&hRead, &hWrite, &inherit, 0))
            return false;
        m_read.reset(hRead);
        m_write.reset(hWrite);
        return SetHandleInformation(hRead, HANDLE_FLAG_INHERIT, 0) != FALSE;
    }
};

std::string ReadAll(HANDLE hRead) {
    std::string strBytes;
    char buffer[4096];
    DWORD nRead = 0;
    while (ReadFile(hRead, buffer, sizeof buffer, &nRead, nullptr) && nRead > 0)
        strBytes.append(buffer, nRead);
    return strBytes;
}

// The system's UTF-16 form of a UTF-8 text, made here without the file layer.
std::wstring Utf16(const std::string& strText) {
    std::wstring text(strText.size(), L'\0');
    const int nLength = MultiByteToWideChar(CP_UTF8, 0, strText.data(), static_cast<int>(strText.size()), text.data(),
                                            static_cast<int>(text.size()));
    text.resize(static_cast<std::size_t>(std::max(nLength, 0)));
    return text;
}

// Runs kalvora-cli.exe with the arguments (UTF-8, given to it as a user types them: in UTF-16), its output and errors
// collected, its input empty.
SProgramRun RunCli(const std::vector<std::string>& args, std::chrono::milliseconds timeout) {
    std::string strCommand = "\"" KALVORA_CLI_PATH "\"";
    for (const std::string& strArg : args)
        strCommand += strArg.find(' ') == std::string::npos ? " " + strArg : " \"" + strArg + "\"";
    std::wstring command = Utf16(strCommand);
    SProgramRun run;
    CPipe out;
    CPipe err;
    if (!out.Make() || !err.Make()) {
        run.nExitCode = MAXDWORD;
        return run;
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = INVALID_HANDLE_VALUE;
    startup.hStdOutput = out.m_write.get();
    startup.hStdError = err.m_write.get();
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
        run.nExitCode = MAXDWORD;
        run.strErr = "cannot start " + strCommand;
        return run;
    }
    const CHandle hProcess(process.hProcess);
    CloseHandle(process.hThread);
    out.m_write.reset(); // the child holds the writing ends now: the reads end with it
    err.m_write.reset();
    std::thread errReader([&] { run.strErr = ReadAll(err.m_read.get()); });
    std::thread outReader([&] { run.strOut = ReadAll(out.m_read.get()); });
    if (WaitForSingleObject(hProcess.get(), static_cast<DWORD>(timeout.count())) != WAIT_OBJECT_0) {
        run.bTimedOut = true;
        TerminateProcess(hProcess.get(), MAXDWORD);
        WaitForSingleObject(hProcess.get(), INFINITE);
    }
    outReader.join();
    errReader.join();
    GetExitCodeProcess(hProcess.get(), &run.nExitCode);
    return run;
}

class CliWin : public ::testing::Test {
protected:
    void SetUp() override {
        const char* pszPort = std::getenv("KALVORA_TEST_COM");
        ASSERT_NE(pszPort, nullptr) << "KALVORA_TEST_COM is not set: run this through ctest (cmake/WithSimulator.sh)";
        m_strPort = pszPort;
    }
    // The tool with its files in a directory of this test, on the simulator's port.
    SProgramRun Cli(std::vector<std::string> args, std::chrono::milliseconds timeout = kRunTimeout) const {
        args.insert(args.begin(), {"--dir", m_dir.Path(), "--port", m_strPort});
        return RunCli(args, timeout);
    }

    CTempDir m_dir;
    std::string m_strPort;
};

TEST_F(CliWin, GetPrintsTheCurrentValuesWithLineFeedsAlone) {
    const SProgramRun run = Cli({"get"});
    ASSERT_FALSE(run.bTimedOut);
    EXPECT_EQ(run.nExitCode, 0u) << run.strErr;
    // The next start number follows the three stored starts.
    EXPECT_EQ(run.strOut, "display: 0:30\nsmall: 4\nlight: yellow\nprogram: P1\ntime: 0:30\nbrightness: 9\n");
    EXPECT_EQ(run.strErr, "");
}

TEST_F(CliWin, MemoryReadGivesTheExportByteForByteOnTheScreenAndInAFile) {
    const SProgramRun screen = Cli({"memory", "read"});
    ASSERT_FALSE(screen.bTimedOut);
    EXPECT_EQ(screen.nExitCode, 0u) << screen.strErr;
    // Three starts, each one line ended by CR LF as the Read Memory dialog saves it, not by CR CR LF.
    EXPECT_EQ(screen.strOut.size(), kStoredStarts * kExportLineBytes) << screen.strOut;
    for (std::size_t nLine = 0; nLine < kStoredStarts; ++nLine) {
        const std::string strLine = screen.strOut.substr(nLine * kExportLineBytes, kExportLineBytes);
        EXPECT_EQ(strLine.substr(kExportLineBytes - 2), "\r\n") << strLine;
        EXPECT_EQ(strLine.find('\r'), kExportLineBytes - 2) << strLine;
    }
    const SProgramRun file = Cli({"memory", "read", "-o", m_dir.File("heat.txt")});
    EXPECT_EQ(file.nExitCode, 0u) << file.strErr;
    EXPECT_EQ(file.strOut, "");
    EXPECT_EQ(ReadFileBytes(m_dir.File("heat.txt")), screen.strOut);
}

TEST_F(CliWin, ADownloadLeavesTheUnitsProgramsInTheirFiles) {
    // The simulator's programs 1 to 8 as it starts: intervals CD0 to CD9.
    const std::array<std::array<const char*, 10>, 8> programs = {{
        {"0:30", "1:00", "1:30", "2:00", "3:00", "0:30", "1:00", "1:30", "2:00", "3:00"},
        {"1:00", "1:00", "1:00", "1:00", "1:00", "1:00", "1:00", "1:00", "1:00", "1:00"},
        {"2:00", "2:00", "2:00", "2:00", "2:00", "2:00", "2:00", "2:00", "2:00", "2:00"},
        {"3:00", "3:00", "3:00", "3:00", "3:00", "3:00", "3:00", "3:00", "3:00", "3:00"},
        {"5:00", "5:00", "5:00", "5:00", "5:00", "5:00", "5:00", "5:00", "5:00", "5:00"},
        {"1:30", "1:30", "1:30", "1:30", "1:30", "1:30", "1:30", "1:30", "1:30", "1:30"},
        {"1000", "1000", "1000", "Break", "1000", "1000", "1000", "Break", "1000", "1000"},
        {"5:00", "5:00", "Break", "2:00", "2:00", "Break", "1:00", "1:00", "1:00", "Break"},
    }};
    const CTempDir backup;
    const SProgramRun run = Cli({"programs", "download", "--to", backup.Path()}, kDownloadTimeout);
    ASSERT_FALSE(run.bTimedOut);
    ASSERT_EQ(run.nExitCode, 0u) << run.strErr;
    for (int nProgram = 1; nProgram <= 8; ++nProgram) {
        const std::string strName = "P" + std::to_string(nProgram);
        const std::optional<std::string> file = ReadFileBytes(backup.File(strName + ".txt"));
        ASSERT_TRUE(file.has_value()) << strName;
        EXPECT_EQ(file->substr(0, 3), "10;") << strName; // the first row's label
        EXPECT_EQ(file->substr(file->size() - 3), ";\r\n") << strName;
        CProgramStore store;
        ASSERT_TRUE(store.LoadProgramFile(nProgram, strName, backup.Path())) << strName;
        for (int nInterval = 0; nInterval < 10; ++nInterval) {
            EXPECT_EQ(store.GetInterval(nProgram, nInterval),
                      programs[static_cast<std::size_t>(nProgram - 1)][static_cast<std::size_t>(nInterval)])
                << strName << " CD" << nInterval;
        }
    }
}

// File names as the user types them, whatever letters they have: the export is written and the program file read
// under their very names, never a look-alike of the ANSI code page's best fit ("Lodz-??????-??").
TEST_F(CliWin, FileNamesBeyondTheCodePageAreTheFilesOfThoseNames) {
    const std::string strBeyond = "\xC5\x81\xC3\xB3"
                                  "d"
                                  "\xC5\xBA-\xCE\x95\xCE\xBB\xCE\xBB\xCE\xAC\xCE\xB4\xCE\xB1-"
                                  "\xE6\x9D\xB1\xE4\xBA\xAC"; // Łódź-Ελλάδα-東京
    const std::string strFolder = m_dir.File(strBeyond);
    ASSERT_TRUE(CreateDirectoryW(Utf16(strFolder).c_str(), nullptr));
    const SProgramRun screen = Cli({"memory", "read"});
    ASSERT_EQ(screen.nExitCode, 0u) << screen.strErr;

    const SProgramRun file = Cli({"memory", "read", "-o", strFolder + "/" + strBeyond + ".txt"});
    EXPECT_EQ(file.nExitCode, 0u) << file.strErr;
    EXPECT_EQ(ReadFileBytes(strFolder + "/" + strBeyond + ".txt"), screen.strOut);
    EXPECT_NE(GetFileAttributesW(Utf16(strFolder + "/" + strBeyond + ".txt").c_str()), INVALID_FILE_ATTRIBUTES)
        << "the export under its very name";

    CProgramStore store;
    store.SetRowCount(3);
    ASSERT_TRUE(store.SaveProgramFile(3, "P3", strFolder));
    EXPECT_NE(GetFileAttributesW(Utf16(strFolder + "/P3.txt").c_str()), INVALID_FILE_ATTRIBUTES);
    const SProgramRun upload = Cli({"programs", "upload", "3", "--from", strFolder});
    EXPECT_EQ(upload.nExitCode, 0u) << upload.strErr;
}

TEST_F(CliWin, MonitorServesTheLivePageToAClientOfTheNetwork) {
    // A port free a moment ago.
    unsigned short nPort = 0;
    {
        CLiveServer probe;
        ASSERT_TRUE(probe.Start("127.0.0.1", 0).m_bOk);
        nPort = probe.Port();
    }
    SProgramRun run;
    std::thread cli([&] { run = Cli({"monitor", "--serve", "127.0.0.1:" + std::to_string(nPort), "--seconds", "4"}); });
    CRawAnswer state;
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (std::chrono::steady_clock::now() < deadline &&
           state.m_strBody.find("\"unitAnswers\":true") == std::string::npos) {
        state = RawRequest(nPort, GetRequest("/state.json"), 1s);
        std::this_thread::sleep_for(100ms);
    }
    EXPECT_EQ(state.m_nStatus, 200);
    EXPECT_EQ(state.Field("access-control-allow-origin"), "*");
    EXPECT_NE(
        state.m_strBody.find("\"monitoring\":true,\"unitAnswers\":true,\"large\":\"    0:30\",\"small\":\"   4\""),
        std::string::npos)
        << state.m_strBody;
    CRawConnection viewer;
    ASSERT_TRUE(viewer.Connect(nPort));
    viewer.Send(GetRequest("/events"));
    EXPECT_NE(viewer.ReadUntil("event: heartbeat", 5s).find("event: state\ndata: {\"monitoring\":true"),
              std::string::npos)
        << viewer.Received();
    cli.join();
    EXPECT_EQ(run.nExitCode, 0u) << run.strErr;
    EXPECT_NE(run.strErr.find("kalvora-cli: live page at http://127.0.0.1:" + std::to_string(nPort) + "/\n"),
              std::string::npos)
        << run.strErr;
}

// Windows refuses a listening socket on a port another program holds with "access denied", the words it also has
// for a port it keeps for itself: the tool tells the two apart and says "in use".
TEST_F(CliWin, MonitorOnAPortAnotherProgramHoldsSaysInUse) {
    CLiveServer other;
    ASSERT_TRUE(other.Start("", 0).m_bOk); // every address of the computer, as the tool serves by default
    const std::string strPort = std::to_string(other.Port());
    for (const std::string& strServe : {strPort, "127.0.0.1:" + strPort}) {
        const SProgramRun run = Cli({"monitor", "--serve", strServe, "--seconds", "1"});
        EXPECT_EQ(run.nExitCode, 5u) << strServe;
        const std::string strWhere = strServe == strPort ? "port " : "127.0.0.1 port ";
        EXPECT_EQ(run.strErr, "kalvora-cli: cannot serve the live page on " + strWhere + strPort + ": in use\n");
        EXPECT_EQ(run.strOut, "");
    }
}

TEST_F(CliWin, APortWithoutADeviceIsStatusThreeNamingItAndWhy) {
    const SProgramRun run = RunCli({"--dir", m_dir.Path(), "--port", "250", "get"}, kRunTimeout);
    EXPECT_EQ(run.nExitCode, 3u);
    EXPECT_EQ(run.strOut, "");
    EXPECT_EQ(run.strErr, "kalvora-cli: Can't open COM port: COM 250 (\\\\.\\COM250): no such device (unplugged?)\n");
}

} // namespace
