#pragma once

#include "console/ClockOffset.h"
#include "console/ConsoleProtocol.h"
#include "live/LiveState.h"
#include "startlist/StartList.h"

#include <memory>
#include <optional>
#include <string>

// The live page's state as monitoring makes it from the unit's stream, by the main window's rules: each line read by
// ParseMonitorLine shows at once, the start number minus one included; the status lamp is green while lines come
// and red after a tick without one; the start lights show the last "D?" line's pattern and go dark after a tick
// without one. With a start list, the starter whose number the small display shows and the three after them
// (UpcomingStarters), found again only when that display changes; and the unit's clock offset as its owner hands
// it over. The owner ticks it at its own pace and publishes State() after each Take and EndTick.
class CLiveFeed {
public:
    // Monitoring on (the lamp starts red, as a tick with no line leaves it) or off (the lamp dark; the displays and
    // lights keep what they show, as the window's do).
    void SetMonitoring(bool bMonitoring);
    // One line of the stream.
    void Take(const CMonitorLine& line);
    // The end of one tick of the owner's.
    void EndTick();
    // The start list the page names the starters from (nullptr: none); the starters of the number shown now follow
    // at once.
    void SetStartList(std::shared_ptr<const CStartList> list);
    // The unit's clock against the computer's as its owner has it now (nothing: not known).
    void SetClockOffset(std::optional<CClockOffset::Duration> offset);
    const CLiveState& State() const { return m_state; }

private:
    void FindStarters();

    CLiveState m_state;
    bool m_bLineInTick = false;   // a recognised line came in this tick
    bool m_bLightsInTick = false; // a "D?" line with a light state came in this tick
    std::shared_ptr<const CStartList> m_startList;
};

// The lamp of the page for a lamp of the window.
ELiveLamp LiveLamp(ELamp eLamp);
// A starter of the start list as the page shows them: the number in plain decimal as the unit counts, the planned
// time of day as "10:15:00" (empty when the list has none).
CLiveStarter LiveStarter(const CStarter& starter);
