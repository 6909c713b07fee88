#pragma once

#include "base/WallClock.h"

#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class CSerialLink;

// One conversation with the device, written down as data: the steps between opening the link and closing it again.
// Every window and the command-line tool run their device commands and transfer sequences through
// RunDeviceOperation, so each sequence's order of writes, pauses and message pumping exists once.
class CDeviceOperation {
public:
    // Builds the command that names one second of the computer's clock from its "HH:MM:SS" text.
    using CommandForSecond = std::string (*)(std::string_view clockText);

    enum class EStep {
        Arm,           // the caller arms whatever takes the replies (a window timer)
        Write,         // one command, already ending in "\r"
        Wait,          // a pause on the caller's thread while the reader collects the replies
        Pump,          // the caller lets its pending window messages run
        WriteAtSecond, // one command that names a second, written so that its last byte leaves at that second's start
    };
    struct CStep {
        EStep m_eStep;
        std::string m_strCommand;                      // for Write
        std::chrono::milliseconds m_wait{0};           // for Wait
        CommandForSecond m_commandForSecond = nullptr; // for WriteAtSecond
        std::string m_strSecondText{};                 // for WriteAtSecond: the text to send; empty: the second's own

        bool operator==(const CStep&) const = default;
    };

    CDeviceOperation& Arm();
    CDeviceOperation& Write(std::string strCommand);
    CDeviceOperation& Wait(std::chrono::milliseconds wait);
    CDeviceOperation& Pump();
    // The command for the next second of the computer's clock that it can still reach on the line: built from that
    // second's "HH:MM:SS", or from strSecondText when one is given (a unit set to another time, on the computer's
    // second), and written when the second starts less the time its bytes take at the baud rate.
    CDeviceOperation& WriteAtSecond(CommandForSecond commandForSecond, std::string strSecondText = {});

    const std::vector<CStep>& Steps() const { return m_steps; }
    // The commands of the Write steps in the order they are written (a WriteAtSecond's depends on the moment).
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
    // The clock a WriteAtSecond reads and waits on; the computer's own when its members are empty.
    CWallClock m_clock;
};

// A line carries 10 bits a byte: a start bit, 8 data bits and a stop bit.
inline constexpr int kBitsPerByte = 10;
// How long nBytes take on the line at nBaudRate; none for a baud rate that is not positive.
std::chrono::microseconds LineTime(std::size_t nBytes, int nBaudRate);

// What a WriteAtSecond did.
struct CTimedWrite {
    std::string m_strSecond;  // the text sent: "HH:MM:SS" of the second, or the text the step gave
    std::string m_strCommand; // the bytes written
    WallTime m_secondStart;   // the second at whose start the last byte leaves
    WallTime m_due;           // when the write was due: the second's start less the command's line time
    // When the write was done (the bytes handed to the port), less m_due: positive when late.
    std::chrono::microseconds m_error{0};
    bool m_bWritten = false; // false on a link that is not open or a write that failed
};

struct COperationResult {
    bool m_bOpened = false;
    std::optional<CTimedWrite> m_timedWrite; // the last WriteAtSecond, when the operation got that far
};

// Opens the link on COM port nPort at nBaudRate, runs the steps in order and closes the link (with its own closing
// wait). A port that cannot be opened has been reported by the link; the steps run all the same and their writes
// fail, as every device command of the program does.
COperationResult RunDeviceOperation(CSerialLink& link, int nPort, int nBaudRate, const CDeviceOperation& operation,
                                    const COperationHooks& hooks);
// The same on a device named by its path.
COperationResult RunDeviceOperation(CSerialLink& link, const std::string& strDevice, int nBaudRate,
                                    const CDeviceOperation& operation, const COperationHooks& hooks);
