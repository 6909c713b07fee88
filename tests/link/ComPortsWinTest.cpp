// The COM Port Settings list on Windows: every number from 1 to 20 opens its own "\\.\COM<n>", and a port the
// system knows is named by its device.

#include "link/ComPorts.h"
#include "link/SerialPort.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

struct SEntryTextRow {
    int nPort;
    const char* pszDeviceName;
    const char* pszText;
};

TEST(ComPortsWin, AnEntryNamesThePortByItsDevice) {
    const SEntryTextRow rows[] = {
        {3, "USB Serial Port (COM3)", "COM 3 - USB Serial Port"},
        {1, "Communications Port (COM1)", "COM 1 - Communications Port"},
        {12, "Prolific USB-to-Serial Comm Port (COM12) ", "COM 12 - Prolific USB-to-Serial Comm Port"},
        {4, "USB Serial Port (COM3)", "COM 4 - USB Serial Port (COM3)"}, // another port's number stays
        {5, "Bluetooth link", "COM 5 - Bluetooth link"},
        {7, "", "COM 7"},
        {7, "(COM7)", "COM 7"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(ComPortEntryText(row.nPort, row.pszDeviceName), row.pszText) << row.pszDeviceName;
}

TEST(ComPortsWin, TheListHasEveryNumberAndItsDeviceAndAssignsNothing) {
    CTempDir dir;
    AssignComNumbers(dir.Path(), kSerialByIdDirectory);
    EXPECT_TRUE(std::filesystem::is_empty(dir.Path())); // Windows numbers its ports itself
    const std::vector<CComPortEntry> entries = DescribeComPorts(dir.Path(), kSerialByIdDirectory);
    ASSERT_EQ(entries.size(), static_cast<std::size_t>(kComPortCount));
    for (int nPort = 1; nPort <= kComPortCount; ++nPort) {
        const CComPortEntry& entry = entries[static_cast<std::size_t>(nPort - 1)];
        const std::string strNumber = "COM " + std::to_string(nPort);
        const bool bPlain = entry.m_strText == strNumber;
        const bool bNamed = entry.m_strText.rfind(strNumber + " - ", 0) == 0;
        EXPECT_TRUE(bPlain || bNamed) << entry.m_strText;
        EXPECT_EQ(entry.m_strDevice, "\\\\.\\COM" + std::to_string(nPort));
    }
}

} // namespace
