#pragma once

#include "base/Reporter.h"

#include <string>
#include <vector>

// The messages a reporter was given, in order.
struct CMessageRecorder {
    std::vector<std::string> m_messages;
    Reporter Get() {
        return [this](const std::string& strMessage) {
            m_messages.push_back(strMessage);
        };
    }
};
