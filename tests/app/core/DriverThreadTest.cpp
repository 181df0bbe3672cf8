// The capture thread against the scripted control device: what it asks of the driver at a start, while it
// reads and at the stop, where the bytes land, and how each failure of the start ends (a message, no
// logging, no wait without end, no handle left open).
#include "app/core/capture/DriverThread.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

#include "NtClock.h"

#include "AfxMemoryControl.h"
#include "NtControl.h"
#include "NtPnpControl.h"
#include "WinFailureControl.h"
#include "WinHandles.h"
#include "WinUiControl.h"
#include "app/core/document/USBLog.h"
#include "app/core/records/LogRecords.h"
#include "app/core/settings/AppSettings.h"
#include "app/devices/AttachedDevices.h"
#include "app/devices/DeviceObject.h"
#include "common/ControlCodes.h"
#include "common/NodeEntries.h"
#include "common/RecordTags.h"
#include "tests/support/FakeControlDevice.h"
#include "tests/support/RecordBuilder.h"

namespace {

using tdl::test::FakeControlDevice;
using tdl::test::FakeRequest;

std::vector<uint8_t> BlockOf(ULONG first, int count) {
    std::vector<uint8_t> block;
    for (int i = 0; i < count; ++i) {
        tdl::test::RecordBuilder builder(LogTag::urbI);
        builder.Sequence(first + static_cast<ULONG>(i));
        tdl::test::AppendRecord(block, builder.Build());
    }
    return block;
}

std::vector<ULONG> Codes(const std::vector<FakeRequest>& requests) {
    std::vector<ULONG> codes;
    for (const FakeRequest& request : requests)
        codes.push_back(request.code);
    return codes;
}

std::vector<std::string> MessageTexts() {
    std::vector<std::string> texts;
    for (const win32::ModalRequest& request : win32::ModalRequests())
        if (request.kind == win32::ModalKind::MessageBox)
            texts.push_back(request.text);
    return texts;
}

class DriverThreadTest : public testing::Test {
protected:
    void SetUp() override {
        nt::ResetKernelState();
        win32::ClearModalRequests();
        m_fake = std::make_unique<FakeControlDevice>();
        m_doc = std::make_unique<CUSBLog>();
        ASSERT_TRUE(m_doc->GetLogRecords()->CreateBuffer(1 << 16, 0));
        m_settings.BackgroundLogging = false;
        m_settings.AutoEnable = true;
        m_doc->SetSettings(&m_settings);
    }
    void TearDown() override {
        m_doc.reset();
        m_fake.reset();
        win32::ClearCallFailures();
        win32::ClearModalRequests();
        nt::pnp::Shutdown();
    }

    // The bytes written into the current bank so far.
    DWORD BytesInBank() {
        BYTE* pointer = nullptr;
        DWORD left = 0;
        m_doc->GetLogRecords()->GetWriteSpace(pointer, left);
        return (1u << 16) - left;
    }

    CAppSettings m_settings;
    std::unique_ptr<FakeControlDevice> m_fake;
    std::unique_ptr<CUSBLog> m_doc;
};

TEST_F(DriverThreadTest, StartReadsAndStopAskTheDriverInOrder) {
    for (const bool autoEnable : {true, false}) {
        SCOPED_TRACE(autoEnable ? "AutoEnable" : "no AutoEnable");
        m_settings.AutoEnable = autoEnable;
        // One loggable device object, not selected: its entry goes out with the capture-off flag.
        DEVICE_NODE node{};
        node.Header = {NODE_KIND_DEVICE, DEVICE_NODE_SIZE};
        node.DeviceObject = 0xFFFFFA8003C5E060ULL;
        node.StatusFlags = DEVOBJ_HOOKED | DEVOBJ_SELECTED;
        CDeviceObject* device = nullptr;
        if (m_doc->GetAttachedDevices()->GetCount() == 0)
            ASSERT_TRUE(m_doc->GetAttachedDevices()->AddDeviceObject(node, device));
        node.StatusFlags |= DEVOBJ_CAPTURE_OFF;
        std::vector<BYTE> list(2 * DEVICE_NODE_SIZE, 0);
        std::memcpy(list.data(), &node, sizeof node);
        list[DEVICE_NODE_SIZE + 2] = NODE_END_SIZE;
        m_fake->ClearRequests();
        const std::vector<uint8_t> first = BlockOf(1, 3);
        const std::vector<uint8_t> second = BlockOf(4, 2);
        const DWORD before = BytesInBank();

        m_doc->EnableLogging();
        ASSERT_TRUE(m_doc->IsLogging());
        m_fake->QueueBlock(IOCTL_TINDALOFT_READ_LOG, first);
        m_fake->QueueBlock(IOCTL_TINDALOFT_READ_LOG, second);
        m_doc->DisableLogging();
        EXPECT_FALSE(m_doc->IsLogging());
        EXPECT_EQ(m_doc->GetDriverThread(), nullptr);

        const std::vector<FakeRequest> requests = m_fake->Requests();
        const std::vector<ULONG> codes = Codes(requests);
        ASSERT_GE(codes.size(), 7u);
        EXPECT_EQ(codes[0], IOCTL_TINDALOFT_CLR_REGNODES);
        EXPECT_EQ(codes[1], IOCTL_TINDALOFT_SET_DEVOBJ_FLAGS);
        EXPECT_EQ(requests[1].input, std::vector<uint8_t>(list.begin(), list.end()));
        EXPECT_EQ(codes[2], IOCTL_TINDALOFT_CLEAR_LOG);
        EXPECT_EQ(codes[3], IOCTL_TINDALOFT_ENABLE_LOG);
        const std::vector<uint8_t> enable = {static_cast<uint8_t>(autoEnable ? 1 : 0), 0, 0, 0};
        EXPECT_EQ(requests[3].input, enable);
        // Reads until the driver has nothing left (both blocks, then an empty answer), then the disable.
        for (size_t i = 4; i + 1 < codes.size(); ++i)
            EXPECT_EQ(codes[i], IOCTL_TINDALOFT_READ_LOG) << i;
        EXPECT_EQ(codes.back(), IOCTL_TINDALOFT_DISABLE_LOG);
        EXPECT_EQ(requests[requests.size() - 2].returned, 0u);
        // Bytes land at the write pointer, one block after the other.
        EXPECT_EQ(BytesInBank() - before, first.size() + second.size());
    }
}

TEST_F(DriverThreadTest, BackgroundLoggingIndexesOnTheCaptureThread) {
    m_settings.BackgroundLogging = true;
    m_doc->EnableLogging();
    ASSERT_TRUE(m_doc->IsLogging());
    m_fake->QueueBlock(IOCTL_TINDALOFT_READ_LOG, BlockOf(1, 4));
    m_fake->QueueBlock(IOCTL_TINDALOFT_READ_LOG, BlockOf(5, 3));
    m_doc->DisableLogging();
    EXPECT_EQ(m_doc->GetLogRecords()->GetCount(), 7);
    EXPECT_EQ(m_doc->GetSequenceGapCount(), 0u);
}

// Waits (bounded) until the thread has shown a message.
bool WaitForMessage() {
    for (int i = 0; i < 500 && MessageTexts().empty(); ++i)
        ::Sleep(10);
    return !MessageTexts().empty();
}

TEST_F(DriverThreadTest, ReadErrorEndsTheSessionWithItsMessage) {
    m_settings.BackgroundLogging = true;
    win32::QueueModalAnswer(win32::ModalKind::MessageBox, IDOK, "Error while reading log");
    m_fake->Fail(IOCTL_TINDALOFT_READ_LOG, STATUS_UNSUCCESSFUL);
    m_doc->EnableLogging();
    ASSERT_TRUE(m_doc->IsLogging());
    ASSERT_TRUE(WaitForMessage());
    m_doc->DisableLogging();
    EXPECT_EQ(MessageTexts(), std::vector<std::string>{"Error while reading log. Session is ending."});
    // The thread ended on the error: no disable request.
    EXPECT_EQ(Codes(m_fake->Requests()).back(), IOCTL_TINDALOFT_READ_LOG);
}

TEST_F(DriverThreadTest, BlockLargerThanTheSpaceLeftIsAFullBuffer) {
    win32::QueueModalAnswer(win32::ModalKind::MessageBox, IDOK, "buffer is full");
    m_fake->QueueBlock(IOCTL_TINDALOFT_READ_LOG, std::vector<uint8_t>((1 << 16) + 68, 0));
    m_doc->EnableLogging();
    ASSERT_TRUE(WaitForMessage());
    m_doc->DisableLogging();
    EXPECT_EQ(MessageTexts(), std::vector<std::string>{"USB event capture buffer is full. Session ending."});
    EXPECT_EQ(BytesInBank(), 0u);
    EXPECT_EQ(Codes(m_fake->Requests()).back(), IOCTL_TINDALOFT_DISABLE_LOG);
}

TEST_F(DriverThreadTest, NoSpaceLeftSendsNoReadAndShowsNothingInBackground) {
    m_settings.BackgroundLogging = true;
    m_doc->GetLogRecords()->AdvanceWrite(1 << 16);
    m_doc->EnableLogging();
    ASSERT_TRUE(m_doc->IsLogging());
    m_doc->DisableLogging();
    for (ULONG code : Codes(m_fake->Requests()))
        EXPECT_NE(code, IOCTL_TINDALOFT_READ_LOG);
    EXPECT_TRUE(MessageTexts().empty());
}

TEST_F(DriverThreadTest, PendingRegistryClearIsASuccess) {
    // The thread's first request is the registry clear.
    win32::FailCalls({"DeviceIoControl", ERROR_IO_PENDING, 0, 1});
    m_doc->EnableLogging();
    EXPECT_TRUE(m_doc->IsLogging());
    m_doc->DisableLogging();
    EXPECT_TRUE(MessageTexts().empty());
}

TEST_F(DriverThreadTest, AttachingToABootCaptureClearsAndEnablesNothing) {
    CDriverThread thread("\\\\.\\Tindaloft", m_doc.get());
    HANDLE start = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    thread.SetStopEvent(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
    thread.SetStartEvent(start);
    m_fake->QueueBlock(IOCTL_TINDALOFT_READ_LOG, BlockOf(1, 2));
    CWinThread* worker =
        AfxBeginThread(&CDriverThread::AttachThreadProc, &thread, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
    ASSERT_NE(worker, nullptr);
    worker->m_bAutoDelete = FALSE;
    worker->ResumeThread();
    ASSERT_EQ(::WaitForSingleObject(start, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(thread.GetStartStatus(), 0u);
    ::SetEvent(thread.GetStopEvent());
    ::WaitForSingleObject(worker->m_hThread, INFINITE);
    delete worker;
    ::CloseHandle(start);
    const std::vector<ULONG> codes = Codes(m_fake->Requests());
    ASSERT_FALSE(codes.empty());
    for (size_t i = 0; i + 1 < codes.size(); ++i)
        EXPECT_EQ(codes[i], IOCTL_TINDALOFT_READ_LOG) << i;
    EXPECT_EQ(codes.back(), IOCTL_TINDALOFT_DISABLE_LOG);
    EXPECT_EQ(BytesInBank(), BlockOf(1, 2).size());
}

struct StartFailure {
    const char* name;
    std::function<void(FakeControlDevice*&, CUSBLog&)> arrange;
    const char* message;
};

TEST_F(DriverThreadTest, StartFailuresShowTheirMessageAndLeaveNothingRunning) {
    const auto fail = [](ULONG code) {
        return [code](FakeControlDevice*& fake, CUSBLog&) { fake->Fail(code, STATUS_UNSUCCESSFUL); };
    };
    const auto failCall = [](const char* function, int skip) {
        return [function, skip](FakeControlDevice*&, CUSBLog&) {
            win32::FailCalls({function, ERROR_NOT_ENOUGH_MEMORY, skip, 1});
        };
    };
    const std::vector<StartFailure> cases = {
        {"no control device", [](FakeControlDevice*& fake, CUSBLog&) { fake = nullptr; },
         "Failed to open analyzer driver."},
        {"clear registry nodes", fail(IOCTL_TINDALOFT_CLR_REGNODES), "Failed to reset analyzer registry."},
        {"no device list",
         [](FakeControlDevice*&, CUSBLog& doc) {
             // Three loggable objects: the capture thread's list of four entries cannot be had.
             for (ULONG64 address : {0x1000ULL, 0x2000ULL, 0x3000ULL}) {
                 DEVICE_NODE node{};
                 node.DeviceObject = address;
                 node.StatusFlags = DEVOBJ_HOOKED | DEVOBJ_SELECTED;
                 CDeviceObject* device = nullptr;
                 doc.GetAttachedDevices()->AddDeviceObject(node, device);
             }
             afx::memory::InjectFailureOfSizeOnAnyThread(4 * DEVICE_NODE_SIZE, {0, 1});
         },
         "Error creating log device list. Session is ending."},
        {"set device flags", fail(IOCTL_TINDALOFT_SET_DEVOBJ_FLAGS),
         "Error setting log device list. Session is ending."},
        {"clear log", fail(IOCTL_TINDALOFT_CLEAR_LOG), "Error clearing driver buffer. Session is ending."},
        {"enable log", fail(IOCTL_TINDALOFT_ENABLE_LOG), "Failed to enable capture. Session is ending."},
        {"no thread", failCall("CreateThread", 0), "Failed to enable capture. Session is ending."},
        {"no start event", failCall("CreateEventA", 0), "Failed to enable capture. Session is ending."},
        {"no stop event", failCall("CreateEventA", 1), "Failed to enable capture. Session is ending."},
    };
    for (const StartFailure& c : cases) {
        SCOPED_TRACE(c.name);
        m_doc.reset();
        m_fake.reset();
        nt::pnp::Shutdown();
        nt::ResetKernelState();
        win32::ClearModalRequests();
        m_fake = std::make_unique<FakeControlDevice>();
        m_doc = std::make_unique<CUSBLog>();
        FakeControlDevice* fake = m_fake.get();
        c.arrange(fake, *m_doc);
        if (fake == nullptr)
            m_fake.reset();
        win32::QueueModalAnswer(win32::ModalKind::MessageBox, IDOK, c.message);
        const size_t handles = win32::OpenHandleCount();

        m_doc->EnableLogging();
        win32::ClearCallFailures();
        afx::memory::ClearInjectedFailures();

        EXPECT_FALSE(m_doc->IsLogging());
        EXPECT_EQ(m_doc->GetDriverThread(), nullptr);
        EXPECT_EQ(MessageTexts(), std::vector<std::string>{c.message});
        EXPECT_EQ(win32::OpenHandleCount(), handles);
    }
}

// Read requests the thread has sent so far.
size_t ReadCount(const FakeControlDevice& fake) {
    size_t reads = 0;
    for (const FakeRequest& request : fake.Requests())
        reads += request.code == IOCTL_TINDALOFT_READ_LOG ? 1 : 0;
    return reads;
}

// Waits (bounded, in real time) until the thread has sent `reads` reads, then until it waits on its stop event.
bool AwaitReads(const FakeControlDevice& fake, size_t reads) {
    for (int i = 0; i < 1000 && ReadCount(fake) < reads; ++i)
        ::usleep(1000);
    return ReadCount(fake) == reads && nt::clock::WaitForTimedWaiters(1);
}

class VirtualClockTest : public DriverThreadTest {
protected:
    void SetUp() override {
        DriverThreadTest::SetUp();
        nt::clock::UseVirtualClock();
    }
    void TearDown() override {
        if (m_doc != nullptr)
            m_doc->DisableLogging();
        nt::clock::UseRealClock();
        DriverThreadTest::TearDown();
    }
};

TEST_F(VirtualClockTest, ReadsComeEvery250Milliseconds) {
    m_doc->EnableLogging();
    ASSERT_TRUE(m_doc->IsLogging());
    ASSERT_TRUE(AwaitReads(*m_fake, 0));
    nt::clock::AdvanceMilliseconds(249);
    EXPECT_EQ(ReadCount(*m_fake), 0u);
    nt::clock::AdvanceMilliseconds(1);
    ASSERT_TRUE(AwaitReads(*m_fake, 1));
    nt::clock::AdvanceMilliseconds(250);
    ASSERT_TRUE(AwaitReads(*m_fake, 2));
}

TEST_F(VirtualClockTest, BackgroundReadsBackToBackThenEvery5000MillisecondsOnceFull) {
    m_settings.BackgroundLogging = true;
    for (ULONG first : {1u, 3u, 5u})
        m_fake->QueueBlock(IOCTL_TINDALOFT_READ_LOG, BlockOf(first, 2));
    // Larger than the bank: it never fits, every read finds the buffer full.
    m_fake->QueueBlock(IOCTL_TINDALOFT_READ_LOG, std::vector<uint8_t>((1 << 16) + 68, 0));
    m_doc->EnableLogging();
    // No time passes: three blocks and the full answer, one read after the other.
    ASSERT_TRUE(AwaitReads(*m_fake, 4));
    EXPECT_EQ(m_doc->GetLogRecords()->GetCount(), 6);
    nt::clock::AdvanceMilliseconds(4999);
    EXPECT_EQ(ReadCount(*m_fake), 4u);
    nt::clock::AdvanceMilliseconds(1);
    ASSERT_TRUE(AwaitReads(*m_fake, 5));
    nt::clock::AdvanceMilliseconds(5000);
    ASSERT_TRUE(AwaitReads(*m_fake, 6));
    EXPECT_TRUE(MessageTexts().empty());
}

// While the driver hands over records the reads follow each other; an empty log is read again only after a
// short pause, so the capture thread does not poll it in a loop that takes a processor from the writers.
TEST_F(VirtualClockTest, BackgroundReadsPauseOnlyWhenTheLogIsEmpty) {
    m_settings.BackgroundLogging = true;
    for (ULONG first : {1u, 3u})
        m_fake->QueueBlock(IOCTL_TINDALOFT_READ_LOG, BlockOf(first, 2));
    m_doc->EnableLogging();
    // Both blocks and the empty answer with no time passing, then nothing until the pause is over.
    ASSERT_TRUE(AwaitReads(*m_fake, 3));
    EXPECT_EQ(m_doc->GetLogRecords()->GetCount(), 4);
    m_fake->QueueBlock(IOCTL_TINDALOFT_READ_LOG, BlockOf(5, 2));
    EXPECT_EQ(ReadCount(*m_fake), 3u);
    nt::clock::AdvanceMilliseconds(CDriverThread::IdleBackgroundWait);
    // The queued block, and the next empty answer.
    ASSERT_TRUE(AwaitReads(*m_fake, 5));
    EXPECT_EQ(m_doc->GetLogRecords()->GetCount(), 6);
    EXPECT_TRUE(MessageTexts().empty());
}

// Outside background logging, a block is followed by the next read at once: the log may hold more, and one
// block per pause would let a busy log overflow.
TEST_F(VirtualClockTest, ForegroundReadsAgainAtOnceAfterABlock) {
    std::vector<uint8_t> full;
    for (ULONG i = 0; full.size() < 62000; ++i) {
        tdl::test::RecordBuilder builder(LogTag::urbC);
        builder.Sequence(i + 1);
        builder.Part2(std::vector<uint8_t>(1932, 0x5A));
        tdl::test::AppendRecord(full, builder.Build());
    }
    ASSERT_LE(full.size(), 1u << 16) << "the block fits the test's bank";
    m_fake->QueueBlock(IOCTL_TINDALOFT_READ_LOG, full);
    m_doc->EnableLogging();
    ASSERT_TRUE(AwaitReads(*m_fake, 0));
    nt::clock::AdvanceMilliseconds(CDriverThread::NotifyWait);
    // The block and, with no time passing, the empty answer after it; then the pause.
    ASSERT_TRUE(AwaitReads(*m_fake, 2));
    nt::clock::AdvanceMilliseconds(CDriverThread::NotifyWait - 1);
    EXPECT_EQ(ReadCount(*m_fake), 2u);
    nt::clock::AdvanceMilliseconds(1);
    ASSERT_TRUE(AwaitReads(*m_fake, 3));
}

TEST_F(VirtualClockTest, StopDrainsAtMost64ReadsThenDisables) {
    m_doc->EnableLogging();
    ASSERT_TRUE(AwaitReads(*m_fake, 0));
    for (ULONG i = 0; i < 70; ++i)
        m_fake->QueueBlock(IOCTL_TINDALOFT_READ_LOG, BlockOf(i + 1, 1));
    m_fake->ClearRequests();
    m_doc->DisableLogging();
    const std::vector<ULONG> codes = Codes(m_fake->Requests());
    ASSERT_EQ(codes.size(), 65u);
    EXPECT_EQ(std::count(codes.begin(), codes.end(), IOCTL_TINDALOFT_READ_LOG), 64);
    EXPECT_EQ(codes.back(), IOCTL_TINDALOFT_DISABLE_LOG);
    EXPECT_EQ(BytesInBank(), 64u * 68u);
}

} // namespace
