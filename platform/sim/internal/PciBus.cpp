#include "platform/sim/internal/PciBus.h"

#include <algorithm>
#include <mutex>

#include "guiddef.h"
#include "platform/sim/internal/DriverFramework.h"

namespace sim::drv {

namespace {

DEFINE_GUID(GUID_BUS_TYPE_PCI, 0xC8EBDFB0, 0xB510, 0x11D0, 0x80, 0xE5, 0x00, 0xA0, 0xC9, 0x25, 0x42, 0xE3);

std::mutex g_hardwareLock;
std::vector<std::shared_ptr<HostControllerModel>> g_hardware;

class PciFunction : public PhysicalDevice {
public:
    PciFunction(PDEVICE_OBJECT self, FunctionDevice* parent, std::shared_ptr<HostControllerModel> model)
        : PhysicalDevice(self, parent), m_model(std::move(model)) {}

    HostControllerModel* Model() const { return m_model.get(); }

protected:
    std::u16string Vendor() const { return u"PCI\\VEN_" + Hex(m_model->Pci().vendorId, 4); }
    std::u16string VendorDevice() const { return Vendor() + u"&DEV_" + Hex(m_model->Pci().deviceId, 4); }
    std::u16string ClassCode(int digits) const { return Hex(m_model->ClassCode() >> (digits == 6 ? 0 : 8), digits); }
    std::u16string Subsystem() const {
        const PciIdentity& pci = m_model->Pci();
        return u"&SUBSYS_" + Hex(static_cast<ULONG>(pci.subsystemId) << 16 | pci.subsystemVendorId, 8);
    }
    std::u16string Revision() const { return u"&REV_" + Hex(m_model->Pci().revision, 2); }

    std::u16string DeviceId() const override { return VendorDevice() + Subsystem() + Revision(); }
    std::u16string InstanceId() const override {
        return Hex(static_cast<ULONG>(m_model->Pci().device) << 3 | m_model->Pci().function, 2);
    }
    std::vector<std::u16string> HardwareIds() const override {
        return {VendorDevice() + Subsystem() + Revision(), VendorDevice() + Subsystem(),
                VendorDevice() + u"&CC_" + ClassCode(6), VendorDevice() + u"&CC_" + ClassCode(4)};
    }
    std::vector<std::u16string> CompatibleIds() const override {
        return {VendorDevice() + Revision(),       VendorDevice(), Vendor() + u"&CC_" + ClassCode(6),
                Vendor() + u"&CC_" + ClassCode(4), Vendor(),       u"PCI\\CC_" + ClassCode(6),
                u"PCI\\CC_" + ClassCode(4)};
    }
    std::u16string DeviceText() const override { return u"PCI Universal Serial Bus controller"; }
    std::u16string LocationText() const override {
        return u"PCI bus 0, device " + Decimal(m_model->Pci().device) + u", function " +
               Decimal(m_model->Pci().function);
    }
    void Capabilities(DEVICE_CAPABILITIES& capabilities) const override {
        capabilities.UniqueID = FALSE;
        capabilities.Address = static_cast<ULONG>(m_model->Pci().device) << 16 | m_model->Pci().function;
        capabilities.UINumber = m_model->Pci().device;
        capabilities.DeviceD1 = TRUE;
        capabilities.DeviceD2 = TRUE;
        capabilities.WakeFromD0 = TRUE;
    }
    bool BusInformation(PNP_BUS_INFORMATION& bus) const override {
        bus.BusTypeGuid = GUID_BUS_TYPE_PCI;
        bus.LegacyBusType = PCIBus;
        bus.BusNumber = 0;
        return true;
    }
    NTSTATUS OnStart() override {
        m_model->SetPhysicalDeviceObject(m_self);
        return STATUS_SUCCESS;
    }
    void OnDelete() override { m_model->SetPhysicalDeviceObject(nullptr); }

private:
    const std::shared_ptr<HostControllerModel> m_model;
};

class PciBusFdo : public FunctionDevice {
public:
    PciBusFdo(PDEVICE_OBJECT self, PDEVICE_OBJECT pdo, PDEVICE_OBJECT lower) : FunctionDevice(self, pdo, lower) {}

protected:
    bool IsBus() const override { return true; }
    // The bus reports the machine's controllers as they are now: a controller taken out of the machine is
    // left out (the manager removes it), one put in gets a new function.
    void Enumerate() override {
        std::vector<std::shared_ptr<HostControllerModel>> controllers;
        {
            std::lock_guard guard(g_hardwareLock);
            controllers = g_hardware;
        }
        std::vector<HostControllerModel*> reported;
        for (PhysicalDevice* child : Children()) {
            auto* function = dynamic_cast<PciFunction*>(child);
            if (function == nullptr) {
                continue;
            }
            const bool present = std::any_of(controllers.begin(), controllers.end(),
                                             [&](const auto& c) { return c.get() == function->Model(); });
            if (present) {
                reported.push_back(function->Model());
            } else {
                ChildGone(function);
            }
        }
        for (auto& controller : controllers) {
            if (std::find(reported.begin(), reported.end(), controller.get()) != reported.end()) {
                continue;
            }
            PDEVICE_OBJECT pdo = nullptr;
            if (!NT_SUCCESS(CreateNumberedDevice(m_self->DriverObject, u"\\Device\\NTPNP_PCI", FILE_DEVICE_CONTROLLER,
                                                 FILE_DEVICE_SECURE_OPEN, &pdo, nullptr, NumberStyle::Decimal4))) {
                continue;
            }
            pdo->Flags |= DO_POWER_PAGABLE;
            AddNewChild<PciFunction>(pdo, this, controller);
        }
    }
};

} // namespace

NTSTATUS PciEntry(PDRIVER_OBJECT driver, PUNICODE_STRING) {
    return SetUpDriver(driver, AddFunctionDevice<PciBusFdo, FILE_DEVICE_BUS_EXTENDER>);
}

HostControllerModel* ControllerModelOf(PDEVICE_OBJECT pdo) {
    auto* function = dynamic_cast<PciFunction*>(ContextOf(pdo));
    return function ? function->Model() : nullptr;
}

void SetPciHardware(std::vector<std::shared_ptr<HostControllerModel>> controllers) {
    std::lock_guard guard(g_hardwareLock);
    g_hardware = std::move(controllers);
}

void AddPciController(std::shared_ptr<HostControllerModel> controller) {
    std::lock_guard guard(g_hardwareLock);
    g_hardware.push_back(std::move(controller));
}

void RemovePciController(const HostControllerModel* controller) {
    {
        std::lock_guard guard(g_hardwareLock);
        g_hardware.erase(
            std::remove_if(g_hardware.begin(), g_hardware.end(), [&](const auto& c) { return c.get() == controller; }),
            g_hardware.end());
    }
    // Out of the bus's reports at once, so a removal under way deletes its physical device object.
    if (auto* function = dynamic_cast<PciFunction*>(ContextOf(controller->PhysicalDeviceObject()))) {
        function->Parent()->ChildGone(function);
    }
}

} // namespace sim::drv
