// Host controllers without a machine: the type from compatible ids, the tree label, the order by StackID,
// removal from the list, and the controller records of capture files, old layouts included.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "ArchiveImage.h"
#include "app/core/document/USBLog.h"
#include "app/devices/DeviceClass.h"
#include "app/devices/DeviceStack.h"
#include "app/devices/HostController.h"
#include "app/devices/StackTree.h"
#include "app/devices/SystemHostControllers.h"
#include "app/devices/TempObject.h"
#include "app/devices/UsbHub.h"
#include "devguid.h"
#include "tests/app/core/ArchiveBytes.h"

namespace {

using devtest::Image;

const char kUhci[] = "UHCI (Universal Host Controller Interface)";
const char kOhci[] = "OHCI (Open Host Controller Interface)";
const char kEhci[] = "EHCI (Enhanced Host Controller Interface)";
const char kXhci[] = "xHCI (eXtensible Host Controller Interface)";

TEST(HostController, TypeComesFromTheLastCompatibleIdThatNamesOne) {
    struct Case {
        std::vector<const char*> ids;
        const char* type;
        BYTE ehci;
        BYTE xhci;
    };
    const Case cases[] = {
        {{"PCI\\CC_0C0300", "PCI\\CC_0C03"}, kUhci, 0, 0},
        {{"PCI\\CC_0C0310&x"}, kOhci, 0, 0},
        {{"PCI\\CC_0C0310", "PCI\\CC_0C0320"}, kEhci, 1, 0},
        {{"PCI\\CC_0C0330", "PCI\\CC_0C03"}, kXhci, 0, 1},
        {{"PCI\\CC_0C0320", "PCI\\CC_0C0300"}, kUhci, 0, 0},
        {{"PCI\\CC_0C03", "pci\\cc_0c0320"}, "", 0, 0},
        {{}, "", 0, 0},
    };
    for (const Case& c : cases) {
        CHostController controller(nullptr, new CDeviceClass(GUID_DEVCLASS_USB, "key"));
        for (const char* id : c.ids)
            controller.m_pDeviceClass->m_CompatibleIDs.Add(id);
        controller.GetControllerType();
        EXPECT_STREQ(c.type, controller.m_strControllerType) << c.type;
        EXPECT_EQ(c.ehci, controller.m_bIsEhci) << c.type;
        EXPECT_EQ(c.xhci, controller.m_bIsXhci) << c.type;
    }
}

TEST(HostController, LabelIsTheDescriptionAndTheNameInParentheses) {
    CHostController controller(nullptr, new CDeviceClass(GUID_DEVCLASS_USB, "key"));
    controller.m_pDeviceClass->m_DeviceDescription = "Standard EHCI";
    controller.SetDeviceName("HCD2");
    CString label;
    controller.GetLabelText(label);
    EXPECT_STREQ("Standard EHCI(HCD2)", label);
    // Without its record (the stack went) the description is empty.
    controller.m_pDeviceClass.reset();
    controller.GetLabelText(label);
    EXPECT_STREQ("(HCD2)", label);
    EXPECT_EQ(CHECKSTATE_UNCHECKABLE, controller.GetCheckState());
}

TEST(SystemHostControllers, SortOrdersByStackIdAndKeepsEqualIdsInOrder) {
    std::vector<std::unique_ptr<CDeviceStack>> stacks;
    CSystemHostControllers controllers;
    for (USHORT id : {7, 3, 9, 3, 1}) {
        stacks.push_back(std::make_unique<CDeviceStack>());
        stacks.back()->StackID = id;
        controllers.m_Controllers.Add(std::make_unique<CHostController>(stacks.back().get(), nullptr));
    }
    CHostController* firstThree = controllers.GetAt(1);
    CHostController* secondThree = controllers.GetAt(3);
    controllers.SortByStackID();
    std::vector<USHORT> ids;
    for (INT_PTR i = 0; i < controllers.GetCount(); ++i)
        ids.push_back(controllers.GetAt(i)->m_devstk->StackID);
    EXPECT_EQ((std::vector<USHORT>{1, 3, 3, 7, 9}), ids);
    EXPECT_EQ(firstThree, controllers.GetAt(1));
    EXPECT_EQ(secondThree, controllers.GetAt(2));
}

TEST(SystemHostControllers, DeleteTakesOnlyItsOwnControllers) {
    CSystemHostControllers controllers;
    auto* pController = new CHostController(nullptr, new CDeviceClass(GUID_DEVCLASS_USB, "key"));
    pController->m_pRootHub.reset(new CUsbHub(pController, nullptr, nullptr));
    controllers.m_Controllers.Add(std::unique_ptr<CHostController>(pController));
    CHostController stranger;
    EXPECT_FALSE(controllers.DeleteHostController(&stranger, nullptr));
    EXPECT_TRUE(controllers.DeleteHostController(pController, nullptr));
    EXPECT_EQ(0, controllers.GetCount());
    EXPECT_FALSE(controllers.DeleteHostController(pController, nullptr));
}

class ControllerRecords : public testing::Test {
protected:
    void SetUp() override {
        auto* pStack = new CDeviceStack;
        pStack->StackID = 6;
        pStack->DriverKey = "{36fc9e60-c465-11cf-8056-444553540000}\\0006";
        m_doc.GetStackTree()->m_StackMap.SetAt(6, pStack);
        m_doc.GetStackTree()->m_DriverKeyToDevstk.SetAt(pStack->DriverKey, pStack);
    }
    CDeviceStack* Stack() { return m_doc.GetStackTree()->FindStackById(6); }

    CUSBLog m_doc;
};

TEST_F(ControllerRecords, AControllerWithItsRootHubRoundTrips) {
    CSystemHostControllers controllers;
    auto* pController = new CHostController(Stack(), new CDeviceClass(GUID_DEVCLASS_USB, "key"));
    pController->SetDeviceName("HCD1");
    pController->m_TargetDevice = "\\Device\\USBFDO-1";
    pController->m_strControllerType = kXhci;
    pController->m_bIsXhci = 1;
    pController->m_pRootHub.reset(new CUsbHub(pController, Stack(), nullptr));
    controllers.m_Controllers.Add(std::unique_ptr<CHostController>(pController));
    const std::vector<BYTE> stored = apptest::Store(controllers);

    CSystemHostControllers loaded;
    devtest::LoadImage(loaded, stored, &m_doc);
    ASSERT_EQ(1, loaded.GetCount());
    CHostController* pLoaded = loaded.GetAt(0);
    EXPECT_STREQ("HCD1", pLoaded->GetDeviceName());
    EXPECT_STREQ("\\Device\\USBFDO-1", pLoaded->m_TargetDevice);
    EXPECT_STREQ(kXhci, pLoaded->m_strControllerType);
    EXPECT_EQ(0, pLoaded->m_bIsEhci);
    EXPECT_EQ(1, pLoaded->m_bIsXhci);
    EXPECT_EQ(Stack(), pLoaded->m_devstk);
    ASSERT_NE(nullptr, pLoaded->m_pDeviceClass);
    ASSERT_NE(nullptr, pLoaded->m_pRootHub);
    EXPECT_EQ(pLoaded, pLoaded->m_pRootHub->GetHostController());
    EXPECT_EQ(stored, apptest::Store(loaded));
}

TEST_F(ControllerRecords, OlderSchemasLoadWithTheirDefaults) {
    struct Case {
        UINT schema;
        Image image;
        const char* target;
    };
    const Case cases[] = {
        // Schema 3: no link target, no type flags.
        {3, Image().Str("HCD0").U32(0).Str(kEhci).U16(6).U32(0), ""},
        // Schema 10: the link target, still no type flags.
        {10, Image().Str("HCD0").Str("\\Device\\USBFDO-0").U32(0).Str(kEhci).U16(6).U32(0), "\\Device\\USBFDO-0"},
    };
    for (const Case& c : cases) {
        CHostController controller(c.schema);
        devtest::LoadImage(controller, c.image.bytes, &m_doc);
        EXPECT_STREQ("HCD0", controller.GetDeviceName()) << c.schema;
        EXPECT_STREQ(c.target, controller.m_TargetDevice) << c.schema;
        EXPECT_STREQ(kEhci, controller.m_strControllerType) << c.schema;
        EXPECT_EQ(0, controller.m_bIsEhci) << c.schema;
        EXPECT_EQ(0, controller.m_bIsXhci) << c.schema;
        EXPECT_EQ(Stack(), controller.m_devstk) << c.schema;
        EXPECT_EQ(nullptr, controller.m_pRootHub) << c.schema;
    }
    // A container of an old file makes its controllers with its own schema.
    CSystemHostControllers container(3);
    devtest::LoadImage(container, Image().U32(1).Append(cases[0].image).bytes, &m_doc);
    ASSERT_EQ(1, container.GetCount());
    EXPECT_EQ(3u, container.GetAt(0)->m_nSchema);
}

} // namespace
