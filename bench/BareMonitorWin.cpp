// The floor under what monitoring costs on Windows, for AppWinBench (win.app.cpu_over_floor): the main window's
// controls as the dialog manager builds them from the same template, in the same places, with the same font, display
// face, colours and lamp images, showing what a monitor shows ten times a second, and nothing else of the program.
// No window layer (no control objects, handler tables, names for a screen reader), no serial line and no reader
// thread: the unit's stream comes from the simulated unit inside this process, read on the window's own timer. Each
// control is changed only when what it shows changes, and the clock field once a second, as a plain program
// written for the purpose would do it.
//
// With --port N it is the reading floor (win.app.cpu_over_reading_floor): the same window, showing the same stream of
// the unit inside the process on the same schedule, so that the window's work is the floor's to the message, and
// beside it the same stream read from a unit on COM port N by the plainest reader Win32 has: a thread that reads the
// port with blocking ReadFile calls on a handle without overlapped I/O, set as the program sets its port (the line
// settings and the read time-outs), at most ten bytes a read and a pause of 1 ms after each, as the program's link
// reads, and cuts the bytes into lines at each carriage return; the window's timer takes them from it and counts the
// monitoring lines, which are the exit status. (Shown, lines read from a line would come in the unit's own rhythm,
// which drifts against the timer's: a tick that finds none turns the status lamp red and the next green again, and
// how often that happens depends on the drift, which would make the two floors' windows differ.) Under Wine, which
// reads those time-outs as "fill the buffer", a read of ten bytes ends only when ten bytes have come, so this reader
// takes a line's end as late as the next line's first bytes; on Windows it gets each line as it comes.
//
// A bench program, not shipped; it starts monitoring at once and runs until its window is closed (with --port it
// switches the line's stream off again then).

#include "base/WallClock.h"
#include "console/ConsoleProtocol.h"
#include "link/WinPort.h"
#include "res/DialogTemplate.h"
#include "res/Resource.h"
#include "sim/SimOptions.h"
#include "sim/SimulatedUnit.h"
#include "window/Resources.h"
#include "window/win32/DialogBuilder.h"
#include "window/win32/Win32Window.h"

#include <array>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr UINT_PTR kMonitorTimer = 1;
constexpr UINT_PTR kClockTimer = 2;
constexpr UINT kMonitorPeriodMs = 100;
constexpr COLORREF kBlack = RGB(0, 0, 0);

// The buttons a monitoring main window shows disabled.
constexpr int kDisabledButtons[] = {IDC_MONITOR_ON,
                                    IDC_READ_MEMORY,
                                    IDC_PORT_SETTINGS,
                                    IDC_GET_CURRENT_VALUES,
                                    IDC_CONFIGURE_PARAMETERS,
                                    IDC_SET_BRIGHTNESS,
                                    IDC_SET_PROGRAM,
                                    IDC_SET_COUNTDOWN_NUMBER,
                                    IDC_MASTER,
                                    IDC_SLAVE,
                                    IDC_SET_PC_TIME};

struct CDisplay {
    int nId;
    COLORREF colour;
};
constexpr CDisplay kDisplays[] = {{IDC_DISPLAY_LARGE, RGB(0, 255, 0)}, {IDC_DISPLAY_SMALL, RGB(255, 0, 0)}};

// The plainest reader of a COM port: blocking reads of at most ten bytes, each followed by a pause of 1 ms, cut into
// lines at the carriage returns; a read that brings nothing (250 ms of silence) drops a partial line.
class CBareReader {
public:
    explicit CBareReader(int nPort) {
        const std::wstring strDevice = L"\\\\.\\COM" + std::to_wstring(nPort);
        m_hPort = CreateFileW(strDevice.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        if (m_hPort == INVALID_HANDLE_VALUE)
            return;
        SetupComm(m_hPort, 256, 256);
        CWinPort::ConfigureLine(m_hPort, 2400); // the program's own speed without a config.ini
        COMMTIMEOUTS timeouts{MAXDWORD, MAXDWORD, 250, 0, 200};
        SetCommTimeouts(m_hPort, &timeouts);
        PurgeComm(m_hPort, PURGE_RXABORT | PURGE_RXCLEAR);
        Write(kCmdMonitorToggle);
        m_reader = std::thread([this] { ReadLines(); });
    }
    ~CBareReader() {
        if (m_hPort == INVALID_HANDLE_VALUE)
            return;
        m_bStop = true;
        m_reader.join();
        Write(kCmdMonitorToggle);
        CloseHandle(m_hPort);
    }
    CBareReader(const CBareReader&) = delete;
    CBareReader& operator=(const CBareReader&) = delete;

    bool IsOpen() const { return m_hPort != INVALID_HANDLE_VALUE; }

    // The lines that came since the last call, each with its carriage return.
    std::string TakeLines() {
        std::lock_guard lock(m_linesLock);
        std::string strLines;
        strLines.swap(m_strLines);
        return strLines;
    }

private:
    void Write(const std::string& strCommand) {
        DWORD nWritten = 0;
        WriteFile(m_hPort, strCommand.data(), static_cast<DWORD>(strCommand.size()), &nWritten, nullptr);
    }

    void ReadLines() {
        std::string strLine;
        while (!m_bStop) {
            char chunk[10];
            DWORD nRead = 0;
            if (!ReadFile(m_hPort, chunk, sizeof chunk, &nRead, nullptr) || nRead == 0)
                strLine.clear();
            for (DWORD i = 0; i < nRead; ++i) {
                strLine += chunk[i];
                if (chunk[i] == '\r') {
                    std::lock_guard lock(m_linesLock);
                    m_strLines += strLine;
                    strLine.clear();
                }
            }
            Sleep(1);
        }
    }

    HANDLE m_hPort = INVALID_HANDLE_VALUE;
    std::atomic<bool> m_bStop{false};
    std::mutex m_linesLock;
    std::string m_strLines;
    std::thread m_reader;
};

// The window and what it shows, so that only a change goes to a control.
struct CBareMonitor {
    HWND hDlg = nullptr;
    HBRUSH hBlack = CreateSolidBrush(kBlack);
    HFONT hDisplayFont = nullptr;
    std::shared_ptr<CSimulatedUnit> unit;
    std::unique_ptr<CBareReader> reader; // the reading floor's reader of the line
    int nLinesRead = 0;                  // the monitoring lines it brought
    std::string strPending;              // the stream's bytes after its last complete line
    std::vector<std::pair<int, std::wstring>> shownTexts;
    std::vector<std::pair<int, int>> shownIcons;

    void SetText(int nId, const std::string& text) {
        const std::wstring strText = ToWide(WidenData(text));
        for (auto& [nShownId, strShown] : shownTexts) {
            if (nShownId == nId) {
                if (strShown == strText)
                    return;
                strShown = strText;
                SetDlgItemTextW(hDlg, nId, strText.c_str());
                return;
            }
        }
        shownTexts.emplace_back(nId, strText);
        SetDlgItemTextW(hDlg, nId, strText.c_str());
    }

    void SetIcon(int nId, int nIconId) {
        for (auto& [nShownId, nShown] : shownIcons) {
            if (nShownId == nId) {
                if (nShown == nIconId)
                    return;
                nShown = nIconId;
                ShowIcon(nId, nIconId);
                return;
            }
        }
        shownIcons.emplace_back(nId, nIconId);
        ShowIcon(nId, nIconId);
    }

    // The image alone: each lamp takes the icon's size the first time, and keeps it.
    void ShowIcon(int nId, int nIconId) {
        const HWND hWnd = GetDlgItem(hDlg, nId);
        SendMessageW(hWnd, STM_SETICON, reinterpret_cast<WPARAM>(IconHandle(nIconId, ScaleForDpi(32, DpiOf(hWnd)))), 0);
    }

    void ArmClock() {
        const WallTime now = std::chrono::system_clock::now();
        const auto delay =
            std::chrono::ceil<std::chrono::milliseconds>(NextSecondStart(now) - now) + std::chrono::milliseconds{1};
        SetTimer(hDlg, kClockTimer, static_cast<UINT>(delay.count()), nullptr);
    }

    void OnClock() {
        SetText(IDC_PC_TIME, ClockText(LocalTimeOf(std::chrono::system_clock::now())));
        ArmClock();
    }

    // What a monitor's tick does with the lines that came since the last: the displays, the start fields and the
    // lamps, the status lamp green while lines come.
    void OnMonitorTick() {
        if (reader) {
            const std::string strLines = reader->TakeLines();
            for (std::size_t nAt = 0, nEnd; (nEnd = strLines.find('\r', nAt)) != std::string::npos; nAt = nEnd + 1)
                nLinesRead += ParseMonitorLine(std::string_view(strLines).substr(nAt, nEnd - nAt)).m_bDisplay ? 1 : 0;
        }
        char buffer[512];
        for (int nRead; (nRead = unit->Read(buffer, sizeof buffer, std::chrono::milliseconds{0})) > 0;)
            strPending.append(buffer, static_cast<std::size_t>(nRead));
        ELamp status = ELamp::Red;
        CLightPattern lights{ELamp::Off, ELamp::Off, ELamp::Off};
        for (std::size_t nEnd; (nEnd = strPending.find('\r')) != std::string::npos;) {
            const CMonitorLine line = ParseMonitorLine(std::string_view(strPending).substr(0, nEnd));
            strPending.erase(0, nEnd + 1);
            if (line.m_bDisplay) {
                status = ELamp::Green;
                SetText(IDC_DISPLAY_LARGE, line.m_strLarge);
                SetText(IDC_DISPLAY_SMALL, line.m_strSmall);
                if (line.m_lights)
                    lights = *line.m_lights;
            }
            if (line.m_bStart) {
                status = ELamp::Green;
                SetText(IDC_START_NUMBER, line.m_strStartNumber);
                SetText(IDC_LAST_START_TIME, line.m_strStartTime);
            }
            if (line.m_bLead) {
                status = ELamp::Green;
                SetText(IDC_LEAD_TIME, line.m_strLeadTime);
            }
        }
        SetIcon(IDC_STATUS_LAMP, LampIcon(status));
        SetIcon(IDC_LIGHT_1, LampIcon(lights[0]));
        SetIcon(IDC_LIGHT_2, LampIcon(lights[1]));
        SetIcon(IDC_LIGHT_3, LampIcon(lights[2]));
    }
};

CBareMonitor g_monitor;

INT_PTR CALLBACK BareProc(HWND hDlg, UINT nMessage, WPARAM wParam, LPARAM lParam) {
    switch (nMessage) {
    case WM_TIMER:
        if (wParam == kMonitorTimer)
            g_monitor.OnMonitorTick();
        else if (wParam == kClockTimer)
            g_monitor.OnClock();
        return TRUE;
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
        for (const CDisplay& display : kDisplays) {
            if (reinterpret_cast<HWND>(lParam) == GetDlgItem(hDlg, display.nId)) {
                const auto hDC = reinterpret_cast<HDC>(wParam);
                SetTextColor(hDC, display.colour);
                SetBkColor(hDC, kBlack);
                return reinterpret_cast<INT_PTR>(g_monitor.hBlack);
            }
        }
        return FALSE;
    case WM_CLOSE:
        DestroyWindow(hDlg);
        return TRUE;
    case WM_DESTROY:
        PostQuitMessage(0);
        return TRUE;
    default:
        return FALSE;
    }
}

} // namespace

int WINAPI WinMain(HINSTANCE /*hInstance*/, HINSTANCE /*hPrevious*/, LPSTR pszCommandLine, int /*nShow*/) {
    // "--port N": the reading floor, whose exit status is the number of monitoring lines its reader brought.
    const std::string strArguments = pszCommandLine != nullptr ? pszCommandLine : "";
    const int nPort = strArguments.rfind("--port ", 0) == 0 ? std::atoi(strArguments.c_str() + 7) : 0;

    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof(controls);
    controls.dwICC = ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES;
    InitCommonControlsEx(&controls);

    const auto dialogTemplate = LoadDialogTemplate(IDD_MAIN_CONSOLE);
    if (!dialogTemplate)
        return 1;
    const std::vector<DWORD> bytes = CDialogBuilder(*dialogTemplate).Build();
    const HWND hDlg = CreateDialogIndirectParamW(GetModuleHandleW(nullptr),
                                                 reinterpret_cast<LPCDLGTEMPLATEW>(bytes.data()), nullptr, BareProc, 0);
    if (!hDlg)
        return 1;
    CBareMonitor& monitor = g_monitor;
    monitor.hDlg = hDlg;

    // What the main window shows before monitoring: its lists filled, its start values, the display face.
    const HWND hProgram = GetDlgItem(hDlg, IDC_PROGRAM);
    for (const std::string& entry : kProgramEntries)
        SendMessageW(hProgram, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(ToWide(WidenData(entry)).c_str()));
    SendMessageW(hProgram, CB_SETCURSEL, 1, 0);
    const HWND hCountdown = GetDlgItem(hDlg, IDC_COUNTDOWN_NUMBER);
    for (int nColumn = 0; nColumn < kCountdownNumbers; ++nColumn)
        SendMessageW(hCountdown, CB_ADDSTRING, 0,
                     reinterpret_cast<LPARAM>(ToWide(WidenData(CountdownEntry(nColumn))).c_str()));
    SendMessageW(hCountdown, CB_SETCURSEL, 0, 0);
    SetDlgItemTextW(hDlg, IDC_COUNTDOWN_TIME, L"0:00");
    SetDlgItemTextW(hDlg, IDC_BRIGHTNESS, L"9");
    const CFont displayFont = DisplayFont();
    for (const CDisplay& display : kDisplays) {
        const HWND hDisplay = GetDlgItem(hDlg, display.nId);
        const LRESULT nMargins = SendMessageW(hDisplay, EM_GETMARGINS, 0, 0);
        SendMessageW(hDisplay, WM_SETFONT,
                     reinterpret_cast<WPARAM>(displayFont.GetImpl()->font->ForDpi(DpiOf(hDisplay))), TRUE);
        SendMessageW(hDisplay, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, nMargins);
    }
    for (const int nLamp : {IDC_STATUS_LAMP, IDC_LIGHT_1, IDC_LIGHT_2, IDC_LIGHT_3})
        monitor.SetIcon(nLamp, IDI_LAMP_OFF);
    for (const int nButton : kDisabledButtons)
        EnableWindow(GetDlgItem(hDlg, nButton), FALSE);
    ShowWindow(hDlg, SW_SHOW);

    // Monitoring from the start: the unit's stream switched on, read on the window's timer; for the reading floor
    // also the line's.
    if (nPort > 0) {
        monitor.reader = std::make_unique<CBareReader>(nPort);
        if (!monitor.reader->IsOpen())
            return 0;
    }
    monitor.unit = std::make_shared<CSimulatedUnit>(SSimOptions{},
                                                    MillisecondsOfDay(LocalTimeOf(std::chrono::system_clock::now())));
    monitor.unit->TakeLine();
    monitor.unit->Receive(kCmdMonitorToggle);
    SetTimer(hDlg, kMonitorTimer, kMonitorPeriodMs, nullptr);
    monitor.ArmClock();

    MSG msg{};
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (!IsDialogMessageW(hDlg, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    monitor.reader.reset();
    DeleteObject(monitor.hBlack);
    return monitor.nLinesRead;
}
