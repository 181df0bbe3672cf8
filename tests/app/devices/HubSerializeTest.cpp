// Hub and hub-port records of capture files: the exact bytes, loading them back into a document's stacks,
// the older layout without the connection flag, and records cut short.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "ArchiveImage.h"
#include "ConfigurationBuffer.h"
#include "DeviceNodes.h"
#include "app/core/document/USBLog.h"
#include "app/devices/AllocateBuffer.h"
#include "app/devices/AttachedDevices.h"
#include "app/devices/DeviceClass.h"
#include "app/devices/DeviceStack.h"
#include "app/devices/HubPort.h"
#include "app/devices/StackTree.h"
#include "app/devices/UsbConfiguration.h"
#include "app/devices/UsbHub.h"
#include "devguid.h"
#include "tests/app/core/ArchiveBytes.h"

namespace {

using Bytes = std::vector<BYTE>;
using devtest::Image;

constexpr USHORT kHubId = 4;
constexpr USHORT kDeviceId = 5;

const Bytes kConfigSet = {9, 2, 18, 0, 1, 1, 0, 0x80, 50, 9, 4, 0, 0, 0, 3, 1, 1, 0};

CDeviceClass* DeviceClass(const char* description) {
    auto* p = new CDeviceClass(GUID_DEVCLASS_USB, "{36fc9e60-c465-11cf-8056-444553540000}\\0005");
    p->m_DeviceDescription = description;
    return p;
}

CUsbConfiguration* Configuration() {
    CUsbConfiguration* p = devtest::NewConfiguration(kConfigSet, {kDeviceId, 0, 1, 1, 18, 0, 0, 0});
    p->ParseConfigurationDescriptor();
    return p;
}

Bytes ConnectionBytes() {
    Bytes b(35);
    for (size_t i = 0; i < b.size(); ++i)
        b[i] = static_cast<BYTE>(0x40 + i);
    return b;
}

class TopologyRecords : public testing::Test {
protected:
    void SetUp() override {
        devtest::NodeList list;
        list.Add(devtest::StackNode(kHubId, 0, "hubkey", "Hub"));
        list.Add(devtest::StackNode(kDeviceId, kHubId, "devkey", "Device"));
        list.End();
        ASSERT_TRUE(
            m_doc.GetStackTree()->ParseDevstkNodes(list.bytes.data(), list.bytes.size(), m_doc.GetAttachedDevices()));
    }
    CDeviceStack* Stack(USHORT id) { return m_doc.GetStackTree()->FindStackById(id); }

    // A connected device port: class, stack, connection block, one configuration and the file-only lists.
    std::unique_ptr<CHubPort> DevicePort() {
        auto port = std::make_unique<CHubPort>(3);
        port->m_ConnectionStatus = 1;
        port->m_CurrentConfig = 2;
        port->m_pDeviceClass.reset(DeviceClass("Mouse"));
        port->m_devstk = Stack(kDeviceId);
        port->m_pConnectionInfo = AllocateZeroedBuffer(43);
        const Bytes connection = ConnectionBytes();
        std::memcpy(port->m_pConnectionInfo + 8, connection.data(), connection.size());
        port->m_Configurations.Add(std::unique_ptr<CUsbConfiguration>(Configuration()));
        port->m_Words.Add(0x1234);
        port->m_Strings.Add("ab");
        return port;
    }

    static Image ConfigRecord() {
        std::unique_ptr<CUsbConfiguration> c(Configuration());
        Image image;
        image.U32(26).U32(8).Raw(c->m_pBuffer, 26);
        return image;
    }

    static Image DevicePortRecord(bool withFlag = true) {
        std::unique_ptr<CDeviceClass> cls(DeviceClass("Mouse"));
        const Bytes classRecord = apptest::Store(*cls);
        const Bytes connection = ConnectionBytes();
        Image image;
        image.U32(3).U32(1).U8(2).U32(1).Raw(classRecord.data(), classRecord.size()).U8(0).U16(kDeviceId);
        if (withFlag)
            image.U32(1);
        image.Raw(connection.data(), connection.size()).U32(1).Append(ConfigRecord());
        image.U32(1).U16(0x1234).U32(1).Str("ab");
        return image;
    }

    CUSBLog m_doc;
};

TEST_F(TopologyRecords, APortRecordRoundTrips) {
    std::unique_ptr<CHubPort> port = DevicePort();
    const Bytes stored = apptest::Store(*port);
    EXPECT_EQ(DevicePortRecord().bytes, stored);

    std::unique_ptr<CHubPort> loaded(CHubPort::ForLoading(12));
    devtest::LoadImage(*loaded, stored, &m_doc);
    EXPECT_EQ(3u, loaded->m_PortNumber);
    EXPECT_EQ(1u, loaded->m_ConnectionStatus);
    EXPECT_EQ(2, loaded->m_CurrentConfig);
    EXPECT_EQ(Stack(kDeviceId), loaded->GetDeviceStack());
    ASSERT_NE(nullptr, loaded->GetDeviceClass());
    EXPECT_STREQ("Mouse", loaded->GetDeviceClass()->m_DeviceDescription);
    ASSERT_EQ(1, loaded->m_Configurations.GetSize());
    EXPECT_EQ(1, loaded->m_Configurations[0]->m_Interfaces.GetSize()) << "loaded configurations are parsed";
    EXPECT_EQ(Bytes(43 - 35, 0), Bytes(loaded->m_pConnectionInfo, loaded->m_pConnectionInfo + 8));
    EXPECT_EQ(stored, apptest::Store(*loaded));
}

TEST_F(TopologyRecords, APortWritesItsClassEvenWithoutAStackAndItsBlockOnlyWhenItHasOne) {
    CHubPort port(2);
    port.m_ConnectionStatus = 2;
    port.m_pDeviceClass.reset(DeviceClass("Broken"));
    Image expected;
    expected.U32(2).U32(2).U8(0).U32(1).Raw(apptest::Store(*port.m_pDeviceClass).data(),
                                            apptest::Store(*port.m_pDeviceClass).size());
    expected.U8(0).U16(0).U32(0).U32(0).U32(0).U32(0);
    const Bytes stored = apptest::Store(port);
    EXPECT_EQ(expected.bytes, stored);
    std::unique_ptr<CHubPort> loaded(CHubPort::ForLoading(12));
    devtest::LoadImage(*loaded, stored, &m_doc);
    EXPECT_EQ(nullptr, loaded->m_pConnectionInfo);
    ASSERT_NE(nullptr, loaded->GetDeviceClass());
    EXPECT_STREQ("Broken", loaded->GetDeviceClass()->m_DeviceDescription);
    CString label;
    EXPECT_STREQ("Port 2:  IOCTL FAILED !", loaded->GetLabelText(label));
}

TEST_F(TopologyRecords, ASchema11PortHasNoConnectionFlag) {
    std::unique_ptr<CHubPort> loaded(CHubPort::ForLoading(11));
    devtest::LoadImage(*loaded, DevicePortRecord(false).bytes, &m_doc);
    ASSERT_NE(nullptr, loaded->m_pConnectionInfo);
    EXPECT_EQ(ConnectionBytes(), Bytes(loaded->m_pConnectionInfo + 8, loaded->m_pConnectionInfo + 43));
    EXPECT_EQ(1, loaded->m_Configurations.GetSize());
    ASSERT_EQ(1, loaded->m_Strings.GetSize());
    EXPECT_STREQ("ab", loaded->m_Strings[0]);
}

TEST_F(TopologyRecords, AHubRecordRoundTripsWithItsPortsAndTheirHubs) {
    CUsbHub root(nullptr, Stack(kHubId), DeviceClass("Root"));
    root.m_HubDescriptorBlock[9] = 0x29;
    root.m_HubDescriptorBlock[10] = 2;
    root.m_HubDescriptorBlock[78] = 0x7E;
    std::unique_ptr<CHubPort> device = DevicePort();
    root.m_Ports.Add(std::move(device));
    auto* pHubPort = new CHubPort(2);
    pHubPort->m_ConnectionStatus = 1;
    pHubPort->m_PortDeviceIsHub = 1;
    pHubPort->m_pExternalHub.reset(new CUsbHub(nullptr, nullptr));
    pHubPort->m_pExternalHub->m_HubKind = HubKindExternal;
    root.m_Ports.Add(std::unique_ptr<CHubPort>(pHubPort));

    std::unique_ptr<CDeviceClass> cls(DeviceClass("Root"));
    const Bytes classRecord = apptest::Store(*cls);
    Image external;
    external.U32(1).U16(0).U32(0).Raw(Bytes(79, 0).data(), 79).U32(0);
    Image hubPort;
    hubPort.U32(2).U32(1).U8(0).U32(0).U8(1).U16(0).U32(0).U32(0).Append(external).U32(0).U32(0);
    Image expected;
    expected.U32(0).U16(kHubId).U32(1).Raw(classRecord.data(), classRecord.size());
    expected.Raw(root.m_HubDescriptorBlock, 79).U32(2).Append(DevicePortRecord()).Append(hubPort);
    const Bytes stored = apptest::Store(root);
    EXPECT_EQ(expected.bytes, stored);

    std::unique_ptr<CUsbHub> loaded(CUsbHub::ForLoading(12));
    devtest::LoadImage(*loaded, stored, &m_doc);
    EXPECT_EQ(Stack(kHubId), loaded->m_devstk);
    EXPECT_EQ(2, loaded->GetNumberOfPorts());
    ASSERT_EQ(2, loaded->GetPortCount());
    EXPECT_EQ(Stack(kDeviceId), loaded->GetPort(1)->GetDeviceStack());
    ASSERT_NE(nullptr, loaded->GetPort(2)->GetExternalHub());
    EXPECT_EQ(static_cast<ULONG>(HubKindExternal), loaded->GetPort(2)->GetExternalHub()->m_HubKind);
    EXPECT_EQ(stored, apptest::Store(*loaded));

    // Loaded from an older file, the hub and what it makes keep that file's schema.
    std::unique_ptr<CUsbHub> old(CUsbHub::ForLoading(11));
    Image oldImage;
    oldImage.U32(0).U16(0).U32(0).Raw(root.m_HubDescriptorBlock, 79).U32(1).Append(DevicePortRecord(false));
    devtest::LoadImage(*old, oldImage.bytes, &m_doc);
    ASSERT_EQ(1, old->GetPortCount());
    EXPECT_EQ(11u, old->GetPort(1)->m_nSchema);
    EXPECT_EQ(nullptr, old->m_devstk);
}

TEST_F(TopologyRecords, RecordsCutShortOrWithABadConfigurationThrow) {
    const Bytes whole = DevicePortRecord().bytes;
    for (size_t cut : {size_t{3}, size_t{20}, whole.size() - 40, whole.size() - 1}) {
        SCOPED_TRACE(cut);
        std::unique_ptr<CHubPort> loaded(CHubPort::ForLoading(12));
        Bytes part(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(cut));
        EXPECT_EQ(-1, apptest::Load(*loaded, part, CArchiveException::endOfFile));
    }
    Image badConfig;
    badConfig.U32(1).U32(0).U8(0).U32(0).U8(0).U16(0).U32(0).U32(1).U32(26).U32(9);
    std::unique_ptr<CHubPort> loaded(CHubPort::ForLoading(12));
    EXPECT_EQ(-1, apptest::Load(*loaded, badConfig.bytes, CArchiveException::generic));
}

} // namespace
