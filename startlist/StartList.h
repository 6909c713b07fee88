#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A start list as results programs hand it out before a race: who starts with which number, for which club and in
// which class, and when. Read from an IOF XML 3.0 StartList (IofStartList.h) or a CSV file (CsvStartList.h) into
// this one model; every text in UTF-8.

// The numbers the unit counts starts with (four digits on its line).
inline constexpr int kLastUnitStartNumber = 9999;

struct CStarter {
    int m_nStartNumber = 0; // 0 to kLastUnitStartNumber: the unit's number of this start
    std::string m_strBib;   // the number as the file wrote it ("017"), written back into the exports
    std::string m_strGiven; // the parts of the name where the file gives them apart
    std::string m_strFamily;
    std::string m_strName; // as a person reads it: "Anna Berg"
    std::string m_strClub;
    std::string m_strClass;
    // The planned start: the event's own wall clock (as the file wrote it, whatever its zone), and the date and
    // the zone's offset from UTC where the file gave them.
    std::optional<std::int64_t> m_plannedMs;
    std::string m_strDate; // "2011-07-30"
    std::optional<int> m_nZoneMinutes;
    // What identifies the entry in the results program that wrote the list (IOF XML): written back into the
    // export, so that it finds its entries by them.
    std::string m_strEntryId;
    std::string m_strPersonId;
    std::string m_strClubId;
    std::string m_strClassId;
    int m_nLine = 0; // where the entry begins in the file

    bool operator==(const CStarter&) const = default;
};

// A row of the file that was left out, and why: "line 7: start number 17 is already on line 5".
struct CStartListProblem {
    int m_nLine = 0;
    std::string m_strReason;

    bool operator==(const CStartListProblem&) const = default;
};

class CStartList {
public:
    // Takes a starter unless its number is taken already: then the first one stays and the problem is noted.
    void Add(CStarter starter);
    void AddProblem(int nLine, std::string strReason);

    // The starter with the unit's start number, or nullptr.
    const CStarter* Find(int nStartNumber) const;
    // The same for the unit's text of it ("0017", " 17"): digits only, blanks around them allowed.
    const CStarter* Find(std::string_view unitNumber) const;
    // The starter with the lowest number above nStartNumber, or nullptr.
    const CStarter* FindFirstAbove(int nStartNumber) const;

    const std::vector<CStarter>& Starters() const { return m_starters; }
    const std::vector<CStartListProblem>& Problems() const { return m_problems; }

    // The event, where the file names it.
    std::string m_strEventName;
    std::string m_strEventId;
    std::string m_strEventDate; // "2011-07-30"

private:
    std::vector<CStarter> m_starters;
    std::map<int, std::size_t> m_byNumber;
    std::vector<CStartListProblem> m_problems;
};

// What a reader made of a file: the list with the rows it left out, or, for a file it could not read at all (empty,
// not a start list, not well-formed), nothing and the reason.
struct CStartListRead {
    std::optional<CStartList> m_list;
    std::string m_strError;
};

// The unit's start number in a text: digits only (blanks around them allowed), 0 to kLastUnitStartNumber.
std::optional<int> UnitStartNumber(std::string_view text);

// "line 7: <reason>", one a line, for a report.
std::string ProblemLines(const std::vector<CStartListProblem>& problems);

// A starter's name of given and family name: "Anna Berg", or the one of them there is.
std::string FullName(std::string_view given, std::string_view family);
// A value of the file as a problem quotes it: in double quotes, as it is.
std::string InQuotes(std::string_view text);
