#include "KernelTest.h"
#include "NtClock.h"
#include "NtObjectNamespace.h"
#include "NtRegistryStore.h"
#include "NtVersionControl.h"
#include "wdm.h"

namespace {

TEST(KernelReset, BringsTheMachineBackAndRunsAddedHooks) {
    static int hookRuns = 0; // the hook stays registered for the rest of the run
    nt::AddResetHook([] { ++hookRuns; });
    nt::clock::UseVirtualClock();
    nt::version::SelectRelease(nt::version::Release::Windows8);
    nt::version::SetSafeBootMode(1);
    int object;
    ASSERT_EQ(nt::ob::InsertObject(u"\\Device\\Gone", nt::ob::Kind::Device, &object), STATUS_SUCCESS);
    nt::registry::KeyRef key;
    bool created = false;
    ASSERT_EQ(nt::registry::CreateKey(nullptr, u"\\Registry\\Machine\\Gone", false, u"", key, created), STATUS_SUCCESS);

    hookRuns = 0;
    nt::ResetKernelState();

    EXPECT_GE(hookRuns, 1);
    EXPECT_FALSE(nt::clock::IsVirtual());
    EXPECT_EQ(nt::version::SelectedRelease(), nt::version::Release::Windows7);
    EXPECT_EQ(*InitSafeBootMode, 0u);
    nt::ob::Entry entry;
    EXPECT_EQ(nt::ob::Lookup(u"\\Device\\Gone", entry), STATUS_OBJECT_NAME_NOT_FOUND);
    nt::registry::KeyRef again;
    EXPECT_EQ(nt::registry::OpenKey(nullptr, u"\\Registry\\Machine\\Gone", again), STATUS_OBJECT_NAME_NOT_FOUND);
    nt::registry::Value v;
    EXPECT_EQ(nt::registry::QueryValue(key, u"x", v), STATUS_KEY_DELETED) << "references into the old store";
}

} // namespace
