// The Windows program as a user meets it after the setup program (the package test runs it under Wine):
//   package_InstalledProgramWin <install folder> <portable folder>
// Each installed program carries the program's icon and a version record that names it (Explorer's icon and
// Details). The installed kalvora.exe shows its window, its first start copies the shipped config.ini into the user's
// application data and it reads its settings there, and nothing is written beside it; the training program's
// simulated unit answers "Get Current Values" on COM 7, which the COM Port Settings list names, and the user's
// config.ini stays as it was; a portable copy (the zip unpacked where the user may write) reads the config.ini beside
// itself and writes nothing into the application data. The user's name may be one the ANSI code page cannot write
// (WindowsSetup.sh makes the prefix for "Łukasz"): every folder is the one the system names, the user's own, and the
// training session's copy lies in the user's own temporary folder while it runs.

#include "base/Files.h"
#include "base/WidePathWin.h"
#include "res/Resource.h"
#include "tests/support/WindowProgramWin.h"

#include <windows.h>

#include <knownfolders.h>
#include <objbase.h>
#include <shlobj.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr const char* kMainWindowTitle = "Kalvora v1.4";
constexpr const char* kComPortTitle = "COM Port Settings";
constexpr const char* kSimulatedUnitEntry = "COM 7 - simulated unit";
// The first start of a program in a new Wine prefix loads much of Wine: generous.
constexpr auto kWindowTimeout = 60s;
constexpr auto kReplyTimeout = 10s;
constexpr auto kCloseTimeout = 15s;

int g_nFailures = 0;

void Check(bool bHolds, const std::string& strWhat) {
    std::printf("%s %s\n", bHolds ? "ok" : "FAILED", strWhat.c_str());
    std::fflush(stdout);
    if (!bHolds)
        ++g_nFailures;
}

bool WaitFor(const std::function<bool()>& holds, std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (!holds()) {
        if (Clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

// A UTF-8 path as std::filesystem takes it (its narrow form is no UTF-8 on Windows).
fs::path DiskPath(const std::string& strPath) {
    return fs::path(WidePath(strPath).value_or(std::wstring()));
}

std::string RoamingAppData() {
    wchar_t* pszPath = nullptr;
    std::string strPath;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_RoamingAppData, 0, nullptr, &pszPath)))
        strPath = NarrowPath(pszPath).value_or(std::string());
    CoTaskMemFree(pszPath);
    return strPath;
}

// The training session's copies of config.ini in the system's temporary folder, as the system names it.
std::vector<std::string> SessionCopies() {
    std::wstring temporary(MAX_PATH + 1, L'\0');
    temporary.resize(GetTempPathW(static_cast<DWORD>(temporary.size()), temporary.data()));
    std::vector<std::string> copies;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(fs::path(temporary), error)) {
        const std::string strName = NarrowPath(entry.path().filename().native()).value_or(std::string());
        if (strName.starts_with("kalvora-session-"))
            copies.push_back(NarrowPath(entry.path().native()).value_or(std::string()));
    }
    return copies;
}

// Every file and folder under a folder with its size and modification time, to see that nothing changed.
std::map<std::string, std::string> FolderState(const std::string& strFolder) {
    std::map<std::string, std::string> state;
    std::error_code error;
    for (const auto& entry : fs::recursive_directory_iterator(DiskPath(strFolder), error)) {
        std::string strState = entry.is_directory() ? "folder" : std::to_string(entry.file_size());
        if (!entry.is_directory())
            strState += " " + std::to_string(entry.last_write_time().time_since_epoch().count());
        state[NarrowPath(entry.path().native()).value_or(std::string())] = strState;
    }
    return state;
}

void AppendSetValues(const std::string& strPath, const std::string& strBrightness) {
    const std::string text = ReadFileBytes(strPath).value_or(std::string());
    WriteFileReplacing(strPath, text + "[SetValues]\r\nBrightness=" + strBrightness + "\r\n");
}

// A text of a program's version record in US English, Unicode (the block the resource script writes).
std::string VersionText(const std::vector<char>& record, const std::string& strName) {
    void* pValue = nullptr;
    UINT nLength = 0;
    const std::string strKey = "\\StringFileInfo\\040904B0\\" + strName;
    if (!VerQueryValueA(record.data(), strKey.c_str(), &pValue, &nLength) || nLength == 0)
        return std::string();
    return std::string(static_cast<const char*>(pValue));
}

void CheckVersionRecords(const std::string& strInstall) {
    const std::pair<const char*, const char*> programs[] = {
        {"kalvora.exe", "Kalvora"},
        {"kalvora-training.exe", "Kalvora (training with simulated unit)"},
        {"kalvora-cli.exe", "Kalvora command-line tool"},
    };
    for (const auto& [pszName, pszDescription] : programs) {
        const std::string strPath = strInstall + "\\" + pszName;
        DWORD nIgnored = 0;
        std::vector<char> record(GetFileVersionInfoSizeA(strPath.c_str(), &nIgnored));
        const bool bRecord = !record.empty() &&
                             GetFileVersionInfoA(strPath.c_str(), 0, static_cast<DWORD>(record.size()), record.data());
        Check(bRecord && VersionText(record, "FileDescription") == pszDescription &&
                  VersionText(record, "ProductName") == "Kalvora Application" &&
                  VersionText(record, "FileVersion") == KALVORA_FILE_VERSION,
              std::string(pszName) + "'s version record: \"" + VersionText(record, "FileDescription") + "\", " +
                  VersionText(record, "ProductName") + " " + VersionText(record, "FileVersion"));
        const HMODULE hModule =
            LoadLibraryExA(strPath.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
        Check(hModule && FindResourceA(hModule, MAKEINTRESOURCEA(IDR_MAINFRAME), MAKEINTRESOURCEA(14)),
              std::string(pszName) + " carries the program's icon"); // 14: RT_GROUP_ICON
        if (hModule)
            FreeLibrary(hModule);
    }
}

void CheckInstalled(const std::string& strInstall, const std::string& strUser) {
    const auto installed = FolderState(strInstall);
    const std::string strUserConfig = strUser + "\\config.ini";
    Check(fs::is_directory(DiskPath(RoamingAppData())), "the user's application data is " + RoamingAppData());
    Check(!fs::exists(DiskPath(strUserConfig)), "a new user has no config.ini in " + strUser + " yet");
    {
        CWindowProgramWin program(strInstall + "\\kalvora.exe");
        Check(program.WaitForWindow(kMainWindowTitle, kWindowTimeout), "the installed program shows its main window");
        Check(ReadFileBytes(strUserConfig) == ReadFileBytes(strInstall + "\\config.ini"),
              "its first start copies the shipped config.ini into " + strUser);
        Check(program.Close(kCloseTimeout) && program.ExitCode() == 0, "it closes and ends with status 0");
    }
    Check(FolderState(strInstall) == installed, "nothing is written beside the installed executable");

    AppendSetValues(strUserConfig, "3");
    {
        CWindowProgramWin program(strInstall + "\\kalvora.exe");
        Check(program.WaitForWindow(kMainWindowTitle, kWindowTimeout), "the installed program starts again");
        Check(program.ControlText(IDC_BRIGHTNESS) == "3",
              "it reads its settings in the application data (brightness \"" + program.ControlText(IDC_BRIGHTNESS) +
                  "\")");
        program.Close(kCloseTimeout);
    }
}

void CheckTraining(const std::string& strInstall, const std::string& strUser) {
    const auto installed = FolderState(strInstall);
    const auto userConfig = ReadFileBytes(strUser + "\\config.ini");
    CWindowProgramWin program(strInstall + "\\kalvora-training.exe");
    Check(program.WaitForWindow(kMainWindowTitle, kWindowTimeout), "the training program shows the main window");
    const std::vector<std::string> copies = SessionCopies();
    Check(copies.size() == 1 && ReadFileBytes(copies.front()).value_or("").find("COMPort=6") != std::string::npos,
          "its session's config.ini for COM 7 is in the user's temporary folder (" +
              (copies.empty() ? std::string("none") : copies.front()) + ")");
    Check(program.ControlText(IDC_DISPLAY_LARGE).empty(), "its displays are empty before the unit is asked");
    program.Click(IDC_GET_CURRENT_VALUES);
    const bool bAnswered = WaitFor([&] { return !program.ControlText(IDC_DISPLAY_LARGE).empty(); }, kReplyTimeout);
    Check(bAnswered, "the simulated unit answers \"Get Current Values\" (large display \"" +
                         program.ControlText(IDC_DISPLAY_LARGE) + "\", small \"" +
                         program.ControlText(IDC_DISPLAY_SMALL) + "\")");
    program.Click(IDC_PORT_SETTINGS);
    std::string strPort;
    const bool bOpened = program.WaitForDialogText(kComPortTitle, IDC_COM_PORT_LIST, strPort, kReplyTimeout);
    Check(bOpened && strPort == kSimulatedUnitEntry, "COM Port Settings shows \"" + strPort + "\" chosen");
    program.CancelDialog(kComPortTitle);
    std::this_thread::sleep_for(300ms);
    Check(program.Close(kCloseTimeout) && program.ExitCode() == 0, "the training program closes and ends");
    Check(SessionCopies().empty(), "the session's copy goes with it");
    Check(ReadFileBytes(strUser + "\\config.ini") == userConfig, "the user's config.ini is left as it was");
    Check(FolderState(strInstall) == installed, "nothing is written beside the training program");
}

void CheckPortable(const std::string& strPortable, const std::string& strUser) {
    AppendSetValues(strPortable + "\\config.ini", "6");
    const auto user = FolderState(strUser);
    {
        CWindowProgramWin program(strPortable + "\\kalvora.exe");
        Check(program.WaitForWindow(kMainWindowTitle, kWindowTimeout), "the portable program shows its main window");
        Check(program.ControlText(IDC_BRIGHTNESS) == "6",
              "it reads the config.ini beside itself (brightness \"" + program.ControlText(IDC_BRIGHTNESS) + "\")");
        Check(program.Close(kCloseTimeout), "the portable program closes");
    }
    Check(FolderState(strUser) == user, "the portable program writes nothing into the application data");
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: package_InstalledProgramWin <install folder> <portable folder>\n");
        return 2;
    }
    const std::string strInstall = argv[1];
    const std::string strPortable = argv[2];
    const std::string strUser = RoamingAppData() + "\\Kalvora";
    CheckVersionRecords(strInstall);
    CheckInstalled(strInstall, strUser);
    CheckTraining(strInstall, strUser);
    CheckPortable(strPortable, strUser);
    std::printf("%s\n", g_nFailures == 0 ? "all checks hold" : "some checks failed");
    return g_nFailures == 0 ? 0 : 1;
}
