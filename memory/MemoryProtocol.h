#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

// The device's memory of start times: two commands, three kinds of reply line, and the export file.

inline constexpr const char* kCmdReadMemory = "?M\r";
inline constexpr const char* kCmdEraseMemory = "?E\r";
inline constexpr int kMemoryRows = 500;

enum class EMemoryReply { Other, Entry, Empty, Erased };

// A memory entry's three cells, verbatim: start number (2-5), start time (10-21), lead time (25-31).
using CMemoryCells = std::array<std::string, 3>;

struct CMemoryReply {
    EMemoryReply m_kind = EMemoryReply::Other;
    CMemoryCells m_cells; // for an entry
};
// "M?" with "EMPTY" at characters 2-6 (case counts) is the empty memory, any other "M?" line an entry, "E?" the
// erased memory, anything else other.
CMemoryReply ParseMemoryReply(std::string_view line);

// The filled rows: those before the first one whose start number is empty, and no more than kMemoryRows.
std::size_t FilledMemoryRows(const std::vector<CMemoryCells>& rows);
// The export text: for each filled row, the three cells joined by one blank and followed by CR LF.
std::string BuildMemoryExport(const std::vector<CMemoryCells>& rows);
// The question before a file that the appended ".txt" names and that exists is replaced, in the words of the save
// dialog's own question: "<name> already exists.\nDo you want to replace it?".
std::string ReplaceQuestion(const std::string& strPath);
