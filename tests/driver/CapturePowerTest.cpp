// Power requests: the payload of each minor function on its I and C records, the minor functions that are
// passed over, and the phase bytes of the filter block.
#include "common/RecordTags.h"
#include "tests/driver/CaptureIoctlFixture.h"

namespace capturetest {
namespace {

class PowerCapture : public IoctlCaptureFixture {
protected:
    void SetUp() override {
        IoctlCaptureFixture::SetUp();
        SetOptions([](LOGGING_OPTIONS& options) { options.CapturePower = 1; });
    }
};

TEST_F(PowerCapture, EachMinorFunctionCarriesItsPayload) {
    PUCHAR sequence = Allocate(sizeof(POWER_SEQUENCE));
    const POWER_SEQUENCE counts = {7, 8, 9};
    struct Case {
        const char* name;
        UCHAR minor;
        std::function<void(PIO_STACK_LOCATION)> fill;
        std::function<void(PIRP)> device;
        NTSTATUS status;
        const char* initiated;
        const char* completed;
    } cases[] = {
        {"wait wake",
         IRP_MN_WAIT_WAKE,
         [](PIO_STACK_LOCATION l) { l->Parameters.WaitWake.PowerState = PowerSystemSleeping3; },
         {},
         STATUS_SUCCESS,
         "04000000",
         ""},
        {"set power: device D3",
         IRP_MN_SET_POWER,
         [](PIO_STACK_LOCATION l) {
             l->Parameters.Power.Type = DevicePowerState;
             l->Parameters.Power.State.DeviceState = PowerDeviceD3;
             l->Parameters.Power.ShutdownType = PowerActionSleep;
         },
         {},
         STATUS_SUCCESS,
         "01000000 04000000 02000000",
         ""},
        {"query power: system S4",
         IRP_MN_QUERY_POWER,
         [](PIO_STACK_LOCATION l) {
             l->Parameters.Power.Type = SystemPowerState;
             l->Parameters.Power.State.SystemState = PowerSystemHibernate;
             l->Parameters.Power.ShutdownType = PowerActionHibernate;
         },
         {},
         STATUS_SUCCESS,
         "00000000 05000000 03000000",
         ""},
        {"power sequence", IRP_MN_POWER_SEQUENCE,
         [&](PIO_STACK_LOCATION l) {
             l->Parameters.PowerSequence.PowerSequence = reinterpret_cast<PPOWER_SEQUENCE>(sequence);
         },
         [&](PIRP) { std::memcpy(sequence, &counts, sizeof counts); }, STATUS_SUCCESS, "",
         "07000000 08000000 09000000"},
        {"power sequence, failed",
         IRP_MN_POWER_SEQUENCE,
         [&](PIO_STACK_LOCATION l) {
             l->Parameters.PowerSequence.PowerSequence = reinterpret_cast<PPOWER_SEQUENCE>(sequence);
         },
         {},
         STATUS_NOT_SUPPORTED,
         "",
         ""},
        {"power sequence through a pointer that is not there",
         IRP_MN_POWER_SEQUENCE,
         [](PIO_STACK_LOCATION l) {
             l->Parameters.PowerSequence.PowerSequence = reinterpret_cast<PPOWER_SEQUENCE>(0x10);
         },
         {},
         STATUS_SUCCESS,
         "",
         "00000000 00000000 00000000"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const IoctlSent sent = SendMajor(IRP_MJ_POWER, c.minor, c.fill, c.status, 0, c.device);
        ASSERT_EQ(Tags(sent.records), "powI powC powR");
        for (const ReadRecord& record : sent.records) {
            EXPECT_EQ(record.function, c.minor);
        }
        EXPECT_EQ(sent.records[2].dataSize, 0u);
        EXPECT_EQ(HeaderStatus(sent.records[1]), static_cast<ULONG>(c.status));
        const IoctlRequest none;
        EXPECT_EQ(Hex(sent.records[0].Payload()), Hex(ExpectedPayload(c.initiated, none, sent)));
        EXPECT_EQ(Hex(sent.records[1].Payload()), Hex(ExpectedPayload(c.completed, none, sent)));
    }
    // Minor functions above QUERY_POWER pass unrecorded.
    EXPECT_EQ(Tags(SendMajor(IRP_MJ_POWER, 4, {}).records), "");
}

TEST_F(PowerCapture, TheFilterBlockDecidesEachPhaseByMinorFunction) {
    const auto setPower = [](PIO_STACK_LOCATION l) { l->Parameters.Power.Type = DevicePowerState; };
    SetFilter({287, 291, 294}); // request phase, SET_POWER
    EXPECT_EQ(Tags(SendMajor(IRP_MJ_POWER, IRP_MN_SET_POWER, setPower).records), "powI powR");
    EXPECT_EQ(Tags(SendMajor(IRP_MJ_POWER, IRP_MN_QUERY_POWER, setPower).records), "");
    SetFilter({288, 292, 294}); // completion phase, QUERY_POWER
    EXPECT_EQ(Tags(SendMajor(IRP_MJ_POWER, IRP_MN_QUERY_POWER, setPower).records), "powC");
    SetFilter({287, 288, 292, 293}); // errors only
    EXPECT_EQ(Tags(SendMajor(IRP_MJ_POWER, IRP_MN_QUERY_POWER, setPower, STATUS_UNSUCCESSFUL).records), "powC");
}

} // namespace
} // namespace capturetest
