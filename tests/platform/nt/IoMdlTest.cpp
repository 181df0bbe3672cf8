// Memory descriptor lists: geometry, pool MDLs, locking (which makes memory a valid address) and mapping.
#include <gtest/gtest.h>

#include <vector>

#include "IoTestDriver.h"
#include "NtMdl.h"
#include "NtMdlControl.h"
#include "NtPool.h"
#include "NtPoolControl.h"
#include "NtSeh.h"

namespace {

class IoMdlTest : public ::testing::Test {
protected:
    void SetUp() override { nt::ResetKernelState(); }
    void TearDown() override { nt::ResetKernelState(); }
};

TEST_F(IoMdlTest, MdlDescribesTheBufferByPagesOffsetAndCount) {
    struct Case {
        ULONG_PTR offset; // from a page boundary
        ULONG length;
        ULONG pages;
    };
    const Case cases[] = {
        {0, 1, 1}, {0, PAGE_SIZE, 1}, {1, PAGE_SIZE, 2}, {PAGE_SIZE - 1, 2, 2}, {100, 3 * PAGE_SIZE, 4}};
    std::vector<UCHAR> memory(8 * PAGE_SIZE);
    auto* base = reinterpret_cast<UCHAR*>(ROUND_TO_PAGES(reinterpret_cast<ULONG_PTR>(memory.data())));
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "offset " << c.offset << ", length " << c.length);
        PMDL mdl = IoAllocateMdl(base + c.offset, c.length, FALSE, FALSE, nullptr);
        ASSERT_NE(mdl, nullptr);
        EXPECT_EQ(mdl->StartVa, base + (c.offset & ~ULONG_PTR(PAGE_SIZE - 1)));
        EXPECT_EQ(MmGetMdlByteOffset(mdl), c.offset % PAGE_SIZE);
        EXPECT_EQ(MmGetMdlByteCount(mdl), c.length);
        EXPECT_EQ(MmGetMdlVirtualAddress(mdl), base + c.offset);
        EXPECT_EQ(size_t(mdl->Size), sizeof(MDL) + c.pages * sizeof(PFN_NUMBER));
        IoFreeMdl(mdl);
    }
}

TEST_F(IoMdlTest, MdlsGivenAnIrpBecomeItsChain) {
    PIRP irp = IoAllocateIrp(1, FALSE);
    UCHAR a[16], b[16], c[16];
    PMDL first = IoAllocateMdl(a, sizeof a, FALSE, FALSE, irp);
    PMDL second = IoAllocateMdl(b, sizeof b, TRUE, FALSE, irp);
    PMDL third = IoAllocateMdl(c, sizeof c, TRUE, FALSE, irp);
    EXPECT_EQ(irp->MdlAddress, first);
    EXPECT_EQ(first->Next, second);
    EXPECT_EQ(second->Next, third);
    IoFreeMdl(first);
    IoFreeMdl(second);
    IoFreeMdl(third);
    IoFreeIrp(irp);
}

TEST_F(IoMdlTest, PoolMdlIsMappedWithoutAMapping) {
    auto* buffer = static_cast<UCHAR*>(ExAllocatePoolWithTag(NonPagedPool, 300, nt::pool::TagFromString("Test")));
    PMDL mdl = IoAllocateMdl(buffer + 10, 200, FALSE, FALSE, nullptr);
    MmBuildMdlForNonPagedPool(mdl);
    EXPECT_TRUE(mdl->MdlFlags & MDL_SOURCE_IS_NONPAGED_POOL);
    EXPECT_FALSE(mdl->MdlFlags & MDL_MAPPED_TO_SYSTEM_VA);
    nt::mdl::FailMappings(1); // a pool MDL needs no mapping, so none can fail
    EXPECT_EQ(MmGetSystemAddressForMdlSafe(mdl, NormalPagePriority), buffer + 10);
    EXPECT_EQ(MmGetMdlPfnArray(mdl)[0], reinterpret_cast<ULONG_PTR>(buffer + 10) >> PAGE_SHIFT);

    PMDL part = IoAllocateMdl(buffer + 50, 20, FALSE, FALSE, nullptr);
    IoBuildPartialMdl(mdl, part, buffer + 50, 20);
    EXPECT_TRUE(part->MdlFlags & MDL_PARTIAL);
    EXPECT_EQ(MmGetSystemAddressForMdlSafe(part, NormalPagePriority), buffer + 50);
    EXPECT_EQ(MmGetMdlByteCount(part), 20u);
    IoFreeMdl(part);
    IoFreeMdl(mdl);
    ExFreePoolWithTag(buffer, nt::pool::TagFromString("Test"));
}

TEST_F(IoMdlTest, LockedPagesAreValidAddressesAndMapUntilUnlocked) {
    UCHAR buffer[64];
    EXPECT_FALSE(MmIsAddressValid(buffer));
    PMDL mdl = IoAllocateMdl(buffer, sizeof buffer, FALSE, FALSE, nullptr);
    MmProbeAndLockPages(mdl, UserMode, IoWriteAccess);
    EXPECT_TRUE(mdl->MdlFlags & MDL_PAGES_LOCKED);
    EXPECT_TRUE(MmIsAddressValid(buffer + 63));

    nt::mdl::FailMappings(1);
    EXPECT_EQ(MmGetSystemAddressForMdlSafe(mdl, NormalPagePriority), nullptr);
    EXPECT_FALSE(mdl->MdlFlags & MDL_MAPPED_TO_SYSTEM_VA);
    EXPECT_EQ(MmGetSystemAddressForMdlSafe(mdl, NormalPagePriority), buffer);
    EXPECT_TRUE(mdl->MdlFlags & MDL_MAPPED_TO_SYSTEM_VA);
    EXPECT_EQ(mdl->MappedSystemVa, buffer);

    MmUnlockPages(mdl);
    EXPECT_FALSE(MmIsAddressValid(buffer));
    EXPECT_FALSE(mdl->MdlFlags & (MDL_PAGES_LOCKED | MDL_MAPPED_TO_SYSTEM_VA));
    IoFreeMdl(mdl);
}

TEST_F(IoMdlTest, LockingNoMemoryRaisesAnAccessViolation) {
    PMDL mdl = IoAllocateMdl(nullptr, 16, FALSE, FALSE, nullptr);
    NTSTATUS code = STATUS_SUCCESS;
    __try {
        MmProbeAndLockPages(mdl, UserMode, IoReadAccess);
    } __except (EXCEPTION_EXECUTE_HANDLER) {
        code = GetExceptionCode();
    }
    EXPECT_EQ(code, STATUS_ACCESS_VIOLATION);
    EXPECT_FALSE(mdl->MdlFlags & MDL_PAGES_LOCKED);
    IoFreeMdl(mdl);
}

} // namespace
