#include "res/DialogTemplate.h"
#include "base/Files.h"
#include "res/Resource.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using S = EControlStyle;
using K = EControlKind;

std::uint32_t Bits(std::initializer_list<S> styles) {
    std::uint32_t nBits = 0;
    for (const auto style : styles)
        nBits |= static_cast<std::uint32_t>(style);
    return nBits;
}

const std::string kHeader = "DIALOG 7\n"
                            "CAPTION \"Test\"\n"
                            "FONT 8 \"MS Sans Serif\"\n"
                            "SIZE 100 50\n";

std::optional<CDialogTemplate> Parse(const std::string& text) {
    return ParseDialogTemplate(text);
}

// ---- the format

TEST(ParseDialogTemplate, ReadsHeaderAndControls) {
    const auto dialog = Parse("# a comment\r\n"
                              "\r\n"
                              "DIALOG 102\r\n"
                              "CAPTION \"Kalvora \\\"v1.4\\\"\"\r\n"
                              "FONT 8 \"MS Sans Serif\"\r\n"
                              "SIZE 352 243\r\n"
                              "STYLE POPUP|CAPTION|APPWINDOW\r\n"
                              "  # indented comment\n"
                              "CONTROL 1000 PUSHBUTTON FLAT|TABSTOP \"On\" 165 66 33 14\n"
                              "CONTROL -1\tLABEL - \"a\\\\b\\nc\\td\" 0 0 1 2\n"
                              "CONTROL -1 PICTURE - \"140\" 7 7 45 26\n"
                              "CONTROL 1042 ICON REALSIZEIMAGE \"138\" 281 65 20 20");
    ASSERT_TRUE(dialog);
    EXPECT_EQ(dialog->nId, 102);
    EXPECT_EQ(dialog->strCaption, "Kalvora \"v1.4\"");
    EXPECT_EQ(dialog->strFontFace, "MS Sans Serif");
    EXPECT_EQ(dialog->nFontPoints, 8);
    EXPECT_EQ(dialog->cx, 352);
    EXPECT_EQ(dialog->cy, 243);
    EXPECT_TRUE(dialog->Has(EDialogStyle::AppWindow));
    EXPECT_FALSE(dialog->Has(EDialogStyle::SysMenu));
    ASSERT_EQ(dialog->controls.size(), 4u);

    const auto& button = dialog->controls[0];
    EXPECT_EQ(button.nId, 1000);
    EXPECT_EQ(button.kind, K::PushButton);
    EXPECT_EQ(button.nStyles, Bits({S::Flat, S::TabStop}));
    EXPECT_EQ(button.strText, "On");
    EXPECT_EQ(button.nImage, 0);
    EXPECT_EQ((std::vector<int>{button.x, button.y, button.cx, button.cy}), (std::vector<int>{165, 66, 33, 14}));

    EXPECT_EQ(dialog->controls[1].nId, -1);
    EXPECT_EQ(dialog->controls[1].strText, "a\\b\nc\td");
    EXPECT_EQ(dialog->controls[1].nStyles, 0u);
    EXPECT_EQ(dialog->controls[2].nImage, 140); // a second -1 is allowed
    EXPECT_EQ(dialog->controls[3].nImage, 138);
    EXPECT_TRUE(dialog->controls[3].Has(S::RealSizeImage));
    EXPECT_EQ(dialog->Find(1042), &dialog->controls[3]);
    EXPECT_EQ(dialog->Find(5), nullptr);
}

TEST(ParseDialogTemplate, CaptionAndStyleAreOptional) {
    const auto dialog = Parse("DIALOG 1\nFONT 8 \"F\"\nSIZE 1 1\n");
    ASSERT_TRUE(dialog);
    EXPECT_EQ(dialog->strCaption, "");
    EXPECT_EQ(dialog->nStyles, 0u);
    EXPECT_TRUE(dialog->controls.empty());
}

struct BadRow {
    const char* what;
    std::string text;
};

TEST(ParseDialogTemplate, RefusesEveryBrokenRule) {
    const std::string c = "CONTROL 5 PUSHBUTTON - \"x\" 1 2 3 4\n";
    const BadRow rows[] = {
        {"empty text", ""},
        {"only comments", "# nothing\n\n"},
        {"DIALOG not first", "SIZE 1 1\n" + kHeader},
        {"DIALOG without number", "DIALOG\nFONT 8 \"F\"\nSIZE 1 1\n"},
        {"DIALOG 0", "DIALOG 0\nFONT 8 \"F\"\nSIZE 1 1\n"},
        {"DIALOG beyond 65535", "DIALOG 65536\nFONT 8 \"F\"\nSIZE 1 1\n"},
        {"DIALOG twice", kHeader + "DIALOG 8\n"},
        {"no FONT", "DIALOG 1\nSIZE 1 1\n"},
        {"no SIZE", "DIALOG 1\nFONT 8 \"F\"\n"},
        {"SIZE twice", kHeader + "SIZE 1 1\n"},
        {"SIZE zero", "DIALOG 1\nFONT 8 \"F\"\nSIZE 0 5\n"},
        {"SIZE with one number", "DIALOG 1\nFONT 8 \"F\"\nSIZE 5\n"},
        {"FONT face not quoted", "DIALOG 1\nFONT 8 F\nSIZE 1 1\n"},
        {"FONT empty face", "DIALOG 1\nFONT 8 \"\"\nSIZE 1 1\n"},
        {"FONT size 0", "DIALOG 1\nFONT 0 \"F\"\nSIZE 1 1\n"},
        {"CAPTION not quoted", "DIALOG 1\nCAPTION Test\nFONT 8 \"F\"\nSIZE 1 1\n"},
        {"unknown dialog style", kHeader + "STYLE POPUP|FANCY\n"},
        {"header after a control", kHeader + c + "CAPTION \"late\"\n"},
        {"control before FONT and SIZE", "DIALOG 1\n" + c + "FONT 8 \"F\"\nSIZE 1 1\n"},
        {"unknown keyword", kHeader + "BUTTON 5\n"},
        {"quoted keyword", kHeader + "\"CONTROL\" 5 PUSHBUTTON - \"x\" 1 2 3 4\n"},
        {"too few fields", kHeader + "CONTROL 5 PUSHBUTTON - \"x\" 1 2 3\n"},
        {"too many fields", kHeader + "CONTROL 5 PUSHBUTTON - \"x\" 1 2 3 4 5\n"},
        {"text not quoted", kHeader + "CONTROL 5 PUSHBUTTON - x 1 2 3 4\n"},
        {"identifier 0", kHeader + "CONTROL 0 PUSHBUTTON - \"x\" 1 2 3 4\n"},
        {"identifier -2", kHeader + "CONTROL -2 PUSHBUTTON - \"x\" 1 2 3 4\n"},
        {"identifier beyond 65535", kHeader + "CONTROL 65536 PUSHBUTTON - \"x\" 1 2 3 4\n"},
        {"identifier twice", kHeader + c + c},
        {"identifier with a sign", kHeader + "CONTROL +5 PUSHBUTTON - \"x\" 1 2 3 4\n"},
        {"identifier with trailing letters", kHeader + "CONTROL 5a PUSHBUTTON - \"x\" 1 2 3 4\n"},
        {"unknown kind", kHeader + "CONTROL 5 SLIDER - \"x\" 1 2 3 4\n"},
        {"unknown style", kHeader + "CONTROL 5 PUSHBUTTON SHINY \"x\" 1 2 3 4\n"},
        {"style of another kind", kHeader + "CONTROL 5 PUSHBUTTON SORT \"x\" 1 2 3 4\n"},
        {"style twice", kHeader + "CONTROL 5 PUSHBUTTON FLAT|FLAT \"x\" 1 2 3 4\n"},
        {"empty style part", kHeader + "CONTROL 5 PUSHBUTTON FLAT| \"x\" 1 2 3 4\n"},
        {"lower-case style", kHeader + "CONTROL 5 PUSHBUTTON flat \"x\" 1 2 3 4\n"},
        {"negative position", kHeader + "CONTROL 5 PUSHBUTTON - \"x\" -1 2 3 4\n"},
        {"position beyond 32767", kHeader + "CONTROL 5 PUSHBUTTON - \"x\" 32768 2 3 4\n"},
        {"position not a number", kHeader + "CONTROL 5 PUSHBUTTON - \"x\" 1 2 three 4\n"},
        {"number overflowing int", kHeader + "CONTROL 5 PUSHBUTTON - \"x\" 99999999999999999999 2 3 4\n"},
        {"open quote", kHeader + "CONTROL 5 PUSHBUTTON - \"x 1 2 3 4\n"},
        {"unknown escape", kHeader + "CONTROL 5 PUSHBUTTON - \"\\q\" 1 2 3 4\n"},
        {"backslash at end of line", kHeader + "CONTROL 5 PUSHBUTTON - \"x\\"},
        {"quote glued to a word", kHeader + "CONTROL 5 PUSHBUTTON - \"x\"1 2 3 4 5\n"},
        {"quote inside a word", kHeader + "CONTROL 5 PUSH\"BUTTON - \"x\" 1 2 3 4\n"},
        {"icon without image number", kHeader + "CONTROL 5 ICON - \"lamp\" 1 2 3 4\n"},
        {"picture with image 0", kHeader + "CONTROL 5 PICTURE - \"0\" 1 2 3 4\n"},
        {"centred picture with a negative image", kHeader + "CONTROL 5 PICTURE CENTERIMAGE \"-1\" 1 2 3 4\n"},
        {"icon with image 0", kHeader + "CONTROL 5 ICON REALSIZEIMAGE \"0\" 1 2 3 4\n"},
        {"check box with a push button's style", kHeader + "CONTROL 5 CHECKBOX DEFAULT \"x\" 1 2 3 4\n"},
    };
    for (const auto& row : rows)
        EXPECT_FALSE(Parse(row.text)) << row.what;
}

TEST(ParseDialogTemplate, EveryKindTakesItsOwnStyles) {
    struct Row {
        const char* line;
        K kind;
        std::uint32_t nStyles;
    };
    const Row rows[] = {
        {"PUSHBUTTON FLAT|DEFAULT|MULTILINE \"x\"", K::PushButton, Bits({S::Flat, S::Default, S::MultiLine})},
        {"GROUPBOX HIDDEN|DISABLED \"x\"", K::GroupBox, Bits({S::Hidden, S::Disabled})},
        {"LABEL NOPREFIX|RIGHT \"x\"", K::Label, Bits({S::NoPrefix, S::Right})},
        {"LABEL CENTER \"x\"", K::Label, Bits({S::Center})},
        {"EDIT READONLY|NUMBER|AUTOHSCROLL|BORDER|TABSTOP \"\"", K::Edit,
         Bits({S::ReadOnly, S::Number, S::AutoHScroll, S::Border, S::TabStop})},
        {"DROPDOWNLIST SORT|VSCROLL \"\"", K::DropDownList, Bits({S::Sort, S::VScroll})},
        {"DROPDOWN SORT \"\"", K::DropDown, Bits({S::Sort})},
        {"SPIN AUTOBUDDY|ALIGNRIGHT|SETBUDDYINT|ARROWKEYS \"\"", K::Spin,
         Bits({S::AutoBuddy, S::AlignRight, S::SetBuddyInt, S::ArrowKeys})},
        {"ICON REALSIZEIMAGE \"138\"", K::Icon, Bits({S::RealSizeImage})},
        {"PICTURE - \"140\"", K::Picture, 0},
        {"PICTURE CENTERIMAGE \"0\"", K::Picture, Bits({S::CenterImage})},
        {"CHECKBOX TABSTOP \"&Share\"", K::CheckBox, Bits({S::TabStop})},
        {"LISTVIEW REPORT|SINGLESEL|SHOWSELALWAYS \"\"", K::ListView,
         Bits({S::Report, S::SingleSel, S::ShowSelAlways})},
        {"PROGRESS SMOOTH \"\"", K::Progress, Bits({S::Smooth})},
    };
    for (const auto& row : rows) {
        const auto dialog = Parse(kHeader + "CONTROL 5 " + row.line + " 1 2 3 4\n");
        ASSERT_TRUE(dialog) << row.line;
        EXPECT_EQ(dialog->controls.at(0).kind, row.kind) << row.line;
        EXPECT_EQ(dialog->controls.at(0).nStyles, row.nStyles) << row.line;
    }
    // A style of one kind on another is refused, both ways round.
    EXPECT_FALSE(Parse(kHeader + "CONTROL 5 EDIT SORT \"\" 1 2 3 4\n"));
    EXPECT_FALSE(Parse(kHeader + "CONTROL 5 LABEL READONLY \"\" 1 2 3 4\n"));
    EXPECT_FALSE(Parse(kHeader + "CONTROL 5 ICON SMOOTH \"1\" 1 2 3 4\n"));
    EXPECT_FALSE(Parse(kHeader + "CONTROL 5 ICON CENTERIMAGE \"1\" 1 2 3 4\n"));
}

// ---- the shipped templates

std::optional<CDialogTemplate> Shipped(int nId) {
    const auto text = ReadFileBytes(std::string(KALVORA_SOURCE_DIR) + "/res/dialogs/" + std::to_string(nId) + ".dlg");
    if (!text)
        return std::nullopt;
    return ParseDialogTemplate(*text);
}

struct ControlRow {
    int nId;
    K kind;
    const char* text;
    int x, y, cx, cy;
};

void ExpectControls(const CDialogTemplate& dialog, const std::vector<ControlRow>& rows) {
    ASSERT_EQ(dialog.controls.size(), rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const auto& control = dialog.controls[i];
        const auto& row = rows[i];
        EXPECT_EQ(control.nId, row.nId) << "control " << i;
        EXPECT_EQ(control.kind, row.kind) << row.nId;
        EXPECT_EQ(control.strText, row.text) << row.nId;
        EXPECT_EQ((std::vector<int>{control.x, control.y, control.cx, control.cy}),
                  (std::vector<int>{row.x, row.y, row.cx, row.cy}))
            << row.nId;
    }
}

TEST(ShippedDialogTemplates, MainWindowHasItsFortyThreeControlsInTabOrder) {
    const auto dialog = Shipped(IDD_MAIN_CONSOLE);
    ASSERT_TRUE(dialog);
    EXPECT_EQ(dialog->nId, 102);
    EXPECT_EQ(dialog->strCaption, "Kalvora v1.4");
    EXPECT_EQ(dialog->strFontFace, "MS Sans Serif");
    EXPECT_EQ(dialog->nFontPoints, 8);
    EXPECT_EQ(dialog->cx, 352);
    EXPECT_EQ(dialog->cy, 243);
    EXPECT_TRUE(dialog->Has(EDialogStyle::SysMenu));
    EXPECT_TRUE(dialog->Has(EDialogStyle::AppWindow));
    EXPECT_FALSE(dialog->Has(EDialogStyle::MinimizeBox));
    ExpectControls(*dialog, {
                                {1000, K::PushButton, "On", 165, 66, 33, 14},
                                {1023, K::PushButton, "Off", 203, 66, 33, 14},
                                {1065, K::Label, "Program", 65, 124, 43, 8},
                                {1010, K::DropDownList, "", 13, 122, 48, 62},
                                {1066, K::Label, "Countdown number", 64, 146, 45, 17},
                                {1017, K::DropDownList, "", 13, 146, 48, 62},
                                {1067, K::Label, "Countdown time", 65, 170, 52, 8},
                                {1011, K::Edit, "", 13, 168, 47, 14},
                                {1068, K::Label, "Brightness", 65, 192, 45, 8},
                                {1013, K::Edit, "", 13, 190, 47, 14},
                                {1015, K::Spin, "", 57, 190, 11, 14},
                                {1014, K::PushButton, "Set", 113, 190, 29, 14},
                                {1012, K::PushButton, "Get Current Values", 14, 215, 128, 14},
                                {1034, K::PushButton, "Set", 162, 146, 43, 14},
                                {1035, K::PushButton, "Master", 162, 189, 43, 14},
                                {1036, K::PushButton, "Slave", 162, 214, 43, 14},
                                {1100, K::PushButton, "Live Page", 266, 104, 79, 14},
                                {1021, K::PushButton, "Port Settings", 266, 128, 79, 14},
                                {1009, K::PushButton, "Configure Parameters", 266, 154, 79, 14},
                                {1016, K::PushButton, "Read Memory", 266, 180, 79, 14},
                                {1072, K::PushButton, "Exit", 295, 207, 50, 14},
                                {1001, K::Edit, "", 53, 22, 63, 22},
                                {1002, K::Edit, "", 81, 50, 35, 21},
                                {1059, K::Label, "Start number", 127, 15, 41, 8},
                                {1008, K::Edit, "", 127, 28, 39, 15},
                                {1060, K::Label, "Last Start Time", 173, 14, 48, 8},
                                {1006, K::Edit, "", 173, 28, 70, 15},
                                {1061, K::Label, "Lead/Leg Time", 251, 15, 50, 8},
                                {1007, K::Edit, "", 249, 28, 51, 15},
                                {1057, K::GroupBox, "Real Time Monitor", 7, 7, 338, 88},
                                {1064, K::GroupBox, "Set Program", 7, 105, 144, 131},
                                {1033, K::Edit, "", 162, 119, 43, 14},
                                {1069, K::GroupBox, "Set PC Time", 155, 106, 57, 62},
                                {1070, K::GroupBox, "Mode", 156, 175, 57, 61},
                                {1062, K::Label, "Monitoring", 125, 70, 34, 8},
                                {1063, K::Label, "Status", 253, 70, 25, 8},
                                {1042, K::Icon, "138", 281, 65, 20, 20},
                                {1018, K::PushButton, "Set", 113, 122, 29, 14},
                                {1019, K::PushButton, "Set", 113, 146, 29, 14},
                                {1046, K::Icon, "138", 22, 26, 20, 20},
                                {1058, K::GroupBox, "Light", 15, 18, 31, 70},
                                {1047, K::Icon, "138", 21, 47, 20, 20},
                                {1048, K::Icon, "138", 21, 66, 20, 20},
                            });
}

TEST(ShippedDialogTemplates, MainWindowStyles) {
    const auto dialog = Shipped(IDD_MAIN_CONSOLE);
    ASSERT_TRUE(dialog);
    for (const auto& control : dialog->controls) {
        switch (control.kind) {
        case K::PushButton:
            EXPECT_TRUE(control.Has(S::Flat) && control.Has(S::TabStop)) << control.nId;
            EXPECT_EQ(control.Has(S::Default), control.nId == IDC_EXIT) << control.nId;
            break;
        case K::Edit:
            EXPECT_TRUE(control.Has(S::Border) && control.Has(S::AutoHScroll)) << control.nId;
            EXPECT_EQ(control.Has(S::ReadOnly), control.nId != IDC_BRIGHTNESS) << control.nId;
            break;
        case K::DropDownList:
            EXPECT_EQ(control.nStyles, Bits({S::Sort, S::VScroll, S::TabStop})) << control.nId;
            break;
        case K::Icon:
            EXPECT_EQ(control.nImage, IDI_LAMP_OFF) << control.nId;
            EXPECT_EQ(control.Has(S::RealSizeImage), control.nId == IDC_STATUS_LAMP) << control.nId;
            break;
        default:
            break;
        }
        EXPECT_FALSE(control.Has(S::Hidden) || control.Has(S::Disabled)) << control.nId;
    }
    EXPECT_EQ(dialog->Find(IDC_BRIGHTNESS)->nStyles, Bits({S::Number, S::AutoHScroll, S::Border, S::TabStop}));
    EXPECT_EQ(dialog->Find(IDC_BRIGHTNESS_SPIN)->nStyles,
              Bits({S::AutoBuddy, S::AlignRight, S::SetBuddyInt, S::ArrowKeys}));
    EXPECT_TRUE(dialog->Find(IDC_DISPLAY_LARGE)->Has(S::Right));
    EXPECT_TRUE(dialog->Find(IDC_DISPLAY_SMALL)->Has(S::Right));
    EXPECT_TRUE(dialog->Find(IDC_PC_TIME)->Has(S::Center));
}

TEST(ShippedDialogTemplates, AboutBox) {
    const auto dialog = Shipped(IDD_ABOUTBOX);
    ASSERT_TRUE(dialog);
    EXPECT_EQ(dialog->strCaption, "About Kalvora");
    EXPECT_EQ(dialog->cx, 235);
    EXPECT_EQ(dialog->cy, 63);
    ASSERT_EQ(dialog->controls.size(), 5u);
    const auto& picture = dialog->controls[0];
    EXPECT_EQ(picture.nId, IDC_STATIC);
    EXPECT_EQ(picture.kind, K::Picture);
    EXPECT_EQ(picture.nImage, IDB_ABOUT_LOGO);
    EXPECT_EQ((std::vector<int>{picture.x, picture.y, picture.cx, picture.cy}), (std::vector<int>{7, 7, 45, 26}));
    EXPECT_EQ(dialog->controls[1].nId, IDC_ABOUT_VERSION);
    EXPECT_EQ(dialog->controls[1].strText, "Kalvora Version 1.4");
    EXPECT_TRUE(dialog->controls[1].Has(S::NoPrefix));
    EXPECT_EQ(dialog->controls[2].nId, IDC_ABOUT_NOTICE);
    EXPECT_FALSE(dialog->controls[2].strText.empty());
    EXPECT_EQ(dialog->controls[3].nId, IDOK);
    EXPECT_TRUE(dialog->controls[3].Has(S::Default));
    EXPECT_EQ(dialog->controls[3].strText, "OK");
    EXPECT_EQ(dialog->controls[4].nId, IDC_ABOUT_WEB);
    EXPECT_FALSE(dialog->controls[4].strText.empty());
}

TEST(ShippedDialogTemplates, ReadMemoryDialog) {
    const auto dialog = Shipped(IDD_READ_MEMORY);
    ASSERT_TRUE(dialog);
    EXPECT_EQ(dialog->strCaption, "Read Memory Dialog");
    EXPECT_EQ(dialog->cx, 170);
    EXPECT_EQ(dialog->cy, 258);
    ExpectControls(*dialog, {
                                {1095, K::Label, "Memory contents", 7, 7, 156, 8},
                                {1018, K::ListView, "", 7, 7, 156, 205},
                                {1032, K::PushButton, "Clear Memory", 7, 216, 74, 14},
                                {1033, K::PushButton, "Read Memory", 89, 216, 74, 14},
                                {1020, K::PushButton, "Save To File", 7, 234, 74, 14},
                                {1, K::PushButton, "OK", 103, 234, 60, 14},
                            });
    EXPECT_TRUE(dialog->Find(IDC_MEMORY_LIST)->Has(S::Report));
    EXPECT_TRUE(dialog->Find(IDC_MEMORY_LIST)->Has(S::ShowSelAlways));
    EXPECT_TRUE(dialog->Find(IDC_LABEL_MEMORY_LIST)->Has(S::Hidden)); // names the list without showing
    EXPECT_TRUE(dialog->Find(IDOK)->Has(S::Default));
}

TEST(ShippedDialogTemplates, ComPortDialog) {
    const auto dialog = Shipped(IDD_COM_PORT);
    ASSERT_TRUE(dialog);
    EXPECT_EQ(dialog->strCaption, "COM Port Settings");
    EXPECT_EQ(dialog->cx, 90);
    EXPECT_EQ(dialog->cy, 110);
    ExpectControls(*dialog, {
                                {1073, K::Label, "COM Port", 7, 7, 32, 8},
                                {1021, K::DropDownList, "", 7, 19, 75, 63},
                                {1074, K::Label, "Baudrate", 7, 44, 30, 8},
                                {1022, K::DropDownList, "", 7, 56, 75, 61},
                                {1, K::PushButton, "OK", 7, 89, 76, 14},
                            });
    EXPECT_FALSE(dialog->Find(IDC_COM_PORT_LIST)->Has(S::Sort));
    EXPECT_TRUE(dialog->Find(IDC_COM_PORT_LIST)->Has(S::VScroll));
    EXPECT_FALSE(dialog->Find(IDC_COM_PORT_LIST)->Has(S::Disabled));
    EXPECT_TRUE(dialog->Find(IDC_BAUD_RATE_LIST)->Has(S::Disabled));
    EXPECT_TRUE(dialog->Find(IDOK)->Has(S::Default));
}

TEST(ShippedDialogTemplates, ParametersDialog) {
    const auto dialog = Shipped(IDD_PARAMETERS);
    ASSERT_TRUE(dialog);
    EXPECT_EQ(dialog->strCaption, "Parameters Dialog");
    EXPECT_EQ(dialog->cx, 240);
    EXPECT_EQ(dialog->cy, 321);
    ExpectControls(*dialog, {
                                {1075, K::Label, "Select Program", 56, 7, 49, 8},
                                {1025, K::DropDown, "", 111, 7, 33, 80},
                                {1076, K::Label, "Program Details", 7, 28, 134, 8},
                                {1026, K::ListView, "", 7, 39, 137, 222},
                                {1082, K::Label, "Light", 55, 265, 48, 8},
                                {1036, K::DropDown, "", 55, 265, 48, 55},
                                {1083, K::Label, "Signal", 108, 265, 38, 8},
                                {1037, K::DropDown, "", 108, 265, 38, 40},
                                {1027, K::PushButton, "Paint", 7, 264, 27, 14},
                                {1028, K::PushButton, "Upload Program Details For This Program", 7, 286, 137, 17},
                                {1096, K::Label, "Download progress", 7, 308, 226, 8},
                                {1041, K::Progress, "", 7, 308, 226, 6},
                                {1077, K::Label, "Countdown Intervals", 157, 28, 76, 8},
                                {1029, K::ListView, "", 157, 39, 76, 101},
                                {1019, K::PushButton, "Change", 158, 143, 30, 14},
                                {1097, K::Label, "Countdown interval", 193, 143, 40, 8},
                                {1081, K::Edit, "", 193, 143, 40, 14},
                                {1030, K::PushButton, "Upload Countdown Intervals For This Program", 157, 163, 76, 32},
                                {1038, K::PushButton, "Save All Data For This Program", 157, 200, 76, 23},
                                {1040, K::PushButton, "Download From Kalvora", 157, 228, 76, 23},
                                {1, K::PushButton, "OK", 157, 257, 76, 17},
                            });
    for (const auto& control : dialog->controls) {
        EXPECT_FALSE(control.Has(S::Default)) << control.nId; // Enter acts as OK
        if (control.kind == K::ListView) {
            EXPECT_TRUE(control.Has(S::Report) && control.Has(S::ShowSelAlways)) << control.nId;
            EXPECT_FALSE(control.Has(S::SingleSel)) << control.nId;
        }
        if (control.kind == K::DropDown) {
            EXPECT_FALSE(control.Has(S::Sort)) << control.nId;
        }
    }
    EXPECT_TRUE(dialog->Find(IDC_PAINT)->Has(S::Hidden));
    // The labels that name the controls showing no caption are never shown.
    for (const int nId :
         {IDS_HEADING_FIRST_SETTING, IDS_HEADING_SECOND_SETTING, IDC_LABEL_PROGRESS, IDC_LABEL_INTERVAL_TEXT})
        EXPECT_TRUE(dialog->Find(nId)->Has(S::Hidden)) << nId;
    EXPECT_TRUE(dialog->Find(IDC_PROGRESS)->Has(S::Smooth));
    EXPECT_TRUE(dialog->Find(IDC_INTERVAL_TEXT)->Has(S::AutoHScroll));
    for (const int nId : {IDC_UPLOAD_INTERVALS, IDC_SAVE_PROGRAM, IDC_DOWNLOAD})
        EXPECT_TRUE(dialog->Find(nId)->Has(S::Flat) && dialog->Find(nId)->Has(S::MultiLine)) << nId;
    for (const int nId : {IDC_UPLOAD_DETAILS, IDOK})
        EXPECT_TRUE(dialog->Find(nId)->Has(S::Flat) && !dialog->Find(nId)->Has(S::MultiLine)) << nId;
    EXPECT_FALSE(dialog->Find(IDC_CHANGE_INTERVAL)->Has(S::Flat));
}

TEST(ShippedDialogTemplates, EveryCutOfATemplateEndsCleanly) {
    const auto text = ReadFileBytes(std::string(KALVORA_SOURCE_DIR) + "/res/dialogs/102.dlg");
    ASSERT_TRUE(text);
    std::size_t nParsed = 0;
    for (std::size_t nLength = 0; nLength <= text->size(); ++nLength) {
        const auto dialog = ParseDialogTemplate(std::string_view(*text).substr(0, nLength));
        if (dialog) {
            ++nParsed;
            EXPECT_LE(dialog->controls.size(), 43u);
        }
    }
    EXPECT_GT(nParsed, 43u); // at least every cut after a whole control line
}

} // namespace
