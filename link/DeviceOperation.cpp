#include "link/DeviceOperation.h"

#include "link/SerialLink.h"

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

CDeviceOperation& CDeviceOperation::Pump() {
    m_steps.push_back({EStep::Pump, {}, {}});
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

void RunDeviceOperation(CSerialLink& link, int nPort, int nBaudRate, const CDeviceOperation& operation,
                        const COperationHooks& hooks) {
    link.Open(nPort, nBaudRate);
    for (const CDeviceOperation::CStep& step : operation.Steps()) {
        switch (step.m_eStep) {
        case CDeviceOperation::EStep::Arm:
            if (hooks.m_arm)
                hooks.m_arm();
            break;
        case CDeviceOperation::EStep::Write:
            if (hooks.m_stopRequested && hooks.m_stopRequested()) {
                link.Close();
                return;
            }
            link.Write(step.m_strCommand);
            break;
        case CDeviceOperation::EStep::Wait:
            if (hooks.m_wait)
                hooks.m_wait(step.m_wait);
            break;
        case CDeviceOperation::EStep::Pump:
            if (hooks.m_pump)
                hooks.m_pump();
            break;
        }
    }
    link.Close();
}
