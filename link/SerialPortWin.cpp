#include "link/SerialPort.h"
#include "link/WinPort.h"

std::unique_ptr<CSerialPort> CreateSystemPort() {
    return std::make_unique<CWinPort>();
}

std::string ComPortLinkPath(const std::string& strDirectory, int nPort) {
    return strDirectory + "/ports/COM" + std::to_string(nPort);
}

// Windows names its ports itself: COM port n is "\\.\COM<n>", the device-namespace form that every port number
// needs from COM10 on. No file beside the executable stands for a port.
std::string PortDevicePath(int nPort, const std::string& /*strDirectory*/, bool /*bLinkPresent*/) {
    return "\\\\.\\COM" + std::to_string(nPort);
}

std::string PortDevicePath(int nPort) {
    return PortDevicePath(nPort, {}, false);
}
