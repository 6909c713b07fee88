#include "link/WinPort.h"

#include "base/WidePathWin.h"

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <optional>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

constexpr DWORD kReadTimeoutMs = static_cast<DWORD>(CWinPort::kReadTimeout.count());
constexpr DWORD kWriteTimeoutMs = static_cast<DWORD>(CWinPort::kWriteTimeout.count());
// How long past its own time-out a transfer may take before the port cancels it: the driver ends it first.
constexpr DWORD kGraceMs = 50;
// A one-byte read that ends at once with nothing would make the wait spin; such a read is followed by a pause.
constexpr auto kSpinLimit = std::chrono::milliseconds{1};
constexpr DWORD kSpinPauseMs = 2;

DWORD MillisecondsUntil(Clock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<DWORD>(std::min<long long>(left, INFINITE - 1)) : 0;
}

DWORD Milliseconds(std::chrono::milliseconds duration) {
    return duration.count() > 0 ? static_cast<DWORD>(std::min<long long>(duration.count(), INFINITE - 1)) : 0;
}

// Waits up to nWaitMs for an overlapped transfer that did not end at once, cancels it past that, and tells what it
// moved; false when it failed. A cancelled transfer counts with the bytes it moved.
bool Finish(HANDLE hPort, OVERLAPPED& overlapped, DWORD nWaitMs, DWORD& nDone) {
    if (WaitForSingleObject(overlapped.hEvent, nWaitMs) != WAIT_OBJECT_0)
        CancelIoEx(hPort, &overlapped);
    nDone = 0;
    return GetOverlappedResult(hPort, &overlapped, &nDone, TRUE) || GetLastError() == ERROR_OPERATION_ABORTED;
}

// The name of the mutex that claims a port: "\\.\COM7" and "\\.\com7" both claim "Kalvora.Port.COM7".
std::string ClaimName(const std::string& strDevice) {
    std::string strName = strDevice.substr(strDevice.find_last_of("\\/") + 1);
    std::transform(strName.begin(), strName.end(), strName.begin(),
                   [](unsigned char ch) { return static_cast<char>(std::toupper(ch)); });
    return "Kalvora.Port." + strName;
}

// The system's own words for an error code, without the full stop and line end it ends with.
std::string SystemMessage(DWORD nError) {
    char* pszText = nullptr;
    const DWORD nLength = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, nError,
        MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<char*>(&pszText), 0, nullptr);
    std::string strText = nLength > 0 && pszText != nullptr ? std::string(pszText, nLength) : std::string();
    LocalFree(pszText);
    while (!strText.empty() &&
           (strText.back() == '\r' || strText.back() == '\n' || strText.back() == ' ' || strText.back() == '.'))
        strText.pop_back();
    if (strText.empty())
        return "system error " + std::to_string(nError);
    return strText;
}

} // namespace

// The wait's read of one byte, as long as the driver may write into it.
struct CWinPort::CWaitRead {
    OVERLAPPED overlapped{};
    char chByte = 0;
    bool bPending = false;
    Clock::time_point started; // when it was asked for
};

CWinPort::CWinPort() : m_wait(std::make_unique<CWaitRead>()) {}

void CWinPort::CHandleCloser::operator()(void* hHandle) const {
    if (hHandle != nullptr && hHandle != INVALID_HANDLE_VALUE)
        CloseHandle(hHandle);
}

CWinPort::~CWinPort() {
    Close();
}

std::string CWinPort::DescribeOpenError(unsigned long nError) {
    switch (nError) {
    case 0:
        return "not a serial line";
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_DEV_NOT_EXIST:
        return "no such device (unplugged?)";
    case ERROR_ACCESS_DENIED: // the driver's answer to a second open
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_ALREADY_EXISTS: // the claim of another user of this class
        return "in use by another program";
    case ERROR_NOT_READY:
    case ERROR_GEN_FAILURE:
        return "the device does not answer (input/output error)";
    default:
        return SystemMessage(nError);
    }
}

bool CWinPort::Open(const std::string& strDevice) {
    Close();
    // The claim comes first: while another user holds it, the port is not touched at all.
    const std::wstring claim = WidePath(ClaimName(strDevice)).value_or(L"Kalvora.Port.");
    CHandle hClaim{CreateMutexW(nullptr, FALSE, claim.c_str())};
    if (!hClaim || GetLastError() == ERROR_ALREADY_EXISTS) {
        m_strOpenError = DescribeOpenError(hClaim ? ERROR_ALREADY_EXISTS : GetLastError());
        return false;
    }
    // The device's name crosses as UTF-16, as every path of the program does (base/WidePathWin.h).
    const std::optional<std::wstring> device = WidePath(strDevice);
    const HANDLE hOpened = device ? CreateFileW(device->c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                                OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr)
                                  : INVALID_HANDLE_VALUE;
    if (!device)
        SetLastError(ERROR_FILE_NOT_FOUND);
    if (hOpened == INVALID_HANDLE_VALUE) {
        m_strOpenError = DescribeOpenError(GetLastError());
        return false;
    }
    CHandle hPort{hOpened};
    // A serial line only: a file or another device would take the settings below for nonsense or not at all.
    DCB state{};
    state.DCBlength = sizeof state;
    if (GetFileType(hOpened) != FILE_TYPE_CHAR || !GetCommState(hOpened, &state)) {
        m_strOpenError = DescribeOpenError(0);
        return false;
    }
    CHandle hReadEvent{CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    CHandle hWriteEvent{CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    if (!hReadEvent || !hWriteEvent) {
        m_strOpenError = DescribeOpenError(GetLastError());
        return false;
    }

    // The results do not count: a driver that refuses a setting is used as it is, and every transfer is bounded
    // here as well.
    SetupComm(hOpened, kQueueBytes, kQueueBytes);
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.ReadTotalTimeoutMultiplier = MAXDWORD;
    timeouts.ReadTotalTimeoutConstant = kReadTimeoutMs;
    timeouts.WriteTotalTimeoutMultiplier = 0;
    timeouts.WriteTotalTimeoutConstant = kWriteTimeoutMs;
    SetCommTimeouts(hOpened, &timeouts);
    PurgeComm(hOpened, PURGE_RXABORT | PURGE_RXCLEAR);

    m_hPort = std::move(hPort);
    m_hReadEvent = std::move(hReadEvent);
    m_hWriteEvent = std::move(hWriteEvent);
    m_hClaim = std::move(hClaim);
    m_strOpenError.clear();
    m_bVanished = false;
    return true;
}

bool CWinPort::Configure(int nBaudRate) {
    return m_hPort && ConfigureLine(m_hPort.get(), nBaudRate);
}

bool CWinPort::ConfigureLine(void* hPort, int nBaudRate) {
    DCB state{};
    state.DCBlength = sizeof state;
    if (!GetCommState(hPort, &state))
        return false;
    // The baud rates the COM Port Settings offer; any other value leaves the line's speed as it is.
    if (nBaudRate == 2400 || nBaudRate == 4800 || nBaudRate == 9600 || nBaudRate == 19200 || nBaudRate == 38400)
        state.BaudRate = static_cast<DWORD>(nBaudRate);
    state.ByteSize = 8;
    state.Parity = NOPARITY;
    state.StopBits = ONESTOPBIT;
    state.fParity = FALSE;
    state.fOutxCtsFlow = FALSE;
    state.fOutxDsrFlow = FALSE;
    state.fDtrControl = DTR_CONTROL_DISABLE;
    state.fDsrSensitivity = FALSE;
    state.fOutX = FALSE;
    state.fInX = FALSE;
    state.fErrorChar = FALSE;
    state.fRtsControl = RTS_CONTROL_DISABLE;
    return SetCommState(hPort, &state) != FALSE;
}

int CWinPort::Vanished() {
    m_bVanished = true;
    return -1;
}

int CWinPort::WaitingBytes() {
    DWORD nErrors = 0;
    COMSTAT status{};
    if (!ClearCommError(m_hPort.get(), &nErrors, &status))
        return -1;
    return static_cast<int>(std::min<DWORD>(status.cbInQue, 0x7fffffff));
}

bool CWinPort::TakeWaiting(int nWaiting) {
    if (m_nTaken == m_nHeld)
        m_nTaken = m_nHeld = 0;
    const DWORD nWant = static_cast<DWORD>(std::min(nWaiting, kQueueBytes - m_nHeld));
    if (nWant == 0)
        return true;
    // No more than are waiting: the driver hands them over at once, whatever it makes of the time-outs.
    OVERLAPPED overlapped{};
    overlapped.hEvent = m_hReadEvent.get();
    ++m_nDriverReads;
    if (!ReadFile(m_hPort.get(), m_buffer.data() + m_nHeld, nWant, nullptr, &overlapped) &&
        GetLastError() != ERROR_IO_PENDING)
        return false;
    DWORD nTaken = 0;
    if (!Finish(m_hPort.get(), overlapped, kReadTimeoutMs + kGraceMs, nTaken))
        return false;
    m_nHeld += static_cast<int>(nTaken);
    return true;
}

void CWinPort::AbandonWait() {
    if (!m_wait->bPending)
        return;
    CancelIoEx(m_hPort.get(), &m_wait->overlapped);
    DWORD nRead = 0;
    GetOverlappedResult(m_hPort.get(), &m_wait->overlapped, &nRead, TRUE);
    m_wait->bPending = false;
}

CWinPort::EWait CWinPort::WaitForBytes(std::chrono::milliseconds timeout) {
    if (m_nTaken < m_nHeld)
        return EWait::Input;
    const HANDLE hPort = m_hPort.get();
    const auto deadline = Clock::now() + timeout;
    CWaitRead& wait = *m_wait;
    for (;;) {
        if (!wait.bPending) {
            const int nWaiting = WaitingBytes();
            if (nWaiting < 0)
                return EWait::Failed;
            if (nWaiting > 0)
                return TakeWaiting(nWaiting) && m_nTaken < m_nHeld ? EWait::Input : EWait::Failed;
            if (MillisecondsUntil(deadline) == 0)
                return EWait::Silence;
            // A read of one byte ends at its first byte. The driver of Windows also ends it after the read time-out
            // with none; Wine leaves an overlapped read pending until a byte comes.
            wait.overlapped = OVERLAPPED{};
            wait.overlapped.hEvent = m_hReadEvent.get();
            wait.started = Clock::now();
            ++m_nDriverReads;
            if (!ReadFile(hPort, &wait.chByte, 1, nullptr, &wait.overlapped) && GetLastError() != ERROR_IO_PENDING)
                return EWait::Failed;
            wait.bPending = true;
        }
        // The wait bounds the read either way; one that has not ended by then stays with the driver for the next
        // wait, so that a silent line costs no new read at each pass.
        if (WaitForSingleObject(wait.overlapped.hEvent, MillisecondsUntil(deadline)) != WAIT_OBJECT_0)
            return EWait::Silence;
        wait.bPending = false;
        DWORD nRead = 0;
        if (!GetOverlappedResult(hPort, &wait.overlapped, &nRead, TRUE) && GetLastError() != ERROR_OPERATION_ABORTED)
            return EWait::Failed; // a vanished device, among others
        if (nRead == 1) {
            m_buffer[0] = wait.chByte;
            m_nTaken = 0;
            m_nHeld = 1;
            // The rest of what came with it, in one read; should that fail, the next read finds the port failing.
            const int nWaiting = WaitingBytes();
            if (nWaiting > 0)
                TakeWaiting(nWaiting);
            return EWait::Input;
        }
        if (Clock::now() - wait.started < kSpinLimit)
            Sleep(kSpinPauseMs);
    }
}

bool CWinPort::WaitForInput(std::chrono::milliseconds timeout) {
    if (!m_hPort)
        return true; // the read reports the closed port
    return WaitForBytes(timeout) != EWait::Silence;
}

int CWinPort::Read(char* pBuffer, int nMax, std::chrono::milliseconds timeout) {
    if (!m_hPort || nMax <= 0)
        return -1;
    switch (WaitForBytes(timeout)) {
    case EWait::Silence:
        return 0;
    case EWait::Failed:
        return Vanished();
    case EWait::Input:
        break;
    }
    const int nRead = std::min(nMax, m_nHeld - m_nTaken);
    std::copy_n(m_buffer.data() + m_nTaken, nRead, pBuffer);
    m_nTaken += nRead;
    return nRead;
}

bool CWinPort::Write(std::string_view data, std::chrono::milliseconds timeout) {
    if (!m_hPort || data.size() > MAXDWORD)
        return false;
    if (data.empty())
        return true;
    OVERLAPPED overlapped{};
    overlapped.hEvent = m_hWriteEvent.get();
    const DWORD nSize = static_cast<DWORD>(data.size());
    if (!WriteFile(m_hPort.get(), data.data(), nSize, nullptr, &overlapped) && GetLastError() != ERROR_IO_PENDING)
        return false;
    // The driver ends the write after its own time-out; the wait here only stops a driver that does not.
    DWORD nWritten = 0;
    return Finish(m_hPort.get(), overlapped, Milliseconds(timeout) + kGraceMs, nWritten) && nWritten == nSize;
}

void CWinPort::PurgeInput() {
    if (m_hPort) {
        AbandonWait();
        PurgeComm(m_hPort.get(), PURGE_RXABORT | PURGE_RXCLEAR);
    }
    m_nTaken = m_nHeld = 0;
}

void CWinPort::Close() {
    if (m_hPort) {
        AbandonWait();
        PurgeComm(m_hPort.get(), PURGE_RXABORT | PURGE_RXCLEAR);
    }
    m_hPort.reset();
    m_hReadEvent.reset();
    m_hWriteEvent.reset();
    m_hClaim.reset();
    m_nTaken = m_nHeld = 0;
}
