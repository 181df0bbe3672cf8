#include "platform/sim/Descriptors.h"

#include <algorithm>
#include <set>

namespace sim {

Bytes DeviceDescriptorBytes(const DeviceIdentity& d) {
    Bytes b(sizeof(USB_DEVICE_DESCRIPTOR));
    b[0] = sizeof(USB_DEVICE_DESCRIPTOR);
    b[1] = USB_DEVICE_DESCRIPTOR_TYPE;
    WriteU16(&b[2], d.bcdUSB);
    b[4] = d.deviceClass;
    b[5] = d.deviceSubClass;
    b[6] = d.deviceProtocol;
    b[7] = d.maxPacketSize0;
    WriteU16(&b[8], d.vendorId);
    WriteU16(&b[10], d.productId);
    WriteU16(&b[12], d.bcdDevice);
    b[14] = d.iManufacturer;
    b[15] = d.iProduct;
    b[16] = d.iSerialNumber;
    b[17] = d.numConfigurations;
    return b;
}

Bytes QualifierBytes(const DeviceIdentity& d) {
    Bytes b(sizeof(USB_DEVICE_QUALIFIER_DESCRIPTOR));
    b[0] = sizeof(USB_DEVICE_QUALIFIER_DESCRIPTOR);
    b[1] = USB_DEVICE_QUALIFIER_DESCRIPTOR_TYPE;
    WriteU16(&b[2], d.bcdUSB);
    b[4] = d.deviceClass;
    b[5] = d.deviceSubClass;
    b[6] = d.deviceProtocol;
    b[7] = 64;
    b[8] = d.numConfigurations;
    b[9] = 0;
    return b;
}

Bytes StringDescriptorBytes(std::u16string_view text) {
    size_t count = std::min<size_t>(text.size(), 126);
    Bytes b(2 + 2 * count);
    b[0] = static_cast<UCHAR>(b.size());
    b[1] = USB_STRING_DESCRIPTOR_TYPE;
    for (size_t i = 0; i < count; ++i) {
        WriteU16(&b[2 + 2 * i], text[i]);
    }
    return b;
}

Bytes LanguageListBytes(USHORT language) {
    Bytes b(4);
    b[0] = 4;
    b[1] = USB_STRING_DESCRIPTOR_TYPE;
    WriteU16(&b[2], language);
    return b;
}

Bytes MsOsStringBytes(UCHAR vendorCode) {
    Bytes b = StringDescriptorBytes(u"MSFT100");
    b.push_back(vendorCode);
    b.push_back(0);
    b[0] = static_cast<UCHAR>(b.size());
    return b;
}

Bytes MsCompatibleIdBytes(UCHAR interfaceNumber, const char (&compatibleId)[8]) {
    Bytes b(16 + 24);
    WriteU32(&b[0], static_cast<ULONG>(b.size())); // dwLength
    WriteU16(&b[4], 0x0100);                       // bcdVersion
    WriteU16(&b[6], 4);                            // wIndex: extended compatible ID
    b[8] = 1;                                      // bCount: one function section
    b[16] = interfaceNumber;
    b[17] = 1;
    std::copy(compatibleId, compatibleId + 8, b.begin() + 18);
    return b;
}

ConfigurationBuilder::ConfigurationBuilder(UCHAR value, UCHAR attributes, UCHAR maxPower, UCHAR iConfiguration) {
    m_bytes = {sizeof(USB_CONFIGURATION_DESCRIPTOR),
               USB_CONFIGURATION_DESCRIPTOR_TYPE,
               0,
               0,
               0,
               value,
               iConfiguration,
               attributes,
               maxPower};
}

ConfigurationBuilder& ConfigurationBuilder::Association(UCHAR firstInterface, UCHAR count, UCHAR functionClass,
                                                        UCHAR subClass, UCHAR protocol, UCHAR iFunction) {
    m_bytes.insert(m_bytes.end(),
                   {sizeof(USB_INTERFACE_ASSOCIATION_DESCRIPTOR), USB_INTERFACE_ASSOCIATION_DESCRIPTOR_TYPE,
                    firstInterface, count, functionClass, subClass, protocol, iFunction});
    return *this;
}

ConfigurationBuilder& ConfigurationBuilder::Interface(UCHAR number, UCHAR alternate, UCHAR interfaceClass,
                                                      UCHAR subClass, UCHAR protocol, UCHAR iInterface) {
    m_interfaceOffsets.push_back(m_bytes.size());
    m_bytes.insert(m_bytes.end(), {sizeof(USB_INTERFACE_DESCRIPTOR), USB_INTERFACE_DESCRIPTOR_TYPE, number, alternate,
                                   0, interfaceClass, subClass, protocol, iInterface});
    return *this;
}

ConfigurationBuilder& ConfigurationBuilder::ClassSpecific(const Bytes& descriptor) {
    m_bytes.insert(m_bytes.end(), descriptor.begin(), descriptor.end());
    return *this;
}

ConfigurationBuilder& ConfigurationBuilder::Endpoint(UCHAR address, UCHAR attributes, USHORT maxPacketSize,
                                                     UCHAR interval) {
    m_bytes.insert(m_bytes.end(),
                   {sizeof(USB_ENDPOINT_DESCRIPTOR), USB_ENDPOINT_DESCRIPTOR_TYPE, address, attributes,
                    static_cast<UCHAR>(maxPacketSize), static_cast<UCHAR>(maxPacketSize >> 8), interval});
    if (!m_interfaceOffsets.empty()) {
        ++m_bytes[m_interfaceOffsets.back() + 4];
    }
    return *this;
}

ConfigurationBuilder& ConfigurationBuilder::Companion(UCHAR maxBurst, UCHAR attributes, USHORT bytesPerInterval) {
    m_bytes.insert(m_bytes.end(), {sizeof(USB_SUPERSPEED_ENDPOINT_COMPANION_DESCRIPTOR),
                                   USB_SUPERSPEED_ENDPOINT_COMPANION_DESCRIPTOR_TYPE, maxBurst, attributes,
                                   static_cast<UCHAR>(bytesPerInterval), static_cast<UCHAR>(bytesPerInterval >> 8)});
    return *this;
}

Bytes ConfigurationBuilder::Build() const {
    Bytes b = m_bytes;
    WriteU16(&b[2], static_cast<USHORT>(b.size()));
    std::set<UCHAR> numbers;
    for (size_t offset : m_interfaceOffsets) {
        numbers.insert(b[offset + 2]);
    }
    b[4] = static_cast<UCHAR>(numbers.size());
    return b;
}

Bytes ConfigurationBuilder::BuildOtherSpeed() const {
    Bytes b = Build();
    b[1] = USB_OTHER_SPEED_CONFIGURATION_DESCRIPTOR_TYPE;
    return b;
}

BosBuilder& BosBuilder::Usb20Extension(ULONG attributes) {
    Bytes c{7, USB_DEVICE_CAPABILITY_DESCRIPTOR_TYPE, USB_DEVICE_CAPABILITY_USB20_EXTENSION, 0, 0, 0, 0};
    WriteU32(&c[3], attributes);
    m_capabilities.push_back(std::move(c));
    return *this;
}

BosBuilder& BosBuilder::SuperSpeed(UCHAR attributes, USHORT speedsSupported, UCHAR functionalitySupport,
                                   UCHAR u1ExitLatency, USHORT u2ExitLatency) {
    Bytes c{10,
            USB_DEVICE_CAPABILITY_DESCRIPTOR_TYPE,
            USB_DEVICE_CAPABILITY_SUPERSPEED_USB,
            attributes,
            0,
            0,
            functionalitySupport,
            u1ExitLatency,
            0,
            0};
    WriteU16(&c[4], speedsSupported);
    WriteU16(&c[8], u2ExitLatency);
    m_capabilities.push_back(std::move(c));
    return *this;
}

BosBuilder& BosBuilder::ContainerId(const GUID& id) {
    Bytes c{20, USB_DEVICE_CAPABILITY_DESCRIPTOR_TYPE, USB_DEVICE_CAPABILITY_CONTAINER_ID, 0};
    c.resize(20);
    WriteU32(&c[4], id.Data1);
    WriteU16(&c[8], id.Data2);
    WriteU16(&c[10], id.Data3);
    std::copy(std::begin(id.Data4), std::end(id.Data4), c.begin() + 12);
    m_capabilities.push_back(std::move(c));
    return *this;
}

Bytes BosBuilder::Build() const {
    Bytes b{sizeof(USB_BOS_DESCRIPTOR), USB_BOS_DESCRIPTOR_TYPE, 0, 0, static_cast<UCHAR>(m_capabilities.size())};
    for (const Bytes& c : m_capabilities) {
        b.insert(b.end(), c.begin(), c.end());
    }
    WriteU16(&b[2], static_cast<USHORT>(b.size()));
    return b;
}

} // namespace sim
