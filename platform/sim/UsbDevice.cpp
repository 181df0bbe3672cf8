#include "platform/sim/UsbDevice.h"

#include <algorithm>
#include <cstring>

#include "UsbDescriptorWalker.h"
#include "platform/sim/UsbHubModel.h"

namespace sim {

namespace {

// Copies what fits of a descriptor into an IN data stage.
TransferResult Answer(const Bytes& bytes, std::span<UCHAR> data) {
    if (bytes.empty()) {
        return TransferResult::Stall();
    }
    size_t n = std::min(bytes.size(), data.size());
    std::memcpy(data.data(), bytes.data(), n);
    return TransferResult::Ok(static_cast<ULONG>(n));
}

TransferResult AnswerWord(USHORT value, std::span<UCHAR> data) {
    Bytes bytes{static_cast<UCHAR>(value), static_cast<UCHAR>(value >> 8)};
    return Answer(bytes, data);
}

} // namespace

SetupPacket SetupPacket::FromBytes(const UCHAR bytes[8]) {
    return {bytes[0], bytes[1], ReadU16(bytes + 2), ReadU16(bytes + 4), ReadU16(bytes + 6)};
}

void SetupPacket::ToBytes(UCHAR bytes[8]) const {
    bytes[0] = bmRequestType;
    bytes[1] = bRequest;
    WriteU16(bytes + 2, wValue);
    WriteU16(bytes + 4, wIndex);
    WriteU16(bytes + 6, wLength);
}

// --- UsbFunction ---

TransferResult UsbFunction::ClassRequest(const SetupPacket&, std::span<UCHAR>) {
    return TransferResult::Stall();
}
TransferResult UsbFunction::InterfaceDescriptor(const SetupPacket&, std::span<UCHAR>) {
    return TransferResult::Stall();
}
TransferResult UsbFunction::Transfer(UCHAR, std::span<UCHAR>) {
    return TransferResult::Stall();
}
TransferResult UsbFunction::IsochPacket(UCHAR, ULONG, std::span<UCHAR>) {
    return TransferResult::Error(USBD_STATUS_ISO_NOT_ACCESSED_BY_HW);
}
void UsbFunction::Reset(UCHAR) {}

void UsbFunction::EndpointReady(UCHAR endpointAddress) {
    if (m_device) {
        m_device->EndpointReady(endpointAddress);
    }
}

// --- UsbDevice::Guard ---

UsbDevice::Guard::Guard(const UsbDevice& device) : m_device(device) {
    m_outer = device.m_owner.load() != std::this_thread::get_id();
    if (m_outer) {
        device.m_lock.lock();
        device.m_owner.store(std::this_thread::get_id());
    }
}

UsbDevice::Guard::~Guard() {
    if (!m_outer) {
        return;
    }
    m_device.m_owner.store(std::thread::id{});
    std::vector<UCHAR> ready = std::move(m_device.m_readyEndpoints);
    m_device.m_readyEndpoints.clear();
    m_device.m_lock.unlock();
    if (ready.empty()) {
        return;
    }
    std::shared_ptr<EndpointListener> listener;
    {
        std::lock_guard guard(m_device.m_listenerLock);
        listener = m_device.m_listener;
    }
    if (!listener) {
        return;
    }
    std::sort(ready.begin(), ready.end());
    ready.erase(std::unique(ready.begin(), ready.end()), ready.end());
    for (UCHAR endpoint : ready) {
        listener->EndpointReady(endpoint);
    }
}

// --- UsbDevice ---

UsbDevice::UsbDevice(std::string name, UsbSpeed speed, DescriptorSet descriptors)
    : m_name(std::move(name)), m_speed(speed), m_descriptors(std::move(descriptors)) {}

UsbDevice::~UsbDevice() = default;

USB_DEVICE_DESCRIPTOR UsbDevice::DeviceDescriptor() const {
    USB_DEVICE_DESCRIPTOR descriptor{};
    std::memcpy(&descriptor, m_descriptors.device.data(), std::min(sizeof descriptor, m_descriptors.device.size()));
    return descriptor;
}

const Bytes* UsbDevice::ConfigurationByValue(UCHAR value) const {
    for (const Bytes& configuration : m_descriptors.configurations) {
        if (configuration.size() >= sizeof(USB_CONFIGURATION_DESCRIPTOR) && configuration[5] == value) {
            return &configuration;
        }
    }
    return nullptr;
}

std::u16string UsbDevice::String(UCHAR index) const {
    return index < m_descriptors.strings.size() ? m_descriptors.strings[index] : std::u16string();
}

void UsbDevice::AddFunction(UCHAR interfaceNumber, std::shared_ptr<UsbFunction> function) {
    function->m_device = this;
    function->m_interfaceNumber = interfaceNumber;
    m_functions[interfaceNumber] = std::move(function);
}

UsbFunction* UsbDevice::Function(UCHAR interfaceNumber) const {
    auto it = m_functions.find(interfaceNumber);
    return it == m_functions.end() ? nullptr : it->second.get();
}

bool UsbDevice::Reachable() const {
    const UsbDevice* device = this;
    for (int depth = 0; depth < 16; ++depth) { // USB allows five hubs below the root hub
        if (device->IsHub() && static_cast<const UsbHubModel*>(device)->IsRoot()) {
            return true;
        }
        device = device->ParentHub();
        if (!device) {
            return false;
        }
    }
    return false;
}

UCHAR UsbDevice::Address() const {
    Guard guard(*this);
    return m_address;
}

UCHAR UsbDevice::Configuration() const {
    Guard guard(*this);
    return m_configuration;
}

UCHAR UsbDevice::AlternateSetting(UCHAR interfaceNumber) const {
    Guard guard(*this);
    auto it = m_alternates.find(interfaceNumber);
    return it == m_alternates.end() ? 0 : it->second;
}

bool UsbDevice::EndpointHalted(UCHAR endpointAddress) const {
    Guard guard(*this);
    return m_halted.count(endpointAddress) != 0;
}

bool UsbDevice::RemoteWakeupEnabled() const {
    Guard guard(*this);
    return m_remoteWakeup;
}

void UsbDevice::SignalRemoteWakeup() {
    UsbHubModel* hub = ParentHub();
    const int port = PortNumber();
    if (hub && RemoteWakeupEnabled()) {
        hub->RemoteWakeup(port);
    }
}

void UsbDevice::Bind(std::shared_ptr<EndpointListener> listener) {
    std::lock_guard guard(m_listenerLock);
    m_listener = std::move(listener);
}

void UsbDevice::Unbind() {
    std::lock_guard guard(m_listenerLock);
    m_listener.reset();
}

void UsbDevice::Unbind(const EndpointListener* listener) {
    std::lock_guard guard(m_listenerLock);
    if (m_listener.get() == listener) {
        m_listener.reset();
    }
}

void UsbDevice::EndpointReady(UCHAR endpointAddress) {
    Guard guard(*this);
    m_readyEndpoints.push_back(endpointAddress);
}

void UsbDevice::BusReset() {
    Guard guard(*this);
    m_address = 0;
    m_configuration = 0;
    m_remoteWakeup = false;
    m_alternates.clear();
    m_endpoints.clear();
    m_halted.clear();
    OnBusReset();
    ResetFunctions();
}

void UsbDevice::ResetFunctions() {
    for (auto& [number, function] : m_functions) {
        auto it = m_alternates.find(number);
        function->Reset(it == m_alternates.end() ? 0 : it->second);
    }
}

UsbFunction* UsbDevice::FunctionForEndpoint(UCHAR endpointAddress) const {
    auto it = m_endpoints.find(endpointAddress);
    return it == m_endpoints.end() ? nullptr : it->second;
}

TransferResult UsbDevice::Control(const SetupPacket& setup, std::span<UCHAR> data) {
    Guard guard(*this);
    if (setup.wLength < data.size()) {
        data = data.first(setup.wLength);
    }
    if (setup.Type() == BMREQUEST_STANDARD) {
        if (setup.bRequest == USB_REQUEST_GET_DESCRIPTOR && setup.Recipient() == BMREQUEST_TO_INTERFACE) {
            UsbFunction* function = Function(static_cast<UCHAR>(setup.wIndex));
            return function ? function->InterfaceDescriptor(setup, data) : TransferResult::Stall();
        }
        return Standard(setup, data);
    }
    if (setup.Type() == BMREQUEST_VENDOR && m_descriptors.msVendorCode &&
        setup.bRequest == m_descriptors.msVendorCode && setup.In()) {
        // Microsoft OS feature descriptors: the extended compatible ID is the one the device has.
        return setup.wIndex == 4 ? Answer(m_descriptors.msCompatibleId, data) : TransferResult::Stall();
    }
    switch (setup.Recipient()) {
    case BMREQUEST_TO_INTERFACE: {
        UsbFunction* function = m_configuration ? Function(static_cast<UCHAR>(setup.wIndex)) : nullptr;
        return function ? function->ClassRequest(setup, data) : TransferResult::Stall();
    }
    case BMREQUEST_TO_ENDPOINT: {
        UsbFunction* function = FunctionForEndpoint(static_cast<UCHAR>(setup.wIndex));
        return function ? function->ClassRequest(setup, data) : TransferResult::Stall();
    }
    default: return DeviceRequest(setup, data);
    }
}

TransferResult UsbDevice::Transfer(UCHAR endpointAddress, std::span<UCHAR> data) {
    Guard guard(*this);
    auto it = m_endpoints.find(endpointAddress);
    if (!m_configuration || it == m_endpoints.end()) {
        return TransferResult::Error(USBD_STATUS_INVALID_PIPE_HANDLE);
    }
    if (m_halted.count(endpointAddress)) {
        return TransferResult::Error(USBD_STATUS_ENDPOINT_HALTED);
    }
    TransferResult result =
        it->second ? it->second->Transfer(endpointAddress, data) : DeviceTransfer(endpointAddress, data);
    if (result.status == USBD_STATUS_STALL_PID) {
        m_halted.insert(endpointAddress);
    }
    return result;
}

TransferResult UsbDevice::IsochPacket(UCHAR endpointAddress, ULONG frame, std::span<UCHAR> data) {
    Guard guard(*this);
    auto it = m_endpoints.find(endpointAddress);
    if (!m_configuration || it == m_endpoints.end() || !it->second) {
        return TransferResult::Error(USBD_STATUS_INVALID_PIPE_HANDLE);
    }
    TransferResult result = it->second->IsochPacket(endpointAddress, frame, data);
    if (result.nak) {
        result = TransferResult::Ok(0); // an isochronous endpoint with nothing to say sends an empty packet
    }
    return result;
}

TransferResult UsbDevice::DeviceRequest(const SetupPacket&, std::span<UCHAR>) {
    return TransferResult::Stall();
}

TransferResult UsbDevice::DeviceTransfer(UCHAR, std::span<UCHAR>) {
    return TransferResult::Stall();
}

TransferResult UsbDevice::Standard(const SetupPacket& setup, std::span<UCHAR> data) {
    const UCHAR recipient = setup.Recipient();
    switch (setup.bRequest) {
    case USB_REQUEST_GET_STATUS:
        if (recipient == BMREQUEST_TO_DEVICE) {
            const Bytes* configuration = ConfigurationByValue(m_configuration ? m_configuration : 1);
            bool selfPowered = configuration && ((*configuration)[7] & USB_CONFIG_SELF_POWERED);
            return AnswerWord(static_cast<USHORT>((selfPowered ? USB_GETSTATUS_SELF_POWERED : 0) |
                                                  (m_remoteWakeup ? USB_GETSTATUS_REMOTE_WAKEUP_ENABLED : 0)),
                              data);
        }
        if (recipient == BMREQUEST_TO_ENDPOINT) {
            UCHAR endpoint = static_cast<UCHAR>(setup.wIndex);
            if ((endpoint & 0x7F) && !m_endpoints.count(endpoint)) {
                return TransferResult::Stall();
            }
            return AnswerWord(m_halted.count(endpoint) ? 1 : 0, data);
        }
        // An interface's status is all zeros; "other" recipients have no standard status.
        return recipient == BMREQUEST_TO_INTERFACE ? AnswerWord(0, data) : TransferResult::Stall();
    case USB_REQUEST_CLEAR_FEATURE:
    case USB_REQUEST_SET_FEATURE: {
        bool set = setup.bRequest == USB_REQUEST_SET_FEATURE;
        if (recipient == BMREQUEST_TO_DEVICE && setup.wValue == USB_FEATURE_REMOTE_WAKEUP) {
            m_remoteWakeup = set;
            return TransferResult::Ok();
        }
        if (recipient == BMREQUEST_TO_ENDPOINT && setup.wValue == USB_FEATURE_ENDPOINT_STALL) {
            UCHAR endpoint = static_cast<UCHAR>(setup.wIndex);
            if (!m_endpoints.count(endpoint)) {
                return TransferResult::Stall();
            }
            if (set) {
                m_halted.insert(endpoint);
            } else {
                m_halted.erase(endpoint);
            }
            return TransferResult::Ok();
        }
        return recipient == BMREQUEST_TO_INTERFACE ? TransferResult::Ok() : TransferResult::Stall();
    }
    case USB_REQUEST_SET_ADDRESS:
        if (setup.wValue > 127) {
            return TransferResult::Stall();
        }
        m_address = static_cast<UCHAR>(setup.wValue);
        return TransferResult::Ok();
    case USB_REQUEST_GET_DESCRIPTOR: return GetDescriptor(setup, data);
    case USB_REQUEST_GET_CONFIGURATION: return Answer(Bytes{m_configuration}, data);
    case USB_REQUEST_SET_CONFIGURATION: return SetConfiguration(static_cast<UCHAR>(setup.wValue));
    case USB_REQUEST_GET_INTERFACE: {
        UCHAR number = static_cast<UCHAR>(setup.wIndex);
        if (!m_configuration || !m_alternates.count(number)) {
            return TransferResult::Stall();
        }
        return Answer(Bytes{m_alternates[number]}, data);
    }
    case USB_REQUEST_SET_INTERFACE: {
        UCHAR number = static_cast<UCHAR>(setup.wIndex);
        UCHAR alternate = static_cast<UCHAR>(setup.wValue);
        const Bytes* configuration = ConfigurationByValue(m_configuration);
        if (!configuration) {
            return TransferResult::Stall();
        }
        // The endpoints of the interface become those of the new alternate setting.
        bool found = false;
        std::vector<UCHAR> endpoints;
        UsbDescriptorWalker walker(configuration->data(), static_cast<ULONG>(configuration->size()));
        UsbDescriptorView view;
        bool inside = false;
        while (walker.Next(view)) {
            if (view.Type == USB_INTERFACE_DESCRIPTOR_TYPE && view.Length >= 9) {
                inside = view.Data[2] == number && view.Data[3] == alternate;
                found = found || inside;
            } else if (inside && view.Type == USB_ENDPOINT_DESCRIPTOR_TYPE && view.Length >= 7) {
                endpoints.push_back(view.Data[2]);
            }
        }
        if (!found) {
            return TransferResult::Stall();
        }
        UsbFunction* function = Function(number);
        for (auto it = m_endpoints.begin(); it != m_endpoints.end();) {
            it = it->second == function ? m_endpoints.erase(it) : std::next(it);
        }
        for (UCHAR endpoint : endpoints) {
            m_endpoints[endpoint] = function;
            m_halted.erase(endpoint);
        }
        m_alternates[number] = alternate;
        if (function) {
            function->Reset(alternate);
        }
        return TransferResult::Ok();
    }
    case USB_REQUEST_SET_SEL:
    case USB_REQUEST_ISOCH_DELAY: return TransferResult::Ok(static_cast<ULONG>(data.size()));
    default: return TransferResult::Stall();
    }
}

TransferResult UsbDevice::GetDescriptor(const SetupPacket& setup, std::span<UCHAR> data) {
    const UCHAR type = static_cast<UCHAR>(setup.wValue >> 8);
    const UCHAR index = static_cast<UCHAR>(setup.wValue);
    switch (type) {
    case USB_DEVICE_DESCRIPTOR_TYPE: return Answer(m_descriptors.device, data);
    case USB_CONFIGURATION_DESCRIPTOR_TYPE:
        return index < m_descriptors.configurations.size() ? Answer(m_descriptors.configurations[index], data)
                                                           : TransferResult::Stall();
    case USB_STRING_DESCRIPTOR_TYPE:
        if (index == 0) {
            return Answer(LanguageListBytes(m_descriptors.language), data);
        }
        if (index == 0xEE && m_descriptors.msVendorCode) {
            return Answer(MsOsStringBytes(m_descriptors.msVendorCode), data);
        }
        if (index >= m_descriptors.strings.size() || m_descriptors.strings[index].empty()) {
            return TransferResult::Stall();
        }
        return Answer(StringDescriptorBytes(m_descriptors.strings[index]), data);
    case USB_DEVICE_QUALIFIER_DESCRIPTOR_TYPE: return Answer(m_descriptors.qualifier, data);
    case USB_OTHER_SPEED_CONFIGURATION_DESCRIPTOR_TYPE: return Answer(m_descriptors.otherSpeedConfiguration, data);
    case USB_BOS_DESCRIPTOR_TYPE: return Answer(m_descriptors.bos, data);
    default: return DeviceRequest(setup, data);
    }
}

TransferResult UsbDevice::SetConfiguration(UCHAR value) {
    const Bytes* configuration = value ? ConfigurationByValue(value) : nullptr;
    if (value && !configuration) {
        return TransferResult::Stall();
    }
    m_configuration = value;
    m_alternates.clear();
    m_endpoints.clear();
    m_halted.clear();
    if (configuration) {
        UsbDescriptorWalker walker(configuration->data(), static_cast<ULONG>(configuration->size()));
        UsbDescriptorView view;
        bool inside = false;
        UsbFunction* owner = nullptr;
        while (walker.Next(view)) {
            if (view.Type == USB_INTERFACE_DESCRIPTOR_TYPE && view.Length >= 9) {
                inside = view.Data[3] == 0;
                if (inside) {
                    m_alternates[view.Data[2]] = 0;
                    owner = Function(view.Data[2]);
                }
            } else if (inside && view.Type == USB_ENDPOINT_DESCRIPTOR_TYPE && view.Length >= 7) {
                m_endpoints[view.Data[2]] = owner;
            }
        }
    }
    ResetFunctions();
    return TransferResult::Ok();
}

} // namespace sim
