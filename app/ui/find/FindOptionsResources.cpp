#include "app/ui/find/FindOptionsResources.h"

#include <iterator>
#include <vector>

#include "WinResourceTable.h"
#include "afxwin.h"
#include "app/core/app/Resource.h"
#include "app/ui/find/FindOptionsIds.h"
#include "tindaloft_app_embedded.h"

namespace {

using win32::DialogResourceItem;

constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;
constexpr DWORD kButton = kChild | WS_TABSTOP | BS_PUSHBUTTON;
constexpr DWORD kDefaultButton = kChild | WS_TABSTOP | BS_DEFPUSHBUTTON;
constexpr UINT kStatic = 0xFFFF;
constexpr char kFont[] = "MS Shell Dlg";
constexpr WORD kFontSize = 8;

const AFX_STRING_ENTRY kTips[] = {
    {IDS_OPTION_TIP_LOGGING, "Options are read-only while logging is active."},
    {IDS_OPTION_TIP_APPLICATION, "Configuration options that control the Tindaloft application."},
    {IDS_OPTION_TIP_DRIVER, "Configuration options that control the USB protocol analyzer driver."},
    {IDS_OPTION_TIP_LOG_SIZE, "Specifies the maximum size of the captured log file.\nWhen the end of the file is "
                              "reached, logging\nterminates unless continuous logging is enabled."},
    {IDS_OPTION_TIP_LOGGING_OPTIONS, "Logging options for the USB protocol analyzer driver."},
    {IDO_LOG_SIZE_1MB, "Log file holds up to 1 MByte of trace records"},
    {IDO_LOG_SIZE_1MB + 1, "Log file holds up to 5 MBytes of trace records"},
    {IDO_LOG_SIZE_1MB + 2, "Log file holds up to 10 MBytes of trace records"},
    {IDO_LOG_SIZE_1MB + 3, "Log file holds up to 50 MBytes of trace records"},
    {IDO_LOG_SIZE_100MB, "Log file holds up to 100 MBytes of trace records"},
    {IDO_AUTO_ENABLE, "Enable/disable automatic logging for newly arrived devices"},
    {IDO_CAPTURE_BULK, "Enable data capture for bulk & interrupt transfers."},
    {IDO_CAPTURE_CTRL, "Enable data capture for control transfers."},
    {IDO_CAPTURE_ISOCH, "Enable data capture for isochronous transfers."},
    {IDO_HIDE_DEVICE_TREE, "Hide the Device Tree & Stack Inspector while logging is active."},
    {IDO_CAPTURE_URBS, "Capture all USB Request Blocks"},
    {IDO_CAPTURE_USB_INTERN, "Capture kernel-mode USB internal ioctls."},
    {IDO_CAPTURE_HUB_IOCTL, "Capture user-mode HUB ioctls"},
    {IDO_CAPTURE_HCD_IOCTL, "Capture user-mode USB host controller ioctls"},
    {IDO_CAPTURE_HID_IOCTL, "Capture user-mode HID ioctls"},
    {IDO_CAPTURE_PNP, "Capture kernel-mode PnP Irps (start & remove)"},
    {IDO_CAPTURE_POWER, "Capture kernel-mode Power Irps"},
    {IDO_CONTINUOUS_LOGGING, "When max log size is reached, wrap back to beginning of log file."},
    {IDO_BACKGROUND_LOGGING, "Logging occurs in the background and is not displayed until finished."},
    {IDO_AUTO_CLOSE_PROGRESS, "Automatically close Export progress dialog if save succeeds"},
    {IDO_CAPTURE_HUB_INTERFACE, "Capture Hub interface calls to Usbport.sys"},
    {IDO_INDEPENDENT_HELP, "Allow Help Viewer to hide behind application window"},
    {IDO_CHECK_FOR_UPDATE, "Look for a newer version of Tindaloft on the update server when the program starts."},
};

// The tips of the seven size radios, the same under each transfer kind.
const char* const kSizeTips[IDO_SIZE_RADIO_COUNT] = {
    "Capture only the first 8 bytes of the data transfer.",
    "Capture only the first 64 bytes of the data transfer.",
    "Capture up to 64K bytes of the data transfer.",
    "Capture up to 256K bytes of the data transfer (multi-record).",
    "Capture up to 512K bytes of the data transfer (multi-record).",
    "Capture up to 768K bytes of the data transfer (multi-record).",
    "Capture up to 1024K bytes of the data transfer (multi-record).",
};

void RegisterTips() {
    AfxRegisterStringTable(kTips, std::size(kTips));
    for (UINT first : {IDO_BULK_SIZE_FIRST, IDO_CTRL_SIZE_FIRST, IDO_ISOCH_SIZE_FIRST})
        for (UINT i = 0; i < IDO_SIZE_RADIO_COUNT; ++i)
            AfxRegisterString(first + i, kSizeTips[i]);
}

// The option tree fills the dialog above its three buttons.
void RegisterOptions() {
    constexpr DWORD kTree = kChild | WS_BORDER | WS_TABSTOP | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT |
                            TVS_SHOWSELALWAYS | TVS_INFOTIP;
    win32::RegisterDialogResource(
        nullptr, IDD_OPTIONS,
        {WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT | DS_CENTER,
         0,
         0,
         0,
         284,
         250,
         "Tindaloft Options",
         kFont,
         kFontSize,
         {DialogResourceItem{WC_TREEVIEWA, IDC_OPTION_TREE, "", kTree, 0, 7, 7, 270, 212},
          DialogResourceItem{"BUTTON", IDOK, "OK", kDefaultButton, 0, 113, 228, 50, 14},
          DialogResourceItem{"BUTTON", IDCANCEL, "Cancel", kButton, 0, 170, 228, 50, 14},
          DialogResourceItem{"BUTTON", IDC_OPTIONS_HELP, "&Help", kButton, 0, 227, 228, 50, 14}}});
}

// The search settings and the buttons at the top, inside frame 124 (never shown: its bottom is the reduced
// dialog's bottom); the request codes' lists, one over the other, below it.
void RegisterFind() {
    constexpr DWORD kGroup = kChild | BS_GROUPBOX;
    constexpr DWORD kFirstRadio = kChild | BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP;
    constexpr DWORD kRadio = kChild | BS_AUTORADIOBUTTON;
    constexpr DWORD kCheckList =
        WS_CHILD | LBS_OWNERDRAWFIXED | LBS_HASSTRINGS | LBS_NOTIFY | WS_BORDER | WS_VSCROLL | WS_TABSTOP;
    std::vector<DialogResourceItem> items = {
        {"STATIC", kStatic, "Request type:", kChild | SS_LEFT, 0, 7, 9, 50, 8},
        {WC_COMBOBOXA, IDC_FIND_REQUEST_TYPE, "", kChild | CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP | WS_GROUP, 0, 58,
         7, 116, 120},
        {"BUTTON", kStatic, "State", kGroup, 0, 7, 25, 80, 50},
        {"BUTTON", IDC_FIND_STARTED, "Started", kFirstRadio, 0, 14, 37, 66, 10},
        {"BUTTON", IDC_FIND_COMPLETED, "Completed", kRadio, 0, 14, 49, 66, 10},
        {"BUTTON", IDC_FIND_BOTH_PHASES, "Both", kRadio, 0, 14, 61, 66, 10},
        {"BUTTON", kStatic, "Status", kGroup, 0, 94, 25, 80, 50},
        {"BUTTON", IDC_FIND_SUCCESS, "Success", kFirstRadio, 0, 101, 37, 66, 10},
        {"BUTTON", IDC_FIND_ERROR, "Error", kRadio, 0, 101, 49, 66, 10},
        {"BUTTON", IDC_FIND_BOTH_OUTCOMES, "Both", kRadio, 0, 101, 61, 66, 10},
        {"BUTTON", IDC_FIND_WRAP, "Wrap searches", kChild | BS_AUTOCHECKBOX | WS_TABSTOP | WS_GROUP, 0, 7, 82, 100, 10},
        {"BUTTON", IDC_FIND_NEXT, "&Next", kDefaultButton | WS_GROUP, 0, 184, 7, 56, 14},
        {"BUTTON", IDC_FIND_PREV, "&Prev", kButton, 0, 184, 24, 56, 14},
        {"BUTTON", IDCANCEL, "&Close", kButton, 0, 184, 41, 56, 14},
        {"BUTTON", IDC_FIND_MORE, "&More >>", kButton, 0, 184, 58, 56, 14},
        {"BUTTON", IDC_FIND_HELP, "&Help", kButton, 0, 184, 75, 56, 14},
        {"STATIC", IDC_FIND_FRAME, "", WS_CHILD | SS_BLACKFRAME, 0, 0, 0, 247, 99},
    };
    for (UINT id = IDC_FIND_FIRST_LIST; id <= IDC_FIND_LAST_LIST; ++id)
        if (id != IDC_FIND_FIRST_LIST + 1)
            items.push_back(DialogResourceItem{"LISTBOX", id, "", kCheckList, 0, 7, 100, 233, 112});
    win32::RegisterDialogResource(nullptr, IDD_FIND,
                                  {WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT, 0, 0, 0, 247, 219,
                                   "Find", kFont, kFontSize, items});
}

} // namespace

void RegisterFindOptionsResources() {
    RegisterTips();
    win32::RegisterBitmapResource(nullptr, IDB_OPTION_CAPTION_PAGE, tdl::embedded::options_page_png,
                                  tdl::embedded::options_page_png_size);
    win32::RegisterBitmapResource(nullptr, IDB_OPTION_CAPTION_GROUP, tdl::embedded::options_group_png,
                                  tdl::embedded::options_group_png_size);
    RegisterOptions();
    RegisterFind();
}
