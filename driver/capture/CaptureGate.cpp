// The gates of request capture (CaptureGate.h).
#include "driver/capture/CaptureGate.h"

#include "driver/log/Log.h"

BOOLEAN CaptureLogActive(VOID) {
    const PCAPTURE_LOG log = g_Driver.CaptureLog;
    return log != nullptr && LogIsActive(log);
}

CaptureDecision CaptureDecide(FilterFamily Family, FilterPhase Phase, UCHAR FamilySwitch, ULONG Code, NTSTATUS Status) {
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
