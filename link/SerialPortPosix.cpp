#include "base/ExecutableDirectory.h"
#include "link/PosixPort.h"
#include "link/SerialPort.h"

#include <filesystem>
#include <system_error>

std::unique_ptr<CSerialPort> CreateSystemPort() {
    return std::make_unique<CPosixPort>();
}

std::string PortDevicePath(int nPort) {
    const std::string strLink = ExecutableDirectory() + "/ports/COM" + std::to_string(nPort);
    // The link itself counts, even when it points nowhere: a simulator that has gone must not turn the port
    // into a real serial line of this machine.
    std::error_code error;
    if (std::filesystem::exists(std::filesystem::symlink_status(strLink, error)))
        return strLink;
    return "/dev/ttyS" + std::to_string(nPort - 1);
}
