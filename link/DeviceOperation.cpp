#include "link/DeviceOperation.h"

#include "link/SerialLink.h"

#include <algorithm>
#include <thread>
#include <tuple>
#include <utility>

namespace {

// A second whose due moment is closer than this is left for the next one: the wait must be able to end on time.
constexpr auto kLeastLeadTime = std::chrono::milliseconds{2};

CTimedWrite WriteAtSecond(CSerialLink& link, int nBaudRate, const CDeviceOperation::CStep& step,
                          const CWallClock& clock) {
    const auto commandFor = [&](WallTime second) {
        const std::string strText =
            step.m_strSecondText.empty() ? ClockText(LocalTimeOf(second)) : step.m_strSecondText;
        return std::make_pair(strText, step.m_commandForSecond ? step.m_commandForSecond(strText) : std::string());
    };
    const WallTime now = clock.Now();
    CTimedWrite write;
    write.m_secondStart = NextSecondStart(now);
    auto [strText, strCommand] = commandFor(write.m_secondStart);
    write.m_due = write.m_secondStart - LineTime(strCommand.size(), nBaudRate);
    if (write.m_due - now < kLeastLeadTime) {
        write.m_secondStart += std::chrono::seconds{1};
        std::tie(strText, strCommand) = commandFor(write.m_secondStart);
        write.m_due = write.m_secondStart - LineTime(strCommand.size(), nBaudRate);
    }
    write.m_strSecond = std::move(strText);
    write.m_strCommand = std::move(strCommand);
    clock.SleepUntil(write.m_due);
    write.m_bWritten = link.Write(write.m_strCommand);
    write.m_error = std::chrono::duration_cast<std::chrono::microseconds>(clock.Now() - write.m_due);
    return write;
}

// A Collect step: see CDeviceOperation::Collect.
void CollectReply(CSerialLink& link, const CDeviceOperation::CStep& step, const COperationHooks& hooks,
                  const std::function<bool()>& stopRequested) {
    if (!hooks.m_collect) {
        if (hooks.m_wait)
            hooks.m_wait(step.m_wait);
        return;
    }
    using Clock = std::chrono::steady_clock;
    Clock::time_point deadline = Clock::now() + std::max(step.m_wait, hooks.m_leastReplyWait);
    for (;;) {
        for (std::string strLine; link.PopLine(strLine);) {
            switch (hooks.m_collect(strLine)) {
            case EReplyLine::Complete:
                return;
            case EReplyLine::Part:
                deadline = Clock::now() + step.m_nextLineWait;
                break;
            case EReplyLine::Other:
                break;
            }
        }
        // Nothing more comes on a link that is closed, and a caller that asked to stop is not kept waiting.
        if (Clock::now() >= deadline || !link.IsOpen() || stopRequested())
            return;
        if (hooks.m_wait)
            hooks.m_wait(kCollectPause);
        else
            std::this_thread::sleep_for(kCollectPause);
    }
}

COperationResult RunSteps(CSerialLink& link, bool bOpened, int nBaudRate, const CDeviceOperation& operation,
                          const COperationHooks& hooks) {
    COperationResult result;
    result.m_bOpened = bOpened;
    const std::function<bool()> stopRequested = [&] {
        return hooks.m_stopRequested && hooks.m_stopRequested();
    };
    for (const CDeviceOperation::CStep& step : operation.Steps()) {
        switch (step.m_eStep) {
        case CDeviceOperation::EStep::Arm:
            if (hooks.m_arm)
                hooks.m_arm();
            break;
        case CDeviceOperation::EStep::Write:
            if (stopRequested()) {
                link.Close();
                return result;
            }
            link.Write(step.m_strCommand);
            break;
        case CDeviceOperation::EStep::WriteAtSecond:
            if (stopRequested()) {
                link.Close();
                return result;
            }
            result.m_timedWrite = WriteAtSecond(link, nBaudRate, step, hooks.m_clock);
            break;
        case CDeviceOperation::EStep::Wait:
            if (hooks.m_wait)
                hooks.m_wait(step.m_wait);
            break;
        case CDeviceOperation::EStep::Collect:
            CollectReply(link, step, hooks, stopRequested);
            break;
        case CDeviceOperation::EStep::Pump:
            if (hooks.m_pump)
                hooks.m_pump();
            break;
        }
    }
    link.Close();
    return result;
}

} // namespace

CDeviceOperation& CDeviceOperation::Arm() {
    m_steps.push_back({EStep::Arm, {}, {}});
    return *this;
}

CDeviceOperation& CDeviceOperation::Write(std::string strCommand) {
    m_steps.push_back({EStep::Write, std::move(strCommand), {}});
    return *this;
}

CDeviceOperation& CDeviceOperation::Wait(std::chrono::milliseconds wait) {
    m_steps.push_back({EStep::Wait, {}, wait});
    return *this;
}

CDeviceOperation& CDeviceOperation::Collect(std::chrono::milliseconds firstLineWait,
                                            std::optional<std::chrono::milliseconds> nextLineWait) {
    CStep step{EStep::Collect, {}, firstLineWait};
    step.m_nextLineWait = nextLineWait.value_or(firstLineWait);
    m_steps.push_back(std::move(step));
    return *this;
}

CDeviceOperation& CDeviceOperation::Pump() {
    m_steps.push_back({EStep::Pump, {}, {}});
    return *this;
}

CDeviceOperation& CDeviceOperation::WriteAtSecond(CommandForSecond commandForSecond, std::string strSecondText) {
    m_steps.push_back({EStep::WriteAtSecond, {}, {}, commandForSecond, std::move(strSecondText)});
    return *this;
}

std::vector<std::string> CDeviceOperation::Commands() const {
    std::vector<std::string> commands;
    for (const CStep& step : m_steps) {
        if (step.m_eStep == EStep::Write)
            commands.push_back(step.m_strCommand);
    }
    return commands;
}

std::chrono::microseconds LineTime(std::size_t nBytes, int nBaudRate) {
    if (nBaudRate <= 0)
        return std::chrono::microseconds{0};
    const long long nBits = static_cast<long long>(nBytes) * kBitsPerByte;
    return std::chrono::microseconds{nBits * 1'000'000LL / nBaudRate};
}

COperationResult RunDeviceOperation(CSerialLink& link, int nPort, int nBaudRate, const CDeviceOperation& operation,
                                    const COperationHooks& hooks) {
    const bool bOpened = link.Open(nPort, nBaudRate);
    return RunSteps(link, bOpened, nBaudRate, operation, hooks);
}

COperationResult RunDeviceOperation(CSerialLink& link, const std::string& strDevice, int nBaudRate,
                                    const CDeviceOperation& operation, const COperationHooks& hooks) {
    const bool bOpened = link.OpenDevice(strDevice, nBaudRate);
    return RunSteps(link, bOpened, nBaudRate, operation, hooks);
}
