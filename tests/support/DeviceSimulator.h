#pragma once

#include <memory>
#include <string>
#include <vector>

// The device simulator with its command-line options (kalvora-sim's: "--com 5 --memory 3 --frozen" ...) as the
// device on COM port <n> of a program whose files are in strDirectory, for the dialog tests. On Linux kalvora-sim
// as a child process on a pseudo-terminal linked as strDirectory/ports/COM<n> (DeviceSimulatorPosix.cpp); on
// Windows the simulator's device model served inside the test's own process under that number
// (DeviceSimulatorWin.cpp). Throws std::runtime_error when it cannot be started.
class CDeviceSimulator {
public:
    CDeviceSimulator(const std::string& strDirectory, std::vector<std::string> args);
    ~CDeviceSimulator();
    CDeviceSimulator(const CDeviceSimulator&) = delete;
    CDeviceSimulator& operator=(const CDeviceSimulator&) = delete;

    // The COM port the device is on; another link of the test reaches it by that number too.
    int Port() const;
    // The cable pulled out (the program's port sees a vanished device) and plugged in again.
    void PullCable();
    void PlugCable();

    struct Impl;

private:
    std::unique_ptr<Impl> m_pImpl;
};
