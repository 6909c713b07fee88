#include "link/ComPorts.h"

#include "link/InProcessPorts.h"

#include <algorithm>
#include <cctype>

namespace {

constexpr std::string_view kUsbPrefix = "usb-";
constexpr std::size_t kShortestSerial = 4;

// "-if00" or "-if00-port0" at the end of a by-id name: the interface and port of the adapter, not its name.
std::string_view WithoutInterface(std::string_view name) {
    const std::size_t nInterface = name.rfind("-if");
    if (nInterface == std::string_view::npos)
        return name;
    const std::string_view tail = name.substr(nInterface + 3);
    const std::size_t nDigits = std::min(tail.find_first_not_of("0123456789"), tail.size());
    if (nDigits == 0)
        return name;
    const std::string_view rest = tail.substr(nDigits);
    if (!rest.empty() && (rest.rfind("-port", 0) != 0 || rest.size() == 5 ||
                          rest.substr(5).find_first_not_of("0123456789") != std::string_view::npos))
        return name;
    return name.substr(0, nInterface);
}

// A serial number: letters and digits only, at least one digit, not too short to be a model's word.
bool LooksLikeSerial(std::string_view token) {
    return token.size() >= kShortestSerial &&
           std::all_of(token.begin(), token.end(),
                       [](char c) { return std::isalnum(static_cast<unsigned char>(c)); }) &&
           std::any_of(token.begin(), token.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); });
}

} // namespace

CAdapterName ParseAdapterName(std::string_view byIdName) {
    std::string_view name = byIdName;
    if (name.rfind(kUsbPrefix, 0) == 0)
        name.remove_prefix(kUsbPrefix.size());
    name = WithoutInterface(name);

    std::vector<std::string_view> tokens;
    for (std::size_t nStart = 0; nStart <= name.size();) {
        const std::size_t nEnd = std::min(name.find('_', nStart), name.size());
        if (nEnd > nStart)
            tokens.push_back(name.substr(nStart, nEnd - nStart));
        nStart = nEnd + 1;
    }
    CAdapterName adapter;
    if (tokens.size() >= 2 && LooksLikeSerial(tokens.back())) {
        adapter.m_strSerial = std::string(tokens.back());
        tokens.pop_back();
    }
    for (const std::string_view token : tokens) {
        if (!adapter.m_strModel.empty())
            adapter.m_strModel += ' ';
        adapter.m_strModel += token;
    }
    if (adapter.m_strModel.empty())
        adapter.m_strModel = std::string(byIdName);
    return adapter;
}

std::string ComPortEntryText(int nPort, std::string_view deviceName) {
    const std::string strPort = "COM" + std::to_string(nPort);
    std::string_view name = deviceName;
    const auto trimEnd = [&] {
        while (!name.empty() && std::isspace(static_cast<unsigned char>(name.back())))
            name.remove_suffix(1);
    };
    trimEnd();
    if (const std::string strSuffix = "(" + strPort + ")"; name.ends_with(strSuffix)) {
        name.remove_suffix(strSuffix.size());
        trimEnd();
    }
    std::string strText = "COM " + std::to_string(nPort);
    if (!name.empty())
        strText += " - " + std::string(name);
    return strText;
}

std::optional<CComPortEntry> InProcessComPortEntry(int nPort) {
    const auto description = InProcessPortDescription(nPort);
    if (!description)
        return std::nullopt;
    return CComPortEntry{ComPortEntryText(nPort, *description), InProcessPortDevice(nPort)};
}
