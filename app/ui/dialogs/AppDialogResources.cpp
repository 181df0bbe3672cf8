#include "app/ui/dialogs/AppDialogResources.h"

#include <iterator>
#include <vector>

#include "WinResourceTable.h"
#include "afxwin.h"
#include "app/core/app/Resource.h"
#include "tindaloft_app_embedded.h"

namespace {

using win32::DialogResourceItem;

constexpr DWORD kModalStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT | DS_CENTER;
// The splash window has no caption, only a thin border.
constexpr DWORD kSplashStyle = WS_POPUP | WS_BORDER | DS_SETFONT | DS_CENTER;
constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;
constexpr DWORD kText = kChild | SS_LEFT;
// The picture is a button that draws itself and never takes the focus.
constexpr DWORD kPicture = kChild | BS_OWNERDRAW | WS_DISABLED;
constexpr DWORD kDefaultButton = kChild | WS_TABSTOP | BS_DEFPUSHBUTTON;
constexpr DWORD kButton = kChild | WS_TABSTOP | BS_PUSHBUTTON;
constexpr UINT kStatic = 0xFFFF;
constexpr char kFont[] = "MS Shell Dlg";
constexpr WORD kFontSize = 8;

void RegisterSplash() {
    win32::RegisterDialogResource(
        nullptr, IDD_SPLASH,
        {kSplashStyle,
         0,
         0,
         0,
         236,
         68,
         "",
         kFont,
         kFontSize,
         {DialogResourceItem{"BUTTON", IDC_BIGICON, "", kPicture, 0, 10, 10, 46, 46},
          DialogResourceItem{"STATIC", IDC_SPLASH_RELEASE, "Tindaloft Release", kText, 0, 66, 14, 164, 10},
          DialogResourceItem{"STATIC", kStatic, "The Host USB Analyzer for Windows", kText, 0, 66, 28, 164, 10},
          DialogResourceItem{"STATIC", kStatic, "Copyright (C) Vellumcrest. All rights reserved.", kText, 0, 66, 42,
                             164, 10}}});
}

void RegisterAbout() {
    win32::RegisterDialogResource(
        nullptr, IDD_ABOUTBOX,
        {kModalStyle,
         0,
         0,
         0,
         236,
         84,
         "About Tindaloft",
         kFont,
         kFontSize,
         {DialogResourceItem{"BUTTON", IDC_BIGICON, "", kPicture, 0, 10, 10, 46, 46},
          DialogResourceItem{"STATIC", IDC_ABOUT_VERSION, "Tindaloft Version", kText, 0, 66, 12, 160, 10},
          DialogResourceItem{"STATIC", IDC_ABOUT_DRIVER_VERSION, "KxTdloft Version", kText, 0, 66, 26, 160, 10},
          DialogResourceItem{"STATIC", kStatic, "Copyright (C) Vellumcrest. All rights reserved.", kText, 0, 66, 40,
                             160, 10},
          DialogResourceItem{"BUTTON", IDOK, "OK", kDefaultButton, 0, 176, 62, 50, 14}}});
}

void RegisterSupport() {
    // The facts are for copying: a read-only edit control, one fact a line.
    constexpr DWORD kFacts = kChild | WS_BORDER | WS_TABSTOP | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL;
    win32::RegisterDialogResource(
        nullptr, IDD_SUPPORT_FEEDBACK,
        {kModalStyle,
         0,
         0,
         0,
         260,
         126,
         "Support and Feedback",
         kFont,
         kFontSize,
         {DialogResourceItem{"STATIC", kStatic,
                             "We welcome support questions, bug reports, or any other feedback you would like to "
                             "send about Tindaloft.",
                             kText, 0, 10, 10, 240, 20},
          DialogResourceItem{"STATIC", kStatic,
                             "Please cut and paste the following version and platform information into your email:",
                             kText, 0, 10, 36, 240, 20},
          DialogResourceItem{"EDIT", IDC_SUPPORT_FACTS, "", kFacts, 0, 10, 58, 240, 36},
          DialogResourceItem{"BUTTON", IDOK, "Launch &Email Client", kDefaultButton, 0, 96, 104, 90, 14},
          DialogResourceItem{"BUTTON", IDCANCEL, "Cancel", kButton, 0, 196, 104, 54, 14}}});
}

void RegisterCheckUpdate() {
    win32::RegisterDialogResource(
        nullptr, IDD_CHECK_UPDATE,
        {kModalStyle,
         0,
         0,
         0,
         220,
         84,
         "Tindaloft - Check for Update",
         kFont,
         kFontSize,
         {DialogResourceItem{"STATIC", kStatic, "#272", kChild | SS_ICON, 0, 10, 10, 21, 20},
          DialogResourceItem{"STATIC", kStatic, "A new version is available!", kText, 0, 40, 10, 170, 10},
          DialogResourceItem{"STATIC", IDC_UPDATE_LATEST, "The latest version is:", kText, 0, 40, 26, 170, 10},
          DialogResourceItem{"STATIC", IDC_UPDATE_INSTALLED, "Your installed version is:", kText, 0, 40, 40, 170, 10},
          DialogResourceItem{"BUTTON", IDOK, "Website", kDefaultButton, 0, 104, 62, 50, 14},
          DialogResourceItem{"BUTTON", IDCANCEL, "Close", kButton, 0, 160, 62, 50, 14}}});
}

// The filter dialog: the pages on the left under their tabs, the three radio groups on the right, the named
// definitions and their buttons below, the closing buttons at the bottom right.
void RegisterFilterDefinition() {
    constexpr DWORD kList = kChild | LBS_NOTIFY | WS_BORDER | WS_VSCROLL | WS_TABSTOP;
    constexpr DWORD kCheckList =
        WS_CHILD | LBS_OWNERDRAWFIXED | LBS_HASSTRINGS | LBS_NOTIFY | WS_BORDER | WS_VSCROLL | WS_TABSTOP;
    constexpr DWORD kGroup = kChild | BS_GROUPBOX;
    constexpr DWORD kFirstRadio = kChild | BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP;
    constexpr DWORD kRadio = kChild | BS_AUTORADIOBUTTON;
    // The page's title and lists come before the tab control, so they lie above it; the tab control clips
    // them out of its painting.
    std::vector<DialogResourceItem> items = {
        DialogResourceItem{"STATIC", IDC_FILTER_PAGE_TITLE, "", kText, 0, 14, 26, 222, 10},
    };
    for (UINT id = IDC_FILTER_FIRST_LIST; id <= IDC_FILTER_LAST_LIST; ++id) {
        if (id == IDC_FILTER_PAGE_TITLE)
            continue;
        items.push_back(DialogResourceItem{"LISTBOX", id, "", kCheckList, 0, 14, 38, 222, 122});
    }
    items.push_back(DialogResourceItem{WC_TABCONTROLA, IDC_FILTER_TABS, "", kChild | WS_TABSTOP | WS_CLIPSIBLINGS, 0, 7,
                                       7, 236, 176});
    const DialogResourceItem rest[] = {
        {"BUTTON", IDC_FILTER_CLEAR_ALL, "C&lear All", kButton, 0, 14, 164, 54, 14},
        {"BUTTON", IDC_FILTER_SELECT_ALL, "Selec&t All", kButton, 0, 74, 164, 54, 14},
        {"BUTTON", kStatic, "Irp/Function - Started or Completed", kGroup, 0, 250, 7, 130, 52},
        {"BUTTON", IDC_FILTER_STARTED, "Started", kFirstRadio, 0, 258, 19, 110, 10},
        {"BUTTON", IDC_FILTER_COMPLETED, "Completed", kRadio, 0, 258, 31, 110, 10},
        {"BUTTON", IDC_FILTER_STARTED_COMPLETED, "Started and Completed", kRadio, 0, 258, 43, 110, 10},
        {"BUTTON", kStatic, "Irp/Function - Success or Error Status", kGroup, 0, 250, 64, 130, 52},
        {"BUTTON", IDC_FILTER_SUCCESS, "Success", kFirstRadio, 0, 258, 76, 110, 10},
        {"BUTTON", IDC_FILTER_ERROR, "Error", kRadio, 0, 258, 88, 110, 10},
        {"BUTTON", IDC_FILTER_SUCCESS_ERROR, "Success and Error", kRadio, 0, 258, 100, 110, 10},
        {"BUTTON", kStatic, "Input or Output Transfers", kGroup, 0, 250, 121, 130, 52},
        {"BUTTON", IDC_FILTER_INPUT, "Input", kFirstRadio, 0, 258, 133, 110, 10},
        {"BUTTON", IDC_FILTER_OUTPUT, "Output", kRadio, 0, 258, 145, 110, 10},
        {"BUTTON", IDC_FILTER_INPUT_OUTPUT, "Input and Output", kRadio, 0, 258, 157, 110, 10},
        {"STATIC", IDC_FILTER_CURRENT_LABEL, "Current Filter:", kText, 0, 7, 192, 60, 10},
        {"STATIC", IDC_FILTER_NAME, "", kText, 0, 70, 192, 173, 10},
        {"STATIC", IDC_FILTER_DEFINED_LABEL, "Defined filters:", kText, 0, 7, 206, 80, 10},
        {"LISTBOX", IDC_FILTER_NAMES, "", kList, 0, 7, 217, 176, 62},
        {"BUTTON", IDC_FILTER_LOAD, "&Load", kButton, 0, 189, 217, 54, 14},
        {"BUTTON", IDC_FILTER_SAVE, "&Save...", kButton, 0, 189, 233, 54, 14},
        {"BUTTON", IDC_FILTER_SAVE_AS, "Sa&ve As...", kButton, 0, 189, 249, 54, 14},
        {"BUTTON", IDC_FILTER_REMOVE, "&Remove", kButton, 0, 189, 265, 54, 14},
        {"BUTTON", IDC_FILTER_NEW, "&New", kButton, 0, 250, 185, 130, 14},
        {"BUTTON", IDC_FILTER_APPLY_BUFFER, "Apply to &Buffer", kDefaultButton, 0, 250, 201, 130, 14},
        {"BUTTON", IDC_FILTER_APPLY_CAPTURE, "&Apply to Next Capture", kButton, 0, 250, 217, 130, 14},
        {"BUTTON", IDC_FILTER_CLEAR, "&Clear Filter", kButton, 0, 250, 233, 130, 14},
        {"BUTTON", IDC_FILTER_HELP, "&Help", kButton, 0, 250, 265, 130, 14},
    };
    items.insert(items.end(), std::begin(rest), std::end(rest));
    win32::RegisterDialogResource(nullptr, IDD_FILTER_DEFINITION,
                                  {kModalStyle, 0, 0, 0, 388, 286, "Define Filter", kFont, kFontSize, items});
}

void RegisterFilterPrompt() {
    win32::RegisterDialogResource(
        nullptr, IDD_FILTER_PROMPT,
        {kModalStyle,
         0,
         0,
         0,
         200,
         62,
         "Enter Filter Name",
         kFont,
         kFontSize,
         {DialogResourceItem{"EDIT", IDC_FILTER_NAME, "", kChild | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, 0, 10, 10,
                             180, 14},
          DialogResourceItem{"BUTTON", IDOK, "OK", kDefaultButton, 0, 80, 38, 50, 14},
          DialogResourceItem{"BUTTON", IDCANCEL, "Cancel", kButton, 0, 140, 38, 50, 14}}});
}

} // namespace

void RegisterAppDialogResources() {
    win32::RegisterBitmapResource(nullptr, IDB_BIGICON, tdl::embedded::bigicon_png, tdl::embedded::bigicon_png_size);
    win32::RegisterIconResource(nullptr, IDI_UPDATE, tdl::embedded::mainframe_png, tdl::embedded::mainframe_png_size);
    RegisterSplash();
    RegisterAbout();
    RegisterSupport();
    RegisterCheckUpdate();
    RegisterFilterDefinition();
    RegisterFilterPrompt();
}
