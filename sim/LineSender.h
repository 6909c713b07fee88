#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <functional>
#include <string>
#include <string_view>

// The device's transmitter: reply lines go out one after another, each ended by a carriage return, never mixed
// into each other. It can pace the bytes at the time they would take on a real line (10 bits a byte), put a pause
// into the middle of every line, and send a line of garbage before every line.
class CLineSender {
public:
    using Clock = std::chrono::steady_clock;
    // Writes up to nSize bytes and returns how many it took; 0 or less when the line takes none now.
    using Writer = std::function<long(const char* pBytes, std::size_t nSize)>;

    struct SSettings {
        int nBaud = 0;                           // 0: as fast as the line takes them
        std::chrono::milliseconds splitPause{0}; // 0: lines go out whole
        bool bGarbage = false;
    };

    static constexpr std::size_t kMaxPendingBytes = 256 * 1024;

    CLineSender(SSettings settings, Writer writer);

    // Queues one line (its carriage return is added here). Lines beyond kMaxPendingBytes are dropped whole.
    void QueueLine(std::string_view line);
    // Writes what the pace and the pauses allow at `now`. Returns when it wants to be called again:
    // Clock::time_point::max() when nothing waits or the line takes no more bytes (see IsBlocked).
    Clock::time_point Pump(Clock::time_point now);
    // The last Pump stopped because the line took no more bytes: call again when it can take some.
    bool IsBlocked() const { return m_bBlocked; }
    bool IsIdle() const { return m_segments.empty(); }
    // Forgets everything not yet written (nobody is listening).
    void Discard();

private:
    struct SSegment {
        std::string strBytes;
        std::chrono::milliseconds pauseBefore{0};
    };

    void Queue(std::string strBytes, std::chrono::milliseconds pauseBefore);

    SSettings m_settings;
    Writer m_writer;
    std::deque<SSegment> m_segments;
    std::size_t m_nOffset = 0; // bytes of the front segment already written
    std::size_t m_nPendingBytes = 0;
    Clock::time_point m_notBefore{};
    Clock::time_point m_lineFree{}; // when the last paced byte has left the line
    std::size_t m_nGarbage = 0;
    bool m_bBlocked = false;
};
