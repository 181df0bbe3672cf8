// The gates of request capture (CaptureGate.h).
#include "driver/CaptureGate.h"

#include "driver/Log.h"

BOOLEAN CaptureLogActive(VOID) {
    const PCAPTURE_LOG log = g_Driver.CaptureLog;
    return log != nullptr && LogIsActive(log);
}

CaptureDecision CaptureDecide(FilterFamily Family, FilterPhase Phase, UCHAR FamilySwitch, ULONG Code,
                              NTSTATUS Status) {
    if (!g_Driver.FilterPresent && FamilySwitch != 0) {
        return CaptureDecision::Switch;
    }
    return FilterAccepts(g_Driver.CaptureFilter, Family, Phase, Code, static_cast<ULONG>(Status),
                         FilterStatusRule::Driver)
               ? CaptureDecision::Filter
               : CaptureDecision::Rejected;
}

CaptureDecision CaptureCompletionWanted(FilterFamily Family, UCHAR FamilySwitch, ULONG Code) {
    if (!g_Driver.FilterPresent && FamilySwitch != 0) {
        return CaptureDecision::Switch;
    }
    const FILTER_BLOCK& block = g_Driver.CaptureFilter;
    return FilterPhaseEnabled(block, Family, FilterPhase::Completion) && FilterCodeEnabled(block, Family, Code)
               ? CaptureDecision::Filter
               : CaptureDecision::Rejected;
}

BOOLEAN CaptureRangeIsValid(const VOID* Address, SIZE_T Length) {
    const auto start = reinterpret_cast<ULONG_PTR>(Address);
    if (start == 0 || start + Length < start) {
        return FALSE;
    }
    if (Length == 0) {
        return MmIsAddressValid(const_cast<PVOID>(Address));
    }
    // One test per page the range touches: the platform maps a page whole or not at all.
    const ULONG_PTR last = start + Length - 1;
    for (ULONG_PTR page = start & ~static_cast<ULONG_PTR>(PAGE_SIZE - 1);; page += PAGE_SIZE) {
        const ULONG_PTR probe = page < start ? start : page;
        if (!MmIsAddressValid(reinterpret_cast<PVOID>(probe))) {
            return FALSE;
        }
        if (last - page < PAGE_SIZE) {
            break;
        }
    }
    // The last byte as well: a structure that runs off the end of the memory it lies in is never read.
    return MmIsAddressValid(reinterpret_cast<PVOID>(last));
}
