// The workloads on the default machine: each runs its steps through the class drivers and ends well, under a
// virtual clock, in real milliseconds.
#include "NtClock.h"
#include "platform/sim/Workload.h"
#include "tests/support/MachineFixture.h"

namespace {

class Workloads : public tdl::test::MachineTest {
protected:
    void SetUp() override {
        BootDefault();
        nt::clock::UseVirtualClock();
    }
    void TearDown() override {
        nt::clock::UseRealClock();
        MachineTest::TearDown();
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
}

INSTANTIATE_TEST_SUITE_P(Kinds, EachWorkload,
                         ::testing::Values(Case{sim::WorkloadKind::MouseMoving, 20},
                                           Case{sim::WorkloadKind::CopyToStick, 2},
                                           Case{sim::WorkloadKind::Printing, 2},
                                           Case{sim::WorkloadKind::IdleMachine, 3},
                                           Case{sim::WorkloadKind::PlugAndUnplug, 6},
                                           Case{sim::WorkloadKind::RequestFamilies, 1}),
                         [](const auto& info) {
                             std::string name(sim::WorkloadName(info.param.kind));
                             for (char& c : name) {
                                 if (!std::isalnum(static_cast<unsigned char>(c))) {
                                     c = '_';
                                 }
                             }
                             return name;
                         });

} // namespace
