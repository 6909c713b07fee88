#pragma once

#include "startlist/IofStartList.h"
#include "startlist/StartList.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// The unit's starts, as its memory holds them, written for results programs to import, with the names, clubs,
// classes and planned times of a start list where it has the start number.

// One start of the unit's memory: its cells as the unit sent them (8-bit bytes, blanks included).
struct CActualStart {
    std::string m_strStartNumber; // "0017"
    std::string m_strStartTime;   // "  9:05:01.25"
    std::string m_strLeadTime;    // "0:01:30"
};

// One start with what the start list says of its number.
struct CStartRecord {
    CActualStart m_actual;
    const CStarter* m_pStarter = nullptr;       // nullptr: the start list lacks the number (or there is none)
    std::optional<std::int64_t> m_actualMs;     // the unit's start time, when it reads as a time of day
    std::optional<std::int64_t> m_differenceMs; // actual - planned, when both are known
};
std::vector<CStartRecord> MatchStarts(const std::vector<CActualStart>& starts, const CStartList* pList);

// What the IOF file needs beyond the starts: the day they were on when the start list gives none, the computer's
// offset from UTC on a day at a time (minutes east), and the file's own stamp.
struct CIofExportContext {
    std::string m_strToday;                                                    // "2024-05-01"
    std::function<int(const std::string& strDate, std::int64_t nMs)> m_zoneAt; // the computer's zone then
    std::string m_strCreateTime;                                               // "2024-05-01T14:03:27+02:00"
    std::string m_strCreator;                                                  // "Kalvora 1.4"
};
// The computer's own offset from UTC at a wall-clock time of a day ("2024-05-01", milliseconds since midnight).
int ComputerZoneAt(const std::string& strDate, std::int64_t nMs);

// An IOF XML 3.0 StartList of the actual starts, which validates against the standard's schema: the event of the
// start list (or one named "Start times"); for each class, in the order its first start came, a ClassStart; for
// each start a PersonStart with the start list's identifiers, the person's name (Family and Given; a name the list
// gives whole goes to Family, split at a comma as "Family, Given"), the club, and a Start with the BibNumber (the
// list's own text of it, else the unit's number) and the actual StartTime: the date of the list's planned start,
// else of its event, else today, with the computer's zone at that time. A start the list lacks, or every start
// without a list, still has its PersonStart, in a class without a name at the end. UTF-8, LF.
std::string BuildIofStartList(const std::vector<CStartRecord>& records, const CStartList* pList,
                              const CIofExportContext& context);

// The CSV a spreadsheet or results program opens: UTF-8 with its byte-order mark (so that a spreadsheet reads the
// letters right), ";" between the fields (a spreadsheet in a language whose decimal mark is a comma splits at it),
// CR LF, the header "Start No;Name;Club;Class;Planned;Actual;Difference" and a row per start: the number without
// its leading zeros, the start list's name, club, class and planned time (empty where it has none), the unit's
// time, and actual - planned ("+0:02.25"). Fields in quotes only where they hold ";", a quote or a line break.
std::string BuildStartsCsv(const std::vector<CStartRecord>& records);

// The memory as JSON, the keys of `kalvora-cli memory read --format json` (start_no, start_time, lead_time) followed
// by name, club, class, planned and difference; one object a line in an array.
std::string BuildStartsJson(const std::vector<CStartRecord>& records);
