// Who the live page names beside the unit's number: the starter whose number the unit's small display shows and
// the three after them, in start lists numbered in order, with gaps, and out of order.

#include "startlist/UpcomingStarters.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

CStartList ListOf(const std::vector<int>& numbers) {
    CStartList list;
    int nLine = 2;
    for (const int nNumber : numbers) {
        CStarter starter;
        starter.m_nStartNumber = nNumber;
        starter.m_strName = "Starter " + std::to_string(nNumber);
        starter.m_nLine = nLine++;
        list.Add(starter);
    }
    return list;
}

int NumberOf(const CStarter* pStarter) {
    return pStarter ? pStarter->m_nStartNumber : -1;
}

} // namespace

TEST(UpcomingStarters, TheStarterTheUnitShowsAndTheThreeAfterThemInTheListsOrder) {
    const CStartList consecutive = ListOf({1, 2, 3, 4, 5, 6});
    const CStartList gaps = ListOf({17, 18, 21, 25, 30});
    const CStartList outOfOrder = ListOf({5, 3, 40, 12, 7}); // numbered by class, say: the list's order is the starts'
    const CStartList empty;
    struct CRow {
        const char* pszWhat;
        const CStartList& list;
        std::string shown; // the small display, as the unit sends it
        int nCurrent;      // -1: none
        std::vector<int> next;
    };
    const std::vector<CRow> rows{
        {"the first", consecutive, "   1", 1, {2, 3, 4}},
        {"leading zeros", consecutive, "0004", 4, {5, 6}},
        {"the last: none after them", consecutive, "   6", 6, {}},
        {"past the end of the list", consecutive, "   7", -1, {}},
        {"before the first", consecutive, "   0", -1, {1, 2, 3}},
        {"before a gap", gaps, "  18", 18, {21, 25, 30}},
        {"in a gap: the ones after it", gaps, "  19", -1, {21, 25, 30}},
        {"in the last gap", gaps, "  26", -1, {30}},
        {"above every number", gaps, "  31", -1, {}},
        {"out of order: the list's order", outOfOrder, "   3", 3, {40, 12, 7}},
        {"out of order, near the end", outOfOrder, "  12", 12, {7}},
        {"out of order, missing: from the lowest above", outOfOrder, "   4", -1, {5, 3, 40}},
        {"blank display", consecutive, "    ", -1, {}},
        {"empty display", consecutive, "", -1, {}},
        {"no number", consecutive, "----", -1, {}},
        {"a number and more", consecutive, " 1a ", -1, {}},
        {"beyond the unit's numbers", consecutive, "10000", -1, {}},
        {"an empty list", empty, "   1", -1, {}},
    };
    for (const CRow& row : rows) {
        SCOPED_TRACE(row.pszWhat);
        const CUpcomingStarters upcoming = UpcomingStarters(row.list, row.shown);
        EXPECT_EQ(NumberOf(upcoming.m_pCurrent), row.nCurrent);
        std::vector<int> next;
        for (const CStarter* pStarter : upcoming.m_next)
            next.push_back(NumberOf(pStarter));
        EXPECT_EQ(next, row.next);
    }
}
