// A test that starts from a clean kernel: pool totals, registry, namespace, clock, release and sinks reset.
#pragma once

#include <gtest/gtest.h>

#include "NtControl.h"
#include "NtIrql.h"
#include "NtRtlString.h"

class KernelTest : public ::testing::Test {
protected:
    void SetUp() override { nt::ResetKernelState(); }
    void TearDown() override {
        EXPECT_EQ(KeGetCurrentIrql(), PASSIVE_LEVEL) << "a test left its thread at a raised IRQL";
        nt::ResetKernelState();
    }
};

// Runs `body` at `irql` on the calling thread and comes back to the IRQL it had, whatever happens in body.
template <class Body> void AtIrql(KIRQL irql, Body body) {
    KIRQL old;
    KeRaiseIrql(irql, &old);
    try {
        body();
    } catch (...) {
        KeLowerIrql(old);
        throw;
    }
    KeLowerIrql(old);
}

// A counted string over a literal.
inline UNICODE_STRING U(const char16_t* text) {
    UNICODE_STRING s;
    RtlInitUnicodeString(&s, text);
    return s;
}
