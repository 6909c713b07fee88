// The live page's state as monitoring builds it from the unit's stream: the main window's rules for the displays,
// the start fields, the status lamp and the start lights, tick by tick.

#include "console/LiveFeed.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using CLights = std::array<ELiveLamp, 3>;
constexpr CLights kDark{ELiveLamp::Off, ELiveLamp::Off, ELiveLamp::Off};
constexpr CLights kYellow{ELiveLamp::Off, ELiveLamp::Yellow, ELiveLamp::Off};
constexpr CLights kRed{ELiveLamp::Red, ELiveLamp::Off, ELiveLamp::Off};

// One tick: its lines, then what the page shows during the tick (after its last line) and after its end.
struct STick {
    std::vector<std::string> lines;
    bool bAnswersAfterLines;
    CLights lightsAfterLines;
    bool bAnswersAtEnd;
    CLights lightsAtEnd;
};

TEST(LiveFeed, LinesShowAtOnceAndATickWithoutThemTurnsTheLampRedAndTheLightsDark) {
    const STick kTicks[] = {
        {{"D?     0:30    1 2"}, true, kYellow, true, kYellow},
        {{}, true, kYellow, false, kDark},                                      // a tick without a line
        {{"D?     0:29    1 1", "D?     0:29    1 9"}, true, kRed, true, kRed}, // "9" leaves the lights as they are
        {{"0013 ST  10:15:30.25"}, true, kRed, true, kDark},                    // no "D?" line: the lights go dark
        {{"garbage", ""}, true, kDark, false, kDark}, // nothing recognised: the lamp goes red at the end
        {{"D?     0:28"}, true, kDark, true, kDark},  // a short line: no light state
    };
    CLiveFeed feed;
    feed.SetMonitoring(true);
    EXPECT_TRUE(feed.State().m_bMonitoring);
    EXPECT_FALSE(feed.State().m_bUnitAnswers);
    int nTick = 0;
    for (const STick& tick : kTicks) {
        SCOPED_TRACE(nTick++);
        for (const std::string& strLine : tick.lines)
            feed.Take(ParseMonitorLine(strLine));
        EXPECT_EQ(feed.State().m_bUnitAnswers, tick.bAnswersAfterLines);
        EXPECT_EQ(feed.State().m_lights, tick.lightsAfterLines);
        feed.EndTick();
        EXPECT_EQ(feed.State().m_bUnitAnswers, tick.bAnswersAtEnd);
        EXPECT_EQ(feed.State().m_lights, tick.lightsAtEnd);
    }
    EXPECT_EQ(feed.State().m_strLarge, "    0:28");
    EXPECT_EQ(feed.State().m_strSmall, "");
    EXPECT_EQ(feed.State().m_strStartNumber, "12"); // the number minus one, as the window shows it
    EXPECT_EQ(feed.State().m_strStartTime, " 10:15:30.25");
}

TEST(LiveFeed, TheFieldsOfEachKindOfLine) {
    CLiveFeed feed;
    feed.SetMonitoring(true);
    feed.Take(ParseMonitorLine("D? 12:00:00    7 3"));
    feed.Take(ParseMonitorLine("   1 ST  09:00:00.00"));
    feed.Take(ParseMonitorLine("  LEAD TIME  0:01:30"));
    const CLiveState& state = feed.State();
    EXPECT_EQ(state.m_strLarge, "12:00:00");
    EXPECT_EQ(state.m_strSmall, "   7");
    EXPECT_EQ(state.m_lights, (CLights{ELiveLamp::Off, ELiveLamp::Off, ELiveLamp::Green}));
    EXPECT_EQ(state.m_strStartNumber, "0");
    EXPECT_EQ(state.m_strStartTime, " 09:00:00.00");
    EXPECT_EQ(state.m_strLeadTime, "0:01:30");
    EXPECT_FALSE(state.m_clockOffsetSeconds);
    EXPECT_FALSE(state.m_currentStarter);
}

TEST(LiveFeed, OffDarkensTheLampKeepsWhatIsShownAndTakesNoLines) {
    CLiveFeed feed;
    feed.SetMonitoring(true);
    feed.Take(ParseMonitorLine("D?     0:30    1 1"));
    feed.SetMonitoring(false);
    EXPECT_FALSE(feed.State().m_bMonitoring);
    EXPECT_FALSE(feed.State().m_bUnitAnswers);
    EXPECT_EQ(feed.State().m_strLarge, "    0:30");
    EXPECT_EQ(feed.State().m_lights, kRed);
    feed.Take(ParseMonitorLine("D?     0:29    1 2"));
    feed.EndTick();
    EXPECT_EQ(feed.State().m_strLarge, "    0:30");
    EXPECT_EQ(feed.State().m_lights, kRed);
    EXPECT_FALSE(feed.State().m_bUnitAnswers);
}

} // namespace
