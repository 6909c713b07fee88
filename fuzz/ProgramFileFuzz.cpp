// Arbitrary program file text: loading it must stay inside the program's tables, and the text the store writes
// back must load to exactly the same codes and intervals, and be read by the main window's countdown reader as the
// same intervals.

#include "console/ConsoleProtocol.h"
#include "programs/ProgramStore.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

constexpr int kProgram = 5;
constexpr int kShownIntervals = 10;

void Check(bool bCondition) {
    if (!bCondition)
        std::abort();
}

// Neighbours of the loaded program hold known values that a load must never touch.
void FillNeighbours(CProgramStore& store) {
    for (int p : {kProgram - 1, kProgram + 1}) {
        for (int r = 0; r < CProgramStore::kRows; ++r) {
            store.SetFirstSetting(p, r, 1);
            store.SetSecondSetting(p, r, 2);
        }
        for (int k = 0; k < CProgramStore::kIntervals; ++k)
            store.SetInterval(p, k, "n");
    }
}

void CheckNeighbours(const CProgramStore& store) {
    for (int p : {kProgram - 1, kProgram + 1}) {
        for (int r = 0; r < CProgramStore::kRows; ++r)
            Check(store.GetFirstSetting(p, r) == 1 && store.GetSecondSetting(p, r) == 2);
        for (int k = 0; k < CProgramStore::kIntervals; ++k)
            Check(store.GetInterval(p, k) == "n");
    }
}

void CheckStore(const CProgramStore& store) {
    Check(store.RowCount() >= 0 && store.RowCount() <= CProgramStore::kRows);
    for (int r = 0; r < CProgramStore::kRows; ++r) {
        const auto first = store.GetFirstSetting(kProgram, r);
        const auto second = store.GetSecondSetting(kProgram, r);
        Check(!first || (*first >= 0 && *first < CProgramStore::kFirstCodes));
        Check(!second || (*second >= 0 && *second < CProgramStore::kSecondCodes));
    }
    for (int k = 0; k < CProgramStore::kIntervals; ++k) {
        const std::string interval = store.GetInterval(kProgram, k);
        Check(interval.size() <= 5 && interval.find(';') == std::string::npos);
        Check(interval.find('\n') == std::string::npos);
    }
    Check(!store.IsModified(kProgram) && store.FilledRowCount(kProgram) == 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t nSize) {
    const std::string_view text(reinterpret_cast<const char*>(pData), nSize);

    CProgramStore store;
    FillNeighbours(store);
    store.ApplyProgramFile(kProgram, text);
    CheckStore(store);
    CheckNeighbours(store);

    const std::string written = store.FormatProgramFile(kProgram);
    CProgramStore reread;
    FillNeighbours(reread);
    reread.ApplyProgramFile(kProgram, written);
    CheckStore(reread);
    CheckNeighbours(reread);

    Check(reread.RowCount() == store.RowCount());
    for (int r = 0; r < store.RowCount(); ++r) {
        Check(reread.GetFirstSetting(kProgram, r) == store.GetFirstSetting(kProgram, r));
        Check(reread.GetSecondSetting(kProgram, r) == store.GetSecondSetting(kProgram, r));
    }
    const int nWrittenIntervals = store.RowCount() < kShownIntervals ? store.RowCount() : kShownIntervals;
    for (int k = 0; k < nWrittenIntervals; ++k)
        Check(reread.GetInterval(kProgram, k) == store.GetInterval(kProgram, k));
    Check(reread.FormatProgramFile(kProgram) == written);

    // Both readers of a program file agree on what the store writes.
    const CCountdownRow times = ReadCountdownTimes(written);
    for (int k = 0; k < kShownIntervals; ++k)
        Check(times[static_cast<std::size_t>(k)] ==
              (k < nWrittenIntervals ? store.GetInterval(kProgram, k) : std::string()));
    return 0;
}
