#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

// What the live page shows, handed from the program that monitors the unit to the page's server as one snapshot.

enum class ELiveLamp { Off, Red, Green, Yellow };

// One starter of the start list, as the page shows them (texts in UTF-8).
struct CLiveStarter {
    std::string m_strStartNumber; // "17"
    std::string m_strName;        // "Anna Berg"
    std::string m_strClub;
    std::string m_strClass;
    std::string m_strPlannedTime; // "10:15:00", the event's local wall clock; empty when unknown
    bool operator==(const CLiveStarter&) const = default;
};

// Everything the page shows, as one snapshot. The owner (the main window, kalvora-cli monitor) fills it from the
// lines it parses and publishes it; the server pushes it to viewers only when it differs from the last one.
struct CLiveState {
    bool m_bMonitoring = false;  // the program is monitoring the unit ("not monitoring" on the page otherwise)
    bool m_bUnitAnswers = false; // the status lamp: a line of the stream came in the last tick
    std::string m_strLarge;      // the displays as the unit sends them: 8-bit data, one byte one character
    std::string m_strSmall;
    std::array<ELiveLamp, 3> m_lights{ELiveLamp::Off, ELiveLamp::Off, ELiveLamp::Off}; // top to bottom
    std::string m_strStartNumber; // the last start line's fields, as the main window shows them
    std::string m_strStartTime;
    std::string m_strLeadTime;
    std::optional<double> m_clockOffsetSeconds;   // the unit's clock minus the computer's (filled by startlist)
    std::optional<CLiveStarter> m_currentStarter; // the starter whose number the unit shows next (startlist)
    std::vector<CLiveStarter> m_nextStarters;     // up to three after them, with their planned times (startlist)
    bool operator==(const CLiveState&) const = default;
};

// The snapshot as one line of JSON, the body of /state.json and of each event of the stream:
//   {"monitoring":true,"unitAnswers":true,"large":"    0:30","small":"   1","lights":["off","yellow","off"],
//    "startNumber":"12","startTime":"10:15:30.25","leadTime":"0:01:30","clockOffsetSeconds":null,
//    "currentStarter":null,"nextStarters":[]}
// The unit's fields are 8-bit data (each byte the character of that code); the starters' texts are UTF-8 (a byte
// that is not, becomes U+FFFD). An absent part is null or an empty list; "<", ">" and "&" are escaped, so that the
// text may stand inside a page.
std::string LiveStateJson(const CLiveState& state);
