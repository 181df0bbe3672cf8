// The simulated devices on their own, without drivers: descriptor sets, the standard requests, the hub's
// ports and status-change endpoint, the bulk-only transport over the SCSI disk, and the printer's device ID.
#include <gtest/gtest.h>

#include <vector>

#include "hidport.h"
#include "platform/sim/StandardDevices.h"

namespace {

using sim::Bytes;
using sim::SetupPacket;
using sim::TransferResult;

Bytes ControlIn(sim::UsbDevice& device, SetupPacket setup) {
    Bytes data(setup.wLength);
    TransferResult result = device.Control(setup, data);
    EXPECT_TRUE(result.Succeeded()) << "request " << int(setup.bRequest);
    data.resize(result.length);
    return data;
}

bool ControlOut(sim::UsbDevice& device, SetupPacket setup) {
    return device.Control(setup, {}).Succeeded();
}

SetupPacket GetDescriptor(UCHAR type, UCHAR index, USHORT length, USHORT language = 0) {
    return {0x80, USB_REQUEST_GET_DESCRIPTOR, static_cast<USHORT>(type << 8 | index), language, length};
}

class ReadyCounter : public sim::EndpointListener {
public:
    void EndpointReady(UCHAR endpoint) override { ready.push_back(endpoint); }
    std::vector<UCHAR> ready;
};

TEST(DescriptorBuilder, ComputesLengthsAndCounts) {
    Bytes configuration = sim::ConfigurationBuilder(1)
                              .Interface(0, 0, 3, 1, 1)
                              .ClassSpecific({9, 0x21, 0x11, 1, 0, 1, 0x22, 65, 0})
                              .Endpoint(0x81, USB_ENDPOINT_TYPE_INTERRUPT, 8, 10)
                              .Interface(1, 0, 8, 6, 0x50)
                              .Endpoint(0x82, USB_ENDPOINT_TYPE_BULK, 512, 0)
                              .Endpoint(0x03, USB_ENDPOINT_TYPE_BULK, 512, 0)
                              .Interface(1, 1, 8, 6, 0x50) // an alternate setting is no new interface
                              .Build();
    ASSERT_EQ(configuration.size(), 9u + 9 + 9 + 7 + 9 + 7 + 7 + 9);
    EXPECT_EQ(sim::ReadU16(&configuration[2]), configuration.size());
    EXPECT_EQ(configuration[4], 2) << "bNumInterfaces";
    EXPECT_EQ(configuration[9 + 4], 1) << "bNumEndpoints of interface 0";
    EXPECT_EQ(configuration[9 + 9 + 9 + 7 + 4], 2) << "bNumEndpoints of interface 1";

    Bytes bos = sim::BosBuilder().Usb20Extension().SuperSpeed().Build();
    EXPECT_EQ(bos.size(), 5u + 7 + 10);
    EXPECT_EQ(sim::ReadU16(&bos[2]), bos.size());
    EXPECT_EQ(bos[4], 2);
}

TEST(UsbDeviceModel, AnswersStandardRequestsFromItsDescriptors) {
    auto stick = sim::MakeFlashDrive("stick", u"SER123");
    Bytes device = ControlIn(*stick, GetDescriptor(USB_DEVICE_DESCRIPTOR_TYPE, 0, 18));
    EXPECT_EQ(device, stick->Descriptors().device);
    // A short request gets what fits: the configuration's header.
    Bytes header = ControlIn(*stick, GetDescriptor(USB_CONFIGURATION_DESCRIPTOR_TYPE, 0, 9));
    ASSERT_EQ(header.size(), 9u);
    EXPECT_EQ(sim::ReadU16(&header[2]), stick->Descriptors().configurations[0].size());
    Bytes serial = ControlIn(*stick, GetDescriptor(USB_STRING_DESCRIPTOR_TYPE, 3, 255, 0x0409));
    EXPECT_EQ(serial, sim::StringDescriptorBytes(u"SER123"));
    EXPECT_EQ(ControlIn(*stick, GetDescriptor(USB_STRING_DESCRIPTOR_TYPE, 0, 255)), sim::LanguageListBytes(0x0409));
    EXPECT_EQ(ControlIn(*stick, GetDescriptor(USB_DEVICE_QUALIFIER_DESCRIPTOR_TYPE, 0, 10)).size(), 10u);

    // Unknown descriptors, strings and configurations stall.
    Bytes scratch(64);
    EXPECT_EQ(stick->Control(GetDescriptor(USB_BOS_DESCRIPTOR_TYPE, 0, 5), scratch).status, USBD_STATUS_STALL_PID);
    EXPECT_EQ(stick->Control(GetDescriptor(USB_STRING_DESCRIPTOR_TYPE, 9, 64), scratch).status, USBD_STATUS_STALL_PID);
    EXPECT_FALSE(ControlOut(*stick, {0x00, USB_REQUEST_SET_CONFIGURATION, 7, 0, 0}));

    EXPECT_TRUE(ControlOut(*stick, {0x00, USB_REQUEST_SET_ADDRESS, 5, 0, 0}));
    EXPECT_EQ(stick->Address(), 5);
    EXPECT_TRUE(ControlOut(*stick, {0x00, USB_REQUEST_SET_CONFIGURATION, 1, 0, 0}));
    EXPECT_EQ(ControlIn(*stick, {0x80, USB_REQUEST_GET_CONFIGURATION, 0, 0, 1}), Bytes{1});
    // No alternate setting 1 on the storage interface.
    EXPECT_FALSE(ControlOut(*stick, {0x01, USB_REQUEST_SET_INTERFACE, 1, 0, 0}));
    stick->BusReset();
    EXPECT_EQ(stick->Address(), 0);
    EXPECT_EQ(stick->Configuration(), 0);
}

TEST(UsbDeviceModel, EndpointsBelongToTheConfigurationAndHaltOnStall) {
    auto stick = sim::MakeFlashDrive();
    Bytes data(13);
    EXPECT_EQ(stick->Transfer(0x81, data).status, USBD_STATUS_INVALID_PIPE_HANDLE) << "unconfigured";
    ASSERT_TRUE(ControlOut(*stick, {0x00, USB_REQUEST_SET_CONFIGURATION, 1, 0, 0}));
    // A CBW of the wrong size stalls the OUT endpoint, which then stays halted until CLEAR_FEATURE.
    Bytes junk(7);
    EXPECT_EQ(stick->Transfer(0x02, junk).status, USBD_STATUS_STALL_PID);
    EXPECT_TRUE(stick->EndpointHalted(0x02));
    EXPECT_EQ(stick->Transfer(0x02, junk).status, USBD_STATUS_ENDPOINT_HALTED);
    EXPECT_EQ(ControlIn(*stick, {0x82, USB_REQUEST_GET_STATUS, 0, 0x02, 2}), (Bytes{1, 0}));
    EXPECT_TRUE(ControlOut(*stick, {0x02, USB_REQUEST_CLEAR_FEATURE, USB_FEATURE_ENDPOINT_STALL, 0x02, 0}));
    EXPECT_FALSE(stick->EndpointHalted(0x02));
}

TEST(UsbHubModel, ReportsPortChangesOnItsStatusEndpoint) {
    auto hub = sim::MakeHub20("hub", 4);
    auto listener = std::make_shared<ReadyCounter>();
    hub->Bind(listener);
    ASSERT_TRUE(ControlOut(*hub, {0x00, USB_REQUEST_SET_CONFIGURATION, 1, 0, 0}));
    Bytes bitmap(1);
    EXPECT_TRUE(hub->Transfer(sim::UsbHubModel::kStatusEndpoint, bitmap).nak) << "nothing changed yet";

    // A device plugged into an unpowered port is reported when the port gets power.
    ASSERT_TRUE(hub->Attach(2, sim::MakeMouse()));
    EXPECT_FALSE(hub->Attach(2, sim::MakeKeyboard())) << "port taken";
    EXPECT_FALSE(hub->Attach(5, sim::MakeKeyboard())) << "no such port";
    EXPECT_TRUE(listener->ready.empty());
    ASSERT_TRUE(ControlOut(*hub, {0x23, USB_REQUEST_SET_FEATURE, USB_PORT_FEATURE_PORT_POWER, 2, 0}));
    EXPECT_EQ(listener->ready, std::vector<UCHAR>{sim::UsbHubModel::kStatusEndpoint});
    TransferResult changed = hub->Transfer(sim::UsbHubModel::kStatusEndpoint, bitmap);
    ASSERT_TRUE(changed.Succeeded());
    EXPECT_EQ(bitmap[0], 1 << 2);

    Bytes status = ControlIn(*hub, {0xA3, USB_REQUEST_GET_STATUS, 0, 2, 4});
    EXPECT_EQ(sim::ReadU16(&status[0]), 0x0100 | 0x0200 | 0x0001) << "powered, low speed, connected";
    EXPECT_EQ(sim::ReadU16(&status[2]), 0x0001) << "connection changed";

    // A reset enables the port; clearing the change bits quiets the endpoint.
    ASSERT_TRUE(ControlOut(*hub, {0x23, USB_REQUEST_SET_FEATURE, USB_PORT_FEATURE_PORT_RESET, 2, 0}));
    EXPECT_EQ(hub->PortStatus(2) & 0x0002, 0x0002);
    ASSERT_TRUE(ControlOut(*hub, {0x23, USB_REQUEST_CLEAR_FEATURE, USB_PORT_FEATURE_C_PORT_CONNECTION, 2, 0}));
    ASSERT_TRUE(ControlOut(*hub, {0x23, USB_REQUEST_CLEAR_FEATURE, USB_PORT_FEATURE_C_PORT_RESET, 2, 0}));
    EXPECT_TRUE(hub->Transfer(sim::UsbHubModel::kStatusEndpoint, bitmap).nak);

    // Unplugging reports the change again, and the device is free to go elsewhere.
    auto mouse = hub->Detach(2);
    ASSERT_TRUE(mouse);
    EXPECT_EQ(mouse->ParentHub(), nullptr);
    EXPECT_EQ(hub->PortChange(2), 0x0001);
    EXPECT_EQ(hub->PortStatus(2) & 0x0003, 0);
    hub->Unbind();
}

TEST(UsbHubModel, DescribesItselfWithItsClassDescriptor) {
    auto usb2 = sim::MakeHub20("hub", 7);
    Bytes descriptor = ControlIn(*usb2, {0xA0, USB_REQUEST_GET_DESCRIPTOR, USB_20_HUB_DESCRIPTOR_TYPE << 8, 0, 71});
    ASSERT_GE(descriptor.size(), 9u);
    EXPECT_EQ(descriptor[1], USB_20_HUB_DESCRIPTOR_TYPE);
    EXPECT_EQ(descriptor[2], 7);
    EXPECT_EQ(descriptor[0], descriptor.size());

    auto usb3 = sim::MakeSuperSpeedHub();
    Bytes superSpeed = ControlIn(*usb3, {0xA0, USB_REQUEST_GET_DESCRIPTOR, USB_30_HUB_DESCRIPTOR_TYPE << 8, 0, 12});
    EXPECT_EQ(superSpeed.size(), 12u);
    EXPECT_EQ(superSpeed[1], USB_30_HUB_DESCRIPTOR_TYPE);
    EXPECT_FALSE(usb3->Descriptors().bos.empty());
    Bytes wrongType(71);
    EXPECT_FALSE(usb3->Control({0xA0, USB_REQUEST_GET_DESCRIPTOR, USB_20_HUB_DESCRIPTOR_TYPE << 8, 0, 71}, wrongType)
                     .Succeeded());
}

// One bulk-only command: CBW out, data in (or out), CSW in.
struct BotResult {
    Bytes data;
    Bytes csw;
    bool stalled = false;
};

BotResult Command(sim::UsbDevice& device, ULONG tag, Bytes cdb, ULONG length, bool in, Bytes dataOut = {}) {
    Bytes cbw(31);
    sim::WriteU32(&cbw[0], sim::BulkOnlyFunction::kCbwSignature);
    sim::WriteU32(&cbw[4], tag);
    sim::WriteU32(&cbw[8], length);
    cbw[12] = in ? 0x80 : 0;
    cbw[14] = static_cast<UCHAR>(cdb.size());
    std::copy(cdb.begin(), cdb.end(), cbw.begin() + 15);
    EXPECT_TRUE(device.Transfer(0x02, cbw).Succeeded());
    BotResult result;
    if (length && in) {
        result.data.resize(length);
        TransferResult data = device.Transfer(0x81, result.data);
        result.data.resize(data.length);
        if (data.status == USBD_STATUS_STALL_PID) {
            // A failed command stalls its data stage; the host clears the stall and reads the status.
            result.stalled = true;
            EXPECT_TRUE(
                device.Control({0x02, USB_REQUEST_CLEAR_FEATURE, USB_FEATURE_ENDPOINT_STALL, 0x81, 0}, {}).Succeeded());
        } else {
            EXPECT_TRUE(data.Succeeded());
        }
    } else if (length) {
        EXPECT_TRUE(device.Transfer(0x02, dataOut).Succeeded());
    }
    result.csw.resize(13);
    EXPECT_TRUE(device.Transfer(0x81, result.csw).Succeeded());
    return result;
}

TEST(BulkOnlyStorage, RunsScsiCommandsThroughTheTransport) {
    auto stick = sim::MakeFlashDrive("stick", u"S1", 2048);
    ASSERT_TRUE(ControlOut(*stick, {0x00, USB_REQUEST_SET_CONFIGURATION, 1, 0, 0}));
    Bytes lun = ControlIn(*stick, {0xA1, 0xFE, 0, 0, 1});
    EXPECT_EQ(lun, Bytes{0});
    Bytes nothing(13);
    EXPECT_TRUE(stick->Transfer(0x81, nothing).nak) << "no status before a command";

    BotResult inquiry = Command(*stick, 7, {0x12, 0, 0, 0, 36, 0}, 36, true);
    ASSERT_EQ(inquiry.data.size(), 36u);
    EXPECT_EQ(std::string(inquiry.data.begin() + 8, inquiry.data.begin() + 16), "Sim     ");
    EXPECT_EQ(sim::ReadU32(&inquiry.csw[0]), sim::BulkOnlyFunction::kCswSignature);
    EXPECT_EQ(sim::ReadU32(&inquiry.csw[4]), 7u) << "the CSW answers the CBW's tag";
    EXPECT_EQ(inquiry.csw[12], 0);

    // The first command after power-on but INQUIRY and REQUEST SENSE reports the unit attention.
    BotResult ready = Command(*stick, 20, {0x00, 0, 0, 0, 0, 0}, 0, false);
    EXPECT_EQ(ready.csw[12], 1);
    BotResult attention = Command(*stick, 21, {0x03, 0, 0, 0, 18, 0}, 18, true);
    EXPECT_EQ(attention.data[2], 0x06) << "UNIT ATTENTION";
    EXPECT_EQ(attention.data[12], 0x29) << "power on";
    EXPECT_EQ(Command(*stick, 22, {0x00, 0, 0, 0, 0, 0}, 0, false).csw[12], 0) << "reported once";

    BotResult capacity = Command(*stick, 8, {0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 8, true);
    EXPECT_EQ(sim::ReadU32BigEndian(&capacity.data[0]), 2047u);
    EXPECT_EQ(sim::ReadU32BigEndian(&capacity.data[4]), 512u);

    Bytes block(512, 0xA5);
    BotResult write = Command(*stick, 9, {0x2A, 0, 0, 0, 0, 3, 0, 0, 1, 0}, 512, false, block);
    EXPECT_EQ(write.csw[12], 0);
    BotResult read = Command(*stick, 10, {0x28, 0, 0, 0, 0, 3, 0, 0, 1, 0}, 512, true);
    EXPECT_EQ(read.data, block);

    // Past the end: the command fails and REQUEST SENSE tells why.
    BotResult beyond = Command(*stick, 11, {0x28, 0, 0, 0, 0x08, 0, 0, 0, 1, 0}, 512, true);
    EXPECT_TRUE(beyond.stalled);
    EXPECT_EQ(beyond.csw[12], 1);
    EXPECT_EQ(sim::ReadU32(&beyond.csw[8]), 512u) << "nothing of the data stage was moved";
    BotResult sense = Command(*stick, 12, {0x03, 0, 0, 0, 18, 0}, 18, true);
    EXPECT_EQ(sense.data[2], 0x05) << "ILLEGAL REQUEST";
    EXPECT_EQ(sense.data[12], 0x21) << "logical block address out of range";
}

TEST(PrinterModel, GivesItsIeee1284DeviceId) {
    auto printer = sim::MakePrinter();
    ASSERT_TRUE(ControlOut(*printer, {0x00, USB_REQUEST_SET_CONFIGURATION, 1, 0, 0}));
    Bytes id = ControlIn(*printer, {0xA1, 0, 0, 0, 1024});
    ASSERT_GT(id.size(), 2u);
    EXPECT_EQ(static_cast<size_t>(id[0] << 8 | id[1]), id.size()) << "the length counts its own two bytes";
    std::string text(id.begin() + 2, id.end());
    EXPECT_NE(text.find("MFG:Tindaloft;"), std::string::npos);
    EXPECT_NE(text.find("CLS:PRINTER;"), std::string::npos);
    Bytes page = {'%', '!', 'P', 'S'};
    EXPECT_TRUE(printer->Transfer(0x01, page).Succeeded());
    EXPECT_EQ(printer->FunctionAs<sim::PrinterFunction>(0)->Printed(), page);
}

TEST(HidModel, HandsOutQueuedReportsAndNaksWithout) {
    auto mouse = sim::MakeMouse();
    auto listener = std::make_shared<ReadyCounter>();
    mouse->Bind(listener);
    ASSERT_TRUE(ControlOut(*mouse, {0x00, USB_REQUEST_SET_CONFIGURATION, 1, 0, 0}));
    auto* hid = mouse->FunctionAs<sim::HidFunction>(0);
    Bytes report(4);
    EXPECT_TRUE(mouse->Transfer(0x81, report).nak);
    hid->QueueInputReport({1, 5, 0xFB, 0});
    EXPECT_EQ(listener->ready, std::vector<UCHAR>{0x81});
    TransferResult moved = mouse->Transfer(0x81, report);
    EXPECT_EQ(moved.length, 4u);
    EXPECT_EQ(report, (Bytes{1, 5, 0xFB, 0}));
    Bytes reportDescriptor =
        ControlIn(*mouse, {0x81, USB_REQUEST_GET_DESCRIPTOR, HID_REPORT_DESCRIPTOR_TYPE << 8, 0, 255});
    EXPECT_EQ(reportDescriptor, sim::BootMouseReportDescriptor());
    EXPECT_TRUE(ControlOut(*mouse, {0x21, HID_REQUEST_SET_IDLE, 0x0400, 0, 0}));
    EXPECT_EQ(hid->IdleRate(), 4);
    mouse->Unbind();
}

} // namespace
