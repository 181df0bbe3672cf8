// Arbitrary registry values loaded as a filter definition: the first input byte picks the value's type, the
// rest is its data. A load must never crash or read past the value; a refused load leaves the definition as it
// was, an accepted one leaves every flag byte 0 or 1.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "NtControl.h"
#include "app/core/filters/FilterDefinition.h"
#include "app/core/settings/RegSerialize.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0 || size > 8192)
        return 0;
    static const DWORD kTypes[] = {REG_BINARY, REG_SZ, REG_DWORD, REG_MULTI_SZ, REG_NONE};
    const DWORD type = kTypes[data[0] % (sizeof kTypes / sizeof kTypes[0])];

    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, g_szFiltersSubKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        std::abort();
    RegSetValueExA(key, "Fuzzed", 0, type, data + 1, static_cast<DWORD>(size - 1));
    RegCloseKey(key);

    CFilterDefinition definition;
    definition.Enable(FilterByte::HidRequest);
    const FILTER_BLOCK before = definition.GetBlock();
    if (!RegLoadFilter(&definition, "Fuzzed")) {
        if (std::memcmp(&before, &definition.GetBlock(), sizeof before) != 0)
            std::abort();
    } else {
        for (size_t b = 2; b < FILTER_BLOCK_SIZE; ++b)
            if (definition.GetBlock().Bytes[b] > 1)
                std::abort();
    }
    return 0;
}
