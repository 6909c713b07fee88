#pragma once

#include "console/ConsoleProtocol.h"
#include "console/OnBlackEdit.h"
#include "link/SerialLink.h"
#include "settings/Settings.h"
#include "window/Dialog.h"

#include <QFont>
#include <QIcon>
#include <QTimer>

#include <array>
#include <chrono>
#include <functional>
#include <string>

class QLabel;
class QLineEdit;
class QPushButton;

// The main window (template 102): the live monitor of the timing device, its device commands, the countdown-time
// table of the program files, and the buttons that open the Read Memory, Port Settings and Parameters dialogs.
// Every device operation runs on the window's thread: open the link, arm a timer, write, wait, close; the timer's
// next tick parses what the reader thread queued meanwhile.
class CMainConsoleDlg : public CDialog {
    Q_OBJECT
public:
    // Window timers.
    static constexpr int TIMER_MONITOR = 1;
    static constexpr int TIMER_CLOCK = 2;
    static constexpr int TIMER_CURRENT_VALUES = 3;
    static constexpr int TIMER_ACK = 4;
    static constexpr int TIMER_MODE_ACK = 6;

    static constexpr auto kMonitorPeriod = std::chrono::milliseconds{100};
    // The clock ticks once a second, this long after each second's start: the field turns with the second.
    static constexpr auto kClockTickLag = std::chrono::milliseconds{1};
    static constexpr auto kReplyPeriod = std::chrono::milliseconds{100};
    // How long the status lamp stays green after an acknowledgement or the current values.
    static constexpr auto kLampGreenTime = std::chrono::milliseconds{250};
    static constexpr int kCountdownTimeChars = 5;

    // Opens the About box over the window. The About box belongs to the application, which hands it in; a window
    // given none has no About entry.
    using AboutBoxOpener = std::function<void(QWidget* parent)>;

    explicit CMainConsoleDlg(AboutBoxOpener openAboutBox = {}, QWidget* parent = nullptr);
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
    void OnExit();

    void LoadCountdownTimes();
    void LoadProgramFileTimes(int nProgram);

    int m_nCountdownColumn = 1;
    int m_nProgramRow = 1;
    std::array<CCountdownRow, kCountdownTableSize> m_countdownTimes{}; // [program row][countdown column]
    CSerialLink m_link;
    int m_nBaudRate = kDefaultBaudRate;
    int m_nPort = kDefaultPort;

    // Controls, bound at construction (the builder has made them all by then), in this order.
    QPushButton& m_buttonSetCountdownNumber;  // 1019
    QPushButton& m_buttonSetProgram;          // 1018
    QLabel& m_lampStatus;                     // 1042
    QLabel& m_lampLight1;                     // 1046
    QLabel& m_lampLight2;                     // 1047
    QLabel& m_lampLight3;                     // 1048
    QPushButton& m_buttonSetPcTime;           // 1034
    QPushButton& m_buttonSlave;               // 1036
    QPushButton& m_buttonMaster;              // 1035
    QLineEdit& m_editPcTime;                  // 1033
    QPushButton& m_buttonSetBrightness;       // 1014
    QPushButton& m_buttonConfigureParameters; // 1009
    QPushButton& m_buttonGetCurrentValues;    // 1012
    QPushButton& m_buttonPortSettings;        // 1021
    QPushButton& m_buttonReadMemory;          // 1016
    QPushButton& m_buttonMonitorOn;           // 1000
    CComboBox& m_comboCountdownNumber;        // 1017
    CSpinButtonCtrl& m_spinBrightness;        // 1015
    CRedOnBlackEdit m_displaySmall;           // 1002
    CGreenOnBlackEdit m_displayLarge;         // 1001
    QLineEdit& m_editLastStartTime;           // 1006
    QLineEdit& m_editStartNumber;             // 1008
    QLineEdit& m_editLeadTime;                // 1007
    QLineEdit& m_editCountdownTime;           // 1011
    QLineEdit& m_editBrightness;              // 1013
    CComboBox& m_comboProgram;                // 1010

    QFont m_fontDisplay;
    QIcon m_hIcon;
    AboutBoxOpener m_openAboutBox;

private:
    void ApplySettings();
    // The eleven command buttons that monitoring disables, in the order it disables them.
    void EnableCommandButtons(bool bEnable);
    void SetLamp(QLabel& lamp, ELamp image);
    void SetLights(const CLightPattern& lights);
    // After a tick that lit the status lamp green: dark again kLampGreenTime later, while the window goes on.
    void DarkenStatusLampLater();

    void OnMonitorTick();
    void OnClockTick();
    // TIMER_CLOCK ticks once, kClockTickLag after the next second of the computer's clock starts.
    void ArmClockTimer();
    void OnCurrentValuesTick();
    void OnAckTick();
    void OnModeAckTick();

    QTimer m_lampOffTimer; // single shot: darkens the status lamp after its green
    CMonitorResume m_monitorResume;
};
