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

// TRUE when every byte of [Address, Address + Length) is valid: the first and the last byte of each page
// piece. A null address, or a range that wraps round the address space, is not valid; an empty range at any
// other address is.
BOOLEAN AddressRangeIsValid(const VOID* Address, SIZE_T Length);
// The same for a range whose first byte is known to be valid (a structure whose head was checked before it
// was read): the first page piece needs only its last byte probed.
BOOLEAN AddressRangeIsValidAfterHead(const VOID* Address, SIZE_T Length);

// How many bytes from Address on, up to Length, can be read: page piece by page piece, until the first piece
// that is not valid whole, of which its valid prefix counts. 0 for a null address or a range that wraps.
ULONG AddressReadablePrefix(const VOID* Address, ULONG Length);

// The system address of an MDL's bytes, mapped when they are not mapped yet; null when the MDL cannot be
// used: the MDL itself is not valid memory, or its pages are neither locked nor non-paged pool.
PVOID AddressOfMdlBytes(PMDL Mdl);
