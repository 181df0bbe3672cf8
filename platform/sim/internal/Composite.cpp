#include "platform/sim/internal/Composite.h"

#include <algorithm>
#include <cstring>

#include "UsbDescriptorWalker.h"
#include "platform/sim/internal/HubFdo.h"

namespace sim::drv {

namespace {

struct Function {
    UCHAR first = 0;
    UCHAR count = 1;
    UCHAR cls = 0;
    UCHAR subClass = 0;
    UCHAR protocol = 0;
    Bytes configuration; // the configuration as this function's driver sees it: its own interfaces only
};

// The functions of a configuration: each interface association, and each interface no association covers.
std::vector<Function> FunctionsOf(const Bytes& configuration) {
    std::vector<Function> functions;
    UsbDescriptorWalker walker(configuration.data(), static_cast<ULONG>(configuration.size()));
    UsbDescriptorView view;
    while (walker.Next(view)) {
        if (view.Type == USB_INTERFACE_ASSOCIATION_DESCRIPTOR_TYPE && view.Length >= 8) {
            functions.push_back({view.Data[2], view.Data[3], view.Data[4], view.Data[5], view.Data[6], {}});
        } else if (view.Type == USB_INTERFACE_DESCRIPTOR_TYPE && view.Length >= 9 && view.Data[3] == 0) {
            const UCHAR number = view.Data[2];
            bool covered = std::any_of(functions.begin(), functions.end(), [number](const Function& f) {
                return number >= f.first && number < f.first + f.count;
            });
            if (!covered) {
                functions.push_back({number, 1, view.Data[5], view.Data[6], view.Data[7], {}});
            }
        }
    }
    // Each function's own configuration set: the header, then its association and interfaces with what
    // follows each of them.
    for (Function& function : functions) {
        Bytes& out = function.configuration;
        out.assign(configuration.begin(), configuration.begin() + sizeof(USB_CONFIGURATION_DESCRIPTOR));
        UsbDescriptorWalker again(configuration.data(), static_cast<ULONG>(configuration.size()));
        bool inside = false;
        UCHAR interfaces = 0;
        while (again.Next(view)) {
            if (view.Type == USB_CONFIGURATION_DESCRIPTOR_TYPE) {
                continue;
            }
            if (view.Type == USB_INTERFACE_ASSOCIATION_DESCRIPTOR_TYPE && view.Length >= 8) {
                inside = view.Data[2] == function.first && function.count > 1;
            } else if (view.Type == USB_INTERFACE_DESCRIPTOR_TYPE && view.Length >= 9) {
                inside = view.Data[2] >= function.first && view.Data[2] < function.first + function.count;
                if (inside && view.Data[3] == 0) {
                    ++interfaces;
                }
            }
            if (inside) {
                out.insert(out.end(), view.Data, view.Data + view.Length);
            }
        }
        WriteU16(&out[2], static_cast<USHORT>(out.size()));
        out[4] = interfaces;
    }
    return functions;
}

class CompositeFdo : public FunctionDevice {
public:
    CompositeFdo(PDEVICE_OBJECT self, PDEVICE_OBJECT pdo, PDEVICE_OBJECT lower, CompositeKind kind)
        : FunctionDevice(self, pdo, lower), m_kind(kind), m_layout(CurrentLayout()) {
        if (m_kind == CompositeKind::HubDriver) {
            WriteAreaWord(m_self, m_layout.compositeSignature, kCompositeParentWord); // from AddDevice on
        }
    }

    const USB_DEVICE_DESCRIPTOR& Device() const { return m_device; }
    const SelectedConfiguration& Selection() const { return m_selection; }
    const std::u16string& Product() const { return m_product; }

protected:
    NTSTATUS OnStart() override;
    bool IsBus() const override { return true; }
    void Enumerate() override;

private:
    const CompositeKind m_kind;
    const ReleaseLayout m_layout;
    USB_DEVICE_DESCRIPTOR m_device{};
    SelectedConfiguration m_selection;
    std::vector<Function> m_functions;
    std::u16string m_product;
    bool m_enumerated = false;
};

class InterfacePdo : public PhysicalDevice {
public:
    InterfacePdo(PDEVICE_OBJECT self, CompositeFdo* parent, Function function)
        : PhysicalDevice(self, parent), m_composite(parent), m_function(std::move(function)) {}

protected:
    std::u16string Base() const {
        return u"USB\\" + VidPid(m_composite->Device()) + u"&MI_" + Hex(m_function.first, 2);
    }
    std::u16string DeviceId() const override { return Base(); }
    std::u16string InstanceId() const override { return Hex(m_function.first, 4); }
    std::vector<std::u16string> HardwareIds() const override {
        return {u"USB\\" + VidPid(m_composite->Device()) + Revision(m_composite->Device()) + u"&MI_" +
                    Hex(m_function.first, 2),
                Base()};
    }
    std::vector<std::u16string> CompatibleIds() const override {
        return ClassIds(u"USB\\Class", m_function.cls, m_function.subClass, m_function.protocol);
    }
    std::u16string DeviceText() const override {
        return m_composite->Product().empty() ? std::u16string(u"USB Device") : m_composite->Product();
    }
    void Capabilities(DEVICE_CAPABILITIES& capabilities) const override {
        capabilities.UniqueID = FALSE;
        capabilities.Removable = FALSE;
        capabilities.Address = m_function.first;
    }
    NTSTATUS Pnp(PIRP irp) override;
    NTSTATUS InternalDeviceControl(PIRP irp) override;

private:
    bool Owns(UCHAR number) const { return number >= m_function.first && number < m_function.first + m_function.count; }
    USBD_STATUS AnswerSelectConfiguration(PURB urb);
    USBD_STATUS AnswerConfigurationDescriptor(PURB urb);

    CompositeFdo* const m_composite;
    const Function m_function;
};

NTSTATUS CompositeFdo::OnStart() {
    UrbClient client(m_lower);
    Bytes configuration;
    NTSTATUS status;
    if (!NT_SUCCESS(status = client.DeviceDescriptor(m_device)) ||
        !NT_SUCCESS(status = client.ConfigurationDescriptor(configuration))) {
        return status;
    }
    if (m_device.bcdUSB >= 0x0300) {
        Bytes bos;
        client.BosDescriptor(bos);
    }
    if (!NT_SUCCESS(status = client.SelectConfiguration(configuration, {}, m_selection))) {
        return status;
    }
    m_functions = FunctionsOf(configuration);
    m_product = ReadString(client, m_device.iProduct);
    return STATUS_SUCCESS;
}

void CompositeFdo::Enumerate() {
    if (m_enumerated || !m_started) {
        return;
    }
    m_enumerated = true;
    for (const Function& function : m_functions) {
        PDEVICE_OBJECT pdo = nullptr;
        if (!NT_SUCCESS(CreateNumberedDevice(m_self->DriverObject, u"\\Device\\USBPDO-", FILE_DEVICE_USB, 0, &pdo))) {
            continue;
        }
        pdo->StackSize = m_self->StackSize;
        pdo->Flags |= DO_POWER_PAGABLE;
        if (m_kind == CompositeKind::HubDriver) {
            WriteAreaWord(pdo, m_layout.interfaceSignature, kInterfacePdoWord);
        }
        AddNewChild<InterfacePdo>(pdo, this, function);
    }
}

NTSTATUS InterfacePdo::Pnp(PIRP irp) {
    PIO_STACK_LOCATION location = IoGetCurrentIrpStackLocation(irp);
    if (location->MinorFunction == IRP_MN_QUERY_INTERFACE && location->Parameters.QueryInterface.InterfaceType &&
        *location->Parameters.QueryInterface.InterfaceType == USB_BUS_INTERFACE_USBDI_GUID) {
        if (!m_present) {
            return Complete(irp, STATUS_DEVICE_NOT_CONNECTED);
        }
        return PassDown(m_composite->Lower(), irp);
    }
    return PhysicalDevice::Pnp(irp);
}

NTSTATUS InterfacePdo::InternalDeviceControl(PIRP irp) {
    PIO_STACK_LOCATION location = IoGetCurrentIrpStackLocation(irp);
    if (!m_present) {
        return Complete(irp, STATUS_DEVICE_NOT_CONNECTED);
    }
    if (location->Parameters.DeviceIoControl.IoControlCode == IOCTL_INTERNAL_USB_SUBMIT_URB) {
        auto* urb = static_cast<PURB>(location->Parameters.Others.Argument1);
        if (urb && urb->UrbHeader.Length >= sizeof(_URB_HEADER)) {
            const USHORT function = urb->UrbHeader.Function & ~URB_FUNCTION_SUBMIT_SYNCHRONOUS;
            if (function == URB_FUNCTION_SELECT_CONFIGURATION) {
                USBD_STATUS status = AnswerSelectConfiguration(urb);
                urb->UrbHeader.Status = status;
                return Complete(irp, USBD_SUCCESS(status) ? STATUS_SUCCESS : STATUS_INVALID_PARAMETER);
            }
            if (function == URB_FUNCTION_GET_DESCRIPTOR_FROM_DEVICE &&
                urb->UrbHeader.Length >= sizeof(_URB_CONTROL_DESCRIPTOR_REQUEST) &&
                urb->UrbControlDescriptorRequest.DescriptorType == USB_CONFIGURATION_DESCRIPTOR_TYPE) {
                USBD_STATUS status = AnswerConfigurationDescriptor(urb);
                urb->UrbHeader.Status = status;
                return Complete(irp, USBD_SUCCESS(status) ? STATUS_SUCCESS : STATUS_INVALID_PARAMETER);
            }
        }
    }
    return PassDown(m_composite->Lower(), irp);
}

USBD_STATUS InterfacePdo::AnswerConfigurationDescriptor(PURB urb) {
    auto& request = urb->UrbControlDescriptorRequest;
    UCHAR* buffer = static_cast<UCHAR*>(request.TransferBuffer);
    if (!buffer && request.TransferBufferMDL) {
        buffer = static_cast<UCHAR*>(MmGetSystemAddressForMdlSafe(request.TransferBufferMDL, NormalPagePriority));
    }
    if (!buffer && request.TransferBufferLength) {
        return USBD_STATUS_INVALID_PARAMETER;
    }
    const ULONG length =
        std::min<ULONG>(request.TransferBufferLength, static_cast<ULONG>(m_function.configuration.size()));
    if (length) {
        std::memcpy(buffer, m_function.configuration.data(), length);
    }
    request.TransferBufferLength = length;
    return USBD_STATUS_SUCCESS;
}

USBD_STATUS InterfacePdo::AnswerSelectConfiguration(PURB urb) {
    auto& request = urb->UrbSelectConfiguration;
    if (urb->UrbHeader.Length < offsetof(_URB_SELECT_CONFIGURATION, Interface)) {
        return USBD_STATUS_INVALID_PARAMETER;
    }
    const SelectedConfiguration& selection = m_composite->Selection();
    if (!request.ConfigurationDescriptor) {
        request.ConfigurationHandle = nullptr; // the parent keeps the device configured for its other functions
        return USBD_STATUS_SUCCESS;
    }
    UCHAR* cursor = reinterpret_cast<UCHAR*>(&request.Interface);
    UCHAR* const end = reinterpret_cast<UCHAR*>(urb) + urb->UrbHeader.Length;
    for (UCHAR i = 0; i < request.ConfigurationDescriptor->bNumInterfaces; ++i) {
        auto* info = reinterpret_cast<PUSBD_INTERFACE_INFORMATION>(cursor);
        if (cursor + offsetof(USBD_INTERFACE_INFORMATION, Pipes) > end ||
            info->Length < offsetof(USBD_INTERFACE_INFORMATION, Pipes) || cursor + info->Length > end) {
            return USBD_STATUS_INVALID_PARAMETER;
        }
        const USBD_INTERFACE_INFORMATION* selected = selection.Interface(info->InterfaceNumber);
        if (!Owns(info->InterfaceNumber) || !selected || selected->AlternateSetting != info->AlternateSetting) {
            return USBD_STATUS_INTERFACE_NOT_FOUND;
        }
        if (info->Length < selected->Length) {
            return USBD_STATUS_BUFFER_TOO_SMALL;
        }
        const USHORT length = info->Length;
        std::memcpy(info, selected, selected->Length);
        info->Length = length;
        cursor += length;
    }
    request.ConfigurationHandle = selection.handle;
    return USBD_STATUS_SUCCESS;
}

NTSTATUS AddCcgp(PDRIVER_OBJECT driver, PDEVICE_OBJECT pdo) {
    return AddCompositeParent(driver, pdo, CompositeKind::Ccgp);
}

} // namespace

NTSTATUS AddCompositeParent(PDRIVER_OBJECT driver, PDEVICE_OBJECT pdo, CompositeKind kind) {
    return FunctionDevice::Add(driver, pdo, FILE_DEVICE_USB, [pdo, kind](PDEVICE_OBJECT self, PDEVICE_OBJECT lower) {
        return new CompositeFdo(self, pdo, lower, kind);
    });
}

NTSTATUS UsbCcgpEntry(PDRIVER_OBJECT driver, PUNICODE_STRING) {
    return SetUpDriver(driver, AddCcgp);
}

} // namespace sim::drv
