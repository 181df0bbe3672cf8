// What a hub port shows for what it knows: label, image and device summary.
#include "app/devices/HubPort.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "ConfigurationBuffer.h"
#include "app/devices/AllocateBuffer.h"
#include "app/devices/DeviceClass.h"
#include "app/devices/DeviceStack.h"
#include "app/devices/UsbConfiguration.h"
#include "app/devices/UsbHub.h"

namespace {

using Bytes = std::vector<BYTE>;

// A parsed configuration, for the port to own.
CUsbConfiguration* Configuration(const Bytes& descriptors) {
    CUsbConfiguration* c = devtest::NewConfiguration(descriptors);
    c->ParseConfigurationDescriptor();
    return c;
}

const Bytes kTwoInterfaces = {9, 2, 27, 0, 2, 1, 0, 0x80, 50, 9, 4, 0, 0, 1, 3, 1, 1, 0, 9, 4, 1, 0, 1, 8, 6, 0x50, 0};
const Bytes kNoInterface = {9, 2, 9, 0, 0, 1, 0, 0x80, 50};

struct PortState {
    ULONG status = 1;
    bool block = true;
    BYTE config = 1;
    bool hub = false;
    bool superSpeed = false;
    BYTE deviceClass = 0;
    bool interfaces = true;
    bool deviceClassRecord = true;
};

class PortFixture {
public:
    explicit PortFixture(const PortState& s) : port(3) {
        port.m_ConnectionStatus = s.status;
        port.m_CurrentConfig = s.config;
        port.m_PortDeviceIsHub = s.hub ? 1 : 0;
        if (s.block) {
            port.m_pConnectionInfo = AllocateZeroedBuffer(CHubPort::ConnectionBlockSize);
            port.m_pConnectionInfo[16] = s.deviceClass;
            port.m_pConnectionInfo[29] = 1;
        }
        if (s.deviceClassRecord) {
            port.m_pDeviceClass.reset(new CDeviceClass);
            port.m_pDeviceClass->m_DeviceDescription = "Some Device";
        }
        stack.HasBosDescriptor = s.superSpeed ? 1 : 0;
        port.m_devstk = &stack;
        port.m_Configurations.Add(
            std::unique_ptr<CUsbConfiguration>(Configuration(s.interfaces ? kTwoInterfaces : kNoInterface)));
        if (s.hub) {
            hubStack.HasBosDescriptor = s.superSpeed ? 1 : 0;
            port.m_pExternalHub.reset(new CUsbHub(&hubStack, nullptr));
        }
    }
    CDeviceStack stack;
    CDeviceStack hubStack;
    CHubPort port;
};

TEST(HubPortView, LabelAndImageFollowTheConnectionState) {
    const struct {
        const char* name;
        PortState state;
        const char* label;
        int image;
    } cases[] = {
        {"no device", {.status = 0, .config = 0}, "Port 3: No device connected ", DT_HUB_PORT},
        {"query failed", {.status = 0, .block = false, .config = 0}, "Port 3:  IOCTL FAILED !", DT_HUB_PORT},
        {"device", {}, "Port 3: Some Device", DT_GENERIC_USB},
        {"device without class record", {.deviceClassRecord = false}, "Port 3: ???", DT_GENERIC_USB},
        {"hub", {.hub = true}, "Port 3: Some Device", DT_EXTERN_HUB},
        {"SuperSpeed device", {.superSpeed = true}, "Port 3: Some Device", DT_SS_GENERIC_USB},
        {"SuperSpeed hub", {.hub = true, .superSpeed = true}, "Port 3: Some Device", DT_SS_EXTERN_HUB},
        {"configuration 0", {.config = 0}, "Port 3: Some Device", DT_PROBLEM},
        {"class 0 without interfaces", {.interfaces = false}, "Port 3: Some Device", DT_HUB_PORT},
        {"class 9 without interfaces", {.deviceClass = 9, .interfaces = false}, "Port 3: Some Device", DT_GENERIC_USB},
        {"failed enumeration", {.status = 2}, "Port 3: Device Problem", DT_PROBLEM},
        {"general failure", {.status = 3}, "Port 3: Device Problem", DT_PROBLEM},
        {"over-current", {.status = 4}, "Port 3: Device Problem", DT_PROBLEM},
        {"not enough power", {.status = 5}, "Port 3: Device Problem", DT_PROBLEM},
        {"not enough bandwidth", {.status = 6}, "Port 3: Device Problem", DT_PROBLEM},
        {"unknown status", {.status = 7}, "Port 3: ", DT_PROBLEM},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PortFixture f(c.state);
        CString label = "old text";
        EXPECT_STREQ(c.label, f.port.GetLabelText(label));
        EXPECT_EQ(c.image, f.port.GetImageIndex());
    }
}

TEST(HubPortView, AHubWithoutItsModelShowsAsAPlainExternalHub) {
    PortFixture f({.hub = true, .superSpeed = true});
    f.port.m_pExternalHub.reset();
    EXPECT_EQ(DT_EXTERN_HUB, f.port.GetImageIndex());
}

TEST(HubPortView, SummaryTakesTheDeviceTripleAndTheLastInterfacesTriple) {
    PortFixture f({.deviceClass = 0xEF});
    f.port.m_pConnectionInfo[17] = 2;
    f.port.m_pConnectionInfo[18] = 1;
    DeviceSummary s;
    std::memset(&s, 0xAA, sizeof s);
    f.port.GetDeviceTypeSummary(0, s);
    const BYTE expected[8] = {1, 0xEF, 2, 1, 2, 8, 6, 0x50};
    EXPECT_EQ(0, std::memcmp(expected, &s, sizeof s));

    // An index past the configurations gives the device part alone.
    std::memset(&s, 0xAA, sizeof s);
    f.port.GetDeviceTypeSummary(1, s);
    const BYTE deviceOnly[8] = {1, 0xEF, 2, 1, 0, 0, 0, 0};
    EXPECT_EQ(0, std::memcmp(deviceOnly, &s, sizeof s));
}

TEST(HubPortView, SummaryWithoutAConnectionBlockReadsZerosForTheDevice) {
    PortFixture f({.status = 0, .block = false, .config = 0});
    DeviceSummary s;
    std::memset(&s, 0xAA, sizeof s);
    f.port.GetDeviceTypeSummary(0, s);
    const BYTE expected[8] = {0, 0, 0, 0, 2, 8, 6, 0x50};
    EXPECT_EQ(0, std::memcmp(expected, &s, sizeof s));
}

TEST(UsbHubPorts, PortCountByDescriptorTypeAndPortLookupByNumber) {
    const struct {
        BYTE type;
        BYTE count;
        BYTE expected;
    } cases[] = {{0x29, 4, 4}, {0x2A, 7, 7}, {0, 3, 3}, {0x28, 4, 0}, {0xFF, 4, 0}};
    for (const auto& c : cases) {
        CUsbHub hub;
        hub.m_HubDescriptorBlock[9] = c.type;
        hub.m_HubDescriptorBlock[10] = c.count;
        EXPECT_EQ(c.expected, hub.GetNumberOfPorts()) << static_cast<int>(c.type);
    }
    CUsbHub hub;
    hub.m_Ports.Add(std::make_unique<CHubPort>(1));
    hub.m_Ports.Add(std::make_unique<CHubPort>(2));
    EXPECT_EQ(nullptr, hub.GetPort(0));
    EXPECT_EQ(1u, hub.GetPort(1)->m_PortNumber);
    EXPECT_EQ(2u, hub.GetPort(2)->m_PortNumber);
    EXPECT_EQ(nullptr, hub.GetPort(3)) << "a loaded hub may hold fewer ports than its descriptor names";
}

} // namespace
