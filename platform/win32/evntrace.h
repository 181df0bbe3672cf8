// Event tracing, classic provider interface: a provider registers its control GUID with a callback; a trace
// session enables it (the callback receives WMI_ENABLE_EVENTS with the session's logger handle, from which it
// reads the level and flags) and the provider sends events to that handle with TraceEvent. Sessions are the
// machine's: tests run them through WinTraceControl.h, and a user starts one that writes to a file with the
// environment variable TINDALOFT_TRACE (see WinTraceControl.h).
#pragma once

#include "windef.h"

typedef ULONG64 TRACEHANDLE, *PTRACEHANDLE;
#define INVALID_PROCESSTRACE_HANDLE ((TRACEHANDLE)INVALID_HANDLE_VALUE)

typedef enum {
    WMI_GET_ALL_DATA = 0,
    WMI_GET_SINGLE_INSTANCE = 1,
    WMI_SET_SINGLE_INSTANCE = 2,
    WMI_SET_SINGLE_ITEM = 3,
    WMI_ENABLE_EVENTS = 4,
    WMI_DISABLE_EVENTS = 5,
    WMI_ENABLE_COLLECTION = 6,
    WMI_DISABLE_COLLECTION = 7,
    WMI_REGINFO = 8,
    WMI_EXECUTE_METHOD = 9
} WMIDPREQUESTCODE;

typedef ULONG(WINAPI* WMIDPREQUEST)(WMIDPREQUESTCODE RequestCode, PVOID RequestContext, ULONG* BufferSize,
                                    PVOID Buffer);

#define WNODE_FLAG_TRACED_GUID 0x00020000
#define WNODE_FLAG_USE_GUID_PTR 0x00080000
#define WNODE_FLAG_USE_MOF_PTR 0x00100000

// The buffer an enable or disable request hands the callback.
typedef struct _WNODE_HEADER {
    ULONG BufferSize;
    ULONG ProviderId;
    union {
        ULONG64 HistoricalContext; // the logger handle of the session
        struct {
            ULONG Version;
            ULONG Linkage;
        };
    };
    union {
        ULONG CountLost;
        HANDLE KernelHandle;
        LARGE_INTEGER TimeStamp;
    };
    GUID Guid;
    ULONG ClientContext;
    ULONG Flags;
} WNODE_HEADER, *PWNODE_HEADER;
static_assert(sizeof(WNODE_HEADER) == 48 && offsetof(WNODE_HEADER, HistoricalContext) == 8 &&
              offsetof(WNODE_HEADER, Guid) == 24 && offsetof(WNODE_HEADER, Flags) == 44);

typedef struct _EVENT_TRACE_HEADER {
    USHORT Size; // header plus what follows it (MOF fields or inline data)
    union {
        USHORT FieldTypeFlags;
        struct {
            UCHAR HeaderType;
            UCHAR MarkerFlags;
        };
    };
    union {
        ULONG Version;
        struct {
            UCHAR Type;
            UCHAR Level;
            USHORT Version;
        } Class;
    };
    ULONG ThreadId;
    ULONG ProcessId;
    LARGE_INTEGER TimeStamp;
    union {
        GUID Guid;
        ULONGLONG GuidPtr;
    };
    union {
        struct {
            ULONG KernelTime;
            ULONG UserTime;
        };
        ULONG64 ProcessorTime;
        struct {
            ULONG ClientContext;
            ULONG Flags;
        };
    };
} EVENT_TRACE_HEADER, *PEVENT_TRACE_HEADER;
static_assert(sizeof(EVENT_TRACE_HEADER) == 48 && offsetof(EVENT_TRACE_HEADER, Class) == 4 &&
              offsetof(EVENT_TRACE_HEADER, TimeStamp) == 16 && offsetof(EVENT_TRACE_HEADER, Guid) == 24 &&
              offsetof(EVENT_TRACE_HEADER, Flags) == 44);

#define MAX_MOF_FIELDS 16
typedef struct _MOF_FIELD {
    ULONG64 DataPtr;
    ULONG Length;
    ULONG DataType;
} MOF_FIELD, *PMOF_FIELD;
static_assert(sizeof(MOF_FIELD) == 16);

typedef struct _TRACE_GUID_REGISTRATION {
    LPCGUID Guid;
    HANDLE RegHandle;
} TRACE_GUID_REGISTRATION, *PTRACE_GUID_REGISTRATION;
static_assert(sizeof(TRACE_GUID_REGISTRATION) == 16);

// A session that already enables the control GUID calls the callback with WMI_ENABLE_EVENTS before this
// returns. Results are Win32 error codes.
ULONG RegisterTraceGuidsA(WMIDPREQUEST requestAddress, PVOID requestContext, LPCGUID controlGuid, ULONG guidCount,
                          PTRACE_GUID_REGISTRATION traceGuidReg, LPCSTR mofImagePath, LPCSTR mofResourceName,
                          PTRACEHANDLE registrationHandle);
inline ULONG RegisterTraceGuids(WMIDPREQUEST requestAddress, PVOID requestContext, LPCGUID controlGuid, ULONG guidCount,
                                PTRACE_GUID_REGISTRATION traceGuidReg, LPCSTR mofImagePath, LPCSTR mofResourceName,
                                PTRACEHANDLE registrationHandle) {
    return RegisterTraceGuidsA(requestAddress, requestContext, controlGuid, guidCount, traceGuidReg, mofImagePath,
                               mofResourceName, registrationHandle);
}
ULONG UnregisterTraceGuids(TRACEHANDLE registrationHandle);
// From the buffer of an enable or disable request: the session's logger handle, or INVALID_PROCESSTRACE_HANDLE
// with ERROR_INVALID_HANDLE as last error.
TRACEHANDLE GetTraceLoggerHandle(PVOID buffer);
// 0 with ERROR_INVALID_HANDLE as last error for a handle that names no live session (the last error is left
// alone on success, so callers clear it first).
UCHAR GetTraceEnableLevel(TRACEHANDLE loggerHandle);
ULONG GetTraceEnableFlags(TRACEHANDLE loggerHandle);
// ERROR_INVALID_HANDLE when the session has ended; ERROR_INVALID_FLAG_NUMBER without WNODE_FLAG_TRACED_GUID.
ULONG TraceEvent(TRACEHANDLE loggerHandle, PEVENT_TRACE_HEADER eventTrace);
