#pragma once

// Numeric identifiers of the dialog templates, controls, icons and strings. A control's identifier is also its
// translation key, and a template's number is the key of its caption. Identifiers are shared across dialogs:
// the same number in two dialogs takes the same language text.

// Dialog templates.
constexpr int IDD_ABOUTBOX = 100;
constexpr int IDD_MAIN_CONSOLE = 102;
constexpr int IDD_READ_MEMORY = 131;
constexpr int IDD_COM_PORT = 132;
constexpr int IDD_PARAMETERS = 133;
constexpr int IDD_LIVE_PAGE = 134;

// Icons, bitmaps and strings.
constexpr int IDR_MAINFRAME = 128;
constexpr int IDI_LAMP_RED = 136;
constexpr int IDI_LAMP_GREEN = 137;
constexpr int IDI_LAMP_OFF = 138;
constexpr int IDB_ABOUT_LOGO = 140;
constexpr int IDI_LAMP_YELLOW = 141;
constexpr int IDS_ABOUTBOX = 101;
constexpr int IDM_ABOUTBOX = 16;  // command identifier of the About entry
constexpr int IDM_LIVE_PAGE = 32; // command identifier of the Live Page entry beside it

// The platform's identifier of a static control that has none of its own.
constexpr int IDC_STATIC = -1;
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;

// Main window (template 102).
constexpr int IDC_MONITOR_ON = 1000;
constexpr int IDC_DISPLAY_LARGE = 1001;
constexpr int IDC_DISPLAY_SMALL = 1002;
constexpr int IDC_LAST_START_TIME = 1006;
constexpr int IDC_LEAD_TIME = 1007;
constexpr int IDC_START_NUMBER = 1008;
constexpr int IDC_CONFIGURE_PARAMETERS = 1009;
constexpr int IDC_PROGRAM = 1010;
constexpr int IDC_COUNTDOWN_TIME = 1011;
constexpr int IDC_GET_CURRENT_VALUES = 1012;
constexpr int IDC_BRIGHTNESS = 1013;
constexpr int IDC_SET_BRIGHTNESS = 1014;
constexpr int IDC_BRIGHTNESS_SPIN = 1015;
constexpr int IDC_READ_MEMORY = 1016;
constexpr int IDC_COUNTDOWN_NUMBER = 1017;
constexpr int IDC_SET_PROGRAM = 1018;
constexpr int IDC_SET_COUNTDOWN_NUMBER = 1019;
constexpr int IDC_PORT_SETTINGS = 1021;
constexpr int IDC_MONITOR_OFF = 1023;
constexpr int IDC_PC_TIME = 1033;
constexpr int IDC_SET_PC_TIME = 1034;
constexpr int IDC_MASTER = 1035;
constexpr int IDC_SLAVE = 1036;
constexpr int IDC_STATUS_LAMP = 1042;
constexpr int IDC_LIGHT_1 = 1046;
constexpr int IDC_LIGHT_2 = 1047;
constexpr int IDC_LIGHT_3 = 1048;
constexpr int IDC_GROUP_MONITOR = 1057;
constexpr int IDC_GROUP_LIGHT = 1058;
constexpr int IDC_LABEL_START_NUMBER = 1059;
constexpr int IDC_LABEL_LAST_START_TIME = 1060;
constexpr int IDC_LABEL_LEAD_TIME = 1061;
constexpr int IDC_LABEL_MONITORING = 1062;
constexpr int IDC_LABEL_STATUS = 1063;
constexpr int IDC_GROUP_SET_PROGRAM = 1064;
constexpr int IDC_LABEL_PROGRAM = 1065;
constexpr int IDC_LABEL_COUNTDOWN_NUMBER = 1066;
constexpr int IDC_LABEL_COUNTDOWN_TIME = 1067;
constexpr int IDC_LABEL_BRIGHTNESS = 1068;
constexpr int IDC_GROUP_PC_TIME = 1069;
constexpr int IDC_GROUP_MODE = 1070;
constexpr int IDC_EXIT = 1072;
constexpr int IDC_LIVE_PAGE = 1100;

// Read Memory dialog (template 131).
constexpr int IDC_MEMORY_LIST = 1018;
constexpr int IDC_SAVE_TO_FILE = 1020;
constexpr int IDC_CLEAR_MEMORY = 1032;
constexpr int IDC_READ_MEMORY_AGAIN = 1033;
constexpr int IDC_LABEL_MEMORY_LIST = 1095; // hidden: names the list for a screen reader

// COM Port Settings dialog (template 132).
constexpr int IDC_COM_PORT_LIST = 1021;
constexpr int IDC_BAUD_RATE_LIST = 1022;
constexpr int IDC_LABEL_COM_PORT = 1073;
constexpr int IDC_LABEL_BAUD_RATE = 1074;

// Parameters dialog (template 133).
constexpr int IDC_SELECT_PROGRAM = 1025;
constexpr int IDC_PROGRAM_DETAILS = 1026;
constexpr int IDC_PAINT = 1027;
constexpr int IDC_UPLOAD_DETAILS = 1028;
constexpr int IDC_INTERVALS = 1029;
constexpr int IDC_UPLOAD_INTERVALS = 1030;
constexpr int IDC_FIRST_SETTING = 1036;
constexpr int IDC_SECOND_SETTING = 1037;
constexpr int IDC_SAVE_PROGRAM = 1038;
constexpr int IDC_DOWNLOAD = 1040;
constexpr int IDC_PROGRESS = 1041;
constexpr int IDC_LABEL_SELECT_PROGRAM = 1075;
constexpr int IDC_LABEL_PROGRAM_DETAILS = 1076;
constexpr int IDC_LABEL_INTERVALS = 1077;
constexpr int IDC_CHANGE_INTERVAL = 1019;
constexpr int IDC_INTERVAL_TEXT = 1081;
// Hidden labels that name controls showing no caption for a screen reader (those of the two setting lists carry the
// numbers of the detail list's headings, IDS_HEADING_FIRST_SETTING and IDS_HEADING_SECOND_SETTING).
constexpr int IDC_LABEL_PROGRESS = 1096;
constexpr int IDC_LABEL_INTERVAL_TEXT = 1097;

// Live Page dialog (template 134). IDCANCEL is its "Close".
constexpr int IDC_LIVE_SHARE = 1101;
constexpr int IDC_LABEL_LIVE_PORT = 1102;
constexpr int IDC_LIVE_PORT = 1103;
constexpr int IDC_LIVE_STATE = 1104;
constexpr int IDC_LABEL_LIVE_ADDRESSES = 1105;
constexpr int IDC_LIVE_ADDRESSES = 1106;
constexpr int IDC_LABEL_LIVE_VIEWERS = 1107;
constexpr int IDC_LIVE_VIEWERS = 1108;
constexpr int IDC_LABEL_LIVE_QR_CODE = 1109;
constexpr int IDC_LIVE_QR_CODE = 1110;
// Its texts: the state line, the messages about the port, the address list's heading and empty row, and the menu
// entry that opens it. Its start list's button (the rest of its start list's part: 1140 on).
constexpr int IDS_LIVE_PAGE_OFF = 1111;
constexpr int IDS_LIVE_PAGE_ON = 1112;
constexpr int IDS_LIVE_PAGE_PORT_IN_USE = 1113;
constexpr int IDS_LIVE_PAGE_PORT_NOT_ALLOWED = 1114;
constexpr int IDS_LIVE_PAGE_PORT_FAILED = 1115;
constexpr int IDS_LIVE_PAGE_ADDRESS_HEADING = 1116;
constexpr int IDS_LIVE_PAGE_NO_ADDRESS = 1117;
constexpr int IDC_START_LIST = 1118;
constexpr int IDS_LIVE_PAGE_MENU = 1119;

// About box (template 100).
constexpr int IDC_ABOUT_VERSION = 1080;
constexpr int IDC_ABOUT_NOTICE = 1078;
constexpr int IDC_ABOUT_WEB = 1079;

// Texts of the Parameters dialog's detail list: headings and setting choices. The two setting headings are also the
// identifiers of the hidden labels before the setting lists 1036 and 1037.
constexpr int IDS_HEADING_FIRST_SETTING = 1082;  // light
constexpr int IDS_HEADING_SECOND_SETTING = 1083; // signal
constexpr int IDS_LIGHT_RED = 1085;
constexpr int IDS_LIGHT_YELLOW = 1086;
constexpr int IDS_LIGHT_GREEN = 1087;
constexpr int IDS_SIGNAL_NONE = 1089;
constexpr int IDS_SIGNAL_SHORT = 1090;
constexpr int IDS_SIGNAL_LONG = 1091;
constexpr int IDS_LIGHT_OFF = 1092;
constexpr int IDS_HEADING_MINUTE = 1094;

// Texts of the live page (live/LiveTexts.h), which names no control. (1100 to 1119 are the Live Page dialog's.)
constexpr int IDS_LIVE_LANGUAGE = 1120; // the page's language tag, "en"
constexpr int IDS_LIVE_TITLE = 1121;
constexpr int IDS_LIVE_START_NUMBER = 1122;
constexpr int IDS_LIVE_START_TIME = 1123;
constexpr int IDS_LIVE_LEAD_TIME = 1124;
constexpr int IDS_LIVE_LIVE = 1125;
constexpr int IDS_LIVE_UNIT_SILENT = 1126;
constexpr int IDS_LIVE_NOT_MONITORING = 1127;
constexpr int IDS_LIVE_CONNECTION_LOST = 1128;
constexpr int IDS_LIVE_LIGHTS = 1129;
constexpr int IDS_LIVE_LARGE_DISPLAY = 1130;
constexpr int IDS_LIVE_SMALL_DISPLAY = 1131;
constexpr int IDS_LIVE_NEXT_STARTERS = 1132;
constexpr int IDS_LIVE_CLOCK_OFFSET = 1133;
// The warning past half a second, with the figure for %1 (the page writes it in the language's digits).
constexpr int IDS_LIVE_CLOCK_BEHIND = 1134;
constexpr int IDS_LIVE_CLOCK_AHEAD = 1135;

// The start list in the Live Page dialog: which one the program names its starters from, and a way to use none; the
// texts of the field, of the open dialog and of the messages about a list.
constexpr int IDC_LABEL_START_LIST_FILE = 1140;
constexpr int IDC_START_LIST_FILE = 1141;
constexpr int IDC_NO_START_LIST = 1142;
constexpr int IDS_STARTLIST_NONE = 1143;
constexpr int IDS_STARTLIST_STARTERS = 1144;
constexpr int IDS_STARTLIST_ONE_STARTER = 1145;
constexpr int IDS_STARTLIST_ROWS_LEFT_OUT = 1146;
constexpr int IDS_STARTLIST_NOT_READ = 1147;
constexpr int IDS_STARTLIST_OPEN_TITLE = 1148;
constexpr int IDS_STARTLIST_TYPE_LISTS = 1149;
constexpr int IDS_STARTLIST_TYPE_ALL = 1150;
constexpr int IDS_STARTLIST_CANNOT_READ = 1151;
constexpr int IDS_STARTLIST_LEFT_OUT_MESSAGE = 1152;
constexpr int IDS_STARTLIST_MORE_LEFT_OUT = 1153;
constexpr int IDS_STARTLIST_PATH_TOO_LONG = 1154;
constexpr int IDS_STARTLIST_NOT_KEPT = 1155;
