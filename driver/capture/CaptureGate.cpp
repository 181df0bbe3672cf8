// The gates of request capture (CaptureGate.h).
#include "driver/capture/CaptureGate.h"

CaptureDecision CaptureDecideByFilter(FilterFamily Family, FilterPhase Phase, ULONG Code, NTSTATUS Status) {
    return FilterAccepts(g_Driver.CaptureFilter, Family, Phase, Code, static_cast<ULONG>(Status),
                         FilterStatusRule::Driver)
               ? CaptureDecision::Filter
               : CaptureDecision::Rejected;
}

CaptureDecision CaptureCompletionWantedByFilter(FilterFamily Family, ULONG Code) {
    const FILTER_BLOCK& block = g_Driver.CaptureFilter;
    return FilterPhaseEnabled(block, Family, FilterPhase::Completion) && FilterCodeEnabled(block, Family, Code)
               ? CaptureDecision::Filter
               : CaptureDecision::Rejected;
}
