#pragma once

#include "base/WallClock.h"
#include "memory/MemoryProtocol.h"
#include "startlist/StartExport.h"
#include "startlist/StartList.h"

#include <string>
#include <vector>

// The files the unit's memory is saved as: the Read Memory dialog's text file, and for results programs an IOF XML
// 3.0 start list of the actual start times and a CSV with names, clubs, classes, planned times and differences
// from a start list.

enum class EMemoryExport { Text, IofXml, Csv };

struct CMemoryExportType {
    EMemoryExport m_eExport;
    const char* m_pszFilterName; // as the save dialog lists it
    const char* m_pszPattern;
    const char* m_pszExtension; // what the file name gains unless it ends in it already
};
// In the order the save dialog lists them; the text file first, as it always was.
inline constexpr CMemoryExportType kMemoryExportTypes[] = {
    {EMemoryExport::Text, "Configuration File  (*.txt)", "*.txt", ".txt"},
    {EMemoryExport::IofXml, "IOF XML 3.0 Start List  (*.xml)", "*.xml", ".xml"},
    {EMemoryExport::Csv, "CSV for Spreadsheets and Results Programs  (*.csv)", "*.csv", ".csv"},
};

// The starts of the filled rows (as the text export counts them), for the exports that match them with a start list.
std::vector<CActualStart> ActualStarts(const std::vector<CMemoryCells>& rows);
// The IOF file's context on this computer now: today's date, the computer's zone, the stamp.
CIofExportContext ComputerExportContext(WallTime now);
// The bytes of the file of that type: the text file exactly as ever (the start list plays no part in it).
std::string BuildMemoryExportOf(EMemoryExport eExport, const std::vector<CMemoryCells>& rows, const CStartList* pList,
                                const CIofExportContext& context);
// The file to write for a name chosen in the save dialog with that type: its extension appended unless the name
// ends in it already (in any letter case).
std::string ExportFileName(const std::string& strChosen, EMemoryExport eExport);
