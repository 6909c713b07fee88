#include "console/LiveFeed.h"

#include "startlist/TimeOfDay.h"
#include "startlist/UpcomingStarters.h"

#include <utility>

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

CLiveStarter LiveStarter(const CStarter& starter) {
    return {std::to_string(starter.m_nStartNumber), starter.m_strName, starter.m_strClub, starter.m_strClass,
            starter.m_plannedMs ? TimeOfDayText(*starter.m_plannedMs) : std::string()};
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
        // At most once a start: the display changes its number when a start happens (or the unit's count is set).
        if (line.m_strSmall != m_state.m_strSmall) {
            m_state.m_strSmall = line.m_strSmall;
            FindStarters();
        }
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

void CLiveFeed::SetStartList(std::shared_ptr<const CStartList> list) {
    m_startList = std::move(list);
    FindStarters();
}

void CLiveFeed::SetClockOffset(std::optional<CClockOffset::Duration> offset) {
    // Milliseconds are as far as the figure goes: a finer change is no change to a viewer.
    m_state.m_clockOffsetSeconds.reset();
    if (offset)
        m_state.m_clockOffsetSeconds =
            static_cast<double>(std::chrono::round<std::chrono::milliseconds>(*offset).count()) / 1000.0;
}

void CLiveFeed::FindStarters() {
    m_state.m_currentStarter.reset();
    m_state.m_nextStarters.clear();
    if (!m_startList)
        return;
    const CUpcomingStarters upcoming = UpcomingStarters(*m_startList, m_state.m_strSmall);
    if (upcoming.m_pCurrent)
        m_state.m_currentStarter = LiveStarter(*upcoming.m_pCurrent);
    for (const CStarter* pStarter : upcoming.m_next)
        m_state.m_nextStarters.push_back(LiveStarter(*pStarter));
}
