#include "platform/sim/StandardDevices.h"

namespace sim {

namespace {

constexpr GUID kHubContainer = {0x7A51C0DE, 0x0001, 0x4000, {0x80, 0x00, 0x53, 0x49, 0x4D, 0x48, 0x55, 0x42}};
constexpr GUID kDriveContainer = {0x7A51C0DE, 0x0002, 0x4000, {0x80, 0x00, 0x53, 0x49, 0x4D, 0x44, 0x53, 0x4B}};

DescriptorSet Set(const DeviceIdentity& identity, std::vector<Bytes> configurations,
                  std::vector<std::u16string> strings) {
    DescriptorSet set;
    set.device = DeviceDescriptorBytes(identity);
    set.configurations = std::move(configurations);
    set.strings = std::move(strings);
    set.strings.insert(set.strings.begin(), u"");
    return set;
}

DeviceIdentity Identity(USHORT bcdUSB, UCHAR maxPacketSize0, USHORT productId, bool serial) {
    DeviceIdentity identity;
    identity.bcdUSB = bcdUSB;
    identity.maxPacketSize0 = maxPacketSize0;
    identity.vendorId = kSimVendorId;
    identity.productId = productId;
    identity.iManufacturer = 1;
    identity.iProduct = 2;
    identity.iSerialNumber = serial ? 3 : 0;
    return identity;
}

std::shared_ptr<UsbDevice> HidDevice(std::string name, USHORT productId, std::u16string product, UsbSpeed speed,
                                     UCHAR protocol, Bytes reportDescriptor, USHORT reportSize) {
    auto hid = std::make_shared<HidFunction>(std::move(reportDescriptor), 0x81, reportSize);
    ConfigurationBuilder configuration(1, 0xA0, 50);
    configuration.Interface(0, 0, USB_DEVICE_CLASS_HUMAN_INTERFACE, 1, protocol)
        .ClassSpecific(hid->HidDescriptor())
        .Endpoint(0x81, USB_ENDPOINT_TYPE_INTERRUPT, reportSize, 10);
    DeviceIdentity identity = Identity(0x0110, 8, productId, false);
    auto device = std::make_shared<UsbDevice>(
        std::move(name), speed, Set(identity, {configuration.Build()}, {u"Tindaloft", std::move(product)}));
    device->AddFunction(0, hid);
    return device;
}

} // namespace

std::shared_ptr<UsbHubModel> MakeHub20(std::string name, int ports) {
    DeviceIdentity identity = Identity(0x0200, 64, 0x2040, false);
    identity.deviceClass = USB_DEVICE_CLASS_HUB;
    identity.deviceProtocol = USB_HUB_PROTOCOL_HIGH_SPEED_SINGLE_TT;
    ConfigurationBuilder configuration(1, 0xE0, 50);
    configuration.Interface(0, 0, USB_DEVICE_CLASS_HUB, 0, 0)
        .Endpoint(UsbHubModel::kStatusEndpoint, USB_ENDPOINT_TYPE_INTERRUPT, 1, 0x0C);
    ConfigurationBuilder fullSpeed(1, 0xE0, 50);
    fullSpeed.Interface(0, 0, USB_DEVICE_CLASS_HUB, 0, 0)
        .Endpoint(UsbHubModel::kStatusEndpoint, USB_ENDPOINT_TYPE_INTERRUPT, 1, 0xFF);
    DescriptorSet set = Set(identity, {configuration.Build()}, {u"Tindaloft", u"Simulated USB 2.0 Hub"});
    set.qualifier = QualifierBytes(identity);
    set.otherSpeedConfiguration = fullSpeed.BuildOtherSpeed();
    size_t bitmapBytes = (static_cast<size_t>(ports) + 8) / 8;
    Bytes hub{static_cast<UCHAR>(7 + 2 * bitmapBytes),
              USB_20_HUB_DESCRIPTOR_TYPE,
              static_cast<UCHAR>(ports),
              0x89,
              0x00,
              50,
              100};
    hub.insert(hub.end(), bitmapBytes, 0x00);
    hub.insert(hub.end(), bitmapBytes, 0xFF);
    return std::make_shared<UsbHubModel>(std::move(name), UsbSpeed::High, std::move(set), std::move(hub), false);
}

std::shared_ptr<UsbHubModel> MakeSuperSpeedHub(std::string name, int ports) {
    DeviceIdentity identity = Identity(0x0300, 9, 0x3040, false);
    identity.deviceClass = USB_DEVICE_CLASS_HUB;
    identity.deviceProtocol = USB_HUB_PROTOCOL_SUPERSPEED;
    ConfigurationBuilder configuration(1, 0xE0, 12);
    configuration.Interface(0, 0, USB_DEVICE_CLASS_HUB, 0, 0)
        .Endpoint(UsbHubModel::kStatusEndpoint, USB_ENDPOINT_TYPE_INTERRUPT, 2, 8)
        .Companion(0, 0, 2);
    DescriptorSet set = Set(identity, {configuration.Build()}, {u"Tindaloft", u"Simulated SuperSpeed Hub"});
    set.bos = BosBuilder().Usb20Extension().SuperSpeed().ContainerId(kHubContainer).Build();
    Bytes hub{12, USB_30_HUB_DESCRIPTOR_TYPE, static_cast<UCHAR>(ports), 0x09, 0x00, 50, 0, 0, 0, 0, 0, 0};
    return std::make_shared<UsbHubModel>(std::move(name), UsbSpeed::Super, std::move(set), std::move(hub), false);
}

std::shared_ptr<UsbDevice> MakeMouse(std::string name) {
    return HidDevice(std::move(name), 0x0101, u"Simulated Optical Mouse", UsbSpeed::Low, 2, BootMouseReportDescriptor(),
                     4);
}

std::shared_ptr<UsbDevice> MakeKeyboard(std::string name) {
    return HidDevice(std::move(name), 0x0102, u"Simulated Keyboard", UsbSpeed::Full, 1, BootKeyboardReportDescriptor(),
                     8);
}

std::shared_ptr<UsbDevice> MakeFlashDrive(std::string name, std::u16string serial, ULONG blocks) {
    DeviceIdentity identity = Identity(0x0200, 64, 0x1001, true);
    ConfigurationBuilder configuration(1, 0x80, 100);
    configuration
        .Interface(0, 0, USB_DEVICE_CLASS_STORAGE, USB_MASS_STORAGE_SUBCLASS_SCSI, USB_MASS_STORAGE_PROTOCOL_BULK_ONLY)
        .Endpoint(0x81, USB_ENDPOINT_TYPE_BULK, 512, 0)
        .Endpoint(0x02, USB_ENDPOINT_TYPE_BULK, 512, 0);
    ConfigurationBuilder fullSpeed(1, 0x80, 100);
    fullSpeed
        .Interface(0, 0, USB_DEVICE_CLASS_STORAGE, USB_MASS_STORAGE_SUBCLASS_SCSI, USB_MASS_STORAGE_PROTOCOL_BULK_ONLY)
        .Endpoint(0x81, USB_ENDPOINT_TYPE_BULK, 64, 0)
        .Endpoint(0x02, USB_ENDPOINT_TYPE_BULK, 64, 0);
    DescriptorSet set = Set(identity, {configuration.Build()}, {u"Tindaloft", u"Simulated Flash Disk", serial});
    set.qualifier = QualifierBytes(identity);
    set.otherSpeedConfiguration = fullSpeed.BuildOtherSpeed();
    auto device = std::make_shared<UsbDevice>(std::move(name), UsbSpeed::High, std::move(set));
    device->AddFunction(0, std::make_shared<BulkOnlyFunction>(
                               0x81, 0x02, std::make_shared<ScsiDisk>(blocks, 512, "Sim", "Flash Disk", "1.00")));
    return device;
}

std::shared_ptr<UsbDevice> MakeSuperSpeedDrive(std::string name, std::u16string serial, ULONG blocks) {
    DeviceIdentity identity = Identity(0x0300, 9, 0x3001, true);
    ConfigurationBuilder configuration(1, 0x80, 112);
    configuration
        .Interface(0, 0, USB_DEVICE_CLASS_STORAGE, USB_MASS_STORAGE_SUBCLASS_SCSI, USB_MASS_STORAGE_PROTOCOL_BULK_ONLY)
        .Endpoint(0x81, USB_ENDPOINT_TYPE_BULK, 1024, 0)
        .Companion(15)
        .Endpoint(0x02, USB_ENDPOINT_TYPE_BULK, 1024, 0)
        .Companion(15);
    DescriptorSet set = Set(identity, {configuration.Build()}, {u"Tindaloft", u"Simulated SuperSpeed Disk", serial});
    set.bos = BosBuilder().Usb20Extension().SuperSpeed().ContainerId(kDriveContainer).Build();
    auto device = std::make_shared<UsbDevice>(std::move(name), UsbSpeed::Super, std::move(set));
    device->AddFunction(0, std::make_shared<BulkOnlyFunction>(
                               0x81, 0x02, std::make_shared<ScsiDisk>(blocks, 512, "Sim", "SuperSpeed Disk", "3.00")));
    return device;
}

std::shared_ptr<UsbDevice> MakePrinter(std::string name) {
    DeviceIdentity identity = Identity(0x0110, 64, 0x0701, true);
    ConfigurationBuilder configuration(1, 0xC0, 1);
    configuration.Interface(0, 0, USB_DEVICE_CLASS_PRINTER, USB_PRINTER_SUBCLASS_PRINTER, 2)
        .Endpoint(0x01, USB_ENDPOINT_TYPE_BULK, 64, 0)
        .Endpoint(0x82, USB_ENDPOINT_TYPE_BULK, 64, 0);
    auto device = std::make_shared<UsbDevice>(
        std::move(name), UsbSpeed::Full,
        Set(identity, {configuration.Build()}, {u"Tindaloft", u"Simulated Page Printer 100", u"PRN0001"}));
    device->AddFunction(0,
                        std::make_shared<PrinterFunction>("MFG:Tindaloft;MDL:Page Printer 100;CMD:PCL,PJL;CLS:PRINTER;"
                                                          "DES:Tindaloft Page Printer 100;",
                                                          0x01, 0x82));
    return device;
}

std::shared_ptr<UsbDevice> MakeCompositeDevice(std::string name) {
    DeviceIdentity identity = Identity(0x0200, 64, 0x0C01, true);
    auto hid = std::make_shared<HidFunction>(ConsumerControlReportDescriptor(), 0x81, 1);
    ConfigurationBuilder configuration(1, 0x80, 100);
    configuration.Interface(0, 0, USB_DEVICE_CLASS_HUMAN_INTERFACE, 0, 0)
        .ClassSpecific(hid->HidDescriptor())
        .Endpoint(0x81, USB_ENDPOINT_TYPE_INTERRUPT, 1, 8)
        .Interface(1, 0, USB_DEVICE_CLASS_STORAGE, USB_MASS_STORAGE_SUBCLASS_SCSI, USB_MASS_STORAGE_PROTOCOL_BULK_ONLY)
        .Endpoint(0x82, USB_ENDPOINT_TYPE_BULK, 512, 0)
        .Endpoint(0x03, USB_ENDPOINT_TYPE_BULK, 512, 0);
    DescriptorSet set =
        Set(identity, {configuration.Build()}, {u"Tindaloft", u"Simulated Secure Stick", u"SIMC0MP051TE"});
    set.qualifier = QualifierBytes(identity);
    auto device = std::make_shared<UsbDevice>(std::move(name), UsbSpeed::High, std::move(set));
    device->AddFunction(0, hid);
    device->AddFunction(1, std::make_shared<BulkOnlyFunction>(
                               0x82, 0x03, std::make_shared<ScsiDisk>(32768, 512, "Sim", "Secure Stick", "1.00")));
    return device;
}

std::shared_ptr<UsbDevice> MakeLoopbackDevice(std::string name) {
    DeviceIdentity identity = Identity(0x0200, 64, 0xFF01, false);
    // Alternate setting 1 adds the isochronous pair (256-byte packets, one per frame).
    ConfigurationBuilder configuration(1, 0x80, 50);
    configuration.Interface(0, 0, USB_DEVICE_CLASS_VENDOR_SPECIFIC, 0, 0)
        .Endpoint(0x01, USB_ENDPOINT_TYPE_BULK, 64, 0)
        .Endpoint(0x81, USB_ENDPOINT_TYPE_BULK, 64, 0)
        .Interface(0, 1, USB_DEVICE_CLASS_VENDOR_SPECIFIC, 0, 0)
        .Endpoint(0x01, USB_ENDPOINT_TYPE_BULK, 64, 0)
        .Endpoint(0x81, USB_ENDPOINT_TYPE_BULK, 64, 0)
        .Endpoint(0x03, USB_ENDPOINT_TYPE_ISOCHRONOUS, 256, 1)
        .Endpoint(0x83, USB_ENDPOINT_TYPE_ISOCHRONOUS, 256, 1);
    DescriptorSet set = Set(identity, {configuration.Build()}, {u"Tindaloft", u"Simulated Loopback Device"});
    set.msVendorCode = 0x20;
    set.msCompatibleId = MsCompatibleIdBytes(0, "WINUSB\0");
    auto device = std::make_shared<UsbDevice>(std::move(name), UsbSpeed::Full, std::move(set));
    device->AddFunction(0, std::make_shared<LoopbackFunction>(0x01, 0x81, 0x03, 0x83));
    return device;
}

} // namespace sim
