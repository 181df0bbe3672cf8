// Structured exceptions in user mode, and the debugger's output.
//
// RaiseException throws nt::SehException (NtSeh.h), the one type kernel and user mode share. Callers catch it
// the platform's way, with the filter that accepts every code:
//
//     __try {
//         RaiseException(0xA0000009, EXCEPTION_NONCONTINUABLE, 0, nullptr);
//     } __except (EXCEPTION_EXECUTE_HANDLER) {
//         m_dwThreadError = GetExceptionCode();
//     }
//
// A handler that wants only some codes tests GetExceptionCode() and passes the others on with `throw;`. In
// plain C++ the same is catch (const nt::SehException& e) { ... e.Code() ... }. Execution never continues at
// the point of the raise (no EXCEPTION_CONTINUE_EXECUTION), and faults of the processor (access violations)
// are not exceptions here.
//
// Nothing here catches what escapes: a program's top level (its entry point, a thread created by CreateThread)
// hands an escaped exception to UnhandledExceptionFilter, which runs the filter the program installed with
// SetUnhandledExceptionFilter. win32::ReportUnhandledException does that for a caught nt::SehException.
#pragma once

#include "NtSeh.h"
#include "windef.h"

// The processor state at the exception. The stand-in records none (all zero); the layout is the x64 one so
// that it can be handed on to a dump writer.
typedef struct alignas(16) _CONTEXT {
    DWORD64 P1Home, P2Home, P3Home, P4Home, P5Home, P6Home;
    DWORD ContextFlags;
    DWORD MxCsr;
    WORD SegCs, SegDs, SegEs, SegFs, SegGs, SegSs;
    DWORD EFlags;
    DWORD64 Dr0, Dr1, Dr2, Dr3, Dr6, Dr7;
    DWORD64 Rax, Rcx, Rdx, Rbx, Rsp, Rbp, Rsi, Rdi, R8, R9, R10, R11, R12, R13, R14, R15;
    DWORD64 Rip;
    BYTE ExtendedState[0x3D0]; // floating-point, vector and debug-control registers
} CONTEXT, *PCONTEXT;
static_assert(sizeof(CONTEXT) == 1232 && offsetof(CONTEXT, ContextFlags) == 0x30 && offsetof(CONTEXT, Rip) == 0xF8);

typedef struct _EXCEPTION_POINTERS {
    PEXCEPTION_RECORD ExceptionRecord;
    PCONTEXT ContextRecord;
} EXCEPTION_POINTERS, *PEXCEPTION_POINTERS;

typedef LONG(WINAPI* PTOP_LEVEL_EXCEPTION_FILTER)(PEXCEPTION_POINTERS exceptionInfo);
typedef PTOP_LEVEL_EXCEPTION_FILTER LPTOP_LEVEL_EXCEPTION_FILTER;

// At most EXCEPTION_MAXIMUM_PARAMETERS arguments are kept.
[[noreturn]] void RaiseException(DWORD exceptionCode, DWORD exceptionFlags, DWORD numberOfArguments,
                                 const ULONG_PTR* arguments);
// Installs the process's filter for exceptions nothing handled; returns the previous one.
LPTOP_LEVEL_EXCEPTION_FILTER SetUnhandledExceptionFilter(LPTOP_LEVEL_EXCEPTION_FILTER filter);
// Runs the installed filter (EXCEPTION_CONTINUE_SEARCH when there is none) and returns its answer.
LONG UnhandledExceptionFilter(PEXCEPTION_POINTERS exceptionInfo);

// Into the machine's debugger output (WinDebugControl.h).
void OutputDebugStringA(LPCSTR outputString);
void OutputDebugStringW(LPCWSTR outputString);
inline void OutputDebugString(LPCSTR outputString) {
    OutputDebugStringA(outputString);
}
BOOL IsDebuggerPresent();

namespace win32 {
// The top level's part: hands the exception (with an empty context) to UnhandledExceptionFilter.
LONG ReportUnhandledException(const nt::SehException& exception);
} // namespace win32
