#pragma once

#include "console/ConsoleProtocol.h"
#include "live/LiveState.h"

// The live page's state as monitoring makes it from the unit's stream, by the main window's rules: each line read by
// ParseMonitorLine shows at once, the start number minus one included; the status lamp is green while lines come
// and red after a tick without one; the start lights show the last "D?" line's pattern and go dark after a tick
// without one. The owner ticks it at its own pace and publishes State() after each Take and EndTick.
class CLiveFeed {
public:
    // Monitoring on (the lamp starts red, as a tick with no line leaves it) or off (the lamp dark; the displays and
    // lights keep what they show, as the window's do).
    void SetMonitoring(bool bMonitoring);
    // One line of the stream.
    void Take(const CMonitorLine& line);
    // The end of one tick of the owner's.
    void EndTick();
    const CLiveState& State() const { return m_state; }

private:
    CLiveState m_state;
    bool m_bLineInTick = false;   // a recognised line came in this tick
    bool m_bLightsInTick = false; // a "D?" line with a light state came in this tick
};

// The lamp of the page for a lamp of the window.
ELiveLamp LiveLamp(ELamp eLamp);
