// "hidusb" with the HID class library: the HID device's functional device object and its collections.
#include <algorithm>
#include <cstring>

#include "UsbDescriptorWalker.h"
#include "hidport.h"
#include "platform/sim/internal/ClassDevice.h"
#include "platform/sim/internal/ClassDrivers.h"
#include "platform/sim/internal/UsbHub.h"

namespace sim::drv {

namespace {

struct Collection {
    USHORT usagePage = 0;
    USHORT usage = 0;
};

// The top-level application collections of a report descriptor, with their usage page and usage.
std::vector<Collection> TopLevelCollections(const Bytes& report) {
    std::vector<Collection> collections;
    USHORT usagePage = 0;
    ULONG usage = 0;
    bool haveUsage = false;
    int depth = 0;
    for (size_t i = 0; i < report.size();) {
        const UCHAR prefix = report[i];
        if (prefix == 0xFE) { // long item: size in the next byte
            if (i + 1 >= report.size()) {
                break;
            }
            i += 3 + report[i + 1];
            continue;
        }
        static constexpr size_t kSizes[] = {0, 1, 2, 4};
        const size_t size = kSizes[prefix & 3];
        if (i + 1 + size > report.size()) {
            break;
        }
        ULONG data = 0;
        for (size_t b = 0; b < size; ++b) {
            data |= static_cast<ULONG>(report[i + 1 + b]) << (8 * b);
        }
        switch (prefix & 0xFC) {
        case 0x04: // Usage Page
            usagePage = static_cast<USHORT>(data);
            break;
        case 0x08: // Usage
            usage = data;
            haveUsage = true;
            break;
        case 0xA0: // Collection
            if (depth == 0 && data == 0x01) {
                Collection collection;
                collection.usagePage = size == 4 ? static_cast<USHORT>(usage >> 16) : usagePage;
                collection.usage = haveUsage ? static_cast<USHORT>(usage) : 0;
                collections.push_back(collection);
            }
            ++depth;
            haveUsage = false;
            break;
        case 0xC0: // End Collection
            depth = std::max(0, depth - 1);
            break;
        case 0x80: // Input, Output, Feature: the local items end with the main item
        case 0x90:
        case 0xB0:
            haveUsage = false;
            break;
        default:
            break;
        }
        i += 1 + size;
    }
    return collections;
}

class HidFdo;

class HidCollectionPdo : public PhysicalDevice {
public:
    HidCollectionPdo(PDEVICE_OBJECT self, HidFdo* parent, size_t index, Collection collection, bool numbered);

protected:
    std::u16string Suffix() const;
    std::u16string DeviceId() const override;
    std::u16string InstanceId() const override { return Hex(static_cast<ULONG>(m_index), 4); }
    std::vector<std::u16string> HardwareIds() const override;
    std::u16string DeviceText() const override;
    void Capabilities(DEVICE_CAPABILITIES& capabilities) const override {
        capabilities.UniqueID = FALSE;
        capabilities.SilentInstall = TRUE;
    }
    NTSTATUS DeviceControl(PIRP irp) override;
    NTSTATUS InternalDeviceControl(PIRP irp) override { return Complete(irp, STATUS_NOT_SUPPORTED); }

private:
    HidFdo* const m_hid;
    const size_t m_index;
    const Collection m_collection;
    const bool m_numbered;
};

class HidFdo : public UsbClassDevice {
public:
    HidFdo(PDEVICE_OBJECT self, PDEVICE_OBJECT pdo, PDEVICE_OBJECT lower) : UsbClassDevice(self, pdo, lower) {}

    const Bytes& ReportDescriptor() const { return m_report; }
    const std::u16string& Manufacturer() const { return m_manufacturer; }
    const std::u16string& Product() const { return m_product; }
    const std::u16string& Serial() const { return m_serial; }

protected:
    NTSTATUS OnStart() override {
        NTSTATUS status = Configure(USB_DEVICE_CLASS_HUMAN_INTERFACE);
        if (!NT_SUCCESS(status)) {
            return status;
        }
        UrbClient client = Client();
        ULONG none = 0;
        client.ClassRequest(URB_FUNCTION_CLASS_INTERFACE, false, HID_REQUEST_SET_IDLE, 0, m_interface, nullptr, &none);
        const USHORT length = ReportLength();
        if (!length) {
            return STATUS_DEVICE_DATA_ERROR;
        }
        status = client.GetDescriptor(URB_FUNCTION_GET_DESCRIPTOR_FROM_INTERFACE, HID_REPORT_DESCRIPTOR_TYPE, 0,
                                      m_interface, m_report, length);
        if (!NT_SUCCESS(status)) {
            return status;
        }
        m_manufacturer = ReadString(client, m_device.iManufacturer);
        m_product = ReadString(client, m_device.iProduct);
        m_serial = ReadString(client, m_device.iSerialNumber);
        m_collections = TopLevelCollections(m_report);
        return STATUS_SUCCESS;
    }
    bool IsBus() const override { return true; }
    void Enumerate() override {
        if (m_enumerated || !m_started) {
            return;
        }
        m_enumerated = true;
        for (size_t i = 0; i < m_collections.size(); ++i) {
            PDEVICE_OBJECT pdo = nullptr;
            if (!NT_SUCCESS(CreateNumberedDevice(m_self->DriverObject, u"\\Device\\_HID", FILE_DEVICE_UNKNOWN, 0,
                                                 &pdo, nullptr, NumberStyle::Hex8))) {
                continue;
            }
            pdo->StackSize = m_self->StackSize;
            pdo->Flags |= DO_POWER_PAGABLE | DO_BUFFERED_IO;
            AddNewChild<HidCollectionPdo>(pdo, this, i, m_collections[i], m_collections.size() > 1);
        }
    }

private:
    // wDescriptorLength of the report descriptor, from the HID descriptor after the interface's descriptor.
    USHORT ReportLength() const {
        UsbDescriptorWalker walker(m_configuration.data(), static_cast<ULONG>(m_configuration.size()));
        UsbDescriptorView view;
        bool inside = false;
        while (walker.Next(view)) {
            if (view.Type == USB_INTERFACE_DESCRIPTOR_TYPE && view.Length >= 9) {
                inside = view.Data[2] == m_interface && view.Data[3] == 0;
            } else if (inside && view.Type == HID_HID_DESCRIPTOR_TYPE && view.Length >= 9) {
                return ReadU16(view.Data + 7);
            }
        }
        return 0;
    }

    Bytes m_report;
    std::u16string m_manufacturer;
    std::u16string m_product;
    std::u16string m_serial;
    std::vector<Collection> m_collections;
    bool m_enumerated = false;
};

HidCollectionPdo::HidCollectionPdo(PDEVICE_OBJECT self, HidFdo* parent, size_t index, Collection collection,
                                   bool numbered)
    : PhysicalDevice(self, parent), m_hid(parent), m_index(index), m_collection(collection), m_numbered(numbered) {}

std::u16string HidCollectionPdo::Suffix() const {
    return m_hid->InterfaceSuffix() + (m_numbered ? u"&Col" + Hex(static_cast<ULONG>(m_index + 1), 2) : u"");
}

std::u16string HidCollectionPdo::DeviceId() const { return u"HID\\" + VidPid(m_hid->Device()) + Suffix(); }

std::vector<std::u16string> HidCollectionPdo::HardwareIds() const {
    const USB_DEVICE_DESCRIPTOR& device = m_hid->Device();
    const std::u16string usage = u"UP:" + Hex(m_collection.usagePage, 4) + u"_U:" + Hex(m_collection.usage, 4);
    std::vector<std::u16string> ids = {
        u"HID\\" + VidPid(device) + Revision(device) + Suffix(), DeviceId(),
        u"HID\\VID_" + Hex(device.idVendor, 4) + u"&" + usage};
    if (m_collection.usagePage == 0x01 && m_collection.usage == 0x02) {
        ids.push_back(u"HID_DEVICE_SYSTEM_MOUSE");
    } else if (m_collection.usagePage == 0x01 && (m_collection.usage == 0x06 || m_collection.usage == 0x07)) {
        ids.push_back(u"HID_DEVICE_SYSTEM_KEYBOARD");
    }
    ids.push_back(u"HID_DEVICE_" + usage);
    ids.push_back(u"HID_DEVICE");
    return ids;
}

std::u16string HidCollectionPdo::DeviceText() const {
    if (m_collection.usagePage == 0x01 && m_collection.usage == 0x02) {
        return u"HID-compliant mouse";
    }
    if (m_collection.usagePage == 0x01 && m_collection.usage == 0x06) {
        return u"HID Keyboard Device";
    }
    if (m_collection.usagePage == 0x0C) {
        return u"HID-compliant consumer control device";
    }
    return u"HID-compliant device";
}

NTSTATUS HidCollectionPdo::DeviceControl(PIRP irp) {
    PIO_STACK_LOCATION location = IoGetCurrentIrpStackLocation(irp);
    const ULONG outLength = location->Parameters.DeviceIoControl.OutputBufferLength;
    auto* system = static_cast<UCHAR*>(irp->AssociatedIrp.SystemBuffer);
    auto answerString = [&](const std::u16string& text) {
        auto* out = irp->MdlAddress ? static_cast<UCHAR*>(MmGetSystemAddressForMdlSafe(irp->MdlAddress,
                                                                                      NormalPagePriority))
                                    : nullptr;
        const ULONG needed = static_cast<ULONG>((text.size() + 1) * sizeof(WCHAR));
        if (text.empty()) {
            return Complete(irp, STATUS_INVALID_PARAMETER);
        }
        if (!out || outLength < needed) {
            return Complete(irp, STATUS_INVALID_BUFFER_SIZE);
        }
        std::memcpy(out, text.c_str(), needed);
        return Complete(irp, STATUS_SUCCESS, needed);
    };
    switch (location->Parameters.DeviceIoControl.IoControlCode) {
    case IOCTL_HID_GET_COLLECTION_INFORMATION: {
        if (!system || outLength < sizeof(HID_COLLECTION_INFORMATION)) {
            return Complete(irp, STATUS_INVALID_BUFFER_SIZE);
        }
        HID_COLLECTION_INFORMATION info{};
        info.DescriptorSize = static_cast<ULONG>(m_hid->ReportDescriptor().size());
        info.Polled = FALSE;
        info.VendorID = m_hid->Device().idVendor;
        info.ProductID = m_hid->Device().idProduct;
        info.VersionNumber = m_hid->Device().bcdDevice;
        std::memcpy(system, &info, sizeof info);
        return Complete(irp, STATUS_SUCCESS, sizeof info);
    }
    case IOCTL_HID_GET_COLLECTION_DESCRIPTOR: {
        // The collection's description; the simulated class driver hands out the report descriptor itself.
        const Bytes& report = m_hid->ReportDescriptor();
        if (!irp->UserBuffer || outLength < report.size()) {
            return Complete(irp, STATUS_INVALID_BUFFER_SIZE);
        }
        std::memcpy(irp->UserBuffer, report.data(), report.size());
        return Complete(irp, STATUS_SUCCESS, report.size());
    }
    case IOCTL_HID_GET_MANUFACTURER_STRING:
        return answerString(m_hid->Manufacturer());
    case IOCTL_HID_GET_PRODUCT_STRING:
        return answerString(m_hid->Product());
    case IOCTL_HID_GET_SERIALNUMBER_STRING:
        return answerString(m_hid->Serial());
    case IOCTL_HID_GET_POLL_FREQUENCY_MSEC:
    case IOCTL_GET_NUM_DEVICE_INPUT_BUFFERS: {
        if (!system || outLength < sizeof(ULONG)) {
            return Complete(irp, STATUS_BUFFER_TOO_SMALL);
        }
        ULONG value = location->Parameters.DeviceIoControl.IoControlCode == IOCTL_GET_NUM_DEVICE_INPUT_BUFFERS ? 32 : 0;
        std::memcpy(system, &value, sizeof value);
        return Complete(irp, STATUS_SUCCESS, sizeof value);
    }
    case IOCTL_SET_NUM_DEVICE_INPUT_BUFFERS:
    case IOCTL_HID_SET_POLL_FREQUENCY_MSEC:
        return Complete(irp, STATUS_SUCCESS);
    default:
        return Complete(irp, STATUS_NOT_SUPPORTED);
    }
}

NTSTATUS AddHid(PDRIVER_OBJECT driver, PDEVICE_OBJECT pdo) {
    return FunctionDevice::Add(driver, pdo, FILE_DEVICE_UNKNOWN, [pdo](PDEVICE_OBJECT self, PDEVICE_OBJECT lower) {
        return new HidFdo(self, pdo, lower);
    });
}

// The function drivers of collections and disks: they take their place in the stack and pass everything on.
class PassThroughFdo : public FunctionDevice {
public:
    PassThroughFdo(PDEVICE_OBJECT self, PDEVICE_OBJECT pdo, PDEVICE_OBJECT lower) : FunctionDevice(self, pdo, lower) {}

protected:
    NTSTATUS CreateClose(PIRP irp) override { return PassDown(m_lower, irp); }
    NTSTATUS Other(PIRP irp) override { return PassDown(m_lower, irp); }
};

template <DEVICE_TYPE Type> NTSTATUS AddPassThrough(PDRIVER_OBJECT driver, PDEVICE_OBJECT pdo) {
    return FunctionDevice::Add(driver, pdo, Type, [pdo](PDEVICE_OBJECT self, PDEVICE_OBJECT lower) {
        return new PassThroughFdo(self, pdo, lower);
    });
}

} // namespace

NTSTATUS HidUsbEntry(PDRIVER_OBJECT driver, PUNICODE_STRING) { return SetUpDriver(driver, AddHid); }
NTSTATUS MouHidEntry(PDRIVER_OBJECT driver, PUNICODE_STRING) {
    return SetUpDriver(driver, AddPassThrough<FILE_DEVICE_MOUSE>);
}
NTSTATUS KbdHidEntry(PDRIVER_OBJECT driver, PUNICODE_STRING) {
    return SetUpDriver(driver, AddPassThrough<FILE_DEVICE_KEYBOARD>);
}
NTSTATUS DiskEntry(PDRIVER_OBJECT driver, PUNICODE_STRING) { return SetUpDriver(driver, AddPassThrough<FILE_DEVICE_DISK>); }

} // namespace sim::drv
