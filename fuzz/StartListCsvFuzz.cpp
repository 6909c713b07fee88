// Arbitrary bytes as a CSV start list: the reader never fails but with a message, keeps every start number once and
// within the unit's range, names lines that exist, and the CSV export of what it read reads back as the same
// starters.

#include "startlist/CsvStartList.h"
#include "startlist/StartExport.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>
#include <string_view>

namespace {

void Check(bool bCondition) {
    if (!bCondition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t nSize) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), nSize);
    const CStartListRead read = ReadCsvStartList(bytes);
    if (!read.m_list) {
        Check(!read.m_strError.empty());
        return 0;
    }
    const int nLines = 1 + static_cast<int>(std::count(bytes.begin(), bytes.end(), '\n') +
                                            std::count(bytes.begin(), bytes.end(), '\r'));
    std::set<int> numbers;
    std::vector<CActualStart> starts;
    for (const CStarter& starter : read.m_list->Starters()) {
        Check(starter.m_nStartNumber >= 0 && starter.m_nStartNumber <= kLastUnitStartNumber);
        Check(numbers.insert(starter.m_nStartNumber).second);
        Check(starter.m_nLine >= 1 && starter.m_nLine <= nLines);
        Check(read.m_list->Find(starter.m_nStartNumber) == &starter);
        starts.push_back({std::to_string(starter.m_nStartNumber), "10:00:00.00", ""});
    }
    for (const CStartListProblem& problem : read.m_list->Problems())
        Check(problem.m_nLine >= 1 && problem.m_nLine <= nLines && !problem.m_strReason.empty());

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
