// Arbitrary bytes as an IOF XML 3.0 start list: the reader never fails but with a message, keeps every start number
// once and within the unit's range, names lines that exist, and the IOF export of what it read reads back as the same
// starters.

#include "base/TextRules.h"
#include "fuzz/StartListChecks.h"
#include "startlist/IofStartList.h"
#include "startlist/StartExport.h"
#include "startlist/TextEncoding.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

// A text as it comes back from XML: without the control characters XML cannot hold, and without the white space
// around it, which the reader leaves off.
std::string AsXmlHoldsIt(const std::string& strText) {
    return std::string(TrimWhiteSpace(XmlCharacters(strText)));
}

int OneHourEast(std::int64_t) {
    return 60;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t nSize) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), nSize);
    const CStartListRead read = ReadIofStartList(bytes, OneHourEast);
    if (!read.m_list) {
        Check(!read.m_strError.empty());
        return 0;
    }
    const int nLines = 1 + static_cast<int>(std::count(bytes.begin(), bytes.end(), '\n'));
    const std::vector<CActualStart> starts = CheckedStarts(*read.m_list, nLines);

    // A results program that reads the export back finds the same starters, in the names XML can hold.
    CIofExportContext context;
    context.m_strToday = "2024-05-01";
    context.m_zoneAt = [](const std::string&, std::int64_t) {
        return 60;
    };
    const std::string exported = BuildIofStartList(MatchStarts(starts, &*read.m_list), &*read.m_list, context);
    const CStartListRead back = ReadIofStartList(exported, OneHourEast);
    Check(back.m_list.has_value());
    Check(back.m_list->Starters().size() == read.m_list->Starters().size());
    for (std::size_t i = 0; i < back.m_list->Starters().size(); ++i) {
        const CStarter& before = read.m_list->Starters()[i];
        const CStarter* pAfter = back.m_list->Find(before.m_nStartNumber);
        Check(pAfter != nullptr);
        Check(pAfter->m_strClub == AsXmlHoldsIt(before.m_strClub));
        Check(pAfter->m_strClass == AsXmlHoldsIt(before.m_strClass));
        Check(pAfter->m_strBib == AsXmlHoldsIt(before.m_strBib));
    }
    return 0;
}
