#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

class CSerialLink;

// One conversation with the device, written down as data: the steps between opening the link and closing it again.
// Every window and the command-line tool run their device commands and transfer sequences through
// RunDeviceOperation, so each sequence's order of writes, pauses and message pumping exists once.
class CDeviceOperation {
public:
    enum class EStep {
        Arm,   // the caller arms whatever takes the replies (a window timer)
        Write, // one command, already ending in "\r"
        Wait,  // a pause on the caller's thread while the reader collects the replies
        Pump,  // the caller lets its pending window messages run
    };
    struct CStep {
        EStep m_eStep;
        std::string m_strCommand;            // for Write
        std::chrono::milliseconds m_wait{0}; // for Wait

        bool operator==(const CStep&) const = default;
    };

    CDeviceOperation& Arm();
    CDeviceOperation& Write(std::string strCommand);
    CDeviceOperation& Wait(std::chrono::milliseconds wait);
    CDeviceOperation& Pump();

    const std::vector<CStep>& Steps() const { return m_steps; }
    // The commands in the order they are written.
    std::vector<std::string> Commands() const;

private:
    std::vector<CStep> m_steps;
};

// What the caller supplies to an operation. An empty hook does nothing (a Wait without m_wait does not wait).
struct COperationHooks {
    std::function<void()> m_arm;
    std::function<void(std::chrono::milliseconds)> m_wait; // blocks the caller's thread (or collects replies)
    std::function<void()> m_pump;
    // Asked before each write: true ends the operation there (the link is still closed).
    std::function<bool()> m_stopRequested;
};

// Opens the link on COM port nPort at nBaudRate, runs the steps in order and closes the link (with its own closing
// wait). A port that cannot be opened has been reported by the link; the steps run all the same and their writes
// fail, as every device command of the program does.
void RunDeviceOperation(CSerialLink& link, int nPort, int nBaudRate, const CDeviceOperation& operation,
                        const COperationHooks& hooks);
