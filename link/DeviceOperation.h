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
        Wait,          // a pause of the given length on the caller's thread while the reader collects the replies
        Collect,       // the time of the reply to the commands before it (see Collect)
        Pump,          // the caller lets its pending window messages run
        WriteAtSecond, // one command that names a second, written so that its last byte leaves at that second's start
    };
    struct CStep {
        EStep m_eStep;
        std::string m_strCommand;                      // for Write
        std::chrono::milliseconds m_wait{0};           // for Wait; for Collect, the time for the reply's first line
        CommandForSecond m_commandForSecond = nullptr; // for WriteAtSecond
        std::string m_strSecondText{};                 // for WriteAtSecond: the text to send; empty: the second's own
        std::chrono::milliseconds m_nextLineWait{0};   // for Collect: the time for each next line of the reply

        bool operator==(const CStep&) const = default;
    };

    CDeviceOperation& Arm();
    CDeviceOperation& Write(std::string strCommand);
    // A pause of exactly this length, whoever runs the operation.
    CDeviceOperation& Wait(std::chrono::milliseconds wait);
    // The reply to the commands before it. A caller that takes the lines as they come (COperationHooks::m_collect)
    // takes them until one completes the reply, until firstLineWait passes without a line of the reply, or, once
    // the reply has begun, until nextLineWait passes without its next line (a list without an end line; by default
    // as long as the first). A caller that takes the lines later (a window's timer) keeps the link open for
    // firstLineWait, as a Wait of that length.
    CDeviceOperation& Collect(std::chrono::milliseconds firstLineWait,
                              std::optional<std::chrono::milliseconds> nextLineWait = {});
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

// What a line that came during a Collect step is to the reply.
enum class EReplyLine {
    Other,    // not a line of the reply
    Part,     // a line of the reply; more may follow
    Complete, // the line that completes the reply
};

// What the caller supplies to an operation. An empty hook does nothing (a Wait without m_wait does not wait).
struct COperationHooks {
    std::function<void()> m_arm;
    // Blocks the caller's thread for the time given; the caller may keep its window messages running meanwhile.
    std::function<void(std::chrono::milliseconds)> m_wait;
    // Takes each line the link received during a Collect step, oldest first, and says what it is to the reply;
    // lines after the one that completes it stay queued. Without it a Collect step is a Wait of its first-line time.
    std::function<EReplyLine(const std::string& strLine)> m_collect;
    // A caller that goes on as soon as a reply is complete loses nothing by giving its first line more time: with
    // m_collect, a Collect step waits at least this long for it.
    std::chrono::milliseconds m_leastReplyWait{0};
    std::function<void()> m_pump;
    // Asked before each write: true ends the operation there (the link is still closed).
    std::function<bool()> m_stopRequested;
    // The clock a WriteAtSecond reads and waits on; the computer's own when its members are empty.
    CWallClock m_clock;
};

// How often a Collect step with m_collect looks for new lines; the pause goes through the caller's m_wait (a plain
// sleep without one).
inline constexpr auto kCollectPause = std::chrono::milliseconds{5};

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
