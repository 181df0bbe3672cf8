// Control codes GET_MEMLOG (the event ring for a diagnostics file) and CLR_REGNODES (the saved per-device
// capture selection).
//
// Locks: none. The ring is copied as it stands while writers may go on, so an entry written during the
// copy may be torn.
#include "common/ControlCodes.h"
#include "common/Memlog.h"
#include "driver/control/ControlHandlers.h"
#include "driver/core/Driver.h"
#include "driver/nodes/ActiveNodes.h"

NTSTATUS ControlGetMemlog(PCONTROL_REQUEST Request) {
    const PMEMLOG_STATE memlog = &g_Driver.Memlog;
    // Without a ring (it could not be allocated) the reply is the control block alone, LogAllocSize 0.
    const ULONG replySize = MemlogReplySize(memlog->LogAllocSize);
    if (Request->Length == TINDALOFT_SIZE_QUERY_LENGTH) {
        RtlCopyMemory(Request->Buffer, &replySize, sizeof replySize);
        Request->Information = sizeof replySize;
        return STATUS_SUCCESS;
    }
    if (Request->Length < replySize) {
        return STATUS_BUFFER_TOO_SMALL;
    }
    UCHAR* reply = static_cast<UCHAR*>(Request->Buffer);
    MEMLOG_CONTROL control;
    MemlogSnapshot(memlog, &control);
    RtlCopyMemory(reply, &control, sizeof control);
    if (memlog->LogBuffer != nullptr) {
        RtlCopyMemory(reply + sizeof control, memlog->LogBuffer, memlog->LogAllocSize);
    }
    Request->Information = replySize;
    return STATUS_SUCCESS;
}

NTSTATUS ControlClearRegNodes(PCONTROL_REQUEST Request) {
    (void)Request;
    return ClearActiveNodes();
}
