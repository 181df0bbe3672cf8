// Memory descriptor lists over the machine's flat address space.
#include "NtMdl.h"

#include <atomic>

#include "NtControl.h"
#include "NtIoInternal.h"
#include "NtMdlControl.h"
#include "NtPool.h"
#include "NtPoolControl.h"
#include "NtSeh.h"

namespace nt::mdl {
namespace {

std::atomic<ULONG> g_failMappings{0};

void FillPageFrames(PMDL mdl) {
    ULONG pages = ADDRESS_AND_SIZE_TO_SPAN_PAGES(MmGetMdlVirtualAddress(mdl), mdl->ByteCount);
    PPFN_NUMBER frames = MmGetMdlPfnArray(mdl);
    auto page = reinterpret_cast<ULONG_PTR>(mdl->StartVa) >> PAGE_SHIFT;
    for (ULONG i = 0; i < pages; ++i) {
        frames[i] = page + i;
    }
}

bool TakeMappingFailure() {
    ULONG left = g_failMappings.load();
    while (left && !g_failMappings.compare_exchange_weak(left, left - 1)) {
    }
    return left != 0;
}

const bool g_resetHook = [] {
    AddResetHook([] { g_failMappings = 0; });
    return true;
}();

} // namespace

void FailMappings(ULONG count) {
    g_failMappings = count;
}

} // namespace nt::mdl

using nt::io::kTagMdl;

PMDL IoAllocateMdl(PVOID VirtualAddress, ULONG Length, BOOLEAN SecondaryBuffer, BOOLEAN ChargeQuota, PIRP Irp) {
    (void)ChargeQuota;
    SIZE_T size = MmSizeOfMdl(VirtualAddress, Length);
    auto* mdl = static_cast<PMDL>(ExAllocatePoolWithTag(NonPagedPool, size, kTagMdl));
    if (!mdl) {
        return nullptr;
    }
    MmInitializeMdl(mdl, VirtualAddress, Length);
    if (Irp) {
        if (!SecondaryBuffer) {
            Irp->MdlAddress = mdl;
        } else {
            PMDL* link = &Irp->MdlAddress;
            while (*link) {
                link = &(*link)->Next;
            }
            *link = mdl;
        }
    }
    return mdl;
}

void IoFreeMdl(PMDL Mdl) {
    if (Mdl->MdlFlags & MDL_PAGES_LOCKED) {
        MmUnlockPages(Mdl);
    }
    ExFreePoolWithTag(Mdl, kTagMdl);
}

SIZE_T MmSizeOfMdl(PVOID Base, SIZE_T Length) {
    return sizeof(MDL) + sizeof(PFN_NUMBER) * ADDRESS_AND_SIZE_TO_SPAN_PAGES(Base, Length);
}

void MmBuildMdlForNonPagedPool(PMDL MemoryDescriptorList) {
    nt::mdl::FillPageFrames(MemoryDescriptorList);
    MemoryDescriptorList->MdlFlags |= MDL_SOURCE_IS_NONPAGED_POOL;
    MemoryDescriptorList->MappedSystemVa = MmGetMdlVirtualAddress(MemoryDescriptorList);
}

void MmProbeAndLockPages(PMDL MemoryDescriptorList, KPROCESSOR_MODE AccessMode, LOCK_OPERATION Operation) {
    (void)AccessMode;
    PMDL mdl = MemoryDescriptorList;
    auto start = reinterpret_cast<ULONG_PTR>(MmGetMdlVirtualAddress(mdl));
    if (mdl->ByteCount && (start == 0 || start + mdl->ByteCount < start)) {
        ExRaiseStatus(STATUS_ACCESS_VIOLATION);
    }
    if (mdl->MdlFlags & MDL_PAGES_LOCKED) {
        nt::BugCheck(DRIVER_VERIFIER_DETECTED_VIOLATION, "MmProbeAndLockPages: the MDL's pages are locked already",
                     reinterpret_cast<ULONG_PTR>(mdl));
    }
    if (mdl->ByteCount) {
        nt::pool::RegisterRange(MmGetMdlVirtualAddress(mdl), mdl->ByteCount);
    }
    nt::mdl::FillPageFrames(mdl);
    mdl->MdlFlags |= MDL_PAGES_LOCKED;
    if (Operation != IoReadAccess) {
        mdl->MdlFlags |= MDL_WRITE_OPERATION;
    }
}

void MmUnlockPages(PMDL MemoryDescriptorList) {
    PMDL mdl = MemoryDescriptorList;
    if (!(mdl->MdlFlags & MDL_PAGES_LOCKED)) {
        nt::BugCheck(DRIVER_VERIFIER_DETECTED_VIOLATION, "MmUnlockPages: the MDL's pages are not locked",
                     reinterpret_cast<ULONG_PTR>(mdl));
    }
    if (mdl->ByteCount) {
        nt::pool::UnregisterRange(MmGetMdlVirtualAddress(mdl), mdl->ByteCount);
    }
    mdl->MdlFlags &= ~(MDL_PAGES_LOCKED | MDL_MAPPED_TO_SYSTEM_VA | MDL_WRITE_OPERATION);
}

PVOID MmMapLockedPagesSpecifyCache(PMDL MemoryDescriptorList, KPROCESSOR_MODE AccessMode, MEMORY_CACHING_TYPE CacheType,
                                   PVOID RequestedAddress, ULONG BugCheckOnFailure, ULONG Priority) {
    (void)AccessMode;
    (void)CacheType;
    (void)RequestedAddress;
    (void)Priority;
    PMDL mdl = MemoryDescriptorList;
    if (!(mdl->MdlFlags & (MDL_PAGES_LOCKED | MDL_SOURCE_IS_NONPAGED_POOL | MDL_PARTIAL))) {
        nt::BugCheck(DRIVER_VERIFIER_DETECTED_VIOLATION, "MmMapLockedPagesSpecifyCache: the MDL's pages are not locked",
                     reinterpret_cast<ULONG_PTR>(mdl));
    }
    if (nt::mdl::TakeMappingFailure()) {
        if (BugCheckOnFailure) {
            nt::BugCheck(DRIVER_VERIFIER_DETECTED_VIOLATION, "MmMapLockedPagesSpecifyCache: no system address space",
                         reinterpret_cast<ULONG_PTR>(mdl));
        }
        return nullptr;
    }
    mdl->MappedSystemVa = MmGetMdlVirtualAddress(mdl);
    mdl->MdlFlags |= (mdl->MdlFlags & MDL_PARTIAL) ? MDL_PARTIAL_HAS_BEEN_MAPPED : MDL_MAPPED_TO_SYSTEM_VA;
    return mdl->MappedSystemVa;
}

PVOID MmMapLockedPages(PMDL MemoryDescriptorList, KPROCESSOR_MODE AccessMode) {
    return MmMapLockedPagesSpecifyCache(MemoryDescriptorList, AccessMode, MmCached, nullptr, TRUE, NormalPagePriority);
}

void MmUnmapLockedPages(PVOID BaseAddress, PMDL MemoryDescriptorList) {
    (void)BaseAddress;
    MemoryDescriptorList->MdlFlags &= ~(MDL_MAPPED_TO_SYSTEM_VA | MDL_PARTIAL_HAS_BEEN_MAPPED);
}

void IoBuildPartialMdl(PMDL SourceMdl, PMDL TargetMdl, PVOID VirtualAddress, ULONG Length) {
    auto sourceStart = reinterpret_cast<ULONG_PTR>(MmGetMdlVirtualAddress(SourceMdl));
    auto start = reinterpret_cast<ULONG_PTR>(VirtualAddress);
    if (start < sourceStart || start - sourceStart > SourceMdl->ByteCount ||
        Length > SourceMdl->ByteCount - (start - sourceStart)) {
        nt::BugCheck(DRIVER_VERIFIER_DETECTED_VIOLATION, "IoBuildPartialMdl: the range lies outside the source MDL",
                     reinterpret_cast<ULONG_PTR>(SourceMdl));
    }
    if (Length == 0) {
        Length = static_cast<ULONG>(SourceMdl->ByteCount - (start - sourceStart));
    }
    CSHORT size = TargetMdl->Size;
    MmInitializeMdl(TargetMdl, VirtualAddress, Length);
    TargetMdl->Size = size;
    TargetMdl->MdlFlags = MDL_PARTIAL | (SourceMdl->MdlFlags & MDL_SOURCE_IS_NONPAGED_POOL);
    if (SourceMdl->MdlFlags & MDL_SOURCE_IS_NONPAGED_POOL) {
        TargetMdl->MappedSystemVa = VirtualAddress;
    }
    nt::mdl::FillPageFrames(TargetMdl);
}
