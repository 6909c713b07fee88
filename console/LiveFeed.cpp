#include "console/LiveFeed.h"

ELiveLamp LiveLamp(ELamp eLamp) {
    switch (eLamp) {
    case ELamp::Red:
        return ELiveLamp::Red;
    case ELamp::Green:
        return ELiveLamp::Green;
    case ELamp::Yellow:
        return ELiveLamp::Yellow;
    case ELamp::Off:
        break;
    }
    return ELiveLamp::Off;
}

void CLiveFeed::SetMonitoring(bool bMonitoring) {
    m_state.m_bMonitoring = bMonitoring;
    m_state.m_bUnitAnswers = false;
    m_bLineInTick = false;
    m_bLightsInTick = false;
}

void CLiveFeed::Take(const CMonitorLine& line) {
    if (!m_state.m_bMonitoring || !line.Recognised())
        return;
    m_bLineInTick = true;
    m_state.m_bUnitAnswers = true;
    if (line.m_bDisplay) {
        m_state.m_strLarge = line.m_strLarge;
        m_state.m_strSmall = line.m_strSmall;
        if (line.m_lights) {
            m_bLightsInTick = true;
            for (std::size_t i = 0; i < m_state.m_lights.size(); ++i)
                m_state.m_lights[i] = LiveLamp((*line.m_lights)[i]);
        }
    }
    if (line.m_bStart) {
        m_state.m_strStartNumber = line.m_strStartNumber;
        m_state.m_strStartTime = line.m_strStartTime;
    }
    if (line.m_bLead)
        m_state.m_strLeadTime = line.m_strLeadTime;
}

void CLiveFeed::EndTick() {
    if (!m_state.m_bMonitoring)
        return;
    m_state.m_bUnitAnswers = m_bLineInTick;
    if (!m_bLightsInTick)
        m_state.m_lights = {ELiveLamp::Off, ELiveLamp::Off, ELiveLamp::Off};
    m_bLineInTick = false;
    m_bLightsInTick = false;
}
