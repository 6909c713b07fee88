#include "link/ComPorts.h"

#include "link/SerialPort.h"

#include <windows.h>

#include <setupapi.h>

#include <map>
#include <string_view>
#include <utility>

namespace {

// The device setup class of serial and parallel ports, {4D36E978-E325-11CE-BFC1-08002BE10318}.
constexpr GUID kPortsClass = {0x4D36E978, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};

// "COM7" (any case) as 7; 0 for any other name.
int ComNumber(std::wstring_view name) {
    if (name.size() < 4 || name.size() > 6 || _wcsnicmp(name.data(), L"COM", 3) != 0)
        return 0;
    int nPort = 0;
    for (std::size_t i = 3; i < name.size(); ++i) {
        if (name[i] < L'0' || name[i] > L'9')
            return 0;
        nPort = nPort * 10 + (name[i] - L'0');
    }
    return nPort;
}

// A name the system gives as a list entry's text, which is data of one byte a character (window/Text.h): a
// character beyond that range becomes '?', never a look-alike of the ANSI code page's best fit.
std::string EntryBytes(std::wstring_view name) {
    std::string bytes;
    bytes.reserve(name.size());
    for (const wchar_t ch : name)
        bytes += ch <= 0xFF ? static_cast<char>(static_cast<unsigned char>(ch)) : '?';
    return bytes;
}

// The present ports' names as the system gives them ("USB Serial Port (COM3)"), by COM number.
std::map<int, std::string> PresentPortNames() {
    std::map<int, std::string> names;
    const HDEVINFO devices = SetupDiGetClassDevsW(&kPortsClass, nullptr, nullptr, DIGCF_PRESENT);
    if (devices == INVALID_HANDLE_VALUE)
        return names;
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD nIndex = 0; SetupDiEnumDeviceInfo(devices, nIndex, &device); ++nIndex) {
        const HKEY hKey = SetupDiOpenDevRegKey(devices, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
        if (hKey == INVALID_HANDLE_VALUE)
            continue;
        wchar_t szPortName[32]{};
        DWORD nBytes = sizeof szPortName - sizeof(wchar_t); // room for a terminator the value may lack
        DWORD nType = 0;
        const LONG nResult =
            RegQueryValueExW(hKey, L"PortName", nullptr, &nType, reinterpret_cast<BYTE*>(szPortName), &nBytes);
        RegCloseKey(hKey);
        const int nPort = nResult == ERROR_SUCCESS && nType == REG_SZ ? ComNumber(szPortName) : 0;
        if (nPort < 1 || nPort > kComPortCount)
            continue;
        wchar_t szName[256]{};
        if (SetupDiGetDeviceRegistryPropertyW(devices, &device, SPDRP_FRIENDLYNAME, nullptr,
                                              reinterpret_cast<BYTE*>(szName), sizeof szName - sizeof(wchar_t),
                                              nullptr))
            names[nPort] = EntryBytes(szName);
        else
            names[nPort] = {};
    }
    SetupDiDestroyDeviceInfoList(devices);
    return names;
}

} // namespace

void AssignComNumbers(const std::string& /*strDirectory*/, const std::string& /*strSearchDirectory*/) {
    // Windows gives every adapter its COM number itself, and keeps it for that adapter.
}

std::vector<CComPortEntry> DescribeComPorts(const std::string& /*strDirectory*/,
                                            const std::string& /*strSearchDirectory*/) {
    const std::map<int, std::string> present = PresentPortNames();
    std::vector<CComPortEntry> entries;
    for (int nPort = 1; nPort <= kComPortCount; ++nPort) {
        // A device served in this process is what the number opens, whatever port of the system has it too.
        if (auto entry = InProcessComPortEntry(nPort)) {
            entries.push_back(std::move(*entry));
            continue;
        }
        const auto name = present.find(nPort);
        entries.push_back(
            {ComPortEntryText(nPort, name != present.end() ? name->second : std::string()), PortDevicePath(nPort)});
    }
    return entries;
}
