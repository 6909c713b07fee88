#include "live/LocalNetwork.h"

#include "live/LiveServer.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <optional>

namespace {

// The four parts of a dotted IPv4 address; nothing for any other text.
std::optional<std::array<int, 4>> DottedParts(const std::string& strAddress) {
    std::array<int, 4> parts{};
    const char* p = strAddress.data();
    const char* const end = p + strAddress.size();
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i > 0) {
            if (p == end || *p != '.')
                return std::nullopt;
            ++p;
        }
        const auto result = std::from_chars(p, end, parts[i]);
        if (result.ec != std::errc() || result.ptr == p || result.ptr - p > 3 || parts[i] > 255)
            return std::nullopt;
        p = result.ptr;
    }
    if (p != end)
        return std::nullopt;
    return parts;
}

// The rank of an address among those a viewer may type (lower first); nothing for one to leave out.
std::optional<int> Rank(const std::string& strAddress) {
    const auto parts = DottedParts(strAddress);
    if (!parts || (*parts)[0] == 127 || (*parts)[0] == 0)
        return std::nullopt;
    if ((*parts)[0] == 192 && (*parts)[1] == 168)
        return 0;
    if ((*parts)[0] == 10)
        return 1;
    if ((*parts)[0] == 172 && (*parts)[1] >= 16 && (*parts)[1] <= 31)
        return 2;
    if ((*parts)[0] == 169 && (*parts)[1] == 254)
        return 4;
    return 3;
}

} // namespace

std::vector<std::string> ViewerAddresses(const std::vector<std::string>& addresses) {
    std::vector<std::pair<int, std::string>> ranked;
    for (const std::string& strAddress : addresses) {
        const auto nRank = Rank(strAddress);
        const bool bRepeated =
            std::any_of(ranked.begin(), ranked.end(), [&](const auto& entry) { return entry.second == strAddress; });
        if (nRank && !bRepeated)
            ranked.emplace_back(*nRank, strAddress);
    }
    std::stable_sort(ranked.begin(), ranked.end(),
                     [](const auto& left, const auto& right) { return left.first < right.first; });
    std::vector<std::string> result;
    for (auto& entry : ranked)
        result.push_back(std::move(entry.second));
    return result;
}

std::vector<std::string> LocalIPv4Addresses() {
    return ViewerAddresses(InterfaceIPv4Addresses());
}
