// Configurations for the device-model tests, each over an exact-size heap copy of an 8-byte request head and
// the descriptors, so AddressSanitizer catches any read past them.
#pragma once

#include <array>
#include <cstring>
#include <vector>

#include "app/devices/AllocateBuffer.h"
#include "app/devices/UsbConfiguration.h"

namespace devtest {

inline CUsbConfiguration* NewConfiguration(const std::vector<BYTE>& descriptors,
                                           const std::array<BYTE, CUsbConfiguration::HeaderSize>& head = {}) {
    const UINT total = static_cast<UINT>(descriptors.size() + head.size());
    BYTE* pBuffer = AllocateBuffer(total);
    std::memcpy(pBuffer, head.data(), head.size());
    if (!descriptors.empty())
        std::memcpy(pBuffer + head.size(), descriptors.data(), descriptors.size());
    return new CUsbConfiguration(pBuffer, CUsbConfiguration::HeaderSize, total);
}

} // namespace devtest
