#include "live/LiveShare.h"

#include "settings/Settings.h"

std::string LivePageUrl(std::string_view address, int nPort) {
    return "http://" + std::string(address) + ":" + std::to_string(nPort) + "/";
}

std::optional<int> ParseLivePort(std::string_view text) {
    if (text.empty())
        return std::nullopt;
    int nPort = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        nPort = nPort * 10 + (c - '0');
        if (nPort > kHighestPort)
            return std::nullopt;
    }
    if (nPort < 1)
        return std::nullopt;
    return nPort;
}

ELiveShareFailure LiveShareFailureOf(std::string_view error) {
    if (error == "in use")
        return ELiveShareFailure::InUse;
    if (error == "not allowed")
        return ELiveShareFailure::NotAllowed;
    return ELiveShareFailure::Other;
}

std::string FillInMessage(std::string_view text, std::string_view first, std::string_view second) {
    std::string strFilled;
    strFilled.reserve(text.size() + first.size() + second.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 1 < text.size() && (text[i + 1] == '1' || text[i + 1] == '2')) {
            strFilled += text[i + 1] == '1' ? first : second;
            ++i;
        } else {
            strFilled += text[i];
        }
    }
    return strFilled;
}
