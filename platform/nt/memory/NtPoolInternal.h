// Internals shared by the kernel pool's sources (not part of the platform's interface; product code never
// includes this).
//
// - NtPoolAddresses.cpp: which addresses are valid, answered without a lock: the page table of pool blocks
//   and the slots of registered ranges.
// - NtPoolAccounting.cpp: the counters per tag, kept by each thread that allocates or frees and summed when
//   asked for.
// - NtPool.cpp: the blocks themselves, allocation and free, failure injection, and the routines and controls
//   the rest of the platform calls.
#pragma once

#include <functional>
#include <vector>

#include "NtPoolControl.h"
#include "ntdef.h"

namespace nt::pool::detail {

// --- Addresses ---

// Writes the page table's words for the bytes [start, start + size) of a block: live, or gone.
void MarkBlock(ULONG_PTR start, SIZE_T size, bool live);
// TRUE when the byte at `address` belongs to a live block.
bool BlockByteValid(ULONG_PTR address);
// TRUE when a live block starts at `address`.
bool BlockStartsAt(ULONG_PTR address);
// TRUE when every byte of [start, end) belongs to one live block.
bool InPool(ULONG_PTR start, ULONG_PTR end);
// Calls `visit` with the start of every live block, in address order.
void ForEachBlockStart(const std::function<void(ULONG_PTR)>& visit);

void AddRange(ULONG_PTR start, ULONG_PTR end);
void RemoveRange(ULONG_PTR start, ULONG_PTR end);
// TRUE when every byte of [start, end) lies in one registered range.
bool InRegistered(ULONG_PTR start, ULONG_PTR end);

// --- Accounting ---

void CountAllocation(ULONG tag, SIZE_T size);
void CountFree(ULONG tag, SIZE_T size);
void CountFailure(ULONG tag);
TagStats SumOf(ULONG tag);
// Every tag with something live or used since the last ResetTotals.
std::vector<TagStats> SumsOfAll();
// Allocations, frees and failures back to zero; live figures stay.
void ResetTotals();

} // namespace nt::pool::detail
