#include "console/MainConsoleDlg.h"

#include "base/FileLocations.h"
#include "base/Files.h"
#include "base/WallClock.h"
#include "i18n/Language.h"
#include "i18n/TranslateWindow.h"
#include "memory/ReadMemoryDlg.h"
#include "programs/ParametersDlg.h"
#include "settings/ComPortDlg.h"
#include "window/MessageBox.h"
#include "window/Resources.h"
#include "window/Text.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>

#include <vector>

namespace {

constexpr int kInitialProgramEntry = 1;   // "P1"
constexpr int kInitialCountdownEntry = 0; // "CD0"
constexpr int kBrightnessLowest = 0;
constexpr int kBrightnessHighest = 9;
constexpr const char* kInitialCountdownTime = "0:00";
constexpr int kProgramFiles = 10; // P0.txt to P9.txt

int LampIcon(ELamp image) {
    switch (image) {
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

// Device text goes into a field one character per byte, shown from its start.
void ShowDeviceText(QLineEdit& edit, std::string_view text) {
    const QString strText = FromBytes(text);
    if (edit.text() == strText && edit.cursorPosition() == 0)
        return; // the text it already shows costs no repaint
    edit.setText(strText);
    edit.setCursorPosition(0);
}

std::string SelectedText(const CComboBox& combo) {
    if (combo.GetCurSel() < 0)
        return {};
    return ToBytes(combo.itemText(combo.GetCurSel()));
}

std::vector<std::string> Entries(const CComboBox& combo) {
    std::vector<std::string> entries;
    for (int i = 0; i < combo.count(); ++i)
        entries.push_back(ToBytes(combo.itemText(i)));
    return entries;
}

} // namespace

CMainConsoleDlg::CMainConsoleDlg(AboutBoxOpener openAboutBox, QWidget* parent)
    : CDialog(IDD_MAIN_CONSOLE, parent), m_link(MessageBoxReporter(this)),
      m_buttonSetCountdownNumber(Control<QPushButton>(IDC_SET_COUNTDOWN_NUMBER)),
      m_buttonSetProgram(Control<QPushButton>(IDC_SET_PROGRAM)), m_lampStatus(Control<QLabel>(IDC_STATUS_LAMP)),
      m_lampLight1(Control<QLabel>(IDC_LIGHT_1)), m_lampLight2(Control<QLabel>(IDC_LIGHT_2)),
      m_lampLight3(Control<QLabel>(IDC_LIGHT_3)), m_buttonSetPcTime(Control<QPushButton>(IDC_SET_PC_TIME)),
      m_buttonSlave(Control<QPushButton>(IDC_SLAVE)), m_buttonMaster(Control<QPushButton>(IDC_MASTER)),
      m_editPcTime(Control<QLineEdit>(IDC_PC_TIME)), m_buttonSetBrightness(Control<QPushButton>(IDC_SET_BRIGHTNESS)),
      m_buttonConfigureParameters(Control<QPushButton>(IDC_CONFIGURE_PARAMETERS)),
      m_buttonGetCurrentValues(Control<QPushButton>(IDC_GET_CURRENT_VALUES)),
      m_buttonPortSettings(Control<QPushButton>(IDC_PORT_SETTINGS)),
      m_buttonReadMemory(Control<QPushButton>(IDC_READ_MEMORY)),
      m_buttonMonitorOn(Control<QPushButton>(IDC_MONITOR_ON)),
      m_comboCountdownNumber(Control<CComboBox>(IDC_COUNTDOWN_NUMBER)),
      m_spinBrightness(Control<CSpinButtonCtrl>(IDC_BRIGHTNESS_SPIN)),
      m_editLastStartTime(Control<QLineEdit>(IDC_LAST_START_TIME)),
      m_editStartNumber(Control<QLineEdit>(IDC_START_NUMBER)), m_editLeadTime(Control<QLineEdit>(IDC_LEAD_TIME)),
      m_editCountdownTime(Control<QLineEdit>(IDC_COUNTDOWN_TIME)), m_editBrightness(Control<QLineEdit>(IDC_BRIGHTNESS)),
      m_comboProgram(Control<CComboBox>(IDC_PROGRAM)), m_hIcon(AppIcon()), m_openAboutBox(std::move(openAboutBox)) {
    m_displaySmall.SubclassDlgItem(&Control<QLineEdit>(IDC_DISPLAY_SMALL));
    m_displayLarge.SubclassDlgItem(&Control<QLineEdit>(IDC_DISPLAY_LARGE));

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
    OnCommand(IDC_EXIT, &CMainConsoleDlg::OnExit);
    OnSelChange(IDC_PROGRAM, &CMainConsoleDlg::OnSelchangeProgram);
    OnSelChange(IDC_COUNTDOWN_NUMBER, &CMainConsoleDlg::OnSelchangeCountdownNumber);

    m_lampOffTimer.setSingleShot(true);
    m_lampOffTimer.setInterval(kLampGreenTime);
    connect(&m_lampOffTimer, &QTimer::timeout, this, [this] { SetLamp(m_lampStatus, ELamp::Off); });
}

CMainConsoleDlg::~CMainConsoleDlg() = default;

// ---- initialisation

bool CMainConsoleDlg::OnInitDialog() {
    CDialog::OnInitDialog();

    if (m_openAboutBox)
        AddAboutEntry(*this);

    setWindowIcon(m_hIcon);

    m_fontDisplay = DisplayFont();
    m_displaySmall.SetFont(m_fontDisplay);
    m_displayLarge.SetFont(m_fontDisplay);

    m_spinBrightness.SetRange(kBrightnessLowest, kBrightnessHighest);
    m_spinBrightness.SetPos(kBrightnessHighest);

    for (const std::string& entry : kProgramEntries)
        m_comboProgram.AddString(FromBytes(entry));
    m_comboProgram.SetCurSel(kInitialProgramEntry);

    for (int nColumn = 0; nColumn < kCountdownNumbers; ++nColumn)
        m_comboCountdownNumber.AddString(FromBytes(CountdownEntry(nColumn)));
    m_comboCountdownNumber.SetCurSel(kInitialCountdownEntry);

    m_editCountdownTime.setText(QString::fromLatin1(kInitialCountdownTime));
    // A limit on typing, as the window system's edits have it: texts that the program puts in are shown whole.
    m_editCountdownTime.setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral(".{0,%1}").arg(kCountdownTimeChars)), &m_editCountdownTime));

    m_nPort = kDefaultPort;
    m_nBaudRate = kDefaultBaudRate;

    ApplySettings();

    TranslateWindow(this, IDD_MAIN_CONSOLE);

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
        m_editCountdownTime.setText(FromBytes(*settings.m_strCountdownTime));
    if (settings.m_strBrightness)
        m_editBrightness.setText(FromBytes(*settings.m_strBrightness));
}

void CMainConsoleDlg::OnSysCommand(int nCommandId) {
    if ((nCommandId & 0xFFF0) == IDM_ABOUTBOX) {
        if (m_openAboutBox)
            m_openAboutBox(this);
    } else {
        CDialog::OnSysCommand(nCommandId);
    }
}

void CMainConsoleDlg::OnClose() {
    OnExit();
}

// ---- lamps

void CMainConsoleDlg::SetLamp(QLabel& lamp, ELamp image) {
    SetStaticIcon(&lamp, LampIcon(image));
}

void CMainConsoleDlg::SetLights(const CLightPattern& lights) {
    SetLamp(m_lampLight1, lights[0]);
    SetLamp(m_lampLight2, lights[1]);
    SetLamp(m_lampLight3, lights[2]);
}

void CMainConsoleDlg::DarkenStatusLampLater() {
    m_lampOffTimer.start();
}

// ---- live monitor

void CMainConsoleDlg::EnableCommandButtons(bool bEnable) {
    for (QPushButton* button :
         {&m_buttonMonitorOn, &m_buttonReadMemory, &m_buttonPortSettings, &m_buttonGetCurrentValues,
          &m_buttonConfigureParameters, &m_buttonSetBrightness, &m_buttonSetProgram, &m_buttonSetCountdownNumber,
          &m_buttonMaster, &m_buttonSlave, &m_buttonSetPcTime})
        button->setEnabled(bEnable);
}

void CMainConsoleDlg::OnMonitorOn() {
    m_link.Open(m_nPort, m_nBaudRate);
    m_monitorResume.Start(m_link.ReopenCount());
    SetTimer(TIMER_MONITOR, kMonitorPeriod);
    m_link.Write(kCmdMonitorToggle);
    // An acknowledgement's green from just before must not darken the monitor's lamp.
    m_lampOffTimer.stop();
    EnableCommandButtons(false);
}

void CMainConsoleDlg::OnMonitorOff() {
    KillTimer(TIMER_MONITOR);
    m_link.Write(kCmdMonitorToggle);
    m_link.Close();
    EnableCommandButtons(true);
    SetLamp(m_lampStatus, ELamp::Off);
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
    DrainLines(m_link, [&](const std::string& line) {
        const CMonitorLine parsed = ParseMonitorLine(line);
        m_monitorResume.Take(parsed);
        if (parsed.m_bDisplay) {
            status = ELamp::Green;
            m_displayLarge.SetWindowText(FromBytes(parsed.m_strLarge));
            m_displaySmall.SetWindowText(FromBytes(parsed.m_strSmall));
            if (parsed.m_lights)
                lights = *parsed.m_lights;
        }
        if (parsed.m_bStart) {
            status = ELamp::Green;
            ShowDeviceText(m_editStartNumber, parsed.m_strStartNumber);
            ShowDeviceText(m_editLastStartTime, parsed.m_strStartTime);
        }
        if (parsed.m_bLead) {
            status = ELamp::Green;
            ShowDeviceText(m_editLeadTime, parsed.m_strLeadTime);
        }
    });
    SetLamp(m_lampStatus, status);
    SetLights(lights);
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
    ShowDeviceText(m_editCountdownTime, m_countdownTimes[static_cast<std::size_t>(m_nProgramRow)][1]);
}

void CMainConsoleDlg::OnSelchangeCountdownNumber() {
    const int nColumn = EntryNumber(SelectedText(m_comboCountdownNumber));
    if (nColumn < 0)
        return;
    m_nCountdownColumn = nColumn;
    ShowDeviceText(
        m_editCountdownTime,
        m_countdownTimes[static_cast<std::size_t>(m_nProgramRow)][static_cast<std::size_t>(m_nCountdownColumn)]);
}

// ---- device commands

// One device command on the window's thread: open the link, write, wait while the reader collects the reply, close;
// the timer nTimer, armed on the way, takes the reply at its next tick.
COperationResult CMainConsoleDlg::RunCommand(int nTimer, const CDeviceOperation& operation) {
    COperationHooks hooks;
    hooks.m_arm = [this, nTimer] {
        SetTimer(nTimer, kReplyPeriod);
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
    RunCommand(TIMER_ACK, SetBrightnessOperation(ToBytes(m_editBrightness.text())));
}

void CMainConsoleDlg::OnSetPcTime() {
    // The computer's clock, sent so that the unit's second starts with the computer's: the window waits for the
    // next second (at most one) and then shows the time it sent.
    const COperationResult result = RunCommand(TIMER_ACK, SetClockOperation());
    if (result.m_timedWrite)
        m_editPcTime.setText(FromBytes(result.m_timedWrite->m_strSecond));
}

void CMainConsoleDlg::OnMaster() {
    RunCommand(TIMER_MODE_ACK, MasterOperation());
}

void CMainConsoleDlg::OnSlave() {
    RunCommand(TIMER_MODE_ACK, SlaveOperation());
}

void CMainConsoleDlg::OnClockTick() {
    m_editPcTime.setText(FromBytes(ClockText(LocalTimeOf(std::chrono::system_clock::now()))));
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
        m_displayLarge.SetWindowText(FromBytes(values->m_strLarge));
        m_displaySmall.SetWindowText(FromBytes(values->m_strSmall));
        // Selections by the program: no notification, so the row and the column stay.
        const int nEntry = FindProgramEntry(Entries(m_comboProgram), values->m_strProgram);
        if (nEntry >= 0)
            m_comboProgram.SetCurSel(nEntry);
        ShowDeviceText(m_editCountdownTime, values->m_strCountdownTime);
        const int nColumn = FindCountdownColumn(m_countdownTimes[0], values->m_strCountdownTime);
        if (nColumn >= 0)
            m_comboCountdownNumber.SetCurSel(nColumn); // no match: the selection stays, as for the program
        ShowDeviceText(m_editBrightness, values->m_strBrightness);
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

void CMainConsoleDlg::OnExit() {
    m_link.Close();
    KillTimer(TIMER_MONITOR);
    KillTimer(TIMER_CLOCK);
    EndDialog(IDOK);
}
