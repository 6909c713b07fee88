#include "i18n/Language.h"

#include "base/FileLocations.h"
#include "base/Files.h"
#include "base/IniFile.h"

#include <algorithm>
#include <utility>

// Limits of the tables: a section is read up to 16000 characters (one terminator counted per entry and one for
// the list), and each entry is then cut to 511 characters. A NAME, in either file, counts with its first 99
// characters only, so two NAMEs that agree in those are the same NAME. A file whose full path is longer than 259
// characters is not read at all: its table stays empty.

namespace {

constexpr std::string_view kIdentifierSection = "Identifiers";
constexpr std::string_view kStringSection = "Strings";
constexpr std::string_view kNoText = "?";
constexpr std::string_view kSeparators = " \t=";
constexpr const char* kIdentifierFile = "identifiers.ini";

std::string LanguageFileName(const std::string& strName) {
    return "lng_" + strName + ".ini";
}

void CutEntries(std::vector<std::string>& entries) {
    for (std::string& entry : entries) {
        if (entry.size() > CLanguage::kEntryLimit)
            entry.resize(CLanguage::kEntryLimit);
    }
}

std::vector<std::string> TableFromText(std::string_view text, std::string_view section) {
    std::vector<std::string> entries = CIniFile::GetSectionFromText(text, section, CLanguage::kSectionLimit);
    CutEntries(entries);
    return entries;
}

std::vector<std::string> TableFromFile(const std::string& strPath, std::string_view section) {
    if (strPath.size() > CLanguage::kPathLimit || strPath.find('\0') != std::string::npos)
        return {};
    ResetFileAttributes(strPath); // whatever fails here is ignored; the read that follows decides
    // Only the first 16000 characters of the section count, and the file is never written back: a file too large
    // to read whole still gives the sections in its beginning.
    const std::optional<std::string> bytes = ReadFileStart(strPath);
    if (!bytes)
        return {};
    return TableFromText(*bytes, section);
}

// The next token of an identifier entry: separators (blanks, tabs, "=") before it are skipped, and it runs to the
// next separator. Empty when the entry has no further token.
std::string_view NextToken(std::string_view entry, std::size_t& nPos) {
    const std::size_t nBegin = entry.find_first_not_of(kSeparators, nPos);
    if (nBegin == std::string_view::npos) {
        nPos = entry.size();
        return {};
    }
    const std::size_t nEnd = std::min(entry.find_first_of(kSeparators, nBegin), entry.size());
    nPos = nEnd;
    return entry.substr(nBegin, nEnd - nBegin);
}

std::string_view CutName(std::string_view name) {
    return name.substr(0, CLanguage::kNameLimit);
}

} // namespace

void CLanguage::Load(const std::string& strDirectory, const std::string& strName) {
    LoadFiles(strDirectory + "/" + kIdentifierFile, strDirectory + "/" + LanguageFileName(strName));
}

void CLanguage::LoadFiles(const std::string& strIdentifiersPath, const std::string& strStringsPath) {
    m_identifiers = TableFromFile(strIdentifiersPath, kIdentifierSection);
    m_strings = TableFromFile(strStringsPath, kStringSection);
}

void CLanguage::LoadFromTexts(std::string_view identifiersText, std::string_view stringsText) {
    m_identifiers = TableFromText(identifiersText, kIdentifierSection);
    m_strings = TableFromText(stringsText, kStringSection);
}

std::string CLanguage::Lookup(int nId) const {
    // The number is compared as text, so "01000" or "+1000" in the identifier file never stands for 1000.
    const std::string strNumber = std::to_string(nId);
    std::string_view name;
    for (const std::string& entry : m_identifiers) {
        std::size_t nPos = 0;
        const std::string_view entryName = NextToken(entry, nPos);
        const std::string_view number = NextToken(entry, nPos);
        if (!number.empty() && number == strNumber) {
            name = CutName(entryName);
            break;
        }
    }
    if (name.empty())
        return std::string(kNoText);

    for (const std::string_view entry : m_strings) {
        const std::size_t nBegin = entry.find_first_not_of(kSeparators);
        if (nBegin == std::string_view::npos)
            continue;
        const std::size_t nEnd = entry.find_first_of(kSeparators, nBegin);
        const std::string_view entryName = entry.substr(nBegin, nEnd == std::string_view::npos ? nEnd : nEnd - nBegin);
        if (CutName(entryName) != name)
            continue;
        // The text is everything after the one character that ended the NAME; the first entry of the NAME decides,
        // even when its text is empty.
        const std::string_view text = nEnd == std::string_view::npos ? std::string_view{} : entry.substr(nEnd + 1);
        if (text.empty())
            return std::string(kNoText);
        return ExpandEscapes(std::string(text));
    }
    return std::string(kNoText);
}

CLanguage& CurrentLanguage() {
    static CLanguage language;
    return language;
}

void LoadLanguage(const std::string& strName) {
    // Each file is the user's own copy when there is one, else the one the program comes with.
    CurrentLanguage().LoadFiles(DataFilePath(kIdentifierFile), DataFilePath(LanguageFileName(strName)));
}

void LoadNamedLanguage(const std::optional<std::string>& strName) {
    if (strName)
        LoadLanguage(*strName);
}

std::string LookupText(int nId) {
    return CurrentLanguage().Lookup(nId);
}

std::string ExpandEscapes(std::string strText) {
    // Two passes, "\n" first and then "\t". A replaced sequence is never looked at again, so "\\n" keeps its first
    // backslash and ends in a line break.
    for (const auto& [cLetter, cReplacement] : {std::pair{'n', '\n'}, std::pair{'t', '\t'}}) {
        std::string expanded;
        expanded.reserve(strText.size());
        for (std::size_t i = 0; i < strText.size(); ++i) {
            if (strText[i] == '\\' && i + 1 < strText.size() && strText[i + 1] == cLetter) {
                expanded.push_back(cReplacement);
                ++i;
            } else {
                expanded.push_back(strText[i]);
            }
        }
        strText = std::move(expanded);
    }
    return strText;
}

std::optional<std::string> TranslationFor(int nId) {
    if (nId == 0)
        return std::nullopt;
    std::string text = LookupText(nId);
    if (text.empty() || text.front() == '?')
        return std::nullopt;
    return text;
}
