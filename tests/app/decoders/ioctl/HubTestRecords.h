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

} // namespace ioctl_test
