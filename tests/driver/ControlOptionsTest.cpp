// SET_LOGGING_OPTIONS, GET_LOGGING_OPTIONS and SET_BOOTFLAG: what is taken, what is forced, what is saved
// to the registry and what a restart brings back.
#include <cstring>

#include "common/ControlCodes.h"
#include "common/DriverInfo.h"
#include "common/LoggingOptions.h"
#include "driver/core/Driver.h"
#include "tests/driver/DriverFixture.h"

namespace drivertest {
namespace {

class ControlOptions : public LoadedDriver {
protected:
    IoctlResult Set(const LOGGING_OPTIONS& options) {
        return Ioctl(IOCTL_TINDALOFT_SET_LOGGING_OPTIONS, &options, sizeof options, nullptr, 0);
    }
    // GET with `sent` as the caller's buffer (in and out), as the application does.
    LOGGING_OPTIONS Get(LOGGING_OPTIONS sent = {}) {
        IoctlResult result = Ioctl(IOCTL_TINDALOFT_GET_LOGGING_OPTIONS, &sent, sizeof sent, &sent, sizeof sent);
        EXPECT_TRUE(result.ok);
        EXPECT_EQ(result.bytes, sizeof sent);
        return sent;
    }
    IoctlResult SetBootflag(ULONG word) { return Ioctl(IOCTL_TINDALOFT_SET_BOOTFLAG, &word, sizeof word, nullptr, 0); }
    DRIVER_INFO Info() {
        DRIVER_INFO info{};
        EXPECT_TRUE(Ioctl(IOCTL_TINDALOFT_INFO, nullptr, 0, &info, sizeof info).ok);
        return info;
    }
};

FILTER_BLOCK Pattern(UCHAR seed) {
    FILTER_BLOCK block;
    for (size_t i = 0; i < sizeof block.Bytes; ++i) {
        block.Bytes[i] = static_cast<UCHAR>(seed + i);
    }
    return block;
}

LOGGING_OPTIONS SampleOptions() {
    LOGGING_OPTIONS options{};
    options.CaptureBulk = 7;
    options.BulkMaxSize = 4096;
    options.CaptureCtrl = 0;
    options.CtrlMaxSize = 1234;
    options.CaptureIsoch = 1;
    options.IsochMaxSize = 0;
    options.CaptureUrbs = 1;
    options.CaptureHubInterface = 1;
    options.CaptureUsbportHook = 1;
    options.CaptureUsbIntern = 7;
    options.CaptureHubIoctl = 0;
    options.CaptureHcdIoctl = 1;
    options.CaptureHidIoctl = 0;
    options.CaptureHidIntern = 1;
    options.CapturePnp = 0;
    options.CapturePower = 1;
    options.FilterPresent = 1;
    options.Filter = Pattern(3);
    return options;
}

TEST_F(ControlOptions, RoundTripForcesTheDriversOwnHooksOff) {
    const LOGGING_OPTIONS sent = SampleOptions();
    ASSERT_TRUE(Set(sent).ok);

    LOGGING_OPTIONS callerBuffer{};
    callerBuffer.Reserved[0] = 0xAB;
    callerBuffer.Reserved[1] = 0xCD;
    LOGGING_OPTIONS expected = sent;
    expected.Reserved[0] = 0xAB; // the caller's, left as sent
    expected.Reserved[1] = 0xCD;
    expected.CaptureBulk = 1; // transfer switches become 0/1
    expected.CaptureHubInterface = 0;
    expected.CaptureUsbportHook = 0;
    const LOGGING_OPTIONS got = Get(callerBuffer);
    EXPECT_EQ(std::memcmp(&got, &expected, sizeof got), 0);
}

TEST_F(ControlOptions, SavesTheSixteenSettingsAndARestartLoadsThem) {
    ASSERT_TRUE(Set(SampleOptions()).ok);
    EXPECT_EQ(RegistryDword(kParametersKey, u"CaptureBulk"), 1u);
    EXPECT_EQ(RegistryDword(kParametersKey, u"BulkMaxSize"), 4096u);
    EXPECT_EQ(RegistryDword(kParametersKey, u"CtrlMaxSize"), 1234u);
    EXPECT_EQ(RegistryDword(kParametersKey, u"IsochMaxSize"), 0u);
    EXPECT_EQ(RegistryDword(kParametersKey, u"CaptureUsbIntern"), 7u);
    EXPECT_EQ(RegistryDword(kParametersKey, u"CaptureHubInterface"), 0u);
    EXPECT_EQ(RegistryDword(kParametersKey, u"CaptureUsbportHook"), 0u);
    EXPECT_EQ(RegistryDword(kParametersKey, u"CapturePower"), 1u);
    EXPECT_EQ(RegistryValueCount(kParametersKey), 16u);

    Unload();
    ASSERT_EQ(Load(), STATUS_SUCCESS);
    ASSERT_TRUE(Open());
    const LOGGING_OPTIONS got = Get();
    EXPECT_EQ(got.CaptureBulk, 1);
    EXPECT_EQ(ULONG{got.BulkMaxSize}, 4096u);
    EXPECT_EQ(got.CaptureCtrl, 0);
    EXPECT_EQ(ULONG{got.CtrlMaxSize}, 1234u);
    EXPECT_EQ(got.CaptureUsbIntern, 1); // switches read from the registry are 0/1
    EXPECT_EQ(got.CaptureHidIntern, 1);
    EXPECT_EQ(got.CapturePnp, 0);
    EXPECT_EQ(got.FilterPresent, 0); // the filter lives in memory only
}

TEST_F(ControlOptions, FilterStaysHeldWhenNoLongerInForce) {
    LOGGING_OPTIONS options = SampleOptions();
    ASSERT_TRUE(Set(options).ok);
    options.FilterPresent = 0;
    options.Filter = Pattern(100);
    ASSERT_TRUE(Set(options).ok);

    const LOGGING_OPTIONS got = Get();
    EXPECT_EQ(got.FilterPresent, 0);
    const FILTER_BLOCK first = Pattern(3);
    EXPECT_EQ(std::memcmp(&got.Filter, &first, sizeof first), 0);
    EXPECT_EQ(g_Driver.FilterPresent, 0);
}

TEST_F(ControlOptions, SizesAreClampedToTheLargestTheApplicationOffers) {
    LOGGING_OPTIONS options = SampleOptions();
    options.BulkMaxSize = 0xFFFFFFFF;
    options.CtrlMaxSize = LOGGING_OPTIONS_MAX_SIZE + 1;
    options.IsochMaxSize = LOGGING_OPTIONS_MAX_SIZE;
    ASSERT_TRUE(Set(options).ok);
    const LOGGING_OPTIONS got = Get();
    EXPECT_EQ(ULONG{got.BulkMaxSize}, LOGGING_OPTIONS_MAX_SIZE);
    EXPECT_EQ(ULONG{got.CtrlMaxSize}, LOGGING_OPTIONS_MAX_SIZE);
    EXPECT_EQ(ULONG{got.IsochMaxSize}, LOGGING_OPTIONS_MAX_SIZE);
    EXPECT_EQ(RegistryDword(kParametersKey, u"BulkMaxSize"), LOGGING_OPTIONS_MAX_SIZE);
}

TEST_F(ControlOptions, ShortSetChangesNothing) {
    const LOGGING_OPTIONS before = Get();
    LOGGING_OPTIONS options = SampleOptions();
    const IoctlResult result = Ioctl(IOCTL_TINDALOFT_SET_LOGGING_OPTIONS, &options, sizeof options - 1, nullptr, 0);
    EXPECT_FALSE(result.ok);
    const LOGGING_OPTIONS after = Get();
    EXPECT_EQ(std::memcmp(&before, &after, sizeof before), 0);
}

TEST_F(ControlOptions, BootflagWordSetsTheThreeBootValues) {
    struct Case {
        ULONG word;
        ULONG captureOnce;
        ULONG miniportHook;
        ULONG memlogFlags;
    };
    const Case cases[] = {
        {0x7FC, 0, 0, 0x1FF}, {0x800, 0, 0, 0}, {0x3, 1, 1, 0}, {0x6, 0, 1, 0x1}, {0xFFFFFFFF, 1, 1, 0x1FF},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.word);
        ASSERT_TRUE(SetBootflag(c.word).ok);
        EXPECT_EQ(RegistryDword(kParametersKey, u"CaptureOnceOnBoot"), c.captureOnce);
        EXPECT_EQ(RegistryDword(kParametersKey, u"EnableMiniportHook"), c.miniportHook);
        EXPECT_EQ(RegistryDword(kParametersKey, u"MemlogFlags"), c.memlogFlags);
        const DRIVER_INFO info = Info(); // reports, then clears, CaptureOnceOnBoot
        EXPECT_EQ(info.CaptureOnceOnBoot, c.captureOnce);
        EXPECT_EQ(info.EnableMiniportHook, c.miniportHook);
        EXPECT_EQ(ULONG{info.MemlogFlags}, c.memlogFlags);
        EXPECT_EQ(RegistryDword(kParametersKey, u"CaptureOnceOnBoot"), 0u);
    }
}

// CaptureOnceOnBoot set by a client is what the next start captures with.
TEST_F(ControlOptions, BootflagArmsACaptureAtTheNextStart) {
    ASSERT_TRUE(SetBootflag(BOOTFLAG_CAPTURE_ONCE_ON_BOOT).ok);
    Unload();
    ASSERT_EQ(Load(), STATUS_SUCCESS);
    EXPECT_TRUE(g_Driver.BootCapture);
    ASSERT_TRUE(Open());
    EXPECT_EQ(Info().CaptureLogActive, 1);
}

} // namespace
} // namespace drivertest
