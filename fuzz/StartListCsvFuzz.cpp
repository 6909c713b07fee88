// Arbitrary bytes as a CSV start list: the reader never fails but with a message, keeps every start number once and
// within the unit's range, names lines that exist, and the CSV export of what it read reads back as the same
// starters.

#include "fuzz/StartListChecks.h"
#include "startlist/CsvStartList.h"
#include "startlist/StartExport.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t nSize) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), nSize);
    const CStartListRead read = ReadCsvStartList(bytes);
    if (!read.m_list) {
        Check(!read.m_strError.empty());
        return 0;
    }
    const int nLines = 1 + static_cast<int>(std::count(bytes.begin(), bytes.end(), '\n') +
                                            std::count(bytes.begin(), bytes.end(), '\r'));
    const std::vector<CActualStart> starts = CheckedStarts(*read.m_list, nLines);

    // What a spreadsheet gets back from the export is what was read.
    const CStartListRead back = ReadCsvStartList(BuildStartsCsv(MatchStarts(starts, &*read.m_list)));
    Check(back.m_list.has_value());
    Check(back.m_list->Problems().empty());
    Check(back.m_list->Starters().size() == read.m_list->Starters().size());
    for (std::size_t i = 0; i < back.m_list->Starters().size(); ++i) {
        const CStarter& before = read.m_list->Starters()[i];
        const CStarter& after = back.m_list->Starters()[i];
        Check(after.m_nStartNumber == before.m_nStartNumber);
        Check(after.m_strName == before.m_strName);
        Check(after.m_strClub == before.m_strClub);
        Check(after.m_strClass == before.m_strClass);
    }
    return 0;
}
