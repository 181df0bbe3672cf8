#include "app/core/AppResources.h"

#include <vector>

#include "WinResourceTable.h"
#include "afxwin.h"
#include "app/core/AppDialogResources.h"
#include "app/core/KxTdloft.h"
#include "app/core/Resource.h"
#include "tindaloft_app_embedded.h"

namespace {

using win32::MenuResourceItem;

const AFX_STRING_ENTRY kStrings[] = {
    {IDR_MAINFRAME, "Tindaloft"},
    {AFX_IDS_APP_TITLE, "Tindaloft"},
    {IDS_TINDALOFT_DEVICE, "\\\\.\\Tindaloft"},
    {IDR_TDLOFT_TYPE, "\nusblog\nTindaloft Log File\nTindaloft Log File (*.tdloft)\n.tdloft\nTindaloft.Document\n"
                      "Tindaloft Log File"},
    {IDS_FILTER_PAGE_URB, "Selection of USB Request Blocks"},
    {IDS_FILTER_PAGE_IHUB, "Selection of Hub Interface functions"},
    {IDS_FILTER_PAGE_USBINT, "Selection of USB Internal Ioctls"},
    {IDS_FILTER_PAGE_HUB, "Selection of Hub Ioctls"},
    {IDS_FILTER_PAGE_HCD, "Selection of Host Controller Ioctls"},
    {IDS_FILTER_PAGE_HID, "Selection of HID Ioctls"},
    {IDS_FILTER_PAGE_PNP, "Selection of PnP Irps"},
    {IDS_FILTER_PAGE_POWER, "Selection of Power Irps"},
    {IDR_TDLOFT_REALTIME, "\nCapture Mode\nTrace\nTindaloft Log File\n.tdloft\nTindaloft.Document\nTindaloft Log File"},
};

MenuResourceItem Command(UINT id, const char* text) {
    return {MF_STRING, id, text, {}};
}
MenuResourceItem Separator() {
    return {MF_SEPARATOR, 0, "", {}};
}

MenuResourceItem HelpMenu() {
    return {MF_POPUP,
            0,
            "&Help",
            {Command(ID_HELP_CONTENTS, "&Contents"), Command(ID_HELP_INDEX, "&Index"),
             Command(ID_HELP_SEARCH, "&Search"), Separator(), Command(ID_HELP_DIAGNOSTICS, "Enable &Diagnostics"),
             Command(ID_HELP_SAVEDIAGNOSTICS, "Save Diagnostics &Log..."), Separator(),
             Command(ID_HELP_SUPPORT, "Support and &Feedback..."), Command(ID_HELP_CHECKUPDATE, "Check for &Update"),
             Separator(), Command(ID_APP_ABOUT, "&About Tindaloft...")}};
}

// The File menu without a document, and with one (which adds Close, Save and Save As).
MenuResourceItem FileMenu(bool withDocument) {
    MenuResourceItem file{
        MF_POPUP, 0, "&File", {Command(ID_FILE_NEW, "&New\tCtrl+N"), Command(ID_FILE_OPEN, "&Open...\tCtrl+O")}};
    if (withDocument) {
        file.items.push_back(Command(ID_FILE_CLOSE, "&Close"));
        file.items.push_back(Command(ID_FILE_SAVE, "&Save\tCtrl+S"));
        file.items.push_back(Command(ID_FILE_SAVE_AS, "Save &As..."));
    }
    file.items.push_back(Separator());
    file.items.push_back(Command(ID_FILE_PRINT_SETUP, "P&rint Setup..."));
    file.items.push_back(Separator());
    file.items.push_back(Command(ID_FILE_MRU_FILE1, "Recent File"));
    file.items.push_back(Separator());
    file.items.push_back(Command(ID_APP_EXIT, "E&xit"));
    return file;
}

std::vector<MenuResourceItem> DocumentMenu() {
    return {FileMenu(true),
            {MF_POPUP,
             0,
             "&Window",
             {Command(ID_WINDOW_CASCADE, "&Cascade"), Command(ID_WINDOW_TILE_HORZ, "&Tile"),
              Command(ID_WINDOW_ARRANGE, "&Arrange Icons")}},
            HelpMenu()};
}

std::vector<ACCEL> Accelerators(bool withDocument) {
    std::vector<ACCEL> entries = {{FVIRTKEY | FCONTROL, 'N', ID_FILE_NEW}, {FVIRTKEY | FCONTROL, 'O', ID_FILE_OPEN}};
    if (withDocument) {
        entries.push_back({FVIRTKEY | FCONTROL, 'S', ID_FILE_SAVE});
    }
    return entries;
}

} // namespace

void RegisterAppResources() {
    AfxRegisterStringTable(kStrings, std::size(kStrings));
    win32::RegisterMenuResource(nullptr, IDR_MAINFRAME, {FileMenu(false), HelpMenu()});
    win32::RegisterMenuResource(nullptr, IDR_TDLOFT_TYPE, DocumentMenu());
    win32::RegisterMenuResource(nullptr, IDR_TDLOFT_REALTIME, DocumentMenu());
    win32::RegisterAcceleratorResource(nullptr, IDR_MAINFRAME, Accelerators(false));
    win32::RegisterAcceleratorResource(nullptr, IDR_TDLOFT_TYPE, Accelerators(true));
    win32::RegisterAcceleratorResource(nullptr, IDR_TDLOFT_REALTIME, Accelerators(true));
    win32::RegisterIconResource(nullptr, IDR_MAINFRAME, tdl::embedded::mainframe_png,
                                tdl::embedded::mainframe_png_size);
    win32::RegisterIconResource(nullptr, IDR_TDLOFT_TYPE, tdl::embedded::logfile_png, tdl::embedded::logfile_png_size);
    win32::RegisterIconResource(nullptr, IDR_TDLOFT_REALTIME, tdl::embedded::capture_png,
                                tdl::embedded::capture_png_size);
    RegisterAppDialogResources();
}
