#include "sim/LineSender.h"

#include <algorithm>
#include <array>

namespace {

// Lines that no reply rule of the program may take for a reply: wrong letter case, control and 8-bit bytes, an
// empty line. None holds "ST" at columns 5-6 or begins with two blanks.
constexpr std::array<std::string_view, 5> kGarbageLines{
    "#?!GARBAGE!?#", "\x01\x02\x03\x7f", "d? 12345678 1234 3", "", "\xfe\xff noise",
};

// How far a late pump may catch up on the pace at once.
constexpr auto kPaceSlack = std::chrono::milliseconds{2};

} // namespace

CLineSender::CLineSender(SSettings settings, Writer writer) : m_settings(settings), m_writer(std::move(writer)) {}

void CLineSender::Queue(std::string strBytes, std::chrono::milliseconds pauseBefore) {
    m_nPendingBytes += strBytes.size();
    m_segments.push_back({std::move(strBytes), pauseBefore});
}

void CLineSender::QueueLine(std::string_view line) {
    if (m_nPendingBytes + line.size() > kMaxPendingBytes)
        return;
    if (m_settings.bGarbage) {
        Queue(std::string(kGarbageLines[m_nGarbage]) + "\r", {});
        m_nGarbage = (m_nGarbage + 1) % kGarbageLines.size();
    }
    if (m_settings.splitPause.count() > 0 && line.size() >= 2) {
        Queue(std::string(line.substr(0, line.size() / 2)), {});
        Queue(std::string(line.substr(line.size() / 2)) + "\r", m_settings.splitPause);
    } else {
        Queue(std::string(line) + "\r", {});
    }
}

void CLineSender::Discard() {
    m_segments.clear();
    m_nOffset = 0;
    m_nPendingBytes = 0;
    m_notBefore = {};
    m_bBlocked = false;
}

CLineSender::Clock::time_point CLineSender::Pump(Clock::time_point now) {
    m_bBlocked = false;
    const auto bytePeriod = std::chrono::nanoseconds{m_settings.nBaud > 0 ? 10'000'000'000LL / m_settings.nBaud : 0};
    while (!m_segments.empty()) {
        if (now < m_notBefore)
            return m_notBefore;
        SSegment& segment = m_segments.front();
        std::size_t nAllowed = segment.strBytes.size() - m_nOffset;
        Clock::time_point base = now;
        if (bytePeriod.count() > 0) {
            // Within a line the bytes keep the line's own pace, as a serial line delivers them: a pump that comes
            // late sends every byte whose turn has come, so that the line ends when it would have. Only a line that
            // begins after the line was idle starts from now (at most kPaceSlack back).
            base = m_nOffset > 0 ? m_lineFree : std::max(m_lineFree, now - kPaceSlack);
            if (base > now)
                return base;
            // Every byte whose turn on the line has come by now.
            const auto nDue = static_cast<std::size_t>((now - base) / bytePeriod) + 1;
            nAllowed = std::min(nAllowed, nDue);
        }
        const long nWritten = m_writer(segment.strBytes.data() + m_nOffset, nAllowed);
        if (nWritten <= 0) {
            m_bBlocked = true;
            return Clock::time_point::max();
        }
        m_nOffset += static_cast<std::size_t>(nWritten);
        m_nPendingBytes -= static_cast<std::size_t>(nWritten);
        if (bytePeriod.count() > 0)
            m_lineFree = base + bytePeriod * nWritten;
        if (m_nOffset < segment.strBytes.size())
            continue;
        m_segments.pop_front();
        m_nOffset = 0;
        if (!m_segments.empty() && m_segments.front().pauseBefore.count() > 0)
            m_notBefore = std::max(now, m_lineFree) + m_segments.front().pauseBefore;
    }
    return Clock::time_point::max();
}
