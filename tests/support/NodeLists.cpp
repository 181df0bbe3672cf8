#include "tests/support/NodeLists.h"

#include <gtest/gtest.h>

#include "windows.h"

namespace tdl::test {

std::vector<BYTE> ReadNodeList(DWORD dwCode) {
    HANDLE device =
        ::CreateFileA("\\\\.\\Tindaloft", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(device, INVALID_HANDLE_VALUE);
    DWORD dwReturned = 0;
    ULONG size = 0;
    EXPECT_TRUE(::DeviceIoControl(device, dwCode, nullptr, 0, &size, sizeof size, &dwReturned, nullptr));
    std::vector<BYTE> list(size);
    EXPECT_TRUE(::DeviceIoControl(device, dwCode, list.data(), size, list.data(), size, &dwReturned, nullptr));
    list.resize(dwReturned);
    ::CloseHandle(device);
    return list;
}

} // namespace tdl::test
