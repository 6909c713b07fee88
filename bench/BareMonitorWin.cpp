// The floor under what monitoring costs on Windows, for AppWinBench (win.app.cpu_over_floor): the main window's
// controls as the dialog manager builds them from the same template, in the same places, with the same font, display
// face, colours and lamp images, showing what a monitor shows ten times a second, and nothing else of the program.
// No window layer (no control objects, handler tables, names for a screen reader), no serial line and no reader
// thread: the unit's stream comes from the simulated unit inside this process, read on the window's own timer. Each
// control is changed only when what it shows changes, and the clock field once a second, as a plain program
// written for the purpose would do it.
//
// A bench program, not shipped; it starts monitoring at once and runs until its window is closed.

#include "base/WallClock.h"
#include "console/ConsoleProtocol.h"
#include "res/DialogTemplate.h"
#include "res/Resource.h"
#include "sim/SimOptions.h"
#include "sim/SimulatedUnit.h"
#include "window/Resources.h"
#include "window/win32/DialogBuilder.h"
#include "window/win32/Win32Window.h"

#include <array>
#include <chrono>
#include <memory>
#include <string>
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

int LampIcon(ELamp lamp) {
    switch (lamp) {
    case ELamp::Red:
        return IDI_LAMP_RED;
    case ELamp::Green:
        return IDI_LAMP_GREEN;
    case ELamp::Yellow:
        return IDI_LAMP_YELLOW;
    case ELamp::Off:
        break;
    }
    return IDI_LAMP_OFF;
}

// The window and what it shows, so that only a change goes to a control.
struct CBareMonitor {
    HWND hDlg = nullptr;
    HBRUSH hBlack = CreateSolidBrush(kBlack);
    HFONT hDisplayFont = nullptr;
    std::shared_ptr<CSimulatedUnit> unit;
    std::string strPending; // the stream's bytes after its last complete line
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

int WINAPI WinMain(HINSTANCE /*hInstance*/, HINSTANCE /*hPrevious*/, LPSTR /*pszCommandLine*/, int /*nShow*/) {
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
        SendMessageW(hDisplay, WM_SETFONT, reinterpret_cast<WPARAM>(displayFont.GetImpl()->font->ForDpi(SystemDpi())),
                     TRUE);
        SendMessageW(hDisplay, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, nMargins);
    }
    for (const int nLamp : {IDC_STATUS_LAMP, IDC_LIGHT_1, IDC_LIGHT_2, IDC_LIGHT_3})
        monitor.SetIcon(nLamp, IDI_LAMP_OFF);
    for (const int nButton : kDisabledButtons)
        EnableWindow(GetDlgItem(hDlg, nButton), FALSE);
    ShowWindow(hDlg, SW_SHOW);

    // Monitoring from the start: the unit's stream switched on, read on the window's timer.
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
    DeleteObject(monitor.hBlack);
    return 0;
}
