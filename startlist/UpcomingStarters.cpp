#include "startlist/UpcomingStarters.h"

CUpcomingStarters UpcomingStarters(const CStartList& list, std::string_view unitNumber) {
    CUpcomingStarters upcoming;
    const std::optional<int> nNumber = UnitStartNumber(unitNumber);
    if (!nNumber)
        return upcoming;
    const std::vector<CStarter>& starters = list.Starters();
    // Where the next ones begin in the list: after the current starter, else at the first one above the number.
    const CStarter* pFirstNext = nullptr;
    upcoming.m_pCurrent = list.Find(*nNumber);
    if (upcoming.m_pCurrent) {
        if (upcoming.m_pCurrent != &starters.back())
            pFirstNext = upcoming.m_pCurrent + 1;
    } else {
        pFirstNext = list.FindFirstAbove(*nNumber);
    }
    if (!pFirstNext)
        return upcoming;
    for (auto at = starters.begin() + (pFirstNext - starters.data());
         at != starters.end() && upcoming.m_next.size() < kUpcomingAfter; ++at)
        upcoming.m_next.push_back(&*at);
    return upcoming;
}
