#include "app/ui/frame/MainFrameResources.h"

#include <iterator>
#include <vector>

#include "WinResourceTable.h"
#include "afxwin.h"
#include "app/core/app/Resource.h"
#include "app/ui/frame/MainFrameIds.h"
#include "tindaloft_app_embedded.h"

namespace {

using win32::MenuResourceItem;

// Pane titles, indicators, the texts the frame's commands switch to, and each toolbar command's prompt with
// its tooltip after "\n".
const AFX_STRING_ENTRY kStrings[] = {
    {IDS_SYSTEM_PROPERTIES, "System Properties"},
    {IDS_ENABLE_HOTPLUGS, "Enable capture of hot plugs"},
    {IDS_DISABLE_HOTPLUGS, "Disable capture of hot plugs"},
    {ID_INDICATOR_WRAP, "WRAP"},
    {ID_INDICATOR_DIAG, "DIAG"},
    {IDS_STACK_INSPECTOR, "Stack Inspector"},
    {IDS_ENABLE_BOOTLOGGING, "Enable &logging during reboot"},
    {IDS_DISABLE_BOOTLOGGING, "Disable &logging during reboot"},
    {ID_INDICATOR_FILT, "FILT"},
    {ID_INDICATOR_CAPT, "CAPT"},
    {IDS_DATA, "Data"},
    {ID_INDICATOR_TRIG, "TRIG"},
    {IDS_LOG_DETAILS, "Log Details"},
    {IDS_DEVICE_PROPERTIES, "Device Properties"},
    {IDS_DEVICE_TREE, "USB Device Tree"},
    {ID_FILE_NEW, "Open a new capture window\nNew capture"},
    {ID_FILE_OPEN, "Open a saved capture log file\nOpen"},
    {ID_FILE_SAVE, "Save the capture to a log file\nSave"},
    {ID_USB_STARTEVENTCAPTURE, "Start capturing USB requests of the checked devices\nStart capture"},
    {ID_USB_STOPEVENTCAPTURE, "Stop the capture\nStop capture"},
    {ID_USB_CLEARCAPTURE, "Empty the capture buffer\nClear buffer"},
    {ID_OPTIONS_AUTOSCROLL, "Keep the last captured request in view\nAuto scroll"},
    {ID_EDIT_FIND_REQUEST, "Find a request in the capture\nFind"},
    {ID_EDIT_FILTER, "Filter the captured requests\nFilter"},
    {ID_EDIT_TRIGGER, "Stop the capture at a chosen request\nTrigger"},
    {ID_CAPTURE_BOOTLOGGING, "Capture USB requests from the next system start\nBoot logging"},
    {ID_CAPTURE_HOTPLUGS, "Capture devices plugged in during a capture\nCapture hot plugs"},
    {ID_VIEW_DEVICETREE, "Show or hide the USB device tree\nDevice Tree"},
    {ID_VIEW_LOGDETAILS, "Show or hide the details of the selected request\nLog Details"},
    {ID_VIEW_DATABAR, "Show or hide the data bytes of the selected request\nData"},
    {ID_VIEW_REFRESH, "Read the USB device tree again\nRefresh"},
    {ID_OPTIONS_CONFIGURATION, "Change the capture options\nOptions"},
    {ID_HELP_CONTENTS, "Show the help contents\nHelp"},
};

// Toolbar "Standard": 18 buttons in four groups.
const std::vector<UINT> kStandardButtons = {
    ID_FILE_NEW,
    ID_FILE_OPEN,
    ID_FILE_SAVE,
    0,
    ID_USB_STARTEVENTCAPTURE,
    ID_USB_STOPEVENTCAPTURE,
    ID_USB_CLEARCAPTURE,
    ID_OPTIONS_AUTOSCROLL,
    ID_EDIT_FIND_REQUEST,
    ID_EDIT_FILTER,
    ID_EDIT_TRIGGER,
    ID_CAPTURE_BOOTLOGGING,
    ID_CAPTURE_HOTPLUGS,
    0,
    ID_VIEW_DEVICETREE,
    ID_VIEW_LOGDETAILS,
    ID_VIEW_DATABAR,
    ID_VIEW_REFRESH,
    0,
    ID_OPTIONS_CONFIGURATION,
    ID_HELP_CONTENTS,
};

MenuResourceItem Command(UINT id, const char* text) {
    return {MF_STRING, id, text, {}};
}
MenuResourceItem Separator() {
    return {MF_SEPARATOR, 0, "", {}};
}
MenuResourceItem Popup(const char* text, std::vector<MenuResourceItem> items) {
    return {MF_POPUP, 0, text, std::move(items)};
}

MenuResourceItem HelpMenu() {
    return Popup("&Help",
                 {Command(ID_HELP_CONTENTS, "&Contents"), Command(ID_HELP_INDEX, "&Index"),
                  Command(ID_HELP_SEARCH, "&Search"), Separator(), Command(ID_HELP_DIAGNOSTICS, "Enable &Diagnostics"),
                  Command(ID_HELP_SAVEDIAGNOSTICS, "Save Diagnostics &Log..."), Separator(),
                  Command(ID_HELP_SUPPORT, "Support and &Feedback..."),
                  Command(ID_HELP_CHECKUPDATE, "Check for &Update"), Separator(),
                  Command(ID_APP_ABOUT, "&About Tindaloft...")});
}

// The File menu without a document, and with one (Close, Save, Save As and the device reports).
MenuResourceItem FileMenu(bool withDocument) {
    std::vector<MenuResourceItem> items = {Command(ID_FILE_NEW, "&New\tCtrl+N"),
                                           Command(ID_FILE_OPEN, "&Open...\tCtrl+O")};
    if (withDocument) {
        items.push_back(Command(ID_FILE_CLOSE, "&Close"));
        items.push_back(Command(ID_FILE_SAVE, "&Save\tCtrl+S"));
        items.push_back(Command(ID_FILE_SAVE_AS, "Save &As..."));
        items.push_back(Separator());
        items.push_back(Command(ID_EXPORT_DEVICEREPORT_HTML, "&Device report as HTML..."));
        items.push_back(Command(ID_EXPORT_DEVICEREPORT_XML, "&Device report as XML..."));
    }
    items.push_back(Separator());
    items.push_back(Command(ID_FILE_PRINT_SETUP, "P&rint Setup..."));
    items.push_back(Separator());
    items.push_back(Command(ID_FILE_MRU_FILE1, "Recent File"));
    items.push_back(Separator());
    items.push_back(Command(ID_APP_EXIT, "E&xit"));
    return Popup("&File", std::move(items));
}

// The panes' commands read "Hide ..." while the pane is open, as every pane is at first.
MenuResourceItem ViewMenu(bool withDocument) {
    std::vector<MenuResourceItem> items = {
        Command(ID_VIEW_DEVICETREE, "Hide &Device Tree"),
        Command(ID_VIEW_STACKINSPECTOR, "Hide Stack &Inspector"),
        Command(ID_VIEW_LOGDETAILS, "Hide Log &Details"),
        Command(ID_VIEW_DEVICEPROPERTIES, "Hide Device &Properties"),
        Command(ID_VIEW_SYSTEMPROPERTIES, "Hide System &Properties"),
        Command(ID_VIEW_DATABAR, "Hide &Data Bar"),
        Separator(),
        Command(ID_VIEW_STATUS_BAR, "&Status Bar"),
    };
    if (withDocument) {
        items.push_back(Separator());
        items.push_back(Command(ID_VIEW_REFRESH, "&Refresh\tF5"));
        items.push_back(Command(ID_VIEW_LOGFONT, "Fon&t..."));
    }
    return Popup("&View", std::move(items));
}

std::vector<MenuResourceItem> FrameMenu() {
    return {FileMenu(false), ViewMenu(false), HelpMenu()};
}

std::vector<MenuResourceItem> DocumentMenu() {
    return {
        FileMenu(true),
        Popup("&Edit", {Command(ID_EDIT_FIND_REQUEST, "&Find...\tCtrl+F"), Command(ID_EDIT_FILTER, "F&ilter..."),
                        Command(ID_EDIT_TRIGGER, "Tri&gger...")}),
        ViewMenu(true),
        Popup("&Capture",
              {Command(ID_USB_STARTEVENTCAPTURE, "Star&t\tCtrl+R"), Command(ID_USB_STOPEVENTCAPTURE, "Sto&p\tCtrl+T"),
               Command(ID_USB_CLEARCAPTURE, "&Clear buffer\tCtrl+D"),
               Command(ID_USB_CLEARDEVICES, "Clear monitored &devices"), Separator(),
               Command(ID_CAPTURE_BOOTLOGGING, "Boot &Logging"), Command(ID_CAPTURE_HOTPLUGS, "Capture hot plugs")}),
        Popup("&Options", {Command(ID_OPTIONS_AUTOSCROLL, "Auto &scroll to last event\tCtrl+A"),
                           Command(ID_OPTIONS_CONFIGURATION, "Configuration ...")}),
        // The window list follows Cascade and Tile.
        Popup("&Window", {Command(ID_WINDOW_CASCADE, "&Cascade"), Command(ID_WINDOW_TILE_HORZ, "&Tile")}), HelpMenu()};
}

std::vector<ACCEL> Accelerators(bool withDocument) {
    std::vector<ACCEL> entries = {{FVIRTKEY | FCONTROL, 'N', ID_FILE_NEW}, {FVIRTKEY | FCONTROL, 'O', ID_FILE_OPEN}};
    if (withDocument) {
        const std::vector<ACCEL> document = {
            {FVIRTKEY | FCONTROL, 'S', ID_FILE_SAVE},
            {FVIRTKEY | FCONTROL, 'R', static_cast<WORD>(ID_USB_STARTEVENTCAPTURE)},
            {FVIRTKEY | FCONTROL, 'T', static_cast<WORD>(ID_USB_STOPEVENTCAPTURE)},
            {FVIRTKEY | FCONTROL, 'D', static_cast<WORD>(ID_USB_CLEARCAPTURE)},
            {FVIRTKEY | FCONTROL, 'F', static_cast<WORD>(ID_EDIT_FIND_REQUEST)},
            {FVIRTKEY | FCONTROL, 'A', static_cast<WORD>(ID_OPTIONS_AUTOSCROLL)},
            {FVIRTKEY, VK_F5, static_cast<WORD>(ID_VIEW_REFRESH)},
        };
        entries.insert(entries.end(), document.begin(), document.end());
    }
    return entries;
}

} // namespace

void RegisterMainFrameResources() {
    AfxRegisterStringTable(kStrings, std::size(kStrings));
    win32::RegisterMenuResource(nullptr, IDR_MAINFRAME, FrameMenu());
    win32::RegisterMenuResource(nullptr, IDR_TDLOFT_TYPE, DocumentMenu());
    win32::RegisterMenuResource(nullptr, IDR_TDLOFT_REALTIME, DocumentMenu());
    win32::RegisterAcceleratorResource(nullptr, IDR_MAINFRAME, Accelerators(false));
    win32::RegisterAcceleratorResource(nullptr, IDR_TDLOFT_TYPE, Accelerators(true));
    win32::RegisterAcceleratorResource(nullptr, IDR_TDLOFT_REALTIME, Accelerators(true));
    win32::RegisterToolbarResource(nullptr, IDR_MAINFRAME, {16, 16, kStandardButtons});
    // The toolbar's images on the mask colour 0xC0C0C0, in button order; the LED's on teal 0x808000.
    win32::RegisterBitmapResource(nullptr, IDR_MAINFRAME, tdl::embedded::mainframe_toolbar_png,
                                  tdl::embedded::mainframe_toolbar_png_size);
    win32::RegisterBitmapResource(nullptr, IDB_LED_ON_A, tdl::embedded::led_on_a_png, tdl::embedded::led_on_a_png_size);
    win32::RegisterBitmapResource(nullptr, IDB_LED_ON_B, tdl::embedded::led_on_b_png, tdl::embedded::led_on_b_png_size);
    win32::RegisterBitmapResource(nullptr, IDB_LED_OFF, tdl::embedded::led_off_png, tdl::embedded::led_off_png_size);
}
