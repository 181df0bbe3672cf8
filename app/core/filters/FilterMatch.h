// Whether a captured record passes a filter block: the rule behind CFilterDefinition::Match, which the
// buffer filter, the stop trigger and the find dialog apply to records already captured.
#pragma once

#include "app/core/records/LogRecordDecode.h"
#include "common/FilterBlock.h"

// The family and phase whose bytes decide a record of this tag; false for tags no filter selects
// (change-log records, log start and end, "ctl" and "int" records, unknown tags).
bool FilterFamilyOfTag(ULONG tag, FilterFamily& family, FilterPhase& phase);

// Status gate (any negative status is an error), the family's phase byte, the code's byte and, for data
// transfers (URB functions 8, 9, 10, 50), the direction gate. `schema` is the schema of the file the
// record comes from. A view without a record never matches.
bool FilterMatchRecord(const FILTER_BLOCK& block, const CLogRecordDecode& record, UINT schema);
