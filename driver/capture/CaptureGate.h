// The gates of request capture, shared by every request family: which requests are the driver's own, whether
// a device object's requests are recorded at all, and how the capture switches and the filter block decide
// each phase (I before the call, C at completion) of a family's requests.
//
// Locks: none. The switches and the filter block are read without a lock (each a byte written whole); a
// request may see a mix of old and new settings while SET_LOGGING_OPTIONS runs. Up to DISPATCH_LEVEL.
#pragma once

#include "ntddk.h"

#include "common/FilterBlock.h"
#include "driver/core/Driver.h"
#include "driver/core/Pool.h"
#include "driver/log/Log.h"
#include "driver/nodes/DeviceNode.h"

// --- The driver's own requests ---

// Requests the driver builds itself carry its pool tag in the first driver-context slot of the IRP's tail
// and are never recorded. Only the low 32 bits of the slot are compared.
inline VOID CaptureMarkOwnRequest(PIRP Irp) {
    Irp->Tail.Overlay.DriverContext[0] = reinterpret_cast<PVOID>(static_cast<ULONG_PTR>(KXTD_POOL_TAG));
}
inline BOOLEAN CaptureIsOwnRequest(const IRP* Irp) {
    return static_cast<ULONG>(reinterpret_cast<ULONG_PTR>(Irp->Tail.Overlay.DriverContext[0])) == KXTD_POOL_TAG;
}

// --- The common gate ---

// The capture log exists and takes records.
inline BOOLEAN CaptureLogActive(VOID) {
    const PCAPTURE_LOG log = g_Driver.CaptureLog;
    return log != nullptr && LogIsActive(log);
}

// Requests through the node's device object are recorded: the node exists, its driver is selected and
// hooked, its capture-off bit is clear, and the capture log is active.
inline BOOLEAN CaptureNodeRecorded(const DEVOBJ_NODE* Node) {
    return Node != nullptr && DeviceNodeIsLoggable(Node) && CaptureLogActive();
}

// --- Switches and the filter block ---

// How a phase of a request was let through: not at all, whole by the family's switch (no filter block in
// force), or by the filter block (which then also holds the direction gate of data transfers).
enum class CaptureDecision : UCHAR { Rejected, Switch, Filter };

inline bool CaptureAccepted(CaptureDecision decision) {
    return decision != CaptureDecision::Rejected;
}

// Decides one phase of a request: with no filter block in force and the family's switch on, the family is
// recorded whole; otherwise the block decides by the family's phase byte, the status test (the driver's
// rule: only statuses with both top bits set are errors) and the code's enable byte. `Code` is what
// FilterCodeByte takes for the family. For the request phase the status is the one the IRP carries when it
// arrives.
CaptureDecision CaptureDecideByFilter(FilterFamily Family, FilterPhase Phase, ULONG Code, NTSTATUS Status);
inline CaptureDecision CaptureDecide(FilterFamily Family, FilterPhase Phase, UCHAR FamilySwitch, ULONG Code,
                                     NTSTATUS Status) {
    if (!g_Driver.FilterPresent && FamilySwitch != 0) {
        return CaptureDecision::Switch;
    }
    return CaptureDecideByFilter(Family, Phase, Code, Status);
}

// Whether to put the completion routine in place for the completion phase, before the status is known: the
// switch as above, or the block's completion byte and the code's byte.
CaptureDecision CaptureCompletionWantedByFilter(FilterFamily Family, ULONG Code);
inline CaptureDecision CaptureCompletionWanted(FilterFamily Family, UCHAR FamilySwitch, ULONG Code) {
    if (!g_Driver.FilterPresent && FamilySwitch != 0) {
        return CaptureDecision::Switch;
    }
    return CaptureCompletionWantedByFilter(Family, Code);
}
