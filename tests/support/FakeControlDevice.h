// A scripted stand-in for the capture driver's control device: a driver of its own, loaded under its own
// service, that creates a device linked as "\DosDevices\Tindaloft", so user mode opens it as "\\.\Tindaloft"
// exactly as it would open the driver's. It records every request and answers each control code from a
// script, including answers the real driver never gives.
//
// Answers, for a code:
// - a size queued with QueueSizeAnswer: a size query of a list code with a reply gets it, once;
// - a failure set with Fail: that status, nothing returned;
// - READ_LOG and READ_CLOG: the oldest queued block (QueueBlock, blocks made with RecordBuilder): a buffer
//   smaller than the block gives STATUS_BUFFER_TOO_SMALL and the block stays; no block gives success with
//   nothing returned;
// - any other code with queued blocks: the oldest, as for the log reads (so a run of requests of one code,
//   such as a probe and the request it sizes, can each get an answer of its own);
// - a reply set with Reply: the list codes and GET_MEMLOG follow the size-query convention (a 4-byte
//   buffer gets the reply's size as a u32); otherwise a buffer smaller than the reply gives
//   STATUS_BUFFER_TOO_SMALL, else the reply is copied and its size returned;
// - the two node lists, unless scripted: a list holding only its end entry;
// - anything else: success with nothing returned.
//
// One fake at a time. The kernel's state must be fresh (nt::ResetKernelState) before it is created.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <set>
#include <vector>

#include "ntdef.h"
#include "ntstatus.h"

namespace tdl::test {

struct FakeRequest {
    ULONG code = 0;
    std::vector<uint8_t> input; // the input buffer's bytes as the request carried them
    ULONG outputLength = 0;
    ULONG returned = 0; // bytes the fake returned
    NTSTATUS status = STATUS_SUCCESS;
};

class FakeControlDevice {
public:
    // Registers the fake's driver image and loads it.
    FakeControlDevice();
    // Unloads it (the device and its link go).
    ~FakeControlDevice();
    FakeControlDevice(const FakeControlDevice&) = delete;
    FakeControlDevice& operator=(const FakeControlDevice&) = delete;

    void Reply(ULONG code, std::vector<uint8_t> output);
    template <class T> void ReplyStruct(ULONG code, const T& output) {
        const auto* bytes = reinterpret_cast<const uint8_t*>(&output);
        Reply(code, std::vector<uint8_t>(bytes, bytes + sizeof output));
    }
    void Fail(ULONG code, NTSTATUS status);
    // The next size queries of a list code answer these sizes, one each in order, before the reply's own size:
    // a list that grows after its size was asked (a smaller size), or a reply shorter than the size (a larger
    // one).
    void QueueSizeAnswer(ULONG code, ULONG size);
    void QueueBlock(ULONG code, std::vector<uint8_t> block);

    std::vector<FakeRequest> Requests() const;
    void ClearRequests();

    // The size a size query of `code` is told, instead of the size of the reply set with Reply (a driver
    // whose log grew or shrank between the query and the fetch).
    void ReplySize(ULONG code, ULONG size);
    // Requests of `code` wait in the fake's dispatch routine, before they are recorded or answered, until
    // Release (a driver that no longer completes them). The destructor releases them too.
    void Stall(ULONG code);
    void Release();
    // Waits (in real time, at most 10 s) until a stalled request is held; FALSE when none came.
    bool WaitUntilHeld();
    // Called by the dispatch routine before Answer.
    void WaitWhileStalled(ULONG code);

    static constexpr char16_t kService[] = u"TindaloftFake";

    // Called by the fake's dispatch routine: records the request and answers it into `output`.
    NTSTATUS Answer(ULONG code, const uint8_t* input, ULONG inputLength, uint8_t* output, ULONG outputLength,
                    ULONG& returned);

private:
    mutable std::mutex m_lock;
    std::map<ULONG, std::deque<ULONG>> m_queuedSizes;
    std::vector<FakeRequest> m_requests;
    std::map<ULONG, std::vector<uint8_t>> m_replies;
    std::map<ULONG, NTSTATUS> m_failures;
    std::map<ULONG, std::deque<std::vector<uint8_t>>> m_blocks;
    std::map<ULONG, ULONG> m_sizeAnswers;
    std::mutex m_stallLock;
    std::condition_variable m_stallChanged;
    std::set<ULONG> m_stalled;
    int m_waiting = 0; // requests held in WaitWhileStalled
};

} // namespace tdl::test
