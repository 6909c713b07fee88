// The main window's countdown-time reader on arbitrary file text, checked against the program store's reader for
// the lines both read alike (those with at least three ";").

#include "base/Files.h"
#include "console/ConsoleProtocol.h"
#include "programs/ProgramStore.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

void Check(bool bCondition) {
    if (!bCondition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t nSize) {
    const std::string_view text(reinterpret_cast<const char*>(pData), nSize);
    const CCountdownRow times = ReadCountdownTimes(text);
    for (const auto& time : times) {
        Check(time.size() <= 5);
        Check(time.find(';') == std::string::npos && time.find('\n') == std::string::npos);
    }
    Check(times[10].empty());

    for (int nColumn = 0; nColumn < kCountdownNumbers; ++nColumn) {
        const std::string& time = times[static_cast<std::size_t>(nColumn)];
        const int nFound = FindCountdownColumn(times, time);
        if (time.empty()) {
            Check(nFound == -1);
        } else {
            Check(nFound >= nColumn && nFound < kCountdownNumbers);
            Check(times[static_cast<std::size_t>(nFound)] == time);
        }
    }

    CProgramStore store;
    store.ApplyProgramFile(0, text);
    const std::vector<std::string> lines = SplitTextLines(text);
    for (std::size_t i = 0; i < lines.size() && i < 10; ++i) {
        if (std::count(lines[i].begin(), lines[i].end(), ';') >= 3)
            Check(store.GetInterval(0, static_cast<int>(i)) == times[i]);
        else
            Check(store.GetInterval(0, static_cast<int>(i)).empty());
    }
    for (std::size_t i = lines.size(); i < 10; ++i)
        Check(times[i].empty());
    return 0;
}
