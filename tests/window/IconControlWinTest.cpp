// Windows's static control takes the size of every icon it is given. The main window's lamps keep their places: a
// lamp that keeps its rectangle (the status lamp, REALSIZEIMAGE) is kept from resizing at all, so that a new image
// repaints the lamp alone, and not the window and the group box that a resize uncovers around it. The monitor sets
// the status lamp at every tick, red after a tick without a line and green after one with a line.
//
// Qt's lamps draw their round images over the group boxes' frames, which Qt therefore repaints beneath a lamp's
// transparent corners: this rule is the Windows layer's own.

#include "window/DialogDriver.h"

#include "res/Resource.h"
#include "window/Controls.h"
#include "window/Dialog.h"

#include <gtest/gtest.h>

#include <chrono>
#include <vector>

namespace {

using namespace std::chrono_literals;

constexpr auto kPaintTime = 100ms;

// Everything around the lamps: the boxes, the labels and the controls beside them.
const int kAround[] = {IDC_GROUP_MONITOR, IDC_GROUP_LIGHT,    IDC_LABEL_STATUS,  IDC_LABEL_MONITORING,
                       IDC_MONITOR_ON,    IDC_MONITOR_OFF,    IDC_DISPLAY_LARGE, IDC_DISPLAY_SMALL,
                       IDC_LEAD_TIME,     IDC_LAST_START_TIME};

TEST(IconControl, ANewImageRepaintsTheLampAloneWhichKeepsItsRectangle) {
    CDialog dialog(IDD_MAIN_CONSOLE);
    CDialogDriver driver(dialog);
    dialog.Create();
    ASSERT_TRUE(driver.WaitFor([&] { return driver.IsShown(); }));
    driver.Wait(kPaintTime);
    const int lamps[] = {IDC_STATUS_LAMP, IDC_LIGHT_1, IDC_LIGHT_2, IDC_LIGHT_3};
    const int images[] = {IDI_LAMP_GREEN, IDI_LAMP_RED, IDI_LAMP_GREEN, IDI_LAMP_YELLOW, IDI_LAMP_OFF};
    for (const int nLamp : lamps) {
        SCOPED_TRACE(nLamp);
        const CDialogDriver::CRect rect = driver.Look(nLamp).rect;
        for (const int nImage : images) {
            SCOPED_TRACE(nImage);
            driver.ResetPaintCounts();
            dialog.Control<CStatic>(nLamp).SetIcon(nImage);
            driver.Wait(kPaintTime);
            EXPECT_EQ(driver.IconId(nLamp), nImage);
            EXPECT_EQ(driver.Look(nLamp).rect, rect);
            EXPECT_GT(driver.PaintCount(nLamp), 0);
            for (const int nId : kAround)
                EXPECT_EQ(driver.PaintCount(nId), 0) << nId << " repainted";
        }
    }
}

} // namespace
