// The live page's state as monitoring builds it from the unit's stream: the main window's rules for the displays,
// the start fields, the status lamp and the start lights, tick by tick.

#include "console/LiveFeed.h"

#include "startlist/StartListFile.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

using namespace std::chrono_literals;

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

// A start list as a results program writes it: numbered with a gap (20 is missing), one starter without a club, one
// without a planned time.
std::shared_ptr<const CStartList> StartList() {
    CStartListRead read = ReadStartList("Startnummer;Vorname;Nachname;Verein;Klasse;Startzeit\n"
                                        "17;Anna;Berg;OK Skogen;D21;10:15:00\n"
                                        "18;J\xC3\xB6rg;M\xC3\xBCller;SC Hochfirst;H21;10:16:00\n"
                                        "19;Eva;Lind;;D21;10:17:00.5\n"
                                        "21;Per;Holm;IFK Lund;H35;\n"
                                        "22;Ida;Sund;OK Skogen;D35;10:19:00\n");
    return read.m_list ? std::make_shared<const CStartList>(std::move(*read.m_list)) : nullptr;
}

const CLiveStarter kAnna{"17", "Anna Berg", "OK Skogen", "D21", "10:15:00"};
const CLiveStarter kJoerg{"18", "J\xC3\xB6rg M\xC3\xBCller", "SC Hochfirst", "H21", "10:16:00"};
const CLiveStarter kEva{"19", "Eva Lind", "", "D21", "10:17:00.5"};
const CLiveStarter kPer{"21", "Per Holm", "IFK Lund", "H35", ""};
const CLiveStarter kIda{"22", "Ida Sund", "OK Skogen", "D35", "10:19:00"};

// What the page names while the unit's small display shows a number: the starter with it and the three after them.
TEST(LiveFeed, TheStarterTheSmallDisplayShowsAndTheThreeAfterThem) {
    struct CRow {
        const char* pszWhat;
        std::vector<std::string> lines;
        std::optional<CLiveStarter> current;
        std::vector<CLiveStarter> next;
    };
    const std::vector<CRow> rows{
        {"counting down to 17", {"D?     0:30   17 0"}, kAnna, {kJoerg, kEva, kPer}},
        {"the start of 17: the start line's number is the next one's",
         {"0018 ST  10:15:00.02", "D?     0:00   18 3"},
         kJoerg,
         {kEva, kPer, kIda}},
        {"a start line alone changes nothing", {"0019 ST  10:16:00.01"}, kJoerg, {kEva, kPer, kIda}},
        {"19, whose club is not known", {"D?     0:59   19 0"}, kEva, {kPer, kIda}},
        {"20 is not on the list: no name, the ones after it", {"D?     0:30   20 0"}, std::nullopt, {kPer, kIda}},
        {"the last of the list", {"D?     0:30   22 0"}, kIda, {}},
        {"past the list", {"D?     0:30   23 0"}, std::nullopt, {}},
        {"a display without a number", {"D? 10:20:00      0"}, std::nullopt, {}},
        {"leading zeros", {"D?     1:00 0017 1"}, kAnna, {kJoerg, kEva, kPer}},
        {"the count set back to the start", {"D?     1:00    1 0"}, std::nullopt, {kAnna, kJoerg, kEva}},
    };
    CLiveFeed feed;
    const auto list = StartList();
    ASSERT_TRUE(list);
    feed.SetStartList(list);
    feed.SetMonitoring(true);
    for (const CRow& row : rows) {
        SCOPED_TRACE(row.pszWhat);
        for (const std::string& strLine : row.lines)
            feed.Take(ParseMonitorLine(strLine));
        feed.EndTick();
        EXPECT_EQ(feed.State().m_currentStarter, row.current);
        EXPECT_EQ(feed.State().m_nextStarters, row.next);
    }
}

TEST(LiveFeed, AStartListTakesEffectAtOnceAndNoneTakesTheNamesAway) {
    CLiveFeed feed;
    feed.SetMonitoring(true);
    feed.Take(ParseMonitorLine("D?     0:30   21 0"));
    EXPECT_FALSE(feed.State().m_currentStarter);
    EXPECT_TRUE(feed.State().m_nextStarters.empty());

    feed.SetStartList(StartList());
    EXPECT_EQ(feed.State().m_currentStarter, kPer);
    EXPECT_EQ(feed.State().m_nextStarters, std::vector<CLiveStarter>{kIda});
    // Off keeps what is shown, the names too, as the displays keep their digits.
    feed.SetMonitoring(false);
    EXPECT_EQ(feed.State().m_currentStarter, kPer);

    feed.SetStartList(nullptr);
    EXPECT_FALSE(feed.State().m_currentStarter);
    EXPECT_TRUE(feed.State().m_nextStarters.empty());
    EXPECT_EQ(feed.State().m_strSmall, "  21");
}

TEST(LiveFeed, TheClockOffsetInSecondsToTheMillisecond) {
    const struct {
        std::optional<CClockOffset::Duration> offset;
        std::optional<double> seconds;
    } rows[] = {
        {-620ms, -0.62},
        {std::chrono::microseconds{80'400}, 0.08},
        {std::chrono::microseconds{1'299'600}, 1.3},
        {0ms, 0.0},
        {std::nullopt, std::nullopt}, // after "Set PC Time", until the next start
    };
    CLiveFeed feed;
    EXPECT_FALSE(feed.State().m_clockOffsetSeconds);
    for (const auto& row : rows) {
        feed.SetClockOffset(row.offset);
        EXPECT_EQ(feed.State().m_clockOffsetSeconds, row.seconds);
    }
}

} // namespace
