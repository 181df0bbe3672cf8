#include <cstring>

#include "KernelTest.h"
#include "NtErrorLogControl.h"
#include "NtPoolControl.h"
#include "wdm.h"

namespace {

using ErrorLogTest = KernelTest;

int g_driverObject; // an I/O object as far as the event log cares

TEST_F(ErrorLogTest, WrittenPacketsReachTheSinkWithTheirStrings) {
    const char16_t text[] = u"DeviceObject node without an owning DeviceStack";
    const UCHAR size = static_cast<UCHAR>(sizeof(IO_ERROR_LOG_PACKET) + sizeof text);
    auto* packet = static_cast<PIO_ERROR_LOG_PACKET>(IoAllocateErrorLogEntry(&g_driverObject, size));
    ASSERT_NE(packet, nullptr);
    EXPECT_EQ(packet->ErrorCode, 0) << "packets start zeroed";
    packet->ErrorCode = static_cast<NTSTATUS>(0x805003E9);
    packet->NumberOfStrings = 1;
    packet->StringOffset = FIELD_OFFSET(IO_ERROR_LOG_PACKET, DumpData);
    std::memcpy(reinterpret_cast<PUCHAR>(packet) + packet->StringOffset, text, sizeof text);
    IoWriteErrorLogEntry(packet);

    auto entries = nt::errorlog::Entries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].ioObject, &g_driverObject);
    EXPECT_EQ(entries[0].packet.size(), 144u);
    EXPECT_EQ(static_cast<ULONG>(entries[0].Header().ErrorCode), 0x805003E9u);
    EXPECT_EQ(entries[0].Strings(), (std::vector<std::u16string>{text}));
    EXPECT_EQ(nt::pool::LiveCount(), 0u) << "the system took the packet";
}

TEST_F(ErrorLogTest, FreedPacketsAreNotWrittenAndSizesAreChecked) {
    PVOID packet = IoAllocateErrorLogEntry(&g_driverObject, sizeof(IO_ERROR_LOG_PACKET));
    ASSERT_NE(packet, nullptr);
    IoFreeErrorLogEntry(packet);
    EXPECT_TRUE(nt::errorlog::Entries().empty());
    EXPECT_EQ(nt::pool::LiveCount(), 0u);
    EXPECT_EQ(IoAllocateErrorLogEntry(&g_driverObject, ERROR_LOG_MAXIMUM_SIZE + 1), nullptr);
    EXPECT_EQ(IoAllocateErrorLogEntry(&g_driverObject, 8), nullptr);
    nt::pool::InjectFailure({});
    EXPECT_EQ(IoAllocateErrorLogEntry(&g_driverObject, 64), nullptr);
}

using SehTest = KernelTest;

NTSTATUS GuardedRaise(NTSTATUS code) {
    __try {
        ExRaiseStatus(code);
    } __except (EXCEPTION_EXECUTE_HANDLER) {
        return GetExceptionCode();
    }
    return STATUS_SUCCESS;
}

TEST_F(SehTest, ExceptHandlersCatchRaisedStatusesButNotBugChecks) {
    EXPECT_EQ(GuardedRaise(STATUS_ACCESS_VIOLATION), STATUS_ACCESS_VIOLATION);
    EXPECT_EQ(GuardedRaise(STATUS_INVALID_PARAMETER), STATUS_INVALID_PARAMETER);

    // A handler that takes some codes only raises the others again for an outer handler.
    NTSTATUS outer = STATUS_SUCCESS;
    __try {
        __try {
            ExRaiseStatus(STATUS_INSUFFICIENT_RESOURCES);
        } __except (EXCEPTION_EXECUTE_HANDLER) {
            if (GetExceptionCode() != STATUS_ACCESS_VIOLATION) {
                ExRaiseStatus(GetExceptionCode());
            }
        }
    } __except (EXCEPTION_EXECUTE_HANDLER) {
        outer = GetExceptionCode();
    }
    EXPECT_EQ(outer, STATUS_INSUFFICIENT_RESOURCES);

    bool handled = false;
    try {
        __try {
            KeBugCheckEx(MANUALLY_INITIATED_CRASH, 1, 2, 3, 4);
        } __except (EXCEPTION_EXECUTE_HANDLER) {
            handled = true;
        }
    } catch (const NtBugCheck& stop) {
        EXPECT_EQ(stop.Code(), ULONG{MANUALLY_INITIATED_CRASH});
        EXPECT_EQ(stop.Parameter(4), 4u);
    }
    EXPECT_FALSE(handled);
}

TEST_F(SehTest, ExceptionRecordKeepsItsParameters) {
    const ULONG_PTR info[] = {1, 0x1234};
    try {
        throw nt::SehException(STATUS_ACCESS_VIOLATION, EXCEPTION_NONCONTINUABLE, 2, info);
    } catch (const nt::SehException& e) {
        EXPECT_EQ(e.Record().NumberParameters, 2u);
        EXPECT_EQ(e.Record().ExceptionInformation[1], 0x1234u);
        EXPECT_EQ(e.Record().ExceptionFlags, ULONG{EXCEPTION_NONCONTINUABLE});
    }
}

TEST_F(SehTest, FailedAssertionsStopWithTheExpression) {
    int devices = 2;
    try {
        ASSERT(devices == 3);
        FAIL() << "ASSERT did not stop";
    } catch (const NtBugCheck& stop) {
        EXPECT_NE(stop.Text().find("devices == 3"), std::string::npos) << stop.Text();
    }
}

} // namespace
