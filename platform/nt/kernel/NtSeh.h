// Structured exceptions. A raised exception is a C++ exception of type nt::SehException carrying the
// exception record; ExRaiseStatus and the probes throw it here, user mode's RaiseException throws the same
// type, and handlers catch it.
//
// __try / __except are provided for code written the platform's way:
//
//     __try {
//         ProbeForWrite(buffer, length, 1);
//     } __except (EXCEPTION_EXECUTE_HANDLER) {
//         return GetExceptionCode();
//     }
//
// __try is the C++ try (the host's C++ library already defines it so) and __except catches SehException.
// C++ picks a handler by type, not by running a filter, so the filter must be the constant
// EXCEPTION_EXECUTE_HANDLER (anything else does not compile); a handler that wants only some codes tests
// GetExceptionCode() and raises the others again with ExRaiseStatus. GetExceptionCode() works inside the
// handler. __finally and __leave are not provided. Bug checks (NtBugCheck) are not structured exceptions and
// pass through every handler.
#pragma once

#include <exception>
#include <string>

#include "ntdef.h"
#include "ntstatus.h"

#define EXCEPTION_MAXIMUM_PARAMETERS 15
#define EXCEPTION_NONCONTINUABLE 0x1
#define EXCEPTION_EXECUTE_HANDLER 1
#define EXCEPTION_CONTINUE_SEARCH 0
#define EXCEPTION_CONTINUE_EXECUTION (-1)

typedef struct _EXCEPTION_RECORD {
    NTSTATUS ExceptionCode;
    ULONG ExceptionFlags;
    struct _EXCEPTION_RECORD* ExceptionRecord;
    PVOID ExceptionAddress;
    ULONG NumberParameters;
    ULONG_PTR ExceptionInformation[EXCEPTION_MAXIMUM_PARAMETERS];
} EXCEPTION_RECORD, *PEXCEPTION_RECORD;
static_assert(sizeof(EXCEPTION_RECORD) == 152 && offsetof(EXCEPTION_RECORD, ExceptionInformation) == 32);

namespace nt {

class SehException : public std::exception {
public:
    explicit SehException(NTSTATUS code, ULONG flags = 0, ULONG numberParameters = 0,
                          const ULONG_PTR* parameters = nullptr, PVOID address = nullptr);
    explicit SehException(const EXCEPTION_RECORD& record);

    NTSTATUS Code() const { return m_record.ExceptionCode; }
    const EXCEPTION_RECORD& Record() const { return m_record; }
    const char* what() const noexcept override { return m_what.c_str(); }

private:
    EXCEPTION_RECORD m_record;
    std::string m_what;
};

// The handler type __except catches; only EXCEPTION_EXECUTE_HANDLER is a filter C++ can honour.
template <int Filter> struct SehHandlerFor {
    static_assert(Filter == EXCEPTION_EXECUTE_HANDLER,
                  "__except takes EXCEPTION_EXECUTE_HANDLER only: test GetExceptionCode() in the handler and raise "
                  "the codes it does not handle again");
    using Type = SehException;
};

} // namespace nt

#ifndef __try
#define __try try
#endif
// clang-format reads __except as a keyword and would put a space before "(filter)", turning the macro into one
// without parameters.
// clang-format off
#define __except(filter) catch (const ::nt::SehHandlerFor<(filter)>::Type& tdlSehException)
// clang-format on
// Inside an __except handler: the code of the exception it handles.
#define GetExceptionCode() (tdlSehException.Code())
#define _exception_code() GetExceptionCode()

[[noreturn]] void ExRaiseStatus(NTSTATUS Status);
[[noreturn]] void ExRaiseAccessViolation();
[[noreturn]] void ExRaiseDatatypeMisalignment();

// Raise STATUS_DATATYPE_MISALIGNMENT when Address is not a multiple of Alignment (1, 2, 4, 8 or 16) and
// STATUS_ACCESS_VIOLATION when [Address, Address + Length) is not valid memory (MmIsAddressValid's ranges) or
// wraps. A Length of 0 checks nothing.
void ProbeForRead(const volatile void* Address, SIZE_T Length, ULONG Alignment);
void ProbeForWrite(volatile void* Address, SIZE_T Length, ULONG Alignment);
