// Every reply parser on arbitrary received lines: the live monitor, current values, acknowledgements, memory
// replies and program transfer replies into one store. Nothing may crash, and no field may come out longer than
// its columns or land outside the store's tables.

#include "console/ConsoleProtocol.h"
#include "memory/MemoryProtocol.h"
#include "programs/ProgramStore.h"
#include "programs/TransferCodec.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

void Check(bool bCondition) {
    if (!bCondition)
        std::abort();
}

// A command is one command: its only CR is its last byte, and it has no LF.
void CheckCommand(const std::string& command) {
    Check(!command.empty() && command.back() == '\r');
    Check(command.find('\r') == command.size() - 1);
    Check(command.find('\n') == std::string::npos);
}

void CheckStore(const CProgramStore& store) {
    Check(store.RowCount() >= 0 && store.RowCount() <= CProgramStore::kRows);
    for (int p = 0; p < CProgramStore::kPrograms; ++p) {
        Check(store.FilledRowCount(p) >= 0 && store.FilledRowCount(p) <= CProgramStore::kRows);
        for (int r = 0; r < CProgramStore::kRows; ++r) {
            const auto first = store.GetFirstSetting(p, r);
            const auto second = store.GetSecondSetting(p, r);
            Check(!first || (*first >= 0 && *first < CProgramStore::kFirstCodes));
            Check(!second || (*second >= 0 && *second < CProgramStore::kSecondCodes));
            // A program field is one character, so slot 10 is never reached by a reply.
            Check(p < 10 || (!first && !second));
            if (r >= store.FilledRowCount(p))
                Check(!first && !second);
        }
        for (int k = 0; k < CProgramStore::kIntervals; ++k) {
            const std::string interval = store.GetInterval(p, k);
            Check(interval.size() <= 4 || interval == "Break");
            Check(k < 10 || interval.empty());
            Check(p < 10 || interval.empty());
        }
    }
}

void ParseLine(std::string_view line, CProgramStore& store) {
    const CMonitorLine monitor = ParseMonitorLine(line);
    Check(monitor.m_strLarge.size() <= 8 && monitor.m_strSmall.size() <= 4);
    Check(monitor.m_strStartTime.size() <= 12 && monitor.m_strLeadTime.size() <= 7);
    Check(monitor.m_bStart == !monitor.m_strStartNumber.empty());
    Check(monitor.Recognised() == (monitor.m_bDisplay || monitor.m_bStart || monitor.m_bLead));

    if (const auto values = ParseCurrentValues(line)) {
        Check(line.substr(0, 2) == "S?");
        Check(values->m_strLarge.size() <= 8 && values->m_strSmall.size() <= 4);
        Check(values->m_strProgram.empty() || (values->m_strProgram.size() <= 3 && values->m_strProgram[0] == 'P'));
        Check(values->m_strCountdownTime.size() <= 4 && values->m_strBrightness.size() <= 1);
        const int nEntry = FindProgramEntry(kProgramEntries, values->m_strProgram);
        Check(nEntry >= -1 && nEntry < static_cast<int>(kProgramEntries.size()));
        Check(values->m_strProgram.size() > 1 || nEntry == -1);
    }
    Check(!(IsSetAcknowledgement(line) && IsModeAcknowledgement(line)));

    const CMemoryReply memory = ParseMemoryReply(line);
    Check(memory.m_cells[0].size() <= 4 && memory.m_cells[1].size() <= 12 && memory.m_cells[2].size() <= 7);
    Check(memory.m_kind == EMemoryReply::Entry || (memory.m_cells[0].empty() && memory.m_cells[1].empty()));

    const bool bProgress = ParseTransferReply(line, store);
    Check(bProgress == (line.substr(0, 2) == "L?" || line.substr(0, 2) == "C?"));

    // The line as a value typed or stored somewhere: every command stays one command.
    CheckCommand(BuildSetProgram(line));
    CheckCommand(BuildSetCountdownNumber(line));
    CheckCommand(BuildSetBrightness(line));
    CheckCommand(BuildSetClock(line));
    CheckCommand(BuildSetInterval(1, 0, line));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t nSize) {
    const std::string_view input(reinterpret_cast<const char*>(pData), nSize);
    CProgramStore store;
    // Lines as the serial link cuts them: at every CR.
    std::size_t nStart = 0;
    while (nStart <= input.size()) {
        const std::size_t nEnd = input.find('\r', nStart);
        const std::string_view line =
            input.substr(nStart, nEnd == std::string_view::npos ? std::string_view::npos : nEnd - nStart);
        ParseLine(line, store);
        if (nEnd == std::string_view::npos)
            break;
        nStart = nEnd + 1;
    }
    CheckStore(store);
    return 0;
}
