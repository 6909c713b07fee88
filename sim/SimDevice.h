#pragma once

#include "sim/CommandFramer.h"
#include "sim/DeviceModel.h"
#include "sim/LineSender.h"
#include "sim/SimOptions.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// The unit running in real time, without its line: the device model at the device time of each moment (running
// --speed times as fast, or standing still with --frozen), the framing of the commands it receives, the "D?" lines
// it streams about ten a second while monitoring, and the transmitter that puts its lines on the line (paced,
// split, with garbage, or not at all, as the options say). The owner of the line hands in what it received, says
// whether anybody holds the line, and pumps the transmitter; the device does no I/O and reads no clock itself.
// Used from one thread at a time.
class CSimDevice {
public:
    using Clock = std::chrono::steady_clock;
    using Logger = std::function<void(const std::string& strText)>;

    // nClockMs: the computer's time of day at device time 0 (the unit's clock is --clock-offset from it); writer
    // takes the bytes of the transmitter; log, when given, is told each command and each start, with the unit's
    // clock minus the computer's at that start.
    CSimDevice(const SSimOptions& options, std::int64_t nClockMs, CLineSender::Writer writer, Logger log = {});

    // Device time 0 is `now`.
    void Start(Clock::time_point now);
    // Moves device time on to `now`: the starts that happened meanwhile are recorded (and streamed while
    // monitoring).
    void AdvanceTo(Clock::time_point now);
    // Bytes received at `now`: every command they complete is carried out and its reply queued.
    void Receive(std::string_view bytes, Clock::time_point now);
    // While monitoring, the "D?" line whose time has come is queued, if the line is held and the transmitter idle
    // (so that a slow line never falls behind); without a listener its turn passes unsent.
    void StreamStatus(Clock::time_point now, bool bLineHeld);
    // Writes what the pace and the pauses allow at `now`; returns when it wants to be called again.
    Clock::time_point Pump(Clock::time_point now) { return m_sender.Pump(now); }
    // The last Pump stopped because the line took no more bytes.
    bool IsBlocked() const { return m_sender.IsBlocked(); }
    // Forgets every line not yet written (nobody listens, or the cable went).
    void Discard() { m_sender.Discard(); }
    // When the device itself next wants to run (its next "D?" line or start while monitoring); max() otherwise.
    Clock::time_point NextEvent() const;

    const CDeviceModel& Model() const { return m_model; }

private:
    // How many times as fast as the computer's time the unit's time runs: --speed and --clock-drift together.
    double Rate() const;
    std::int64_t DeviceTime(Clock::time_point now) const;
    Clock::time_point RealTime(std::int64_t nDeviceMs) const;
    void Execute(const std::string& strCommand, Clock::time_point now);
    void Send(const std::vector<std::string>& lines);
    void Log(const std::string& strText) const;

    SSimOptions m_options;
    std::int64_t m_nComputerClockMs; // the computer's time of day at device time 0
    Logger m_log;
    CDeviceModel m_model;
    CCommandFramer m_framer;
    CLineSender m_sender;
    Clock::time_point m_start;
    Clock::time_point m_nextStatus;
};
