// Bug checks. A stop error ends the machine; here it throws NtBugCheck, a type of its own that no __except
// site catches, so a fault in a test fails that test with the stop code and its parameters, and a test that
// expects a stop can catch it (EXPECT_THROW(..., NtBugCheck)).
#pragma once

#include <exception>
#include <string>

#include "ntdef.h"

// Stop codes the stand-in raises.
#define IRQL_NOT_GREATER_OR_EQUAL 0x00000009
#define IRQL_NOT_LESS_OR_EQUAL 0x0000000A
#define SPIN_LOCK_ALREADY_OWNED 0x0000000F
#define SPIN_LOCK_NOT_OWNED 0x00000010
#define PAGE_FAULT_IN_NONPAGED_AREA 0x00000050
#define BAD_POOL_HEADER 0x00000019
#define DRIVER_IRQL_NOT_LESS_OR_EQUAL 0x000000D1
#define BAD_POOL_CALLER 0x000000C2
#define MULTIPLE_IRP_COMPLETE_REQUESTS 0x00000044
#define NO_MORE_IRP_STACK_LOCATIONS 0x00000035
#define INVALID_PROCESS_ATTACH_ATTEMPT 0x00000005
#define KERNEL_SECURITY_CHECK_FAILURE 0x00000139
#define DRIVER_VERIFIER_DETECTED_VIOLATION 0x000000C4
#define MANUALLY_INITIATED_CRASH 0x000000E2
#define ASSERTION_FAILURE 0x00000000 // a failed ASSERT; not a real stop code, the text tells what failed

class NtBugCheck : public std::exception {
public:
    NtBugCheck(ULONG code, ULONG_PTR p1, ULONG_PTR p2, ULONG_PTR p3, ULONG_PTR p4, std::string text);

    ULONG Code() const { return m_code; }
    ULONG_PTR Parameter(int index) const { return m_parameters[index - 1]; } // 1..4, as the platform numbers them
    const std::string& Text() const { return m_text; }
    const char* what() const noexcept override { return m_what.c_str(); }

private:
    ULONG m_code;
    ULONG_PTR m_parameters[4];
    std::string m_text;
    std::string m_what;
};

[[noreturn]] void KeBugCheckEx(ULONG BugCheckCode, ULONG_PTR BugCheckParameter1, ULONG_PTR BugCheckParameter2,
                               ULONG_PTR BugCheckParameter3, ULONG_PTR BugCheckParameter4);
[[noreturn]] void KeBugCheck(ULONG BugCheckCode);

namespace nt {
// A stop with a description of what went wrong (the routine and the rule broken), for the stand-in's own checks.
[[noreturn]] void BugCheck(ULONG code, const std::string& text, ULONG_PTR p1 = 0, ULONG_PTR p2 = 0, ULONG_PTR p3 = 0,
                           ULONG_PTR p4 = 0);
} // namespace nt
