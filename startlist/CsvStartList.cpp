#include "startlist/CsvStartList.h"

#include "base/TextRules.h"
#include "base/Utf8.h"
#include "startlist/TextEncoding.h"
#include "startlist/TimeOfDay.h"

#include <array>

namespace {

enum class EColumn { StartNumber, Name, First, Last, Club, StartTime, Class, Other };

// The names a header gives each column, compared without letter case and with blanks, dots, hyphens and
// underscores left out ("Start-Nr.", "start_no" and "StartNr" are one name).
struct CColumnName {
    std::string_view name;
    EColumn column;
};
constexpr std::array kColumnNames = {
    CColumnName{"bib", EColumn::StartNumber},
    CColumnName{"bibno", EColumn::StartNumber},
    CColumnName{"bibnumber", EColumn::StartNumber},
    CColumnName{"startno", EColumn::StartNumber},
    CColumnName{"startnumber", EColumn::StartNumber},
    CColumnName{"startnr", EColumn::StartNumber},
    CColumnName{"startnummer", EColumn::StartNumber},
    CColumnName{"stnr", EColumn::StartNumber},
    CColumnName{"number", EColumn::StartNumber},
    CColumnName{"no", EColumn::StartNumber},
    CColumnName{"nr", EColumn::StartNumber},
    CColumnName{"nummer", EColumn::StartNumber},
    CColumnName{"name", EColumn::Name},
    CColumnName{"fullname", EColumn::Name},
    CColumnName{"firstname", EColumn::First},
    CColumnName{"first", EColumn::First},
    CColumnName{"givenname", EColumn::First},
    CColumnName{"given", EColumn::First},
    CColumnName{"forename", EColumn::First},
    CColumnName{"vorname", EColumn::First},
    CColumnName{"lastname", EColumn::Last},
    CColumnName{"last", EColumn::Last},
    CColumnName{"surname", EColumn::Last},
    CColumnName{"familyname", EColumn::Last},
    CColumnName{"family", EColumn::Last},
    CColumnName{"nachname", EColumn::Last},
    CColumnName{"familienname", EColumn::Last},
    CColumnName{"club", EColumn::Club},
    CColumnName{"team", EColumn::Club},
    CColumnName{"organisation", EColumn::Club},
    CColumnName{"organization", EColumn::Club},
    CColumnName{"verein", EColumn::Club},
    CColumnName{"starttime", EColumn::StartTime},
    CColumnName{"start", EColumn::StartTime},
    CColumnName{"time", EColumn::StartTime},
    CColumnName{"startzeit", EColumn::StartTime},
    CColumnName{"zeit", EColumn::StartTime},
    CColumnName{"class", EColumn::Class},
    CColumnName{"category", EColumn::Class},
    CColumnName{"klasse", EColumn::Class},
    CColumnName{"kategorie", EColumn::Class},
};

constexpr std::array kDelimiters = {';', ',', '\t'};
constexpr std::size_t kColumnKinds = static_cast<std::size_t>(EColumn::Other);

EColumn ColumnOf(std::string_view heading) {
    std::string key;
    for (const char c : TrimWhiteSpace(heading)) {
        if (c == ' ' || c == '.' || c == '-' || c == '_' || c == '\t')
            continue;
        key += LowerAscii(c);
    }
    for (const CColumnName& name : kColumnNames) {
        if (name.name == key)
            return name.column;
    }
    return EColumn::Other;
}

// One record of the file: its fields, the line it begins on, and whether a quote was left open at the end.
struct CRecord {
    std::vector<std::string> fields;
    int nLine = 0;
    bool bOpenQuote = false;
};

bool IsEmptyRecord(const CRecord& record) {
    for (const std::string& field : record.fields) {
        if (!TrimWhiteSpace(field).empty())
            return false;
    }
    return true;
}

// Splits the text into records by the delimiter, RFC 4180's way: a field that begins with a quote runs to the quote
// that closes it (a doubled quote is one quote), line breaks and delimiters inside; anything after the closing
// quote up to the next delimiter belongs to the field as well. Lines end at LF, CR LF or a lone CR. With bHeaderOnly
// it stops after the first record that is not empty.
std::vector<CRecord> SplitRecords(std::string_view text, char cDelimiter, bool bHeaderOnly = false) {
    std::vector<CRecord> records;
    std::size_t i = 0;
    int nLine = 1;
    while (i < text.size()) {
        CRecord record;
        record.nLine = nLine;
        std::string field;
        bool bQuoted = false;
        bool bFieldStart = true;
        bool bEnded = false;
        while (i < text.size() && !bEnded) {
            const char c = text[i];
            if (bQuoted) {
                if (c == '"') {
                    if (i + 1 < text.size() && text[i + 1] == '"') {
                        field += '"';
                        i += 2;
                        continue;
                    }
                    bQuoted = false;
                    ++i;
                    continue;
                }
                if (c == '\n' || (c == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n')))
                    ++nLine;
                field += c;
                ++i;
                continue;
            }
            if (c == '"' && bFieldStart) {
                bQuoted = true;
                bFieldStart = false;
                ++i;
                continue;
            }
            if (c == cDelimiter) {
                record.fields.push_back(std::move(field));
                field.clear();
                bFieldStart = true;
                ++i;
                continue;
            }
            if (c == '\r' || c == '\n') {
                i += (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ? 2 : 1;
                ++nLine;
                bEnded = true;
                continue;
            }
            if (bFieldStart && (c == ' ' || c == '\t')) {
                // Blanks before a quote still let the quote open the field.
                std::size_t k = i;
                while (k < text.size() && (text[k] == ' ' || text[k] == '\t') && text[k] != cDelimiter)
                    ++k;
                if (k < text.size() && text[k] == '"') {
                    i = k;
                    continue;
                }
            }
            bFieldStart = false;
            field += c;
            ++i;
        }
        record.fields.push_back(std::move(field));
        record.bOpenQuote = bQuoted;
        records.push_back(std::move(record));
        if (bHeaderOnly && !IsEmptyRecord(records.back()))
            break;
    }
    return records;
}

// The first line's fields split by one delimiter (quotes as above), and how many of them name a column.
int KnownColumns(const std::vector<std::string>& headings) {
    int nKnown = 0;
    for (const std::string& heading : headings)
        nKnown += ColumnOf(heading) != EColumn::Other ? 1 : 0;
    return nKnown;
}

// The text of a file as the reader reads it: UTF-8 without its byte-order mark, or Windows-1252 made UTF-8; nothing
// for UTF-16 (which it does not read).
std::optional<std::string> StartListText(std::string_view bytes) {
    if (bytes.starts_with(kUtf8ByteOrderMark))
        return std::string(bytes.substr(kUtf8ByteOrderMark.size()));
    if (bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF"))
        return std::nullopt;
    if (IsValidUtf8(bytes))
        return std::string(bytes);
    return Utf8FromWindows1252(bytes);
}

} // namespace

CStartListRead ReadCsvStartList(std::string_view bytes) {
    CStartListRead read;
    const std::optional<std::string> text = StartListText(bytes);
    if (!text) {
        read.m_strError = "the file is UTF-16, which is not read: save it as UTF-8 or Windows-1252 (ANSI)";
        return read;
    }

    // The header: the first record that is not empty, split by the delimiter that makes the most known names; then
    // the whole file split by that one.
    std::vector<CRecord> records;
    std::size_t nHeader = 0;
    int nBestKnown = 0;
    char cBest = 0;
    for (const char cDelimiter : kDelimiters) {
        const std::vector<CRecord> header = SplitRecords(*text, cDelimiter, true);
        if (header.empty() || IsEmptyRecord(header.back()))
            continue;
        const int nKnown = KnownColumns(header.back().fields);
        if (nKnown > nBestKnown) {
            nBestKnown = nKnown;
            cBest = cDelimiter;
            nHeader = header.size() - 1;
        }
    }
    if (cBest != 0)
        records = SplitRecords(*text, cBest);
    if (records.empty() && TrimWhiteSpace(*text).empty()) {
        read.m_strError = "the file is empty";
        return read;
    }

    std::array<int, kColumnKinds> columns;
    columns.fill(-1);
    if (!records.empty()) {
        const std::vector<std::string>& headings = records[nHeader].fields;
        for (std::size_t i = 0; i < headings.size(); ++i) {
            const EColumn column = ColumnOf(headings[i]);
            if (column != EColumn::Other && columns[static_cast<std::size_t>(column)] < 0)
                columns[static_cast<std::size_t>(column)] = static_cast<int>(i);
        }
    }
    if (columns[static_cast<std::size_t>(EColumn::StartNumber)] < 0) {
        read.m_strError = "the first line names no start number column (such as \"Bib\", \"Start number\" or "
                          "\"Startnummer\", with \";\", \",\" or tabs between the columns)";
        return read;
    }

    const std::size_t nHeadings = records[nHeader].fields.size();
    const auto field = [&](const CRecord& record, EColumn column) -> std::string {
        const int nIndex = columns[static_cast<std::size_t>(column)];
        if (nIndex < 0 || static_cast<std::size_t>(nIndex) >= record.fields.size())
            return {};
        return std::string(TrimWhiteSpace(record.fields[static_cast<std::size_t>(nIndex)]));
    };

    CStartList list;
    for (std::size_t nRecord = nHeader + 1; nRecord < records.size(); ++nRecord) {
        const CRecord& record = records[nRecord];
        if (IsEmptyRecord(record))
            continue;
        if (record.bOpenQuote) {
            list.AddProblem(record.nLine, "a quote opened on this line is never closed");
            continue;
        }
        if (record.fields.size() > nHeadings) {
            list.AddProblem(record.nLine, std::to_string(record.fields.size()) + " fields where the first line names " +
                                              std::to_string(nHeadings) + " (a delimiter in an unquoted text?)");
            continue;
        }
        CStarter starter;
        starter.m_nLine = record.nLine;
        starter.m_strBib = field(record, EColumn::StartNumber);
        if (starter.m_strBib.empty()) {
            list.AddProblem(record.nLine, "no start number");
            continue;
        }
        const std::optional<int> nNumber = UnitStartNumber(starter.m_strBib);
        if (!nNumber) {
            list.AddProblem(record.nLine, "start number " + InQuotes(starter.m_strBib) + " is not a number from 0 to " +
                                              std::to_string(kLastUnitStartNumber));
            continue;
        }
        starter.m_nStartNumber = *nNumber;
        const std::string strTime = field(record, EColumn::StartTime);
        if (!strTime.empty()) {
            starter.m_plannedMs = ParseTimeOfDay(strTime);
            if (!starter.m_plannedMs) {
                list.AddProblem(record.nLine, "start time " + InQuotes(strTime) + " is not a time of day (HH:MM:SS)");
                continue;
            }
        }
        starter.m_strGiven = field(record, EColumn::First);
        starter.m_strFamily = field(record, EColumn::Last);
        starter.m_strName = field(record, EColumn::Name);
        if (starter.m_strName.empty())
            starter.m_strName = FullName(starter.m_strGiven, starter.m_strFamily);
        starter.m_strClub = field(record, EColumn::Club);
        starter.m_strClass = field(record, EColumn::Class);
        list.Add(std::move(starter));
    }
    read.m_list = std::move(list);
    return read;
}
