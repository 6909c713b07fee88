#pragma once

#include "base/WallClock.h"
#include "console/ClockOffset.h"
#include "console/ConsoleProtocol.h"
#include "link/DeviceOperation.h"
#include "memory/MemoryProtocol.h"
#include "startlist/StartList.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// What kalvora-cli prints: plain text for a reader, CSV (RFC 4180), JSON and JSON lines for results software.
// The device's bytes are one character each (byte 0xE9 is "é"); the machine forms and the text carry them as UTF-8,
// the memory's txt form carries them as they came, as the Read Memory dialog's export does.

// An RFC 4180 field: in quotes (with quotes doubled) when it holds a comma, a quote, a CR or an LF; in UTF-8.
std::string CsvField(std::string_view bytes);

// The lit lamp of a light state: "off", "red", "yellow" or "green"; empty for a state that names no pattern.
std::string LightName(const std::optional<CLightPattern>& lights);

// `get`: display, small, light, program, time and brightness, fields trimmed; one "name: value" a line, or one
// JSON object.
std::string FormatCurrentValuesText(const CCurrentValues& values);
std::string FormatCurrentValuesJson(const CCurrentValues& values);

// `memory read`: the filled rows of the memory (as the export counts them), fields trimmed. CSV with the header
// start_no,start_time,lead_time and CR LF line ends; JSON as an array of objects with the same keys.
std::string FormatMemoryCsv(const std::vector<CMemoryCells>& rows);
std::string FormatMemoryJson(const std::vector<CMemoryCells>& rows);

// `monitor`: one record per kind a line is recognised as (display, start, lead), stamped with the local time it
// arrived. Text: "14:03:27.045 display large=0:15 small=1 light=red"; CSV under MonitorCsvHeader(); JSON lines:
// {"time":"2024-05-01T14:03:27.045+02:00","kind":"display","large":"0:15","small":"1","light":"red"}. Nothing for a
// line that is not recognised.
//
// A start record also carries the unit's clock against the computer's as it stands after that line (clock_offset,
// seconds: "-0.620"; a JSON number, null before the first sample) and, with a start list, what it says of the start
// number: name, club, class, planned time and the difference actual - planned ("+0:02.25"). The text form shows
// those that are known (a value with blanks in quotes), CSV and JSON all of them (empty where unknown).
struct CMonitorStart {
    bool m_bStartList = false;                  // a start list is in use
    const CStarter* m_pStarter = nullptr;       // the start list's entry of the number, if it has one
    std::optional<std::int64_t> m_differenceMs; // actual - planned
    std::optional<CClockOffset::Duration> m_clockOffset;
};
enum class EMonitorFormat { Text, Csv, Jsonl };
std::string MonitorCsvHeader();
std::string FormatMonitorLine(const CMonitorLine& line, const CLocalTime& arrived, EMonitorFormat eFormat,
                              const CMonitorStart& start = {});

// `ports`: the entry of the COM Port Settings list, the device it opens, and whether it can be opened or why not:
// "COM 7: /dev/ttyS6: can be opened".
std::string FormatPortLine(const std::string& strEntry, const std::string& strDevice, const std::string& strOpenError,
                           bool bOpened);

// `set clock`: "clock: 10:15:31" and "error: 0.42 ms", the time sent and how late its write was.
std::string FormatClockSet(const CTimedWrite& write);
