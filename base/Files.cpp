#include "base/Files.h"

std::vector<std::string> SplitTextLines(std::string_view text) {
    std::vector<std::string> lines;
    std::size_t nStart = 0;
    while (nStart < text.size()) {
        const std::size_t nEnd = text.find('\n', nStart);
        if (nEnd == std::string_view::npos) {
            lines.emplace_back(text.substr(nStart));
            break;
        }
        std::size_t nLength = nEnd - nStart;
        if (nLength > 0 && text[nEnd - 1] == '\r')
            --nLength;
        lines.emplace_back(text.substr(nStart, nLength));
        nStart = nEnd + 1;
    }
    return lines;
}
