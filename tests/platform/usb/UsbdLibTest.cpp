// The descriptor walk and the parse routines built on it, the sizes of variable-length URBs, the
// select-configuration request builder and the URB fillers.
#include "usbdlib.h"
#include "NtPool.h"
#include "NtPoolControl.h"
#include "UsbDescriptorWalker.h"
#include "hidport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

// Configuration 1 of a composite device: interface 0 is a HID keyboard (HID descriptor, interrupt IN
// endpoint); interface 1 is mass storage with an idle alternate setting 0 and bulk IN/OUT in setting 1.
const UCHAR kConfig[] = {
    // clang-format off
    9, 2, 66, 0, 2, 1, 0, 0x80, 50,          // configuration, wTotalLength 66
    9, 4, 0, 0, 1, 3, 1, 1, 0,               // @9  interface 0/0, HID boot keyboard
    9, 0x21, 0x11, 0x01, 0, 1, 0x22, 63, 0,  // @18 HID descriptor
    7, 5, 0x81, 3, 8, 0, 10,                 // @27 interrupt IN
    9, 4, 1, 0, 0, 8, 6, 0x50, 0,            // @34 interface 1/0, mass storage, no endpoints
    9, 4, 1, 1, 2, 8, 6, 0x50, 0,            // @43 interface 1/1
    7, 5, 0x82, 2, 0, 2, 0,                  // @52 bulk IN
    7, 5, 0x02, 2, 0, 2, 0,                  // @59 bulk OUT
    // clang-format on
};
static_assert(sizeof(kConfig) == 66);

// A mutable copy: the parse routines take non-const pointers, as the platform declares them.
struct ConfigCopy {
    std::vector<UCHAR> bytes;
    explicit ConfigCopy(const UCHAR* data, size_t size) : bytes(data, data + size) {}
    ConfigCopy() : ConfigCopy(kConfig, sizeof kConfig) {}
    PUSB_CONFIGURATION_DESCRIPTOR Config() { return reinterpret_cast<PUSB_CONFIGURATION_DESCRIPTOR>(bytes.data()); }
    UCHAR* At(size_t offset) { return bytes.data() + offset; }
    long OffsetOf(const void* p) { return p ? static_cast<const UCHAR*>(p) - bytes.data() : -1; }
};

TEST(UsbDescriptorWalker, YieldsEveryDescriptorOfAWellFormedSet) {
    UsbDescriptorWalker walker(kConfig, sizeof kConfig);
    std::vector<UCHAR> types;
    UsbDescriptorView d;
    while (walker.Next(d)) {
        EXPECT_EQ(d.Length, d.Data[0]);
        types.push_back(d.Type);
    }
    EXPECT_EQ(types, (std::vector<UCHAR>{2, 4, 0x21, 5, 4, 4, 5, 5}));
    EXPECT_FALSE(walker.Malformed());
    EXPECT_EQ(walker.Offset(), sizeof kConfig);
}

TEST(UsbDescriptorWalker, StopsAtMalformedDescriptors) {
    struct Case {
        const char* name;
        std::vector<UCHAR> bytes;
        int yielded;
        bool malformed;
    };
    const Case cases[] = {
        {"empty buffer", {}, 0, false},
        {"exact fit", {2, 0x24, 3, 0x24, 0}, 2, false},
        {"bLength 0 would never advance", {2, 0x24, 0, 4, 7, 5, 0x81, 3, 8, 0, 10}, 1, true},
        {"bLength 1 has no type byte", {1, 4, 2, 0x24}, 0, true},
        {"bLength runs past the end", {2, 0x24, 9, 4, 0, 0}, 1, true},
        {"stray trailing byte", {2, 0x24, 5}, 1, true},
    };
    for (const Case& c : cases) {
        // An exact-size heap copy, so that a read past the end is caught by the address sanitizer.
        std::vector<UCHAR> bytes(c.bytes);
        UsbDescriptorWalker walker(bytes.data(), static_cast<ULONG>(bytes.size()));
        int yielded = 0;
        UsbDescriptorView d;
        while (walker.Next(d))
            ++yielded;
        EXPECT_EQ(yielded, c.yielded) << c.name;
        EXPECT_EQ(walker.Malformed(), c.malformed) << c.name;
        EXPECT_FALSE(walker.Next(d)) << c.name << ": a stopped walk stays stopped";
    }
}

TEST(UsbDescriptorWalker, StartOffsetBeyondTheBufferYieldsNothing) {
    UsbDescriptorWalker walker(kConfig, 9, 40);
    UsbDescriptorView d;
    EXPECT_FALSE(walker.Next(d));
    EXPECT_FALSE(walker.Malformed());
}

TEST(UsbdParseConfigurationDescriptorEx, FindsInterfacesByAnyCriterion) {
    ConfigCopy c;
    auto find = [&](void* start, LONG number, LONG alt, LONG cls, LONG sub, LONG proto) {
        return c.OffsetOf(USBD_ParseConfigurationDescriptorEx(c.Config(), start, number, alt, cls, sub, proto));
    };
    EXPECT_EQ(find(c.Config(), -1, -1, 3, 1, 1), 9);
    EXPECT_EQ(find(c.Config(), -1, -1, 8, -1, -1), 34);
    EXPECT_EQ(find(c.Config(), 1, 1, -1, -1, -1), 43);
    // Searching on from behind a match finds the next one.
    EXPECT_EQ(find(c.At(34 + 9), -1, -1, 8, -1, -1), 43);
    EXPECT_EQ(find(c.At(43 + 9), -1, -1, 8, -1, -1), -1);
    EXPECT_EQ(find(c.Config(), -1, -1, 7, -1, -1), -1);
    EXPECT_EQ(find(c.Config(), 2, -1, -1, -1, -1), -1);
    EXPECT_EQ(c.OffsetOf(USBD_ParseConfigurationDescriptor(c.Config(), 1, 1)), 43);
}

TEST(UsbdParseConfigurationDescriptorEx, StaysWithinTheConfiguration) {
    ConfigCopy c;
    c.bytes[2] = 18; // wTotalLength covers the configuration and interface 0 only
    EXPECT_EQ(USBD_ParseConfigurationDescriptorEx(c.Config(), c.Config(), -1, -1, 8, -1, -1), nullptr);
    EXPECT_EQ(c.OffsetOf(USBD_ParseConfigurationDescriptorEx(c.Config(), c.Config(), -1, -1, 3, -1, -1)), 9);

    ConfigCopy full;
    UCHAR before = 0;
    EXPECT_EQ(USBD_ParseConfigurationDescriptorEx(full.Config(), &before, -1, -1, -1, -1, -1), nullptr);
    EXPECT_EQ(USBD_ParseConfigurationDescriptorEx(full.Config(), full.At(66), -1, -1, -1, -1, -1), nullptr);
    EXPECT_EQ(USBD_ParseConfigurationDescriptorEx(nullptr, nullptr, -1, -1, -1, -1, -1), nullptr);
}

TEST(UsbdParseConfigurationDescriptorEx, SkipsInterfaceDescriptorsTooShortToRead) {
    // A two-byte "interface" descriptor at the end of the set would put its fields past the buffer.
    const UCHAR bytes[] = {9, 2, 20, 0, 1, 1, 0, 0x80, 50, 9, 4, 0, 0, 0, 7, 1, 2, 0, 2, 4};
    ConfigCopy c(bytes, sizeof bytes);
    EXPECT_EQ(c.OffsetOf(USBD_ParseConfigurationDescriptorEx(c.Config(), c.Config(), -1, -1, -1, -1, -1)), 9);
    EXPECT_EQ(USBD_ParseConfigurationDescriptorEx(c.Config(), c.At(10), -1, -1, -1, -1, -1), nullptr);
}

TEST(UsbdParseDescriptors, FindsByTypeFromAStartPosition) {
    ConfigCopy c;
    const ULONG size = static_cast<ULONG>(c.bytes.size());
    EXPECT_EQ(c.OffsetOf(USBD_ParseDescriptors(c.Config(), size, c.Config(), HID_HID_DESCRIPTOR_TYPE)), 18);
    EXPECT_EQ(c.OffsetOf(USBD_ParseDescriptors(c.Config(), size, c.At(43), USB_ENDPOINT_DESCRIPTOR_TYPE)), 52);
    EXPECT_EQ(USBD_ParseDescriptors(c.Config(), size, c.Config(), USB_SUPERSPEED_ENDPOINT_COMPANION_DESCRIPTOR_TYPE),
              nullptr);
    UCHAR outside = 0;
    EXPECT_EQ(USBD_ParseDescriptors(c.Config(), size, &outside, USB_ENDPOINT_DESCRIPTOR_TYPE), nullptr);

    // A zero bLength ends the search before the endpoint behind it.
    c.bytes[18] = 0;
    EXPECT_EQ(USBD_ParseDescriptors(c.Config(), size, c.Config(), USB_ENDPOINT_DESCRIPTOR_TYPE), nullptr);
}

TEST(UsbdSizes, VariableLengthUrbs) {
    struct Row {
        const char* what;
        ULONG actual;
        ULONG expected;
    };
    const Row rows[] = {
        {"interface with 0 pipes", GET_USBD_INTERFACE_SIZE(0), 24},
        {"interface with 1 pipe", GET_USBD_INTERFACE_SIZE(1), sizeof(USBD_INTERFACE_INFORMATION)},
        {"interface with 2 pipes", GET_USBD_INTERFACE_SIZE(2), 72},
        {"select configuration 1/1", GET_SELECT_CONFIGURATION_REQUEST_SIZE(1, 1), sizeof(_URB_SELECT_CONFIGURATION)},
        {"select configuration 1/0", GET_SELECT_CONFIGURATION_REQUEST_SIZE(1, 0), 64},
        {"select configuration 2/3", GET_SELECT_CONFIGURATION_REQUEST_SIZE(2, 3), 160},
        {"select interface 1", GET_SELECT_INTERFACE_REQUEST_SIZE(1), sizeof(_URB_SELECT_INTERFACE)},
        {"select interface 3", GET_SELECT_INTERFACE_REQUEST_SIZE(3), 128},
        {"isochronous 1 packet", GET_ISO_URB_SIZE(1), sizeof(_URB_ISOCH_TRANSFER)},
        {"isochronous 8 packets", GET_ISO_URB_SIZE(8), 236},
    };
    for (const Row& r : rows)
        EXPECT_EQ(r.actual, r.expected) << r.what;
}

TEST(UsbdCreateConfigurationRequestEx, OneEntryPerListedInterfaceSizedForItsPipes) {
    ConfigCopy c;
    USBD_INTERFACE_LIST_ENTRY list[] = {
        {USBD_ParseConfigurationDescriptorEx(c.Config(), c.Config(), 0, 0, -1, -1, -1), nullptr},
        {USBD_ParseConfigurationDescriptorEx(c.Config(), c.Config(), 1, 0, -1, -1, -1), nullptr},
        {USBD_ParseConfigurationDescriptorEx(c.Config(), c.Config(), 1, 1, -1, -1, -1), nullptr},
        {nullptr, nullptr},
    };
    ASSERT_TRUE(list[0].InterfaceDescriptor && list[1].InterfaceDescriptor && list[2].InterfaceDescriptor);

    PURB urb = USBD_CreateConfigurationRequestEx(c.Config(), list);
    ASSERT_NE(urb, nullptr);
    EXPECT_EQ(urb->UrbHeader.Function, URB_FUNCTION_SELECT_CONFIGURATION);
    EXPECT_EQ(urb->UrbHeader.Length, GET_SELECT_CONFIGURATION_REQUEST_SIZE(3, 1 + 0 + 2));
    EXPECT_EQ(urb->UrbSelectConfiguration.ConfigurationDescriptor, c.Config());

    struct Expected {
        UCHAR number, alternate;
        ULONG pipes;
    };
    const Expected expected[] = {{0, 0, 1}, {1, 0, 0}, {1, 1, 2}};
    auto* next = reinterpret_cast<UCHAR*>(&urb->UrbSelectConfiguration.Interface);
    for (int i = 0; i < 3; ++i) {
        PUSBD_INTERFACE_INFORMATION entry = list[i].Interface;
        ASSERT_EQ(reinterpret_cast<UCHAR*>(entry), next) << "entry " << i << " follows the one before";
        EXPECT_EQ(entry->Length, GET_USBD_INTERFACE_SIZE(expected[i].pipes));
        EXPECT_EQ(entry->InterfaceNumber, expected[i].number);
        EXPECT_EQ(entry->AlternateSetting, expected[i].alternate);
        EXPECT_EQ(entry->NumberOfPipes, expected[i].pipes);
        for (ULONG p = 0; p < entry->NumberOfPipes; ++p)
            EXPECT_EQ(entry->Pipes[p].MaximumTransferSize, USBD_DEFAULT_MAXIMUM_TRANSFER_SIZE);
        EXPECT_EQ(entry->InterfaceHandle, nullptr);
        next += entry->Length;
    }
    EXPECT_EQ(next, reinterpret_cast<UCHAR*>(urb) + urb->UrbHeader.Length) << "the entries fill the request";
    EXPECT_EQ(nt::pool::Stats(nt::pool::TagFromString("USBD")).liveCount, 1u);
    ExFreePool(urb);
    EXPECT_EQ(nt::pool::Stats(nt::pool::TagFromString("USBD")).liveCount, 0u);
}

TEST(UsbdCreateConfigurationRequestEx, PoolFailureGivesNoRequest) {
    ConfigCopy c;
    USBD_INTERFACE_LIST_ENTRY list[] = {
        {USBD_ParseConfigurationDescriptorEx(c.Config(), c.Config(), 0, 0, -1, -1, -1), nullptr},
        {nullptr, nullptr},
    };
    nt::pool::FailNthAllocation(1);
    EXPECT_EQ(USBD_CreateConfigurationRequestEx(c.Config(), list), nullptr);
    nt::pool::ClearInjectedFailures();
    EXPECT_EQ(list[0].Interface, nullptr);
}

TEST(UsbdBuilders, PutEachArgumentInItsField) {
    UCHAR data[4];
    URB urb{};
    UsbBuildVendorRequest(&urb, URB_FUNCTION_CLASS_INTERFACE, sizeof(_URB_CONTROL_VENDOR_OR_CLASS_REQUEST),
                          USBD_TRANSFER_DIRECTION_IN, 0x01, 0x0A, 0x1234, 0x5678, data, nullptr, sizeof data, nullptr);
    const auto& v = urb.UrbControlVendorClassRequest;
    EXPECT_EQ(v.Hdr.Function, URB_FUNCTION_CLASS_INTERFACE);
    EXPECT_EQ(v.Hdr.Length, sizeof(_URB_CONTROL_VENDOR_OR_CLASS_REQUEST));
    EXPECT_EQ(v.TransferFlags, ULONG(USBD_TRANSFER_DIRECTION_IN));
    EXPECT_EQ(v.RequestTypeReservedBits, 0x01);
    EXPECT_EQ(v.Request, 0x0A);
    EXPECT_EQ(v.Value, 0x1234);
    EXPECT_EQ(v.Index, 0x5678);
    EXPECT_EQ(v.TransferBuffer, data);
    EXPECT_EQ(v.TransferBufferLength, sizeof data);

    urb = URB{};
    UsbBuildGetDescriptorRequest(&urb, sizeof(_URB_CONTROL_DESCRIPTOR_REQUEST), USB_STRING_DESCRIPTOR_TYPE, 2, 0x0409,
                                 data, nullptr, sizeof data, nullptr);
    const auto& d = urb.UrbControlDescriptorRequest;
    EXPECT_EQ(d.Hdr.Function, URB_FUNCTION_GET_DESCRIPTOR_FROM_DEVICE);
    EXPECT_EQ(d.DescriptorType, USB_STRING_DESCRIPTOR_TYPE);
    EXPECT_EQ(d.Index, 2);
    EXPECT_EQ(d.LanguageId, 0x0409);

    urb = URB{};
    UsbBuildFeatureRequest(&urb, URB_FUNCTION_SET_FEATURE_TO_OTHER, USB_PORT_FEATURE_PORT_RESET, 3, nullptr);
    EXPECT_EQ(urb.UrbControlFeatureRequest.FeatureSelector, USB_PORT_FEATURE_PORT_RESET);
    EXPECT_EQ(urb.UrbControlFeatureRequest.Index, 3);
}

TEST(UsbdBuilders, SelectInterfaceEntryTakesTheRestOfTheRequest) {
    const ULONG size = GET_SELECT_INTERFACE_REQUEST_SIZE(2);
    std::vector<UCHAR> buffer(size);
    auto* urb = reinterpret_cast<PURB>(buffer.data());
    int handle;
    UsbBuildSelectInterfaceRequest(urb, static_cast<USHORT>(size), &handle, 1, 1);
    EXPECT_EQ(urb->UrbSelectInterface.Interface.Length, GET_USBD_INTERFACE_SIZE(2));
    EXPECT_EQ(urb->UrbSelectInterface.ConfigurationHandle, &handle);
    EXPECT_EQ(urb->UrbSelectInterface.Interface.AlternateSetting, 1);
}

} // namespace
