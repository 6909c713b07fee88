// What Qt makes of a logical resolution other than 96 dots per inch (QT_ENABLE_HIGHDPI_SCALING=0 with a desktop
// set to 120 or 144): the dialog font grows with it, and so do the list columns, whose widths the dialogs give in
// pixels at 96. Run at 96 with the other dialog tests, and again at 120 and 144 on an offscreen screen of that
// resolution (tests/window/CMakeLists.txt), with KALVORA_TEST_LOGICAL_DPI naming it.

#include "window/DialogDriver.h" // the dialog tests' main function

#include "res/Resource.h"
#include "window/Dialog.h"

#include <QGuiApplication>
#include <QScreen>

#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

// The resolution the run was started for.
int ExpectedDpi() {
    const char* pszDpi = std::getenv("KALVORA_TEST_LOGICAL_DPI");
    return pszDpi ? std::atoi(pszDpi) : 96;
}

TEST(Resolution, ListColumnsGrowWithTheLogicalResolution) {
    const int nDpi = ExpectedDpi();
    ASSERT_EQ(QGuiApplication::primaryScreen()->logicalDotsPerInchY(), nDpi)
        << "the screen of this run is not at the resolution it was started for";
    // Widths given at 96 dots per inch (those of the Read Memory and the Parameters dialogs) as they are shown.
    const std::map<int, std::vector<int>> expected = {
        {96, {60, 85, 65, 55, 80, 50}},
        {120, {75, 106, 81, 69, 100, 63}},
        {144, {90, 128, 98, 83, 120, 75}},
    };
    ASSERT_TRUE(expected.count(nDpi)) << nDpi;
    CDialog dialog(IDD_PARAMETERS);
    CDialogDriver driver(dialog);
    dialog.Create();
    auto& list = dialog.Control<CListCtrl>(IDC_PROGRAM_DETAILS);
    const std::vector<int> givenAt96 = {60, 85, 65, 55, 80, 50};
    for (int nColumn = 0; nColumn < static_cast<int>(givenAt96.size()); ++nColumn) {
        const int nWidth = givenAt96[static_cast<std::size_t>(nColumn)];
        ASSERT_EQ(list.InsertColumn(nColumn, Shown("column"), EAlign::Left, nWidth), nColumn);
    }
    std::vector<int> widths;
    for (const CDialogDriver::CColumn& column : driver.Columns(IDC_PROGRAM_DETAILS))
        widths.push_back(column.nWidth);
    EXPECT_EQ(widths, expected.at(nDpi));
}

} // namespace
