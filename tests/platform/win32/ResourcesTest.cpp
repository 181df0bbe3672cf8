// Resources declared by id and read back: strings, raw data, embedded bitmaps and icons with exact colours,
// menus, accelerators, dialog and toolbar templates, and loads that fail.
#include <cstring>

#include "GdiTestSupport.h"
#include "WinResourceTable.h"
#include "platform_win32_tests_embedded.h"

namespace {

constexpr UINT kBitmap = 200;
constexpr UINT kIcon = 201;
constexpr COLORREF kKey = 0x808000;

class Resources : public testing::Test {
protected:
    void SetUp() override { objects_ = win32::GdiObjectCount(); }
    void TearDown() override {
        win32::ClearResources();
        win32::FailResourceLoads(0);
        EXPECT_EQ(objects_, win32::GdiObjectCount());
    }
    size_t objects_ = 0;
};

TEST_F(Resources, StringsAndRawDataByIdOrName) {
    const win32::StringResource strings[] = {{100, "Capture"}, {101, ""}};
    win32::RegisterStringResources(nullptr, strings, 2);
    char buffer[5];
    EXPECT_EQ(4, LoadString(nullptr, 100, buffer, sizeof buffer));
    EXPECT_STREQ("Capt", buffer);
    EXPECT_EQ(0, LoadString(GetModuleHandle(nullptr), 100, nullptr, 0));
    const char* direct = nullptr;
    EXPECT_EQ(7, LoadString(nullptr, 100, reinterpret_cast<LPSTR>(&direct), 0));
    EXPECT_EQ(0, std::strncmp(direct, "Capture", 7));
    EXPECT_EQ(0, LoadString(nullptr, 102, buffer, sizeof buffer));
    EXPECT_EQ(static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND), GetLastError());
    EXPECT_STREQ("", buffer);

    win32::RegisterRawResource(nullptr, RT_RCDATA, MAKEINTRESOURCE(1), tdl::embedded::payload_bin,
                               tdl::embedded::payload_bin_size);
    HRSRC found = FindResource(nullptr, MAKEINTRESOURCE(1), RT_RCDATA);
    ASSERT_NE(nullptr, found);
    EXPECT_EQ(found, FindResource(nullptr, "#1", RT_RCDATA));
    EXPECT_EQ(768u, SizeofResource(nullptr, found));
    const auto* bytes = static_cast<const unsigned char*>(LockResource(LoadResource(nullptr, found)));
    ASSERT_NE(nullptr, bytes);
    EXPECT_EQ(0, std::memcmp(bytes, tdl::embedded::payload_bin, 768));
    EXPECT_EQ(nullptr, FindResource(nullptr, MAKEINTRESOURCE(2), RT_RCDATA));
    EXPECT_EQ(static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND), GetLastError());
    EXPECT_EQ(nullptr, FindResource(nullptr, MAKEINTRESOURCE(1), MAKEINTRESOURCE(99)));
    EXPECT_EQ(static_cast<DWORD>(ERROR_RESOURCE_TYPE_NOT_FOUND), GetLastError());
    win32::RegisterRawResource(nullptr, "SETUP", "Payload", "ab", 2);
    EXPECT_NE(nullptr, FindResource(nullptr, "PAYLOAD", "setup"));
    EXPECT_EQ(nullptr, LoadResource(nullptr, reinterpret_cast<HRSRC>(buffer)));

    win32::FailResourceLoads(1);
    EXPECT_EQ(nullptr, FindResource(nullptr, MAKEINTRESOURCE(1), RT_RCDATA));
    EXPECT_NE(nullptr, FindResource(nullptr, MAKEINTRESOURCE(1), RT_RCDATA));
}

TEST_F(Resources, EmbeddedBitmapsKeepTheirExactColoursAndIconsTheirTransparency) {
    win32::RegisterBitmapResource(nullptr, kBitmap, tdl::embedded::images16_png, tdl::embedded::images16_png_size);
    win32::RegisterIconResource(nullptr, kIcon, tdl::embedded::icon16_png, tdl::embedded::icon16_png_size);
    HBITMAP bitmap = LoadBitmap(nullptr, MAKEINTRESOURCE(kBitmap));
    ASSERT_NE(nullptr, bitmap);
    BITMAP bm;
    GetObject(bitmap, sizeof bm, &bm);
    EXPECT_EQ(32, bm.bmWidth);
    EXPECT_EQ(16, bm.bmHeight);
    EXPECT_EQ(32, bm.bmBitsPixel);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, bitmap);
    EXPECT_EQ(kKey, GetPixel(dc, 0, 0));
    EXPECT_EQ(RGB(255, 0, 0), GetPixel(dc, 4, 4));
    EXPECT_EQ(RGB(0, 0, 255), GetPixel(dc, 20, 11));

    // The icon covers only its opaque pixels.
    HICON icon = LoadIcon(GetModuleHandle(nullptr), MAKEINTRESOURCE(kIcon));
    ASSERT_NE(nullptr, icon);
    EXPECT_EQ(icon, LoadIcon(nullptr, MAKEINTRESOURCE(kIcon)));
    EXPECT_TRUE(DrawIcon(dc, 0, 0, icon));
    EXPECT_EQ(kKey, GetPixel(dc, 1, 1));
    EXPECT_EQ(RGB(0, 128, 0), GetPixel(dc, 4, 4));
    EXPECT_TRUE(DrawIconEx(dc, 16, 0, icon, 8, 8, 0, nullptr, DI_NORMAL)); // scaled to half
    EXPECT_EQ(RGB(0, 128, 0), GetPixel(dc, 18, 2));
    EXPECT_EQ(kKey, GetPixel(dc, 16, 0));
    EXPECT_EQ(RGB(0, 0, 255), GetPixel(dc, 24, 8));

    // An icon of one's own is destroyed; its parts come back as bitmaps the caller deletes.
    ICONINFO info;
    ASSERT_TRUE(GetIconInfo(icon, &info));
    HICON made = CreateIconIndirect(&info);
    ASSERT_NE(nullptr, made);
    DeleteObject(info.hbmMask);
    DeleteObject(info.hbmColor);
    EXPECT_TRUE(DrawIcon(dc, 0, 0, LoadIcon(nullptr, IDI_ERROR)));
    EXPECT_EQ(RGB(255, 0, 0), GetPixel(dc, 16, 2));
    EXPECT_TRUE(DrawIcon(dc, 0, 0, made));
    EXPECT_EQ(RGB(0, 128, 0), GetPixel(dc, 4, 4));
    EXPECT_TRUE(DestroyIcon(made));
    EXPECT_FALSE(DestroyIcon(made));

    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    EXPECT_EQ(nullptr, LoadBitmap(nullptr, MAKEINTRESOURCE(kBitmap + 50)));
    EXPECT_EQ(nullptr, LoadImage(nullptr, MAKEINTRESOURCE(kIcon + 50), IMAGE_ICON, 0, 0, 0));
    win32::FailResourceLoads(1);
    EXPECT_EQ(nullptr, LoadBitmap(nullptr, MAKEINTRESOURCE(kBitmap)));
}

TEST_F(Resources, MenusLoadWithTheirMarksAndChangeByCommandOrPosition) {
    size_t menus = win32::MenuCount();
    win32::RegisterMenuResource(
        nullptr, 300,
        {{MF_POPUP,
          0,
          "&File",
          {{0, 10, "&Open...\tCtrl+O", {}}, {MF_SEPARATOR, 0, "", {}}, {MF_GRAYED, 11, "&Save", {}}}},
         {MF_POPUP,
          0,
          "&View",
          {{MF_CHECKED, 20, "&Toolbar", {}}, {MFT_RADIOCHECK | MF_CHECKED, 21, "&Hex", {}}, {0, 22, "&Decimal", {}}}}});
    HMENU bar = LoadMenu(nullptr, MAKEINTRESOURCE(300));
    ASSERT_NE(nullptr, bar);
    EXPECT_EQ(menus + 3, win32::MenuCount());
    EXPECT_EQ(2, GetMenuItemCount(bar));
    HMENU file = GetSubMenu(bar, 0);
    EXPECT_EQ(static_cast<UINT>(-1), GetMenuItemID(bar, 0));
    EXPECT_EQ(10u, GetMenuItemID(file, 0));
    char text[32];
    EXPECT_EQ(5, GetMenuString(bar, 0, text, sizeof text, MF_BYPOSITION));
    EXPECT_STREQ("&File", text);
    EXPECT_EQ(static_cast<UINT>(MF_POPUP | (3 << 8)), GetMenuState(bar, 0, MF_BYPOSITION));
    EXPECT_EQ(static_cast<UINT>(MF_SEPARATOR), GetMenuState(file, 1, MF_BYPOSITION));
    EXPECT_EQ(static_cast<UINT>(MF_GRAYED), GetMenuState(bar, 11, MF_BYCOMMAND));
    EXPECT_EQ(static_cast<UINT>(MFT_RADIOCHECK | MF_CHECKED), GetMenuState(bar, 21, MF_BYCOMMAND));

    EXPECT_EQ(MF_GRAYED, EnableMenuItem(bar, 11, MF_BYCOMMAND | MF_ENABLED));
    EXPECT_EQ(0u, GetMenuState(bar, 11, MF_BYCOMMAND));
    EXPECT_EQ(static_cast<DWORD>(MF_CHECKED), CheckMenuItem(bar, 20, MF_BYCOMMAND | MF_UNCHECKED));
    EXPECT_EQ(0u, GetMenuState(bar, 20, MF_BYCOMMAND) & MF_CHECKED);
    EXPECT_EQ(static_cast<DWORD>(-1), CheckMenuItem(bar, 99, MF_BYCOMMAND | MF_CHECKED));
    EXPECT_TRUE(CheckMenuRadioItem(bar, 21, 22, 22, MF_BYCOMMAND));
    EXPECT_EQ(0u, GetMenuState(bar, 21, MF_BYCOMMAND) & MF_CHECKED);
    EXPECT_EQ(static_cast<UINT>(MFT_RADIOCHECK | MF_CHECKED), GetMenuState(bar, 22, MF_BYCOMMAND));

    EXPECT_TRUE(ModifyMenu(bar, 10, MF_BYCOMMAND | MF_STRING, 12, "&Import"));
    EXPECT_EQ(12u, GetMenuItemID(file, 0));
    EXPECT_TRUE(InsertMenu(bar, 12, MF_BYCOMMAND | MF_STRING, 9, "&New"));
    EXPECT_EQ(9u, GetMenuItemID(file, 0));
    MENUITEMINFOA info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_ID | MIIM_STRING | MIIM_STATE;
    info.wID = 13;
    info.fState = MFS_GRAYED;
    info.dwTypeData = const_cast<LPSTR>("E&xit");
    EXPECT_TRUE(InsertMenuItem(file, 4, TRUE, &info));
    EXPECT_EQ(5, GetMenuItemCount(file));
    EXPECT_EQ(static_cast<UINT>(MFS_GRAYED), GetMenuState(file, 4, MF_BYPOSITION));
    char out[8];
    MENUITEMINFOA read{};
    read.cbSize = sizeof read;
    read.fMask = MIIM_STRING | MIIM_ID;
    read.dwTypeData = out;
    read.cch = sizeof out;
    EXPECT_TRUE(GetMenuItemInfo(bar, 13, FALSE, &read));
    EXPECT_STREQ("E&xit", out);
    EXPECT_EQ(5u, read.cch);
    EXPECT_TRUE(DeleteMenu(bar, 1, MF_BYPOSITION)); // destroys the View sub-menu
    EXPECT_EQ(menus + 2, win32::MenuCount());
    EXPECT_TRUE(DestroyMenu(bar));
    EXPECT_EQ(menus, win32::MenuCount());
    EXPECT_FALSE(IsMenu(file));
    EXPECT_EQ(-1, GetMenuItemCount(bar));
    EXPECT_EQ(nullptr, LoadMenu(nullptr, MAKEINTRESOURCE(301)));
}

TEST_F(Resources, AcceleratorsDialogsAndToolbars) {
    win32::RegisterAcceleratorResource(nullptr, 400, {{FVIRTKEY | FCONTROL, 'O', 10}, {FVIRTKEY, 0x74, 30}});
    HACCEL table = LoadAccelerators(nullptr, MAKEINTRESOURCE(400));
    ASSERT_NE(nullptr, table);
    EXPECT_EQ(table, LoadAccelerators(GetModuleHandle(nullptr), MAKEINTRESOURCE(400)));
    EXPECT_EQ(2, CopyAcceleratorTable(table, nullptr, 0));
    ACCEL entries[2];
    EXPECT_EQ(2, CopyAcceleratorTable(table, entries, 2));
    EXPECT_EQ(30, entries[1].cmd);
    EXPECT_EQ(FVIRTKEY | FCONTROL, entries[0].fVirt);
    ACCEL own{FVIRTKEY, 'A', 1};
    HACCEL made = CreateAcceleratorTable(&own, 1);
    EXPECT_TRUE(DestroyAcceleratorTable(made));
    EXPECT_EQ(0, CopyAcceleratorTable(made, nullptr, 0));
    EXPECT_EQ(nullptr, LoadAccelerators(nullptr, MAKEINTRESOURCE(401)));

    win32::RegisterDialogResource(nullptr, 500,
                                  {0x80C80000,
                                   0,
                                   0,
                                   0,
                                   200,
                                   100,
                                   "Options",
                                   "MS Shell Dlg",
                                   8,
                                   {{"BUTTON", 1, "OK", 0x50010001, 0, 140, 80, 50, 14},
                                    {"SysListView32", 1001, "", 0x50010000, 0, 7, 7, 180, 60}}});
    win32::DialogResource dialog;
    ASSERT_TRUE(win32::GetDialogResource(nullptr, MAKEINTRESOURCE(500), dialog));
    EXPECT_EQ("Options", dialog.caption);
    ASSERT_EQ(2u, dialog.items.size());
    EXPECT_EQ("SysListView32", dialog.items[1].className);
    EXPECT_EQ(180, dialog.items[1].cx);
    EXPECT_FALSE(win32::GetDialogResource(nullptr, MAKEINTRESOURCE(501), dialog));

    win32::RegisterToolbarResource(nullptr, 600, {16, 15, {10, 0, 11}});
    win32::ToolbarResource toolbar;
    ASSERT_TRUE(win32::GetToolbarResource(nullptr, MAKEINTRESOURCE(600), toolbar));
    EXPECT_EQ(3u, toolbar.items.size());
    EXPECT_EQ(0u, toolbar.items[1]);
}

} // namespace
