// The run's line on the gaps in the driver's sequence numbers, in plain words: how many gaps there were, how many
// records they lost where the banks still hold the records on both sides of a gap, and how many gaps fell among
// records that continuous logging has since dropped (what those lost is no longer known).
#pragma once

#include <string>

namespace tdl::session {

// "gaps: 159 (1,458 records lost in the 2 gaps whose records the banks still hold; 157 gaps fell among records
// since dropped, so their loss is not known)". `keptGaps` of the `gaps` lost `lost` records.
std::string GapLine(unsigned long gaps, unsigned long keptGaps, unsigned long lost);

// A count with its thousands grouped: "1,458".
std::string Grouped(unsigned long long count);

} // namespace tdl::session
