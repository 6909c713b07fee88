#include "programs/ProgramStore.h"

#include "base/Files.h"

#include <algorithm>
#include <utility>

namespace {

constexpr char kSeparator = ';';
constexpr std::string_view kLineEnd = "\r\n";
constexpr std::size_t kIntervalChars = 5; // an interval field is read as at most this many characters
constexpr int kShownIntervals = 10;       // CD0 to CD9: rows 10 and higher write an empty interval field
constexpr int kTopLabel = 10;             // row r is labelled 10 - r

bool ValidProgram(int nProgram) {
    return nProgram >= 0 && nProgram < CProgramStore::kPrograms;
}
bool ValidRow(int nRow) {
    return nRow >= 0 && nRow < CProgramStore::kRows;
}
bool ValidSlot(int nSlot) {
    return nSlot >= 0 && nSlot < CProgramStore::kIntervals;
}

// A setting field holds exactly one digit of its table; anything else carries no code.
std::optional<int> CodeOf(std::string_view field, int nCodes) {
    if (field.size() != 1 || field[0] < '0' || field[0] >= '0' + nCodes)
        return std::nullopt;
    return field[0] - '0';
}

std::string CodeText(const std::optional<int>& code) {
    return code ? std::to_string(*code) : std::string();
}

// The fields of one program file line, split at its first three ";". A field needs the separators on both of its
// sides: a line cut short has no setting fields past the cut and no interval field.
struct CFileLine {
    std::optional<std::string_view> m_first;
    std::optional<std::string_view> m_second;
    std::optional<std::string> m_interval;
};

CFileLine SplitFileLine(std::string_view line) {
    CFileLine fields;
    const std::size_t s1 = line.find(kSeparator);
    if (s1 == std::string_view::npos)
        return fields;
    const std::size_t s2 = line.find(kSeparator, s1 + 1);
    if (s2 == std::string_view::npos)
        return fields;
    fields.m_first = line.substr(s1 + 1, s2 - s1 - 1);
    const std::size_t s3 = line.find(kSeparator, s2 + 1);
    if (s3 == std::string_view::npos)
        return fields;
    fields.m_second = line.substr(s2 + 1, s3 - s2 - 1);
    std::string interval(line.substr(s3 + 1, kIntervalChars));
    std::erase(interval, kSeparator);
    fields.m_interval = std::move(interval);
    return fields;
}

} // namespace

CProgramStore::CProgramStore(Reporter reporter) : m_reporter(std::move(reporter)) {}

bool CProgramStore::LoadProgramFile(int nProgram, const std::string& strName, const std::string& strDirectory) {
    if (!ValidProgram(nProgram))
        return false;
    const std::optional<std::string> bytes = ReadFileBytes(strDirectory + "/" + strName + ".txt");
    if (!bytes) {
        Report(m_reporter, kMsgCantReadFile);
        return false;
    }
    ApplyProgramFile(nProgram, *bytes);
    return true;
}

bool CProgramStore::SaveProgramFile(int nProgram, const std::string& strName, const std::string& strDirectory) {
    if (!ValidProgram(nProgram))
        return false;
    if (!WriteFileReplacing(strDirectory + "/" + strName + ".txt", FormatProgramFile(nProgram))) {
        Report(m_reporter, kMsgCantCreateFile);
        return false;
    }
    CProgram& program = m_programs[static_cast<std::size_t>(nProgram)];
    program.m_nFilledRows = 0;
    program.m_bModified = false;
    program.m_nFileRows = m_nRowCount;
    return true;
}

std::string CProgramStore::FormatProgramFile(int nProgram) const {
    if (!ValidProgram(nProgram))
        return {};
    const CProgram& program = m_programs[static_cast<std::size_t>(nProgram)];
    std::string text;
    for (int nRow = 0; nRow < m_nRowCount; ++nRow) {
        const auto row = static_cast<std::size_t>(nRow);
        text += std::to_string(kTopLabel - nRow);
        text += kSeparator;
        text += CodeText(program.m_first[row]);
        text += kSeparator;
        text += CodeText(program.m_second[row]);
        text += kSeparator;
        if (nRow < kShownIntervals) {
            // A line feed inside an interval would end the line there and shift every row after it.
            std::string interval = program.m_intervals[row];
            std::erase(interval, '\n');
            text += interval;
        }
        text += kSeparator;
        text += kLineEnd;
    }
    return text;
}

void CProgramStore::ApplyProgramFile(int nProgram, std::string_view text) {
    if (!ValidProgram(nProgram))
        return;
    CProgram& program = m_programs[static_cast<std::size_t>(nProgram)];
    const std::vector<std::string> lines = SplitTextLines(text);
    // Lines past the last detail row belong to no row of this program and are dropped.
    const std::size_t nLines = std::min(lines.size(), static_cast<std::size_t>(kRows));
    for (std::size_t b = 0; b < nLines; ++b) {
        const CFileLine fields = SplitFileLine(lines[b]);
        if (fields.m_first)
            if (const auto code = CodeOf(*fields.m_first, kFirstCodes))
                program.m_first[b] = code;
        if (fields.m_second)
            if (const auto code = CodeOf(*fields.m_second, kSecondCodes))
                program.m_second[b] = code;
        // Every line owns its interval slot: a line without an interval field empties it.
        if (b < static_cast<std::size_t>(kIntervals))
            program.m_intervals[b] = fields.m_interval.value_or(std::string());
    }
    m_nRowCount = static_cast<int>(nLines);
    program.m_nFilledRows = 0;
    program.m_bModified = false;
    program.m_nFileRows = m_nRowCount;
}

std::optional<int> CProgramStore::GetFirstSetting(int nProgram, int nRow) const {
    if (!ValidProgram(nProgram) || !ValidRow(nRow))
        return std::nullopt;
    return m_programs[static_cast<std::size_t>(nProgram)].m_first[static_cast<std::size_t>(nRow)];
}

std::optional<int> CProgramStore::GetSecondSetting(int nProgram, int nRow) const {
    if (!ValidProgram(nProgram) || !ValidRow(nRow))
        return std::nullopt;
    return m_programs[static_cast<std::size_t>(nProgram)].m_second[static_cast<std::size_t>(nRow)];
}

void CProgramStore::SetFirstSetting(int nProgram, int nRow, int nCode) {
    if (!ValidProgram(nProgram) || !ValidRow(nRow) || nCode < 0 || nCode >= kFirstCodes)
        return;
    CProgram& program = m_programs[static_cast<std::size_t>(nProgram)];
    program.m_first[static_cast<std::size_t>(nRow)] = nCode;
    program.m_nFilledRows = std::max(program.m_nFilledRows, nRow + 1);
    program.m_bModified = true;
}

void CProgramStore::SetSecondSetting(int nProgram, int nRow, int nCode) {
    if (!ValidProgram(nProgram) || !ValidRow(nRow) || nCode < 0 || nCode >= kSecondCodes)
        return;
    CProgram& program = m_programs[static_cast<std::size_t>(nProgram)];
    program.m_second[static_cast<std::size_t>(nRow)] = nCode;
    program.m_nFilledRows = std::max(program.m_nFilledRows, nRow + 1);
    program.m_bModified = true;
}

std::string CProgramStore::GetInterval(int nProgram, int nSlot) const {
    if (!ValidProgram(nProgram) || !ValidSlot(nSlot))
        return {};
    return m_programs[static_cast<std::size_t>(nProgram)].m_intervals[static_cast<std::size_t>(nSlot)];
}

void CProgramStore::SetInterval(int nProgram, int nSlot, std::string strText) {
    if (!ValidProgram(nProgram) || !ValidSlot(nSlot))
        return;
    // An interval belongs to the interval list, not to a detail row, so it leaves the filled row count alone.
    CProgram& program = m_programs[static_cast<std::size_t>(nProgram)];
    program.m_intervals[static_cast<std::size_t>(nSlot)] = std::move(strText);
    program.m_bModified = true;
}

void CProgramStore::SetRowCount(int nRows) {
    m_nRowCount = std::clamp(nRows, 0, kRows);
}

int CProgramStore::FilledRowCount(int nProgram) const {
    return ValidProgram(nProgram) ? m_programs[static_cast<std::size_t>(nProgram)].m_nFilledRows : 0;
}

bool CProgramStore::IsModified(int nProgram) const {
    return ValidProgram(nProgram) && m_programs[static_cast<std::size_t>(nProgram)].m_bModified;
}

std::optional<int> CProgramStore::FileRows(int nProgram, const std::string& strName, const std::string& strDirectory) {
    if (!ValidProgram(nProgram))
        return std::nullopt;
    // The count of the last read or save, or of the first count: the file is the program's own, changed by its saves.
    if (const std::optional<int> known = m_programs[static_cast<std::size_t>(nProgram)].m_nFileRows)
        return known;
    const std::optional<std::string> bytes = ReadFileBytes(strDirectory + "/" + strName + ".txt");
    if (!bytes)
        return std::nullopt;
    const int nLines = static_cast<int>(std::min(SplitTextLines(*bytes).size(), static_cast<std::size_t>(kRows)));
    m_programs[static_cast<std::size_t>(nProgram)].m_nFileRows = nLines;
    return nLines;
}

std::string ProgramName(int nProgram) {
    return "P" + std::to_string(nProgram);
}

int ShownRows(std::optional<int> fileRows, int nShownBefore, int nFilledRows) {
    if (fileRows && *fileRows > 0)
        return std::min(*fileRows, CProgramStore::kRows);
    return std::clamp(std::max(nShownBefore, nFilledRows), 0, CProgramStore::kRows);
}
