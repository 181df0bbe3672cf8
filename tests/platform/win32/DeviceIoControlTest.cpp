// User mode's device files: opening "\\.\NAME", control requests by transfer method and access, close, and the
// kernel status to Win32 error mapping.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>

#include "NtMdl.h"
#include "NtPool.h"
#include "NtSeh.h"
#include "WinDeviceIo.h"
#include "tests/platform/nt/IoTestDriver.h"
#include "windows.h"

namespace {

constexpr ULONG Code(ULONG function, ULONG method, ULONG access) {
    return CTL_CODE(FILE_DEVICE_UNKNOWN, function, method, access);
}

class DeviceIoControlTest : public ::testing::Test {
protected:
    void SetUp() override {
        iotest::Reset();
        iotest::LoadDriver(u"ctltest", {.entry = [this](PDRIVER_OBJECT driver) {
                               control = iotest::CreateDevice(
                                   driver, [this](PDEVICE_OBJECT, PIRP irp) { return Dispatch(irp); },
                                   u"\\Device\\CtlTest");
                               UNICODE_STRING link = RTL_CONSTANT_STRING(u"\\DosDevices\\CtlTest");
                               UNICODE_STRING target = RTL_CONSTANT_STRING(u"\\Device\\CtlTest");
                               IoCreateSymbolicLink(&link, &target);
                           }});
        ASSERT_NE(control, nullptr);
    }
    void TearDown() override {
        if (handle != INVALID_HANDLE_VALUE) {
            CloseHandle(handle);
        }
        iotest::Reset();
    }

    NTSTATUS Dispatch(PIRP irp) {
        PIO_STACK_LOCATION location = IoGetCurrentIrpStackLocation(irp);
        switch (location->MajorFunction) {
        case IRP_MJ_CREATE: events.push_back("create"); return iotest::CompleteWith(createStatus)(control, irp);
        case IRP_MJ_CLEANUP: events.push_back("cleanup"); return iotest::CompleteWith(STATUS_SUCCESS)(control, irp);
        case IRP_MJ_CLOSE: events.push_back("close"); return iotest::CompleteWith(STATUS_SUCCESS)(control, irp);
        case IRP_MJ_DEVICE_CONTROL: calls++; return onControl(irp, location);
        default: return iotest::CompleteWith(STATUS_INVALID_DEVICE_REQUEST)(control, irp);
        }
    }

    HANDLE Open(DWORD access = GENERIC_READ | GENERIC_WRITE) {
        handle = CreateFileA("\\\\.\\CtlTest", access, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
        return handle;
    }

    static NTSTATUS Complete(PIRP irp, NTSTATUS status, ULONG_PTR information) {
        irp->IoStatus.Status = status;
        irp->IoStatus.Information = information;
        IoCompleteRequest(irp, IO_NO_INCREMENT);
        return status;
    }

    PDEVICE_OBJECT control = nullptr;
    HANDLE handle = INVALID_HANDLE_VALUE;
    NTSTATUS createStatus = STATUS_SUCCESS;
    std::vector<std::string> events;
    std::atomic<int> calls{0};
    std::function<NTSTATUS(PIRP, PIO_STACK_LOCATION)> onControl = [](PIRP irp, PIO_STACK_LOCATION) {
        return Complete(irp, STATUS_SUCCESS, 0);
    };
};

struct BufferedCase {
    const char* name;
    NTSTATUS status;
    ULONG_PTR information;
    BOOL result;
    DWORD error;
    DWORD returned;
};

TEST_F(DeviceIoControlTest, BufferedRequestCopiesBackWhatTheDriverReturnedUnlessItFailed) {
    const BufferedCase cases[] = {
        {"success", STATUS_SUCCESS, 5, TRUE, 0, 5},
        {"more than the output", STATUS_SUCCESS, 64, TRUE, 0, 8},
        {"warning", STATUS_BUFFER_OVERFLOW, 8, FALSE, ERROR_MORE_DATA, 8},
        {"too small", STATUS_BUFFER_TOO_SMALL, 8, FALSE, ERROR_INSUFFICIENT_BUFFER, 0},
        {"invalid parameter", STATUS_INVALID_PARAMETER, 8, FALSE, ERROR_INVALID_PARAMETER, 0},
    };
    ASSERT_NE(Open(), INVALID_HANDLE_VALUE);
    for (const BufferedCase& c : cases) {
        SCOPED_TRACE(c.name);
        UCHAR input[12] = {1, 2, 3};
        UCHAR output[8];
        std::memset(output, 0xEE, sizeof output);
        onControl = [&](PIRP irp, PIO_STACK_LOCATION location) {
            EXPECT_EQ(location->Parameters.DeviceIoControl.InputBufferLength, sizeof input);
            EXPECT_EQ(location->Parameters.DeviceIoControl.OutputBufferLength, sizeof output);
            auto* system = static_cast<UCHAR*>(irp->AssociatedIrp.SystemBuffer);
            EXPECT_EQ(std::memcmp(system, input, sizeof input), 0);
            std::memset(system, 0x77, sizeof input); // one buffer of max(input, output)
            return Complete(irp, c.status, c.information);
        };
        DWORD returned = 99;
        SetLastError(0);
        EXPECT_EQ(DeviceIoControl(handle, Code(0x800, METHOD_BUFFERED, FILE_ANY_ACCESS), input, sizeof input, output,
                                  sizeof output, &returned, nullptr),
                  c.result);
        EXPECT_EQ(GetLastError(), c.error);
        EXPECT_EQ(returned, c.returned);
        for (size_t i = 0; i < sizeof output; ++i) {
            EXPECT_EQ(output[i], i < c.returned ? 0x77 : 0xEE) << "byte " << i;
        }
    }
}

TEST_F(DeviceIoControlTest, NeitherRequestHandsTheDriverTheCallersBuffers) {
    ASSERT_NE(Open(), INVALID_HANDLE_VALUE);
    UCHAR input[4] = {4, 3, 2, 1};
    UCHAR output[16] = {};
    onControl = [&](PIRP irp, PIO_STACK_LOCATION location) {
        EXPECT_EQ(location->Parameters.DeviceIoControl.Type3InputBuffer, input);
        EXPECT_EQ(irp->UserBuffer, output);
        EXPECT_EQ(irp->RequestorMode, UserMode);
        EXPECT_TRUE(MmIsAddressValid(input));
        NTSTATUS status = STATUS_SUCCESS;
        __try {
            ProbeForWrite(irp->UserBuffer, location->Parameters.DeviceIoControl.OutputBufferLength, 1);
            std::memcpy(irp->UserBuffer, "neither", 8);
        } __except (EXCEPTION_EXECUTE_HANDLER) {
            status = GetExceptionCode();
        }
        return Complete(irp, status, 8);
    };
    DWORD returned = 0;
    ASSERT_TRUE(DeviceIoControl(handle, Code(0x804, METHOD_NEITHER, FILE_WRITE_ACCESS), input, sizeof input, output,
                                sizeof output, &returned, nullptr));
    EXPECT_EQ(returned, 8u);
    EXPECT_STREQ(reinterpret_cast<char*>(output), "neither");
    // Valid kernel addresses only while the request ran: a probe of them afterwards raises.
    EXPECT_FALSE(MmIsAddressValid(output));
    NTSTATUS code = STATUS_SUCCESS;
    __try {
        ProbeForWrite(output, sizeof output, 1);
    } __except (EXCEPTION_EXECUTE_HANDLER) {
        code = GetExceptionCode();
    }
    EXPECT_EQ(code, STATUS_ACCESS_VIOLATION);
}

TEST_F(DeviceIoControlTest, DirectRequestDescribesTheOutputByAnMdl) {
    ASSERT_NE(Open(), INVALID_HANDLE_VALUE);
    UCHAR output[32] = {};
    onControl = [&](PIRP irp, PIO_STACK_LOCATION) {
        auto* mapped = static_cast<char*>(MmGetSystemAddressForMdlSafe(irp->MdlAddress, NormalPagePriority));
        EXPECT_EQ(static_cast<void*>(mapped), output);
        std::strcpy(mapped, "direct");
        return Complete(irp, STATUS_SUCCESS, 7);
    };
    DWORD returned = 0;
    ASSERT_TRUE(DeviceIoControl(handle, Code(0x805, METHOD_OUT_DIRECT, FILE_ANY_ACCESS), nullptr, 0, output,
                                sizeof output, &returned, nullptr));
    EXPECT_EQ(returned, 7u);
    EXPECT_STREQ(reinterpret_cast<char*>(output), "direct");
}

TEST_F(DeviceIoControlTest, CodesNeedingAccessTheHandleLacksAreRefused) {
    struct Case {
        DWORD handleAccess;
        ULONG codeAccess;
        bool allowed;
    };
    const Case cases[] = {
        {GENERIC_READ, FILE_WRITE_ACCESS, false},
        {GENERIC_READ, FILE_ANY_ACCESS, true},
        {GENERIC_WRITE, FILE_WRITE_ACCESS, true},
        {GENERIC_WRITE, FILE_READ_ACCESS, false},
        {GENERIC_WRITE, FILE_READ_ACCESS | FILE_WRITE_ACCESS, false},
        {GENERIC_READ | GENERIC_WRITE, FILE_READ_ACCESS | FILE_WRITE_ACCESS, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.handleAccess << " / " << c.codeAccess);
        ASSERT_NE(Open(c.handleAccess), INVALID_HANDLE_VALUE);
        calls = 0;
        DWORD returned = 0;
        SetLastError(0);
        EXPECT_EQ(DeviceIoControl(handle, Code(0x801, METHOD_BUFFERED, c.codeAccess), nullptr, 0, nullptr, 0, &returned,
                                  nullptr),
                  c.allowed ? TRUE : FALSE);
        EXPECT_EQ(GetLastError(), c.allowed ? 0u : DWORD(ERROR_ACCESS_DENIED));
        EXPECT_EQ(calls, c.allowed ? 1 : 0);
        CloseHandle(handle);
        handle = INVALID_HANDLE_VALUE;
    }
}

TEST_F(DeviceIoControlTest, OpenFailsForUnknownDevicesAndWithTheDriversStatus) {
    EXPECT_EQ(CreateFileA("\\\\.\\NoSuchDevice", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
    createStatus = STATUS_ACCESS_DENIED;
    EXPECT_EQ(Open(), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    EXPECT_EQ(events, (std::vector<std::string>{"create"})); // a failed create gets no close
    DWORD returned = 0;
    EXPECT_FALSE(DeviceIoControl(reinterpret_cast<HANDLE>(0x1234), Code(0x800, METHOD_BUFFERED, 0), nullptr, 0, nullptr,
                                 0, &returned, nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
}

TEST_F(DeviceIoControlTest, PendedRequestReturnsWhenTheDriverCompletesItAndCloseWaitsForIt) {
    ASSERT_NE(Open(), INVALID_HANDLE_VALUE);
    std::atomic<PIRP> pended{nullptr};
    onControl = [&](PIRP irp, PIO_STACK_LOCATION) {
        IoMarkIrpPending(irp);
        pended = irp;
        return STATUS_PENDING;
    };
    UCHAR output[4] = {};
    DWORD returned = 0;
    BOOL result = FALSE;
    std::thread caller([&] {
        result = DeviceIoControl(handle, Code(0x800, METHOD_BUFFERED, FILE_ANY_ACCESS), nullptr, 0, output,
                                 sizeof output, &returned, nullptr);
    });
    while (!pended) {
        std::this_thread::yield();
    }
    // The handle closes while its request is still in the driver: cleanup now, close once the request is done.
    CloseHandle(handle);
    handle = INVALID_HANDLE_VALUE;
    EXPECT_EQ(events, (std::vector<std::string>{"create", "cleanup"}));
    PIRP irp = pended;
    std::memcpy(irp->AssociatedIrp.SystemBuffer, "done", 4);
    Complete(irp, STATUS_SUCCESS, 4);
    caller.join();
    EXPECT_TRUE(result);
    EXPECT_EQ(returned, 4u);
    EXPECT_EQ(std::memcmp(output, "done", 4), 0);
    EXPECT_EQ(events, (std::vector<std::string>{"create", "cleanup", "close"}));
}

TEST_F(DeviceIoControlTest, RequestsThroughAClosedHandleFail) {
    ASSERT_NE(Open(), INVALID_HANDLE_VALUE);
    HANDLE closed = handle;
    EXPECT_TRUE(CloseHandle(handle));
    handle = INVALID_HANDLE_VALUE;
    EXPECT_EQ(events, (std::vector<std::string>{"create", "cleanup", "close"}));
    DWORD returned = 0;
    EXPECT_FALSE(DeviceIoControl(closed, Code(0x800, METHOD_BUFFERED, 0), nullptr, 0, nullptr, 0, &returned, nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
    EXPECT_EQ(control->ReferenceCount, 0);
}

TEST(NtStatusToDosError, MapsTheStatusesTheSystemMeets) {
    const std::pair<NTSTATUS, ULONG> cases[] = {
        {STATUS_SUCCESS, 0},
        {STATUS_BUFFER_TOO_SMALL, 122},
        {STATUS_INVALID_PARAMETER, 87},
        {STATUS_INVALID_BUFFER_SIZE, 1784},
        {STATUS_UNSUCCESSFUL, 31},
        {STATUS_NOT_IMPLEMENTED, 1},
        {STATUS_INVALID_DEVICE_REQUEST, 1},
        {STATUS_INSUFFICIENT_RESOURCES, 1450},
        {STATUS_NOT_SUPPORTED, 50},
        {STATUS_BUFFER_OVERFLOW, 234},
        {STATUS_OBJECT_NAME_NOT_FOUND, 2},
        {STATUS_NO_SUCH_DEVICE, 2},
        {STATUS_ACCESS_DENIED, 5},
        {STATUS_OBJECT_PATH_NOT_FOUND, 3},
        {STATUS_CANCELLED, 995},
        {STATUS_PENDING, 997},
        {STATUS_DEVICE_NOT_CONNECTED, 1167},
        {static_cast<NTSTATUS>(0xC0070005), 5}, // a Win32 error carried in a status
        {static_cast<NTSTATUS>(0xC0DE0001), 317},
    };
    for (const auto& [status, error] : cases) {
        EXPECT_EQ(RtlNtStatusToDosError(status), error) << std::hex << status;
    }
}

} // namespace
