// The window layer's own rules, through its interface and the test driver alone: how a template becomes a dialog,
// how controls keep and give back their values, what reaches a dialog's handlers (the user's actions, never the
// program's own settings), the manners of a dialog (Enter, Escape, the close box, timers, the menu), the texts of
// both kinds, message boxes and the display font. What only Qt draws is tested in the *QtTest files beside this one.

#include "window/DialogDriver.h"

#include "base/Files.h"
#include "i18n/Language.h"
#include "i18n/TranslateWindow.h"
#include "res/Resource.h"
#include "tests/support/DialogTesting.h"
#include "tests/support/TempDir.h"
#include "window/Controls.h"
#include "window/Dialog.h"
#include "window/MessageBox.h"
#include "window/Resources.h"
#include "window/Text.h"
#include "window/common/DialogUnits.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <map>
#include <ostream>
#include <set>
#include <string>
#include <tuple>
#include <vector>

using namespace std::chrono_literals;

void PrintTo(const CDialogDriver::CRect& rect, std::ostream* out) {
    *out << "{" << rect.x << ", " << rect.y << ", " << rect.cx << ", " << rect.cy << "}";
}

namespace {

using Clock = std::chrono::steady_clock;
using CRect = CDialogDriver::CRect;
constexpr int F = CListCtrl::kStateFocused;
constexpr int S = CListCtrl::kStateSelected;

// A change of a list row's state as the dialog's handler got it.
struct CItemChange {
    int nRow = 0;
    int nOld = 0;
    int nNew = 0;
};

// A dialog that records what the framework calls on it: the commands of four push buttons, a choice in any of the
// drop-downs of the templates, a row's change in any of their lists, OK, Cancel, the close box, timers and the
// window menu.
class CProbeDlg : public CDialog {
public:
    explicit CProbeDlg(int nTemplateId, bool bEndInInit = false) : CDialog(nTemplateId), m_bEndInInit(bEndInInit) {
        OnCommand(IDC_MONITOR_ON, &CProbeDlg::Record<IDC_MONITOR_ON>);
        OnCommand(IDC_MONITOR_OFF, &CProbeDlg::Record<IDC_MONITOR_OFF>);
        OnCommand(IDC_EXIT, &CProbeDlg::Record<IDC_EXIT>);
        OnCommand(IDC_CHANGE_INTERVAL, &CProbeDlg::Record<IDC_CHANGE_INTERVAL>);
        OnCommand(IDC_LIVE_SHARE, &CProbeDlg::Record<IDC_LIVE_SHARE>);
        WatchChoices<IDC_PROGRAM, IDC_COUNTDOWN_NUMBER, IDC_COM_PORT_LIST, IDC_BAUD_RATE_LIST, IDC_SELECT_PROGRAM,
                     IDC_FIRST_SETTING, IDC_SECOND_SETTING>();
        WatchRows<IDC_MEMORY_LIST, IDC_PROGRAM_DETAILS, IDC_INTERVALS>();
    }

    std::vector<std::string> m_calls;
    std::vector<CItemChange> m_itemChanges;
    std::vector<std::pair<int, Clock::time_point>> m_ticks; // timer id, when it ticked
    int m_nInits = 0;
    std::function<void()> m_duringInit;

    int TicksOf(int nId) const {
        return static_cast<int>(
            std::count_if(m_ticks.begin(), m_ticks.end(), [nId](const auto& tick) { return tick.first == nId; }));
    }

protected:
    template <int N>
    void Record() {
        m_calls.push_back("command " + std::to_string(N));
    }
    template <int N>
    void Chosen() {
        m_calls.push_back("selchange " + std::to_string(N));
    }
    template <int N>
    void RowChanged(int nRow, int nOld, int nNew) {
        m_calls.push_back("itemchanged " + std::to_string(N));
        m_itemChanges.push_back({nRow, nOld, nNew});
    }
    // The handlers of those of the drop-downs and lists the template has.
    template <int... Ids>
    void WatchChoices() {
        ((Item<CComboBox>(Ids) ? OnSelChange(Ids, &CProbeDlg::Chosen<Ids>) : void()), ...);
    }
    template <int... Ids>
    void WatchRows() {
        ((Item<CListCtrl>(Ids) ? OnItemChanged(Ids, &CProbeDlg::RowChanged<Ids>) : void()), ...);
    }

    bool OnInitDialog() override {
        ++m_nInits;
        if (m_duringInit)
            m_duringInit();
        CDialog::OnInitDialog();
        if (m_bEndInInit)
            EndDialog(IDCANCEL);
        return true;
    }
    void OnOK() override {
        m_calls.push_back("OnOK");
        CDialog::OnOK();
    }
    void OnCancel() override {
        m_calls.push_back("OnCancel");
        CDialog::OnCancel();
    }
    void OnClose() override {
        m_calls.push_back("OnClose");
        CDialog::OnClose();
    }
    void OnEnterKey() override {
        m_calls.push_back("OnEnterKey");
        CDialog::OnEnterKey();
    }
    void OnTimer(int nId) override { m_ticks.emplace_back(nId, Clock::now()); }
    void OnSysCommand(int nId) override { m_calls.push_back("syscommand " + std::to_string(nId)); }

private:
    bool m_bEndInInit;
};

CDialogTemplate SourceTemplate(int nId) {
    const auto text = ReadFileBytes(std::string(KALVORA_SOURCE_DIR) + "/res/dialogs/" + std::to_string(nId) + ".dlg");
    const auto parsed = text ? ParseDialogTemplate(*text) : std::nullopt;
    if (!parsed)
        ADD_FAILURE() << "res/dialogs/" << nId << ".dlg is missing or malformed";
    return parsed.value_or(CDialogTemplate{});
}

CDialogUnits UnitsOf(const CDialogDriver& driver) {
    return CDialogUnits(driver.BaseUnitX(), driver.BaseUnitY());
}

CRect Converted(const CDialogUnits& units, int x, int y, int cx, int cy) {
    return {units.X(x), units.Y(y), units.X(cx), units.Y(cy)};
}

CRect Converted(const CDialogUnits& units, const CControlTemplate& control) {
    return Converted(units, control.x, control.y, control.cx, control.cy);
}

// Whether the control object is of the interface's class for its kind.
bool IsOfItsClass(CWnd* control, EControlKind kind) {
    using K = EControlKind;
    // clang-format off
    switch (kind) {
    case K::PushButton: case K::CheckBox: case K::GroupBox: return dynamic_cast<CButton*>(control);
    case K::Label: case K::Icon: case K::Picture: return dynamic_cast<CStatic*>(control);
    case K::Edit: return dynamic_cast<CEdit*>(control);
    case K::DropDownList: case K::DropDown: return dynamic_cast<CComboBox*>(control);
    case K::Spin: return dynamic_cast<CSpinButtonCtrl*>(control);
    case K::ListView: return dynamic_cast<CListCtrl*>(control);
    case K::Progress: return dynamic_cast<CProgressCtrl*>(control);
    }
    // clang-format on
    return false;
}

// The language of the translation test; the tables are empty again afterwards, whatever the test did.
class CTestLanguage {
public:
    CTestLanguage() {
        m_files.Write("identifiers.ini",
                      "[Identifiers]\nIDD_MAIN_CONSOLE=102\nIDC_MONITOR_ON=1000\nIDC_MONITOR_OFF=1023\n"
                      "IDC_COUNTDOWN_TIME=1011\nIDC_PROGRAM=1010\nIDC_SLAVE=1036\nIDC_GROUP_MONITOR=1057\n"
                      "IDC_LABEL_LAST_START_TIME=1060\nIDC_LABEL_MONITORING=1062\n"
                      "IDC_STATUS_LAMP=1042\nIDC_STATIC=-1\n");
        m_files.Write("lng_Test.ini", "[Strings]\nIDD_MAIN_CONSOLE=Konsole\nIDC_MONITOR_ON=Ein\nIDC_MONITOR_OFF=?Aus\n"
                                      "IDC_COUNTDOWN_TIME=9:99\nIDC_PROGRAM=Programm\nIDC_SLAVE=Sklave\n"
                                      "IDC_GROUP_MONITOR=Echtzeit\nIDC_LABEL_LAST_START_TIME=<b>x</b>\n"
                                      "IDC_LABEL_MONITORING=Zwei\\nZeilen\nIDC_STATUS_LAMP=138\nIDC_STATIC=Statisch\n");
    }
    ~CTestLanguage() { LoadLanguage("none-loaded"); }
    CTestLanguage(const CTestLanguage&) = delete;
    CTestLanguage& operator=(const CTestLanguage&) = delete;

private:
    CDialogFiles m_files;
};

// Each control named holds the rule for its look (the identifier given for the rules that name it).
using LookRule = std::function<bool(int nId, const CDialogDriver::CLook& look)>;
void ExpectLooks(const CDialogDriver& driver,
                 const std::vector<std::tuple<const char*, std::vector<int>, LookRule>>& rows) {
    for (const auto& [pszRule, ids, holds] : rows) {
        for (const int nId : ids)
            EXPECT_TRUE(holds(nId, driver.Look(nId))) << pszRule << ": " << nId;
    }
}

// ---- building

TEST(WindowLayer, DialogUnitsConvertLikeTheWindowSystem) {
    struct CRow {
        const char* pszName;
        int nBaseX, nBaseY, nUnits, nX, nY;
    };
    // MS Sans Serif 8 at 96 dpi has the bases 6 and 13.
    const std::vector<CRow> rows = {
        // clang-format off
        {"main window width/height", 6, 13, 352, 528, 572}, {"height 243", 6, 13, 243, 365, 395},
        {"zero", 6, 13, 0, 0, 0},                           {"1: 1.5 and 1.625 round up", 6, 13, 1, 2, 2},
        {"3: 4.5 rounds up", 6, 13, 3, 5, 5},               {"4: 6.5 rounds up", 6, 13, 4, 6, 7},
        {"14 at 7/13", 7, 13, 14, 25, 23},                  {"62 at 7/13", 7, 13, 62, 109, 101},
        // clang-format on
    };
    for (const CRow& row : rows) {
        const CDialogUnits units(row.nBaseX, row.nBaseY);
        EXPECT_EQ(units.X(row.nUnits), row.nX) << row.pszName;
        EXPECT_EQ(units.Y(row.nUnits), row.nY) << row.pszName;
    }
    // The horizontal base is the average width of the 52 letters, rounded: 311 / 52 = 5.98, 337 / 52 = 6.48.
    EXPECT_EQ(CDialogUnits::BaseXFromAlphabetWidth(311), 6);
    EXPECT_EQ(CDialogUnits::BaseXFromAlphabetWidth(337), 6);
    EXPECT_EQ(CDialogUnits::BaseXFromAlphabetWidth(338), 7);
}

// The bases are those of the template's font: every control of every dialog has that one font, the window's client
// area is the template's size converted with the bases, and the bases fit the font's height.
TEST(WindowLayer, UnitsComeFromTheDialogFont) {
    int nFontPixels = 0;
    for (const int nId :
         {IDD_ABOUTBOX, IDD_MAIN_CONSOLE, IDD_READ_MEMORY, IDD_COM_PORT, IDD_PARAMETERS, IDD_LIVE_PAGE}) {
        SCOPED_TRACE(nId);
        CDialog dialog(nId);
        const CDialogDriver driver(dialog);
        const CDialogUnits units = UnitsOf(driver);
        EXPECT_EQ(driver.ClientRect(), Converted(units, 0, 0, dialog.Template().cx, dialog.Template().cy));
        for (const CControlTemplate& control : dialog.Template().controls) {
            const CDialogDriver::CLook look = driver.Look(control.nId);
            if (nFontPixels == 0)
                nFontPixels = look.nFontPixels;
            EXPECT_EQ(look.nFontPixels, nFontPixels) << control.nId;
        }
        // A font's height holds its character height and some leading; a letter is narrower than it is high.
        EXPECT_GE(driver.BaseUnitY(), nFontPixels);
        EXPECT_LE(driver.BaseUnitY(), 2 * nFontPixels);
        EXPECT_GE(driver.BaseUnitX(), nFontPixels / 4);
        EXPECT_LT(driver.BaseUnitX(), driver.BaseUnitY());
    }
    EXPECT_GT(nFontPixels, 0);
}

TEST(WindowLayer, EveryTemplateBuildsItsControls) {
    for (const int nTemplateId :
         {IDD_ABOUTBOX, IDD_MAIN_CONSOLE, IDD_READ_MEMORY, IDD_COM_PORT, IDD_PARAMETERS, IDD_LIVE_PAGE}) {
        SCOPED_TRACE(nTemplateId);
        const CDialogTemplate expected = SourceTemplate(nTemplateId);
        ASSERT_TRUE(LoadDialogTemplate(nTemplateId)) << "the embedded template is missing or differs";
        CDialog dialog(nTemplateId);
        const CDialogDriver driver(dialog);
        EXPECT_EQ(driver.Title(), ShownAsData(expected.strCaption));
        const CDialogUnits units = UnitsOf(driver);
        EXPECT_EQ(driver.ClientRect(), Converted(units, 0, 0, expected.cx, expected.cy));

        ASSERT_EQ(dialog.Controls().size(), expected.controls.size());
        for (std::size_t i = 0; i < expected.controls.size(); ++i) {
            const CControlTemplate& control = expected.controls[i];
            SCOPED_TRACE(control.nId);
            CWnd* wnd = dialog.Controls()[i];
            EXPECT_EQ(wnd->GetDlgCtrlID(), control.nId);
            EXPECT_TRUE(IsOfItsClass(wnd, control.kind));
            EXPECT_EQ(wnd->IsWindowVisible(), !control.Has(EControlStyle::Hidden));
            EXPECT_EQ(wnd->IsWindowEnabled(), !control.Has(EControlStyle::Disabled));
            EXPECT_NE(dialog.GetDlgItem(control.nId), nullptr);
            // Identifier -1 is shared by labels and pictures: the look is that of the first.
            if (control.nId == IDC_STATIC && dialog.GetDlgItem(IDC_STATIC) != wnd)
                continue;
            const CDialogDriver::CLook look = driver.Look(control.nId);
            EXPECT_EQ(look.kind, control.kind);
            // Images take their own size (a picture, an icon without REALSIZEIMAGE); a drop-down is its field alone,
            // lower than its dropped list; a spin and its buddy share the buddy's place (SpinSitsAtTheRightEdge...).
            // A picture of the program's own keeps its place and starts empty.
            const bool bIcon = control.kind == EControlKind::Icon;
            const bool bOwnPicture = control.kind == EControlKind::Picture && control.nImage == 0;
            const bool bPicture = control.kind == EControlKind::Picture && !bOwnPicture;
            CRect want = Converted(units, control);
            if (bOwnPicture) {
                EXPECT_EQ(look.nImageWidth, 0);
                EXPECT_EQ(look.nImageHeight, 0);
            }
            if (bIcon || bPicture) {
                EXPECT_EQ(look.nImageWidth, bIcon ? 32 : 68);
                EXPECT_EQ(look.nImageHeight, bIcon ? 32 : 43);
                if (bPicture || !control.Has(EControlStyle::RealSizeImage))
                    want = {want.x, want.y, bIcon ? 32 : 68, bIcon ? 32 : 43};
            }
            if (control.kind == EControlKind::DropDownList || control.kind == EControlKind::DropDown) {
                EXPECT_LT(look.rect.cy, want.cy);
                EXPECT_GT(look.rect.cy, 0);
                want.cy = look.rect.cy;
            }
            const bool bSpinOrBuddy =
                control.kind == EControlKind::Spin ||
                (i + 1 < expected.controls.size() && expected.controls[i + 1].kind == EControlKind::Spin);
            EXPECT_TRUE(bSpinOrBuddy || look.rect == want) << ::testing::PrintToString(look.rect);
        }
        EXPECT_EQ(dialog.GetDlgItem(4711), nullptr);
    }
}

TEST(WindowLayer, MainWindowControlsCarryTheirStyles) {
    using K = EControlKind;
    using L = CDialogDriver::CLook;
    CDialog dialog(IDD_MAIN_CONSOLE);
    CDialogDriver driver(dialog);
    ExpectLooks(driver, {
                            // clang-format off
        {"flat push buttons Tab reaches, Exit the default", {1000, 1023, 1014, 1012, 1034, 1035, 1036, 1100, 1021, 1009,
         1016, 1072, 1018, 1019}, [](int nId, const L& l) {
             return l.kind == K::PushButton && l.bFlat && l.bTabStop && l.bDefault == (nId == IDC_EXIT); }},
        {"read-only edits", {1011, 1001, 1002, 1008, 1006, 1007, 1033}, [](int, const L& l) { return l.bReadOnly; }},
        {"the brightness: digits only", {IDC_BRIGHTNESS}, [](int, const L& l) { return !l.bReadOnly && l.bDigitsOnly; }},
        {"displays right-aligned", {IDC_DISPLAY_LARGE, IDC_DISPLAY_SMALL}, [](int, const L& l) {
             return l.align == EAlign::Right; }},
        {"the clock centred", {IDC_PC_TIME}, [](int, const L& l) { return l.align == EAlign::Center; }},
        {"the countdown time left", {IDC_COUNTDOWN_TIME}, [](int, const L& l) { return l.align == EAlign::Left; }},
        {"sorted drop-down lists", {IDC_PROGRAM, IDC_COUNTDOWN_NUMBER}, [](int, const L& l) {
             return l.kind == K::DropDownList && !l.bEditable && l.bSorted && l.nVisibleItems >= 3 &&
                    l.nVisibleItems <= 8; }},
        {"lamps 32 by 32", {IDC_LIGHT_1, IDC_LIGHT_2, IDC_LIGHT_3, IDC_STATUS_LAMP}, [](int, const L& l) {
             return l.nImageWidth == 32 && l.nImageHeight == 32; }},
        {"a label two lines high wraps", {IDC_LABEL_COUNTDOWN_NUMBER}, [](int, const L& l) { return l.bWordWrap; }},
        {"a label one line high does not", {IDC_LABEL_START_NUMBER}, [](int, const L& l) { return !l.bWordWrap; }},
        {"labels take no focus", {IDC_LABEL_STATUS}, [](int, const L& l) { return !l.bTabStop; }},
                            // clang-format on
                        });
    EXPECT_EQ(driver.IconId(IDC_STATUS_LAMP), IDI_LAMP_OFF);
    dialog.Create();
    EXPECT_FALSE(driver.Focus(IDC_LABEL_STATUS));
}

TEST(WindowLayer, OtherDialogsControlsCarryTheirStyles) {
    using L = CDialogDriver::CLook;
    CProbeDlg parameters(IDD_PARAMETERS);
    CDialogDriver driver(parameters);
    std::vector<int> buttons;
    for (const CControlTemplate& control : parameters.Template().controls) {
        if (control.kind == EControlKind::PushButton)
            buttons.push_back(control.nId);
    }
    ExpectLooks(driver, {
                            // clang-format off
        {"a drop-down with edit", {IDC_SELECT_PROGRAM}, [](int, const L& l) { return l.bEditable; }},
        {"unsorted", {IDC_FIRST_SETTING}, [](int, const L& l) { return !l.bSorted; }},
        {"no text on the progress bar", {IDC_PROGRESS}, [](int, const L& l) { return !l.bProgressText; }},
        {"lists of several rows, framed", {IDC_PROGRAM_DETAILS, IDC_INTERVALS}, [](int, const L& l) {
             return l.bMultiSelect && l.bBorder; }},
        {"flat and multi-line", {IDC_UPLOAD_INTERVALS}, [](int, const L& l) { return l.bFlat && l.bMultiLine; }},
        {"not flat", {IDC_CHANGE_INTERVAL}, [](int, const L& l) { return !l.bFlat; }},
        {"no default button", buttons, [](int, const L& l) { return !l.bDefault; }},
                            // clang-format on
                        });
    EXPECT_FALSE(driver.IsVisible(IDC_PAINT));
    // A text typed into a drop-down with edit never becomes an entry of its own, not even with Enter (which,
    // without a default button, is OK).
    parameters.Create();
    EXPECT_TRUE(driver.Type(IDC_SELECT_PROGRAM, "P7"));
    EXPECT_TRUE(driver.Key(IDC_SELECT_PROGRAM, EKey::Enter));
    EXPECT_TRUE(driver.Entries(IDC_SELECT_PROGRAM).empty());
    EXPECT_EQ(parameters.m_calls, (std::vector<std::string>{"OnEnterKey", "OnOK"}));

    CDialog port(IDD_COM_PORT);
    const CDialogDriver portDriver(port);
    EXPECT_FALSE(portDriver.IsEnabled(IDC_BAUD_RATE_LIST));
    EXPECT_TRUE(portDriver.IsEnabled(IDC_COM_PORT_LIST));
    EXPECT_TRUE(portDriver.Look(IDOK).bDefault);
    CDialog memory(IDD_READ_MEMORY);
    EXPECT_TRUE(CDialogDriver(memory).Look(IDC_MEMORY_LIST).bBorder);
}

TEST(WindowLayer, TabOrderIsTemplateOrder) {
    CDialog dialog(IDD_MAIN_CONSOLE);
    CDialogDriver driver(dialog);
    std::vector<int> tabStops;
    for (const auto& control : dialog.Template().controls) {
        if (control.Has(EControlStyle::TabStop))
            tabStops.push_back(control.nId);
    }
    EXPECT_EQ(tabStops.size(), std::size_t{24}); // 14 push buttons, 2 lists, 8 edits
    dialog.Create();
    EXPECT_EQ(driver.TabOrder(), tabStops);
}

// ---- controls

// The spin takes the right end of its buddy's rectangle, and the buddy gives it the room. The system's up-down has
// a width of its own (one pixel either side of 11 dialog units) and lies over the buddy's sunken border, up to 2
// pixels of it, so that the pair may end that much short of the rectangle's right edge.
TEST(WindowLayer, SpinSitsAtTheRightEdgeOfItsBuddy) {
    CDialog dialog(IDD_MAIN_CONSOLE);
    CDialogDriver driver(dialog);
    const auto spin = driver.Look(IDC_BRIGHTNESS_SPIN);
    EXPECT_EQ(spin.nBuddyId, IDC_BRIGHTNESS);
    const CDialogUnits units = UnitsOf(driver);
    const CRect buddyTemplate = Converted(units, 13, 190, 47, 14);
    constexpr int kBuddyBorder = 2;
    const int nRight = buddyTemplate.x + buddyTemplate.cx;
    EXPECT_LE(spin.rect.x + spin.rect.cx, nRight);
    EXPECT_GE(spin.rect.x + spin.rect.cx, nRight - kBuddyBorder);
    EXPECT_NEAR(spin.rect.cx, units.X(11), 1);
    EXPECT_EQ(spin.rect.y, buddyTemplate.y);
    EXPECT_EQ(spin.rect.cy, buddyTemplate.cy);
    const CRect buddy = driver.Look(IDC_BRIGHTNESS).rect;
    EXPECT_EQ((CRect{buddy.x, buddy.y, 0, buddy.cy}), (CRect{buddyTemplate.x, buddyTemplate.y, 0, buddyTemplate.cy}));
    // The buddy ends where the spin begins, or under it by its border at most.
    EXPECT_GE(buddy.x + buddy.cx, spin.rect.x);
    EXPECT_LE(buddy.x + buddy.cx, spin.rect.x + kBuddyBorder);
    EXPECT_FALSE(spin.bTabStop);
    dialog.Create();
    EXPECT_FALSE(driver.Focus(IDC_BRIGHTNESS_SPIN));
}

TEST(WindowLayer, SpinWritesItsPositionIntoTheBuddy) {
    CProbeDlg dialog(IDD_MAIN_CONSOLE);
    CDialogDriver driver(dialog);
    dialog.Create();
    auto& spin = dialog.Control<CSpinButtonCtrl>(IDC_BRIGHTNESS_SPIN);
    auto& buddy = dialog.Control<CEdit>(IDC_BRIGHTNESS);
    int nLower = -1, nUpper = -1;
    spin.GetRange(nLower, nUpper);
    EXPECT_EQ(nLower, 0);
    EXPECT_EQ(nUpper, 100);
    spin.SetRange(0, 9);
    EXPECT_EQ(spin.SetPos(9), 0);
    EXPECT_EQ(driver.Text(IDC_BRIGHTNESS), "9");

    struct CRow {
        EKey key;             // pressed in the buddy, or
        int nStep;            // a step of the spin
        const char* pszTyped; // typed into the emptied buddy first, or null
        const char* pszExpected;
    };
    const std::vector<CRow> rows = {
        // clang-format off
        {EKey::Down, 0, nullptr, "8"}, {EKey::Down, 0, nullptr, "7"}, {EKey::Up, 0, nullptr, "8"},
        {EKey::Up, 0, nullptr, "9"},
        {EKey::Up, 0, nullptr, "9"},   // stops at the upper end
        {EKey::Up, 0, "3", "4"},       // takes a typed number inside the range
        {EKey::Up, 0, "57", "5"},      // a number beyond the range is ignored: 4 + 1
        {EKey::Down, 0, "", "4"},      // so is an empty field
        {EKey::Down, 0, "0", "0"},     // stops at the lower end
        {EKey::None, +1, nullptr, "1"}, {EKey::None, -1, nullptr, "0"}, {EKey::None, -1, nullptr, "0"},
        // clang-format on
    };
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const CRow& row = rows[i];
        SCOPED_TRACE(i);
        if (row.pszTyped) {
            buddy.SetWindowText("");
            EXPECT_TRUE(driver.Type(IDC_BRIGHTNESS, row.pszTyped));
        }
        EXPECT_TRUE(row.nStep ? driver.Step(IDC_BRIGHTNESS_SPIN, row.nStep) : driver.Key(IDC_BRIGHTNESS, row.key));
        EXPECT_EQ(driver.Text(IDC_BRIGHTNESS), row.pszExpected);
        EXPECT_EQ(std::to_string(spin.GetPos()), driver.Text(IDC_BRIGHTNESS));
    }
    // A program's text that is not a number: the step goes on from the position.
    buddy.SetWindowText("x");
    EXPECT_TRUE(driver.Step(IDC_BRIGHTNESS_SPIN, +1));
    EXPECT_EQ(driver.Text(IDC_BRIGHTNESS), "1");
    EXPECT_EQ(spin.SetPos(-5), 1);
    EXPECT_EQ(spin.GetPos(), 0);
    EXPECT_EQ(driver.Text(IDC_BRIGHTNESS), "0");
    EXPECT_TRUE(dialog.m_calls.empty());
}

TEST(WindowLayer, DigitsOnlyEditAcceptsNumbersBeyondTheSpinRange) {
    CDialog dialog(IDD_MAIN_CONSOLE);
    CDialogDriver driver(dialog);
    dialog.Create();
    auto& buddy = dialog.Control<CEdit>(IDC_BRIGHTNESS);
    buddy.SetWindowText("");
    EXPECT_TRUE(driver.Type(IDC_BRIGHTNESS, "1a2-b3"));
    EXPECT_EQ(driver.Text(IDC_BRIGHTNESS), "123");
    buddy.SetWindowText("x"); // the program may still put any text there
    EXPECT_EQ(buddy.GetWindowText(), "x");
}

TEST(WindowLayer, ComboAddsAtTheSortedPlace) {
    struct CRow {
        const char* pszName;
        int nTemplateId;
        int nComboId;
        std::vector<std::string> added;
        std::vector<std::string> shown;
        std::vector<int> positions;
    };
    const std::vector<std::string> programs = {"P0",  "P1",  "P2",  "P3",  "P4", "P5", "P60",
                                               "P61", "P62", "P63", "P64", "P7", "P8"};
    const std::vector<CRow> rows = {
        // clang-format off
        {"program list order is its sorted order", IDD_MAIN_CONSOLE, IDC_PROGRAM, programs, programs,
         {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}},
        {"sorted, case ignored, equal texts in order of adding", IDD_MAIN_CONSOLE, IDC_PROGRAM,
         {"b", "C", "a", "B"}, {"a", "b", "B", "C"}, {0, 1, 0, 2}},
        {"unsorted keeps the order of adding", IDD_COM_PORT, IDC_COM_PORT_LIST,
         {"COM 2", "COM 10", "COM 1"}, {"COM 2", "COM 10", "COM 1"}, {0, 1, 2}},
        {"unsorted with edit", IDD_PARAMETERS, IDC_FIRST_SETTING,
         {"Red", "Green", "Amber"}, {"Red", "Green", "Amber"}, {0, 1, 2}},
        // clang-format on
    };
    for (const CRow& row : rows) {
        SCOPED_TRACE(row.pszName);
        CProbeDlg dialog(row.nTemplateId);
        const CDialogDriver driver(dialog);
        dialog.Create();
        auto& combo = dialog.Control<CComboBox>(row.nComboId);
        combo.ResetContent();
        std::vector<int> returned;
        for (const std::string& text : row.added)
            returned.push_back(combo.AddString(text));
        EXPECT_EQ(driver.Entries(row.nComboId), row.shown);
        EXPECT_EQ(returned, row.positions);
        EXPECT_EQ(combo.GetCount(), static_cast<int>(row.shown.size()));
        EXPECT_EQ(combo.GetCurSel(), -1); // adding selects nothing
        EXPECT_EQ(combo.SetCurSel(1), 1);
        EXPECT_EQ(driver.Selection(row.nComboId), 1);
        EXPECT_EQ(combo.GetLBText(1), row.shown[1]);
        EXPECT_EQ(combo.SetCurSel(combo.GetCount()), -1);
        EXPECT_EQ(combo.GetCurSel(), -1);
        EXPECT_EQ(combo.GetLBText(combo.GetCount()), "");
        EXPECT_TRUE(dialog.m_calls.empty());
    }
}

TEST(WindowLayer, ComboWithEditKeepsItsTextWhenEntriesAreAdded) {
    for (const bool bTyped : {false, true}) {
        SCOPED_TRACE(bTyped ? "typed by the user" : "set by the program");
        CDialog dialog(IDD_PARAMETERS);
        CDialogDriver driver(dialog);
        dialog.Create();
        auto& combo = dialog.Control<CComboBox>(IDC_FIRST_SETTING);
        if (bTyped)
            EXPECT_TRUE(driver.Type(IDC_FIRST_SETTING, "typed"));
        else
            combo.SetWindowText("typed");
        combo.AddString("Red");
        EXPECT_EQ(combo.GetWindowText(), "typed");
        EXPECT_EQ(combo.GetCurSel(), -1);
    }
}

// For each state bit, every row that lost it did so before any row gained it.
void ExpectLossesBeforeGains(const std::vector<CItemChange>& changes) {
    for (const int nBit : {S, F}) {
        bool bGained = false;
        for (const CItemChange& change : changes) {
            const bool bLoses = (change.nOld & nBit) && !(change.nNew & nBit);
            const bool bGains = !(change.nOld & nBit) && (change.nNew & nBit);
            EXPECT_FALSE(bLoses && bGained) << "row " << change.nRow << " loses bit " << nBit << " after a gain";
            bGained = bGained || bGains;
        }
    }
}

TEST(WindowLayer, ListCtrlHoldsRowsAndReportsStates) {
    CProbeDlg dialog(IDD_PARAMETERS);
    CDialogDriver driver(dialog);
    dialog.Create();
    auto& list = dialog.Control<CListCtrl>(IDC_INTERVALS);
    EXPECT_EQ(list.InsertColumn(0, Shown("CD No"), EAlign::Center, 50), 0);
    EXPECT_EQ(list.InsertColumn(1, Shown("CD Time"), EAlign::Center, 60), 1);
    EXPECT_EQ(list.InsertColumn(5, Shown("gap"), EAlign::Left, 10), -1);
    EXPECT_EQ(list.GetColumnCount(), 2);
    EXPECT_EQ(driver.Headings(IDC_INTERVALS), (std::vector<std::string>{"CD No", "CD Time"}));
    for (int nRow = 0; nRow < 10; ++nRow)
        EXPECT_EQ(list.InsertItem(nRow, "CD" + std::to_string(nRow)), nRow);
    EXPECT_EQ(list.InsertItem(99, "end"), 10);
    EXPECT_EQ(list.GetItemCount(), 11);
    EXPECT_TRUE(list.SetItemText(3, 1, "1:30"));
    EXPECT_FALSE(list.SetItemText(3, 2, "no column"));
    EXPECT_FALSE(list.SetItemText(42, 1, "no row"));
    EXPECT_EQ(list.GetItemText(3, 0), "CD3");
    EXPECT_EQ(driver.ItemText(IDC_INTERVALS, 3, 1), "1:30");
    EXPECT_EQ(list.GetItemText(42, 0), "");
    EXPECT_EQ(list.GetNextSelected(), -1);

    // The program's states: several rows can be selected, one is focused; no handler hears of it.
    list.SetItemState(2, S | F, S | F);
    EXPECT_EQ(list.GetItemState(2), S | F);
    list.SetItemState(4, S | F, S | F);
    EXPECT_EQ(list.GetItemState(2), S);
    EXPECT_EQ(list.GetItemState(4), S | F);
    EXPECT_EQ(list.GetNextSelected(), 2);
    EXPECT_EQ(list.GetNextSelected(2), 4);
    EXPECT_EQ(list.GetNextSelected(4), -1);
    list.SetItemState(2, 0, S);
    EXPECT_EQ(list.GetItemState(2), 0);
    EXPECT_TRUE(dialog.m_calls.empty());

    // The user's click: that row alone selected and focused; the handler hears every change, row by row, each from
    // the state the row had, the losses before the gains.
    std::map<int, int> states;
    for (int nRow = 0; nRow < list.GetItemCount(); ++nRow)
        states[nRow] = list.GetItemState(nRow);
    EXPECT_TRUE(driver.ClickRow(IDC_INTERVALS, 5));
    EXPECT_EQ(list.GetItemState(5), S | F);
    EXPECT_EQ(list.GetItemState(4), 0);
    EXPECT_EQ(driver.Selection(IDC_INTERVALS), 5);
    ASSERT_FALSE(dialog.m_itemChanges.empty());
    std::set<int> touched;
    for (const CItemChange& change : dialog.m_itemChanges) {
        SCOPED_TRACE(change.nRow);
        EXPECT_EQ(change.nOld, states[change.nRow]);
        EXPECT_NE(change.nOld, change.nNew);
        states[change.nRow] = change.nNew;
        touched.insert(change.nRow);
    }
    EXPECT_EQ(touched, (std::set<int>{4, 5}));
    for (const auto& [nRow, nState] : states)
        EXPECT_EQ(list.GetItemState(nRow), nState) << nRow;
    ExpectLossesBeforeGains(dialog.m_itemChanges);
    EXPECT_EQ(dialog.m_calls, std::vector<std::string>(dialog.m_itemChanges.size(), "itemchanged 1029"));

    dialog.m_calls.clear();
    list.DeleteAllItems();
    EXPECT_EQ(list.GetItemCount(), 0);
    EXPECT_TRUE(dialog.m_calls.empty());
    EXPECT_FALSE(driver.ClickRow(IDC_INTERVALS, 0));
}

// What a control gives back is what was set, whatever it shows: a label keeps its mnemonics, a drop-down list and an
// icon keep a text they do not show.
// A picture of the program's own: every square the same whole number of pixels, as large as the control allows,
// centred, dark black and light white; the rest of the control white; an empty picture leaves it blank.
TEST(WindowLayer, PictureShowsItsSquaresInWholePixels) {
    CDialog dialog(IDD_LIVE_PAGE);
    const CDialogDriver driver(dialog);
    dialog.Create();
    // Five by three squares, a dark frame around one light row with a dark square in its middle.
    CMonochromePicture picture;
    picture.cx = 5;
    picture.cy = 3;
    const char* const rows[] = {"#####", "#.#.#", "#####"};
    for (const char* row : rows) {
        for (int x = 0; x < picture.cx; ++x)
            picture.dark.push_back(row[x] == '#');
    }
    CStatic& control = dialog.Control<CStatic>(IDC_LIVE_QR_CODE);
    control.SetPicture(picture);
    const CMonochromePicture shown = driver.ShownPicture(IDC_LIVE_QR_CODE);
    ASSERT_FALSE(shown.IsEmpty()) << "this window implementation cannot draw offscreen";
    const CDialogDriver::CLook look = driver.Look(IDC_LIVE_QR_CODE);
    EXPECT_EQ(shown.cx, look.rect.cx);
    EXPECT_EQ(shown.cy, look.rect.cy);
    const int nSquare = PictureSquarePixels(picture, shown.cx, shown.cy);
    EXPECT_EQ(nSquare, std::min(shown.cx / 5, shown.cy / 3));
    EXPECT_GE(nSquare, 2);
    // The dark pixels are exactly the picture's squares, scaled and centred (the first and last row and column of
    // pixels of each square are left out: a frame the control may draw lies there).
    int nLeft = shown.cx, nTop = shown.cy;
    for (int y = 0; y < shown.cy; ++y) {
        for (int x = 0; x < shown.cx; ++x) {
            if (shown.IsDark(x, y)) {
                nLeft = std::min(nLeft, x);
                nTop = std::min(nTop, y);
            }
        }
    }
    EXPECT_NEAR(nLeft, (shown.cx - 5 * nSquare) / 2, 1);
    EXPECT_NEAR(nTop, (shown.cy - 3 * nSquare) / 2, 1);
    int nWrong = 0;
    for (int y = 1; y < shown.cy - 1; ++y) {
        for (int x = 1; x < shown.cx - 1; ++x) {
            const int sx = (x - nLeft) / nSquare, sy = (y - nTop) / nSquare;
            const bool bInside = x >= nLeft && y >= nTop && sx < 5 && sy < 3;
            nWrong += shown.IsDark(x, y) != (bInside && picture.IsDark(sx, sy)) ? 1 : 0;
        }
    }
    EXPECT_EQ(nWrong, 0);
    control.SetPicture(CMonochromePicture{});
    const CMonochromePicture blank = driver.ShownPicture(IDC_LIVE_QR_CODE);
    EXPECT_EQ(std::count(blank.dark.begin(), blank.dark.end(), true), 0);
}

TEST(WindowLayer, ControlTextFollowsTheWindowSystem) {
    struct CRow {
        int nTemplateId;
        int nControlId; // 0: the dialog itself
        const char* pszText;
    };
    const std::vector<CRow> rows = {
        // clang-format off
        {IDD_MAIN_CONSOLE, IDC_LABEL_PROGRAM, "A&&B &Cd"}, {IDD_ABOUTBOX, IDC_ABOUT_VERSION, "R&D <i>1</i>"},
        {IDD_MAIN_CONSOLE, IDC_GROUP_MODE, "Betrieb"},     {IDD_MAIN_CONSOLE, IDC_COUNTDOWN_TIME, "1:30"},
        {IDD_MAIN_CONSOLE, IDC_EXIT, "E&xit"},             {IDD_MAIN_CONSOLE, IDC_PROGRAM, "P9"},
        {IDD_MAIN_CONSOLE, IDC_STATUS_LAMP, "137"},        {IDD_PARAMETERS, IDC_FIRST_SETTING, "Rot"},
        {IDD_PARAMETERS, IDC_PROGRESS, "50"},              {IDD_PARAMETERS, IDC_INTERVALS, "rows"},
        {IDD_MAIN_CONSOLE, IDC_BRIGHTNESS_SPIN, "spin"},   {IDD_MAIN_CONSOLE, 0, "Konsole"},
        // clang-format on
    };
    for (const CRow& row : rows) {
        SCOPED_TRACE(row.nControlId);
        CDialog dialog(row.nTemplateId);
        const CDialogDriver driver(dialog);
        CWnd& wnd = row.nControlId ? *dialog.GetDlgItem(row.nControlId) : dialog;
        wnd.SetWindowText(row.pszText);
        EXPECT_EQ(wnd.GetWindowText(), row.pszText);
        EXPECT_EQ(row.nControlId ? driver.Text(row.nControlId) : driver.Title(), row.pszText);
    }
    // A drop-down list shows no such text and gains no entry; the lamp keeps its icon.
    CDialog dialog(IDD_MAIN_CONSOLE);
    const CDialogDriver driver(dialog);
    dialog.GetDlgItem(IDC_PROGRAM)->SetWindowText("P9");
    EXPECT_TRUE(driver.Entries(IDC_PROGRAM).empty());
    EXPECT_EQ(driver.Selection(IDC_PROGRAM), -1);
    dialog.GetDlgItem(IDC_STATUS_LAMP)->SetWindowText("137");
    EXPECT_EQ(driver.IconId(IDC_STATUS_LAMP), IDI_LAMP_OFF);
    EXPECT_EQ(driver.Look(IDC_STATUS_LAMP).nImageWidth, 32);
    auto& lamp = dialog.Control<CStatic>(IDC_STATUS_LAMP);
    lamp.SetIcon(IDI_LAMP_GREEN);
    EXPECT_EQ(lamp.GetIcon(), IDI_LAMP_GREEN);
    EXPECT_EQ(driver.IconId(IDC_STATUS_LAMP), IDI_LAMP_GREEN);
}

// Texts cross the layer as bytes: data one byte per character, shown texts as UTF-8 when they are valid UTF-8.
TEST(WindowLayer, TextsOfBothKinds) {
    struct CRow {
        const char* pszName;
        std::string bytes;
        std::u16string shown; // WidenShown; WidenData is always one character per byte
        std::string shownAsData;
    };
    const std::vector<CRow> rows = {
        {"empty", "", u"", ""},
        {"ASCII", "COM 1 & <b>", u"COM 1 & <b>", "COM 1 & <b>"},
        {"valid UTF-8 within Latin-1", "\xC3\x9Cnd", u"\u00DCnd", "\xDCnd"},
        {"a lone Latin-1 byte is not UTF-8", "\xDCnd", u"\u00DCnd", "\xDCnd"},
        {"bytes 0x80 to 0x9F stay themselves", "\x80\x8D\x9F", u"\u0080\u008D\u009F", "\x80\x8D\x9F"},
        {"valid UTF-8 beyond Latin-1", "\xE2\x82\xAC 5", u"\u20AC 5", "? 5"},
        {"beyond U+FFFF is one character", "a\xF0\x9F\x98\x80z", u"a\U0001F600z", "a?z"},
        {"overlong form", "\xC0\xAF", u"\u00C0\u00AF", "\xC0\xAF"},
        {"overlong three bytes", "\xE0\x80\xAF", u"\u00E0\u0080\u00AF", "\xE0\x80\xAF"},
        {"surrogate encoded", "\xED\xA0\x80", u"\u00ED\u00A0\u0080", "\xED\xA0\x80"},
        {"beyond U+10FFFF", "\xF4\x90\x80\x80", u"\u00F4\u0090\u0080\u0080", "\xF4\x90\x80\x80"},
        {"cut short", "ab\xE2\x82", u"ab\u00E2\u0082", "ab\xE2\x82"},
        {"valid then invalid: all bytes", "\xC3\x9C\xFF", u"\u00C3\u009C\u00FF", "\xC3\x9C\xFF"},
        {"continuation byte alone", "\x9C", u"\u009C", "\x9C"},
    };
    for (const CRow& row : rows) {
        SCOPED_TRACE(row.pszName);
        std::u16string data;
        for (const char c : row.bytes)
            data += static_cast<char16_t>(static_cast<unsigned char>(c));
        EXPECT_EQ(WidenData(row.bytes), data);
        EXPECT_EQ(NarrowToData(WidenData(row.bytes)), row.bytes);
        EXPECT_TRUE(WidenShown(row.bytes) == row.shown);
        EXPECT_EQ(ShownAsData(row.bytes), row.shownAsData);
        EXPECT_TRUE(Widen(Shown(row.bytes)) == row.shown);
        EXPECT_EQ(Widen(std::string_view(row.bytes)), data);
    }
    struct CNarrow {
        std::u16string text;
        std::string bytes;
    };
    const std::vector<CNarrow> narrowed = {
        // clang-format off
        {u"\u00FF\u0001", "\xFF\x01"}, {u"\u0100", "?"}, {u"\xD800", "?"}, {u"\xD83D\xDE00!", "?!"},
        {u"\xDE00\xD83D", "??"}, {std::u16string(1, u'\0'), std::string(1, '\0')},
        // clang-format on
    };
    for (const CNarrow& row : narrowed)
        EXPECT_EQ(NarrowToData(row.text), row.bytes);
    std::string all;
    for (int nByte = 0; nByte <= 0xFF; ++nByte)
        all += static_cast<char>(nByte);
    EXPECT_EQ(NarrowToData(WidenData(all)), all);
}

TEST(WindowLayer, EveryByteRoundTripsThroughAnEdit) {
    std::string all;
    for (int nByte = 0x01; nByte <= 0xFF; ++nByte)
        all += static_cast<char>(nByte);
    CDialog dialog(IDD_PARAMETERS);
    const CDialogDriver driver(dialog);
    auto& edit = dialog.Control<CEdit>(IDC_INTERVAL_TEXT);
    edit.SetWindowText(all);
    EXPECT_EQ(edit.GetWindowText(), all);
    EXPECT_EQ(driver.Text(IDC_INTERVAL_TEXT), all);
    for (int nByte = 0x01; nByte <= 0xFF; ++nByte) {
        const std::string one(1, static_cast<char>(nByte));
        edit.SetWindowText(one);
        EXPECT_EQ(edit.GetWindowText(), one) << "byte " << nByte;
    }
    // A shown text comes back as data: its characters, one byte each.
    edit.SetWindowText(Shown("\xC3\x9Cnd \xE2\x82\xAC"));
    EXPECT_EQ(edit.GetWindowText(), "\xDCnd ?");
}

// ---- setting never fires

// Whatever the program sets calls no handler; the dialog's handlers hear the user alone.
TEST(WindowLayer, SettingNeverFires) {
    // Each row sets something and tells whether it took effect.
    using Setting = std::function<bool(CDialog&, const CDialogDriver&)>;
    const auto list = [](CDialog& dialog) -> CListCtrl& {
        auto& items = dialog.Control<CListCtrl>(IDC_INTERVALS);
        items.InsertColumn(0, Shown("CD No"), EAlign::Center, 50);
        for (int nRow = 0; nRow < 5; ++nRow)
            items.InsertItem(nRow, std::to_string(nRow));
        return items;
    };
    const auto combo = [](CDialog& dialog, int nId) -> CComboBox& {
        auto& entries = dialog.Control<CComboBox>(nId);
        for (const char* pszEntry : {"P1", "P2", "P3"})
            entries.AddString(pszEntry);
        return entries;
    };
    const std::vector<std::tuple<const char*, int, Setting>> rows = {
        // clang-format off
        {"SetWindowText of an edit", IDD_MAIN_CONSOLE, [](CDialog& d, const CDialogDriver& v) {
             d.GetDlgItem(IDC_BRIGHTNESS)->SetWindowText("42"); return v.Text(IDC_BRIGHTNESS) == "42"; }},
        {"SetWindowText of a drop-down's edit field", IDD_PARAMETERS, [](CDialog& d, const CDialogDriver& v) {
             d.GetDlgItem(IDC_SELECT_PROGRAM)->SetWindowText("P3"); return v.Text(IDC_SELECT_PROGRAM) == "P3"; }},
        {"SetWindowText of the dialog", IDD_COM_PORT, [](CDialog& d, const CDialogDriver& v) {
             d.SetWindowText(Shown("Port")); return v.Title() == "Port"; }},
        {"AddString into an empty drop-down list", IDD_MAIN_CONSOLE, [](CDialog& d, const CDialogDriver& v) {
             d.Control<CComboBox>(IDC_PROGRAM).AddString("P0"); return v.Entries(IDC_PROGRAM).size() == 1; }},
        {"AddString into an empty drop-down with edit", IDD_PARAMETERS, [](CDialog& d, const CDialogDriver& v) {
             d.Control<CComboBox>(IDC_FIRST_SETTING).AddString(Shown("Red"));
             return v.Entries(IDC_FIRST_SETTING).size() == 1; }},
        {"SetCurSel of a drop-down list", IDD_MAIN_CONSOLE, [&](CDialog& d, const CDialogDriver& v) {
             combo(d, IDC_PROGRAM).SetCurSel(2); return v.Selection(IDC_PROGRAM) == 2; }},
        {"SetCurSel of a drop-down with edit", IDD_PARAMETERS, [&](CDialog& d, const CDialogDriver& v) {
             combo(d, IDC_FIRST_SETTING).SetCurSel(1); return v.Text(IDC_FIRST_SETTING) == "P2"; }},
        {"SetCurSel(-1) clears the choice", IDD_MAIN_CONSOLE, [&](CDialog& d, const CDialogDriver& v) {
             combo(d, IDC_COUNTDOWN_NUMBER).SetCurSel(0); d.Control<CComboBox>(IDC_COUNTDOWN_NUMBER).SetCurSel(-1);
             return v.Selection(IDC_COUNTDOWN_NUMBER) == -1; }},
        {"ResetContent of a drop-down with a choice", IDD_COM_PORT, [&](CDialog& d, const CDialogDriver& v) {
             combo(d, IDC_COM_PORT_LIST).SetCurSel(1); d.Control<CComboBox>(IDC_COM_PORT_LIST).ResetContent();
             return v.Entries(IDC_COM_PORT_LIST).empty(); }},
        {"SetPos of a spin", IDD_MAIN_CONSOLE, [](CDialog& d, const CDialogDriver& v) {
             d.Control<CSpinButtonCtrl>(IDC_BRIGHTNESS_SPIN).SetPos(7); return v.Text(IDC_BRIGHTNESS) == "7"; }},
        {"SetPos of a progress bar", IDD_PARAMETERS, [](CDialog& d, const CDialogDriver&) {
             d.Control<CProgressCtrl>(IDC_PROGRESS).SetPos(40); return d.Control<CProgressCtrl>(IDC_PROGRESS).GetPos() == 40; }},
        {"InsertItem into a list", IDD_PARAMETERS, [&](CDialog& d, const CDialogDriver& v) {
             list(d); return v.ItemCount(IDC_INTERVALS) == 5; }},
        {"SetItemState selects and focuses a row", IDD_PARAMETERS, [&](CDialog& d, const CDialogDriver& v) {
             list(d).SetItemState(3, S | F, S | F); return v.Selection(IDC_INTERVALS) == 3; }},
        {"SetItemState moves selection and focus", IDD_PARAMETERS, [&](CDialog& d, const CDialogDriver& v) {
             CListCtrl& items = list(d);
             items.SetItemState(1, S | F, S | F); items.SetItemState(1, 0, S | F); items.SetItemState(2, S | F, S | F);
             return v.Selection(IDC_INTERVALS) == 2 && items.GetItemState(1) == 0; }},
        {"DeleteAllItems with a selected, focused row", IDD_PARAMETERS, [&](CDialog& d, const CDialogDriver& v) {
             CListCtrl& items = list(d);
             items.SetItemState(4, S | F, S | F); items.DeleteAllItems(); return v.ItemCount(IDC_INTERVALS) == 0; }},
        {"SetIcon of an icon", IDD_MAIN_CONSOLE, [](CDialog& d, const CDialogDriver& v) {
             d.Control<CStatic>(IDC_LIGHT_1).SetIcon(IDI_LAMP_RED); return v.IconId(IDC_LIGHT_1) == IDI_LAMP_RED; }},
        {"SetCheck of a check box, on and off", IDD_LIVE_PAGE, [](CDialog& d, const CDialogDriver& v) {
             CButton& box = d.Control<CButton>(IDC_LIVE_SHARE);
             box.SetCheck(true); const bool bOn = v.IsChecked(IDC_LIVE_SHARE);
             box.SetCheck(false); return bOn && !v.IsChecked(IDC_LIVE_SHARE); }},
        // clang-format on
    };
    for (const auto& [pszName, nTemplateId, set] : rows) {
        SCOPED_TRACE(pszName);
        CProbeDlg dialog(nTemplateId);
        const CDialogDriver driver(dialog);
        dialog.Create();
        EXPECT_TRUE(set(dialog, driver));
        CDialogDriver::Wait(20ms); // a notification the setting queued would arrive meanwhile
        EXPECT_EQ(dialog.m_calls, std::vector<std::string>{});
    }
}

// ---- setting what a control shows

// A value the control shows already costs nothing, not even a message to the control (so no repaint and no word to a
// screen reader): the monitor sets its displays, fields and lamps ten times a second, mostly to what they show.
// Another value is shown and repainted, also after the user has changed the control meanwhile.
TEST(WindowLayer, SettingWhatAControlShowsSendsItNothing) {
    using Set = std::function<void(CDialog&, int nId, const std::string&)>;
    using Shown = std::function<std::string(const CDialogDriver&, int nId)>;
    const Set text = [](CDialog& dialog, int nId, const std::string& value) {
        dialog.GetDlgItem(nId)->SetWindowText(value);
    };
    const Shown shownText = [](const CDialogDriver& driver, int nId) {
        return driver.Text(nId);
    };
    const Set icon = [](CDialog& dialog, int nId, const std::string& value) {
        dialog.Control<CStatic>(nId).SetIcon(std::stoi(value));
    };
    const Shown shownIcon = [](const CDialogDriver& driver, int nId) {
        return std::to_string(driver.IconId(nId));
    };
    const struct {
        const char* pszName;
        int nId;
        Set set;
        Shown shown;
        std::string first;
        std::string second;
        const char* pszTyped; // what the user types into it before the second value comes again; null for none
    } rows[] = {
        {"the large display", IDC_DISPLAY_LARGE, text, shownText, "    0:15", "    0:14", nullptr},
        {"a read-only field", IDC_LEAD_TIME, text, shownText, "0:01:30", "0:01:31", nullptr},
        {"an edit the user types into", IDC_BRIGHTNESS, text, shownText, "5", "6", "7"},
        {"a label", IDC_LABEL_STATUS, text, shownText, "Status", "Zustand", nullptr},
        {"a group box", IDC_GROUP_MONITOR, text, shownText, "Monitor", "Anzeige", nullptr},
        {"a push button", IDC_EXIT, text, shownText, "Exit", "Ende", nullptr},
        {"a lamp", IDC_LIGHT_1, icon, shownIcon, std::to_string(IDI_LAMP_RED), std::to_string(IDI_LAMP_GREEN), nullptr},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.pszName);
        CDialog dialog(IDD_MAIN_CONSOLE);
        CDialogDriver driver(dialog);
        dialog.Create();
        ASSERT_TRUE(driver.WaitFor([&] { return driver.IsShown(); }));
        if (driver.MessageCount(row.nId) < 0)
            GTEST_SKIP() << "this window implementation cannot tell what reaches a control";
        row.set(dialog, row.nId, row.first);
        driver.Wait(100ms);
        driver.ResetPaintCounts();
        row.set(dialog, row.nId, row.first);
        EXPECT_EQ(driver.MessageCount(row.nId), 0) << "the same value again";
        driver.Wait(100ms);
        EXPECT_EQ(driver.PaintCount(row.nId), 0);
        EXPECT_EQ(row.shown(driver, row.nId), row.first);

        row.set(dialog, row.nId, row.second);
        driver.Wait(100ms);
        EXPECT_GT(driver.PaintCount(row.nId), 0) << "another value";
        EXPECT_EQ(row.shown(driver, row.nId), row.second);
        if (row.pszTyped) {
            ASSERT_TRUE(driver.Type(row.nId, row.pszTyped));
            ASSERT_NE(row.shown(driver, row.nId), row.second);
            row.set(dialog, row.nId, row.second);
            EXPECT_EQ(row.shown(driver, row.nId), row.second) << "after the user's typing";
        }
    }
}

TEST(WindowLayer, UsersActionFires) {
    // Each row acts on a dialog whose drop-downs hold "P1", "P2" and "P3", and tells whether the action took effect.
    using Action = std::function<bool(CDialogDriver&)>;
    const std::vector<std::tuple<const char*, int, Action, std::vector<std::string>>> rows = {
        // clang-format off
        {"Click", IDD_MAIN_CONSOLE, [](CDialogDriver& d) { return d.Click(IDC_MONITOR_OFF); }, {"command 1023"}},
        {"Choose in a drop-down list", IDD_MAIN_CONSOLE, [](CDialogDriver& d) {
             return d.Choose(IDC_PROGRAM, 1) && d.Selection(IDC_PROGRAM) == 1; }, {"selchange 1010"}},
        {"Choose the first entry", IDD_MAIN_CONSOLE, [](CDialogDriver& d) {
             return d.Choose(IDC_COUNTDOWN_NUMBER, 0) && d.Selection(IDC_COUNTDOWN_NUMBER) == 0; }, {"selchange 1017"}},
        {"Choose in a drop-down with edit", IDD_PARAMETERS, [](CDialogDriver& d) {
             return d.Choose(IDC_FIRST_SETTING, "P3") && d.Text(IDC_FIRST_SETTING) == "P3"; }, {"selchange 1036"}},
        {"Choose in a disabled list: nothing", IDD_COM_PORT, [](CDialogDriver& d) {
             return !d.Choose(IDC_BAUD_RATE_LIST, 1) && d.Selection(IDC_BAUD_RATE_LIST) == -1; }, {}},
        {"Typing into an edit: no handler", IDD_MAIN_CONSOLE, [](CDialogDriver& d) {
             return d.Type(IDC_BRIGHTNESS, "5"); }, {}},
        {"Click a check box: checked, then cleared, a command each", IDD_LIVE_PAGE, [](CDialogDriver& d) {
             const bool bChecked = d.Click(IDC_LIVE_SHARE) && d.IsChecked(IDC_LIVE_SHARE);
             return bChecked && d.Click(IDC_LIVE_SHARE) && !d.IsChecked(IDC_LIVE_SHARE); },
         {"command 1101", "command 1101"}},
        // clang-format on
    };
    for (const auto& [pszName, nTemplateId, act, calls] : rows) {
        SCOPED_TRACE(pszName);
        CProbeDlg dialog(nTemplateId);
        CDialogDriver driver(dialog);
        for (CWnd* control : dialog.Controls()) {
            if (auto* entries = dynamic_cast<CComboBox*>(control)) {
                for (const char* pszEntry : {"P1", "P2", "P3"})
                    entries->AddString(pszEntry);
            }
        }
        dialog.Create();
        EXPECT_TRUE(act(driver));
        EXPECT_EQ(dialog.m_calls, calls);
    }
    // A click on a list row: see ListCtrlHoldsRowsAndReportsStates.
}

// ---- dialog manners

TEST(WindowLayer, InitialisationRunsOnceBeforeShowingAndFocusesTheFirstTabStop) {
    const std::vector<std::pair<int, int>> rows = {
        // clang-format off
        {IDD_MAIN_CONSOLE, IDC_MONITOR_ON}, {IDD_READ_MEMORY, IDC_MEMORY_LIST}, {IDD_COM_PORT, IDC_COM_PORT_LIST},
        {IDD_PARAMETERS, IDC_SELECT_PROGRAM}, {IDD_ABOUTBOX, IDOK},
        // clang-format on
    };
    for (const auto& [nTemplateId, nFirstTabStop] : rows) {
        SCOPED_TRACE(nTemplateId);
        CProbeDlg dialog(nTemplateId);
        const CDialogDriver driver(dialog);
        bool bShownInInit = true;
        dialog.m_duringInit = [&] {
            bShownInInit = driver.IsShown();
        };
        EXPECT_EQ(dialog.m_nInits, 0);
        dialog.Create();
        dialog.Create();
        EXPECT_EQ(dialog.m_nInits, 1);
        EXPECT_FALSE(bShownInInit);
        EXPECT_TRUE(driver.IsShown());
        EXPECT_EQ(driver.FocusId(), nFirstTabStop);
        EXPECT_EQ(dialog.GetFocus(), dialog.GetDlgItem(nFirstTabStop));
    }
}

TEST(WindowLayer, DoModalReturnsTheResultOfEndDialog) {
    CProbeDlg dialog(IDD_COM_PORT);
    const CDialogDriver driver(dialog);
    bool bShownDuringRun = false;
    CDialogDriver::Later(0ms, [&] {
        bShownDuringRun = driver.IsShown();
        dialog.EndDialog(7);
    });
    EXPECT_EQ(dialog.DoModal(), 7);
    EXPECT_TRUE(bShownDuringRun);
    EXPECT_FALSE(driver.IsShown());
    EXPECT_TRUE(dialog.IsEnded());
    EXPECT_EQ(dialog.Result(), 7);

    CProbeDlg ended(IDD_COM_PORT, true); // ends in its initialisation: never shown
    const CDialogDriver endedDriver(ended);
    bool bShown = false;
    CDialogDriver::Later(0ms, [&] { bShown = endedDriver.IsShown(); });
    EXPECT_EQ(ended.DoModal(), IDCANCEL);
    CDialogDriver::Wait(20ms);
    EXPECT_FALSE(bShown);
    EXPECT_FALSE(endedDriver.IsShown());
}

TEST(WindowLayer, OkButtonAndEscapeAndCloseBoxEndTheDialog) {
    struct CRow {
        const char* pszName;
        std::function<void(CDialogDriver&)> act;
        std::vector<std::string> calls;
        int nResult;
    };
    const std::vector<CRow> rows = {
        {"OK button", [](CDialogDriver& d) { EXPECT_TRUE(d.Click(IDOK)); }, {"OnOK"}, IDOK},
        {"Escape", [](CDialogDriver& d) { EXPECT_TRUE(d.Key(0, EKey::Escape)); }, {"OnCancel"}, IDCANCEL},
        // clang-format off
        {"Escape in the list", [](CDialogDriver& d) { EXPECT_TRUE(d.Key(IDC_COM_PORT_LIST, EKey::Escape)); },
         {"OnCancel"}, IDCANCEL},
        {"Shift+Escape", [](CDialogDriver& d) { EXPECT_TRUE(d.Key(0, EKey::Escape, {.bShift = true})); },
         {"OnCancel"}, IDCANCEL},
        {"Ctrl+Escape in the list",
         [](CDialogDriver& d) { EXPECT_TRUE(d.Key(IDC_COM_PORT_LIST, EKey::Escape, {.bControl = true})); },
         {"OnCancel"}, IDCANCEL},
        // clang-format on
        // The dialog decides; here its default OnClose cancels.
        {"close box", [](CDialogDriver& d) { d.CloseBox(); }, {"OnClose", "OnCancel"}, IDCANCEL},
    };
    for (const CRow& row : rows) {
        SCOPED_TRACE(row.pszName);
        CProbeDlg dialog(IDD_COM_PORT);
        CDialogDriver driver(dialog);
        dialog.Create();
        row.act(driver);
        EXPECT_EQ(dialog.m_calls, row.calls);
        EXPECT_EQ(dialog.Result(), row.nResult);
        EXPECT_TRUE(dialog.IsEnded());
        EXPECT_FALSE(driver.IsShown());
    }
}

// Enter is one rule, decided by the dialog's OnEnterKey alone, whatever modifier is held and from the keypad too
// (the window system's dialog manager would turn Shift+Enter into OK by a rule of its own).
TEST(WindowLayer, EnterPressesTheFocusedButtonElseTheDefaultElseOk) {
    struct CRow {
        const char* pszName;
        int nTemplateId;
        int nFocused;
        int nDisabled; // a control disabled first, or 0
        std::vector<std::string> calls;
    };
    const std::vector<CRow> rows = {
        {"focused push button", IDD_MAIN_CONSOLE, IDC_MONITOR_ON, 0, {"OnEnterKey", "command 1000"}},
        {"focused default button", IDD_MAIN_CONSOLE, IDC_EXIT, 0, {"OnEnterKey", "command 1072"}},
        {"edit: the default button", IDD_MAIN_CONSOLE, IDC_BRIGHTNESS, 0, {"OnEnterKey", "command 1072"}},
        {"list: the default button", IDD_MAIN_CONSOLE, IDC_PROGRAM, 0, {"OnEnterKey", "command 1072"}},
        {"disabled default button: nothing", IDD_MAIN_CONSOLE, IDC_BRIGHTNESS, IDC_EXIT, {"OnEnterKey"}},
        {"no default button: OK", IDD_PARAMETERS, IDC_INTERVAL_TEXT, 0, {"OnEnterKey", "OnOK"}},
        {"no default button, focused button", IDD_PARAMETERS, IDC_CHANGE_INTERVAL, 0, {"OnEnterKey", "command 1019"}},
        {"default OK button", IDD_COM_PORT, IDC_COM_PORT_LIST, 0, {"OnEnterKey", "OnOK"}},
    };
    struct CVariant {
        const char* pszName;
        EKey key;
        CKeyModifiers modifiers;
    };
    const std::vector<CVariant> variants = {
        {"Enter", EKey::Enter, {}},
        {"keypad's Enter", EKey::KeypadEnter, {}},
        {"Shift+Enter", EKey::Enter, {.bShift = true}},
        {"Ctrl+Enter", EKey::Enter, {.bControl = true}},
        {"Alt+Enter", EKey::Enter, {.bAlt = true}},
        {"Ctrl+Shift+keypad's Enter", EKey::KeypadEnter, {.bShift = true, .bControl = true}},
    };
    for (const CVariant& variant : variants) {
        SCOPED_TRACE(variant.pszName);
        for (const CRow& row : rows) {
            SCOPED_TRACE(row.pszName);
            CProbeDlg dialog(row.nTemplateId);
            CDialogDriver driver(dialog);
            dialog.Create();
            if (row.nDisabled)
                dialog.GetDlgItem(row.nDisabled)->EnableWindow(false);
            EXPECT_TRUE(driver.Focus(row.nFocused));
            EXPECT_EQ(driver.FocusId(), row.nFocused);
            EXPECT_TRUE(driver.Key(row.nFocused, variant.key, variant.modifiers));
            EXPECT_EQ(dialog.m_calls, row.calls);
            EXPECT_EQ(dialog.IsEnded(), row.calls.back() == "OnOK");
        }
    }
}

// A control that has the focus hands it on before it is disabled: to the next control Tab reaches, else to the
// dialog. The keyboard still works there: Tab goes on from it, Escape ends the dialog.
TEST(WindowLayer, DisablingTheFocusedControlHandsTheFocusOn) {
    struct CRow {
        const char* pszName;
        int nTemplateId;
        int nFocused;
        std::vector<int> disabled; // in this order, the focused one among them
        int nFocusAfter;           // 0: the dialog itself
        int nAfterTab;             // where Tab goes from there
    };
    const std::vector<CRow> rows = {
        {"On: to Off", IDD_MAIN_CONSOLE, IDC_MONITOR_ON, {IDC_MONITOR_ON}, IDC_MONITOR_OFF, IDC_PROGRAM},
        {"disabled tab stops are passed",
         IDD_MAIN_CONSOLE,
         IDC_MONITOR_ON,
         {IDC_PROGRAM, IDC_MONITOR_OFF, IDC_MONITOR_ON},
         IDC_COUNTDOWN_NUMBER,
         IDC_COUNTDOWN_TIME},
        {"the last tab stop: round to the first",
         IDD_PARAMETERS,
         IDOK,
         {IDOK},
         IDC_SELECT_PROGRAM,
         IDC_PROGRAM_DETAILS},
        {"a control without the focus: it stays",
         IDD_PARAMETERS,
         IDC_DOWNLOAD,
         {IDC_CHANGE_INTERVAL},
         IDC_DOWNLOAD,
         IDOK},
        {"no other tab stop: the dialog", IDD_COM_PORT, IDOK, {IDC_COM_PORT_LIST, IDOK}, 0, 0},
    };
    for (const CRow& row : rows) {
        SCOPED_TRACE(row.pszName);
        CProbeDlg dialog(row.nTemplateId);
        CDialogDriver driver(dialog);
        dialog.Create();
        ASSERT_TRUE(driver.Focus(row.nFocused));
        for (const int nId : row.disabled)
            dialog.GetDlgItem(nId)->EnableWindow(false);
        EXPECT_EQ(driver.FocusId(), row.nFocusAfter);
        EXPECT_TRUE(driver.Key(0, EKey::Tab));
        EXPECT_EQ(driver.FocusId(), row.nAfterTab);
        EXPECT_TRUE(driver.Key(0, EKey::Escape));
        EXPECT_TRUE(dialog.IsEnded());
        EXPECT_EQ(dialog.m_calls, std::vector<std::string>{"OnCancel"});
    }
}

TEST(WindowLayer, CommandsRunTheirHandlersAndUnhandledOnesNothing) {
    CProbeDlg dialog(IDD_MAIN_CONSOLE);
    CDialogDriver driver(dialog);
    dialog.Create();
    EXPECT_TRUE(driver.Click(IDC_MONITOR_OFF));
    EXPECT_EQ(dialog.m_calls, std::vector<std::string>{"command 1023"});
    EXPECT_TRUE(driver.Click(IDC_MASTER)); // no handler: nothing happens
    EXPECT_FALSE(dialog.SendCommand(IDC_MASTER));
    EXPECT_EQ(dialog.m_calls, std::vector<std::string>{"command 1023"});
    dialog.GetDlgItem(IDC_MONITOR_ON)->EnableWindow(false);
    EXPECT_FALSE(driver.Click(IDC_MONITOR_ON));      // the user cannot reach it
    EXPECT_TRUE(dialog.SendCommand(IDC_MONITOR_ON)); // the program can
    EXPECT_TRUE(dialog.SendCommand(IDCANCEL));
    EXPECT_EQ(dialog.m_calls, (std::vector<std::string>{"command 1023", "command 1000", "OnCancel"}));
}

// ---- timers

TEST(WindowLayer, TimersTickByIdentifier) {
    CProbeDlg dialog(IDD_COM_PORT);
    dialog.Create();
    dialog.SetTimer(1, 30ms);
    dialog.SetTimer(2, 50ms);
    EXPECT_TRUE(CDialogDriver::WaitFor([&] { return dialog.TicksOf(2) >= 2; }, 10s));
    EXPECT_GE(dialog.TicksOf(1), 1);
    EXPECT_EQ(dialog.TicksOf(1) + dialog.TicksOf(2), static_cast<int>(dialog.m_ticks.size()));
    EXPECT_TRUE(dialog.IsTimerRunning(1));
    EXPECT_TRUE(dialog.KillTimer(1));
    EXPECT_FALSE(dialog.KillTimer(1));
    EXPECT_FALSE(dialog.KillTimer(3)); // never started
    EXPECT_FALSE(dialog.IsTimerRunning(1));
    EXPECT_FALSE(dialog.IsTimerRunning(3));
    dialog.m_ticks.clear();
    CDialogDriver::Wait(200ms);
    EXPECT_EQ(dialog.TicksOf(1), 0);
    EXPECT_GE(dialog.TicksOf(2), 1); // timer 2 goes on
}

TEST(WindowLayer, SettingARunningTimerRestartsItsPeriod) {
    CProbeDlg dialog(IDD_COM_PORT);
    dialog.Create();
    constexpr auto kPeriod = 600ms;
    dialog.SetTimer(3, kPeriod);
    CDialogDriver::Wait(300ms);
    dialog.m_ticks.clear(); // a tick that came before the restart (on a very slow machine) does not count
    const auto restart = Clock::now();
    dialog.SetTimer(3, kPeriod);
    ASSERT_TRUE(CDialogDriver::WaitFor([&] { return !dialog.m_ticks.empty(); }, 10s));
    // Coarse timers may come up to 5 % early; without the restart the tick would come 300 ms sooner.
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(dialog.m_ticks.front().second - restart);
    EXPECT_GE(elapsed, kPeriod * 9 / 10) << elapsed.count() << " ms";
}

TEST(WindowLayer, OnceTimerTicksOnceAfterItsDelay) {
    CProbeDlg dialog(IDD_COM_PORT);
    dialog.Create();
    constexpr auto kDelay = 80ms;
    const auto start = Clock::now();
    dialog.SetTimerOnce(6, kDelay);
    EXPECT_TRUE(dialog.IsTimerRunning(6));
    ASSERT_TRUE(CDialogDriver::WaitFor([&] { return dialog.TicksOf(6) > 0; }, 10s));
    EXPECT_GE(dialog.m_ticks.front().second - start, kDelay - 2ms);
    CDialogDriver::Wait(300ms);
    EXPECT_EQ(dialog.TicksOf(6), 1);
    EXPECT_FALSE(dialog.IsTimerRunning(6));
    EXPECT_FALSE(dialog.KillTimer(6));
    // Killed before its tick: none comes.
    dialog.SetTimerOnce(7, kDelay);
    EXPECT_TRUE(dialog.KillTimer(7));
    CDialogDriver::Wait(300ms);
    EXPECT_EQ(dialog.TicksOf(7), 0);
}

TEST(WindowLayer, EndingTheDialogStopsItsTimers) {
    CProbeDlg dialog(IDD_COM_PORT);
    dialog.Create();
    dialog.SetTimer(5, 20ms);
    dialog.SetTimerOnce(6, 20ms);
    dialog.EndDialog(IDOK);
    EXPECT_FALSE(dialog.IsTimerRunning(5));
    EXPECT_FALSE(dialog.IsTimerRunning(6));
    dialog.m_ticks.clear();
    CDialogDriver::Wait(100ms);
    EXPECT_TRUE(dialog.m_ticks.empty());
}

TEST(WindowLayer, SleepBlocksAndPumpMessagesRunsWhatIsPending) {
    bool bRan = false;
    CDialogDriver::Later(0ms, [&bRan] { bRan = true; });
    const auto start = Clock::now();
    CDialog::Sleep(60ms);
    EXPECT_GE(Clock::now() - start, 60ms);
    EXPECT_FALSE(bRan); // nothing ran while the thread slept
    CDialog::PumpMessages();
    EXPECT_TRUE(bRan);
}

// ---- the window menu

TEST(WindowLayer, MenuEntriesReachOnSysCommand) {
    CProbeDlg dialog(IDD_MAIN_CONSOLE);
    CDialogDriver driver(dialog);
    EXPECT_TRUE(driver.MenuEntries().empty());
    dialog.AppendSystemMenu(99, Shown("Extra"), EKey::F2);
    const auto entries = driver.MenuEntries();
    ASSERT_EQ(entries.size(), std::size_t{1});
    EXPECT_EQ(entries[0].strText, "Extra");
    EXPECT_EQ(entries[0].nCommandId, 99);
    EXPECT_TRUE(driver.ChooseMenuEntry(99));
    EXPECT_FALSE(driver.ChooseMenuEntry(98));
    EXPECT_EQ(dialog.m_calls, std::vector<std::string>{"syscommand 99"});

    dialog.Create();
    EXPECT_TRUE(driver.Key(0, EKey::F2));
    EXPECT_EQ(dialog.m_calls, (std::vector<std::string>{"syscommand 99", "syscommand 99"}));
    EXPECT_TRUE(driver.Key(IDC_BRIGHTNESS, EKey::F2)); // from any control of the dialog
    EXPECT_EQ(dialog.m_calls.size(), std::size_t{3});

    EXPECT_EQ(ResourceString(IDS_ABOUTBOX), "&About Kalvora...");
    EXPECT_EQ(ResourceString(IDD_ABOUTBOX), "");
    AddAboutEntry(dialog);
    const auto withAbout = driver.MenuEntries();
    ASSERT_EQ(withAbout.size(), std::size_t{2});
    EXPECT_EQ(withAbout[1].strText, "&About Kalvora...");
    EXPECT_EQ(withAbout[1].nCommandId, IDM_ABOUTBOX);
    EXPECT_TRUE(driver.Key(0, EKey::F1));
    EXPECT_EQ(dialog.m_calls.back(), "syscommand 16");
}

// ---- translation

TEST(WindowLayer, TranslateWindowReplacesTextsByIdentifier) {
    const CTestLanguage language;
    LoadLanguage("Test");

    CDialog dialog(IDD_MAIN_CONSOLE);
    const CDialogDriver driver(dialog);
    TranslateWindow(dialog, IDD_MAIN_CONSOLE);
    EXPECT_EQ(driver.Title(), "Konsole");
    EXPECT_EQ(driver.Text(IDC_MONITOR_ON), "Ein");
    EXPECT_EQ(driver.Text(IDC_MONITOR_OFF), "Off"); // a text beginning with "?"
    EXPECT_EQ(driver.Text(IDC_GROUP_MONITOR), "Echtzeit");
    EXPECT_EQ(driver.Text(IDC_COUNTDOWN_TIME), "9:99");
    EXPECT_EQ(driver.Text(IDC_LABEL_MONITORING), "Zwei\nZeilen");
    EXPECT_EQ(driver.Text(IDC_SET_PROGRAM), "Set"); // no entry
    EXPECT_EQ(driver.Text(IDC_LABEL_STATUS), "Status");
    EXPECT_EQ(driver.IconId(IDC_STATUS_LAMP), IDI_LAMP_OFF);
    EXPECT_TRUE(driver.Entries(IDC_PROGRAM).empty());
    EXPECT_EQ(driver.Selection(IDC_PROGRAM), -1);
    EXPECT_EQ(driver.Text(IDC_LABEL_LAST_START_TIME), "<b>x</b>"); // markup from a language file is a text

    // The controls without an identifier of their own are looked up as IDC_STATIC; a picture keeps its image.
    CDialog about(IDD_ABOUTBOX);
    const CDialogDriver aboutDriver(about);
    TranslateWindow(about, IDD_ABOUTBOX);
    EXPECT_EQ(aboutDriver.Title(), "About Kalvora");
    EXPECT_EQ(aboutDriver.Text(IDC_STATIC), "Statisch");
    EXPECT_EQ(aboutDriver.Look(IDC_STATIC).nImageWidth, 68);

    // The same identifier in another dialog: a drop-down with edit takes it as its edit text.
    CDialog parameters(IDD_PARAMETERS);
    const CDialogDriver parametersDriver(parameters);
    TranslateWindow(parameters, 0);
    EXPECT_EQ(parametersDriver.Title(), "Parameters Dialog"); // key 0 leaves the caption
    EXPECT_EQ(parametersDriver.Text(IDC_FIRST_SETTING), "Sklave");

    // A language whose files are missing: the next window keeps its template texts.
    LoadLanguage("Missing");
    CDialog again(IDD_MAIN_CONSOLE);
    const CDialogDriver againDriver(again);
    TranslateWindow(again, IDD_MAIN_CONSOLE);
    EXPECT_EQ(againDriver.Title(), "Kalvora v1.4");
    EXPECT_EQ(againDriver.Text(IDC_MONITOR_ON), "On");
}

// ---- message boxes

TEST(WindowLayer, ApplicationNameIsTheExecutableWithoutExtension) {
    const std::vector<std::pair<std::string, std::string>> rows = {
        {"C:/Program Files/Kalvora/Kalvora.EXE", "Kalvora"},
        {"C:\\Program Files\\Kalvora\\Kalvora.EXE", "Kalvora"},
        {"/opt/kalvora/bin/kalvora", "kalvora"},
        {"/tmp/start-display.exe", "start-display"},
        {"D:\\tools\\start-display.exe", "start-display"},
        {"/tmp/kalvora.1.4.bin", "kalvora.1.4"},
        {"/opt/kalvora.d/kalvora", "kalvora"},
        {"C:\\kalvora.d\\kalvora", "kalvora"},
        {"C:\\mixed/dirs\\kalvora.exe", "kalvora"},
        {"kalvora.exe", "kalvora"},
        {"kalvora", "kalvora"},
    };
    for (const auto& [path, name] : rows)
        EXPECT_EQ(ApplicationNameFromPath(path), name) << path;
}

TEST(WindowLayer, MessageBoxesAreRecordedWithTheirTitle) {
    EXPECT_EQ(ApplicationName(), "window_WindowLayerTest");
    CMessageBoxRecorder outer;
    {
        CMessageBoxRecorder inner;
        const Reporter reporter = MessageBoxReporter();
        reporter(kMsgCantOpenPort);
        ASSERT_EQ(inner.Entries().size(), std::size_t{1});
        EXPECT_EQ(inner.Entries()[0].strTitle, "window_WindowLayerTest");
        EXPECT_EQ(inner.Entries()[0].strText, "Can't open COM port");
        EXPECT_FALSE(inner.Entries()[0].bQuestion);
        EXPECT_FALSE(AskYesNo("Replace?")); // No unless asked otherwise
        EXPECT_TRUE(inner.Entries()[1].bQuestion);
    }
    ShowMessageBox(kMsgCantReadFile);
    EXPECT_EQ(outer.Texts(), std::vector<std::string>{"Can't Open File!"});
    CMessageBoxRecorder yes(true);
    EXPECT_TRUE(AskYesNo("Replace?"));
}

// The real boxes: an exclamation, the program's name as title, the text as plain text, OK alone; a question with Yes
// and No, No the default.
TEST(WindowLayer, MessageBoxHasAnExclamationAndOneOkButton) {
    struct CRow {
        const char* pszName;
        bool bQuestion;
        const char* pszAnswer;
        std::vector<std::string> buttons;
        bool bResult;
    };
    const std::vector<CRow> rows = {
        {"message", false, "OK", {"OK"}, false},
        {"question answered Yes", true, "Yes", {"No", "Yes"}, true},
        {"question answered No", true, "No", {"No", "Yes"}, false},
    };
    const std::string strText = "<b>Can't open file!</b>";
    CDialog owner(IDD_ABOUTBOX);
    CDialogDriver driver(owner);
    for (const CRow& row : rows) {
        SCOPED_TRACE(row.pszName);
        const auto seen = driver.AnswerNextMessageBox(row.pszAnswer);
        bool bResult = false;
        if (row.bQuestion)
            bResult = AskYesNo(strText);
        else
            ShowMessageBox(strText);
        EXPECT_TRUE(seen->bOpened);
        EXPECT_TRUE(seen->bExclamation);
        EXPECT_EQ(seen->strTitle, ApplicationName());
        EXPECT_EQ(seen->strText, strText);
        std::vector<std::string> buttons = seen->buttons;
        std::sort(buttons.begin(), buttons.end());
        EXPECT_EQ(buttons, row.buttons);
        EXPECT_TRUE(!row.bQuestion || seen->strDefaultButton == "No") << seen->strDefaultButton;
        EXPECT_EQ(bResult, row.bResult);
    }
}

// ---- the display font

TEST(WindowLayer, DisplayFontHeightFollowsTheResolution) {
    const std::vector<std::pair<double, int>> rows = {
        {96.0, 24}, {72.0, 18}, {120.0, 30}, {144.0, 36}, {100.0, 25}, {192.0, 48},
    };
    for (const auto& [dDpi, nPixels] : rows)
        EXPECT_EQ(DisplayFontPixels(dDpi), nPixels) << dDpi;
}

// The displays' face is the seven-segment one, 18 points at the resolution the dialog font's 8 points have.
TEST(WindowLayer, DisplayFontIsASevenSegmentFace) {
    CDialog dialog(IDD_MAIN_CONSOLE);
    const CDialogDriver driver(dialog);
    const CFont font = DisplayFont();
    ASSERT_FALSE(font.IsNull());
    CEdit display;
    ASSERT_TRUE(display.SubclassDlgItem(IDC_DISPLAY_LARGE, &dialog));
    display.SetFont(font);
    const auto look = driver.Look(IDC_DISPLAY_LARGE);
    EXPECT_TRUE(look.strFontFace.starts_with("DS-Digital") || look.strFontFace.starts_with("DSEG7"))
        << look.strFontFace;
    EXPECT_TRUE(look.bItalic || !look.strFontFace.starts_with("DSEG7"));
    // The dialog font's character height is 8 * dpi / 72 rounded: the resolution lies within half a pixel of it.
    const int nDialogPixels = driver.Look(IDC_LABEL_STATUS).nFontPixels;
    EXPECT_GE(look.nFontPixels, DisplayFontPixels((nDialogPixels - 0.5) * 72 / 8));
    EXPECT_LE(look.nFontPixels, DisplayFontPixels((nDialogPixels + 0.5) * 72 / 8));
    // The other controls keep the dialog's font.
    EXPECT_EQ(driver.Look(IDC_DISPLAY_SMALL).nFontPixels, nDialogPixels);
    // An object not attached to any control does nothing and reads as empty.
    CEdit unattached;
    unattached.SetFont(font);
    unattached.SetWindowText("x");
    EXPECT_EQ(unattached.GetWindowText(), "");
    EXPECT_FALSE(unattached.SubclassDlgItem(4711, &dialog));
}

} // namespace
