// The stack inspector's grid list filled from a device stack of the default machine and painted: each row
// shows its check box and then its own image (7 a device object of the stack, 9 a removed one, 12 the
// physical device object), vertically centred before the name.
// The kernel's headers come first: their ASSERT is the one a test of kernel objects wants.
#include "tests/support/MachineFixture.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "app/devices/AttachedDevices.h"
#include "app/devices/AttachedDrivers.h"
#include "app/devices/DeviceObject.h"
#include "app/devices/DeviceStack.h"
#include "app/devices/DeviceViews.h"
#include "app/devices/StackTree.h"
#include "app/widgets/OXGridList.h"
#include "tests/support/Pictures.h"

// The capture driver's entry point (driver/core/Driver.h).
DRIVER_INITIALIZE DriverEntry;

namespace {

constexpr char kDevice[] = "\\\\.\\Tindaloft";
constexpr int kImageSize = 16;
constexpr COLORREF kWhite = RGB(255, 255, 255); // the row images' mask colour

// The colour each row image is filled with; the others grey.
COLORREF ImageColour(int image) {
    switch (image) {
    case 7: return RGB(0, 160, 0);
    case 9: return RGB(200, 0, 0);
    case 12: return RGB(0, 0, 200);
    default: return RGB(128, 128, 128);
    }
}

// A host that hands its list's draw requests and notices back to the list.
class CGridHost : public CWnd {};

// The stack inspector's list as it fills itself from a stack: three columns, the device images as the small
// image list, check boxes in three states.
class CStackGrid : public COXGridList, public IStackGridList {
public:
    BOOL Make(CWnd* pParent) {
        if (!Create(WS_CHILD | WS_VISIBLE, CRect(0, 0, 460, 160), pParent, 114))
            return FALSE;
        InsertColumn(0, "Device Name", LVCFMT_LEFT, 200);
        InsertColumn(1, "DeviceObject", LVCFMT_LEFT, 120);
        InsertColumn(2, "Driver Name", LVCFMT_LEFT, 120);
        if (!BuildImages())
            return FALSE;
        SetImageList(&m_images, LVSIL_SMALL);
        SetCheckStyle(BS_AUTO3STATE);
        return SetCheckable(TRUE);
    }
    BOOL InsertRow(int nRow, CDeviceObject* pDevice, int nImage, LPCSTR lpszName, LPCSTR lpszAddress, LPCSTR lpszDriver,
                   int nCheckImage) override {
        LVITEMA item{};
        item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
        item.iItem = nRow;
        item.pszText = const_cast<LPSTR>(lpszName);
        item.iImage = nImage;
        item.lParam = reinterpret_cast<LPARAM>(pDevice);
        if (InsertItem(&item) < 0)
            return FALSE;
        SetItemText(nRow, 1, lpszAddress);
        SetItemText(nRow, 2, lpszDriver);
        SetItemState(nRow,
                     INDEXTOSTATEIMAGEMASK(nCheckImage == 10   ? 2
                                           : nCheckImage == 11 ? 1
                                                               : 3),
                     LVIS_STATEIMAGEMASK);
        return TRUE;
    }

private:
    BOOL BuildImages() {
        CClientDC screen(this);
        CDC dc;
        CBitmap strip;
        if (!dc.CreateCompatibleDC(&screen) || !strip.CreateCompatibleBitmap(&screen, 13 * kImageSize, kImageSize))
            return FALSE;
        CBitmap* old = dc.SelectObject(&strip);
        const CRect all(0, 0, 13 * kImageSize, kImageSize);
        dc.FillSolidRect(&all, kWhite);
        for (int i = 0; i < 13; ++i) {
            const CRect face(i * kImageSize + 2, 2, (i + 1) * kImageSize - 2, kImageSize - 2);
            dc.FillSolidRect(&face, ImageColour(i));
        }
        dc.SelectObject(old);
        return m_images.Create(kImageSize, kImageSize, ILC_COLOR24 | ILC_MASK, 13, 0) &&
               m_images.Add(&strip, kWhite) == 0;
    }

    CImageList m_images;
};

class StackGridListPicture : public tdl::test::MachineTest {};

TEST_F(StackGridListPicture, EachRowShowsItsImageBeforeItsName) {
    BootDefault(nt::version::Release::Windows7, DriverEntry, tdl::test::BusTime::Off);
    CStackTree stacks(kDevice);
    CAttachedDevices devices;
    CAttachedDrivers drivers(kDevice);
    ASSERT_TRUE(stacks.QueryDriverStacks(&devices));
    ASSERT_TRUE(drivers.QueryDriversAndDevices(&devices, true));
    // The stack with the most device objects: a physical one at position 0 and those above it.
    CDeviceStack* pStack = nullptr;
    for (USHORT id = 1; id <= stacks.GetMaxStackID(); ++id) {
        CDeviceStack* p = stacks.FindStackById(id);
        if (p != nullptr && (pStack == nullptr || p->m_DevObjMap.GetCount() > pStack->m_DevObjMap.GetCount()))
            pStack = p;
    }
    ASSERT_NE(nullptr, pStack);
    ASSERT_GE(pStack->m_DevObjMap.GetCount(), 2);
    CObject* pTop = nullptr;
    ASSERT_TRUE(pStack->m_DevObjMap.Lookup(static_cast<USHORT>(pStack->m_DevObjMap.GetCount() - 1), pTop));

    CGridHost host;
    ASSERT_TRUE(host.CreateEx(0, nullptr, "Stack Inspector", WS_OVERLAPPEDWINDOW | WS_VISIBLE, CRect(0, 0, 480, 200),
                              nullptr, 0));
    auto list = std::make_unique<CStackGrid>();
    ASSERT_TRUE(list->Make(&host));
    // The stack as it stands, then again once its top object is gone (as its removal record leaves it).
    for (const bool removed : {false, true}) {
        SCOPED_TRACE(removed ? "top removed" : "present");
        if (removed)
            static_cast<CDeviceObject*>(pTop)->_StatusFlags |= DEVOBJ_REMOVED;
        list->DeleteAllItems();
        pStack->FillStackGridList(*list);
        const int rows = list->GetItemCount();
        ASSERT_EQ(pStack->m_DevObjMap.GetCount(), rows);
        const tdl::test::Picture picture(list->m_hWnd,
                                         removed ? "stack-inspector-removed.png" : "stack-inspector-rows.png");
        ASSERT_TRUE(picture.IsValid());
        int seen[13] = {};
        for (int row = 0; row < rows; ++row) {
            SCOPED_TRACE(row);
            LVITEMA item{};
            item.mask = LVIF_IMAGE;
            item.iItem = row;
            ASSERT_TRUE(list->GetItem(&item));
            ASSERT_TRUE(item.iImage >= 0 && item.iImage < 13);
            ++seen[item.iImage];
            CRect bounds;
            list->GetItemRect(row, &bounds, LVIR_BOUNDS);
            // After the check box, before the name: the row's own image and none of the others.
            const RECT imageArea{bounds.left + 13, bounds.top, bounds.left + 13 + 4 + kImageSize + 4, bounds.bottom};
            for (int image : {7, 9, 12}) {
                const COLORREF colour = ImageColour(image);
                const int pixels = picture.Count(imageArea, [colour](COLORREF c) { return c == colour; });
                if (image == item.iImage)
                    EXPECT_GE(pixels, (kImageSize - 4) * (kImageSize - 4)) << "image " << image;
                else
                    EXPECT_EQ(0, pixels) << "image " << image;
            }
            // Centred: as many rows of the image above its middle as below.
            const COLORREF colour = ImageColour(item.iImage);
            const int middle = (bounds.top + bounds.bottom) / 2;
            const RECT above{imageArea.left, bounds.top, imageArea.right, middle};
            const RECT below{imageArea.left, middle, imageArea.right, bounds.bottom};
            const int up = picture.Count(above, [colour](COLORREF c) { return c == colour; });
            const int down = picture.Count(below, [colour](COLORREF c) { return c == colour; });
            EXPECT_LE(std::abs(up - down), kImageSize) << up << " above, " << down << " below";
        }
        EXPECT_EQ(1, seen[12]) << "one physical device object";
        EXPECT_EQ(removed ? 1 : 0, seen[9]) << "removed objects";
        EXPECT_EQ(rows - 1 - seen[9], seen[7]) << "objects above the physical one";
    }
    list.reset();
    host.DestroyWindow();
}

} // namespace
