// Memory descriptor lists. The machine has one flat address space, so a buffer's system mapping is its own
// address; what an MDL records (start, offset, byte count, page frames, mapping flags) follows the platform,
// and memory whose pages are locked for a request is a valid address (MmIsAddressValid) while it stays locked.
#pragma once

#include "NtIoObjects.h"

#define PAGE_SIZE 0x1000
#define PAGE_SHIFT 12
#define BYTE_OFFSET(Va) ((ULONG)((ULONG_PTR)(Va) & (PAGE_SIZE - 1)))
#define PAGE_ALIGN(Va) ((PVOID)((ULONG_PTR)(Va) & ~(ULONG_PTR)(PAGE_SIZE - 1)))
#define ROUND_TO_PAGES(Size) (((ULONG_PTR)(Size) + PAGE_SIZE - 1) & ~(ULONG_PTR)(PAGE_SIZE - 1))
#define ADDRESS_AND_SIZE_TO_SPAN_PAGES(Va, Size)                                                                       \
    ((ULONG)((((ULONG_PTR)(Size)) >> PAGE_SHIFT) +                                                                     \
             ((BYTE_OFFSET(Va) + ((ULONG_PTR)(Size) & (PAGE_SIZE - 1)) + (PAGE_SIZE - 1)) >> PAGE_SHIFT)))

typedef ULONG_PTR PFN_NUMBER, *PPFN_NUMBER;

#define MDL_MAPPED_TO_SYSTEM_VA 0x0001
#define MDL_PAGES_LOCKED 0x0002
#define MDL_SOURCE_IS_NONPAGED_POOL 0x0004
#define MDL_ALLOCATED_FIXED_SIZE 0x0008
#define MDL_PARTIAL 0x0010
#define MDL_PARTIAL_HAS_BEEN_MAPPED 0x0020
#define MDL_IO_PAGE_READ 0x0040
#define MDL_WRITE_OPERATION 0x0080
#define MDL_LOCKED_PAGE_TABLES 0x0100
#define MDL_PARENT_MAPPED_SYSTEM_VA MDL_LOCKED_PAGE_TABLES
#define MDL_FREE_EXTRA_PTES 0x0200
#define MDL_DESCRIBES_AWE 0x0400
#define MDL_IO_SPACE 0x0800
#define MDL_NETWORK_HEADER 0x1000
#define MDL_MAPPING_CAN_FAIL 0x2000
#define MDL_ALLOCATED_MUST_SUCCEED 0x4000
#define MDL_INTERNAL 0x8000
#define MDL_MAPPING_FLAGS                                                                                              \
    (MDL_MAPPED_TO_SYSTEM_VA | MDL_PAGES_LOCKED | MDL_SOURCE_IS_NONPAGED_POOL | MDL_PARTIAL_HAS_BEEN_MAPPED |          \
     MDL_PARENT_MAPPED_SYSTEM_VA | MDL_IO_SPACE)

typedef enum _LOCK_OPERATION { IoReadAccess, IoWriteAccess, IoModifyAccess } LOCK_OPERATION;

typedef enum _MEMORY_CACHING_TYPE {
    MmNonCached = 0,
    MmCached = 1,
    MmWriteCombined = 2,
    MmHardwareCoherentCached,
    MmNonCachedUnordered,
    MmUSWCCached,
    MmMaximumCacheType
} MEMORY_CACHING_TYPE;

typedef enum _MM_PAGE_PRIORITY { LowPagePriority, NormalPagePriority = 16, HighPagePriority = 32 } MM_PAGE_PRIORITY;
#define MdlMappingNoWrite 0x80000000
#define MdlMappingNoExecute 0x40000000

// Allocates an MDL describing [VirtualAddress, VirtualAddress + Length). With an Irp, the MDL becomes the
// IRP's MdlAddress, or (SecondaryBuffer) is appended to its chain. Null when pool is short.
PMDL IoAllocateMdl(PVOID VirtualAddress, ULONG Length, BOOLEAN SecondaryBuffer, BOOLEAN ChargeQuota, PIRP Irp);
void IoFreeMdl(PMDL Mdl);
// TargetMdl describes the part of SourceMdl's buffer at VirtualAddress (Length 0: up to its end).
void IoBuildPartialMdl(PMDL SourceMdl, PMDL TargetMdl, PVOID VirtualAddress, ULONG Length);

SIZE_T MmSizeOfMdl(PVOID Base, SIZE_T Length);
// For an MDL of non-paged pool: fills the page frames and sets MDL_SOURCE_IS_NONPAGED_POOL and the mapping.
void MmBuildMdlForNonPagedPool(PMDL MemoryDescriptorList);
// Locks the pages (they become valid addresses until MmUnlockPages). Raises STATUS_ACCESS_VIOLATION (a
// structured exception) for a buffer that is no memory at all (null, or wrapping).
void MmProbeAndLockPages(PMDL MemoryDescriptorList, KPROCESSOR_MODE AccessMode, LOCK_OPERATION Operation);
void MmUnlockPages(PMDL MemoryDescriptorList);
// Maps locked pages into system space; null (or a bug check when BugCheckOnFailure) when the mapping fails.
PVOID MmMapLockedPagesSpecifyCache(PMDL MemoryDescriptorList, KPROCESSOR_MODE AccessMode, MEMORY_CACHING_TYPE CacheType,
                                   PVOID RequestedAddress, ULONG BugCheckOnFailure, ULONG Priority);
PVOID MmMapLockedPages(PMDL MemoryDescriptorList, KPROCESSOR_MODE AccessMode);
void MmUnmapLockedPages(PVOID BaseAddress, PMDL MemoryDescriptorList);

inline void MmInitializeMdl(PMDL Mdl, PVOID BaseVa, SIZE_T Length) {
    Mdl->Next = nullptr;
    Mdl->Size = (CSHORT)(sizeof(MDL) + sizeof(PFN_NUMBER) * ADDRESS_AND_SIZE_TO_SPAN_PAGES(BaseVa, Length));
    Mdl->MdlFlags = 0;
    Mdl->Process = nullptr;
    Mdl->MappedSystemVa = nullptr;
    Mdl->StartVa = PAGE_ALIGN(BaseVa);
    Mdl->ByteCount = (ULONG)Length;
    Mdl->ByteOffset = BYTE_OFFSET(BaseVa);
}
inline ULONG MmGetMdlByteCount(const MDL* Mdl) {
    return Mdl->ByteCount;
}
inline ULONG MmGetMdlByteOffset(const MDL* Mdl) {
    return Mdl->ByteOffset;
}
inline PVOID MmGetMdlVirtualAddress(const MDL* Mdl) {
    return (PUCHAR)Mdl->StartVa + Mdl->ByteOffset;
}
inline PPFN_NUMBER MmGetMdlPfnArray(PMDL Mdl) {
    return (PPFN_NUMBER)(Mdl + 1);
}
inline PVOID MmGetSystemAddressForMdlSafe(PMDL Mdl, ULONG Priority) {
    if (Mdl->MdlFlags & (MDL_MAPPED_TO_SYSTEM_VA | MDL_SOURCE_IS_NONPAGED_POOL)) {
        return Mdl->MappedSystemVa;
    }
    return MmMapLockedPagesSpecifyCache(Mdl, KernelMode, MmCached, nullptr, FALSE, Priority);
}
inline void MmPrepareMdlForReuse(PMDL Mdl) {
    if (Mdl->MdlFlags & MDL_PARTIAL_HAS_BEEN_MAPPED) {
        MmUnmapLockedPages(Mdl->MappedSystemVa, Mdl);
    }
}
