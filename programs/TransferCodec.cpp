#include "programs/TransferCodec.h"

#include "base/LineFields.h"
#include "base/TextRules.h"
#include "programs/ProgramStore.h"

#include <algorithm>

namespace {

constexpr std::string_view kBreak = "Break";
constexpr std::string_view kZeroTime = "0:00";
constexpr std::size_t kTimeColumn = 4;
constexpr std::size_t kTimeChars = 4;

std::string Decimal(int nValue, std::size_t nMinDigits = 1) {
    std::string text = std::to_string(nValue);
    if (text.size() < nMinDigits)
        text.insert(0, nMinDigits - text.size(), '0');
    return text;
}

constexpr std::size_t kProgramColumn = 2;
constexpr std::size_t kRowColumn = 3;
constexpr std::size_t kRowChars = 2;
constexpr std::size_t kIntervalColumn = 3;
constexpr std::size_t kFirstCodeColumn = 5;
constexpr std::size_t kSecondCodeColumn = 6;

// Program, row and interval fields are decimals read as every number of the program is read: leading white space
// skipped, an optional sign, digits up to the first other character, and 0 for a field without digits. A field
// beyond the end of the line is empty and so reads as 0 as well: an "L?" or "C?" line too short for its program
// field files under program 0. What lands outside the store's tables (a negative number, rows 21 to 31) is
// dropped by the store's setters.
int NumberAt(std::string_view line, std::size_t nColumn, std::size_t nChars) {
    return ParseLeadingInt(Field(line, nColumn, nChars));
}

// A code is one digit of its table; anything else is no code and leaves the setting as it was.
std::optional<int> DigitAt(std::string_view line, std::size_t nColumn) {
    const std::string field = Field(line, nColumn, 1);
    if (field.size() != 1 || field[0] < '0' || field[0] > '9')
        return std::nullopt;
    return field[0] - '0';
}

std::optional<int> CodeAt(std::string_view line, std::size_t nColumn, int nCodes) {
    const std::optional<int> digit = DigitAt(line, nColumn);
    if (!digit || *digit >= nCodes)
        return std::nullopt;
    return digit;
}

void ParseRowReply(std::string_view line, CProgramStore& store) {
    const int nProgram = NumberAt(line, kProgramColumn, 1);
    // The device is also asked rows 21 to 31, which the store has no room for; the setters drop every row,
    // program and code outside the store's tables.
    const int nRow = NumberAt(line, kRowColumn, kRowChars);
    if (const auto first = CodeAt(line, kFirstCodeColumn, CProgramStore::kFirstCodes))
        store.SetFirstSetting(nProgram, nRow, *first);
    if (const auto second = CodeAt(line, kSecondCodeColumn, CProgramStore::kSecondCodes))
        store.SetSecondSetting(nProgram, nRow, *second);
}

void ParseIntervalReply(std::string_view line, CProgramStore& store) {
    const int nProgram = NumberAt(line, kProgramColumn, 1);
    const int nInterval = NumberAt(line, kIntervalColumn, 1);
    const std::string field = Field(line, kTimeColumn, kTimeChars);
    const std::string_view time = TrimWhiteSpace(field);
    const bool bBreak = time == kZeroTime || (!time.empty() && time.front() == '/');
    store.SetInterval(nProgram, nInterval, std::string(bBreak ? kBreak : time));
}

} // namespace

std::string BuildRequestRow(int nProgram, int nRow) {
    return "?L" + Decimal(nProgram) + Decimal(nRow, 2) + kCommandEnd;
}

std::string BuildRequestInterval(int nProgram, int nInterval) {
    return "?C" + Decimal(nProgram) + Decimal(nInterval) + kCommandEnd;
}

std::string BuildSetRow(int nProgram, int nRow, std::optional<int> first, std::optional<int> second) {
    return "=L" + Decimal(nProgram) + Decimal(nRow, 2) + Decimal(first.value_or(0)) + Decimal(second.value_or(0)) +
           kCommandEnd;
}

std::string BuildSetInterval(int nProgram, int nInterval, std::string_view text) {
    std::string time = CommandValue(text);
    std::erase(time, ':');
    return "=W" + Decimal(nProgram) + Decimal(nInterval) + time + kCommandEnd;
}

CDeviceOperation DownloadOperation() {
    CDeviceOperation operation;
    operation.Arm();
    for (int nProgram = kDownloadFirstProgram; nProgram <= kDownloadLastProgram; ++nProgram) {
        for (int nRow = 0; nRow < kDownloadRowsPerProgram; ++nRow)
            operation.Write(BuildRequestRow(nProgram, nRow)).Wait(kTransferPace).Pump();
    }
    for (int nProgram = kDownloadFirstProgram; nProgram <= kDownloadLastProgram; ++nProgram) {
        for (int nInterval = 0; nInterval < kIntervalsPerProgram; ++nInterval)
            operation.Write(BuildRequestInterval(nProgram, nInterval)).Wait(kTransferPace).Pump();
    }
    return operation;
}

CDeviceOperation UploadDetailsOperation(const CProgramStore& store, int nProgram) {
    CDeviceOperation operation;
    for (int nRow = 0; nRow < store.RowCount(); ++nRow) {
        operation
            .Write(BuildSetRow(nProgram, nRow, store.GetFirstSetting(nProgram, nRow),
                               store.GetSecondSetting(nProgram, nRow)))
            .Pump()
            .Wait(kTransferPace);
    }
    return operation;
}

CDeviceOperation UploadIntervalsOperation(int nProgram, const CIntervalTexts& texts) {
    CDeviceOperation operation;
    for (int nInterval = 0; nInterval < kIntervalsPerProgram; ++nInterval)
        operation.Write(BuildSetInterval(nProgram, nInterval, texts[static_cast<std::size_t>(nInterval)]))
            .Wait(kTransferPace);
    return operation;
}

bool ParseTransferReply(std::string_view line, CProgramStore& store) {
    if (HasPrefix(line, "L?")) {
        ParseRowReply(line, store);
        return true;
    }
    if (HasPrefix(line, "C?")) {
        ParseIntervalReply(line, store);
        return true;
    }
    return false;
}
