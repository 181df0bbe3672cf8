// Symbolic links read through ntdll: what fits the caller's buffer, and that every path gives back its
// handles, strings and the module.
#include "app/devices/SymbolicLink.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

#include "NtHandleTable.h"
#include "NtObject.h"
#include "NtPoolControl.h"
#include "NtRtlString.h"
#include "WinModulesControl.h"
#include "tests/app/devices/NtdllStandIn.h"
#include "tests/support/MachineFixture.h"

namespace {

// A target of 20 characters.
const char kTarget[] = "\\Device\\TdlTarget012";
constexpr ULONG kTargetChars = sizeof kTarget - 1;
static_assert(kTargetChars == 20);

// Fails the n-th string the run-time library allocates from now on (1: the directory name, 2: the link name,
// 3: the target's ANSI copy); the machine's own allocations are left alone.
void FailStringAllocation(uint64_t n) {
    nt::pool::InjectFailure({nt::pool::TagFromString("Strg"), n - 1, 1});
}

class SymbolicLinkTarget : public tdl::test::MachineTest {
protected:
    void SetUp() override {
        BootDefault(nt::version::Release::Windows7, nullptr, tdl::test::BusTime::Off);
        UNICODE_STRING link = RTL_CONSTANT_STRING(u"\\DosDevices\\TdlLinkTest");
        UNICODE_STRING target = RTL_CONSTANT_STRING(u"\\Device\\TdlTarget012");
        ASSERT_TRUE(NT_SUCCESS(IoCreateSymbolicLink(&link, &target)));
        m_handles = nt::handles::OpenCount();
        m_pool = nt::pool::LiveCount();
    }
    void TearDown() override {
        UNICODE_STRING link = RTL_CONSTANT_STRING(u"\\DosDevices\\TdlLinkTest");
        IoDeleteSymbolicLink(&link);
        nt::pool::ClearInjectedFailures();
        win32::ResetModules();
        MachineTest::TearDown();
    }
    void ExpectAllReleased() {
        EXPECT_EQ(nt::handles::OpenCount(), m_handles);
        EXPECT_EQ(nt::pool::LiveCount(), m_pool);
        EXPECT_EQ(win32::ModuleLoadCount("ntdll"), 0);
    }

    size_t m_handles = 0;
    size_t m_pool = 0;
};

TEST_F(SymbolicLinkTarget, ATargetFitsInUpToHalfTheBufferLessOne) {
    struct {
        ULONG size;
        bool fits;
    } const cases[] = {
        {2 * kTargetChars + 1, true},                                         // (size - 1) / 2 characters exactly
        {2 * kTargetChars + 2, true}, {128, true}, {2 * kTargetChars, false}, // one character short
        {kTargetChars + 1, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.size);
        std::string buffer(c.size + 8, 'x');
        BOOL result = QuerySymbolicLinkTarget("\\GLOBAL??", "TdlLinkTest", buffer.data(), c.size);
        EXPECT_EQ(result, c.fits);
        if (c.fits) {
            EXPECT_STREQ(buffer.c_str(), kTarget);
            EXPECT_EQ(buffer.find_first_not_of('\0', kTargetChars), c.size) << "the rest of the buffer is cleared";
        } else {
            EXPECT_EQ(buffer, std::string(c.size + 8, 'x')) << "a failure leaves the buffer alone";
        }
        ExpectAllReleased();
    }
}

TEST_F(SymbolicLinkTarget, EveryFailureLeavesTheBufferAndReleasesEverything) {
    struct Case {
        const char* name;
        std::function<void()> arrange;
        const char* directory;
        const char* link;
    };
    const Case cases[] = {
        {"missing link", [] {}, "\\GLOBAL??", "NoSuchLink"},
        {"missing directory", [] {}, "\\NoSuchDirectory", "TdlLinkTest"},
        {"no ntdll", [] { win32::UnregisterModule("ntdll"); }, "\\GLOBAL??", "TdlLinkTest"},
        {"missing export", [] { tdl::test::RegisterNtdll("RtlFreeAnsiString"); }, "\\GLOBAL??", "TdlLinkTest"},
        {"directory name conversion", [] { FailStringAllocation(1); }, "\\GLOBAL??", "TdlLinkTest"},
        {"link name conversion", [] { FailStringAllocation(2); }, "\\GLOBAL??", "TdlLinkTest"},
        {"target conversion", [] { FailStringAllocation(3); }, "\\GLOBAL??", "TdlLinkTest"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.arrange();
        char buffer[128];
        std::memset(buffer, 'x', sizeof buffer);
        EXPECT_FALSE(QuerySymbolicLinkTarget(c.directory, c.link, buffer, sizeof buffer));
        EXPECT_EQ(std::string(buffer, sizeof buffer), std::string(sizeof buffer, 'x'));
        nt::pool::ClearInjectedFailures();
        win32::ResetModules();
        ExpectAllReleased();
    }
    char buffer[128] = {};
    EXPECT_TRUE(QuerySymbolicLinkTarget("\\??", "tdllinktest", buffer, sizeof buffer)) << "names ignore case";
    EXPECT_STREQ(buffer, kTarget);
    ExpectAllReleased();
}

TEST_F(SymbolicLinkTarget, BindingNeedsEveryRoutine) {
    HMODULE ntdll = BindNtdllFunctions();
    ASSERT_NE(ntdll, nullptr);
    EXPECT_EQ(win32::ModuleLoadCount("ntdll"), 1);
    EXPECT_TRUE(FreeLibrary(ntdll));

    for (const char* missing : {"ZwQuerySystemInformation", "ZwQueryDirectoryObject", "RtlUnicodeStringToAnsiString"}) {
        tdl::test::RegisterNtdll(missing);
        EXPECT_EQ(BindNtdllFunctions(), nullptr) << missing;
        EXPECT_EQ(win32::ModuleLoadCount("ntdll"), 0) << missing;
    }
}

} // namespace
