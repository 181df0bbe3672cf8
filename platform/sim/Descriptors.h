// Descriptor sets of simulated USB devices and small builders for them: a device's whole set of standard
// descriptors (device, configurations, strings, qualifier, other-speed configuration, BOS) as the bytes the
// device returns, and builders that compute the length fields a hand-written array gets wrong.
#pragma once

#include <string>
#include <vector>

#include "usb.h"

namespace sim {

using Bytes = std::vector<UCHAR>;

struct DescriptorSet {
    Bytes device;                        // 18 bytes
    std::vector<Bytes> configurations;   // whole sets, by configuration index
    Bytes qualifier;                     // empty: the device has none (low, full or SuperSpeed only)
    Bytes otherSpeedConfiguration;       // empty: none
    Bytes bos;                           // empty: none
    std::vector<std::u16string> strings; // by string index; index 0 is unused (the language list)
    USHORT language = 0x0409;
    // Microsoft OS descriptors: the vendor code string 0xEE ("MSFT100") names (0: the device has none) and the
    // extended compatible ID descriptor that vendor request answers (feature index 4).
    UCHAR msVendorCode = 0;
    Bytes msCompatibleId;
};

// The string 0xEE of a device with Microsoft OS descriptors, and an extended compatible ID descriptor giving
// one compatible ID ("WINUSB") to one interface.
Bytes MsOsStringBytes(UCHAR vendorCode);
Bytes MsCompatibleIdBytes(UCHAR interfaceNumber, const char (&compatibleId)[8]);

struct DeviceIdentity {
    USHORT bcdUSB = 0x0200;
    UCHAR deviceClass = 0;
    UCHAR deviceSubClass = 0;
    UCHAR deviceProtocol = 0;
    UCHAR maxPacketSize0 = 64;
    USHORT vendorId = 0;
    USHORT productId = 0;
    USHORT bcdDevice = 0x0100;
    UCHAR iManufacturer = 0;
    UCHAR iProduct = 0;
    UCHAR iSerialNumber = 0;
    UCHAR numConfigurations = 1;
};

Bytes DeviceDescriptorBytes(const DeviceIdentity& identity);
// The qualifier a high-speed device gives for its other (full) speed.
Bytes QualifierBytes(const DeviceIdentity& identity);
// A string descriptor of the text (at most 126 characters are kept).
Bytes StringDescriptorBytes(std::u16string_view text);
// String descriptor 0: the list of language IDs.
Bytes LanguageListBytes(USHORT language);

// A configuration descriptor set. Interfaces, endpoints and class descriptors follow each other in the order
// they are added; Build() fills wTotalLength, bNumInterfaces (distinct interface numbers) and each interface's
// bNumEndpoints.
class ConfigurationBuilder {
public:
    explicit ConfigurationBuilder(UCHAR value, UCHAR attributes = 0x80, UCHAR maxPower = 50, UCHAR iConfiguration = 0);

    ConfigurationBuilder& Association(UCHAR firstInterface, UCHAR count, UCHAR functionClass, UCHAR subClass,
                                      UCHAR protocol, UCHAR iFunction = 0);
    ConfigurationBuilder& Interface(UCHAR number, UCHAR alternate, UCHAR interfaceClass, UCHAR subClass, UCHAR protocol,
                                    UCHAR iInterface = 0);
    ConfigurationBuilder& ClassSpecific(const Bytes& descriptor);
    ConfigurationBuilder& Endpoint(UCHAR address, UCHAR attributes, USHORT maxPacketSize, UCHAR interval);
    ConfigurationBuilder& Companion(UCHAR maxBurst, UCHAR attributes = 0, USHORT bytesPerInterval = 0);
    // The same set as an other-speed configuration (descriptor type 7).
    Bytes BuildOtherSpeed() const;
    Bytes Build() const;

private:
    Bytes m_bytes;
    std::vector<size_t> m_interfaceOffsets;
};

// A BOS descriptor set.
class BosBuilder {
public:
    BosBuilder& Usb20Extension(ULONG attributes = 0x00000002);
    BosBuilder& SuperSpeed(UCHAR attributes = 0, USHORT speedsSupported = 0x000E, UCHAR functionalitySupport = 1,
                           UCHAR u1ExitLatency = 10, USHORT u2ExitLatency = 2047);
    BosBuilder& ContainerId(const GUID& id);
    Bytes Build() const;

private:
    std::vector<Bytes> m_capabilities;
};

// Little-endian field access on descriptor bytes.
inline USHORT ReadU16(const UCHAR* p) {
    return static_cast<USHORT>(p[0] | (p[1] << 8));
}
inline void WriteU16(UCHAR* p, USHORT v) {
    p[0] = static_cast<UCHAR>(v);
    p[1] = static_cast<UCHAR>(v >> 8);
}
inline ULONG ReadU32(const UCHAR* p) {
    return static_cast<ULONG>(p[0]) | (static_cast<ULONG>(p[1]) << 8) | (static_cast<ULONG>(p[2]) << 16) |
           (static_cast<ULONG>(p[3]) << 24);
}
inline void WriteU32(UCHAR* p, ULONG v) {
    for (int i = 0; i < 4; ++i) {
        p[i] = static_cast<UCHAR>(v >> (8 * i));
    }
}
inline ULONG ReadU32BigEndian(const UCHAR* p) {
    return (static_cast<ULONG>(p[0]) << 24) | (static_cast<ULONG>(p[1]) << 16) | (static_cast<ULONG>(p[2]) << 8) |
           static_cast<ULONG>(p[3]);
}
inline void WriteU32BigEndian(UCHAR* p, ULONG v) {
    for (int i = 0; i < 4; ++i) {
        p[i] = static_cast<UCHAR>(v >> (24 - 8 * i));
    }
}

} // namespace sim
