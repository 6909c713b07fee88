// The unit's clock set to the hundredth, over a pseudo-terminal: "=T" + HHMMSS is written so that its carriage
// return leaves the line on the start of the second it names. 100 sets at random moments, each measured at the
// device's end of the line against the start of its second.
//
// A pseudo-terminal passes the bytes on at once, where a serial line takes ten bits a byte: the carriage return
// leaves a real line the nine bytes' line time after the device's end of a pseudo-terminal sees it. That time is
// added, so the figure is what a unit on a line at the baud rate would see. The arrival is taken when the peer's
// poll wakes, which can only make the figure worse.

#include "bench/Figures.h"
#include "console/ConsoleProtocol.h"
#include "link/DeviceOperation.h"
#include "link/SerialLink.h"
#include "tests/support/PtyPeer.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

namespace {

constexpr int kSets = 100;
constexpr int kBaudRate = 2400; // the unit's usual rate, where the bytes take longest
constexpr auto kLongestWait = 3s;

} // namespace

int main() {
    CPtyPeer peer;
    CSerialLink link;
    std::mt19937 random(11);
    std::uniform_int_distribution<int> pauseMicroseconds(0, 999'999); // lands each set anywhere in a second
    std::vector<double> errors;      // |carriage return leaves - the second's start|, ms
    std::vector<double> writeErrors; // what the routine measured itself, ms
    int nWrong = 0;
    for (int i = 0; i < kSets; ++i) {
        std::this_thread::sleep_for(std::chrono::microseconds{pauseMicroseconds(random)});
        std::string strReceived;
        std::chrono::system_clock::time_point arrived;
        std::thread device([&] {
            strReceived = peer.ReadUntil(9, kLongestWait);
            arrived = std::chrono::system_clock::now();
        });
        const COperationResult result = RunDeviceOperation(link, peer.SlavePath(), kBaudRate, SetClockOperation(), {});
        device.join();
        if (!result.m_bOpened || !result.m_timedWrite || strReceived != result.m_timedWrite->m_strCommand) {
            ++nWrong;
            continue;
        }
        const CTimedWrite& write = *result.m_timedWrite;
        const auto leaves = arrived + LineTime(write.m_strCommand.size(), kBaudRate);
        errors.push_back(std::abs(Milliseconds(leaves - write.m_secondStart)));
        writeErrors.push_back(Milliseconds(write.m_error));
    }
    if (errors.empty()) {
        std::fprintf(stderr, "clock: no set arrived\n");
        return 1;
    }
    std::printf("clock.send_error_p50_ms %.2f ms\n", Percentile(errors, 0.50));
    std::printf("clock.send_error_p99_ms %.2f ms\n", Percentile(errors, 0.99));
    std::fprintf(stderr, "clock: %d sets at %d baud, max %.2f ms, the write's own error p99 %.2f ms, %d wrong\n", kSets,
                 kBaudRate, Percentile(errors, 1.0), Percentile(writeErrors, 0.99), nWrong);
    return nWrong == 0 ? 0 : 1;
}
