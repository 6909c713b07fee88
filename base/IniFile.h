#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// INI files as users edit them by hand, with the behaviour of the Windows profile functions: section and key
// names match regardless of case, values come back without surrounding blanks and without the quotes that enclose
// them, a UTF-8 byte-order mark at the start is skipped, and a write changes one value and keeps every other byte
// (the mark included).
class CIniFile {
public:
    static constexpr std::size_t kValueLimit = 199; // characters of a value that a read returns

    // One key and the value to set it to.
    struct CKeyValue {
        std::string_view m_key;
        std::string_view m_value;
    };

    // The file's bytes, for reading several keys with the *FromText functions: nothing for a missing or unreadable
    // file, something other than a regular file and a file over the read limit, all of which read as no file (and
    // so does one that the memory cannot hold).
    static std::optional<std::string> ReadText(const std::string& strPath);

    // The value of a key up to its first NUL, trimmed, out of a pair of enclosing quotes and cut to 199
    // characters; nothing when the file, the section or the key is missing or the value is empty.
    static std::optional<std::string> GetString(const std::string& strPath, std::string_view section,
                                                std::string_view key);
    // Sets a key: replaced in place, added at the end of its section, or in a new section at the end of the file.
    // The file is saved by WriteFileReplacing (whole, never torn; a write-protected file is left alone); false when
    // that fails, and for a name or value that would not read back as written (a line break, a NUL in the value, a
    // key with "=").
    static bool WriteString(const std::string& strPath, std::string_view section, std::string_view key,
                            std::string_view value);
    // Sets several keys of one section, in the order given, as WriteString sets one, in a single replacement of the
    // file, so that it never holds some of the new values beside old ones. False, and the file as it was, when any
    // of them would not read back as written or when the replacement fails. Nothing to set leaves the file alone.
    static bool WriteStrings(const std::string& strPath, std::string_view section,
                             const std::vector<CKeyValue>& keyValues);
    // The entries of a section as NAME=value with the blanks at both ends and around the first "=" removed
    // (a line without "=" comes whole), in file order, at most nLimit characters counting one terminator per
    // entry and one for the list. Quotes stay as they stand.
    static std::vector<std::string> GetSection(const std::string& strPath, std::string_view section,
                                               std::size_t nLimit);

    // The same rules over text in memory.
    static std::optional<std::string> GetStringFromText(std::string_view text, std::string_view section,
                                                        std::string_view key);
    static std::string WriteStringToText(std::string_view text, std::string_view section, std::string_view key,
                                         std::string_view value);
    static std::vector<std::string> GetSectionFromText(std::string_view text, std::string_view section,
                                                       std::size_t nLimit);
};
