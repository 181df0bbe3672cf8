// The main frame's ids: its docking panes (each also the View command that opens or closes it), status-bar
// indicators, commands, the strings of its titles and texts, and the LED bitmaps.
#pragma once

// Docking panes; 59524 is not used.
constexpr unsigned ID_VIEW_DEVICETREE = 59523;
constexpr unsigned ID_VIEW_DATABAR = 59525;
constexpr unsigned ID_VIEW_STACKINSPECTOR = 59526;
constexpr unsigned ID_VIEW_LOGDETAILS = 59527;
constexpr unsigned ID_VIEW_DEVICEPROPERTIES = 59528;
constexpr unsigned ID_VIEW_SYSTEMPROPERTIES = 59529;

// Status-bar indicators, each showing its string; the LED pane after them.
constexpr unsigned ID_INDICATOR_WRAP = 120;
constexpr unsigned ID_INDICATOR_TRIG = 140;
constexpr unsigned ID_INDICATOR_FILT = 137;
constexpr unsigned ID_INDICATOR_CAPT = 138;
constexpr unsigned ID_INDICATOR_DIAG = 121;
constexpr unsigned ID_INDICATOR_LED = 6;

// Commands of the frame.
constexpr unsigned ID_VIEW_REFRESH = 197;
constexpr unsigned ID_HELP_STACKINSPECTOR = 223;
constexpr unsigned ID_CAPTURE_BOOTLOGGING = 32794;
constexpr unsigned ID_CAPTURE_HOTPLUGS = 32937;
// The window list of the Window menu: one entry per visible document window, from the first.
constexpr unsigned ID_WINDOW_LIST_FIRST = 32001;
constexpr unsigned ID_WINDOW_LIST_LAST = 32016;
// Commands of the record list that the menus and toolbar carry.
constexpr unsigned ID_VIEW_LOGFONT = 105;
constexpr unsigned ID_OPTIONS_AUTOSCROLL = 108;

// Pane titles, and the texts the frame's commands show.
constexpr unsigned IDS_SYSTEM_PROPERTIES = 106;
constexpr unsigned IDS_ENABLE_HOTPLUGS = 107;
constexpr unsigned IDS_DISABLE_HOTPLUGS = 109;
constexpr unsigned IDS_STACK_INSPECTOR = 132;
constexpr unsigned IDS_ENABLE_BOOTLOGGING = 135;
constexpr unsigned IDS_DISABLE_BOOTLOGGING = 136;
constexpr unsigned IDS_DATA = 139;
constexpr unsigned IDS_LOG_DETAILS = 151;
constexpr unsigned IDS_DEVICE_PROPERTIES = 152;
constexpr unsigned IDS_DEVICE_TREE = 161;

// The capture LED: lit (two phases) and off.
constexpr unsigned IDB_LED_ON_A = 254;
constexpr unsigned IDB_LED_ON_B = 255;
constexpr unsigned IDB_LED_OFF = 256;

// The help topic of the stack inspector.
constexpr unsigned IDH_STACK_INSPECTOR = 50;
