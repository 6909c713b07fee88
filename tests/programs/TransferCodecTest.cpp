#include "programs/TransferCodec.h"

#include "programs/ProgramStore.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <tuple>

namespace {

using Code = std::optional<int>;
constexpr Code kNone = std::nullopt;

// ---- Commands ------------------------------------------------------------------------------------------------------

struct CommandRow {
    std::string command;
    const char* expected;
};

TEST(TransferCommands, RequestsAndSettingsHaveTheirDigits) {
    const CommandRow rows[] = {
        {BuildRequestRow(1, 0), "?L100\r"},
        {BuildRequestRow(1, 5), "?L105\r"},
        {BuildRequestRow(1, 31), "?L131\r"},
        {BuildRequestRow(8, 31), "?L831\r"},
        {BuildRequestInterval(1, 0), "?C10\r"},
        {BuildRequestInterval(1, 9), "?C19\r"},
        {BuildRequestInterval(8, 9), "?C89\r"},
        {BuildSetRow(1, 0, 3, 1), "=L10031\r"},
        {BuildSetRow(0, 10, 0, 2), "=L01002\r"},
        {BuildSetRow(8, 20, 2, 0), "=L82020\r"},
        {BuildSetRow(1, 3, kNone, 2), "=L10302\r"}, // a setting without a code goes as the first choice
        {BuildSetRow(1, 3, 1, kNone), "=L10310\r"},
        {BuildSetRow(1, 3, kNone, kNone), "=L10300\r"},
        {BuildSetInterval(1, 0, "1:30"), "=W10130\r"},
        {BuildSetInterval(2, 4, "10:00"), "=W241000\r"},
        {BuildSetInterval(0, 9, "Break"), "=W09Break\r"},
        {BuildSetInterval(1, 1, "::1:"), "=W111\r"},
        {BuildSetInterval(1, 2, ""), "=W12\r"},
        {BuildSetInterval(1, 3, "1\r?E"), "=W131?E\r"}, // a CR inside the text cannot start a second command
        {BuildSetInterval(1, 3, "1\n30"), "=W13130\r"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(row.command, row.expected);
}

TEST(TransferCommands, ADownloadAsksFor336DistinctThings) {
    std::vector<std::string> requests;
    for (int p = kDownloadFirstProgram; p <= kDownloadLastProgram; ++p)
        for (int r = 0; r < kDownloadRowsPerProgram; ++r)
            requests.push_back(BuildRequestRow(p, r));
    for (int p = kDownloadFirstProgram; p <= kDownloadLastProgram; ++p)
        for (int k = 0; k < kIntervalsPerProgram; ++k)
            requests.push_back(BuildRequestInterval(p, k));
    ASSERT_EQ(static_cast<int>(requests.size()), kDownloadRequests);
    EXPECT_EQ(requests.front(), "?L100\r");
    EXPECT_EQ(requests[kDownloadRowsPerProgram], "?L200\r");
    EXPECT_EQ(requests.back(), "?C89\r");
    std::sort(requests.begin(), requests.end());
    EXPECT_EQ(std::adjacent_find(requests.begin(), requests.end()), requests.end());
}

// ---- Replies -------------------------------------------------------------------------------------------------------

// Every setting and interval of the store, so a test can see exactly which ones a reply changed.
using Snapshot = std::map<std::tuple<char, int, int>, std::string>;

Snapshot Take(const CProgramStore& store) {
    Snapshot snapshot;
    auto text = [](const Code& code) {
        return code ? std::to_string(*code) : std::string("-");
    };
    for (int p = -1; p <= CProgramStore::kPrograms; ++p) {
        for (int r = -1; r <= CProgramStore::kRows; ++r) {
            snapshot[{'1', p, r}] = text(store.GetFirstSetting(p, r));
            snapshot[{'2', p, r}] = text(store.GetSecondSetting(p, r));
        }
        for (int k = -1; k <= CProgramStore::kIntervals; ++k)
            snapshot[{'I', p, k}] = store.GetInterval(p, k);
    }
    return snapshot;
}

struct ReplyRow {
    const char* line;
    bool bProgress;
    std::map<std::tuple<char, int, int>, std::string> changes; // ('1'|'2'|'I', program, row or slot) -> new value
};

TEST(TransferReplies, DecodeIntoTheStoreAndNothingElse) {
    const ReplyRow rows[] = {
        // Detail rows: program at 2, row at 3-4, first code at 5, second code at 6.
        {"L?10531", true, {{{'1', 1, 5}, "3"}, {{'2', 1, 5}, "1"}}},
        {"L?10000", true, {{{'1', 1, 0}, "0"}, {{'2', 1, 0}, "0"}}},
        {"L?82032", true, {{{'1', 8, 20}, "3"}, {{'2', 8, 20}, "2"}}},
        {"L?12040", true, {{{'2', 1, 20}, "0"}}}, // first code 4 is outside its table
        {"L?10503", true, {{{'1', 1, 5}, "0"}}},  // second code 3 is outside its table
        {"L?10553", true, {}},
        {"L?1053", true, {{{'1', 1, 5}, "3"}}}, // a short line gives what it has
        {"L?105", true, {}},
        {"L?", true, {}},
        {"L?9 531", true, {{{'1', 9, 5}, "3"}, {{'2', 9, 5}, "1"}}}, // the row is read as a decimal
        {"L?1ab31", true, {{{'1', 1, 0}, "3"}, {{'2', 1, 0}, "1"}}}, // a row without digits is row 0
        {"L?1-131", true, {}},                                       // row -1
        {"L?12131", true, {}},                                       // rows 21 to 31 do not spill
        {"L?13131", true, {}},                                       // into the next program
        {"L?83131", true, {}},
        {"L?x0531", true, {{{'1', 0, 5}, "3"}, {{'2', 0, 5}, "1"}}}, // a program field without digits is program 0
        {"L? 0531", true, {{{'1', 0, 5}, "3"}, {{'2', 0, 5}, "1"}}},
        {"L?10531 trailing", true, {{{'1', 1, 5}, "3"}, {{'2', 1, 5}, "1"}}},
        // Program and row fields are decimals: no digits read as 0, a sign alone too, a negative row is dropped.
        {"L?-0531", true, {{{'1', 0, 5}, "3"}, {{'2', 0, 5}, "1"}}},
        {"L?+0531", true, {{{'1', 0, 5}, "3"}, {{'2', 0, 5}, "1"}}},
        {"L?\t0531", true, {{{'1', 0, 5}, "3"}, {{'2', 0, 5}, "1"}}},
        {"L?x  31", true, {{{'1', 0, 0}, "3"}, {{'2', 0, 0}, "1"}}},
        {"L?x-531", true, {}},
        {"L?9-031", true, {{{'1', 9, 0}, "3"}, {{'2', 9, 0}, "1"}}}, // "-0" is row 0
        {"L?1 -31", true, {{{'1', 1, 0}, "3"}, {{'2', 1, 0}, "1"}}}, // a sign without digits is row 0
        {"L?1+531", true, {{{'1', 1, 5}, "3"}, {{'2', 1, 5}, "1"}}},
        {"L?1 931", true, {{{'1', 1, 9}, "3"}, {{'2', 1, 9}, "1"}}},
        // A line too short for its program field files under program 0, row 0; without codes it sets nothing.
        {"L?x", true, {}},
        {"L?x  3", true, {{{'1', 0, 0}, "3"}}},
        {"L?x 3", true, {}},
        // Codes keep their rule: only a digit of the table is a code.
        {"L?x05 1", true, {{{'2', 0, 5}, "1"}}},
        {"L?x053x", true, {{{'1', 0, 5}, "3"}}},
        // Intervals: program at 2, interval at 3, time at 4-7 trimmed.
        {"C?10 1:30", true, {{{'I', 1, 0}, "1:3"}}}, // only four characters are taken
        {"C?1310:0", true, {{{'I', 1, 3}, "10:0"}}},
        {"C?150:00", true, {{{'I', 1, 5}, "Break"}}},
        {"C?150:00x", true, {{{'I', 1, 5}, "Break"}}},
        {"C?15 0:00", true, {{{'I', 1, 5}, "0:0"}}},
        {"C?19/abc", true, {{{'I', 1, 9}, "Break"}}},
        {"C?19 /ab", true, {{{'I', 1, 9}, "Break"}}}, // trimmed first, then tested
        {"C?19/", true, {{{'I', 1, 9}, "Break"}}},
        {"C?10\t1:3", true, {{{'I', 1, 0}, "1:3"}}},
        {"C?10 2 ", true, {{{'I', 1, 0}, "2"}}},
        {"C?10", true, {{{'I', 1, 0}, ""}}}, // no time: the interval empties
        {"C?10    ", true, {{{'I', 1, 0}, ""}}},
        {"C?00 1:3", true, {{{'I', 0, 0}, "1:3"}}},
        {"C?99Brea", true, {{{'I', 9, 9}, "Brea"}}},
        {"C?  1:30", true, {{{'I', 0, 0}, "1:30"}}},
        {"C?-+1:30", true, {{{'I', 0, 0}, "1:30"}}},
        {"C?1-0:00", true, {{{'I', 1, 0}, "Break"}}},
        {"C? 9/", true, {{{'I', 0, 9}, "Break"}}},
        {"C?x", true, {{{'I', 0, 0}, ""}}},
        {"C?1", true, {{{'I', 1, 0}, ""}}}, // the missing interval field reads as 0, the missing time as empty
        {"C?", true, {{{'I', 0, 0}, ""}}},
        {"C?x1 1:3", true, {{{'I', 0, 1}, "1:3"}}}, // fields without digits read as 0
        {"C?1x 1:3", true, {{{'I', 1, 0}, "1:3"}}},
        {"C?1 1:30", true, {{{'I', 1, 0}, "1:30"}}},
        // Other lines.
        {"", false, {}},
        {"OK", false, {}},
        {"l?10531", false, {}},
        {"c?10 1:3", false, {}},
        {" L?10531", false, {}},
        {"L", false, {}},
        {"S?", false, {}},
    };
    for (const auto& row : rows) {
        CProgramStore store;
        for (int p = 0; p < CProgramStore::kPrograms; ++p)
            for (int k = 0; k < CProgramStore::kIntervals; ++k)
                store.SetInterval(p, k, "old");
        const Snapshot before = Take(store);
        EXPECT_EQ(ParseTransferReply(row.line, store), row.bProgress) << row.line;
        Snapshot expected = before;
        for (const auto& [key, value] : row.changes)
            expected[key] = value;
        EXPECT_EQ(Take(store), expected) << row.line;
    }
}

// A device that answers every request of a download, in the order of the requests.
std::vector<std::string> DeviceAnswers() {
    std::vector<std::string> answers;
    for (int p = kDownloadFirstProgram; p <= kDownloadLastProgram; ++p)
        for (int r = 0; r < kDownloadRowsPerProgram; ++r) {
            const std::string strRow = (r < 10 ? "0" : "") + std::to_string(r);
            answers.push_back("L?" + std::to_string(p) + strRow + std::to_string((p + r) % 4) +
                              std::to_string((p * r) % 3));
        }
    for (int p = kDownloadFirstProgram; p <= kDownloadLastProgram; ++p)
        for (int k = 0; k < kIntervalsPerProgram; ++k)
            answers.push_back("C?" + std::to_string(p) + std::to_string(k) + " " + std::to_string(p) + ":" +
                              std::to_string(k) + "0");
    return answers;
}

TEST(TransferReplies, FullDownloadFillsProgramsOneToEightOnly) {
    CProgramStore store;
    int nProgress = 0;
    for (const auto& line : DeviceAnswers())
        nProgress += ParseTransferReply(line, store) ? 1 : 0;
    EXPECT_EQ(nProgress, kDownloadRequests);
    for (int p = kDownloadFirstProgram; p <= kDownloadLastProgram; ++p) {
        for (int r = 0; r < CProgramStore::kRows; ++r) {
            EXPECT_EQ(store.GetFirstSetting(p, r), (p + r) % 4) << p << "/" << r;
            EXPECT_EQ(store.GetSecondSetting(p, r), (p * r) % 3) << p << "/" << r;
        }
        for (int k = 0; k < kIntervalsPerProgram; ++k)
            EXPECT_EQ(store.GetInterval(p, k), std::to_string(p) + ":" + std::to_string(k)) << p << "/" << k;
        EXPECT_EQ(store.FilledRowCount(p), CProgramStore::kRows);
        EXPECT_TRUE(store.IsModified(p));
    }
    // Program 0 is not downloaded, and the last program's rows 21 to 31 have nowhere to go.
    for (int p : {0, 9, 10}) {
        for (int r = 0; r < CProgramStore::kRows; ++r)
            EXPECT_EQ(store.GetFirstSetting(p, r), kNone) << p << "/" << r;
        EXPECT_FALSE(store.IsModified(p)) << p;
    }
}

TEST(TransferReplies, LateRowsOfOneProgramDoNotOverwriteTheNext) {
    // Answers may arrive late and out of order: program 2's rows first, then program 1's rows 21 to 31.
    CProgramStore store;
    ASSERT_TRUE(ParseTransferReply("L?20012", store));
    ASSERT_TRUE(ParseTransferReply("L?12133", store));
    EXPECT_EQ(store.GetFirstSetting(2, 0), 1);
    EXPECT_EQ(store.GetSecondSetting(2, 0), 2);
}

} // namespace

// ---- the three sequences as operations: their order of writes, pauses and window messages

TEST(TransferOperations, TheDownloadArmsThenAsksEachRequestAtThePaceAndLetsMessagesRun) {
    const CDeviceOperation download = DownloadOperation();
    const auto& steps = download.Steps();
    ASSERT_EQ(steps.size(), 1u + 3u * kDownloadRequests);
    EXPECT_EQ(steps[0].m_eStep, CDeviceOperation::EStep::Arm);
    for (std::size_t i = 1; i < steps.size(); i += 3) {
        EXPECT_EQ(steps[i].m_eStep, CDeviceOperation::EStep::Write) << i;
        EXPECT_EQ(steps[i + 1].m_eStep, CDeviceOperation::EStep::Wait) << i;
        EXPECT_EQ(steps[i + 1].m_wait, kTransferPace) << i;
        EXPECT_EQ(steps[i + 2].m_eStep, CDeviceOperation::EStep::Pump) << i;
    }
    const std::vector<std::string> commands = download.Commands();
    EXPECT_EQ(commands.front(), "?L100\r");
    EXPECT_EQ(commands[31], "?L131\r");
    EXPECT_EQ(commands[32], "?L200\r");
    EXPECT_EQ(commands[255], "?L831\r");
    EXPECT_EQ(commands[256], "?C10\r");
    EXPECT_EQ(commands[265], "?C19\r");
    EXPECT_EQ(commands.back(), "?C89\r");
}

TEST(TransferOperations, UploadsSendRowsOrIntervalsEachWithItsOwnOrderOfPaceAndMessages) {
    CProgramStore store;
    store.ApplyProgramFile(3, "10;2;1;1:30;\r\n9;0;0;10:00;\r\n");
    const CDeviceOperation details = UploadDetailsOperation(store, 3);
    using EStep = CDeviceOperation::EStep;
    const std::vector<CDeviceOperation::CStep> detailSteps = {
        {EStep::Write, "=L30021\r", {}}, {EStep::Pump, {}, {}}, {EStep::Wait, {}, kTransferPace},
        {EStep::Write, "=L30100\r", {}}, {EStep::Pump, {}, {}}, {EStep::Wait, {}, kTransferPace}};
    EXPECT_EQ(details.Steps(), detailSteps);

    store.SetRowCount(0);
    EXPECT_TRUE(UploadDetailsOperation(store, 3).Steps().empty()); // nothing to send, the file is still saved

    CIntervalTexts texts{"1:30", "10:00", "Break", "", "0:45", "1", "2", "3", "4", "5"};
    const CDeviceOperation intervals = UploadIntervalsOperation(3, texts);
    ASSERT_EQ(intervals.Steps().size(), 20u);
    for (std::size_t i = 0; i < intervals.Steps().size(); i += 2) {
        EXPECT_EQ(intervals.Steps()[i].m_eStep, EStep::Write);
        EXPECT_EQ(intervals.Steps()[i + 1], (CDeviceOperation::CStep{EStep::Wait, {}, kTransferPace}));
    }
    EXPECT_EQ(intervals.Commands()[0], "=W30130\r");
    EXPECT_EQ(intervals.Commands()[1], "=W311000\r");
    EXPECT_EQ(intervals.Commands()[2], "=W32Break\r");
    EXPECT_EQ(intervals.Commands()[3], "=W33\r");
    EXPECT_EQ(intervals.Commands()[9], "=W395\r");
}
