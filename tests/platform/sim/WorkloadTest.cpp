// The workloads on the default machine: each runs its steps through the class drivers and ends well, under a
// virtual clock, in real milliseconds; a seed decides what they do; a duration of machine time bounds them.
#include <cctype>

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

// A duration of machine time ends the run: one-second idle steps, moved on by the workload itself.
TEST_F(Workloads, ADurationOfMachineTimeBoundsTheRun) {
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

} // namespace
