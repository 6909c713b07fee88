#pragma once

#include "console/ClockOffset.h"
#include "console/ConsoleProtocol.h"
#include "console/LiveFeed.h"
#include "console/OnBlackEdit.h"
#include "link/SerialLink.h"
#include "live/LiveServer.h"
#include "settings/Settings.h"
#include "startlist/StartListInUse.h"
#include "window/Dialog.h"

#include <array>
#include <chrono>
#include <functional>
#include <string>

// The main window (template 102): the live monitor of the timing device, its device commands, the countdown-time
// table of the program files, and the buttons that open the Live Page, Read Memory, Port Settings and Parameters
// dialogs. It owns the live page's server and publishes to it what it shows of the unit at each monitor tick.
// Every device operation runs on the window's thread: open the link, arm a timer, write, wait, close; the timer's
// next tick parses what the reader thread queued meanwhile.
class CMainConsoleDlg : public CDialog {
public:
    // Window timers.
    static constexpr int TIMER_MONITOR = 1;
    static constexpr int TIMER_CLOCK = 2;
    static constexpr int TIMER_CURRENT_VALUES = 3;
    static constexpr int TIMER_ACK = 4;
    static constexpr int TIMER_MODE_ACK = 6;
    // One tick: darkens the status lamp after its green.
    static constexpr int TIMER_LAMP_OFF = 8;
    // The timers that take the link's lines, one at a time (StartLineReader).
    static constexpr std::array kLineReaders{TIMER_MONITOR, TIMER_CURRENT_VALUES, TIMER_ACK, TIMER_MODE_ACK};

    static constexpr auto kMonitorPeriod = std::chrono::milliseconds{100};
    // The clock ticks once a second, this long after each second's start: the field turns with the second.
    static constexpr auto kClockTickLag = std::chrono::milliseconds{1};
    static constexpr auto kReplyPeriod = std::chrono::milliseconds{100};
    // How long the status lamp stays green after an acknowledgement or the current values.
    static constexpr auto kLampGreenTime = std::chrono::milliseconds{250};
    static constexpr int kCountdownTimeChars = 5;

    // Opens the About box over the window. The About box belongs to the application, which hands it in; a window
    // given none has no About entry.
    using AboutBoxOpener = std::function<void(CWnd* pParent)>;

    explicit CMainConsoleDlg(AboutBoxOpener openAboutBox = {}, CWnd* pParent = nullptr);
    ~CMainConsoleDlg() override;

protected:
    bool OnInitDialog() override;
    void OnTimer(int nId) override;
    void OnSysCommand(int nCommandId) override;
    // The close box and Alt+F4 end the program the way Exit does.
    void OnClose() override;

    // Live monitor.
    void OnMonitorOn();
    void OnMonitorOff();
    // Program and countdown selection (choices of the user only).
    void OnSelchangeProgram();
    void OnSelchangeCountdownNumber();
    // Device commands.
    void OnGetCurrentValues();
    COperationResult RunCommand(int nTimer, const CDeviceOperation& operation);
    void OnSetProgram();
    void OnSetCountdownNumber();
    void OnSetBrightness();
    void OnSetPcTime();
    void OnMaster();
    void OnSlave();
    // The other dialogs and the way out.
    void OnReadMemoryButton();
    void OnPortSettings();
    void OnConfigureParameters();
    void OnLivePage();
    void OnExit();

    void LoadCountdownTimes();
    void LoadProgramFileTimes(int nProgram);

    int m_nCountdownColumn = 1;
    int m_nProgramRow = 1;
    std::array<CCountdownRow, kCountdownTableSize> m_countdownTimes{}; // [program row][countdown column]
    CSerialLink m_link;
    int m_nBaudRate = kDefaultBaudRate;
    int m_nPort = kDefaultPort;
    // The live page: the server, started at initialisation when config.ini shares it and by the Live Page dialog,
    // and the state the window publishes to it, made from the lines it shows by kalvora-cli's rules.
    CLiveServer m_liveServer;
    CLiveFeed m_liveFeed;
    // The start list whose names the page shows: the one config.ini names, read at initialisation and again when the
    // Live Page dialog chooses another (never at a tick).
    CStartListInUse m_startList;

    // Controls, bound at construction (the builder has made them all by then), in this order.
    CButton& m_buttonSetCountdownNumber;  // 1019
    CButton& m_buttonSetProgram;          // 1018
    CStatic& m_lampStatus;                // 1042
    CStatic& m_lampLight1;                // 1046
    CStatic& m_lampLight2;                // 1047
    CStatic& m_lampLight3;                // 1048
    CButton& m_buttonSetPcTime;           // 1034
    CButton& m_buttonSlave;               // 1036
    CButton& m_buttonMaster;              // 1035
    CEdit& m_editPcTime;                  // 1033
    CButton& m_buttonSetBrightness;       // 1014
    CButton& m_buttonConfigureParameters; // 1009
    CButton& m_buttonGetCurrentValues;    // 1012
    CButton& m_buttonPortSettings;        // 1021
    CButton& m_buttonReadMemory;          // 1016
    CButton& m_buttonMonitorOn;           // 1000
    CComboBox& m_comboCountdownNumber;    // 1017
    CSpinButtonCtrl& m_spinBrightness;    // 1015
    CRedOnBlackEdit m_displaySmall;       // 1002
    CGreenOnBlackEdit m_displayLarge;     // 1001
    CEdit& m_editLastStartTime;           // 1006
    CEdit& m_editStartNumber;             // 1008
    CEdit& m_editLeadTime;                // 1007
    CEdit& m_editCountdownTime;           // 1011
    CEdit& m_editBrightness;              // 1013
    CComboBox& m_comboProgram;            // 1010

    CFont m_fontDisplay;
    int m_hIcon = IDR_MAINFRAME; // the application icon, the window's large and small one
    AboutBoxOpener m_openAboutBox;

private:
    void ApplySettings();
    // The eleven command buttons that monitoring disables, in the order it disables them.
    void EnableCommandButtons(bool bEnable);
    // Starts timer nTimer as the one reader of the link's lines: every other reader timer stops first.
    void StartLineReader(int nTimer, std::chrono::milliseconds period);
    void SetLamp(CStatic& lamp, ELamp image);
    void SetLights(const CLightPattern& lights);
    // After a tick that lit the status lamp green: dark again kLampGreenTime later, while the window goes on.
    void DarkenStatusLampLater();
    // Hands the window's state to the live page's server; it tells its viewers only what changed.
    void PublishLiveState();

    void OnMonitorTick();
    void OnClockTick();
    // TIMER_CLOCK ticks once, kClockTickLag after the next second of the computer's clock starts.
    void ArmClockTimer();
    void OnCurrentValuesTick();
    void OnAckTick();
    void OnModeAckTick();

    CMonitorResume m_monitorResume;
    // The unit's clock against the computer's, from the start lines of the stream; told in the tip of the "Set PC
    // Time" group's clock field and on the live page.
    CClockOffset m_clockOffset;
    void ShowClockOffset();
};
