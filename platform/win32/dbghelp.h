// DbgHelp's minidump writer, as programs bind it at run time from "dbghelp" (LoadLibrary, GetProcAddress):
// a program without the module, or with one too old to export MiniDumpWriteDump, simply has no dumps.
#pragma once

#include <cstddef>

#include "WinExceptions.h"
#include "windef.h"

typedef enum _MINIDUMP_TYPE {
    MiniDumpNormal = 0x00000000,
    MiniDumpWithDataSegs = 0x00000001,
    MiniDumpWithFullMemory = 0x00000002,
    MiniDumpWithHandleData = 0x00000004,
} MINIDUMP_TYPE;

// The exception a dump records: the thread it was raised on and its pointers (ClientPointers: the pointers
// belong to the dumped process, not the caller). Packed to 4 bytes, as the module reads it.
#pragma pack(push, 4)
typedef struct _MINIDUMP_EXCEPTION_INFORMATION {
    DWORD ThreadId;
    PEXCEPTION_POINTERS ExceptionPointers;
    BOOL ClientPointers;
} MINIDUMP_EXCEPTION_INFORMATION, *PMINIDUMP_EXCEPTION_INFORMATION;
#pragma pack(pop)
static_assert(sizeof(MINIDUMP_EXCEPTION_INFORMATION) == 16 &&
              offsetof(MINIDUMP_EXCEPTION_INFORMATION, ExceptionPointers) == 4 &&
              offsetof(MINIDUMP_EXCEPTION_INFORMATION, ClientPointers) == 12);

// The export's type. The user-stream and callback parameters are accepted and not used by the stand-in.
typedef BOOL(WINAPI* MINIDUMPWRITEDUMP)(HANDLE hProcess, DWORD processId, HANDLE hFile, MINIDUMP_TYPE dumpType,
                                        const MINIDUMP_EXCEPTION_INFORMATION* exceptionParam,
                                        const void* userStreamParam, const void* callbackParam);
