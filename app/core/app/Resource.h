// The program's resource and command ids: its windows, document kinds, strings and the commands of its menus
// that the framework does not define.
#pragma once

// Main frame: its title string, menu, accelerators and icon.
constexpr unsigned IDR_MAINFRAME = 128;
// (129, the control device's name, is the driver client's: IDS_TINDALOFT_DEVICE.)
// Saved capture logs: document string, menu, accelerators and icon.
constexpr unsigned IDR_TDLOFT_TYPE = 131;
// The live capture: document string, menu, accelerators and icon.
constexpr unsigned IDR_TDLOFT_REALTIME = 133;

// Dialogs.
constexpr unsigned IDD_SPLASH = 262;

// Capture commands: start and stop a live capture. The capture road posts the stop (a trigger match, a full
// buffer, a thread error) rather than calling it, since stopping waits for the capture thread.
constexpr unsigned ID_USB_STARTEVENTCAPTURE = 172;
constexpr unsigned ID_USB_STOPEVENTCAPTURE = 173;
// The capture document's other commands: the buffer and the monitored devices emptied, the filters and the
// trigger, the options, Find, the device reports and three help topics of its dialogs.
constexpr unsigned ID_USB_CLEARCAPTURE = 174;
constexpr unsigned ID_USB_CLEARDEVICES = 175;
constexpr unsigned ID_EXPORT_DEVICEREPORT_XML = 192;
constexpr unsigned ID_OPTIONS_CONFIGURATION = 206;
constexpr unsigned ID_HELP_TOPIC_214 = 214;
constexpr unsigned ID_HELP_TOPIC_215 = 215;
constexpr unsigned ID_HELP_TOPIC_217 = 217;
constexpr unsigned ID_EDIT_FILTER = 219;
constexpr unsigned ID_EDIT_FIND_REQUEST = 221;
constexpr unsigned ID_EXPORT_DEVICEREPORT_HTML = 237;
constexpr unsigned ID_EDIT_TRIGGER = 258;
// The device tree's page whose checked devices the device reports describe.
constexpr unsigned IDC_DEVICE_TREE_REPORT_PAGE = 110;

// Commands of the Help menu.
constexpr unsigned ID_HELP_CONTENTS = 216;
constexpr unsigned ID_HELP_SEARCH = 218;
constexpr unsigned ID_HELP_DIAGNOSTICS = 238;
constexpr unsigned ID_HELP_SAVEDIAGNOSTICS = 239;
constexpr unsigned ID_HELP_SUPPORT = 32905;
constexpr unsigned ID_HELP_CHECKUPDATE = 32935;
// Posted to the main window when the update check has ended: presents its result quietly.
constexpr unsigned ID_HELP_UPDATERESULT = 32936;

// The save progress window: the target path, the bar, the status line and the clear-after-save check box.
constexpr unsigned IDD_LOG_PROGRESS_SAVE = 252;
constexpr unsigned IDC_PROGRESS_BAR = 1170;
constexpr unsigned IDC_PROGRESS_STATUS = 1171;
constexpr unsigned IDC_PROGRESS_PATH = 1172;
constexpr unsigned IDC_PROGRESS_CLEAR_AFTER_SAVE = 1173;
// The background-logging progress window: a bar for each capture bank's fill and the status text.
constexpr unsigned IDD_LOG_PROGRESS_BACKGROUND = 258;
constexpr unsigned IDC_BACKGROUND_BAR0 = 1171;
constexpr unsigned IDC_BACKGROUND_BAR1 = 1247;
constexpr unsigned IDC_BACKGROUND_STATUS = 1242;
// The options dialog and the Find dialog.
constexpr unsigned IDD_OPTIONS = 203;
constexpr unsigned IDD_FIND = 221;
// The About box and the splash window: the program's picture (a bitmap drawn by an owner-drawn button) and
// their version texts.
constexpr unsigned IDD_ABOUTBOX = 100;
constexpr unsigned IDC_ABOUT_DRIVER_VERSION = 210;
constexpr unsigned IDB_BIGICON = 268;
constexpr unsigned IDC_ABOUT_VERSION = 1183;
constexpr unsigned IDC_SPLASH_RELEASE = 1270;
constexpr unsigned IDC_BIGICON = 1300;

// Support and feedback, and the update check's result.
constexpr unsigned IDD_SUPPORT_FEEDBACK = 260;
constexpr unsigned IDC_SUPPORT_FACTS = 1268;
constexpr unsigned IDD_CHECK_UPDATE = 271;
constexpr unsigned IDC_UPDATE_INSTALLED = 1271;
constexpr unsigned IDC_UPDATE_LATEST = 1272;
constexpr unsigned IDI_UPDATE = 272;

// The filter dialog: its buttons (1-9; IDOK applies to the buffer), the name list and current name, the
// check-list pages under a tab control, and the three radio groups.
constexpr unsigned IDD_FILTER_DEFINITION = 204;
constexpr unsigned IDC_FILTER_APPLY_BUFFER = 1;
constexpr unsigned IDC_FILTER_LOAD = 2;
constexpr unsigned IDC_FILTER_SAVE = 3;
constexpr unsigned IDC_FILTER_REMOVE = 4;
constexpr unsigned IDC_FILTER_CLEAR = 5;
constexpr unsigned IDC_FILTER_SAVE_AS = 6;
constexpr unsigned IDC_FILTER_NEW = 7;
constexpr unsigned IDC_FILTER_APPLY_CAPTURE = 8;
constexpr unsigned IDC_FILTER_HELP = 9;
constexpr unsigned IDC_FILTER_CURRENT_LABEL = 194;
constexpr unsigned IDC_FILTER_DEFINED_LABEL = 195;
constexpr unsigned IDC_FILTER_NAMES = 1185;
constexpr unsigned IDC_FILTER_CLEAR_ALL = 1186;
constexpr unsigned IDC_FILTER_SELECT_ALL = 1187;
constexpr unsigned IDC_FILTER_NAME = 1188;
constexpr unsigned IDC_FILTER_STARTED = 1250;
constexpr unsigned IDC_FILTER_COMPLETED = 1251;
constexpr unsigned IDC_FILTER_STARTED_COMPLETED = 1252;
constexpr unsigned IDC_FILTER_SUCCESS = 1254;
constexpr unsigned IDC_FILTER_ERROR = 1255;
constexpr unsigned IDC_FILTER_SUCCESS_ERROR = 1256;
constexpr unsigned IDC_FILTER_INPUT = 1258;
constexpr unsigned IDC_FILTER_OUTPUT = 1259;
constexpr unsigned IDC_FILTER_INPUT_OUTPUT = 1260;
constexpr unsigned IDC_FILTER_TABS = 1261;
constexpr unsigned IDC_FILTER_FIRST_LIST = 1265; // the URB page's list
constexpr unsigned IDC_FILTER_PAGE_TITLE = 1266;
constexpr unsigned IDC_FILTER_SPARE_LIST = 1268; // a list no page uses, never shown
constexpr unsigned IDC_FILTER_LAST_LIST = 1274;
// The pages' headings.
constexpr unsigned IDS_FILTER_PAGE_URB = 142;
constexpr unsigned IDS_FILTER_PAGE_IHUB = 143;
constexpr unsigned IDS_FILTER_PAGE_USBINT = 145;
constexpr unsigned IDS_FILTER_PAGE_HUB = 146;
constexpr unsigned IDS_FILTER_PAGE_HCD = 147;
constexpr unsigned IDS_FILTER_PAGE_HID = 148;
constexpr unsigned IDS_FILTER_PAGE_PNP = 149;
constexpr unsigned IDS_FILTER_PAGE_POWER = 150;
// The name prompt: its edit shares the filter dialog's name id.
constexpr unsigned IDD_FILTER_PROMPT = 220;
// Help topics of the filter dialog in its filter and trigger modes.
constexpr unsigned IDH_FILTER_DEFINITION = 18;
constexpr unsigned IDH_TRIGGER_DEFINITION = 20;
