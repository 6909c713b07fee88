#include "tests/support/StartedProgramWin.h"

#include <tlhelp32.h>

#include <algorithm>
#include <iterator>
#include <stdexcept>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kPollPause = std::chrono::milliseconds{2}; // between looks for a window

struct CFind {
    DWORD nProcessId = 0;
    const std::wstring* pTitle = nullptr;
    HWND hFound = nullptr;
};

BOOL CALLBACK FindWindowOf(HWND hWnd, LPARAM lParam) {
    auto& find = *reinterpret_cast<CFind*>(lParam);
    DWORD nProcessId = 0;
    GetWindowThreadProcessId(hWnd, &nProcessId);
    if (nProcessId != find.nProcessId || !IsWindowVisible(hWnd))
        return TRUE;
    wchar_t title[256] = {};
    GetWindowTextW(hWnd, title, static_cast<int>(std::size(title)));
    if (*find.pTitle != title)
        return TRUE;
    find.hFound = hWnd;
    return FALSE;
}

DWORD Milliseconds(std::chrono::milliseconds duration) {
    return static_cast<DWORD>(std::max<std::chrono::milliseconds::rep>(duration.count(), 0));
}

double Seconds(const FILETIME& time) {
    ULARGE_INTEGER value{};
    value.LowPart = time.dwLowDateTime;
    value.HighPart = time.dwHighDateTime;
    return static_cast<double>(value.QuadPart) / 1e7; // 100 ns units
}

} // namespace

CStartedProgram::CStartedProgram(const std::string& strPath) {
    std::string strCommand = "\"" + strPath + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessA(nullptr, strCommand.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        throw std::runtime_error("cannot start " + strPath + " (error " + std::to_string(GetLastError()) + ")");
    CloseHandle(info.hThread);
    m_hProcess = info.hProcess;
    m_nId = info.dwProcessId;
}

CStartedProgram::~CStartedProgram() {
    if (WaitForSingleObject(m_hProcess, 0) != WAIT_OBJECT_0) {
        TerminateProcess(m_hProcess, 1);
        WaitForSingleObject(m_hProcess, INFINITE);
    }
    CloseHandle(m_hProcess);
}

HWND CStartedProgram::WaitForWindow(const std::wstring& title, std::chrono::milliseconds timeout) const {
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        CFind find{m_nId, &title, nullptr};
        EnumWindows(FindWindowOf, reinterpret_cast<LPARAM>(&find));
        if (find.hFound)
            return find.hFound;
        if (WaitForSingleObject(m_hProcess, 0) == WAIT_OBJECT_0 || Clock::now() >= deadline)
            return nullptr;
        std::this_thread::sleep_for(kPollPause);
    }
}

bool CStartedProgram::Close(HWND hWindow, std::chrono::milliseconds timeout) const {
    PostMessageW(hWindow, WM_CLOSE, 0, 0);
    return WaitForEnd(timeout);
}

bool CStartedProgram::WaitForEnd(std::chrono::milliseconds timeout) const {
    return WaitForSingleObject(m_hProcess, Milliseconds(timeout)) == WAIT_OBJECT_0;
}

// Its own account, or the sum over its threads when that is more: Wine keeps no CPU account of another process,
// only of each of its threads (from the system's own).
double CStartedProgram::CpuSeconds() const {
    FILETIME created{}, ended{}, kernel{}, user{};
    double dProcess = 0;
    if (GetProcessTimes(m_hProcess, &created, &ended, &kernel, &user))
        dProcess = Seconds(kernel) + Seconds(user);
    double dThreads = 0;
    const HANDLE hSnapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (hSnapshot == INVALID_HANDLE_VALUE)
        return dProcess;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL bMore = Thread32First(hSnapshot, &entry); bMore; bMore = Thread32Next(hSnapshot, &entry)) {
        if (entry.th32OwnerProcessID != m_nId)
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
