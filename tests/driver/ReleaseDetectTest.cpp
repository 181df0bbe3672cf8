// Release detection at entry, against the machine's release profiles: each release sets exactly its flags
// and writes its events between the driver's start and end events.
#include <string>
#include <vector>

#include "driver/core/Driver.h"
#include "tests/driver/DriverFixture.h"

namespace drivertest {
namespace {

using nt::version::Release;

struct ReleaseCase {
    const char* name;
    Release release;
    std::vector<std::string> flags;
    std::vector<std::string> events;
};

std::vector<std::string> FlagsSet(const WINDOWS_RELEASE& release) {
    const std::pair<const char*, BOOLEAN> flags[] = {
        {"w2k", release.w2k},   {"wxp", release.wxp},   {"wxp3", release.wxp3},
        {"w2k3", release.w2k3}, {"wlh", release.wlh},   {"wlh1", release.wlh1},
        {"wlh2", release.wlh2}, {"win7", release.win7}, {"win8", release.win8},
    };
    std::vector<std::string> set;
    for (const auto& [name, value] : flags) {
        if (value) {
            set.push_back(name);
        }
    }
    return set;
}

class ReleaseDetection : public DriverFixture, public ::testing::WithParamInterface<ReleaseCase> {};

TEST_P(ReleaseDetection, SetsExactlyItsFlagsAndWritesItsEvents) {
    ResetMachine(GetParam().release);
    ASSERT_EQ(Load(), STATUS_SUCCESS);
    ASSERT_TRUE(Open());

    EXPECT_EQ(FlagsSet(g_Driver.Release), GetParam().flags);
    std::vector<std::string> expected = {"===="};
    expected.insert(expected.end(), GetParam().events.begin(), GetParam().events.end());
    expected.insert(expected.end(), {"Safe", "----"});
    EXPECT_EQ(FetchMemlogTags(), expected) << "with MemlogFlags 0 only the entry events are written";
}

INSTANTIATE_TEST_SUITE_P(Releases, ReleaseDetection,
                         ::testing::Values(
                             // A kernel without the version routines is taken as Windows 2000 without any test.
                             ReleaseCase{"Unresolvable", Release::VersionRoutinesUnresolvable, {"w2k"}, {"_w2k"}},
                             // With the routines, 5.0 matches none of the tests.
                             ReleaseCase{"Windows2000", Release::Windows2000, {}, {"win?"}},
                             ReleaseCase{"WindowsXP", Release::WindowsXP, {"wxp"}, {"_wxp"}},
                             ReleaseCase{"WindowsXPSP3", Release::WindowsXPSP3, {"wxp", "wxp3"}, {"_wxp", "wxp3"}},
                             ReleaseCase{"Server2003", Release::Server2003, {"w2k3"}, {"w2k3"}},
                             ReleaseCase{"VistaSP0", Release::VistaSP0, {"wlh"}, {"_wlh"}},
                             ReleaseCase{"VistaSP1", Release::VistaSP1, {"wlh", "wlh1"}, {"_wlh", "wlh1"}},
                             ReleaseCase{"VistaSP2", Release::VistaSP2, {"wlh", "wlh2"}, {"_wlh", "wlh2"}},
                             ReleaseCase{"Windows7", Release::Windows7, {"win7"}, {"win7"}},
                             ReleaseCase{"Windows8", Release::Windows8, {"win8"}, {"win8"}},
                             ReleaseCase{"Windows10", Release::Windows10, {}, {"win?"}}),
                         [](const ::testing::TestParamInfo<ReleaseCase>& param) {
                             return std::string(param.param.name);
                         });

} // namespace
} // namespace drivertest
