// The serial link over a pseudo-terminal: how soon a line reaches the queue, whether a full-rate stream loses
// lines, and what the reader costs while the device talks slowly or not at all.

#include "bench/Figures.h"
#include "link/SerialLink.h"
#include "tests/support/PtyPeer.h"
#include "tests/support/TempDir.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <random>
#include <set>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace std::chrono_literals;

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kBaudRate = 38400;
constexpr int kLatencyLines = 1000;
constexpr double kLineBytesPerSecond = 3840.0; // 38400 baud, 10 bits a byte
constexpr auto kStreamDuration = 10s;
constexpr auto kConsumerPeriod = 100ms; // the windows' timer
constexpr auto kPollPause = 50us;       // between the latency measurement's pops: tight, but leaves the reader its core
constexpr auto kCpuDuration = 5s;
constexpr auto kIdleDuration = 3s;
constexpr auto kSlowLinePeriod = 100ms; // 10 lines a second

// A monitor line of the device, with a number in its 8-character display field.
std::string MonitorLine(int nNumber) {
    char szLine[32];
    std::snprintf(szLine, sizeof szLine, "D? %08d 0003 1\r", nNumber);
    return szLine;
}

double ProcessCpuSeconds() {
    timespec now{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

bool OpenOn(CSerialLink& link, const CPtyPeer& peer) {
    if (!link.OpenDevice(peer.SlavePath(), kBaudRate)) {
        std::fprintf(stderr, "cannot open %s\n", peer.SlavePath().c_str());
        return false;
    }
    std::this_thread::sleep_for(50ms);
    return true;
}

// Wire-to-queue latency: a line written on the device's end, the time until PopLine returns it.
bool MeasureLatency() {
    CPtyPeer peer;
    CSerialLink link;
    if (!OpenOn(link, peer))
        return false;
    std::mt19937 random(7);
    std::uniform_int_distribution<int> gapMicroseconds(0, 3000); // lands the lines anywhere in the reader's pass
    std::vector<double> latencies;
    int nWrong = 0;
    for (int i = 0; i < kLatencyLines; ++i) {
        std::this_thread::sleep_for(std::chrono::microseconds{gapMicroseconds(random)});
        const std::string strLine = MonitorLine(i);
        const auto written = Clock::now();
        if (!peer.Write(strLine))
            return false;
        std::string strReceived;
        const auto deadline = written + 2s;
        while (!link.PopLine(strReceived) && Clock::now() < deadline)
            std::this_thread::sleep_for(kPollPause);
        latencies.push_back(Milliseconds(Clock::now() - written));
        if (strReceived + "\r" != strLine)
            ++nWrong;
    }
    link.Close();
    std::printf("link.latency_p50_ms %.2f ms\n", Percentile(latencies, 0.50));
    std::printf("link.latency_p99_ms %.2f ms\n", Percentile(latencies, 0.99));
    std::fprintf(stderr, "latency: %d lines of %zu bytes, p90 %.2f, p98 %.2f, max %.2f ms, %d wrong\n", kLatencyLines,
                 MonitorLine(0).size(), Percentile(latencies, 0.90), Percentile(latencies, 0.98),
                 Percentile(latencies, 1.0), nWrong);
    return true;
}

// Reply lines back to back at the full rate of the line, popped by a 100 ms timer as the windows do.
bool MeasureLostLines() {
    CPtyPeer peer;
    CSerialLink link;
    if (!OpenOn(link, peer))
        return false;
    const std::size_t nLineBytes = MonitorLine(0).size();
    const int nLines = static_cast<int>(kLineBytesPerSecond * std::chrono::duration<double>(kStreamDuration).count() /
                                        static_cast<double>(nLineBytes));
    bool bWritten = true;
    std::thread writer([&] {
        const auto start = Clock::now();
        for (int i = 0; i < nLines && bWritten; ++i) {
            const auto due = start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(
                                         static_cast<double>(i * nLineBytes) / kLineBytesPerSecond));
            std::this_thread::sleep_until(due);
            bWritten = peer.Write(MonitorLine(i));
        }
    });
    std::set<int> received;
    int nWrong = 0;
    const auto collect = [&] {
        for (std::string strLine; link.PopLine(strLine);) {
            int nNumber = -1;
            if (std::sscanf(strLine.c_str(), "D? %08d", &nNumber) == 1 && strLine + "\r" == MonitorLine(nNumber))
                received.insert(nNumber);
            else
                ++nWrong;
        }
    };
    const auto end = Clock::now() + kStreamDuration + 500ms;
    while (Clock::now() < end) {
        std::this_thread::sleep_for(kConsumerPeriod);
        collect();
    }
    writer.join();
    link.Close();
    collect();
    if (!bWritten)
        return false;
    std::printf("link.lines_lost %d lines\n", nLines - static_cast<int>(received.size()));
    std::fprintf(stderr, "stream: %d lines of %zu bytes in %lld s, %zu received, %d garbled\n", nLines, nLineBytes,
                 static_cast<long long>(std::chrono::duration_cast<std::chrono::seconds>(kStreamDuration).count()),
                 received.size(), nWrong);
    return true;
}

// CPU of this process, which is the reader's, while a child process plays the device and sends 10 lines a second,
// or while the device stays silent.
bool MeasureCpu(const char* pszName, bool bTalking, std::chrono::milliseconds duration) {
    CPtyPeer peer;
    int go[2];
    if (::pipe(go) != 0)
        return false;
    const std::string strLine = MonitorLine(1);
    const int nLines = static_cast<int>(duration / kSlowLinePeriod);
    const pid_t child = bTalking ? ::fork() : 0;
    if (bTalking && child < 0)
        return false;
    if (bTalking && child == 0) {
        // The device: only async-signal-safe calls from here on.
        char cGo = 0;
        ::close(go[1]);
        if (::read(go[0], &cGo, 1) != 1)
            ::_exit(1);
        timespec next{};
        ::clock_gettime(CLOCK_MONOTONIC, &next);
        for (int i = 0; i < nLines; ++i) {
            if (::write(peer.MasterHandle(), strLine.data(), strLine.size()) < 0 && errno != EAGAIN)
                ::_exit(1);
            next.tv_nsec += static_cast<long>(std::chrono::nanoseconds(kSlowLinePeriod).count());
            if (next.tv_nsec >= 1000000000L) {
                next.tv_nsec -= 1000000000L;
                ++next.tv_sec;
            }
            ::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, nullptr);
        }
        ::_exit(0);
    }
    ::close(go[0]);

    CSerialLink link;
    if (!OpenOn(link, peer))
        return false;
    std::this_thread::sleep_for(250ms);
    const double dCpuStart = ProcessCpuSeconds();
    const auto start = Clock::now();
    if (bTalking && ::write(go[1], "g", 1) != 1)
        return false;
    // The main thread sleeps throughout and pops the queue only afterwards, so the figure is the reader's own.
    std::this_thread::sleep_for(duration);
    const double dCpu = ProcessCpuSeconds() - dCpuStart;
    const double dWall = std::chrono::duration<double>(Clock::now() - start).count();
    int nReceived = 0;
    for (std::string strLine; link.PopLine(strLine);)
        ++nReceived;
    ::close(go[1]);
    if (bTalking) {
        int nStatus = 0;
        ::waitpid(child, &nStatus, 0);
    }
    link.Close();
    std::printf("%s %.3f %%\n", pszName, 100.0 * dCpu / dWall);
    std::fprintf(stderr, "%s: %.1f ms of CPU in %.2f s, %d lines received\n", pszName, dCpu * 1000.0, dWall, nReceived);
    return true;
}

// The device goes (hang-up) and comes back under the same port link: from its return to the first line queued.
// The reader opens it again every half second, so the figure lies between the open itself and half a second more.
bool MeasureReconnect() {
    constexpr int kCycles = 7;
    constexpr int kPort = 7;
    CExecutableDirectory dir;
    std::vector<double> delays;
    std::mt19937 random(12345);
    auto peer = std::make_unique<CPtyPeer>();
    peer->LinkAsPort(dir.Path(), kPort);
    CSerialLink link;
    if (!link.Open(kPort, 9600)) {
        std::fprintf(stderr, "reconnect: cannot open\n");
        return false;
    }
    for (int nCycle = 0; nCycle < kCycles; ++nCycle) {
        peer->HangUp();
        const auto deadline = Clock::now() + 3s;
        while (link.IsConnected() && Clock::now() < deadline)
            std::this_thread::sleep_for(1ms);
        if (link.IsConnected()) {
            std::fprintf(stderr, "reconnect: the hang-up went unnoticed\n");
            return false;
        }
        // Away for a while, not in step with the reader's attempts.
        std::this_thread::sleep_for(std::chrono::milliseconds{200 + static_cast<int>(random() % 500)});
        for (std::string strLine; link.PopLine(strLine);) {
        }
        peer.reset(); // its link goes with it
        peer = std::make_unique<CPtyPeer>();
        peer->LinkAsPort(dir.Path(), kPort);
        const auto back = Clock::now();
        std::string strLine;
        while (!link.PopLine(strLine)) {
            if (Clock::now() - back > 5s) {
                std::fprintf(stderr, "reconnect: no line after the device came back\n");
                return false;
            }
            peer->Write("D? 00000000 0000 0\r");
            std::this_thread::sleep_for(5ms);
        }
        delays.push_back(std::chrono::duration<double, std::milli>(Clock::now() - back).count());
    }
    link.Close();
    std::sort(delays.begin(), delays.end());
    std::printf("link.reconnect_ms %.0f ms\n", delays[delays.size() / 2]);
    std::fprintf(stderr, "reconnect: %d cycles, %.0f to %.0f ms\n", kCycles, delays.front(), delays.back());
    return true;
}

// The reader's cost while its device is away: a reopening attempt every half second, nothing else.
bool MeasureUnplugged() {
    constexpr int kPort = 7;
    constexpr auto kAway = 10s;
    CExecutableDirectory dir;
    CPtyPeer peer;
    peer.LinkAsPort(dir.Path(), kPort);
    CSerialLink link;
    if (!link.Open(kPort, 9600))
        return false;
    peer.HangUp();
    std::this_thread::sleep_for(500ms);
    const double dCpuStart = ProcessCpuSeconds();
    const auto start = Clock::now();
    std::this_thread::sleep_for(kAway);
    const double dCpu = ProcessCpuSeconds() - dCpuStart;
    const double dWall = std::chrono::duration<double>(Clock::now() - start).count();
    const bool bAway = !link.IsConnected();
    link.Close();
    if (!bAway)
        return false;
    std::printf("link.cpu_pct_unplugged %.3f %%\n", 100.0 * dCpu / dWall);
    return true;
}

} // namespace

int main() {
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    try {
        if (!MeasureLatency() || !MeasureLostLines() || !MeasureCpu("link.cpu_pct_10hz", true, kCpuDuration) ||
            !MeasureCpu("link.cpu_pct_idle", false, kIdleDuration) || !MeasureReconnect() || !MeasureUnplugged())
            return 1;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 0;
}
