#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

#include "KernelTest.h"
#include "wdm.h"

namespace {

using ListTest = KernelTest;

struct Item {
    int value;
    LIST_ENTRY link;
};

std::vector<int> Values(LIST_ENTRY& head) {
    std::vector<int> values;
    for (PLIST_ENTRY e = head.Flink; e != &head; e = e->Flink) {
        values.push_back(CONTAINING_RECORD(e, Item, link)->value);
    }
    return values;
}

TEST_F(ListTest, DoublyLinkedListKeepsOrderAndTellsWhenItEmpties) {
    LIST_ENTRY head;
    InitializeListHead(&head);
    EXPECT_TRUE(IsListEmpty(&head));
    Item a{1, {}}, b{2, {}}, c{3, {}};
    InsertTailList(&head, &b.link);
    InsertTailList(&head, &c.link);
    InsertHeadList(&head, &a.link);
    EXPECT_EQ(Values(head), (std::vector<int>{1, 2, 3}));

    EXPECT_FALSE(RemoveEntryList(&b.link));
    EXPECT_EQ(Values(head), (std::vector<int>{1, 3}));
    EXPECT_EQ(RemoveHeadList(&head), &a.link);
    EXPECT_EQ(RemoveTailList(&head), &c.link);
    EXPECT_TRUE(IsListEmpty(&head));
    EXPECT_EQ(RemoveHeadList(&head), &head) << "an empty list gives back its head";
}

TEST_F(ListTest, CorruptedLinksStopInsteadOfSpreading) {
    LIST_ENTRY head;
    InitializeListHead(&head);
    Item a{1, {}}, b{2, {}};
    InsertTailList(&head, &a.link);
    InsertTailList(&head, &b.link);
    b.link.Blink = &head; // a stray write
    try {
        RemoveEntryList(&b.link);
        FAIL() << "removal through a broken link went unnoticed";
    } catch (const NtBugCheck& stop) {
        EXPECT_EQ(stop.Code(), ULONG{KERNEL_SECURITY_CHECK_FAILURE});
    }
}

TEST_F(ListTest, InterlockedListHelpersReturnThePreviousEnds) {
    KSPIN_LOCK lock;
    KeInitializeSpinLock(&lock);
    LIST_ENTRY head;
    InitializeListHead(&head);
    Item a{1, {}}, b{2, {}};
    EXPECT_EQ(ExInterlockedInsertTailList(&head, &a.link, &lock), nullptr);
    EXPECT_EQ(ExInterlockedInsertHeadList(&head, &b.link, &lock), &a.link);
    EXPECT_EQ(ExInterlockedRemoveHeadList(&head, &lock), &b.link);
    EXPECT_EQ(ExInterlockedRemoveHeadList(&head, &lock), &a.link);
    EXPECT_EQ(ExInterlockedRemoveHeadList(&head, &lock), nullptr);
    EXPECT_EQ(KeGetCurrentIrql(), PASSIVE_LEVEL);
}

struct alignas(16) Node {
    SLIST_ENTRY entry;
    int value;
};

TEST_F(ListTest, SListIsLastInFirstOutWithItsDepth) {
    SLIST_HEADER head;
    InitializeSListHead(&head);
    Node nodes[3] = {{{}, 1}, {{}, 2}, {{}, 3}};
    EXPECT_EQ(InterlockedPushEntrySList(&head, &nodes[0].entry), nullptr);
    EXPECT_EQ(InterlockedPushEntrySList(&head, &nodes[1].entry), &nodes[0].entry);
    InterlockedPushEntrySList(&head, &nodes[2].entry);
    EXPECT_EQ(ExQueryDepthSList(&head), 3);
    EXPECT_EQ(InterlockedPopEntrySList(&head), &nodes[2].entry);
    EXPECT_EQ(ExQueryDepthSList(&head), 2);

    PSLIST_ENTRY chain = InterlockedFlushSList(&head);
    EXPECT_EQ(ExQueryDepthSList(&head), 0);
    ASSERT_EQ(chain, &nodes[1].entry);
    EXPECT_EQ(chain->Next, &nodes[0].entry);
    EXPECT_EQ(chain->Next->Next, nullptr);
    EXPECT_EQ(InterlockedPopEntrySList(&head), nullptr);
}

TEST_F(ListTest, SListLosesNothingUnderConcurrentPushAndPop) {
    SLIST_HEADER head;
    InitializeSListHead(&head);
    constexpr int kThreads = 4;
    constexpr int kPerThread = 2000;
    std::vector<Node> nodes(kThreads * kPerThread);
    std::vector<std::atomic<int>> popped(nodes.size());
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kPerThread; ++i) {
                Node& n = nodes[static_cast<size_t>(t * kPerThread + i)];
                n.value = t * kPerThread + i;
                InterlockedPushEntrySList(&head, &n.entry);
                if (i % 2 == 1) { // take one back now and then, while others push
                    PSLIST_ENTRY e = InterlockedPopEntrySList(&head);
                    ASSERT_NE(e, nullptr);
                    popped[static_cast<size_t>(CONTAINING_RECORD(e, Node, entry)->value)]++;
                }
            }
        });
    }
    for (auto& t : threads) {
        t.join();
    }
    EXPECT_EQ(ExQueryDepthSList(&head), kThreads * kPerThread / 2);
    while (PSLIST_ENTRY e = InterlockedPopEntrySList(&head)) {
        popped[static_cast<size_t>(CONTAINING_RECORD(e, Node, entry)->value)]++;
    }
    EXPECT_TRUE(std::all_of(popped.begin(), popped.end(), [](const std::atomic<int>& n) { return n == 1; }))
        << "every entry comes off exactly once";
}

TEST_F(ListTest, MisalignedSListEntryIsRefused) {
    SLIST_HEADER head;
    InitializeSListHead(&head);
    alignas(16) UCHAR storage[48];
    EXPECT_THROW(InterlockedPushEntrySList(&head, reinterpret_cast<PSLIST_ENTRY>(storage + 8)), NtBugCheck);
}

TEST_F(ListTest, InterlockedCompareExchangeReturnsTheValueItFound) {
    LONG v = 5;
    EXPECT_EQ(InterlockedCompareExchange(&v, 9, 4), 5);
    EXPECT_EQ(v, 5);
    EXPECT_EQ(InterlockedCompareExchange(&v, 9, 5), 5);
    EXPECT_EQ(v, 9);
    EXPECT_EQ(InterlockedExchangeAdd(&v, 3), 9);
    EXPECT_EQ(InterlockedDecrement(&v), 11);
}

} // namespace
