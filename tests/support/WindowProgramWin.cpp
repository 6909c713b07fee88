#include "tests/support/WindowProgramWin.h"

#include "base/WidePathWin.h"

#include <windows.h>

#include <tlhelp32.h>

#include <algorithm>

#include <filesystem>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr auto kPollPeriod = 10ms;

std::string WindowText(HWND hWnd) {
    wchar_t text[512] = {};
    // WM_GETTEXT is carried across processes by the window system.
    SendMessageTimeoutW(hWnd, WM_GETTEXT, std::size(text), reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000,
                        nullptr);
    return NarrowPath(text).value_or(std::string());
}

struct CWindowSearch {
    DWORD nProcess;
    std::string strCaption;
    HWND hExcept;
    HWND hFound;
};

BOOL CALLBACK TakeWindow(HWND hWnd, LPARAM lParam) {
    auto& search = *reinterpret_cast<CWindowSearch*>(lParam);
    DWORD nProcess = 0;
    GetWindowThreadProcessId(hWnd, &nProcess);
    if (nProcess != search.nProcess || hWnd == search.hExcept || !IsWindowVisible(hWnd))
        return TRUE;
    if (WindowText(hWnd) != search.strCaption)
        return TRUE;
    search.hFound = hWnd;
    return FALSE;
}

double Seconds(const FILETIME& time) {
    ULARGE_INTEGER ticks{};
    ticks.LowPart = time.dwLowDateTime;
    ticks.HighPart = time.dwHighDateTime;
    return static_cast<double>(ticks.QuadPart) / 1e7; // 100 ns ticks
}

} // namespace

struct CWindowProgramWin::Impl {
    PROCESS_INFORMATION process{};
    HWND hMain = nullptr;
    Clock::time_point started;

    HWND FindWindowOfProcess(const std::string& strCaption, HWND hExcept) const {
        CWindowSearch search{process.dwProcessId, strCaption, hExcept, nullptr};
        EnumWindows(TakeWindow, reinterpret_cast<LPARAM>(&search));
        return search.hFound;
    }
};

CWindowProgramWin::CWindowProgramWin(const std::string& strExecutable, const std::string& strArguments)
    : m_pImpl(std::make_unique<Impl>()) {
    std::wstring commandLine = L"\"" + WidePath(strExecutable).value_or(std::wstring()) + L"\"";
    if (!strArguments.empty())
        commandLine += L" " + WidePath(strArguments).value_or(std::wstring());
    const std::wstring directory = std::filesystem::temp_directory_path().wstring();
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    m_pImpl->started = Clock::now();
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, directory.c_str(), &startup,
                        &m_pImpl->process))
        throw std::runtime_error("cannot start " + strExecutable);
}

CWindowProgramWin::~CWindowProgramWin() {
    if (WaitForSingleObject(m_pImpl->process.hProcess, 0) != WAIT_OBJECT_0 && !Close(10s))
        TerminateProcess(m_pImpl->process.hProcess, 1);
    WaitForSingleObject(m_pImpl->process.hProcess, 5000);
    CloseHandle(m_pImpl->process.hThread);
    CloseHandle(m_pImpl->process.hProcess);
}

bool CWindowProgramWin::WaitForWindow(const std::string& strCaption, std::chrono::milliseconds timeout) {
    const auto deadline = m_pImpl->started + timeout;
    while (Clock::now() < deadline) {
        if (HWND hWnd = m_pImpl->FindWindowOfProcess(strCaption, nullptr)) {
            m_startup = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - m_pImpl->started);
            m_pImpl->hMain = hWnd;
            return true;
        }
        if (WaitForSingleObject(m_pImpl->process.hProcess, 0) == WAIT_OBJECT_0)
            return false;
        std::this_thread::sleep_for(kPollPeriod);
    }
    return false;
}

std::string CWindowProgramWin::ControlText(int nId) const {
    HWND hControl = m_pImpl->hMain ? GetDlgItem(m_pImpl->hMain, nId) : nullptr;
    return hControl ? WindowText(hControl) : std::string();
}

void CWindowProgramWin::Click(int nId) const {
    HWND hButton = m_pImpl->hMain ? GetDlgItem(m_pImpl->hMain, nId) : nullptr;
    if (hButton)
        PostMessageW(m_pImpl->hMain, WM_COMMAND, MAKEWPARAM(nId, BN_CLICKED), reinterpret_cast<LPARAM>(hButton));
}

bool CWindowProgramWin::WaitForDialogText(const std::string& strCaption, int nId, std::string& strText,
                                          std::chrono::milliseconds timeout) const {
    const auto deadline = Clock::now() + timeout;
    while (Clock::now() < deadline) {
        if (HWND hDialog = m_pImpl->FindWindowOfProcess(strCaption, m_pImpl->hMain)) {
            HWND hControl = GetDlgItem(hDialog, nId);
            strText = hControl ? WindowText(hControl) : std::string();
            return true;
        }
        std::this_thread::sleep_for(kPollPeriod);
    }
    return false;
}

void CWindowProgramWin::CancelDialog(const std::string& strCaption) const {
    if (HWND hDialog = m_pImpl->FindWindowOfProcess(strCaption, m_pImpl->hMain))
        PostMessageW(hDialog, WM_CLOSE, 0, 0); // as its close box does
}

bool CWindowProgramWin::Close(std::chrono::milliseconds timeout) {
    if (m_pImpl->hMain)
        PostMessageW(m_pImpl->hMain, WM_CLOSE, 0, 0);
    return WaitForSingleObject(m_pImpl->process.hProcess, static_cast<DWORD>(timeout.count())) == WAIT_OBJECT_0;
}

unsigned long CWindowProgramWin::ExitCode() const {
    DWORD nCode = STILL_ACTIVE;
    GetExitCodeProcess(m_pImpl->process.hProcess, &nCode);
    return nCode;
}

bool CWindowProgramWin::WaitForEnd(std::chrono::milliseconds timeout) const {
    return WaitForSingleObject(m_pImpl->process.hProcess, static_cast<DWORD>(timeout.count())) == WAIT_OBJECT_0;
}

double CWindowProgramWin::CpuSeconds() const {
    FILETIME created{}, ended{}, kernel{}, user{};
    double dProcess = 0;
    if (GetProcessTimes(m_pImpl->process.hProcess, &created, &ended, &kernel, &user))
        dProcess = Seconds(kernel) + Seconds(user);
    double dThreads = 0;
    const HANDLE hSnapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (hSnapshot == INVALID_HANDLE_VALUE)
        return dProcess;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL bMore = Thread32First(hSnapshot, &entry); bMore; bMore = Thread32Next(hSnapshot, &entry)) {
        if (entry.th32OwnerProcessID != m_pImpl->process.dwProcessId)
            continue;
        if (const HANDLE hThread = OpenThread(THREAD_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ThreadID)) {
            if (GetThreadTimes(hThread, &created, &ended, &kernel, &user))
                dThreads += Seconds(kernel) + Seconds(user);
            CloseHandle(hThread);
        }
    }
    CloseHandle(hSnapshot);
    return std::max(dProcess, dThreads);
}
