#pragma once

// What every start-list reader keeps, whatever bytes it is given, for the start lists' fuzz targets.

#include "startlist/StartExport.h"
#include "startlist/StartList.h"

#include <cstdlib>
#include <set>
#include <string>
#include <vector>

inline void Check(bool bCondition) {
    if (!bCondition)
        std::abort();
}

// A list read from a file of nLines lines: every start number once, within the unit's range, found by Find; every
// starter and every row left out at a line the file has, each row with its reason. The starters as starts of the
// unit, for the export that must read back.
inline std::vector<CActualStart> CheckedStarts(const CStartList& list, int nLines) {
    std::set<int> numbers;
    std::vector<CActualStart> starts;
    for (const CStarter& starter : list.Starters()) {
        Check(starter.m_nStartNumber >= 0 && starter.m_nStartNumber <= kLastUnitStartNumber);
        Check(numbers.insert(starter.m_nStartNumber).second);
        Check(starter.m_nLine >= 1 && starter.m_nLine <= nLines);
        Check(list.Find(starter.m_nStartNumber) == &starter);
        starts.push_back({std::to_string(starter.m_nStartNumber), "10:00:00.00", ""});
    }
    for (const CStartListProblem& problem : list.Problems())
        Check(problem.m_nLine >= 1 && problem.m_nLine <= nLines && !problem.m_strReason.empty());
    return starts;
}
