// The link over the Windows port, under Wine, against the device simulator on this machine's pseudo-terminal (make
// bench-windows starts it as COM port KALVORA_TEST_COM): how soon a command's reply line is in the queue, and how
// long the download of every program takes at its pace.

#include "bench/Figures.h"
#include "link/DeviceOperation.h"
#include "link/SerialLink.h"
#include "programs/ProgramStore.h"
#include "programs/TransferCodec.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kBaudRate = 38400;
constexpr int kRoundTrips = 500;
constexpr auto kReplyDeadline = 2s;
constexpr auto kPollPause = 50us; // between the latency measurement's pops: tight, but leaves the reader its core
constexpr auto kDrainSlice = 5ms; // how often a pace pops the queue, as the transfer timer would
constexpr auto kLastReplyDeadline = 2s;

// From a command's write until its reply line is popped: "?C19" and the simulator's "C?" line, through the port,
// the simulator and the reader.
bool MeasureLatency(int nPort) {
    CSerialLink link;
    if (!link.Open(nPort, kBaudRate)) {
        std::fprintf(stderr, "cannot open COM%d\n", nPort);
        return false;
    }
    std::this_thread::sleep_for(50ms);
    std::vector<double> latencies;
    int nWrong = 0;
    for (int i = 0; i < kRoundTrips; ++i) {
        const auto written = Clock::now();
        if (!link.Write("?C19\r"))
            return false;
        std::string strLine;
        const auto deadline = written + kReplyDeadline;
        while (!link.PopLine(strLine) && Clock::now() < deadline)
            std::this_thread::sleep_for(kPollPause);
        latencies.push_back(Milliseconds(Clock::now() - written));
        if (strLine.rfind("C?19", 0) != 0)
            ++nWrong;
    }
    link.Close();
    std::printf("win.link.latency_p50_ms %.2f ms\n", Percentile(latencies, 0.50));
    std::printf("win.link.latency_p99_ms %.2f ms\n", Percentile(latencies, 0.99));
    std::fprintf(stderr, "latency: %d round trips, p90 %.2f, max %.2f ms, %d wrong\n", kRoundTrips,
                 Percentile(latencies, 0.90), Percentile(latencies, 1.0), nWrong);
    return nWrong == 0;
}

// The download of programs 1 to 8 as the Parameters dialog runs it: 336 requests, each followed by its 60 ms pace.
// Its span, from the first request to the end of the last pace, over the 336 paces alone; every reply must be in
// the queue by then (the last within a short wait).
bool MeasureDownload(int nPort) {
    CSerialLink link;
    CProgramStore store;
    int nReplies = 0;
    Clock::time_point started{};
    Clock::time_point lastPace{};
    const auto drain = [&] {
        DrainLines(link, [&](const std::string& strLine) { nReplies += ParseTransferReply(strLine, store) ? 1 : 0; });
    };
    COperationHooks hooks;
    hooks.m_arm = [&] {
        started = Clock::now();
    };
    hooks.m_wait = [&](std::chrono::milliseconds wait) {
        const auto until = Clock::now() + wait;
        for (auto now = Clock::now(); now < until; now = Clock::now()) {
            std::this_thread::sleep_for(std::min<Clock::duration>(kDrainSlice, until - now));
            drain();
        }
        lastPace = Clock::now();
    };
    const CDeviceOperation operation = DownloadOperation();
    RunDeviceOperation(link, nPort, kBaudRate, operation, hooks);
    drain();
    const auto lastDeadline = Clock::now() + kLastReplyDeadline;
    while (nReplies < kDownloadRequests && Clock::now() < lastDeadline) {
        std::this_thread::sleep_for(kDrainSlice);
        drain();
    }
    const double spanMs = Milliseconds(lastPace - started);
    const double floorMs = kDownloadRequests * std::chrono::duration<double, std::milli>(kTransferPace).count();
    std::printf("win.download_span_over_floor %.3f x\n", spanMs / floorMs);
    std::fprintf(stderr, "download: %d requests in %.0f ms (floor %.0f ms), %d replies\n", kDownloadRequests, spanMs,
                 floorMs, nReplies);
    return nReplies == kDownloadRequests;
}

} // namespace

int main() {
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const char* pszPort = std::getenv("KALVORA_TEST_COM");
    const int nPort = pszPort != nullptr ? std::atoi(pszPort) : 0;
    if (nPort <= 0) {
        std::fprintf(stderr, "KALVORA_TEST_COM names the simulator's COM port (make bench-windows sets it)\n");
        return 1;
    }
    try {
        if (!MeasureLatency(nPort) || !MeasureDownload(nPort))
            return 1;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 0;
}
