#include <atomic>
#include <thread>
#include <vector>

#include "KernelTest.h"
#include "wdm.h"

namespace {

using IrqlTest = KernelTest;

void PassiveOnlyRoutine() {
    PASSIVE_CODE();
}
void PageableRoutine() {
    PAGED_CODE();
}

ULONG BugCheckCodeOf(auto&& call) {
    try {
        call();
    } catch (const NtBugCheck& stop) {
        return stop.Code();
    }
    return 0xFFFFFFFF;
}

TEST_F(IrqlTest, RaiseToDpcRaisesAndReleaseRestoresThePreviousLevel) {
    for (KIRQL start : {KIRQL{PASSIVE_LEVEL}, KIRQL{APC_LEVEL}, KIRQL{DISPATCH_LEVEL}}) {
        KIRQL entry;
        KeRaiseIrql(start, &entry);
        KSPIN_LOCK lock;
        KeInitializeSpinLock(&lock);
        KIRQL old = KeAcquireSpinLockRaiseToDpc(&lock);
        EXPECT_EQ(old, start);
        EXPECT_EQ(KeGetCurrentIrql(), DISPATCH_LEVEL);
        EXPECT_TRUE(KeTestSpinLock(&lock));
        KeReleaseSpinLock(&lock, old);
        EXPECT_EQ(KeGetCurrentIrql(), start);
        EXPECT_FALSE(KeTestSpinLock(&lock));
        KeLowerIrql(entry);
    }
}

TEST_F(IrqlTest, InStackQueuedLockKeepsTheOldIrqlInItsHandle) {
    KSPIN_LOCK lock;
    KeInitializeSpinLock(&lock);
    KLOCK_QUEUE_HANDLE handle;
    KeAcquireInStackQueuedSpinLock(&lock, &handle);
    EXPECT_EQ(KeGetCurrentIrql(), DISPATCH_LEVEL);
    KeReleaseInStackQueuedSpinLock(&handle);
    EXPECT_EQ(KeGetCurrentIrql(), PASSIVE_LEVEL);
}

TEST_F(IrqlTest, PassiveOnlyRoutinesFailTheirAssertionAboveTheirLevel) {
    EXPECT_EQ(BugCheckCodeOf([] { AtIrql(DISPATCH_LEVEL, PassiveOnlyRoutine); }), ULONG{IRQL_NOT_LESS_OR_EQUAL});
    EXPECT_EQ(BugCheckCodeOf([] { AtIrql(APC_LEVEL, PassiveOnlyRoutine); }), ULONG{IRQL_NOT_LESS_OR_EQUAL});
    EXPECT_EQ(BugCheckCodeOf([] { AtIrql(DISPATCH_LEVEL, PageableRoutine); }), ULONG{IRQL_NOT_LESS_OR_EQUAL});
    EXPECT_NO_THROW(AtIrql(APC_LEVEL, PageableRoutine));
    EXPECT_NO_THROW(PassiveOnlyRoutine());

    // The kernel's own PASSIVE_LEVEL routines check the same way.
    UNICODE_STRING name = RTL_CONSTANT_STRING(u"\\Registry\\Machine");
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &name, OBJ_CASE_INSENSITIVE, nullptr, nullptr);
    HANDLE key = nullptr;
    try {
        AtIrql(DISPATCH_LEVEL, [&] { ZwOpenKey(&key, KEY_READ, &attributes); });
        FAIL() << "ZwOpenKey at DISPATCH_LEVEL did not stop";
    } catch (const NtBugCheck& stop) {
        EXPECT_EQ(stop.Code(), ULONG{IRQL_NOT_LESS_OR_EQUAL});
        EXPECT_NE(stop.Text().find("ZwOpenKey"), std::string::npos) << stop.Text();
    }
}

TEST_F(IrqlTest, BrokenIrqlAndLockRulesStopTheMachine) {
    KSPIN_LOCK lock;
    KeInitializeSpinLock(&lock);
    struct Case {
        const char* what;
        std::function<void()> call;
        ULONG code;
    };
    const Case cases[] = {
        {"raise below the current level",
         [] {
             AtIrql(DISPATCH_LEVEL, [] {
                 KIRQL o;
                 KeRaiseIrql(APC_LEVEL, &o);
             });
         },
         IRQL_NOT_GREATER_OR_EQUAL},
        {"lower above the current level", [] { KeLowerIrql(DISPATCH_LEVEL); }, IRQL_NOT_LESS_OR_EQUAL},
        {"acquire a held lock again",
         [&] {
             KIRQL old = KeAcquireSpinLockRaiseToDpc(&lock);
             try {
                 KeAcquireSpinLockAtDpcLevel(&lock);
             } catch (...) {
                 KeReleaseSpinLock(&lock, old);
                 throw;
             }
         },
         SPIN_LOCK_ALREADY_OWNED},
        {"release a lock not held", [&] { AtIrql(DISPATCH_LEVEL, [&] { KeReleaseSpinLockFromDpcLevel(&lock); }); },
         SPIN_LOCK_NOT_OWNED},
        {"AtDpcLevel acquire at PASSIVE_LEVEL", [&] { KeAcquireSpinLockAtDpcLevel(&lock); }, IRQL_NOT_GREATER_OR_EQUAL},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(BugCheckCodeOf(c.call), c.code) << c.what;
        EXPECT_EQ(KeGetCurrentIrql(), PASSIVE_LEVEL) << c.what;
    }
}

TEST_F(IrqlTest, ContendingThreadsNeverInterleaveInsideTheLock) {
    KSPIN_LOCK lock;
    KeInitializeSpinLock(&lock);
    std::atomic<int> inside{0};
    std::atomic<bool> overlapped{false};
    long long counter = 0; // plain on purpose: only the lock protects it
    constexpr int kThreads = 4;
    constexpr int kRounds = 20000;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < kRounds; ++i) {
                KIRQL old = KeAcquireSpinLockRaiseToDpc(&lock);
                if (inside.fetch_add(1) != 0) {
                    overlapped = true;
                }
                counter += 1;
                inside.fetch_sub(1);
                KeReleaseSpinLock(&lock, old);
                EXPECT_EQ(KeGetCurrentIrql(), PASSIVE_LEVEL);
            }
        });
    }
    for (auto& t : threads) {
        t.join();
    }
    EXPECT_FALSE(overlapped);
    EXPECT_EQ(counter, kThreads * kRounds);
}

TEST_F(IrqlTest, EachThreadHasItsOwnIrql) {
    KIRQL old;
    KeRaiseIrql(DISPATCH_LEVEL, &old);
    KIRQL seen = 0xFF;
    std::thread([&] { seen = KeGetCurrentIrql(); }).join();
    KeLowerIrql(old);
    EXPECT_EQ(seen, PASSIVE_LEVEL);
}

} // namespace
