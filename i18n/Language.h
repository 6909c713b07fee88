#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Window texts by number: "identifiers.ini" maps symbolic names to control identifiers and template numbers, and
// "lng_<name>.ini" maps the same names to the texts of one language. Both come with the program (DataFilePath,
// base/FileLocations.h: beside the executable, or shipped with an installed one unless the user has a copy).

// The two tables of one loaded language.
class CLanguage {
public:
    static constexpr std::size_t kSectionLimit = 16000; // characters of a section, terminators included
    static constexpr std::size_t kEntryLimit = 511;
    static constexpr std::size_t kNameLimit = 99;
    static constexpr std::size_t kPathLimit = 259;

    // Replaces both tables with the sections `Identifiers` of strDirectory/identifiers.ini and `Strings` of
    // strDirectory/lng_<strName>.ini; a missing file or section gives an empty table.
    void Load(const std::string& strDirectory, const std::string& strName);
    // The same from the two files at the paths given.
    void LoadFiles(const std::string& strIdentifiersPath, const std::string& strStringsPath);
    // The same from the two files' texts in memory.
    void LoadFromTexts(std::string_view identifiersText, std::string_view stringsText);
    // The text for an identifier with its escapes expanded, or "?" when there is none.
    std::string Lookup(int nId) const;

    const std::vector<std::string>& Identifiers() const { return m_identifiers; }
    const std::vector<std::string>& Strings() const { return m_strings; }

private:
    std::vector<std::string> m_identifiers; // NAME=number entries, in file order
    std::vector<std::string> m_strings;     // NAME=text entries, in file order
};

// The process-wide language of the windows (empty until a language is loaded).
CLanguage& CurrentLanguage();

// Loads the language named in the settings into the current language, each file from DataFilePath.
void LoadLanguage(const std::string& strName);
// The same for the name a settings file gave, or nothing when it gave none.
void LoadNamedLanguage(const std::optional<std::string>& strName);
// The current language's text for an identifier, or "?". Returned by value: no later lookup can change it.
std::string LookupText(int nId);
// "\n" becomes a line break and "\t" a tab; every other backslash stays.
std::string ExpandEscapes(std::string strText);
// The text that replaces a window's text for a key or control identifier: none for 0 and none when the lookup
// gives a text that begins with "?".
std::optional<std::string> TranslationFor(int nId);
