#include "sim/CommandFramer.h"

std::vector<std::string> CCommandFramer::Feed(std::string_view bytes) {
    std::vector<std::string> commands;
    for (char c : bytes) {
        if (c == '\n')
            continue;
        if (c == '\r') {
            if (!m_bOverlong)
                commands.push_back(m_strPending);
            m_strPending.clear();
            m_bOverlong = false;
        } else if (m_bOverlong) {
            continue;
        } else if (m_strPending.size() >= kMaxCommand) {
            m_strPending.clear();
            m_bOverlong = true;
        } else {
            m_strPending += c;
        }
    }
    return commands;
}
