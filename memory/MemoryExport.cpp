#include "memory/MemoryExport.h"

#include "base/TextRules.h"

#include <cstdio>

std::vector<CActualStart> ActualStarts(const std::vector<CMemoryCells>& rows) {
    std::vector<CActualStart> starts;
    const std::size_t nRows = FilledMemoryRows(rows);
    starts.reserve(nRows);
    for (std::size_t i = 0; i < nRows; ++i)
        starts.push_back({rows[i][0], rows[i][1], rows[i][2]});
    return starts;
}

CIofExportContext ComputerExportContext(WallTime now) {
    const CLocalTime local = LocalTimeOf(now);
    char szDate[32];
    std::snprintf(szDate, sizeof szDate, "%04d-%02d-%02d", local.m_nYear % 10000, local.m_nMonth % 100,
                  local.m_nDay % 100);
    CIofExportContext context;
    context.m_strToday = szDate;
    context.m_zoneAt = ComputerZoneAt;
    context.m_strCreateTime = IsoTimestamp(local);
    context.m_strCreator = "Kalvora";
    return context;
}

std::string BuildMemoryExportOf(EMemoryExport eExport, const std::vector<CMemoryCells>& rows, const CStartList* pList,
                                const CIofExportContext& context) {
    switch (eExport) {
    case EMemoryExport::IofXml:
        return BuildIofStartList(MatchStarts(ActualStarts(rows), pList), pList, context);
    case EMemoryExport::Csv:
        return BuildStartsCsv(MatchStarts(ActualStarts(rows), pList));
    case EMemoryExport::Text:
        break;
    }
    return BuildMemoryExport(rows);
}

std::string ExportFileName(const std::string& strChosen, EMemoryExport eExport) {
    for (const CMemoryExportType& type : kMemoryExportTypes) {
        if (type.m_eExport == eExport)
            return EndsWithIgnoringCase(strChosen, type.m_pszExtension) ? strChosen : strChosen + type.m_pszExtension;
    }
    return strChosen;
}
