#include "startlist/StartExport.h"

#include "base/JsonText.h"
#include "base/TextRules.h"
#include "base/Utf8.h"
#include "startlist/TextEncoding.h"
#include "startlist/TimeOfDay.h"

#include <cstdio>
#include <cstdlib>

namespace {

std::string Trimmed(std::string_view bytes) {
    return std::string(TrimWhiteSpace(bytes));
}

// The start number a results program is given: the start list's own text of it, else the unit's number without
// its leading zeros (the unit's cell as it came when it is no number).
std::string StartNumberText(const CStartRecord& record) {
    if (record.m_pStarter)
        return record.m_pStarter->m_strBib;
    if (const std::optional<int> nNumber = UnitStartNumber(record.m_actual.m_strStartNumber))
        return std::to_string(*nNumber);
    return Utf8Text(Trimmed(record.m_actual.m_strStartNumber));
}

std::string ZoneText(int nMinutes) {
    const int nAbs = std::abs(nMinutes);
    char szZone[16];
    std::snprintf(szZone, sizeof szZone, "%c%02d:%02d", nMinutes < 0 ? '-' : '+', nAbs / 60 % 100, nAbs % 60);
    return szZone;
}

bool IsDate(std::string_view text) {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-')
        return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (i != 4 && i != 7 && (text[i] < '0' || text[i] > '9'))
            return false;
    }
    return true;
}

// Family and given name for the schema, which needs both.
void NameParts(const CStarter& starter, std::string& strFamily, std::string& strGiven) {
    strFamily = starter.m_strFamily;
    strGiven = starter.m_strGiven;
    if (!strFamily.empty() || !strGiven.empty())
        return;
    const std::string& strName = starter.m_strName;
    const std::size_t nComma = strName.find(',');
    if (nComma != std::string::npos && strName.find(',', nComma + 1) == std::string::npos) {
        strFamily = Trimmed(std::string_view(strName).substr(0, nComma));
        strGiven = Trimmed(std::string_view(strName).substr(nComma + 1));
    } else {
        strFamily = strName;
    }
}

std::string Element(const std::string& strIndent, std::string_view name, std::string_view utf8) {
    return strIndent + "<" + std::string(name) + ">" + XmlEscaped(utf8) + "</" + std::string(name) + ">\n";
}

std::string PlannedText(const CStartRecord& record) {
    return record.m_pStarter && record.m_pStarter->m_plannedMs ? TimeOfDayText(*record.m_pStarter->m_plannedMs)
                                                               : std::string();
}

std::string DifferenceOf(const CStartRecord& record) {
    return record.m_differenceMs ? DifferenceText(*record.m_differenceMs) : std::string();
}

} // namespace

std::vector<CStartRecord> MatchStarts(const std::vector<CActualStart>& starts, const CStartList* pList) {
    std::vector<CStartRecord> records;
    records.reserve(starts.size());
    for (const CActualStart& start : starts) {
        CStartRecord record;
        record.m_actual = start;
        record.m_pStarter = pList ? pList->Find(start.m_strStartNumber) : nullptr;
        record.m_actualMs = ParseTimeOfDay(start.m_strStartTime);
        if (record.m_actualMs && record.m_pStarter && record.m_pStarter->m_plannedMs)
            record.m_differenceMs = TimeOfDayDifference(*record.m_actualMs, *record.m_pStarter->m_plannedMs);
        records.push_back(std::move(record));
    }
    return records;
}

int ComputerZoneAt(const std::string& strDate, std::int64_t nMs) {
    if (!IsDate(strDate))
        return 0;
    const std::int64_t nDays =
        DaysFromCivil(std::atoi(strDate.substr(0, 4).c_str()), std::atoi(strDate.substr(5, 2).c_str()),
                      std::atoi(strDate.substr(8, 2).c_str()));
    const std::int64_t nLocalSeconds = nDays * 86400 + nMs / 1000;
    // The wall clock read as UTC is a guess of the moment within a day; the zone there puts it right, and the zone
    // of the moment put right is the one in force (the two differ only around a change of summer time).
    const int nGuess = ComputerUtcOffsetMinutes(nLocalSeconds);
    return ComputerUtcOffsetMinutes(nLocalSeconds - nGuess * 60LL);
}

std::string BuildIofStartList(const std::vector<CStartRecord>& records, const CStartList* pList,
                              const CIofExportContext& context) {
    std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    text += "<StartList xmlns=\"http://www.orienteering.org/datastandard/3.0\" iofVersion=\"3.0\"";
    if (!context.m_strCreateTime.empty())
        text += " createTime=\"" + XmlEscaped(context.m_strCreateTime) + "\"";
    if (!context.m_strCreator.empty())
        text += " creator=\"" + XmlEscaped(context.m_strCreator) + "\"";
    text += ">\n  <Event>\n";
    if (pList && !pList->m_strEventId.empty())
        text += Element("    ", "Id", pList->m_strEventId);
    text += Element("    ", "Name", pList && !pList->m_strEventName.empty() ? pList->m_strEventName : "Start times");
    text += "  </Event>\n";

    // The classes in the order their first start came; the starts the list lacks last, in a class of no name.
    std::vector<std::pair<const CStarter*, std::vector<const CStartRecord*>>> classes;
    std::vector<const CStartRecord*> unknown;
    for (const CStartRecord& record : records) {
        if (!record.m_pStarter) {
            unknown.push_back(&record);
            continue;
        }
        auto it = classes.begin();
        for (; it != classes.end(); ++it) {
            if (it->first->m_strClass == record.m_pStarter->m_strClass &&
                it->first->m_strClassId == record.m_pStarter->m_strClassId)
                break;
        }
        if (it == classes.end())
            classes.push_back({record.m_pStarter, {&record}});
        else
            it->second.push_back(&record);
    }
    if (!unknown.empty())
        classes.push_back({nullptr, unknown});

    for (const auto& [pClassOf, starts] : classes) {
        text += "  <ClassStart>\n    <Class>\n";
        if (pClassOf && !pClassOf->m_strClassId.empty())
            text += Element("      ", "Id", pClassOf->m_strClassId);
        text += Element("      ", "Name", pClassOf ? pClassOf->m_strClass : std::string());
        text += "    </Class>\n";
        for (const CStartRecord* pRecord : starts) {
            const CStarter* pStarter = pRecord->m_pStarter;
            text += "    <PersonStart>\n";
            if (pStarter && !pStarter->m_strEntryId.empty())
                text += Element("      ", "EntryId", pStarter->m_strEntryId);
            if (pStarter && (!pStarter->m_strName.empty() || !pStarter->m_strPersonId.empty())) {
                std::string strFamily;
                std::string strGiven;
                NameParts(*pStarter, strFamily, strGiven);
                text += "      <Person>\n";
                if (!pStarter->m_strPersonId.empty())
                    text += Element("        ", "Id", pStarter->m_strPersonId);
                text += "        <Name>\n";
                text += Element("          ", "Family", strFamily);
                text += Element("          ", "Given", strGiven);
                text += "        </Name>\n      </Person>\n";
            }
            if (pStarter && !pStarter->m_strClub.empty()) {
                text += "      <Organisation>\n";
                if (!pStarter->m_strClubId.empty())
                    text += Element("        ", "Id", pStarter->m_strClubId);
                text += Element("        ", "Name", pStarter->m_strClub);
                text += "      </Organisation>\n";
            }
            text += "      <Start>\n";
            text += Element("        ", "BibNumber", StartNumberText(*pRecord));
            if (pRecord->m_actualMs) {
                std::string strDate = context.m_strToday;
                if (pStarter && IsDate(pStarter->m_strDate))
                    strDate = pStarter->m_strDate;
                else if (pList && IsDate(pList->m_strEventDate))
                    strDate = pList->m_strEventDate;
                const int nZone = context.m_zoneAt ? context.m_zoneAt(strDate, *pRecord->m_actualMs) : 0;
                text += Element("        ", "StartTime",
                                strDate + "T" + TimeOfDayText(*pRecord->m_actualMs) + ZoneText(nZone));
            }
            text += "      </Start>\n    </PersonStart>\n";
        }
        text += "  </ClassStart>\n";
    }
    return text + "</StartList>\n";
}

std::string BuildStartsCsv(const std::vector<CStartRecord>& records) {
    std::string text(kUtf8ByteOrderMark);
    text += "Start No;Name;Club;Class;Planned;Actual;Difference\r\n";
    for (const CStartRecord& record : records) {
        const CStarter* pStarter = record.m_pStarter;
        const std::string fields[] = {
            StartNumberText(record),
            pStarter ? pStarter->m_strName : std::string(),
            pStarter ? pStarter->m_strClub : std::string(),
            pStarter ? pStarter->m_strClass : std::string(),
            PlannedText(record),
            record.m_actualMs ? TimeOfDayText(*record.m_actualMs) : Utf8Text(Trimmed(record.m_actual.m_strStartTime)),
            DifferenceOf(record),
        };
        bool bFirst = true;
        for (const std::string& strField : fields) {
            if (!bFirst)
                text += ';';
            bFirst = false;
            text += CsvField(strField, ';');
        }
        text += "\r\n";
    }
    return text;
}

std::string BuildStartsJson(const std::vector<CStartRecord>& records) {
    if (records.empty())
        return "[]\n";
    std::string text = "[\n";
    for (std::size_t i = 0; i < records.size(); ++i) {
        const CStartRecord& record = records[i];
        const CStarter* pStarter = record.m_pStarter;
        const std::pair<const char*, std::string> fields[] = {
            {"start_no", Utf8Text(Trimmed(record.m_actual.m_strStartNumber))},
            {"start_time", Utf8Text(Trimmed(record.m_actual.m_strStartTime))},
            {"lead_time", Utf8Text(Trimmed(record.m_actual.m_strLeadTime))},
            {"name", pStarter ? pStarter->m_strName : std::string()},
            {"club", pStarter ? pStarter->m_strClub : std::string()},
            {"class", pStarter ? pStarter->m_strClass : std::string()},
            {"planned", PlannedText(record)},
            {"difference", DifferenceOf(record)},
        };
        text += "  {";
        bool bFirst = true;
        for (const auto& [pszName, strValue] : fields) {
            if (!bFirst)
                text += ',';
            bFirst = false;
            text += JsonStringOfUtf8(pszName, EJsonOutput::Utf8) + ':' + JsonStringOfUtf8(strValue, EJsonOutput::Utf8);
        }
        text += i + 1 < records.size() ? "},\n" : "}\n";
    }
    return text + "]\n";
}
