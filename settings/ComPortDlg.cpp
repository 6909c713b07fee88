#include "settings/ComPortDlg.h"

#include "base/FileLocations.h"
#include "i18n/Language.h"
#include "i18n/TranslateWindow.h"
#include "link/ComPorts.h"
#include "settings/Settings.h"

namespace {

// The choices before config.ini is read: "COM 1" and "9600".
constexpr int kInitialPortPosition = 0;
constexpr int kInitialBaudPosition = 2;

} // namespace

CComPortDlg::CComPortDlg(int nCurrentBaudRate, CWnd* pParent)
    : CDialog(IDD_COM_PORT, pParent), m_nBaudRate(nCurrentBaudRate), m_comboPort(Control<CComboBox>(IDC_COM_PORT_LIST)),
      m_comboBaud(Control<CComboBox>(IDC_BAUD_RATE_LIST)) {}

bool CComPortDlg::OnInitDialog() {
    CDialog::OnInitDialog();

    // Position i is COM port i + 1 whatever the entry reads: an adapter seen for the first time gets its number
    // now, and a number whose adapter is there shows its name; the device a number opens is the entry's tooltip.
    AssignComNumbers(FilesDirectory(), kSerialByIdDirectory);
    for (const CComPortEntry& entry : DescribeComPorts(FilesDirectory(), kSerialByIdDirectory)) {
        const int nPosition = m_comboPort.AddString(entry.m_strText);
        m_comboPort.SetItemTip(nPosition, entry.m_strDevice);
    }
    m_comboPort.SetCurSel(kInitialPortPosition);
    // The list positions are the baud indices of config.ini.
    for (int nIndex = 0; const std::optional<int> nRate = BaudRateFromIndex(nIndex); ++nIndex)
        m_comboBaud.AddString(std::to_string(*nRate));
    m_comboBaud.SetCurSel(kInitialBaudPosition);

    // A stored position that names no entry leaves its list without a selection.
    const CComPortSettings settings = ReadComPortSettings(GetConfigPath());
    LoadNamedLanguage(settings.m_strLanguage);
    if (settings.m_nPortPosition)
        m_comboPort.SetCurSel(*settings.m_nPortPosition);
    if (settings.m_nBaudPosition)
        m_comboBaud.SetCurSel(*settings.m_nBaudPosition);

    TranslateWindow(*this, IDD_COM_PORT);
    return true;
}

void CComPortDlg::OnOK() {
    const int nPortPosition = m_comboPort.GetCurSel(); // -1 without a selection, giving port 0
    const int nBaudPosition = m_comboBaud.GetCurSel();
    m_nPort = nPortPosition + 1;
    if (const std::optional<int> nRate = BaudRateFromIndex(nBaudPosition))
        m_nBaudRate = *nRate;
    // A failed write goes unreported; the choice still reaches the caller.
    WriteComPortSettings(GetConfigPath(), nPortPosition, nBaudPosition);
    EndDialog(IDOK);
}
