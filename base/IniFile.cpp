#include "base/IniFile.h"

#include "base/Files.h"
#include "base/TextRules.h"

#include <algorithm>
#include <exception>
#include <filesystem>
#include <system_error>

// How the file is read, in the manner of the Windows profile functions:
// - A UTF-8 byte-order mark (EF BB BF) at the very start of the file is skipped, as if it were not there; a write
//   keeps it in front of everything. Notepad puts one there when it saves "UTF-8 with BOM".
// - A line ends at LF, at CR LF or at a CR alone. Nothing else is special about any byte between lines (NUL
//   included), except inside a value, below.
// - A line whose first non-blank character is "[" and that holds a "]" starts a section; its name is the text up
//   to the first "]", without surrounding blanks. A line that begins with "[" but has no "]" is no header: the
//   profile functions look for the closing bracket and, finding none, go on to read the line as any other line of
//   the section it stands in. So "[abc=1" is a key named "[abc" with the value 1, and "[abc" alone is an entry
//   without "=" (no key of any name, but an entry of GetSection).
// - A line whose first non-blank character is ";" is a comment: it is never a key and GetSection drops it, so
//   that an entry commented out in a language file stays out of the lookup.
// - Any other non-blank line inside a section is an entry; entries with "=" are keys (the name before the first
//   "=", the value after it, both without surrounding blanks), entries without "=" are no key of any name.
// - When a section or a key occurs more than once, the first occurrence is the one that counts, for reading and
//   for writing; later repetitions are never consulted.
// - A value read by GetString ends at its first NUL byte, as the profile functions' text ends there. What stands
//   before it loses its blanks at both ends and then a matching pair of double or single quotes that encloses it
//   (the blanks inside the quotes stay; a lone or unmatched quote stays), and only then is it cut to 199
//   characters, so the quotes never count against the limit. Quotes around nothing leave an empty value, which
//   is absent. GetSection delivers its entries as they stand: quotes and NUL bytes included.
// - A write replaces the value as it stands in the file (its quotes, a NUL and whatever followed it on the line).
// Blanks are spaces and tabs.

namespace {

constexpr std::string_view kNewFileLineEnd = "\r\n";
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// The file's text after its byte-order mark, if it has one.
std::string_view WithoutByteOrderMark(std::string_view text) {
    if (text.starts_with(kByteOrderMark))
        text.remove_prefix(kByteOrderMark.size());
    return text;
}

// A value as GetString returns it, before the cut to the value limit: up to its first NUL, without blanks at both
// ends, and without a pair of matching quotes that encloses it.
std::string_view ValueAsRead(std::string_view value) {
    value = TrimBlanks(value.substr(0, value.find('\0')));
    const bool bQuoted =
        value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front();
    if (bQuoted)
        value = value.substr(1, value.size() - 2);
    return value;
}

bool HasLineBreak(std::string_view text) {
    return text.find_first_of("\r\n") != std::string_view::npos;
}

// One line of the file as byte offsets: [m_nBegin, m_nEnd) is its text, [m_nEnd, m_nNext) its line ending.
struct CLine {
    std::size_t m_nBegin = 0;
    std::size_t m_nEnd = 0;
    std::size_t m_nNext = 0;
};

CLine LineAt(std::string_view text, std::size_t nPos) {
    CLine line;
    line.m_nBegin = nPos;
    const std::size_t nBreak = text.find_first_of("\r\n", nPos);
    if (nBreak == std::string_view::npos) {
        line.m_nEnd = line.m_nNext = text.size();
        return line;
    }
    line.m_nEnd = nBreak;
    line.m_nNext = nBreak + 1;
    if (text[nBreak] == '\r' && nBreak + 1 < text.size() && text[nBreak + 1] == '\n')
        ++line.m_nNext;
    return line;
}

enum class ELineKind { Blank, Comment, Section, Key, Other };

struct CParsedLine {
    ELineKind m_kind = ELineKind::Blank;
    std::string_view m_name;        // section name, key name, or the whole trimmed line for Other
    std::string_view m_value;       // value of a key
    std::size_t m_nValueOffset = 0; // of a key: where its value starts in the line, blanks after "=" kept before it
};

CParsedLine ParseLine(std::string_view lineText) {
    CParsedLine parsed;
    const std::string_view trimmed = TrimBlanks(lineText);
    if (trimmed.empty())
        return parsed;
    if (trimmed.front() == ';') {
        parsed.m_kind = ELineKind::Comment;
        return parsed;
    }
    if (trimmed.front() == '[' && trimmed.find(']') != std::string_view::npos) {
        parsed.m_kind = ELineKind::Section;
        const std::string_view inside = trimmed.substr(1);
        parsed.m_name = TrimBlanks(inside.substr(0, inside.find(']')));
        return parsed;
    }
    const std::size_t nEquals = lineText.find('=');
    if (nEquals == std::string_view::npos) {
        parsed.m_kind = ELineKind::Other;
        parsed.m_name = trimmed;
        return parsed;
    }
    parsed.m_kind = ELineKind::Key;
    parsed.m_name = TrimBlanks(lineText.substr(0, nEquals));
    parsed.m_value = TrimBlanks(lineText.substr(nEquals + 1));
    std::size_t nValue = nEquals + 1;
    while (nValue < lineText.size() && IsBlank(lineText[nValue]))
        ++nValue;
    parsed.m_nValueOffset = nValue;
    return parsed;
}

// Calls visit(line, parsed) for the header of the first section named `section` and then for each of its lines,
// until visit returns false or the next section begins. Returns false when there is no such section. The text is
// the file's text after its byte-order mark.
template <typename Visit>
bool ForEachLineOfSection(std::string_view text, std::string_view section, Visit visit) {
    bool bInside = false;
    for (std::size_t nPos = 0; nPos < text.size();) {
        const CLine line = LineAt(text, nPos);
        nPos = line.m_nNext;
        const CParsedLine parsed = ParseLine(text.substr(line.m_nBegin, line.m_nEnd - line.m_nBegin));
        if (parsed.m_kind == ELineKind::Section) {
            if (bInside)
                return true;
            bInside = EqualsIgnoringCase(parsed.m_name, section);
            if (bInside)
                visit(line, parsed);
            continue;
        }
        if (bInside && !visit(line, parsed))
            return true;
    }
    return bInside;
}

// The line ending that the file uses (its first one), or CR LF for a file that has none yet.
std::string_view FileLineEnd(std::string_view text) {
    const CLine first = LineAt(text, 0);
    if (first.m_nEnd == first.m_nNext)
        return kNewFileLineEnd;
    return text.substr(first.m_nEnd, first.m_nNext - first.m_nEnd);
}

// Names and values that could not be read back as written: a line break would start a new line, a key with "="
// or one that looks like a section header or a comment would be read as something else, and a value would end
// at a NUL byte.
bool IsWritable(std::string_view section, std::string_view key, std::string_view value) {
    if (HasLineBreak(section) || section.find(']') != std::string_view::npos)
        return false;
    if (key.empty() || HasLineBreak(key) || key.find('=') != std::string_view::npos || key.front() == '[' ||
        key.front() == ';')
        return false;
    return !HasLineBreak(value) && value.find('\0') == std::string_view::npos;
}

// The file's bytes, or nothing: a missing or unreadable file, something other than a regular file and a file over
// the read limit all read as no file. Memory running out during the read counts as a file that cannot be read.
std::optional<std::string> ReadIniBytes(const std::string& strPath) {
    try {
        return ReadFileBytes(strPath);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

// The file's present bytes for an update: empty for a file that does not exist, nothing for one that exists (or
// may exist) but cannot be read, which must not be replaced by a file holding only the new key.
std::optional<std::string> ReadForUpdate(const std::string& strPath) {
    if (std::optional<std::string> bytes = ReadIniBytes(strPath))
        return bytes;
    std::error_code error;
    if (std::filesystem::exists(FileSystemPath(strPath), error) || error)
        return std::nullopt;
    return std::string{};
}

} // namespace

std::optional<std::string> CIniFile::GetStringFromText(std::string_view text, std::string_view section,
                                                       std::string_view key) {
    const std::string_view wantedSection = TrimBlanks(section);
    const std::string_view wantedKey = TrimBlanks(key);
    std::optional<std::string_view> found;
    ForEachLineOfSection(WithoutByteOrderMark(text), wantedSection, [&](const CLine&, const CParsedLine& parsed) {
        if (parsed.m_kind == ELineKind::Key && EqualsIgnoringCase(parsed.m_name, wantedKey)) {
            found = ValueAsRead(parsed.m_value);
            return false;
        }
        return true;
    });
    if (!found || found->empty())
        return std::nullopt;
    return std::string(found->substr(0, kValueLimit));
}

std::string CIniFile::WriteStringToText(std::string_view file, std::string_view section, std::string_view key,
                                        std::string_view value) {
    const std::string_view wantedSection = TrimBlanks(section);
    const std::string_view wantedKey = TrimBlanks(key);
    if (!IsWritable(wantedSection, wantedKey, value))
        return std::string(file);
    // The byte-order mark stays in front; everything below works on the text after it.
    const std::string_view text = WithoutByteOrderMark(file);
    const std::string_view mark = file.substr(0, file.size() - text.size());

    std::optional<CLine> keyLine;
    std::size_t nKeyValueOffset = 0;
    CLine lastEntry; // the section header until an entry follows
    const bool bSectionFound =
        ForEachLineOfSection(text, wantedSection, [&](const CLine& line, const CParsedLine& parsed) {
            if (parsed.m_kind == ELineKind::Section || parsed.m_kind == ELineKind::Key ||
                parsed.m_kind == ELineKind::Other)
                lastEntry = line;
            if (parsed.m_kind == ELineKind::Key && EqualsIgnoringCase(parsed.m_name, wantedKey)) {
                keyLine = line;
                nKeyValueOffset = parsed.m_nValueOffset;
                return false;
            }
            return true;
        });

    std::string result(mark);
    result.reserve(file.size() + wantedSection.size() + wantedKey.size() + value.size() + 8);
    if (keyLine) {
        // The key keeps its spelling, its blanks and its "="; the value and whatever followed it are replaced.
        result.append(text.substr(0, keyLine->m_nBegin + nKeyValueOffset));
        result.append(value);
        result.append(text.substr(keyLine->m_nEnd));
        return result;
    }
    if (bSectionFound) {
        // The new key follows the section's last entry and takes that line's ending, so the bytes on both sides
        // of the insertion meet exactly as before (a CR alone never comes to stand before an LF).
        std::string_view lineEnd = text.substr(lastEntry.m_nEnd, lastEntry.m_nNext - lastEntry.m_nEnd);
        result.append(text.substr(0, lastEntry.m_nNext));
        if (lineEnd.empty()) {
            lineEnd = FileLineEnd(text);
            result.append(lineEnd);
        }
        result.append(wantedKey).append("=").append(value).append(lineEnd);
        result.append(text.substr(lastEntry.m_nNext));
        return result;
    }
    const std::string_view lineEnd = FileLineEnd(text);
    result.append(text);
    if (!text.empty() && text.back() != '\n' && text.back() != '\r')
        result.append(lineEnd);
    result.append("[").append(wantedSection).append("]").append(lineEnd);
    result.append(wantedKey).append("=").append(value).append(lineEnd);
    return result;
}

std::vector<std::string> CIniFile::GetSectionFromText(std::string_view text, std::string_view section,
                                                      std::size_t nLimit) {
    std::vector<std::string> entries;
    // One character of the limit is the list's final terminator; every entry takes its own length plus one.
    std::size_t nRoom = nLimit > 0 ? nLimit - 1 : 0;
    ForEachLineOfSection(WithoutByteOrderMark(text), TrimBlanks(section), [&](const CLine&, const CParsedLine& parsed) {
        std::string entry;
        switch (parsed.m_kind) {
        case ELineKind::Key:
            entry.append(parsed.m_name).append("=").append(parsed.m_value);
            break;
        case ELineKind::Other:
            entry.assign(parsed.m_name);
            break;
        default: // the header, blank lines and comments
            return true;
        }
        if (entry.size() + 1 <= nRoom) {
            nRoom -= entry.size() + 1;
            entries.push_back(std::move(entry));
            return true;
        }
        if (nRoom > 1) // the entry that straddles the limit is cut there, leaving room for its terminator
            entries.push_back(entry.substr(0, nRoom - 1));
        nRoom = 0;
        return false;
    });
    return entries;
}

std::optional<std::string> CIniFile::ReadText(const std::string& strPath) {
    return ReadIniBytes(strPath);
}

std::optional<std::string> CIniFile::GetString(const std::string& strPath, std::string_view section,
                                               std::string_view key) {
    const std::optional<std::string> bytes = ReadIniBytes(strPath);
    if (!bytes)
        return std::nullopt;
    return GetStringFromText(*bytes, section, key);
}

bool CIniFile::WriteString(const std::string& strPath, std::string_view section, std::string_view key,
                           std::string_view value) {
    return WriteStrings(strPath, section, {{key, value}});
}

bool CIniFile::WriteStrings(const std::string& strPath, std::string_view section,
                            const std::vector<CKeyValue>& keyValues) {
    if (keyValues.empty())
        return true; // nothing to set: the file is not touched
    for (const CKeyValue& keyValue : keyValues) {
        if (!IsWritable(TrimBlanks(section), TrimBlanks(keyValue.m_key), keyValue.m_value))
            return false;
    }
    std::optional<std::string> text = ReadForUpdate(strPath);
    if (!text)
        return false;
    for (const CKeyValue& keyValue : keyValues)
        *text = WriteStringToText(*text, section, keyValue.m_key, keyValue.m_value);
    return WriteFileReplacing(strPath, *text);
}

std::vector<std::string> CIniFile::GetSection(const std::string& strPath, std::string_view section,
                                              std::size_t nLimit) {
    const std::optional<std::string> bytes = ReadIniBytes(strPath);
    if (!bytes)
        return {};
    return GetSectionFromText(*bytes, section, nLimit);
}
