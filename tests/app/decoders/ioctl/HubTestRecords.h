// Payloads of hub and internal USB IOCTL records as the driver writes them, for the IOCTL decoders' tests.
#pragma once

#include <cstdint>
#include <vector>

#include "IoctlTestRecords.h"
#include "windows.h"

namespace ioctl_test {

// A device descriptor: USB 2.0, class from the interface, vendor 0x046D, product 0xC31C, one configuration.
inline std::vector<uint8_t> DeviceDescriptor() {
    return {18, 1, 0x00, 0x02, 0, 0, 0, 8, 0x6D, 0x04, 0x1C, 0xC3, 0x10, 0x01, 1, 2, 0, 1};
}

// Connection information: port, device descriptor, configuration, speed byte, hub flag, address, pipes, status.
inline std::vector<uint8_t> Connection(ULONG port, BYTE speed, ULONG pipes, ULONG status) {
    return Join({Words({port}), DeviceDescriptor(), {1, speed, 0, 5, 0}, Words({pipes, status})});
}

// A pipe entry: the endpoint descriptor and its schedule offset.
inline std::vector<uint8_t> Pipe(BYTE address, BYTE attributes, USHORT maxPacket, BYTE interval, ULONG offset) {
    return Join(
        {{7, 5, address, attributes, static_cast<uint8_t>(maxPacket), static_cast<uint8_t>(maxPacket >> 8), interval},
         Words({offset})});
}

// A descriptor request's head: port, then the setup packet asking for a descriptor of the type and index.
inline std::vector<uint8_t> DescriptorRequest(BYTE type, BYTE index, USHORT length) {
    return {2, 0, 0, 0, 0x80, 6, index, type, 0, 0, static_cast<uint8_t>(length), static_cast<uint8_t>(length >> 8)};
}

// 64-bit values as the driver lays them out.
inline std::vector<uint8_t> Quads(std::initializer_list<ULONG64> values) {
    std::vector<uint8_t> bytes;
    for (ULONG64 value : values)
        for (int i = 0; i < 8; ++i)
            bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
    return bytes;
}

// An identifier string: language, pad, length and the buffer's address.
inline std::vector<uint8_t> IdString(ULONG length, ULONG64 buffer) {
    return Join({Words({0x0409, length}), Quads({buffer})});
}

// A successful configuration completion: the caller's pointer and request, the structure, the texts.
inline std::vector<uint8_t> Config(std::vector<uint8_t> hardware, std::vector<uint8_t> compatible,
                                   std::vector<uint8_t> description, std::vector<uint8_t> area) {
    std::vector<uint8_t> bytes =
        Join({Quads({0xFFFFA80011110000}), Words({1, 204}), Words({1, 204, 0x5A}), hardware, compatible, description});
    bytes.resize(220);
    return Join({bytes, area});
}

// Each code on both sides (and with a failing status where the outcome matters), with the most its record
// can hold, lengths and counts included that claim more than there is.
inline std::vector<std::vector<uint8_t>> HubUsbintWholeRecords() {
    std::vector<uint8_t> hubDescriptor = {9, 0x29, 4, 0xE0, 0, 0x32, 0x64, 0, 0xFF};
    hubDescriptor.resize(71);
    std::vector<uint8_t> longDevice = DeviceDescriptor();
    longDevice[0] = 0xFF;
    const std::vector<std::vector<uint8_t>> hubPayloads[] = {
        {Join({Words({0}), hubDescriptor, {1}}), Join({Words({1, 3}), std::vector<uint8_t>(68)})},
    };
    std::vector<std::vector<uint8_t>> records;
    for (ULONG tag : {LogTag::hubI, LogTag::hubC}) {
        for (ULONG status : {0u, 0xC0000001u}) {
            for (const auto& payload : hubPayloads[0])
                records.push_back(Record(tag, 0x220408, status, payload));
            for (ULONG code : {0x22040Cu, 0x220448u}) {
                records.push_back(
                    Record(tag, code, status,
                           Join({Connection(1, 2, 2, 1), Pipe(0x81, 1, 0x1400, 1, 0), Pipe(2, 2, 512, 0, 7)})));
                // A thousand pipes claimed, one present.
                records.push_back(Record(tag, code, status, Join({Connection(1, 2, 1000, 1), Pipe(0x81, 3, 8, 1, 0)})));
            }
            records.push_back(Record(tag, 0x220440, status, Words({1, 1, 0x02000009})));
            records.push_back(Record(tag, 0x220410, status, Join({DescriptorRequest(1, 0, 18), longDevice})));
            records.push_back(
                Record(tag, 0x220410, status, Join({DescriptorRequest(2, 0, 9), {0xFF, 2, 0xFF, 0xFF, 4}})));
            records.push_back(Record(tag, 0x220410, status, Join({DescriptorRequest(3, 1, 9), {0xFF, 3, 0x41, 0}})));
            records.push_back(Record(tag, 0x220410, status, Join({DescriptorRequest(0x29, 0, 9), {0xFF, 0x29, 4}})));
            for (ULONG code : {0x220414u, 0x220420u})
                records.push_back(Record(tag, code, status, Join({Words({1, 30}), {0x41, 0, 0x42, 0, 0x43}})));
            for (ULONG code : {0x220418u, 0x22041Cu, 0x22044Cu, 0x22043Cu, 0x220450u, 0x220444u})
                records.push_back(Record(tag, code, status, Words({0x5A})));
        }
    }
    for (ULONG tag : {LogTag::uinI, LogTag::uinC}) {
        for (ULONG status : {0u, 0x80000005u, 0xC0000023u}) {
            for (ULONG code : {0x220007u, 0x220017u, 0x22001Fu, 0x220420u, 0x220428u, 0x220443u, 0x220447u, 0x22044Bu})
                records.push_back(Record(tag, code, status, Words({1})));
            for (ULONG code : {0x22000Fu, 0x220027u, 0x220433u})
                records.push_back(Record(tag, code, status, Quads({0x1000, 0x2000})));
            for (ULONG code : {0x220013u, 0x22001Bu})
                records.push_back(Record(tag, code, status, Words({3})));
            records.push_back(Record(tag, 0x220020, status, Join({Words({18}), {0x48, 0, 0x55, 0, 0x42}})));
            records.push_back(Record(tag, 0x220424, status, Join({Words({40, 20}), {0x48, 0, 0x55}})));
            for (ULONG length : {0u, 15u, 20u, 0xFFFFFFFFu})
                records.push_back(Record(tag, 0x22002B, status, Words({36, length, 0, 0, 1, 0x04030201})));
            records.push_back(Record(tag, 0x22042C, status, Join({Quads({0x1000}), Words({1}), Quads({0x2000})})));
            records.push_back(Record(tag, 0x220437, status, Quads({1, 2, 3, 4, 5})));
            records.push_back(Record(tag, 0x22043B, status, Join({Quads({1, 2, 3, 4, 5}), Words({6})})));
            records.push_back(Record(tag, 0x22043F, status, Join({Quads({0x5000}), std::vector<uint8_t>(32, 1)})));
            records.push_back(Record(tag, 0x22044F, status,
                                     Config(IdString(6, 0x7000), IdString(0xFFFFFFFF, 0x7100), IdString(3, 0x7200),
                                            {0x41, 0, 0x42, 0, 0x43})));
        }
    }
    return records;
}

} // namespace ioctl_test
