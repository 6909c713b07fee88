#include "memory/MemoryProtocol.h"

#include "base/Files.h"

#include "base/LineFields.h"
#include "base/TextRules.h"

#include <algorithm>

CMemoryReply ParseMemoryReply(std::string_view line) {
    CMemoryReply reply;
    if (HasPrefix(line, "M?")) {
        if (Field(line, 2, 5) == "EMPTY") {
            reply.m_kind = EMemoryReply::Empty;
            return reply;
        }
        reply.m_kind = EMemoryReply::Entry;
        reply.m_cells = {Field(line, 2, 4), Field(line, 10, 12), Field(line, 25, 7)};
        return reply;
    }
    if (HasPrefix(line, "E?"))
        reply.m_kind = EMemoryReply::Erased;
    return reply;
}

std::size_t FilledMemoryRows(const std::vector<CMemoryCells>& rows) {
    const std::size_t nRows = std::min(rows.size(), static_cast<std::size_t>(kMemoryRows));
    std::size_t nFilled = 0;
    while (nFilled < nRows && !rows[nFilled][0].empty())
        ++nFilled;
    return nFilled;
}

std::string BuildMemoryExport(const std::vector<CMemoryCells>& rows) {
    const std::size_t nRows = FilledMemoryRows(rows);
    std::string text;
    for (std::size_t i = 0; i < nRows; ++i)
        text += rows[i][0] + ' ' + rows[i][1] + ' ' + rows[i][2] + "\r\n";
    return text;
}

std::string ReplaceQuestion(const std::string& strPath) {
    return FileNameOf(strPath) + " already exists.\nDo you want to replace it?";
}
