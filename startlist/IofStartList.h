#pragma once

#include "startlist/StartList.h"

#include <cstdint>
#include <functional>
#include <string_view>

// The computer's offset from UTC in minutes, east positive, at a moment given in seconds since 1970 (UTC): how a
// start time written in UTC ("...Z") becomes a wall clock when the file names no zone of its own for the event.
using UtcOffsetRule = std::function<int(std::int64_t nUtcSeconds)>;
// The computer's own rule (base/WallClock.h).
int ComputerUtcOffsetMinutes(std::int64_t nUtcSeconds);

// An IOF XML 3.0 StartList, the interchange file of orienteering's (and many ski and running) results programs:
// each ClassStart's class name, and each PersonStart's Person/Name (Given, Family), Organisation/Name and, of its
// first Start, BibNumber and StartTime; the identifiers of entry, person, club and class come along for the export.
// Start times are ISO 8601 ("2011-07-30T10:00:00+01:00", with a fraction, "Z" or no zone); each is kept as the wall
// clock it names. A time in UTC ("Z") is put on the event's wall clock by the zone of the event's own start
// (Event/StartTime) where it has one, else by the computer's zone (utcOffset).
// A PersonStart without a start number, with one that is not a number from 0 to 9999, with a start time that is no
// date and time, or with a start number taken already is reported with its line and left out. Relays (TeamStart)
// are not read: one problem says so, with the number of teams left out.
// The XML itself is parsed by Boost's RapidXml (the parser of Boost.PropertyTree's XML reader), which keeps where
// each element stands in the text, so that every problem names its line; a file that is not well-formed is a clear
// error with the line of the fault. UTF-8 (with or without its byte-order mark), or ISO 8859-1 or Windows-1252 when
// the declaration says so; no other encoding.
CStartListRead ReadIofStartList(std::string_view bytes, const UtcOffsetRule& utcOffset = ComputerUtcOffsetMinutes);

// How deep the elements of a file may nest (an IOF start list needs seven levels): the parser descends once per
// level, so a deeper file is refused before it is parsed.
inline constexpr int kXmlDepthLimit = 64;

// An ISO 8601 date and time of the kind xsd:dateTime has: "YYYY-MM-DDThh:mm:ss", then an optional fraction and an
// optional zone ("Z", "+hh:mm", "-hh:mm").
struct CIsoDateTime {
    int m_nYear = 0;
    int m_nMonth = 0;
    int m_nDay = 0;
    std::int64_t m_nMs = 0; // the time of day it names
    std::optional<int> m_nZoneMinutes;
    bool m_bUtc = false; // "Z"

    bool operator==(const CIsoDateTime&) const = default;
};
std::optional<CIsoDateTime> ParseIsoDateTime(std::string_view text);
