// A dialog moved to a monitor of another scale (WM_DPICHANGED, which the system sends a per-monitor aware program):
// it looks as a dialog made on that monitor does. The reference is the dialog manager itself: the same template
// with its font's points scaled by the change (8 points at 144 dots per inch are 12 at 96, the same character
// height), made beside the program's dialog at the resolution of the test's screen. Then what the program adds: the
// digital displays keep the display font at the new size, the lamps and the About picture are drawn at it, the list
// columns grow by the change, the window takes the place the system suggests with the client area of the dialog made
// there; and back on the first monitor everything is as it was.

#include "window/DialogDriver.h"

#include "app/AboutDlg.h"
#include "console/MainConsoleDlg.h"
#include "memory/ReadMemoryDlg.h"
#include "programs/ParametersDlg.h"
#include "res/Resource.h"
#include "tests/support/DialogTesting.h"
#include "tests/support/PngFile.h"
#include "window/Resources.h"
#include "window/win32/DialogBuilder.h"
#include "window/win32/Win32Window.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr int kIconPixelsAt96 = 32;
// Windows 10's WM_GETDPISCALEDSIZE.
constexpr UINT kGetDpiScaledSize = 0x02E4;

// A control's rectangle in its dialog's client area.
RECT ClientRectOf(HWND hWnd) {
    RECT rect{};
    GetWindowRect(hWnd, &rect);
    MapWindowPoints(nullptr, GetParent(hWnd), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

bool operator==(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

std::string Describe(const RECT& rect) {
    return std::to_string(rect.left) + "," + std::to_string(rect.top) + " " + std::to_string(rect.right - rect.left) +
           "x" + std::to_string(rect.bottom - rect.top);
}

// The character height of the font a window uses, in pixels.
int FontPixels(HWND hWnd) {
    const auto hFont = reinterpret_cast<HFONT>(SendMessageW(hWnd, WM_GETFONT, 0, 0));
    if (!hFont)
        return 0;
    const HDC hDC = CreateCompatibleDC(nullptr);
    const HGDIOBJ hPrevious = SelectObject(hDC, hFont);
    TEXTMETRICW metrics{};
    GetTextMetricsW(hDC, &metrics);
    SelectObject(hDC, hPrevious);
    DeleteDC(hDC);
    return metrics.tmHeight - metrics.tmInternalLeading;
}

INT_PTR CALLBACK ReferenceProc(HWND, UINT nMessage, WPARAM, LPARAM) {
    return nMessage == WM_INITDIALOG ? TRUE : FALSE;
}

// The dialog manager's own dialog of the template as it makes it at nDpi, where the test's screen has nScreenDpi:
// the template's points scaled by their ratio. Its controls in template order.
class CReferenceDialog {
public:
    CReferenceDialog(CDialogTemplate dialogTemplate, int nDpi, int nScreenDpi) {
        dialogTemplate.nFontPoints = dialogTemplate.nFontPoints * nDpi / nScreenDpi;
        const std::vector<DWORD> bytes = CDialogBuilder(dialogTemplate).Build();
        m_hDlg = CreateDialogIndirectParamW(GetModuleHandleW(nullptr), reinterpret_cast<LPCDLGTEMPLATEW>(bytes.data()),
                                            nullptr, ReferenceProc, 0);
        if (m_hDlg)
            m_controls = ChildWindows(m_hDlg);
    }
    ~CReferenceDialog() {
        if (m_hDlg)
            DestroyWindow(m_hDlg);
    }
    CReferenceDialog(const CReferenceDialog&) = delete;
    CReferenceDialog& operator=(const CReferenceDialog&) = delete;

    const std::vector<HWND>& Controls() const { return m_controls; }
    RECT ClientRect() const {
        RECT client{};
        GetClientRect(m_hDlg, &client);
        return client;
    }

private:
    HWND m_hDlg = nullptr;
    std::vector<HWND> m_controls;
};

// What each control of a dialog shows: its rectangle, its font's height, its icon's size.
struct CControlState {
    RECT rect{};
    int nFontPixels = 0;
    int nImageWidth = 0;
};

std::vector<CControlState> StateOf(CDialog& dialog, const CDialogDriver& driver) {
    std::vector<CControlState> states;
    const auto& impl = dialog.GetDialogImpl();
    for (std::size_t i = 0; i < impl.controls.size(); ++i) {
        const CWnd::Impl& control = *impl.controls[i];
        CControlState state;
        state.rect = ClientRectOf(control.hWnd);
        state.nFontPixels = FontPixels(control.hWnd);
        if (control.kind == EControlKind::Icon && control.nId > 0)
            state.nImageWidth = driver.Look(control.nId).nImageWidth;
        states.push_back(state);
    }
    return states;
}

std::vector<int> ColumnWidths(const CDialogDriver& driver, int nListId) {
    std::vector<int> widths;
    for (const CDialogDriver::CColumn& column : driver.Columns(nListId))
        widths.push_back(column.nWidth);
    return widths;
}

// The window moved to a monitor of nDpi, as the system tells it: the new resolution and the rectangle it suggests,
// the window's own scaled about its top left corner.
RECT MoveToResolution(CDialog& dialog, int nFromDpi, int nDpi) {
    const HWND hDlg = dialog.GetDialogImpl().hDlg;
    RECT window{};
    GetWindowRect(hDlg, &window);
    RECT suggested{window.left, window.top, window.left + MulDiv(window.right - window.left, nDpi, nFromDpi),
                   window.top + MulDiv(window.bottom - window.top, nDpi, nFromDpi)};
    SendMessageW(hDlg, WM_DPICHANGED, MAKEWPARAM(nDpi, nDpi), reinterpret_cast<LPARAM>(&suggested));
    return suggested;
}

// The main window as it shows a countdown, for its picture: the displays and the lamps lit.
void ShowACountdown(CDialog& main) {
    main.Control<CEdit>(IDC_DISPLAY_LARGE).SetWindowText("0:30");
    main.Control<CEdit>(IDC_DISPLAY_SMALL).SetWindowText("4");
    main.Control<CStatic>(IDC_LIGHT_2).SetIcon(IDI_LAMP_YELLOW);
    main.Control<CStatic>(IDC_STATUS_LAMP).SetIcon(IDI_LAMP_GREEN);
}

// Where the pictures go, or nothing when none is asked for.
std::optional<std::string> ScreenshotDirectory() {
    const char* pszDirectory = std::getenv("KALVORA_SCREENSHOT_DIR");
    if (!pszDirectory || !*pszDirectory)
        return std::nullopt;
    return std::string(pszDirectory);
}

// A dialog of the program, opened over its files, with the lists it has.
struct CDialogCase {
    const char* pszName;
    std::function<std::unique_ptr<CDialog>()> make;
    std::map<int, std::vector<int>> columnsAt96; // list, its columns' widths at 96 dots per inch
};

class Resolution : public testing::TestWithParam<int> {};

TEST_P(Resolution, AMovedDialogLooksAsOneMadeAtTheNewResolution) {
    const int nDpi = GetParam();
    const std::vector<CDialogCase> cases = {
        {"main window", [] { return std::make_unique<CMainConsoleDlg>(); }, {}},
        {"Read Memory", [] { return std::make_unique<CReadMemoryDlg>(); }, {{IDC_MEMORY_LIST, {60, 85, 65}}}},
        {"Parameters",
         [] { return std::make_unique<CParametersDlg>(); },
         {{IDC_PROGRAM_DETAILS, {55, 80, 50}}, {IDC_INTERVALS, {50, 60}}}},
        {"About", [] { return std::make_unique<CAboutDlg>(); }, {}},
    };
    for (const CDialogCase& dialogCase : cases) {
        SCOPED_TRACE(dialogCase.pszName);
        CDialogFiles files;
        std::unique_ptr<CDialog> dialog = dialogCase.make();
        CDialogDriver driver(*dialog);
        dialog->Create();
        ASSERT_TRUE(driver.IsShown());
        const int nScreenDpi = DpiOf(dialog->GetDialogImpl().hDlg);
        ASSERT_EQ(nScreenDpi, 96) << "the reference dialogs are made at 96 dots per inch";
        const std::vector<CControlState> before = StateOf(*dialog, driver);
        std::map<int, std::vector<int>> columnsBefore;
        for (const auto& [nList, widths] : dialogCase.columnsAt96) {
            EXPECT_EQ(ColumnWidths(driver, nList), widths) << nList;
            columnsBefore[nList] = ColumnWidths(driver, nList);
        }

        // Asked first (Windows 10) what size it will take there: its client area as the dialog manager's there, in
        // the system's frame at that resolution.
        SIZE proposed{};
        const bool bProposed = SendMessageW(dialog->GetDialogImpl().hDlg, kGetDpiScaledSize, static_cast<WPARAM>(nDpi),
                                            reinterpret_cast<LPARAM>(&proposed)) != 0;
        const RECT suggested = MoveToResolution(*dialog, nScreenDpi, nDpi);
        RECT window{};
        GetWindowRect(dialog->GetDialogImpl().hDlg, &window);
        EXPECT_EQ(window.left, suggested.left) << "at the place the system suggests";
        EXPECT_EQ(window.top, suggested.top) << "at the place the system suggests";
        const CReferenceDialog reference(dialog->Template(), nDpi, nScreenDpi);
        ASSERT_EQ(reference.Controls().size(), dialog->Template().controls.size());
        const std::vector<CControlState> after = StateOf(*dialog, driver);
        RECT client{};
        GetClientRect(dialog->GetDialogImpl().hDlg, &client);
        EXPECT_TRUE(client == reference.ClientRect())
            << "the client area of the dialog made there, " << Describe(reference.ClientRect()) << ", not "
            << Describe(client);
        RECT framed = reference.ClientRect();
        using AdjustFunction = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
        static const auto adjust = User32Function<AdjustFunction>("AdjustWindowRectExForDpi");
        if (adjust && adjust(&framed, static_cast<DWORD>(GetWindowLongPtrW(dialog->GetDialogImpl().hDlg, GWL_STYLE)),
                             FALSE, static_cast<DWORD>(GetWindowLongPtrW(dialog->GetDialogImpl().hDlg, GWL_EXSTYLE)),
                             static_cast<UINT>(nDpi))) {
            EXPECT_TRUE(bProposed);
            EXPECT_EQ(proposed.cx, framed.right - framed.left) << "the size proposed for the new monitor";
            EXPECT_EQ(proposed.cy, framed.bottom - framed.top) << "the size proposed for the new monitor";
        }
        for (std::size_t i = 0; i < after.size(); ++i) {
            const CControlTemplate& control = dialog->Template().controls[i];
            SCOPED_TRACE("control " + std::to_string(control.nId) + " (" + control.strText + ")");
            const HWND hReference = reference.Controls()[i];
            const RECT expected = ClientRectOf(hReference);
            if (control.kind == EControlKind::Icon && !control.Has(EControlStyle::RealSizeImage)) {
                // A lamp takes its icon's size at its place.
                EXPECT_EQ(after[i].rect.left, expected.left);
                EXPECT_EQ(after[i].rect.top, expected.top);
                EXPECT_EQ(after[i].rect.right - after[i].rect.left, ScaleForDpi(kIconPixelsAt96, nDpi));
            } else if (control.kind == EControlKind::Picture) {
                EXPECT_EQ(after[i].rect.left, expected.left);
                EXPECT_EQ(after[i].rect.top, expected.top);
            } else {
                EXPECT_TRUE(after[i].rect == expected)
                    << "made there: " << Describe(expected) << ", moved there: " << Describe(after[i].rect);
            }
            EXPECT_LE(after[i].rect.right, client.right) << "inside the window";
            EXPECT_LE(after[i].rect.bottom, client.bottom) << "inside the window";
            if (control.nId == IDC_DISPLAY_LARGE || control.nId == IDC_DISPLAY_SMALL) {
                EXPECT_EQ(after[i].nFontPixels, DisplayFontPixels(nDpi)) << "the display font, at the new size";
                const std::string strFace = driver.Look(control.nId).strFontFace;
                EXPECT_TRUE(strFace.starts_with("DS")) << strFace;
            } else if (control.kind != EControlKind::Icon && control.kind != EControlKind::Picture) {
                EXPECT_EQ(after[i].nFontPixels, FontPixels(hReference)) << "the dialog font at the new resolution";
            }
            if (control.kind == EControlKind::Icon && control.nId > 0) {
                EXPECT_EQ(after[i].nImageWidth, ScaleForDpi(kIconPixelsAt96, nDpi)) << "the lamp drawn at it";
            }
        }
        for (const auto& [nList, widths] : dialogCase.columnsAt96) {
            std::vector<int> scaled;
            for (const int nWidth : widths)
                scaled.push_back(ScaleForDpi(nWidth, nDpi));
            EXPECT_EQ(ColumnWidths(driver, nList), scaled) << nList;
        }
        if (const auto strDirectory = ScreenshotDirectory();
            strDirectory && dialog->Template().nId == IDD_MAIN_CONSOLE) {
            ShowACountdown(*dialog);
            CDialogDriver::Wait(std::chrono::milliseconds{100});
            EXPECT_TRUE(WritePngFile(*strDirectory + "/main-window-windows-96-to-" + std::to_string(nDpi) + "dpi.png",
                                     driver.Snapshot(0)));
        }

        // Back on the first monitor: as it was made there.
        MoveToResolution(*dialog, nDpi, nScreenDpi);
        const std::vector<CControlState> back = StateOf(*dialog, driver);
        for (std::size_t i = 0; i < back.size(); ++i) {
            SCOPED_TRACE("back at 96, control " + std::to_string(dialog->Template().controls[i].nId));
            EXPECT_TRUE(back[i].rect == before[i].rect) << Describe(before[i].rect) << " -> " << Describe(back[i].rect);
            EXPECT_EQ(back[i].nFontPixels, before[i].nFontPixels);
            EXPECT_EQ(back[i].nImageWidth, before[i].nImageWidth);
        }
        for (const auto& [nList, widths] : columnsBefore)
            EXPECT_EQ(ColumnWidths(driver, nList), widths) << nList;
    }
}

// A picture the program gave a control (the Live Page dialog's QR code) is drawn again for the control's new size:
// the template's own image, which such a control does not have, must not replace it.
TEST_P(Resolution, APictureOfTheProgramIsDrawnAgainAtTheNewSize) {
    const int nDpi = GetParam();
    CDialogFiles files;
    CDialog dialog(IDD_LIVE_PAGE);
    CDialogDriver driver(dialog);
    dialog.Create();
    ASSERT_TRUE(driver.IsShown());
    CMonochromePicture picture{21, 21, std::vector<bool>(21 * 21)};
    for (int i = 0; i < 21; ++i)
        picture.dark[static_cast<std::size_t>(i * 21 + i)] = true; // a diagonal
    dialog.Control<CStatic>(IDC_LIVE_QR_CODE).SetPicture(picture);
    const auto sizeOfControl = [&] {
        const RECT rect = ClientRectOf(GetDlgItem(dialog.GetDialogImpl().hDlg, IDC_LIVE_QR_CODE));
        return std::pair{static_cast<int>(rect.right - rect.left), static_cast<int>(rect.bottom - rect.top)};
    };
    const auto sizeOfImage = [&] {
        const CDialogDriver::CLook look = driver.Look(IDC_LIVE_QR_CODE);
        return std::pair{look.nImageWidth, look.nImageHeight};
    };
    ASSERT_EQ(sizeOfImage(), sizeOfControl());
    for (const auto& [nFrom, nTo] : {std::pair{96, nDpi}, std::pair{nDpi, 96}}) {
        SCOPED_TRACE(std::to_string(nFrom) + " to " + std::to_string(nTo) + " dots per inch");
        MoveToResolution(dialog, nFrom, nTo);
        EXPECT_EQ(sizeOfImage(), sizeOfControl()) << "the picture fills the control at its new size";
    }
}

INSTANTIATE_TEST_SUITE_P(Monitors, Resolution, testing::Values(120, 144));

// The pictures of the README, when KALVORA_SCREENSHOT_DIR asks for them: the main window and the Read Memory dialog
// as they open at the screen's resolution (ResolutionScreenshots.sh runs this at 96, 120 and 144 dots per inch).
TEST(ResolutionScreenshot, TheWindowsAsTheyOpenAtTheScreensResolution) {
    const auto strDirectory = ScreenshotDirectory();
    if (!strDirectory)
        GTEST_SKIP() << "KALVORA_SCREENSHOT_DIR is not set";
    const std::string strDpi = std::to_string(SystemDpi()) + "dpi";
    CDialogFiles files;
    {
        CMainConsoleDlg main;
        CDialogDriver driver(main);
        main.Create();
        ShowACountdown(main);
        CDialogDriver::Wait(std::chrono::milliseconds{100});
        EXPECT_TRUE(WritePngFile(*strDirectory + "/main-window-windows-" + strDpi + ".png", driver.Snapshot(0)));
    }
    {
        CReadMemoryDlg memory;
        CDialogDriver driver(memory);
        memory.Create();
        auto& list = memory.Control<CListCtrl>(IDC_MEMORY_LIST);
        const char* rows[][3] = {{"0001", " 10:14:00.00", "0:00:00"},
                                 {"0002", " 10:15:30.25", "0:01:30"},
                                 {"0003", " 10:17:00.50", "0:01:30"}};
        for (int nRow = 0; nRow < 3; ++nRow) {
            for (int nColumn = 0; nColumn < 3; ++nColumn)
                list.SetItemText(nRow, nColumn, rows[nRow][nColumn]);
        }
        CDialogDriver::Wait(std::chrono::milliseconds{100});
        EXPECT_TRUE(WritePngFile(*strDirectory + "/read-memory-windows-" + strDpi + ".png", driver.Snapshot(0)));
    }
}

} // namespace
