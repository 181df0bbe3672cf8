// The main frame's resources: every command the menus carry with its text, the Window menu beginning with
// Cascade and Tile, the accelerators, the toolbar "Standard" and its images on the mask colour, the LED images
// on teal, and the texts of the panes, indicators and switching commands.
#include "app/ui/frame/MainFrameResources.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "WinResourceTable.h"
#include "afxwin.h"
#include "app/core/app/AppResources.h"
#include "app/core/app/Resource.h"
#include "app/ui/frame/MainFrameIds.h"
#include "tests/support/UiFixture.h"

namespace {

// Every command of a menu and its submenus, with its text.
void Collect(HMENU hMenu, std::map<UINT, std::string>& items) {
    for (int i = 0; i < ::GetMenuItemCount(hMenu); ++i) {
        if (HMENU hPopup = ::GetSubMenu(hMenu, i)) {
            Collect(hPopup, items);
            continue;
        }
        char text[128] = {};
        ::GetMenuStringA(hMenu, static_cast<UINT>(i), text, sizeof text, MF_BYPOSITION);
        if (const UINT nID = ::GetMenuItemID(hMenu, i); nID != 0)
            items[nID] = text;
    }
}

std::map<UINT, std::string> MenuItems(UINT nMenu) {
    std::map<UINT, std::string> items;
    HMENU hMenu = ::LoadMenuA(nullptr, MAKEINTRESOURCEA(nMenu));
    EXPECT_NE(hMenu, nullptr) << nMenu;
    if (hMenu != nullptr) {
        Collect(hMenu, items);
        ::DestroyMenu(hMenu);
    }
    return items;
}

class MainFrameResourcesTest : public tdl::test::UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        RegisterAppResources();
    }
};

TEST_F(MainFrameResourcesTest, TheDocumentMenusCarryEveryCommandWithItsText) {
    const std::map<UINT, std::string> expected = {
        {ID_FILE_NEW, "&New\tCtrl+N"},
        {ID_FILE_OPEN, "&Open...\tCtrl+O"},
        {ID_FILE_CLOSE, "&Close"},
        {ID_FILE_SAVE, "&Save\tCtrl+S"},
        {ID_FILE_SAVE_AS, "Save &As..."},
        {ID_EXPORT_DEVICEREPORT_HTML, "&Device report as HTML..."},
        {ID_EXPORT_DEVICEREPORT_XML, "&Device report as XML..."},
        {ID_APP_EXIT, "E&xit"},
        {ID_EDIT_FIND_REQUEST, "&Find...\tCtrl+F"},
        {ID_EDIT_FILTER, "F&ilter..."},
        {ID_EDIT_TRIGGER, "Tri&gger..."},
        {ID_VIEW_DEVICETREE, "Hide &Device Tree"},
        {ID_VIEW_STACKINSPECTOR, "Hide Stack &Inspector"},
        {ID_VIEW_LOGDETAILS, "Hide Log &Details"},
        {ID_VIEW_DEVICEPROPERTIES, "Hide Device &Properties"},
        {ID_VIEW_SYSTEMPROPERTIES, "Hide System &Properties"},
        {ID_VIEW_DATABAR, "Hide &Data Bar"},
        {ID_VIEW_STATUS_BAR, "&Status Bar"},
        {ID_VIEW_REFRESH, "&Refresh\tF5"},
        {ID_VIEW_LOGFONT, "Fon&t..."},
        {ID_USB_STARTEVENTCAPTURE, "Star&t\tCtrl+R"},
        {ID_USB_STOPEVENTCAPTURE, "Sto&p\tCtrl+T"},
        {ID_USB_CLEARCAPTURE, "&Clear buffer\tCtrl+D"},
        {ID_USB_CLEARDEVICES, "Clear monitored &devices"},
        {ID_CAPTURE_BOOTLOGGING, "Boot &Logging"},
        {ID_CAPTURE_HOTPLUGS, "Capture hot plugs"},
        {ID_OPTIONS_AUTOSCROLL, "Auto &scroll to last event\tCtrl+A"},
        {ID_OPTIONS_CONFIGURATION, "Configuration ..."},
        {ID_WINDOW_CASCADE, "&Cascade"},
        {ID_WINDOW_TILE_HORZ, "&Tile"},
        {ID_HELP_CONTENTS, "&Contents"},
        {ID_APP_ABOUT, "&About Tindaloft..."},
    };
    for (UINT nMenu : {IDR_TDLOFT_TYPE, IDR_TDLOFT_REALTIME}) {
        SCOPED_TRACE(nMenu);
        const std::map<UINT, std::string> items = MenuItems(nMenu);
        for (const auto& [nID, text] : expected) {
            const auto found = items.find(nID);
            ASSERT_NE(found, items.end()) << nID;
            EXPECT_EQ(found->second, text) << nID;
        }
        // The Window menu starts with Cascade and Tile; the window list follows them.
        HMENU hMenu = ::LoadMenuA(nullptr, MAKEINTRESOURCEA(nMenu));
        HMENU hWindow = nullptr;
        for (int i = 0; i < ::GetMenuItemCount(hMenu); ++i)
            if (HMENU hPopup = ::GetSubMenu(hMenu, i); hPopup != nullptr && ::GetMenuItemID(hPopup, 0) == 57650)
                hWindow = hPopup;
        ASSERT_NE(hWindow, nullptr);
        EXPECT_EQ(::GetMenuItemCount(hWindow), 2);
        EXPECT_EQ(::GetMenuItemID(hWindow, 1), 57651u);
        ::DestroyMenu(hMenu);
    }
    // Without a document: files, the panes and help.
    const std::map<UINT, std::string> frame = MenuItems(IDR_MAINFRAME);
    for (UINT nID : std::vector<UINT>{ID_FILE_NEW, ID_FILE_OPEN, ID_APP_EXIT, ID_VIEW_DEVICETREE, ID_VIEW_DATABAR,
                                      ID_VIEW_STATUS_BAR, ID_HELP_CONTENTS, ID_APP_ABOUT})
        EXPECT_NE(frame.find(nID), frame.end()) << nID;
    EXPECT_EQ(frame.find(ID_USB_STARTEVENTCAPTURE), frame.end());
}

TEST_F(MainFrameResourcesTest, AcceleratorsReachTheirCommands) {
    const struct {
        WORD key;
        BYTE virt;
        UINT nID;
    } keys[] = {
        {'N', FVIRTKEY | FCONTROL, ID_FILE_NEW},
        {'O', FVIRTKEY | FCONTROL, ID_FILE_OPEN},
        {'S', FVIRTKEY | FCONTROL, ID_FILE_SAVE},
        {'R', FVIRTKEY | FCONTROL, ID_USB_STARTEVENTCAPTURE},
        {'T', FVIRTKEY | FCONTROL, ID_USB_STOPEVENTCAPTURE},
        {'D', FVIRTKEY | FCONTROL, ID_USB_CLEARCAPTURE},
        {'F', FVIRTKEY | FCONTROL, ID_EDIT_FIND_REQUEST},
        {'A', FVIRTKEY | FCONTROL, ID_OPTIONS_AUTOSCROLL},
        {VK_F5, FVIRTKEY, ID_VIEW_REFRESH},
    };
    HACCEL hAccel = ::LoadAcceleratorsA(nullptr, MAKEINTRESOURCEA(IDR_TDLOFT_REALTIME));
    ASSERT_NE(hAccel, nullptr);
    std::vector<ACCEL> table(static_cast<size_t>(::CopyAcceleratorTableA(hAccel, nullptr, 0)));
    ::CopyAcceleratorTableA(hAccel, table.data(), static_cast<int>(table.size()));
    for (const auto& k : keys) {
        bool found = false;
        for (const ACCEL& entry : table)
            found = found || (entry.key == k.key && entry.fVirt == k.virt && entry.cmd == k.nID);
        EXPECT_TRUE(found) << k.nID;
    }
}

TEST_F(MainFrameResourcesTest, TheToolbarAndTheLedImages) {
    win32::ToolbarResource toolbar;
    ASSERT_TRUE(win32::GetToolbarResource(nullptr, MAKEINTRESOURCEA(IDR_MAINFRAME), toolbar));
    EXPECT_EQ(toolbar.width, 16);
    EXPECT_EQ(toolbar.height, 16);
    EXPECT_EQ(toolbar.items.size(), 21u);
    EXPECT_EQ(std::count(toolbar.items.begin(), toolbar.items.end(), 0u), 3);

    struct Image {
        UINT nID;
        int cx, cy;
        COLORREF key; // the colour of the image's corners: its mask or transparent colour
    };
    for (const Image& image :
         {Image{IDR_MAINFRAME, 18 * 16, 16, RGB(192, 192, 192)}, Image{IDB_LED_ON_A, 12, 12, RGB(0, 128, 128)},
          Image{IDB_LED_ON_B, 12, 12, RGB(0, 128, 128)}, Image{IDB_LED_OFF, 12, 12, RGB(0, 128, 128)}}) {
        SCOPED_TRACE(image.nID);
        HBITMAP hBitmap = ::LoadBitmapA(nullptr, MAKEINTRESOURCEA(image.nID));
        ASSERT_NE(hBitmap, nullptr);
        BITMAP bm{};
        ::GetObjectA(hBitmap, sizeof bm, &bm);
        EXPECT_EQ(bm.bmWidth, image.cx);
        EXPECT_EQ(bm.bmHeight, image.cy);
        HDC hdc = ::CreateCompatibleDC(nullptr);
        HGDIOBJ hOld = ::SelectObject(hdc, hBitmap);
        EXPECT_EQ(::GetPixel(hdc, 0, 0), image.key);
        EXPECT_EQ(::GetPixel(hdc, image.cx - 1, image.cy - 1), image.key);
        // Each 16-pixel cell of the strip (the LED's one cell) draws something on its key.
        for (int x0 = 0; x0 < image.cx; x0 += std::min(image.cx, 16)) {
            int drawn = 0;
            for (int y = 0; y < image.cy; ++y)
                for (int x = x0; x < std::min(image.cx, x0 + 16); ++x)
                    drawn += ::GetPixel(hdc, x, y) != image.key ? 1 : 0;
            EXPECT_GT(drawn, 30) << "image at " << x0;
        }
        ::SelectObject(hdc, hOld);
        ::DeleteDC(hdc);
        ::DeleteObject(hBitmap);
    }
}

TEST_F(MainFrameResourcesTest, TheTextsOfThePanesIndicatorsAndSwitches) {
    const std::map<UINT, std::string> texts = {
        {106, "System Properties"},
        {107, "Enable capture of hot plugs"},
        {109, "Disable capture of hot plugs"},
        {120, "WRAP"},
        {121, "DIAG"},
        {132, "Stack Inspector"},
        {135, "Enable &logging during reboot"},
        {136, "Disable &logging during reboot"},
        {137, "FILT"},
        {138, "CAPT"},
        {139, "Data"},
        {140, "TRIG"},
        {151, "Log Details"},
        {152, "Device Properties"},
        {161, "USB Device Tree"},
    };
    for (const auto& [nID, text] : texts) {
        CString loaded;
        EXPECT_TRUE(AfxLoadString(nID, loaded)) << nID;
        EXPECT_EQ(std::string(loaded.GetString()), text) << nID;
    }
}

} // namespace
