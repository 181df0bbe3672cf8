#include "tests/driver/DriverFixture.h"

#include <algorithm>
#include <cstring>

#include "NtControl.h"
#include "NtPnpControl.h"
#include "NtPoolControl.h"
#include "NtRegistryStore.h"
#include "common/ControlCodes.h"
#include "driver/core/Driver.h"

namespace drivertest {

DWORD ErrorOf(NTSTATUS status) {
    return RtlNtStatusToDosError(status);
}

void RegistryCreatePath(std::u16string_view path) {
    size_t end = 0;
    while (end != std::u16string_view::npos) {
        end = path.find(u'\\', end + 1);
        std::u16string_view prefix = path.substr(0, end);
        nt::registry::KeyRef key;
        bool created = false;
        ASSERT_TRUE(NT_SUCCESS(nt::registry::CreateKey(nullptr, prefix, false, u"", key, created)));
    }
}

void RegistrySetDword(std::u16string_view keyPath, std::u16string_view name, ULONG value) {
    RegistryCreatePath(keyPath);
    nt::registry::KeyRef key;
    ASSERT_TRUE(NT_SUCCESS(nt::registry::OpenKey(nullptr, keyPath, key)));
    ASSERT_TRUE(NT_SUCCESS(nt::registry::SetValue(key, name, REG_DWORD, &value, sizeof value)));
}

void RegistrySetString(std::u16string_view keyPath, std::u16string_view name, std::u16string_view text) {
    RegistryCreatePath(keyPath);
    nt::registry::KeyRef key;
    ASSERT_TRUE(NT_SUCCESS(nt::registry::OpenKey(nullptr, keyPath, key)));
    std::u16string data(text);
    ASSERT_TRUE(
        NT_SUCCESS(nt::registry::SetValue(key, name, REG_SZ, data.c_str(), (data.size() + 1) * sizeof(char16_t))));
}

std::optional<ULONG> RegistryDword(std::u16string_view keyPath, std::u16string_view name) {
    nt::registry::KeyRef key;
    nt::registry::Value value;
    if (!NT_SUCCESS(nt::registry::OpenKey(nullptr, keyPath, key)) ||
        !NT_SUCCESS(nt::registry::QueryValue(key, name, value)) || value.type != REG_DWORD ||
        value.data.size() != sizeof(ULONG)) {
        return std::nullopt;
    }
    ULONG number;
    std::memcpy(&number, value.data.data(), sizeof number);
    return number;
}

bool RegistryKeyExists(std::u16string_view keyPath) {
    nt::registry::KeyRef key;
    return NT_SUCCESS(nt::registry::OpenKey(nullptr, keyPath, key));
}

std::vector<std::u16string> RegistrySubkeys(std::u16string_view keyPath) {
    std::vector<std::u16string> names;
    nt::registry::KeyRef key;
    if (!NT_SUCCESS(nt::registry::OpenKey(nullptr, keyPath, key))) {
        return names;
    }
    nt::registry::KeyInfo info;
    for (ULONG index = 0; NT_SUCCESS(nt::registry::EnumerateKey(key, index, info)); ++index) {
        names.push_back(info.name);
    }
    return names;
}

size_t RegistryValueCount(std::u16string_view keyPath) {
    nt::registry::KeyRef key;
    nt::registry::KeyInfo info;
    if (!NT_SUCCESS(nt::registry::OpenKey(nullptr, keyPath, key)) || !NT_SUCCESS(nt::registry::QueryKey(key, info))) {
        return 0;
    }
    return info.values;
}

size_t PoolLiveCount() {
    return nt::pool::LiveCount();
}

void DriverFixture::SetUp() {
    ResetMachine();
}

void DriverFixture::TearDown() {
    Unload();
    // Take down whatever devices and drivers the test added, so nothing outlives it.
    nt::pnp::Shutdown();
}

void DriverFixture::ResetMachine(nt::version::Release release) {
    nt::ResetKernelState();
    nt::version::SelectRelease(release);
    nt::pnp::RegisterDriverImage(kService, DriverEntry);
    nt::pnp::RegisterSetupClass(kUsbSetupClass, u"USB");
    nt::pnp::AddClassFilter(kUsbSetupClass, kService, nt::pnp::FilterPosition::Upper);
}

NTSTATUS DriverFixture::Load() {
    return nt::pnp::LoadDriver(kService);
}

void DriverFixture::Unload() {
    Close();
    if (IsLoaded()) {
        nt::pnp::UnloadDriver(kService);
    }
}

bool DriverFixture::IsLoaded() const {
    return nt::pnp::LoadedDriver(kService) != nullptr;
}

bool DriverFixture::Open(DWORD access) {
    Close();
    m_device =
        CreateFileA("\\\\.\\Tindaloft", access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    return m_device != INVALID_HANDLE_VALUE;
}

void DriverFixture::Close() {
    if (m_device != INVALID_HANDLE_VALUE) {
        CloseHandle(m_device);
        m_device = INVALID_HANDLE_VALUE;
    }
}

IoctlResult DriverFixture::Ioctl(DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize) {
    IoctlResult result;
    DWORD bytes = 0xFFFFFFFF;
    SetLastError(ERROR_SUCCESS);
    result.ok = DeviceIoControl(m_device, code, const_cast<void*>(in), inSize, out, outSize, &bytes, nullptr) != FALSE;
    result.bytes = bytes;
    result.error = result.ok ? 0 : GetLastError();
    return result;
}

IoctlResult DriverFixture::Ioctl(DWORD code, const std::vector<uint8_t>& in, std::vector<uint8_t>& out) {
    return Ioctl(code, in.empty() ? nullptr : in.data(), static_cast<DWORD>(in.size()),
                 out.empty() ? nullptr : out.data(), static_cast<DWORD>(out.size()));
}

std::vector<drvlog_test::ReadRecord> DriverFixture::ReadLog(DWORD code) {
    std::vector<drvlog_test::ReadRecord> all;
    std::vector<uint8_t> block(LOG_BLOCK_SIZE);
    for (;;) {
        const IoctlResult result = Ioctl(code, nullptr, 0, block.data(), static_cast<DWORD>(block.size()));
        EXPECT_TRUE(result.ok) << result.error;
        if (!result.ok || result.bytes == 0) {
            return all;
        }
        std::vector<drvlog_test::ReadRecord> records =
            drvlog_test::ParseRecords(std::span<const uint8_t>(block.data(), result.bytes));
        all.insert(all.end(), std::make_move_iterator(records.begin()), std::make_move_iterator(records.end()));
    }
}

DriverFixture::MemlogReply DriverFixture::FetchMemlog() {
    MemlogReply reply;
    ULONG size = 0;
    IoctlResult query = Ioctl(IOCTL_TINDALOFT_GET_MEMLOG, nullptr, 0, &size, sizeof size);
    EXPECT_TRUE(query.ok);
    EXPECT_EQ(query.bytes, sizeof size);
    if (!query.ok || size < sizeof(MEMLOG_CONTROL)) {
        return reply;
    }
    std::vector<uint8_t> bytes(size);
    IoctlResult data = Ioctl(IOCTL_TINDALOFT_GET_MEMLOG, nullptr, 0, bytes.data(), size);
    EXPECT_TRUE(data.ok);
    EXPECT_EQ(data.bytes, size);
    std::memcpy(&reply.control, bytes.data(), sizeof reply.control);
    const size_t count = (size - sizeof(MEMLOG_CONTROL)) / sizeof(MEMLOG_ENTRY);
    if (count == 0 || reply.control.LogBuffer == 0) {
        return reply;
    }
    // The newest entry is at CurEntry; older ones follow above it, wrapping at the top.
    const size_t newest = (reply.control.CurEntry - reply.control.LogBuffer) / sizeof(MEMLOG_ENTRY);
    for (size_t i = 0; i < count; ++i) {
        MEMLOG_ENTRY entry;
        std::memcpy(&entry, bytes.data() + sizeof(MEMLOG_CONTROL) + ((newest + i) % count) * sizeof entry,
                    sizeof entry);
        if (entry.Tag != 0) {
            reply.entries.push_back(entry);
        }
    }
    std::reverse(reply.entries.begin(), reply.entries.end());
    return reply;
}

std::vector<std::string> DriverFixture::FetchMemlogTags() {
    std::vector<std::string> tags;
    for (const MEMLOG_ENTRY& entry : FetchMemlog().entries) {
        std::string tag(4, '\0');
        for (unsigned i = 0; i < 4; ++i) {
            tag[i] = static_cast<char>((entry.Tag >> (8 * i)) & 0xFF);
        }
        tags.push_back(tag);
    }
    return tags;
}

void LoadedDriver::SetUp() {
    DriverFixture::SetUp();
    m_poolBefore = PoolLiveCount();
    ASSERT_EQ(Load(), STATUS_SUCCESS);
    ASSERT_TRUE(Open()) << GetLastError();
}

void LoadedDriver::TearDown() {
    Unload();
    EXPECT_EQ(PoolLiveCount(), m_poolBefore) << "unloading the driver left pool allocations behind";
    DriverFixture::TearDown();
}

} // namespace drivertest
