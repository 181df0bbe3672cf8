// Driver entry and unload: the Parameters key and its defaults, boot capture, Safe Mode, and every way a
// load can fail giving back what it took.
#include <cstring>

#include "NtObjectNamespace.h"
#include "NtPoolControl.h"
#include "NtRegistryStore.h"
#include "common/ControlCodes.h"
#include "common/DriverInfo.h"
#include "common/LoggingOptions.h"
#include "driver/core/Driver.h"
#include "driver/core/Pool.h"
#include "driver/log/Log.h"
#include "tests/driver/DriverFixture.h"

namespace drivertest {
namespace {

struct NamedValue {
    std::u16string_view name;
    ULONG value;
};

// The capture values a first start writes.
const NamedValue kDefaultCaptureValues[] = {
    {u"CaptureBulk", 1},     {u"BulkMaxSize", 65536},     {u"CaptureCtrl", 1},        {u"CtrlMaxSize", 65536},
    {u"CaptureIsoch", 1},    {u"IsochMaxSize", 65536},    {u"CaptureUrbs", 1},        {u"CaptureUsbIntern", 1},
    {u"CaptureHubIoctl", 1}, {u"CaptureHubInterface", 0}, {u"CaptureUsbportHook", 0}, {u"CaptureHcdIoctl", 1},
    {u"CaptureHidIoctl", 1}, {u"CaptureHidIntern", 0},    {u"CapturePnp", 1},         {u"CapturePower", 0},
};

class DriverLoad : public DriverFixture {
protected:
    DRIVER_INFO Info() {
        DRIVER_INFO info{};
        IoctlResult result = Ioctl(IOCTL_TINDALOFT_INFO, nullptr, 0, &info, sizeof info);
        EXPECT_TRUE(result.ok);
        EXPECT_EQ(result.bytes, sizeof info);
        return info;
    }
    LOGGING_OPTIONS Options() {
        LOGGING_OPTIONS options{};
        IoctlResult result = Ioctl(IOCTL_TINDALOFT_GET_LOGGING_OPTIONS, nullptr, 0, &options, sizeof options);
        EXPECT_TRUE(result.ok);
        return options;
    }
};

TEST_F(DriverLoad, FirstStartCreatesParametersWithTheDefaultCaptureSettings) {
    ASSERT_FALSE(RegistryKeyExists(kParametersKey));
    ASSERT_EQ(Load(), STATUS_SUCCESS);

    for (const NamedValue& value : kDefaultCaptureValues) {
        EXPECT_EQ(RegistryDword(kParametersKey, value.name), value.value)
            << std::string(value.name.begin(), value.name.end());
    }
    EXPECT_EQ(RegistryValueCount(kParametersKey), std::size(kDefaultCaptureValues));

    ASSERT_TRUE(Open());
    const LOGGING_OPTIONS options = Options();
    EXPECT_EQ(options.CaptureBulk, 1);
    EXPECT_EQ(ULONG{options.BulkMaxSize}, 65536u);
    EXPECT_EQ(options.CaptureHidIntern, 0);
    EXPECT_EQ(options.CapturePower, 0);
    EXPECT_EQ(options.CapturePnp, 1);
    const DRIVER_INFO info = Info();
    EXPECT_EQ(info.CaptureLogActive, 0);
    EXPECT_EQ(info.CaptureOnBoot, 0);
    EXPECT_EQ(info.CaptureOnceOnBoot, 0);
    EXPECT_EQ(ULONG{info.MemlogFlags}, 0u);
}

// A key that exists is only read: missing values keep their defaults without being written, switches are
// taken as 0/1, the two hooks the driver lacks stay off, sizes are clamped, and a value of the wrong type
// counts as missing.
TEST_F(DriverLoad, AnExistingParametersKeyIsReadAndNotFilledIn) {
    RegistrySetDword(kParametersKey, u"CaptureBulk", 5);
    RegistrySetDword(kParametersKey, u"BulkMaxSize", 4096);
    RegistrySetDword(kParametersKey, u"CtrlMaxSize", 0x7FFFFFFF);
    RegistrySetDword(kParametersKey, u"CaptureHubInterface", 1);
    RegistrySetDword(kParametersKey, u"CapturePower", 1);
    RegistrySetString(kParametersKey, u"CapturePnp", u"0");
    RegistrySetDword(kParametersKey, u"MemlogFlags", 0xFFFF);
    ASSERT_EQ(Load(), STATUS_SUCCESS);
    ASSERT_TRUE(Open());

    EXPECT_EQ(RegistryValueCount(kParametersKey), 7u);
    const LOGGING_OPTIONS options = Options();
    EXPECT_EQ(options.CaptureBulk, 1);
    EXPECT_EQ(ULONG{options.BulkMaxSize}, 4096u);
    EXPECT_EQ(ULONG{options.CtrlMaxSize}, LOGGING_OPTIONS_MAX_SIZE);
    EXPECT_EQ(ULONG{options.IsochMaxSize}, 65536u);
    EXPECT_EQ(options.CaptureHubInterface, 0);
    EXPECT_EQ(options.CapturePower, 1);
    EXPECT_EQ(options.CapturePnp, 1);
    EXPECT_EQ(ULONG{Info().MemlogFlags}, 0x1FFu);
}

TEST_F(DriverLoad, CaptureOnceOnBootCapturesFromEntryAndIsReportedOnce) {
    RegistrySetDword(kParametersKey, u"CaptureOnceOnBoot", 1);
    ASSERT_EQ(Load(), STATUS_SUCCESS);
    // Before any client has connected.
    EXPECT_TRUE(LogIsActive(g_Driver.CaptureLog));
    EXPECT_TRUE(g_Driver.BootCapture);

    ASSERT_TRUE(Open());
    const DRIVER_INFO first = Info();
    EXPECT_EQ(first.CaptureLogActive, 1);
    EXPECT_EQ(first.CaptureOnceOnBoot, 1);
    EXPECT_EQ(first.CaptureOnBoot, 0);
    EXPECT_EQ(RegistryDword(kParametersKey, u"CaptureOnceOnBoot"), 0u);

    const DRIVER_INFO second = Info();
    EXPECT_EQ(second.CaptureOnceOnBoot, 0);
    EXPECT_EQ(second.CaptureLogActive, 1);
}

TEST_F(DriverLoad, CaptureOnBootCapturesAtEveryStart) {
    RegistrySetDword(kParametersKey, u"CaptureOnBoot", 1);
    ASSERT_EQ(Load(), STATUS_SUCCESS);
    ASSERT_TRUE(Open());
    const DRIVER_INFO info = Info();
    EXPECT_EQ(info.CaptureLogActive, 1);
    EXPECT_EQ(info.CaptureOnBoot, 1);
    EXPECT_EQ(info.CaptureOnceOnBoot, 0);
    Info();
    EXPECT_EQ(RegistryDword(kParametersKey, u"CaptureOnBoot"), 1u);
}

TEST_F(DriverLoad, InfoDescribesTheDriverAndSafeMode) {
    nt::version::SetSafeBootMode(SAFEBOOT_MINIMAL);
    RegistrySetDword(kParametersKey, u"EnableMiniportHook", 1);
    ASSERT_EQ(Load(), STATUS_SUCCESS);
    ASSERT_TRUE(Open());
    const DRIVER_INFO info = Info();
    EXPECT_EQ(info.MajorVersion, 3);
    EXPECT_EQ(info.MinorVersion, 41);
    EXPECT_EQ(USHORT{info.Revision}, 0);
    EXPECT_EQ(USHORT{info.Build}, 627);
    EXPECT_EQ(ULONG{info.LogBlockSize}, 66560u);
    EXPECT_EQ(info.SafeMode, 1);
    EXPECT_EQ(info.EnableMiniportHook, 1);
    EXPECT_EQ(std::string(g_Driver.DriverName), "KxTdloft");

    const MemlogReply memlog = FetchMemlog();
    ASSERT_GE(memlog.entries.size(), 2u);
    const MEMLOG_ENTRY& safe = memlog.entries[memlog.entries.size() - 2];
    EXPECT_EQ(safe.Tag, FourCC("Safe"));
    EXPECT_EQ(safe.Value1, 1u);
}

TEST_F(DriverLoad, UnloadRemovesTheControlDeviceAndGivesBackEveryAllocation) {
    const size_t before = PoolLiveCount();
    ASSERT_EQ(Load(), STATUS_SUCCESS);
    ASSERT_TRUE(Open());
    Unload();
    EXPECT_EQ(PoolLiveCount(), before);
    EXPECT_EQ(nt::pool::Stats(KXTD_POOL_TAG).liveCount, 0u);
    EXPECT_FALSE(Open());
    nt::ob::Entry entry;
    EXPECT_EQ(nt::ob::Lookup(u"\\Device\\KxTdloft", entry), STATUS_OBJECT_NAME_NOT_FOUND);
}

// Fails each of the driver's allocations at entry in turn: the event ring (loading goes on without it), the
// registry path copy, the two logs and the two name copies of the control device (the load fails).
TEST_F(DriverLoad, EachAllocationFailureAtEntryLeavesNothingBehind) {
    int failed = 0;
    for (uint64_t skip = 0;; ++skip) {
        ResetMachine();
        const size_t before = PoolLiveCount();
        nt::pool::InjectFailure({KXTD_POOL_TAG, skip, 1});
        const NTSTATUS status = Load();
        const bool hit = nt::pool::Stats(KXTD_POOL_TAG).failures != 0;
        nt::pool::ClearInjectedFailures();
        if (!hit) {
            EXPECT_EQ(status, STATUS_SUCCESS);
            Unload();
            EXPECT_EQ(PoolLiveCount(), before);
            break;
        }
        ++failed;
        if (skip == 0) {
            // Without the ring: the driver loads, writes no events and answers GET_MEMLOG with the control
            // block alone.
            ASSERT_EQ(status, STATUS_SUCCESS);
            ASSERT_TRUE(Open());
            const MemlogReply memlog = FetchMemlog();
            EXPECT_EQ(memlog.control.LogAllocSize, 0u);
            EXPECT_EQ(memlog.control.LogEnabled, 0);
            EXPECT_EQ(memlog.control.LogBuffer, 0u);
            EXPECT_TRUE(memlog.entries.empty());
        } else {
            EXPECT_EQ(status, STATUS_INSUFFICIENT_RESOURCES) << "allocation " << skip;
            EXPECT_FALSE(IsLoaded());
        }
        Unload();
        EXPECT_EQ(PoolLiveCount(), before) << "allocation " << skip;
    }
    EXPECT_EQ(failed, 6);
}

TEST_F(DriverLoad, ParametersKeyFailureFailsTheLoad) {
    const size_t before = PoolLiveCount();
    nt::registry::InjectFailure(
        {nt::registry::Operation::CreateKey, std::u16string(kParametersKey), std::nullopt, STATUS_ACCESS_DENIED});
    EXPECT_EQ(Load(), STATUS_ACCESS_DENIED);
    nt::registry::ClearInjectedFailures();
    EXPECT_FALSE(IsLoaded());
    EXPECT_EQ(PoolLiveCount(), before);
}

TEST_F(DriverLoad, TakenDeviceNameFailsTheLoad) {
    int other = 0;
    ASSERT_EQ(nt::ob::InsertObject(u"\\Device\\KxTdloft", nt::ob::Kind::Other, &other), STATUS_SUCCESS);
    const size_t before = PoolLiveCount();
    EXPECT_EQ(Load(), STATUS_OBJECT_NAME_COLLISION);
    EXPECT_FALSE(IsLoaded());
    EXPECT_EQ(PoolLiveCount(), before);
    nt::ob::RemoveObject(&other);
}

TEST_F(DriverLoad, TakenLinkNameFailsTheLoadAndDeletesTheDevice) {
    ASSERT_EQ(nt::ob::CreateSymbolicLink(u"\\GLOBAL??\\Tindaloft", u"\\Device\\Elsewhere"), STATUS_SUCCESS);
    const size_t before = PoolLiveCount();
    EXPECT_EQ(Load(), STATUS_OBJECT_NAME_COLLISION);
    EXPECT_FALSE(IsLoaded());
    EXPECT_EQ(PoolLiveCount(), before);
    nt::ob::Entry entry;
    EXPECT_EQ(nt::ob::Lookup(u"\\Device\\KxTdloft", entry), STATUS_OBJECT_NAME_NOT_FOUND);
}

} // namespace
} // namespace drivertest
