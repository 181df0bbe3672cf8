// Control requests on the two logs: start and stop a capture or change-log session, clear a log, and hand
// the application the oldest block of records.
//
// Locks: the log's own spin lock, through the log routines (Log.h); nothing else.
#include "common/ByteReader.h"
#include "common/ControlCodes.h"
#include "driver/control/ControlHandlers.h"
#include "driver/core/Driver.h"
#include "driver/log/Log.h"
#include "driver/record/RecordLogMarks.h"

namespace {

// A session begins: the log takes records from here on, the start mark first.
VOID SessionStart(PCAPTURE_LOG log, PIRP irp) {
    LogSetActive(log, TRUE);
    LogWriteStart(log, irp);
}

// A session ends: the end mark last, then the log takes no more records and gives its blocks back.
VOID SessionEnd(PCAPTURE_LOG log, PIRP irp) {
    LogWriteEnd(log, irp);
    LogSetActive(log, FALSE);
    LogFreeAll(log);
}

NTSTATUS ReadBlock(PCAPTURE_LOG log, PCONTROL_REQUEST request) {
    ULONG bytes = 0;
    const NTSTATUS status = LogReadBlock(log, request->Buffer, request->Length, &bytes);
    request->Information = bytes;
    return status;
}

} // namespace

NTSTATUS ControlEnableLog(PCONTROL_REQUEST Request) {
    const ULONG word = tdl::LoadLe<ULONG>(Request->Buffer);
    g_Driver.AutoEnable = (word & ENABLE_LOG_AUTO_ENABLE) ? TRUE : FALSE;
    SessionStart(g_Driver.CaptureLog, Request->Irp);
    return STATUS_SUCCESS;
}

NTSTATUS ControlDisableLog(PCONTROL_REQUEST Request) {
    SessionEnd(g_Driver.CaptureLog, Request->Irp);
    return STATUS_SUCCESS;
}

NTSTATUS ControlClearLog(PCONTROL_REQUEST Request) {
    LogClear(g_Driver.CaptureLog);
    return STATUS_SUCCESS;
}

NTSTATUS ControlReadLog(PCONTROL_REQUEST Request) {
    return ReadBlock(g_Driver.CaptureLog, Request);
}

NTSTATUS ControlEnableClog(PCONTROL_REQUEST Request) {
    LogResetSequence(g_Driver.ChangeLog);
    SessionStart(g_Driver.ChangeLog, Request->Irp);
    return STATUS_SUCCESS;
}

NTSTATUS ControlDisableClog(PCONTROL_REQUEST Request) {
    if (LogIsActive(g_Driver.ChangeLog)) {
        SessionEnd(g_Driver.ChangeLog, Request->Irp);
    }
    return STATUS_SUCCESS;
}

NTSTATUS ControlClearClog(PCONTROL_REQUEST Request) {
    LogClear(g_Driver.ChangeLog);
    return STATUS_SUCCESS;
}

NTSTATUS ControlReadClog(PCONTROL_REQUEST Request) {
    return ReadBlock(g_Driver.ChangeLog, Request);
}
