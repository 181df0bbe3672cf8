// The workloads on the default machine: each runs its steps through the class drivers and ends well, under a
// virtual clock, in real milliseconds; a seed decides what they do; a duration of machine time bounds them.
#include <cctype>
#include <thread>

#include "platform/sim/Workload.h"
#include "tests/support/MachineFixture.h"

namespace {

class Workloads : public tdl::test::MachineTest {
protected:
    void SetUp() override {
        BootDefault();
        UseVirtualClock();
    }
};

struct Case {
    sim::WorkloadKind kind;
    uint64_t count;
};

class EachWorkload : public Workloads, public ::testing::WithParamInterface<Case> {};

TEST_P(EachWorkload, RunsItsStepsAndEndsWell) {
    sim::WorkloadOptions options;
    options.count = GetParam().count;
    options.seed = 7;
    sim::WorkloadResult result = sim::RunWorkload(*m_machine, GetParam().kind, options);
    EXPECT_TRUE(result.Succeeded()) << result.failure << " " << std::hex << result.status;
    EXPECT_EQ(result.steps, GetParam().count);
    EXPECT_GT(result.requests, 0u);
    // The name round-trips.
    EXPECT_EQ(sim::WorkloadFromName(sim::WorkloadName(GetParam().kind)), GetParam().kind);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, EachWorkload,
    ::testing::Values(Case{sim::WorkloadKind::MouseMoving, 20}, Case{sim::WorkloadKind::CopyToStick, 2},
                      Case{sim::WorkloadKind::Printing, 2}, Case{sim::WorkloadKind::IdleMachine, 3},
                      Case{sim::WorkloadKind::PlugAndUnplug, 6}, Case{sim::WorkloadKind::RequestFamilies, 1},
                      Case{sim::WorkloadKind::Flood, 1500}),
    [](const auto& test) {
        std::string name(sim::WorkloadName(test.param.kind));
        for (char& c : name) {
            c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
        }
        return name;
    });

TEST_F(Workloads, UnknownNamesAndAStoppedMachineAreRefused) {
    EXPECT_FALSE(sim::WorkloadFromName("surfing"));
    m_machine->Shutdown();
    EXPECT_EQ(sim::RunWorkload(*m_machine, sim::WorkloadKind::IdleMachine).status, STATUS_DEVICE_NOT_READY);
    m_machine.reset();
}

TEST_F(Workloads, ADeviceTheMachineLacksFailsTheWorkload) {
    sim::WorkloadOptions options;
    options.device = "no such stick";
    const sim::WorkloadResult result = sim::RunWorkload(*m_machine, sim::WorkloadKind::CopyToStick, options);
    EXPECT_EQ(result.status, STATUS_NO_SUCH_DEVICE);
    EXPECT_EQ(result.steps, 0u);
}

// A flood step is one write and one read, each one URB at the controller, in runs that end at the count.
TEST_F(Workloads, AFloodStepIsAWriteAndAReadBack) {
    sim::WorkloadOptions options;
    options.count = 2049;
    options.floodBytes = 16;
    const sim::WorkloadResult result = sim::RunWorkload(*m_machine, sim::WorkloadKind::Flood, options);
    ASSERT_TRUE(result.Succeeded()) << result.failure;
    EXPECT_EQ(result.steps, 2049u);
    EXPECT_EQ(result.requests, 2 * 2049u);
    EXPECT_EQ(result.bytes, 2 * 2049u * 16);
}

// A duration of machine time ends the run: one-second idle steps, moved on by the workload itself (on an
// unpaced machine, whose polls take no time on their buses).
TEST_F(Workloads, ADurationOfMachineTimeBoundsTheRun) {
    sim::MachineOptions unpaced;
    unpaced.busTime = false;
    Boot(sim::DefaultMachine(), unpaced);
    UseVirtualClock(); // (a boot resets the kernel, its clock too)
    sim::WorkloadOptions options;
    options.duration = std::chrono::milliseconds(3500);
    const sim::WorkloadResult result = sim::RunWorkload(*m_machine, sim::WorkloadKind::IdleMachine, options);
    EXPECT_TRUE(result.Succeeded()) << result.failure;
    EXPECT_EQ(result.steps, 4u) << "steps begun within the duration finish";
    EXPECT_EQ(result.machineTime, 4 * 10'000'000);
}

// The same seed writes the same file to the same place; another seed another file.
TEST_F(Workloads, TheSeedDecidesWhatTheyDo) {
    auto* disk = &m_machine->Device("stick")->FunctionAs<sim::BulkOnlyFunction>(0)->Disk();
    sim::WorkloadOptions options;
    options.count = 1;
    options.fileBytes = options.transferBytes = 4096;
    auto copyAndRead = [&](uint64_t seed) {
        options.seed = seed;
        EXPECT_TRUE(sim::RunWorkload(*m_machine, sim::WorkloadKind::CopyToStick, options).Succeeded());
        return disk->ReadBlocks(0, 8);
    };
    const sim::Bytes first = copyAndRead(11);
    const sim::Bytes other = copyAndRead(12);
    EXPECT_NE(first, other);
    EXPECT_EQ(copyAndRead(11), first);
}

// The mouse moving while files go to the stick: each workload counts the requests of its own device, not the
// other's, which the host controllers receive at the same time.
class WorkloadsTogether : public tdl::test::MachineTest {
protected:
    void SetUp() override { BootDefault(); } // on the real clock: the two run side by side
};

TEST_F(WorkloadsTogether, EachCountsTheRequestsOfItsOwnDevice) {
    sim::Machine& machine = *m_machine;
    std::shared_ptr<sim::UsbDevice> mouse = machine.Device("mouse");
    std::shared_ptr<sim::UsbDevice> stick = machine.Device("stick");
    const uint64_t mouseBefore = mouse->UrbsReceived();
    const uint64_t stickBefore = stick->UrbsReceived();
    sim::WorkloadOptions moving;
    moving.count = 25;
    sim::WorkloadResult moved;
    std::thread hand([&] { moved = sim::RunWorkload(machine, sim::WorkloadKind::MouseMoving, moving); });
    sim::WorkloadOptions copying;
    copying.count = 3;
    const sim::WorkloadResult copied = sim::RunWorkload(machine, sim::WorkloadKind::CopyToStick, copying);
    hand.join();
    ASSERT_TRUE(moved.Succeeded()) << moved.failure;
    ASSERT_TRUE(copied.Succeeded()) << copied.failure;
    EXPECT_EQ(moved.requests, mouse->UrbsReceived() - mouseBefore);
    EXPECT_EQ(copied.requests, stick->UrbsReceived() - stickBefore);
    EXPECT_GT(moved.requests, 0u);
    EXPECT_GT(copied.requests, 0u);
}

} // namespace
