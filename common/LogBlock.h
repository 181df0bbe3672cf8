// Sizes of the log blocks that hold records in the driver and that one read request hands over whole.
#pragma once

#include <cstddef>

#include "common/LogHeader.h"

// One pool allocation per block; DRIVER_INFO reports this size so the application can size its reads.
constexpr ULONG LOG_BLOCK_SIZE = 66560;
// The block starts with two list links, a u32 used-byte count and a u8 recycled flag; records follow.
constexpr ULONG LOG_BLOCK_DATA_OFFSET = 2 * 8 + 4 + 1;
// Room for records in one block, and so the most one read request returns.
constexpr ULONG LOG_BLOCK_DATA_SIZE = LOG_BLOCK_SIZE - LOG_BLOCK_DATA_OFFSET;
// Most blocks a log holds before it recycles its newest one (31 * 66,560 bytes of pool per log at most).
constexpr ULONG LOG_BLOCK_LIMIT = 31;
// Byte a fresh block's data area is filled with, so bytes a writer leaves unset read as '.'.
constexpr UCHAR LOG_BLOCK_FILL = 0x2E;

// Transfer bytes one URB or continuation record carries at most; larger captures go on in continuation
// records. With the largest size setting (1 MiB) a transfer gives one record and 15 continuations.
constexpr ULONG RECORD_MAX_TRANSFER_PIECE = 65536;

static_assert(LOG_BLOCK_DATA_SIZE == 66539);
// The largest URB record (isochronous part 1 and a full piece) fits an empty block.
static_assert(RECORD_FRAME_SIZE + 66 + RECORD_MAX_TRANSFER_PIECE <= LOG_BLOCK_DATA_SIZE);
