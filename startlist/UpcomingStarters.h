#pragma once

#include "startlist/StartList.h"

#include <cstddef>
#include <string_view>
#include <vector>

// Who is called to the start now, and who comes after them, from the start list and the number the unit shows.
//
// The number is the unit's small display. While the unit counts down to a start, that display shows the number of
// the start it counts down to: the unit counts its starts on by one the moment one happens, and the start line it
// sends then carries that new number as well (which is why the main window shows the start line's number minus
// one: the start that has just happened). So the small display names the starter to call to the line, from the
// first countdown of the day on and whenever the unit's count is changed; the start line names them only once the
// start before theirs has happened, and its number minus one names the starter who has just left.
struct CUpcomingStarters {
    // The starter whose number the unit shows, or nullptr when the list has no such number (or the display shows
    // no number).
    const CStarter* m_pCurrent = nullptr;
    // Up to kUpcomingAfter starters after them, in the start list's order: a results program writes its start list
    // in the order of the starts, while the numbers need not follow them (numbered by class, with gaps). When the
    // list lacks the number shown (a vacant or withdrawn start, a number the list skips), the list cannot say where
    // the unit is; they are then the starter with the lowest number above it and those after that one, which in a
    // list numbered in start order are the starters after the gap.
    std::vector<const CStarter*> m_next;
};

inline constexpr std::size_t kUpcomingAfter = 3;

// The starters for the unit's text of its number ("  17", "0017"): nothing when the text is no start number.
CUpcomingStarters UpcomingStarters(const CStartList& list, std::string_view unitNumber);
