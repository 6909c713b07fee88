#include "cli/CliFormats.h"

#include "base/JsonText.h"
#include "base/TextRules.h"
#include "base/Utf8.h"
#include "startlist/StartExport.h"
#include "startlist/TimeOfDay.h"

#include <chrono>
#include <cstdio>

namespace {

std::string Trimmed(std::string_view text) {
    return std::string(TrimWhiteSpace(text));
}

// JSON object members and CSV rows, in the order given.
using CFields = std::vector<std::pair<std::string, std::string>>;

std::string JsonObject(const CFields& fields) {
    std::string text = "{";
    for (const auto& [strName, strValue] : fields) {
        if (text.size() > 1)
            text += ',';
        text += JsonStringOfBytes(strName, EJsonOutput::Utf8) + ':' + JsonStringOfBytes(strValue, EJsonOutput::Utf8);
    }
    return text + '}';
}

std::string CsvRow(const std::vector<std::string>& fields) {
    std::string text;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0)
            text += ',';
        text += CsvField(fields[i]);
    }
    return text + "\r\n";
}

CFields CurrentValueFields(const CCurrentValues& values) {
    return {{"display", Trimmed(values.m_strLarge)},      {"small", Trimmed(values.m_strSmall)},
            {"light", LightName(values.m_lights)},        {"program", Trimmed(values.m_strProgram)},
            {"time", Trimmed(values.m_strCountdownTime)}, {"brightness", Trimmed(values.m_strBrightness)}};
}

CFields MemoryFields(const CMemoryCells& cells) {
    return {{"start_no", Trimmed(cells[0])}, {"start_time", Trimmed(cells[1])}, {"lead_time", Trimmed(cells[2])}};
}

// The kinds a monitor line is recognised as, each with its fields, every value in UTF-8; a field whose value is JSON
// of its own (a number, null) is marked by kJsonValue before its name.
constexpr char kJsonValue = '#';

std::vector<std::pair<std::string, CFields>> MonitorRecords(const CMonitorLine& line, const CMonitorStart& start) {
    std::vector<std::pair<std::string, CFields>> records;
    if (line.m_bDisplay)
        records.push_back({"display",
                           {{"large", Utf8Text(Trimmed(line.m_strLarge))},
                            {"small", Utf8Text(Trimmed(line.m_strSmall))},
                            {"light", LightName(line.m_lights)}}});
    if (line.m_bStart) {
        CFields fields = {{"start_no", Utf8Text(Trimmed(line.m_strStartNumber))},
                          {"start_time", Utf8Text(Trimmed(line.m_strStartTime))}};
        if (start.m_bStartList) {
            const CStarter* pStarter = start.m_pStarter;
            fields.push_back({"name", pStarter ? pStarter->m_strName : std::string()});
            fields.push_back({"club", pStarter ? pStarter->m_strClub : std::string()});
            fields.push_back({"class", pStarter ? pStarter->m_strClass : std::string()});
            fields.push_back(
                {"planned", pStarter && pStarter->m_plannedMs ? TimeOfDayText(*pStarter->m_plannedMs) : std::string()});
            fields.push_back({"difference", start.m_differenceMs ? DifferenceText(*start.m_differenceMs) : ""});
        }
        fields.push_back({std::string(1, kJsonValue) + "clock_offset",
                          start.m_clockOffset ? ClockOffsetSeconds(*start.m_clockOffset) : std::string()});
        records.push_back({"start", fields});
    }
    if (line.m_bLead)
        records.push_back({"lead", {{"lead_time", Utf8Text(Trimmed(line.m_strLeadTime))}}});
    return records;
}

// The CSV columns of the monitor after time and kind.
const std::vector<std::string> kMonitorColumns = {"large", "small", "light", "start_no", "start_time", "lead_time",
                                                  "name",  "club",  "class", "planned",  "difference", "clock_offset"};

std::string FieldName(const std::string& strName) {
    return !strName.empty() && strName.front() == kJsonValue ? strName.substr(1) : strName;
}

bool IsUnitField(const std::string& strName) {
    for (const char* pszName : {"large", "small", "light", "start_no", "start_time", "lead_time"})
        if (strName == pszName)
            return true;
    return false;
}

// A value of the text form: in quotes when it holds a blank or a quote.
std::string TextValue(const std::string& strValue) {
    if (strValue.find_first_of(" \t\"") == std::string::npos)
        return strValue;
    std::string text = "\"";
    for (const char c : strValue) {
        if (c == '"' || c == '\\')
            text += '\\';
        text += c;
    }
    return text + '"';
}

std::string ValueOf(const CFields& fields, const std::string& strName) {
    for (const auto& [strField, strValue] : fields)
        if (FieldName(strField) == strName)
            return strValue;
    return {};
}

// "HH:MM:SS.mmm": the time of day with milliseconds.
std::string TimeOfDayText(const CLocalTime& time) {
    char szMilliseconds[8];
    std::snprintf(szMilliseconds, sizeof szMilliseconds, ".%03d", time.m_nMillisecond % 1000);
    return ClockText(time) + szMilliseconds;
}

} // namespace

std::string CsvField(std::string_view bytes) {
    return CsvField(Utf8Text(bytes), ',');
}

std::string LightName(const std::optional<CLightPattern>& lights) {
    if (!lights)
        return {};
    for (const ELamp lamp : *lights) {
        switch (lamp) {
        case ELamp::Red:
            return "red";
        case ELamp::Yellow:
            return "yellow";
        case ELamp::Green:
            return "green";
        case ELamp::Off:
            break;
        }
    }
    return "off";
}

std::string FormatCurrentValuesText(const CCurrentValues& values) {
    std::string text;
    for (const auto& [strName, strValue] : CurrentValueFields(values))
        text += strName + ": " + Utf8Text(strValue) + "\n";
    return text;
}

std::string FormatCurrentValuesJson(const CCurrentValues& values) {
    return JsonObject(CurrentValueFields(values)) + "\n";
}

std::string FormatMemoryCsv(const std::vector<CMemoryCells>& rows) {
    std::string text = CsvRow({"start_no", "start_time", "lead_time"});
    const std::size_t nRows = FilledMemoryRows(rows);
    for (std::size_t i = 0; i < nRows; ++i)
        text += CsvRow({Trimmed(rows[i][0]), Trimmed(rows[i][1]), Trimmed(rows[i][2])});
    return text;
}

std::string FormatMemoryJson(const std::vector<CMemoryCells>& rows) {
    const std::size_t nRows = FilledMemoryRows(rows);
    if (nRows == 0)
        return "[]\n";
    std::string text = "[\n";
    for (std::size_t i = 0; i < nRows; ++i)
        text += "  " + JsonObject(MemoryFields(rows[i])) + (i + 1 < nRows ? ",\n" : "\n");
    return text + "]\n";
}

std::string MonitorCsvHeader() {
    std::vector<std::string> columns = {"time", "kind"};
    columns.insert(columns.end(), kMonitorColumns.begin(), kMonitorColumns.end());
    return CsvRow(columns);
}

std::string FormatMonitorLine(const CMonitorLine& line, const CLocalTime& arrived, EMonitorFormat eFormat,
                              const CMonitorStart& start) {
    std::string text;
    for (const auto& [strKind, fields] : MonitorRecords(line, start)) {
        switch (eFormat) {
        case EMonitorFormat::Text:
            text += TimeOfDayText(arrived) + ' ' + strKind;
            for (const auto& [strName, strValue] : fields) {
                // The unit's own fields stand as they always have; those a start list or the clock adds only where
                // they are known, in quotes where they hold blanks.
                if (IsUnitField(strName))
                    text += ' ' + strName + '=' + strValue;
                else if (!strValue.empty())
                    text += ' ' + FieldName(strName) + '=' + TextValue(strValue);
            }
            text += '\n';
            break;
        case EMonitorFormat::Csv: {
            std::string row = CsvField(IsoTimestamp(arrived), ',') + ',' + CsvField(strKind, ',');
            for (const std::string& strColumn : kMonitorColumns)
                row += ',' + CsvField(ValueOf(fields, strColumn), ',');
            text += row + "\r\n";
            break;
        }
        case EMonitorFormat::Jsonl: {
            text += "{\"time\":" + JsonStringOfUtf8(IsoTimestamp(arrived), EJsonOutput::Utf8) +
                    ",\"kind\":" + JsonStringOfUtf8(strKind, EJsonOutput::Utf8);
            for (const auto& [strName, strValue] : fields) {
                text += ',' + JsonStringOfUtf8(FieldName(strName), EJsonOutput::Utf8) + ':';
                if (!strName.empty() && strName.front() == kJsonValue)
                    text += strValue.empty() ? "null" : (strValue.front() == '+' ? strValue.substr(1) : strValue);
                else
                    text += JsonStringOfUtf8(strValue, EJsonOutput::Utf8);
            }
            text += "}\n";
            break;
        }
        }
    }
    return text;
}

std::string FormatPortLine(const std::string& strEntry, const std::string& strDevice, const std::string& strOpenError,
                           bool bOpened) {
    return Utf8Text(strEntry) + ": " + Utf8Text(strDevice) + ": " +
           (bOpened                ? std::string("can be opened")
            : strOpenError.empty() ? std::string("cannot be opened")
                                   : strOpenError) +
           "\n";
}

std::string FormatClockSet(const CTimedWrite& write) {
    char szError[48];
    std::snprintf(szError, sizeof szError, "%.2f", std::chrono::duration<double, std::milli>(write.m_error).count());
    return "clock: " + Utf8Text(write.m_strSecond) + "\nerror: " + szError + " ms\n";
}
