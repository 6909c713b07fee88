// The language tables loaded from arbitrary file contents, then looked up, and escapes expanded in arbitrary text.
#include "i18n/Language.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

void Check(bool bCondition) {
    if (!bCondition)
        std::abort();
}

void CheckTable(const std::vector<std::string>& entries) {
    std::size_t nCharacters = 1;
    for (const std::string& entry : entries) {
        Check(entry.size() <= CLanguage::kEntryLimit);
        nCharacters += entry.size() + 1;
    }
    Check(entries.empty() || nCharacters <= CLanguage::kSectionLimit);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t nSize) {
    FuzzedDataProvider provider(data, nSize);
    const int nAskedId = provider.ConsumeIntegral<int>();
    std::string identifiers = provider.ConsumeRandomLengthString(nSize);
    std::string strings = provider.ConsumeRemainingBytesAsString();
    // Most inputs start inside the sections, so that the lookup gets to work on what follows.
    if (nAskedId & 1)
        identifiers.insert(0, "[Identifiers]\n");
    if (nAskedId & 2)
        strings.insert(0, "[Strings]\n");

    CLanguage language;
    language.LoadFromTexts(identifiers, strings);
    CheckTable(language.Identifiers());
    CheckTable(language.Strings());

    for (const int nId : {nAskedId, 0, 1, -1, 1000, 1019, 1082, INT_MIN, INT_MAX}) {
        const std::string text = language.Lookup(nId);
        Check(!text.empty());
        Check(text.size() <= CLanguage::kEntryLimit);
    }

    // Expanding takes one character from each escape and leaves none behind, so a second pass changes nothing.
    const std::string expanded = ExpandEscapes(strings);
    Check(expanded.size() <= strings.size());
    Check(ExpandEscapes(expanded) == expanded);
    return 0;
}
