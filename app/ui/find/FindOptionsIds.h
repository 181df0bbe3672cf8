// The ids of the Find dialog (template 221) and the Options dialog (template 203): their controls, images,
// strings and help topics. The Options dialog's item ids are string ids too: an item's tip is the string with
// its id.
#pragma once

// ---- Find (template 221)

constexpr unsigned IDC_FIND_FRAME = 124;        // its bottom edge is the bottom of the reduced dialog
constexpr unsigned IDC_FIND_NEXT = 125;         // "&Next", the default button
constexpr unsigned IDC_FIND_PREV = 126;         // "&Prev"
constexpr unsigned IDC_FIND_REQUEST_TYPE = 127; // the combo box of pages
constexpr unsigned IDC_FIND_STARTED = 128;      // phase: request side
constexpr unsigned IDC_FIND_COMPLETED = 129;    // phase: completion side
constexpr unsigned IDC_FIND_BOTH_PHASES = 130;
constexpr unsigned IDC_FIND_SUCCESS = 131; // outcome
constexpr unsigned IDC_FIND_ERROR = 132;
constexpr unsigned IDC_FIND_BOTH_OUTCOMES = 133;
constexpr unsigned IDC_FIND_WRAP = 136;  // "Wrap searches"
constexpr unsigned IDC_FIND_MORE = 1190; // "&More >>" / "<< &Less"
// The check-list boxes, stacked: 1265 the URB page's, 1267 to 1274 the others'; 1268 has no page.
constexpr unsigned IDC_FIND_FIRST_LIST = 1265;
constexpr unsigned IDC_FIND_SPARE_LIST = 1268;
constexpr unsigned IDC_FIND_LAST_LIST = 1274;
constexpr unsigned IDC_FIND_HELP = 3;
constexpr unsigned IDH_FIND = 19;

// ---- Options (template 203)

constexpr unsigned IDC_OPTION_TREE = 1179;
constexpr unsigned IDC_OPTIONS_HELP = 3; // beside OK (1) and Cancel (2)
// The caption images: of a part's options (the log size, the logging switches) and of a whole part.
constexpr unsigned IDB_OPTION_CAPTION_PAGE = 204;
constexpr unsigned IDB_OPTION_CAPTION_GROUP = 205;
constexpr unsigned IDH_OPTIONS = 2;

// Tips: every item's while logging, and the four captions'.
constexpr unsigned IDS_OPTION_TIP_LOGGING = 500;
constexpr unsigned IDS_OPTION_TIP_APPLICATION = 501;
constexpr unsigned IDS_OPTION_TIP_DRIVER = 502;
constexpr unsigned IDS_OPTION_TIP_LOG_SIZE = 503;
constexpr unsigned IDS_OPTION_TIP_LOGGING_OPTIONS = 504;

// Items (and the strings of their tips).
constexpr unsigned IDO_LOG_SIZE_BANK = 999; // the one size offered: one capture bank
constexpr unsigned IDO_LOG_SIZE_1MB = 1000; // the larger sizes are shown, never offered
constexpr unsigned IDO_LOG_SIZE_100MB = 1004;
constexpr unsigned IDO_AUTO_ENABLE = 1200;
constexpr unsigned IDO_CAPTURE_BULK = 1201;
constexpr unsigned IDO_CAPTURE_CTRL = 1202;
constexpr unsigned IDO_CAPTURE_ISOCH = 1203;
constexpr unsigned IDO_HIDE_DEVICE_TREE = 1213;
constexpr unsigned IDO_CAPTURE_URBS = 1214;
constexpr unsigned IDO_CAPTURE_USB_INTERN = 1215;
constexpr unsigned IDO_CAPTURE_HUB_IOCTL = 1216;
constexpr unsigned IDO_CAPTURE_HCD_IOCTL = 1217;
constexpr unsigned IDO_CAPTURE_HID_IOCTL = 1218;
constexpr unsigned IDO_CAPTURE_PNP = 1220;
constexpr unsigned IDO_CAPTURE_POWER = 1221;
constexpr unsigned IDO_CONTINUOUS_LOGGING = 1225;
constexpr unsigned IDO_BACKGROUND_LOGGING = 1226;
constexpr unsigned IDO_AUTO_CLOSE_PROGRESS = 1227;
constexpr unsigned IDO_CAPTURE_HUB_INTERFACE = 1228;
constexpr unsigned IDO_INDEPENDENT_HELP = 1240;
constexpr unsigned IDO_CHECK_FOR_UPDATE = 1242;
// The seven size radios (codes 1 to 7) under each transfer kind.
constexpr unsigned IDO_BULK_SIZE_FIRST = 1300;
constexpr unsigned IDO_CTRL_SIZE_FIRST = 1307;
constexpr unsigned IDO_ISOCH_SIZE_FIRST = 1314;
constexpr unsigned IDO_SIZE_RADIO_COUNT = 7;
