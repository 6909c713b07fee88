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

// A program or interval number is one character: only a digit names one. A garbled character drops the reply
// rather than filing it under program or interval 0.
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
    const std::optional<int> program = DigitAt(line, 2);
    if (!program)
        return;
    // Rows are read as decimals; the device is also asked rows 21 to 31, which the store has no room for. The
    // setters drop every row, program and code outside the store's tables.
    const int nRow = ParseLeadingInt(Field(line, 3, 2));
    if (const auto first = CodeAt(line, 5, CProgramStore::kFirstCodes))
        store.SetFirstSetting(*program, nRow, *first);
    if (const auto second = CodeAt(line, 6, CProgramStore::kSecondCodes))
        store.SetSecondSetting(*program, nRow, *second);
}

void ParseIntervalReply(std::string_view line, CProgramStore& store) {
    const std::optional<int> program = DigitAt(line, 2);
    const std::optional<int> interval = DigitAt(line, 3);
    if (!program || !interval)
        return;
    const std::string field = Field(line, kTimeColumn, kTimeChars);
    const std::string_view time = TrimWhiteSpace(field);
    const bool bBreak = time == kZeroTime || (!time.empty() && time.front() == '/');
    store.SetInterval(*program, *interval, std::string(bBreak ? kBreak : time));
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
