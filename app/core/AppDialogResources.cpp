#include "app/core/AppDialogResources.h"

#include "WinResourceTable.h"
#include "afxwin.h"
#include "app/core/Resource.h"
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
    win32::RegisterDialogResource(
        nullptr, IDD_SUPPORT_FEEDBACK,
        {kModalStyle,
         0,
         0,
         0,
         260,
         96,
         "Tindaloft Support and Feedback",
         kFont,
         kFontSize,
         {DialogResourceItem{"STATIC", kStatic,
                             "We welcome support questions, bug reports, or any other feedback you would like to "
                             "send about Tindaloft.",
                             kText, 0, 10, 10, 240, 20},
          DialogResourceItem{"STATIC", kStatic,
                             "Please cut and paste the following version and platform information into your email:",
                             kText, 0, 10, 36, 240, 20},
          DialogResourceItem{"BUTTON", IDOK, "Launch &Email Client", kDefaultButton, 0, 96, 74, 90, 14},
          DialogResourceItem{"BUTTON", IDCANCEL, "Cancel", kButton, 0, 196, 74, 54, 14}}});
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

} // namespace

void RegisterAppDialogResources() {
    win32::RegisterBitmapResource(nullptr, IDB_BIGICON, tdl::embedded::bigicon_png, tdl::embedded::bigicon_png_size);
    win32::RegisterIconResource(nullptr, IDI_UPDATE, tdl::embedded::mainframe_png, tdl::embedded::mainframe_png_size);
    RegisterSplash();
    RegisterAbout();
    RegisterSupport();
    RegisterCheckUpdate();
}
