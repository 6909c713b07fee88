#pragma once

#include "sim/SimDevice.h"
#include "sim/SimOptions.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

// A simulated unit that runs inside a program instead of on a pseudo-terminal: the running device (CSimDevice) at
// one end of a line that lives in memory. The other end is taken by the program's port, one at a time; it writes
// commands and reads the unit's reply lines and its "D?" stream.
//
// Device time runs from construction whether or not anybody holds the line: the countdown runs and starts are
// recorded. What the unit says while nobody holds the line is lost, as on a line without a listener. The unit has
// no thread of its own: whoever waits for its bytes moves it on, so a reader waiting on the line wakes when the next
// "D?" line or start is due. Thread-safe: one thread may read while another writes.
class CSimulatedUnit {
public:
    using Clock = std::chrono::steady_clock;

    // Bytes the unit has sent and nobody has read yet, at most; beyond them the unit's transmitter waits, as a
    // device waits for a full line.
    static constexpr std::size_t kLineCapacity = 4096;

    // options: the simulator's (program, memory, speed, frozen, baud, split pause, garbage, silent); nClockMs: the
    // time of day now.
    CSimulatedUnit(const SSimOptions& options, std::int64_t nClockMs);
    CSimulatedUnit(const CSimulatedUnit&) = delete;
    CSimulatedUnit& operator=(const CSimulatedUnit&) = delete;

    // Takes the program's end of the line; false when another holds it.
    bool TakeLine();
    // Lets go of it; what the unit sent and nobody read is lost.
    void ReleaseLine();
    // Bytes from the program: every command they complete is carried out at once.
    void Receive(std::string_view bytes);
    // Up to nMax of the bytes the unit sent: returns at once with those that wait; with none waiting, waits up to
    // `timeout` for the first and returns as soon as any arrive. 0 after `timeout` of silence.
    int Read(char* pBuffer, int nMax, std::chrono::milliseconds timeout);
    // Waits up to `timeout` until bytes wait, without taking them; false after `timeout` of silence.
    bool WaitForInput(std::chrono::milliseconds timeout);
    // Forgets the bytes the unit sent and nobody has read.
    void PurgeInput();

private:
    // Moves the device on to `now` and lets it send; returns when it next wants to run. Called with m_lock held.
    Clock::time_point RunTo(Clock::time_point now);
    // Waits with m_lock held until bytes wait (true) or `timeout` has passed (false).
    bool WaitForBytes(std::unique_lock<std::mutex>& lock, std::chrono::milliseconds timeout);
    long TakeSent(const char* pBytes, std::size_t nSize);

    std::mutex m_lock;
    std::condition_variable m_changed;
    std::string m_strSent; // sent by the unit, not yet read
    bool m_bLineHeld = false;
    CSimDevice m_device;
};
