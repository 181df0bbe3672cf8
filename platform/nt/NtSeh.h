// Structured exceptions. A raised exception is a C++ exception of type nt::SehException carrying the
// exception record; ExRaiseStatus and the probes throw it here, user mode's RaiseException throws the same
// type, and handlers catch it.
//
// __try / __except(filter) are provided for code written the platform's way:
//
//     __try {
//         ProbeForWrite(buffer, length, 1);
//     } __except (EXCEPTION_EXECUTE_HANDLER) {
//         return GetExceptionCode();
//     }
//
// The filter is evaluated after the guarded block has been left (C++ unwinds first); EXCEPTION_CONTINUE_SEARCH
// passes the exception on. GetExceptionCode() works in the filter and in the handler. Limits: a break or
// continue inside the guarded block leaves the __try statement itself, not an enclosing loop (use a flag or
// return); __finally and __leave are not provided; EXCEPTION_CONTINUE_EXECUTION is treated as
// EXCEPTION_EXECUTE_HANDLER. Bug checks (NtBugCheck) are not structured exceptions and pass through.
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

// The state of one __try statement (used by the macros below).
class SehFrame {
public:
    bool Pass() { return m_pass++ == 0 || (m_pass == 2 && m_caught); }
    bool Guarding() const { return m_pass == 1; }
    void Catch(const SehException& e);
    // Decides on the caught exception with the filter's value: true runs the handler; false rethrows it.
    bool Filter(int disposition);
    NTSTATUS Code() const { return m_record.ExceptionCode; }
    const EXCEPTION_RECORD& Record() const { return m_record; }

private:
    int m_pass = 0;
    bool m_caught = false;
    EXCEPTION_RECORD m_record{};
};

// The code of the exception last caught by a __try statement on this thread (for filter functions that are
// not written inside the __except expression).
NTSTATUS CurrentExceptionCode();

} // namespace nt

#ifndef __try
// A nested __try declares its own frame; the innermost one is meant, so its shadowing is not a mistake.
#define __try                                                                                                          \
    _Pragma("GCC diagnostic push") _Pragma("GCC diagnostic ignored \"-Wshadow\"") for (::nt::SehFrame tdlSehFrame;  \
                                                                                      tdlSehFrame.Pass();)             \
        _Pragma("GCC diagnostic pop") if (tdlSehFrame.Guarding()) try
#define __except(filter)                                                                                               \
    catch (const ::nt::SehException& tdlSehException) {                                                               \
        tdlSehFrame.Catch(tdlSehException);                                                                            \
    }                                                                                                                  \
    else if (tdlSehFrame.Filter(filter))
#endif
// Inside an __except filter or handler: the code of the exception it handles (the innermost __try's).
#define GetExceptionCode() (tdlSehFrame.Code())
#define _exception_code() GetExceptionCode()

[[noreturn]] void ExRaiseStatus(NTSTATUS Status);
[[noreturn]] void ExRaiseAccessViolation();
[[noreturn]] void ExRaiseDatatypeMisalignment();

// Raise STATUS_DATATYPE_MISALIGNMENT when Address is not a multiple of Alignment (1, 2, 4, 8 or 16) and
// STATUS_ACCESS_VIOLATION when [Address, Address + Length) is not valid memory (MmIsAddressValid's ranges) or
// wraps. A Length of 0 checks nothing.
void ProbeForRead(const volatile void* Address, SIZE_T Length, ULONG Alignment);
void ProbeForWrite(volatile void* Address, SIZE_T Length, ULONG Alignment);
