// Debug output and assertions of kernel code. DbgPrint formats with the platform's conversions (NtFormat.h)
// into the machine's debug sink (NtDebugControl.h); a failed ASSERT is a bug check naming the expression, so
// tests see it.
#pragma once

#include "NtBugCheck.h"
#include "ntdef.h"

#define DPFLTR_ERROR_LEVEL 0
#define DPFLTR_WARNING_LEVEL 1
#define DPFLTR_TRACE_LEVEL 2
#define DPFLTR_INFO_LEVEL 3
#define DPFLTR_IHVDRIVER_ID 77

// No printf format checking: the conventions are the platform's, not the host's (%lx is 32 bits, %wZ ...).
ULONG DbgPrint(PCSTR Format, ...);
ULONG DbgPrintEx(ULONG ComponentId, ULONG Level, PCSTR Format, ...);
void DbgBreakPoint(); // no debugger is attached: nothing happens

#define KdPrint(args) DbgPrint args
#define KdPrintEx(args) DbgPrintEx args
#define KdBreakPoint() DbgBreakPoint()

namespace nt {
[[noreturn]] void AssertionFailed(const char* expression, const char* file, int line, const char* message);
} // namespace nt

#define ASSERT(exp) ((exp) ? (void)0 : ::nt::AssertionFailed(#exp, __FILE__, __LINE__, nullptr))
#define ASSERTMSG(msg, exp) ((exp) ? (void)0 : ::nt::AssertionFailed(#exp, __FILE__, __LINE__, (msg)))
#define NT_ASSERT(exp) ASSERT(exp)
#define NT_VERIFY(exp) ((exp) ? TRUE : (::nt::AssertionFailed(#exp, __FILE__, __LINE__, nullptr), FALSE))
