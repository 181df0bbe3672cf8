// Clear buffer and Clear monitored devices: the store emptied, the driver's stacks refreshed and the devices
// queried again only after the panes dropped their pointers into them, a running capture resumed as a new
// session, and every device's selection cleared in the driver.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "app/devices/AttachedDevices.h"
#include "app/devices/DeviceObject.h"
#include "app/devices/TempObject.h"
#include "common/ControlCodes.h"
#include "common/NodeEntries.h"
#include "tests/app/core/CaptureCommandFixture.h"

namespace {

class CaptureClearTest : public apptest::CaptureCommandFixture {
protected:
    // How many requests the driver had when the panes were told the device model changes.
    void WatchModelChange() {
        m_panes.onCall = [this](const std::string& name) {
            if (name == "DeviceModelChanging")
                m_requestsAtModelChange = static_cast<int>(m_fake->Requests().size());
        };
    }
    int m_requestsAtModelChange = -1;
};

TEST_F(CaptureClearTest, ClearBufferEmptiesTheStoreAndRequeriesTheDevicesAfterThePanesLetGo) {
    CUSBLog& doc = NewDocument();
    AddRecords(doc, {1, 2, 3});
    ASSERT_EQ(doc.GetLogRecords()->GetCount(), 3);
    ASSERT_EQ(doc.GetExpectedSequenceNumber(), 4u);
    WatchModelChange();
    doc.SetDeviceTreeModified(FALSE);

    Command(ID_USB_CLEARCAPTURE);

    EXPECT_EQ(doc.GetLogRecords()->GetCount(), 0);
    EXPECT_FALSE(doc.GetLogRecords()->IsTimeOriginSet());
    EXPECT_EQ(doc.GetExpectedSequenceNumber(), 0u);
    EXPECT_FALSE(doc.IsLogging());
    // The refresh first (the driver's sequence restarts at 0), and the panes let go before the merge reads.
    EXPECT_EQ(m_requestsAtModelChange, 1);
    EXPECT_EQ(TakeCodes(), (std::vector<ULONG>{IOCTL_TINDALOFT_DEVSTK_REFRESH, IOCTL_TINDALOFT_DRVOBJ_NODES,
                                               IOCTL_TINDALOFT_DRVOBJ_NODES}));
    EXPECT_EQ(m_panes.Take(), (std::vector<std::string>{"DataBarClear", "LogDetailsShow", "DeviceModelChanging",
                                                        "DriversTabDisplayDrivers"}));
    EXPECT_TRUE(doc.IsDeviceModelLoaded());
    EXPECT_TRUE(doc.IsDeviceTreeModified()) << "the device tree shows the merged model at its next refresh";
}

TEST_F(CaptureClearTest, ClearBufferDuringACaptureGoesOnAsANewSession) {
    CUSBLog& doc = NewDocument();
    AddRecords(doc, {1, 2});
    doc.SetStartTime(1);
    Command(ID_USB_STARTEVENTCAPTURE);
    ASSERT_TRUE(doc.IsLogging());
    // Records were kept, so the session's first start time stays.
    EXPECT_EQ(doc.GetStartTime(), 1);
    doc.SetSequenceGapCount(5);
    TakeCodes();
    m_panes.Take();

    Command(ID_USB_CLEARCAPTURE);

    EXPECT_TRUE(doc.IsLogging());
    EXPECT_EQ(doc.GetLogRecords()->GetCount(), 0);
    EXPECT_GT(doc.GetStartTime(), 1);
    EXPECT_EQ(doc.GetSequenceGapCount(), 0u);
    // The capture stopped before the store was emptied, and started again after the query.
    const std::vector<ULONG> codes = TakeCodes();
    const auto refresh = std::find(codes.begin(), codes.end(), IOCTL_TINDALOFT_DEVSTK_REFRESH);
    ASSERT_NE(refresh, codes.end());
    EXPECT_NE(std::find(codes.begin(), refresh, IOCTL_TINDALOFT_DISABLE_LOG), refresh);
    EXPECT_NE(std::find(refresh, codes.end(), IOCTL_TINDALOFT_ENABLE_LOG), codes.end());
    // The panes stay locked: the capture goes on.
    for (const std::string& name : m_panes.Take())
        EXPECT_EQ(name.find("Writeable"), std::string::npos) << name;

    Command(ID_USB_STOPEVENTCAPTURE);
    EXPECT_FALSE(doc.IsLogging());
    // The new session saw no gap: no message.
    EXPECT_TRUE(apptest::AppStarter::TakeBoxTexts().empty());
}

TEST_F(CaptureClearTest, ClearDevicesDeselectsEveryDeviceInTheDriverAndThePanes) {
    CUSBLog& doc = NewDocument();
    DEVICE_NODE node{};
    node.Header = {NODE_KIND_DEVICE, DEVICE_NODE_SIZE};
    node.DeviceObject = 0xFFFFFA8003C5E060ULL;
    node.StatusFlags = DEVOBJ_HOOKED | DEVOBJ_SELECTED;
    CDeviceObject* device = nullptr;
    ASSERT_TRUE(doc.GetAttachedDevices()->AddDeviceObject(node, device));
    device->m_nStateImage = CHECKSTATE_CHECKED; // checked for capture
    WatchModelChange();

    Command(ID_USB_CLEARDEVICES);

    EXPECT_EQ(m_requestsAtModelChange, 1);
    EXPECT_EQ(Requests(IOCTL_TINDALOFT_SET_DEVOBJ_FLAGS).size(), 1u);
    const std::vector<tdl::test::FakeRequest> flags = Requests(IOCTL_TINDALOFT_SET_DEVOBJ_FLAGS);
    EXPECT_EQ(TakeCodes(), (std::vector<ULONG>{IOCTL_TINDALOFT_DEVSTK_REFRESH, IOCTL_TINDALOFT_DRVOBJ_NODES,
                                               IOCTL_TINDALOFT_DRVOBJ_NODES, IOCTL_TINDALOFT_CLR_REGNODES,
                                               IOCTL_TINDALOFT_SET_DEVOBJ_FLAGS}));
    // The device goes out unchecked, with capture off; then the end entry.
    EXPECT_EQ(device->m_nStateImage, static_cast<UINT>(CHECKSTATE_UNCHECKED));
    node.StatusFlags = DEVOBJ_HOOKED | DEVOBJ_SELECTED | DEVOBJ_CAPTURE_OFF;
    std::vector<uint8_t> list(2 * DEVICE_NODE_SIZE, 0);
    std::memcpy(list.data(), &node, sizeof node);
    list[DEVICE_NODE_SIZE + 2] = NODE_END_SIZE;
    ASSERT_EQ(flags.size(), 1u);
    EXPECT_EQ(flags[0].input, list);
    EXPECT_EQ(m_panes.Take(),
              (std::vector<std::string>{"DeviceModelChanging", "DriversTabDisplayDrivers", "SetStackInspectorWriteable",
                                        "ClearDeviceTreeSelections", "RefreshDeviceTreeTabViews writeable",
                                        "DevicePropertiesUpdate", "StackListUncheckAll"}));
    EXPECT_TRUE(doc.IsDeviceModelLoaded());
}

TEST_F(CaptureClearTest, ClearDevicesWithoutTheDriverOnlyResetsThePanes) {
    CUSBLog& doc = NewDocument();
    m_fake.reset(); // the control device is gone
    Command(ID_USB_CLEARDEVICES);
    EXPECT_EQ(m_panes.Take(), (std::vector<std::string>{"SetStackInspectorWriteable", "ClearDeviceTreeSelections",
                                                        "RefreshDeviceTreeTabViews writeable", "DevicePropertiesUpdate",
                                                        "StackListUncheckAll"}));
    EXPECT_TRUE(doc.IsDeviceModelLoaded());
}

} // namespace
