// Handlers of the control device's requests: one routine per control code, called by the dispatcher
// (ControlDispatch.cpp).
//
// Conventions every handler relies on:
// - The dispatcher has already applied the code's buffer rule and minimum length: for a code with a buffer,
//   Request->Buffer is not null, Request->Length is at least the code's minimum and never 0. The buffer is the
//   system buffer for METHOD_BUFFERED codes; for METHOD_NEITHER codes it is the caller's user buffer (output
//   rule) or Type3InputBuffer (input rule), not yet probed. Codes without a buffer see null and 0.
// - A handler sets Request->Information to the bytes it returns and returns the request's status. Whatever it
//   set, the dispatcher reports 0 bytes for an error status, so a handler may fail at any point.
// - Handlers run at PASSIVE_LEVEL in the caller's thread, concurrently with each other and with request
//   capture; each takes only the locks of what it touches. The dispatcher completes the request.
// - With MemlogFlags bit 0x100 the dispatcher writes the handler's entry and exit events ("I" and "i" with
//   the code's three-letter subject); handlers need not.
#pragma once

#include "ntddk.h"

typedef struct _CONTROL_REQUEST {
    PIRP Irp; // the request, for handlers that need more than their buffer
    ULONG IoControlCode;
    PVOID Buffer;          // chosen by the code's buffer rule; null for codes without a buffer
    ULONG Length;          // bytes at Buffer
    ULONG_PTR Information; // bytes returned; 0 on entry
} CONTROL_REQUEST, *PCONTROL_REQUEST;

typedef NTSTATUS CONTROL_HANDLER(PCONTROL_REQUEST Request);
typedef CONTROL_HANDLER* PCONTROL_HANDLER;

// Driver information, settings and diagnostics (ControlInfo.cpp, ControlOptions.cpp, ControlMemlog.cpp).
CONTROL_HANDLER ControlInfo;              // IOCTL_TINDALOFT_INFO, output, at least 19 bytes
CONTROL_HANDLER ControlNop;               // IOCTL_TINDALOFT_NOP, input, at least 4 bytes
CONTROL_HANDLER ControlSetBootflag;       // IOCTL_TINDALOFT_SET_BOOTFLAG, input, at least 4 bytes
CONTROL_HANDLER ControlSetLoggingOptions; // IOCTL_TINDALOFT_SET_LOGGING_OPTIONS, input, at least 325 bytes
CONTROL_HANDLER ControlGetLoggingOptions; // IOCTL_TINDALOFT_GET_LOGGING_OPTIONS, output, at least 325 bytes
CONTROL_HANDLER ControlGetMemlog;         // IOCTL_TINDALOFT_GET_MEMLOG, output (4 bytes: size query)
CONTROL_HANDLER ControlClearRegNodes;     // IOCTL_TINDALOFT_CLR_REGNODES, no buffer

// The capture log and the change log (ControlLog.cpp).
CONTROL_HANDLER ControlEnableLog;   // IOCTL_TINDALOFT_ENABLE_LOG, input, at least 4 bytes
CONTROL_HANDLER ControlDisableLog;  // IOCTL_TINDALOFT_DISABLE_LOG, no buffer
CONTROL_HANDLER ControlClearLog;    // IOCTL_TINDALOFT_CLEAR_LOG, no buffer
CONTROL_HANDLER ControlReadLog;     // IOCTL_TINDALOFT_READ_LOG, output (METHOD_NEITHER user buffer)
CONTROL_HANDLER ControlEnableClog;  // IOCTL_TINDALOFT_ENABLE_CLOG, input, at least 4 bytes
CONTROL_HANDLER ControlDisableClog; // IOCTL_TINDALOFT_DISABLE_CLOG, no buffer
CONTROL_HANDLER ControlClearClog;   // IOCTL_TINDALOFT_CLEAR_CLOG, no buffer
CONTROL_HANDLER ControlReadClog;    // IOCTL_TINDALOFT_READ_CLOG, output (METHOD_NEITHER user buffer)

// The device-stack tree (ControlNodes.cpp).
CONTROL_HANDLER ControlDevstkNodes;    // IOCTL_TINDALOFT_DEVSTK_NODES, output (4 bytes: size query)
CONTROL_HANDLER ControlDevstkNodesEx;  // IOCTL_TINDALOFT_DEVSTK_NODES_EX, output (4 bytes: size query)
CONTROL_HANDLER ControlSetDevobjFlags; // IOCTL_TINDALOFT_SET_DEVOBJ_FLAGS, input
CONTROL_HANDLER ControlDevstkRefresh;  // IOCTL_TINDALOFT_DEVSTK_REFRESH, no buffer

// The hooked drivers (ControlDriverNodes.cpp) and what a stack learnt or a hub answers (ControlStackInfo.cpp).
CONTROL_HANDLER ControlDriverNodes;   // IOCTL_TINDALOFT_DRVOBJ_NODES, output (4 bytes: size query)
CONTROL_HANDLER ControlGetDevstkInfo; // IOCTL_TINDALOFT_GET_DEVSTK_INFO, output (the request in the same buffer)
