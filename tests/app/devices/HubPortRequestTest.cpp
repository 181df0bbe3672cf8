// The hub port's and hub's requests to the capture driver, answered by the scripted fake control device: the
// exact request blocks, and what the port makes of each answer.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "NtControl.h"
#include "NtPnpControl.h"
#include "app/core/document/USBLog.h"
#include "app/devices/AttachedDevices.h"
#include "app/devices/DeviceClass.h"
#include "app/devices/DeviceStack.h"
#include "app/devices/HubPort.h"
#include "app/devices/StackTree.h"
#include "app/devices/UsbConfiguration.h"
#include "app/devices/UsbHub.h"
#include "common/ControlCodes.h"
#include "devguid.h"
#include "tests/app/devices/DeviceNodes.h"
#include "tests/support/FakeControlDevice.h"

namespace {

using Bytes = std::vector<uint8_t>;
using tdl::test::FakeControlDevice;
using tdl::test::FakeRequest;

constexpr ULONG kCode = IOCTL_TINDALOFT_GET_DEVSTK_INFO;
constexpr USHORT kHubId = 0x0102;
constexpr USHORT kDeviceId = 5;

class Block {
public:
    explicit Block(size_t size) : bytes(size, 0) {}
    Block& Head(USHORT stackId, USHORT selector, ULONG length) {
        return U16(0, stackId).U16(2, selector).U32(4, length);
    }
    Block& U8(size_t at, uint8_t v) {
        bytes[at] = v;
        return *this;
    }
    Block& U16(size_t at, uint16_t v) {
        std::memcpy(&bytes[at], &v, sizeof v);
        return *this;
    }
    Block& U32(size_t at, uint32_t v) {
        std::memcpy(&bytes[at], &v, sizeof v);
        return *this;
    }
    Block& Wide(size_t at, const std::u16string& text) {
        std::memcpy(&bytes[at], text.data(), std::min(text.size() * 2, bytes.size() - at));
        return *this;
    }
    Bytes bytes;
};

// A connection answer for port 3.
Bytes Connection(uint8_t config, uint32_t status, uint8_t isHub) {
    return Block(43)
        .Head(kHubId, 259, 35)
        .U32(8, 3)
        .U8(16, 0xFF)
        .U8(29, 1)
        .U8(30, config)
        .U8(32, isHub)
        .U32(39, status)
        .bytes;
}

class PortOnFake : public ::testing::Test {
protected:
    void SetUp() override {
        nt::ResetKernelState();
        m_fake = std::make_unique<FakeControlDevice>();
        devtest::NodeList list;
        list.Add(devtest::StackNode(kHubId, 0, "{36fc9e60-c465-11cf-8056-444553540000}\\0001", "Hub"));
        DEVSTK_NODE device = devtest::StackNode(kDeviceId, kHubId, "k5", "Device");
        device.Removed = 1;
        list.Add(device);
        list.End();
        ASSERT_TRUE(
            m_doc.GetStackTree()->ParseDevstkNodes(list.bytes.data(), list.bytes.size(), m_doc.GetAttachedDevices()));
        m_hub = m_doc.GetStackTree()->FindStackById(kHubId);
        m_device = m_doc.GetStackTree()->FindStackById(kDeviceId);
    }
    void TearDown() override {
        m_fake.reset();
        nt::pnp::Shutdown();
    }
    std::vector<FakeRequest> Requests() const { return m_fake->Requests(); }

    std::unique_ptr<FakeControlDevice> m_fake;
    CUSBLog m_doc;
    CDeviceStack* m_hub = nullptr;
    CDeviceStack* m_device = nullptr;
};

TEST_F(PortOnFake, ConnectionQuerySendsTheBlockAndKeepsTheLastConfiguration) {
    CHubPort port(3);
    m_fake->QueueBlock(kCode, Connection(2, 1, 1));
    m_fake->QueueBlock(kCode, Connection(0, 1, 2));
    ASSERT_TRUE(port.QueryConnectionInformation(m_hub));
    std::vector<FakeRequest> sent = Requests();
    ASSERT_EQ(1u, sent.size());
    EXPECT_EQ(Block(43).Head(kHubId, 259, 35).U32(8, 3).bytes, sent[0].input);
    EXPECT_EQ(43u, sent[0].outputLength);
    EXPECT_EQ(1u, port.m_ConnectionStatus);
    EXPECT_EQ(2, port.m_CurrentConfig);
    EXPECT_EQ(1, port.m_PortDeviceIsHub);

    ASSERT_TRUE(port.QueryConnectionInformation(m_hub));
    EXPECT_EQ(2, port.m_CurrentConfig) << "a reported configuration 0 keeps the previous value";
    EXPECT_EQ(0, port.m_PortDeviceIsHub) << "only a DeviceIsHub of exactly 1 is a hub";
    EXPECT_EQ(0xFF, port.m_pConnectionInfo[16]);

    m_fake->Fail(kCode, STATUS_UNSUCCESSFUL);
    EXPECT_FALSE(port.QueryConnectionInformation(m_hub));
    EXPECT_EQ(nullptr, port.m_pConnectionInfo);
    EXPECT_EQ(0u, port.m_ConnectionStatus);
    EXPECT_EQ(0, port.m_CurrentConfig);
    CString label;
    EXPECT_STREQ("Port 3:  IOCTL FAILED !", port.GetLabelText(label));
    EXPECT_EQ(DT_HUB_PORT, port.GetImageIndex());
}

TEST_F(PortOnFake, DriverKeyLengthsOutsideTheNameFailAfterTheProbe) {
    for (uint32_t actual : {0u, 10u, 4097u, 0xFFFFFFF8u}) {
        SCOPED_TRACE(actual);
        m_fake->ClearRequests();
        CHubPort port(3);
        auto* pOld = new CDeviceClass;
        port.m_pDeviceClass.reset(pOld);
        m_fake->QueueBlock(kCode, Block(18).Head(kHubId, 260, 10).U32(8, 3).U32(12, actual).bytes);
        EXPECT_FALSE(port.QueryDriverKeyName(m_hub));
        EXPECT_EQ(pOld, port.GetDeviceClass());
        std::vector<FakeRequest> sent = Requests();
        ASSERT_EQ(1u, sent.size());
        EXPECT_EQ(Block(18).Head(kHubId, 260, 10).U32(8, 3).bytes, sent[0].input);
    }
}

TEST_F(PortOnFake, DriverKeyIsReadWithinItsLengthAndNeedsAClassGuid) {
    // No '}': the old class stays.
    CHubPort port(3);
    auto* pOld = new CDeviceClass;
    port.m_pDeviceClass.reset(pOld);
    m_fake->QueueBlock(kCode, Block(18).Head(kHubId, 260, 10).U32(8, 3).U32(12, 14).bytes);
    m_fake->QueueBlock(kCode, Block(22).Head(kHubId, 260, 14).U32(8, 3).U32(12, 14).Wide(16, u"k\\1").bytes);
    EXPECT_FALSE(port.QueryDriverKeyName(m_hub));
    EXPECT_EQ(pOld, port.GetDeviceClass());
    std::vector<FakeRequest> sent = Requests();
    ASSERT_EQ(2u, sent.size());
    EXPECT_EQ(Block(22).Head(kHubId, 260, 14).U32(8, 3).bytes, sent[1].input);

    // A key: the class GUID is cut after the first '}', and nothing past ActualLength is read.
    m_fake->ClearRequests();
    const std::u16string key = u"{36FC9E60-C465-11CF-8056-444553540000}\\0005";
    const uint32_t actual = static_cast<uint32_t>(8 + key.size() * 2);
    m_fake->QueueBlock(kCode, Block(18).Head(kHubId, 260, 10).U32(8, 3).U32(12, actual).bytes);
    m_fake->QueueBlock(kCode,
                       Block(8 + actual).Head(kHubId, 260, actual).U32(8, 3).U32(12, actual).Wide(16, key).bytes);
    EXPECT_TRUE(port.QueryDriverKeyName(m_hub));
    ASSERT_NE(nullptr, port.m_pDeviceClass);
    EXPECT_EQ(GUID_DEVCLASS_USB, port.m_pDeviceClass->m_ClassGuid);
    EXPECT_STREQ("{36FC9E60-C465-11CF-8056-444553540000}\\0005", port.m_pDeviceClass->m_DriverKey);
    sent = Requests();
    ASSERT_EQ(2u, sent.size());
    EXPECT_EQ(8 + actual, sent[1].input.size());
}

TEST_F(PortOnFake, ARemovedStackIsStillHeldAfterTheLookupFails) {
    CHubPort port(3);
    EXPECT_FALSE(port.MapHubPortToDeviceStack(m_doc.GetStackTree())) << "status 0";
    port.m_ConnectionStatus = 1;
    EXPECT_FALSE(port.MapHubPortToDeviceStack(m_doc.GetStackTree())) << "no device class";
    port.m_pDeviceClass.reset(new CDeviceClass(GUID_DEVCLASS_USB, "unknown key"));
    EXPECT_FALSE(port.MapHubPortToDeviceStack(m_doc.GetStackTree()));
    EXPECT_EQ(nullptr, port.GetDeviceStack());
    port.m_pDeviceClass->m_DriverKey = "k5";
    EXPECT_FALSE(port.MapHubPortToDeviceStack(m_doc.GetStackTree()));
    EXPECT_EQ(m_device, port.GetDeviceStack());
    m_device->Removed = 0;
    EXPECT_TRUE(port.MapHubPortToDeviceStack(m_doc.GetStackTree()));
}

Bytes ConfigurationBlock(size_t size, uint16_t total) {
    Block b(size);
    b.Head(kDeviceId, 257, static_cast<ULONG>(size - 8));
    const uint8_t config[] = {9, 2, static_cast<uint8_t>(total), static_cast<uint8_t>(total >> 8), 1, 2, 0, 0x80, 50};
    std::memcpy(&b.bytes[8], config, std::min(sizeof config, size - 8));
    if (size >= 8 + 25) {
        const uint8_t rest[] = {9, 4, 0, 0, 1, 3, 1, 2, 0, 7, 5, 0x81, 3, 8, 0, 10};
        std::memcpy(&b.bytes[17], rest, sizeof rest);
    }
    return b.bytes;
}

TEST_F(PortOnFake, ConfigurationIsAskedByItsHeaderThenWhole) {
    CHubPort port(3);
    port.m_devstk = m_device;
    m_fake->QueueBlock(kCode, ConfigurationBlock(17, 25));
    m_fake->QueueBlock(kCode, ConfigurationBlock(33, 25));
    port.RequestCurrentPortConfigDescriptor();
    std::vector<FakeRequest> sent = Requests();
    ASSERT_EQ(2u, sent.size());
    EXPECT_EQ(Block(17).Head(kDeviceId, 257, 9).bytes, sent[0].input);
    EXPECT_EQ(Block(33).Head(kDeviceId, 257, 25).bytes, sent[1].input);
    EXPECT_EQ(2, port.m_CurrentConfig);
    ASSERT_EQ(1, port.m_Configurations.GetSize());
    CUsbConfiguration* pFirst = port.m_Configurations[0];
    ASSERT_EQ(1, pFirst->m_Interfaces.GetSize());
    EXPECT_EQ(1, pFirst->m_Interfaces[0]->m_Endpoints.GetSize());
    EXPECT_EQ(0, std::memcmp(ConfigurationBlock(33, 25).data(), pFirst->m_pBuffer, 8)) << "the head is kept";

    // A wTotalLength below the descriptor's own length ends the request.
    m_fake->ClearRequests();
    m_fake->QueueBlock(kCode, ConfigurationBlock(17, 5));
    port.RequestCurrentPortConfigDescriptor();
    EXPECT_EQ(1u, Requests().size());
    EXPECT_EQ(pFirst, port.m_Configurations[0]);

    // A failing second request keeps the configuration the port had.
    m_fake->Reply(kCode, Bytes(200, 0)); // larger than any buffer: STATUS_BUFFER_TOO_SMALL
    m_fake->QueueBlock(kCode, ConfigurationBlock(17, 25));
    port.RequestCurrentPortConfigDescriptor();
    ASSERT_EQ(1, port.m_Configurations.GetSize());
    EXPECT_EQ(pFirst, port.m_Configurations[0]);

    port.m_devstk = nullptr;
    m_fake->ClearRequests();
    port.RequestCurrentPortConfigDescriptor();
    EXPECT_TRUE(Requests().empty());
}

TEST_F(PortOnFake, AFailingPortReadsDisabledAndTheOthersAreStillDone) {
    CUsbHub hub(m_hub, nullptr);
    hub.m_HubDescriptorBlock[9] = 0x29;
    hub.m_HubDescriptorBlock[10] = 3;
    auto hubNode = m_doc.GetConnectionTree().insert(ConnectionElement(FALSE, RootHub, &hub));
    Block empty(43);
    empty.Head(kHubId, 259, 35).U32(8, 1);
    m_fake->QueueBlock(kCode, empty.bytes);
    m_fake->QueueBlock(kCode, Bytes(44, 0)); // too large for the block: the request fails and it stays
    EXPECT_FALSE(hub.EnumerateHubPorts(&m_doc));
    ASSERT_EQ(3, hub.GetPortCount());
    std::vector<std::string> labels;
    for (auto* p = hubNode.node()->first_child(); p != nullptr; p = p->next_sibling()) {
        labels.emplace_back(p->get().m_LabelText);
        EXPECT_EQ(static_cast<UINT>(RootHubPort), p->get().m_ElementType);
    }
    EXPECT_EQ((std::vector<std::string>{"Port 1: No device connected ", "Port 2 - disabled", "Port 3 - disabled"}),
              labels);
}

TEST_F(PortOnFake, HubDescriptorRequestAndAFailureLeavingNoPorts) {
    CUsbHub hub(m_hub, nullptr);
    Block answer(79);
    answer.Head(kHubId, 258, 71).U8(8, 9).U8(9, 0x29).U8(10, 4);
    m_fake->QueueBlock(kCode, answer.bytes);
    EXPECT_TRUE(hub.FetchHubDescriptor());
    std::vector<FakeRequest> sent = Requests();
    ASSERT_EQ(1u, sent.size());
    EXPECT_EQ(Block(79).Head(kHubId, 258, 71).bytes, sent[0].input);
    EXPECT_EQ(4, hub.GetNumberOfPorts());
    m_fake->Fail(kCode, STATUS_UNSUCCESSFUL);
    EXPECT_FALSE(hub.FetchHubDescriptor());
    EXPECT_EQ(Bytes(79, 0), Bytes(hub.m_HubDescriptorBlock, hub.m_HubDescriptorBlock + 79));
    EXPECT_EQ(0, hub.GetNumberOfPorts());
}

} // namespace
