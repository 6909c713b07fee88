#include "console/MainConsoleDlg.h"

#include "base/FileLocations.h"
#include "base/Files.h"
#include "base/WallClock.h"
#include "i18n/Language.h"
#include "i18n/TranslateWindow.h"
#include "live/LivePageDlg.h"
#include "memory/ReadMemoryDlg.h"
#include "programs/ParametersDlg.h"
#include "settings/ComPortDlg.h"
#include "window/MessageBox.h"
#include "window/Resources.h"

#include <vector>

namespace {

constexpr int kInitialProgramEntry = 1;   // "P1"
constexpr int kInitialCountdownEntry = 0; // "CD0"
constexpr int kBrightnessLowest = 0;
constexpr int kBrightnessHighest = 9;
constexpr const char* kInitialCountdownTime = "0:00";
constexpr int kProgramFiles = 10; // P0.txt to P9.txt

// The Live Page entry of the window's menu, in the language loaded.
std::string LivePageEntryText() {
    return TranslationFor(IDS_LIVE_PAGE_MENU).value_or("&Live Page...");
}

std::string SelectedText(const CComboBox& combo) {
    return combo.GetLBText(combo.GetCurSel()); // empty without a selection
}

std::vector<std::string> Entries(const CComboBox& combo) {
    std::vector<std::string> entries;
    for (int i = 0; i < combo.GetCount(); ++i)
        entries.push_back(combo.GetLBText(i));
    return entries;
}

} // namespace

CMainConsoleDlg::CMainConsoleDlg(AboutBoxOpener openAboutBox, CWnd* pParent)
    : CDialog(IDD_MAIN_CONSOLE, pParent), m_link(MessageBoxReporter(this)),
      m_buttonSetCountdownNumber(Control<CButton>(IDC_SET_COUNTDOWN_NUMBER)),
      m_buttonSetProgram(Control<CButton>(IDC_SET_PROGRAM)), m_lampStatus(Control<CStatic>(IDC_STATUS_LAMP)),
      m_lampLight1(Control<CStatic>(IDC_LIGHT_1)), m_lampLight2(Control<CStatic>(IDC_LIGHT_2)),
      m_lampLight3(Control<CStatic>(IDC_LIGHT_3)), m_buttonSetPcTime(Control<CButton>(IDC_SET_PC_TIME)),
      m_buttonSlave(Control<CButton>(IDC_SLAVE)), m_buttonMaster(Control<CButton>(IDC_MASTER)),
      m_editPcTime(Control<CEdit>(IDC_PC_TIME)), m_buttonSetBrightness(Control<CButton>(IDC_SET_BRIGHTNESS)),
      m_buttonConfigureParameters(Control<CButton>(IDC_CONFIGURE_PARAMETERS)),
      m_buttonGetCurrentValues(Control<CButton>(IDC_GET_CURRENT_VALUES)),
      m_buttonPortSettings(Control<CButton>(IDC_PORT_SETTINGS)), m_buttonReadMemory(Control<CButton>(IDC_READ_MEMORY)),
      m_buttonMonitorOn(Control<CButton>(IDC_MONITOR_ON)),
      m_comboCountdownNumber(Control<CComboBox>(IDC_COUNTDOWN_NUMBER)),
      m_spinBrightness(Control<CSpinButtonCtrl>(IDC_BRIGHTNESS_SPIN)),
      m_editLastStartTime(Control<CEdit>(IDC_LAST_START_TIME)), m_editStartNumber(Control<CEdit>(IDC_START_NUMBER)),
      m_editLeadTime(Control<CEdit>(IDC_LEAD_TIME)), m_editCountdownTime(Control<CEdit>(IDC_COUNTDOWN_TIME)),
      m_editBrightness(Control<CEdit>(IDC_BRIGHTNESS)), m_comboProgram(Control<CComboBox>(IDC_PROGRAM)),
      m_openAboutBox(std::move(openAboutBox)) {
    m_displaySmall.SubclassDlgItem(IDC_DISPLAY_SMALL, this);
    m_displayLarge.SubclassDlgItem(IDC_DISPLAY_LARGE, this);

    OnCommand(IDC_MONITOR_ON, &CMainConsoleDlg::OnMonitorOn);
    OnCommand(IDC_MONITOR_OFF, &CMainConsoleDlg::OnMonitorOff);
    OnCommand(IDC_GET_CURRENT_VALUES, &CMainConsoleDlg::OnGetCurrentValues);
    OnCommand(IDC_SET_PROGRAM, &CMainConsoleDlg::OnSetProgram);
    OnCommand(IDC_SET_COUNTDOWN_NUMBER, &CMainConsoleDlg::OnSetCountdownNumber);
    OnCommand(IDC_SET_BRIGHTNESS, &CMainConsoleDlg::OnSetBrightness);
    OnCommand(IDC_SET_PC_TIME, &CMainConsoleDlg::OnSetPcTime);
    OnCommand(IDC_MASTER, &CMainConsoleDlg::OnMaster);
    OnCommand(IDC_SLAVE, &CMainConsoleDlg::OnSlave);
    OnCommand(IDC_READ_MEMORY, &CMainConsoleDlg::OnReadMemoryButton);
    OnCommand(IDC_PORT_SETTINGS, &CMainConsoleDlg::OnPortSettings);
    OnCommand(IDC_CONFIGURE_PARAMETERS, &CMainConsoleDlg::OnConfigureParameters);
    OnCommand(IDC_LIVE_PAGE, &CMainConsoleDlg::OnLivePage);
    OnCommand(IDC_EXIT, &CMainConsoleDlg::OnExit);
    OnSelChange(IDC_PROGRAM, &CMainConsoleDlg::OnSelchangeProgram);
    OnSelChange(IDC_COUNTDOWN_NUMBER, &CMainConsoleDlg::OnSelchangeCountdownNumber);
}

CMainConsoleDlg::~CMainConsoleDlg() = default;

// ---- initialisation

bool CMainConsoleDlg::OnInitDialog() {
    CDialog::OnInitDialog();

    if (m_openAboutBox)
        AddAboutEntry(*this);

    SetIcon(m_hIcon);

    m_fontDisplay = DisplayFont();
    m_displaySmall.SetFont(m_fontDisplay);
    m_displayLarge.SetFont(m_fontDisplay);

    m_spinBrightness.SetRange(kBrightnessLowest, kBrightnessHighest);
    m_spinBrightness.SetPos(kBrightnessHighest);

    for (const std::string& entry : kProgramEntries)
        m_comboProgram.AddString(entry);
    m_comboProgram.SetCurSel(kInitialProgramEntry);

    for (int nColumn = 0; nColumn < kCountdownNumbers; ++nColumn)
        m_comboCountdownNumber.AddString(CountdownEntry(nColumn));
    m_comboCountdownNumber.SetCurSel(kInitialCountdownEntry);

    m_editCountdownTime.SetWindowText(kInitialCountdownTime);
    // A limit on typing: texts that the program puts in are shown whole.
    m_editCountdownTime.SetLimitText(kCountdownTimeChars);

    m_nPort = kDefaultPort;
    m_nBaudRate = kDefaultBaudRate;

    ApplySettings();

    TranslateWindow(*this, IDD_MAIN_CONSOLE);
    // Beside the About entry, in the language just loaded.
    AppendSystemMenu(IDM_LIVE_PAGE, Shown(LivePageEntryText()));
    // The live page as config.ini left it; a port it cannot have leaves it unshared, without a message: the Live
    // Page dialog says so and shares it again.
    if (const CLivePageSettings live = ReadLivePageSettings(GetConfigPath()); live.m_bShare)
        ShareLivePage(m_liveServer, live.m_nPort);
    // The names of the start list config.ini names; one that cannot be read leaves the page without names, and the
    // Live Page dialog says why.
    m_startList = StartListOfSettings();
    m_liveFeed.SetStartList(m_startList.m_list);
    PublishLiveState();

    LoadCountdownTimes();

    // Whatever the settings selected in the lists: only a choice of the user moves the row and the column.
    m_nCountdownColumn = 1;
    m_nProgramRow = 1;

    ArmClockTimer();
    return true;
}

void CMainConsoleDlg::ApplySettings() {
    const CMainWindowSettings settings = ReadMainWindowSettings(GetConfigPath());
    LoadNamedLanguage(settings.m_strLanguage);
    if (settings.m_nPort)
        m_nPort = *settings.m_nPort;
    if (settings.m_nBaudRate)
        m_nBaudRate = *settings.m_nBaudRate;
    // Selections by the program: no notification, so the row and the column stay.
    if (settings.m_nProgram)
        m_comboProgram.SetCurSel(*settings.m_nProgram);
    if (settings.m_nCountdownNumber)
        m_comboCountdownNumber.SetCurSel(*settings.m_nCountdownNumber);
    if (settings.m_strCountdownTime)
        m_editCountdownTime.SetWindowText(*settings.m_strCountdownTime);
    if (settings.m_strBrightness)
        m_editBrightness.SetWindowText(*settings.m_strBrightness);
}

void CMainConsoleDlg::OnSysCommand(int nCommandId) {
    if ((nCommandId & 0xFFF0) == IDM_ABOUTBOX) {
        if (m_openAboutBox)
            m_openAboutBox(this);
    } else if ((nCommandId & 0xFFF0) == IDM_LIVE_PAGE) {
        OnLivePage();
    } else {
        CDialog::OnSysCommand(nCommandId);
    }
}

void CMainConsoleDlg::OnClose() {
    OnExit();
}

// ---- lamps

void CMainConsoleDlg::SetLamp(CStatic& lamp, ELamp image) {
    lamp.SetIcon(LampIcon(image));
}

void CMainConsoleDlg::SetLights(const CLightPattern& lights) {
    SetLamp(m_lampLight1, lights[0]);
    SetLamp(m_lampLight2, lights[1]);
    SetLamp(m_lampLight3, lights[2]);
}

void CMainConsoleDlg::DarkenStatusLampLater() {
    SetTimerOnce(TIMER_LAMP_OFF, kLampGreenTime);
}

void CMainConsoleDlg::PublishLiveState() {
    m_liveServer.Publish(m_liveFeed.State());
}

// ---- live monitor

void CMainConsoleDlg::EnableCommandButtons(bool bEnable) {
    for (CButton* button : {&m_buttonMonitorOn, &m_buttonReadMemory, &m_buttonPortSettings, &m_buttonGetCurrentValues,
                            &m_buttonConfigureParameters, &m_buttonSetBrightness, &m_buttonSetProgram,
                            &m_buttonSetCountdownNumber, &m_buttonMaster, &m_buttonSlave, &m_buttonSetPcTime})
        button->EnableWindow(bEnable);
}

void CMainConsoleDlg::StartLineReader(int nTimer, std::chrono::milliseconds period) {
    // A reply timer still waiting (a "Set" whose acknowledgement never came ticks on) would take lines meant for
    // the new one: a start line lost from the monitor, the current values from their fields.
    for (const int nReader : kLineReaders) {
        if (nReader != nTimer)
            KillTimer(nReader);
    }
    SetTimer(nTimer, period);
}

void CMainConsoleDlg::OnMonitorOn() {
    m_link.Open(m_nPort, m_nBaudRate);
    m_monitorResume.Start(m_link.ReopenCount());
    StartLineReader(TIMER_MONITOR, kMonitorPeriod);
    m_link.Write(kCmdMonitorToggle);
    // An acknowledgement's green from just before must not darken the monitor's lamp.
    KillTimer(TIMER_LAMP_OFF);
    EnableCommandButtons(false);
    m_liveFeed.SetMonitoring(true);
    PublishLiveState();
}

void CMainConsoleDlg::OnMonitorOff() {
    KillTimer(TIMER_MONITOR);
    m_link.Write(kCmdMonitorToggle);
    m_link.Close();
    EnableCommandButtons(true);
    SetLamp(m_lampStatus, ELamp::Off);
    m_liveFeed.SetMonitoring(false);
    PublishLiveState();
}

void CMainConsoleDlg::OnTimer(int nId) {
    switch (nId) {
    case TIMER_MONITOR:
        OnMonitorTick();
        break;
    case TIMER_CLOCK:
        OnClockTick();
        break;
    case TIMER_CURRENT_VALUES:
        OnCurrentValuesTick();
        break;
    case TIMER_ACK:
        OnAckTick();
        break;
    case TIMER_MODE_ACK:
        OnModeAckTick();
        break;
    case TIMER_LAMP_OFF:
        SetLamp(m_lampStatus, ELamp::Off);
        break;
    default:
        break;
    }
    CDialog::OnTimer(nId);
}

void CMainConsoleDlg::OnMonitorTick() {
    // Every tick starts from a red status lamp and dark lights; the lamps take the state the tick ends in, once, so
    // that a tick which ends where the last one did repaints nothing.
    ELamp status = ELamp::Red;
    CLightPattern lights{ELamp::Off, ELamp::Off, ELamp::Off};
    bool bClockSample = false;
    DrainReceivedLines(m_link, [&](const CReceivedLine& received) {
        const std::string& line = received.m_strText;
        const CMonitorLine parsed = ParseMonitorLine(line);
        m_monitorResume.Take(parsed);
        bClockSample |=
            m_clockOffset.Take(parsed, line.size(), TimeSinceLocalMidnight(received.m_arrived), m_nBaudRate);
        m_liveFeed.Take(parsed);
        if (parsed.m_bDisplay) {
            status = ELamp::Green;
            m_displayLarge.SetWindowText(parsed.m_strLarge);
            m_displaySmall.SetWindowText(parsed.m_strSmall);
            if (parsed.m_lights)
                lights = *parsed.m_lights;
        }
        if (parsed.m_bStart) {
            status = ELamp::Green;
            m_editStartNumber.SetWindowText(parsed.m_strStartNumber);
            m_editLastStartTime.SetWindowText(parsed.m_strStartTime);
        }
        if (parsed.m_bLead) {
            status = ELamp::Green;
            m_editLeadTime.SetWindowText(parsed.m_strLeadTime);
        }
    });
    SetLamp(m_lampStatus, status);
    SetLights(lights);
    if (bClockSample)
        ShowClockOffset();
    // The page shows what the window shows, as one snapshot per tick.
    m_liveFeed.EndTick();
    PublishLiveState();
    // The link opened the unit again by itself after it had gone: switch its stream on if it is not streaming.
    if (m_monitorResume.Tick(m_link.ReopenCount(), CMonitorResume::Clock::now()))
        m_link.Write(kCmdMonitorToggle);
}

// ---- program and countdown selection

void CMainConsoleDlg::LoadCountdownTimes() {
    for (int nProgram = 0; nProgram < kProgramFiles; ++nProgram)
        LoadProgramFileTimes(nProgram);
}

void CMainConsoleDlg::LoadProgramFileTimes(int nProgram) {
    const auto text = ReadFileBytes(FilesDirectory() + "/P" + std::to_string(nProgram) + ".txt");
    if (!text)
        return; // a missing file leaves its row empty
    m_countdownTimes[static_cast<std::size_t>(nProgram)] = ReadCountdownTimes(*text);
}

void CMainConsoleDlg::OnSelchangeProgram() {
    const int nRow = EntryNumber(SelectedText(m_comboProgram));
    if (nRow < 0)
        return;
    m_nProgramRow = nRow;
    m_comboCountdownNumber.SetCurSel(1); // "CD1", without a notification
    m_editCountdownTime.SetWindowText(m_countdownTimes[static_cast<std::size_t>(m_nProgramRow)][1]);
}

void CMainConsoleDlg::OnSelchangeCountdownNumber() {
    const int nColumn = EntryNumber(SelectedText(m_comboCountdownNumber));
    if (nColumn < 0)
        return;
    m_nCountdownColumn = nColumn;
    m_editCountdownTime.SetWindowText(
        m_countdownTimes[static_cast<std::size_t>(m_nProgramRow)][static_cast<std::size_t>(m_nCountdownColumn)]);
}

// ---- device commands

// One device command on the window's thread: open the link, write, wait while the reader collects the reply, close;
// the timer nTimer, armed on the way, takes the reply at its next tick.
COperationResult CMainConsoleDlg::RunCommand(int nTimer, const CDeviceOperation& operation) {
    COperationHooks hooks;
    hooks.m_arm = [this, nTimer] {
        StartLineReader(nTimer, kReplyPeriod);
    };
    hooks.m_wait = &CDialog::Sleep;
    return RunDeviceOperation(m_link, m_nPort, m_nBaudRate, operation, hooks);
}

void CMainConsoleDlg::OnGetCurrentValues() {
    RunCommand(TIMER_CURRENT_VALUES, GetCurrentValuesOperation());
}

void CMainConsoleDlg::OnSetProgram() {
    RunCommand(TIMER_ACK, SetProgramOperation(SelectedText(m_comboProgram)));
}

void CMainConsoleDlg::OnSetCountdownNumber() {
    RunCommand(TIMER_ACK, SetCountdownNumberOperation(SelectedText(m_comboCountdownNumber)));
}

void CMainConsoleDlg::OnSetBrightness() {
    RunCommand(TIMER_ACK, SetBrightnessOperation(m_editBrightness.GetWindowText()));
}

void CMainConsoleDlg::OnSetPcTime() {
    // The computer's clock, sent so that the unit's second starts with the computer's: the window waits for the
    // next second (at most one) and then shows the time it sent.
    const COperationResult result = RunCommand(TIMER_ACK, SetClockOperation());
    if (result.m_timedWrite)
        m_editPcTime.SetWindowText(result.m_timedWrite->m_strSecond);
    // The unit's clock has been set: what was seen of it before counts no more.
    if (result.m_timedWrite && result.m_timedWrite->m_bWritten) {
        m_clockOffset.Reset();
        ShowClockOffset();
        PublishLiveState();
    }
}

void CMainConsoleDlg::ShowClockOffset() {
    const std::optional<CClockOffset::Duration> offset = m_clockOffset.Offset();
    m_editPcTime.SetToolTip(Shown(offset ? ClockOffsetText(*offset) : std::string()));
    m_liveFeed.SetClockOffset(offset);
}

void CMainConsoleDlg::OnMaster() {
    RunCommand(TIMER_MODE_ACK, MasterOperation());
}

void CMainConsoleDlg::OnSlave() {
    RunCommand(TIMER_MODE_ACK, SlaveOperation());
}

void CMainConsoleDlg::OnClockTick() {
    m_editPcTime.SetWindowText(ClockText(LocalTimeOf(std::chrono::system_clock::now())));
    ArmClockTimer();
}

void CMainConsoleDlg::ArmClockTimer() {
    const WallTime now = std::chrono::system_clock::now();
    SetTimerOnce(TIMER_CLOCK, std::chrono::ceil<std::chrono::milliseconds>(NextSecondStart(now) - now) + kClockTickLag);
}

void CMainConsoleDlg::OnCurrentValuesTick() {
    DrainLines(m_link, [this](const std::string& line) {
        const auto values = ParseCurrentValues(line);
        if (!values)
            return;
        SetLamp(m_lampStatus, ELamp::Green);
        m_displayLarge.SetWindowText(values->m_strLarge);
        m_displaySmall.SetWindowText(values->m_strSmall);
        // Selections by the program: no notification, so the row and the column stay.
        const int nEntry = FindProgramEntry(Entries(m_comboProgram), values->m_strProgram);
        if (nEntry >= 0)
            m_comboProgram.SetCurSel(nEntry);
        m_editCountdownTime.SetWindowText(values->m_strCountdownTime);
        const int nColumn = FindCountdownColumn(m_countdownTimes[0], values->m_strCountdownTime);
        if (nColumn >= 0)
            m_comboCountdownNumber.SetCurSel(nColumn); // no match: the selection stays, as for the program
        m_editBrightness.SetWindowText(values->m_strBrightness);
        if (values->m_lights)
            SetLights(*values->m_lights);
    });
    DarkenStatusLampLater();
    KillTimer(TIMER_CURRENT_VALUES);
}

void CMainConsoleDlg::OnAckTick() {
    bool bAcknowledged = false;
    DrainLines(m_link, [&](const std::string& line) {
        if (IsSetAcknowledgement(line)) {
            SetLamp(m_lampStatus, ELamp::Green);
            KillTimer(TIMER_ACK);
            bAcknowledged = true;
        }
    });
    // Without an acknowledgement the timer goes on ticking; a tick must not hold up the window.
    if (bAcknowledged)
        DarkenStatusLampLater();
}

void CMainConsoleDlg::OnModeAckTick() {
    DrainLines(m_link, [this](const std::string& line) {
        if (IsModeAcknowledgement(line))
            SetLamp(m_lampStatus, ELamp::Green);
    });
    DarkenStatusLampLater();
    KillTimer(TIMER_MODE_ACK);
}

// ---- the other dialogs and the way out

void CMainConsoleDlg::OnReadMemoryButton() {
    CReadMemoryDlg dialog(this);
    dialog.DoModal();
}

void CMainConsoleDlg::OnPortSettings() {
    CComPortDlg dialog(m_nBaudRate, this);
    if (dialog.DoModal() == IDOK) {
        m_nPort = dialog.m_nPort;
        m_nBaudRate = dialog.m_nBaudRate;
    }
}

void CMainConsoleDlg::OnConfigureParameters() {
    CParametersDlg dialog(this);
    dialog.DoModal();
}

void CMainConsoleDlg::OnLivePage() {
    // The page names the starters of a list the user chooses at once, monitoring or not.
    CLivePageDlg dialog(
        m_liveServer, m_startList,
        [this] {
            m_liveFeed.SetStartList(m_startList.m_list);
            PublishLiveState();
        },
        this);
    dialog.DoModal();
}

void CMainConsoleDlg::OnExit() {
    m_link.Close();
    KillTimer(TIMER_MONITOR);
    KillTimer(TIMER_CLOCK);
    EndDialog(IDOK);
}
