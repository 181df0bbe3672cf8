// Checking the memory a request points to before it is read. MmIsAddressValid answers for one byte; these
// answer for a range, with few probes.
//
// Why two probes per page piece are enough: kernel pool puts a guard after every block, a page that belongs
// to no block, so two valid blocks are always more than a page apart. A piece of at most one page that starts
// inside a block therefore holds the block's bytes up to its end and nothing valid after them: its valid
// bytes form a prefix. When the first and the last byte of the piece are valid, every byte between them is;
// when the first is valid and the last is not, exactly one boundary lies inside, and a binary search with
// MmIsAddressValid finds it in at most 12 probes. Pieces follow the pages, the unit the platform maps.
//
// The guarantee is the pool's. Ranges the platform registers (a caller's buffer locked for a request) have no
// guard, and two of them may lie closer than a page. That is enough for the capture road: the structures a
// request points to come from pool, and the other buffers it carries are the I/O manager's registered caller
// buffers, sized by the I/O manager and checked as whole ranges.
//
// Locks: none. Any IRQL up to DISPATCH_LEVEL; nothing is read but the MDL an MDL's address is asked of.
#pragma once

#include "ntddk.h"

// The general cases of the two checks below (ranges that reach into a second page, empty ranges, null
// addresses and ranges that wrap); the checks answer a range within one page themselves, inline, since the
// capture road checks a few such structures on every request.
BOOLEAN AddressRangeIsValidPieces(const VOID* Address, SIZE_T Length);
BOOLEAN AddressRangeIsValidAfterHeadPieces(const VOID* Address, SIZE_T Length);

// Whether [start, start + length) is one page piece that is not empty and does not wrap.
inline bool AddressRangeInOnePage(ULONG_PTR start, SIZE_T length) {
    return length != 0 && BYTE_OFFSET(start) + length <= PAGE_SIZE && start + length > start;
}

// TRUE when every byte of [Address, Address + Length) is valid: the first and the last byte of each page
// piece. A null address, or a range that wraps round the address space, is not valid; an empty range at any
// other address is.
inline BOOLEAN AddressRangeIsValid(const VOID* Address, SIZE_T Length) {
    const auto start = reinterpret_cast<ULONG_PTR>(Address);
    if (start != 0 && AddressRangeInOnePage(start, Length)) {
        return MmIsAddressValid(reinterpret_cast<PVOID>(start)) &&
               MmIsAddressValid(reinterpret_cast<PVOID>(start + Length - 1));
    }
    return AddressRangeIsValidPieces(Address, Length);
}
// The same for a range whose first byte is known to be valid (a structure whose head was checked before it
// was read): the first page piece needs only its last byte probed.
inline BOOLEAN AddressRangeIsValidAfterHead(const VOID* Address, SIZE_T Length) {
    const auto start = reinterpret_cast<ULONG_PTR>(Address);
    if (AddressRangeInOnePage(start, Length)) {
        return MmIsAddressValid(reinterpret_cast<PVOID>(start + Length - 1));
    }
    return AddressRangeIsValidAfterHeadPieces(Address, Length);
}

// How many bytes from Address on, up to Length, can be read: page piece by page piece, until the first piece
// that is not valid whole, of which its valid prefix counts. 0 for a null address or a range that wraps.
ULONG AddressReadablePrefixPieces(const VOID* Address, ULONG Length);
inline ULONG AddressReadablePrefix(const VOID* Address, ULONG Length) {
    const auto start = reinterpret_cast<ULONG_PTR>(Address);
    if (start != 0 && AddressRangeInOnePage(start, Length) && MmIsAddressValid(reinterpret_cast<PVOID>(start)) &&
        MmIsAddressValid(reinterpret_cast<PVOID>(start + Length - 1))) {
        return Length; // a buffer within one page, valid whole: the common case of a transfer
    }
    return AddressReadablePrefixPieces(Address, Length);
}

// The system address of an MDL's bytes, mapped when they are not mapped yet; null when the MDL cannot be
// used: the MDL itself is not valid memory, or its pages are neither locked nor non-paged pool.
PVOID AddressOfMdlBytes(PMDL Mdl);
