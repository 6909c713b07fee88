#include "base/FileLocations.h"
#include "link/ComPorts.h"
#include "link/PosixPort.h"
#include "link/SerialPort.h"

#include <filesystem>
#include <system_error>

std::unique_ptr<CSerialPort> CreateSystemPort() {
    return std::make_unique<CPosixPort>();
}

std::string ComPortLinkPath(const std::string& strDirectory, int nPort) {
    return strDirectory + "/ports/COM" + std::to_string(nPort);
}

std::string PortDevicePath(int nPort, const std::string& strDirectory, bool bLinkPresent) {
    if (bLinkPresent)
        return ComPortLinkPath(strDirectory, nPort);
    return "/dev/ttyS" + std::to_string(static_cast<long long>(nPort) - 1); // port INT_MIN must not overflow
}

std::string PortDevicePath(int nPort) {
    const std::string strDirectory = FilesDirectory();
    // An adapter plugged in since the program last looked gets its number before any port is opened.
    AssignComNumbers(strDirectory, kSerialByIdDirectory);
    std::error_code error;
    const bool bLinkPresent =
        std::filesystem::exists(std::filesystem::symlink_status(ComPortLinkPath(strDirectory, nPort), error));
    return PortDevicePath(nPort, strDirectory, bLinkPresent);
}
