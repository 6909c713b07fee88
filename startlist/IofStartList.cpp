#include "startlist/IofStartList.h"

#include "base/TextRules.h"
#include "base/Utf8.h"
#include "base/WallClock.h"
#include "startlist/TextEncoding.h"
#include "startlist/TimeOfDay.h"

#include <boost/property_tree/detail/rapidxml.hpp>

#include <algorithm>
#include <cstring>

namespace rapidxml = boost::property_tree::detail::rapidxml;

namespace {

using CNode = rapidxml::xml_node<char>;

// Names and values stay unterminated, so that the text keeps its line breaks where the parser found them.
constexpr int kParseFlags = rapidxml::parse_validate_closing_tags | rapidxml::parse_no_string_terminators;

// The name of an element without its namespace prefix ("iof:StartList" is "StartList").
std::string_view LocalName(const CNode& node) {
    std::string_view name(node.name(), node.name_size());
    const std::size_t nColon = name.rfind(':');
    return nColon == std::string_view::npos ? name : name.substr(nColon + 1);
}

const CNode* Child(const CNode* pParent, std::string_view name) {
    if (!pParent)
        return nullptr;
    for (const CNode* pChild = pParent->first_node(); pChild; pChild = pChild->next_sibling()) {
        if (pChild->type() == rapidxml::node_element && LocalName(*pChild) == name)
            return pChild;
    }
    return nullptr;
}

// The text of an element: its text and CDATA parts, without the blanks and line breaks around them.
std::string TextOf(const CNode* pNode) {
    if (!pNode)
        return {};
    std::string text;
    for (const CNode* pChild = pNode->first_node(); pChild; pChild = pChild->next_sibling()) {
        if (pChild->type() == rapidxml::node_data || pChild->type() == rapidxml::node_cdata)
            text.append(pChild->value(), pChild->value_size());
    }
    return std::string(TrimWhiteSpace(text));
}

std::string ChildText(const CNode* pParent, std::string_view name) {
    return TextOf(Child(pParent, name));
}

std::string_view AttributeOf(const CNode& node, std::string_view name) {
    for (const auto* pAttribute = node.first_attribute(); pAttribute; pAttribute = pAttribute->next_attribute()) {
        if (std::string_view(pAttribute->name(), pAttribute->name_size()) == name)
            return {pAttribute->value(), pAttribute->value_size()};
    }
    return {};
}

// Where each line of a text begins, to find the line of a place in it.
class CLineIndex {
public:
    explicit CLineIndex(std::string_view text) : m_text(text) {
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (text[i] == '\n')
                m_breaks.push_back(i);
        }
    }
    // The line of an offset, counted from 1.
    int LineAt(std::size_t nOffset) const {
        return 1 + static_cast<int>(std::lower_bound(m_breaks.begin(), m_breaks.end(), nOffset) - m_breaks.begin());
    }
    // The same for a place in a copy of the text that begins at pCopy; 0 for a place outside it.
    int LineAt(const char* pCopy, const char* pPlace) const {
        if (!pPlace || pPlace < pCopy || pPlace > pCopy + m_text.size())
            return 0;
        return LineAt(static_cast<std::size_t>(pPlace - pCopy));
    }

private:
    std::string_view m_text;
    std::vector<std::size_t> m_breaks;
};

// The deepest nesting of elements, counted without parsing: each "<name" opens a level unless it ends in "/>",
// each "</" closes one; comments, CDATA sections, declarations and processing instructions are skipped whole.
// Attribute values may hold ">" (never "<"), so a tag's end is looked for outside quotes.
int NestingDepth(std::string_view text) {
    int nDepth = 0;
    int nDeepest = 0;
    std::size_t i = 0;
    const auto skipPast = [&](std::string_view end) {
        const std::size_t nEnd = text.find(end, i);
        i = nEnd == std::string_view::npos ? text.size() : nEnd + end.size();
    };
    while ((i = text.find('<', i)) != std::string_view::npos) {
        const std::string_view rest = text.substr(i);
        if (rest.starts_with("<!--")) {
            skipPast("-->");
        } else if (rest.starts_with("<![CDATA[")) {
            skipPast("]]>");
        } else if (rest.starts_with("<?")) {
            skipPast("?>");
        } else if (rest.starts_with("<!")) {
            skipPast(">");
        } else if (rest.starts_with("</")) {
            nDepth = std::max(0, nDepth - 1);
            skipPast(">");
        } else {
            char cQuote = 0;
            std::size_t k = i + 1;
            for (; k < text.size(); ++k) {
                const char c = text[k];
                if (cQuote) {
                    if (c == cQuote)
                        cQuote = 0;
                } else if (c == '"' || c == '\'') {
                    cQuote = c;
                } else if (c == '>') {
                    break;
                }
            }
            const bool bEmpty = k < text.size() && text[k - 1] == '/';
            if (!bEmpty)
                nDeepest = std::max(nDeepest, ++nDepth);
            i = k;
        }
    }
    return nDeepest;
}

// The encoding the declaration names, lower case; empty without one.
std::string DeclaredEncoding(std::string_view text) {
    if (!text.starts_with("<?xml"))
        return {};
    const std::string_view declaration = text.substr(0, text.find("?>"));
    const std::size_t nName = declaration.find("encoding");
    if (nName == std::string_view::npos)
        return {};
    const std::size_t nQuote = declaration.find_first_of("\"'", nName);
    if (nQuote == std::string_view::npos)
        return {};
    const std::size_t nEnd = declaration.find(declaration[nQuote], nQuote + 1);
    std::string encoding;
    for (const char c : declaration.substr(nQuote + 1, nEnd == std::string_view::npos ? 0 : nEnd - nQuote - 1))
        encoding += LowerAscii(c);
    return encoding;
}

std::string DateText(int nYear, int nMonth, int nDay) {
    char szDate[32];
    std::snprintf(szDate, sizeof szDate, "%04d-%02d-%02d", nYear, nMonth, nDay);
    return szDate;
}

// The zone of a "hh:mm:ss+hh:mm" time (Event/StartTime/Time), where it has one.
std::optional<int> ZoneOfTime(std::string_view text) {
    text = TrimWhiteSpace(text);
    if (text.ends_with('Z'))
        return std::nullopt; // UTC says nothing of the event's own zone
    if (text.size() >= 6 && (text[text.size() - 6] == '+' || text[text.size() - 6] == '-') &&
        text[text.size() - 3] == ':') {
        const int nHours = Digits(text, text.size() - 5, 2);
        const int nMinutes = Digits(text, text.size() - 2, 2);
        if (nHours < 0 || nMinutes < 0 || nHours > 14 || nMinutes > 59)
            return std::nullopt;
        const int nOffset = nHours * 60 + nMinutes;
        return text[text.size() - 6] == '-' ? -nOffset : nOffset;
    }
    return std::nullopt;
}

} // namespace

int ComputerUtcOffsetMinutes(std::int64_t nUtcSeconds) {
    std::tm local{};
    int nOffset = 0;
    if (!LocalCalendarOf(static_cast<std::time_t>(nUtcSeconds), local, nOffset))
        return 0;
    return nOffset;
}

std::optional<CIsoDateTime> ParseIsoDateTime(std::string_view text) {
    text = TrimWhiteSpace(text);
    CIsoDateTime time;
    time.m_nYear = Digits(text, 0, 4);
    time.m_nMonth = Digits(text, 5, 2);
    time.m_nDay = Digits(text, 8, 2);
    if (time.m_nYear < 0 || time.m_nMonth < 1 || time.m_nMonth > 12 || time.m_nDay < 1 || time.m_nDay > 31 ||
        text.size() < 19 || text[4] != '-' || text[7] != '-' || text[10] != 'T' || text[13] != ':' || text[16] != ':')
        return std::nullopt;
    const int nHours = Digits(text, 11, 2);
    const int nMinutes = Digits(text, 14, 2);
    const int nSeconds = Digits(text, 17, 2);
    if (nHours < 0 || nHours > 23 || nMinutes < 0 || nMinutes > 59 || nSeconds < 0 || nSeconds > 59)
        return std::nullopt;
    time.m_nMs = ((nHours * 60LL + nMinutes) * 60 + nSeconds) * 1000;
    std::size_t i = 19;
    if (i < text.size() && text[i] == '.') {
        ++i;
        const std::size_t nFirst = i;
        int nScale = 100;
        while (i < text.size() && IsDigit(text[i])) {
            time.m_nMs += (text[i] - '0') * nScale;
            nScale /= 10;
            ++i;
        }
        if (i == nFirst)
            return std::nullopt;
    }
    const std::string_view zone = text.substr(i);
    if (zone.empty())
        return time;
    if (zone == "Z") {
        time.m_nZoneMinutes = 0;
        time.m_bUtc = true;
        return time;
    }
    if (zone.size() != 6 || (zone[0] != '+' && zone[0] != '-') || zone[3] != ':')
        return std::nullopt;
    const int nZoneHours = Digits(zone, 1, 2);
    const int nZoneMinutes = Digits(zone, 4, 2);
    if (nZoneHours < 0 || nZoneHours > 14 || nZoneMinutes < 0 || nZoneMinutes > 59)
        return std::nullopt;
    time.m_nZoneMinutes = (zone[0] == '-' ? -1 : 1) * (nZoneHours * 60 + nZoneMinutes);
    return time;
}

CStartListRead ReadIofStartList(std::string_view bytes, const UtcOffsetRule& utcOffset) {
    CStartListRead read;
    if (bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF")) {
        read.m_strError = "the file is UTF-16, which is not read: export it as UTF-8";
        return read;
    }
    std::string text(bytes.starts_with(kUtf8ByteOrderMark) ? bytes.substr(kUtf8ByteOrderMark.size()) : bytes);
    if (TrimWhiteSpace(text).empty()) {
        read.m_strError = "the file is empty";
        return read;
    }
    const std::string strEncoding = DeclaredEncoding(text);
    if (strEncoding == "iso-8859-1" || strEncoding == "latin1" || strEncoding == "windows-1252" ||
        strEncoding == "cp1252") {
        text = Utf8FromWindows1252(text);
    } else if (!strEncoding.empty() && strEncoding != "utf-8" && strEncoding != "utf8") {
        read.m_strError = "the file's encoding " + InQuotes(strEncoding) + " is not read: export it as UTF-8";
        return read;
    } else if (!IsValidUtf8(text)) {
        read.m_strError = "the file is not valid UTF-8, as its XML declaration says or leaves to be understood";
        return read;
    }
    if (text.find('\0') != std::string::npos) {
        read.m_strError = "the file holds a zero byte, which no XML file has";
        return read;
    }
    if (NestingDepth(text) > kXmlDepthLimit) {
        read.m_strError = "the elements nest deeper than " + std::to_string(kXmlDepthLimit) + " levels";
        return read;
    }

    // The parser works on a copy of its own, which it changes as it goes; the lines are counted in the text.
    const CLineIndex lines(text);
    std::vector<char> buffer(text.begin(), text.end());
    buffer.push_back('\0');
    rapidxml::xml_document<char> document;
    try {
        document.parse<kParseFlags>(buffer.data());
    } catch (const rapidxml::parse_error& error) {
        const int nLine = lines.LineAt(buffer.data(), error.where<char>());
        read.m_strError = "not well-formed XML at line " + std::to_string(nLine) + ": " + error.what();
        return read;
    }
    const auto lineOf = [&](const CNode* pNode) {
        return pNode ? lines.LineAt(buffer.data(), pNode->name()) : 0;
    };

    const CNode* pRoot = document.first_node();
    while (pRoot && pRoot->type() != rapidxml::node_element)
        pRoot = pRoot->next_sibling();
    if (!pRoot || LocalName(*pRoot) != "StartList") {
        read.m_strError = pRoot ? "the file is no IOF XML start list: its root element is <" +
                                      std::string(LocalName(*pRoot)) + ">, not <StartList>"
                                : "the file holds no XML element";
        return read;
    }
    const std::string_view version = AttributeOf(*pRoot, "iofVersion");
    if (Child(pRoot, "IOFVersion") || (!version.empty() && version != "3.0")) {
        read.m_strError = "the file is an IOF XML start list of an older version: export it as IOF XML 3.0";
        return read;
    }

    CStartList list;
    const CNode* pEvent = Child(pRoot, "Event");
    list.m_strEventName = ChildText(pEvent, "Name");
    list.m_strEventId = ChildText(pEvent, "Id");
    const CNode* pEventStart = Child(pEvent, "StartTime");
    list.m_strEventDate = ChildText(pEventStart, "Date");
    const std::optional<int> eventZone = ZoneOfTime(ChildText(pEventStart, "Time"));

    int nTeams = 0;
    int nFirstTeamLine = 0;
    for (const CNode* pClassStart = pRoot->first_node(); pClassStart; pClassStart = pClassStart->next_sibling()) {
        if (pClassStart->type() != rapidxml::node_element || LocalName(*pClassStart) != "ClassStart")
            continue;
        const CNode* pClass = Child(pClassStart, "Class");
        const std::string strClass = ChildText(pClass, "Name");
        const std::string strClassId = ChildText(pClass, "Id");
        for (const CNode* pEntry = pClassStart->first_node(); pEntry; pEntry = pEntry->next_sibling()) {
            if (pEntry->type() != rapidxml::node_element)
                continue;
            if (LocalName(*pEntry) == "TeamStart") {
                if (nTeams++ == 0)
                    nFirstTeamLine = lineOf(pEntry);
                continue;
            }
            if (LocalName(*pEntry) != "PersonStart")
                continue;
            const int nLine = lineOf(pEntry);
            const CNode* pStart = Child(pEntry, "Start");
            CStarter starter;
            starter.m_nLine = nLine;
            starter.m_strBib = ChildText(pStart, "BibNumber");
            if (starter.m_strBib.empty()) {
                list.AddProblem(nLine, "no start number (BibNumber)");
                continue;
            }
            const std::optional<int> nNumber = UnitStartNumber(starter.m_strBib);
            if (!nNumber) {
                list.AddProblem(nLine, "start number " + InQuotes(starter.m_strBib) + " is not a number from 0 to " +
                                           std::to_string(kLastUnitStartNumber));
                continue;
            }
            starter.m_nStartNumber = *nNumber;
            const std::string strTime = ChildText(pStart, "StartTime");
            if (!strTime.empty()) {
                const std::optional<CIsoDateTime> time = ParseIsoDateTime(strTime);
                if (!time) {
                    list.AddProblem(nLine, "start time " + InQuotes(strTime) +
                                               " is not a date and time (YYYY-MM-DDThh:mm:ss, a zone optional)");
                    continue;
                }
                int nYear = time->m_nYear;
                int nMonth = time->m_nMonth;
                int nDay = time->m_nDay;
                std::int64_t nMs = time->m_nMs;
                starter.m_nZoneMinutes = time->m_nZoneMinutes;
                if (time->m_bUtc) {
                    // UTC on the event's wall clock: the event's zone, else the computer's at that moment.
                    const std::int64_t nDays = DaysFromCivil(nYear, nMonth, nDay);
                    const std::int64_t nUtcSeconds = nDays * 86400 + nMs / 1000;
                    const int nOffset = eventZone ? *eventZone : utcOffset(nUtcSeconds);
                    std::int64_t nLocalMs = nDays * kDayMilliseconds + nMs + nOffset * 60000LL;
                    const std::int64_t nLocalDays = nLocalMs >= 0
                                                        ? nLocalMs / kDayMilliseconds
                                                        : (nLocalMs - kDayMilliseconds + 1) / kDayMilliseconds;
                    nMs = nLocalMs - nLocalDays * kDayMilliseconds;
                    CivilFromDays(nLocalDays, nYear, nMonth, nDay);
                    starter.m_nZoneMinutes = nOffset;
                }
                starter.m_plannedMs = nMs;
                starter.m_strDate = DateText(nYear, nMonth, nDay);
            }
            const CNode* pPerson = Child(pEntry, "Person");
            const CNode* pName = Child(pPerson, "Name");
            starter.m_strGiven = ChildText(pName, "Given");
            starter.m_strFamily = ChildText(pName, "Family");
            starter.m_strName = FullName(starter.m_strGiven, starter.m_strFamily);
            starter.m_strPersonId = ChildText(pPerson, "Id");
            const CNode* pClub = Child(pEntry, "Organisation");
            starter.m_strClub = ChildText(pClub, "Name");
            starter.m_strClubId = ChildText(pClub, "Id");
            starter.m_strEntryId = ChildText(pEntry, "EntryId");
            starter.m_strClass = strClass;
            starter.m_strClassId = strClassId;
            list.Add(std::move(starter));
        }
    }
    if (nTeams > 0)
        list.AddProblem(nFirstTeamLine, "relay start lists are not read: " + std::to_string(nTeams) +
                                            (nTeams == 1 ? " team" : " teams") + " (TeamStart) left out");
    read.m_list = std::move(list);
    return read;
}
