#include "app/core/capture/KxTdloft.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "NtControl.h"
#include "NtPnpControl.h"
#include "WinUiControl.h"
#include "common/ControlCodes.h"
#include "common/DriverInfo.h"
#include "common/LoggingOptions.h"
#include "common/RecordTags.h"
#include "tests/app/core/ArchiveBytes.h"
#include "tests/app/core/TraceCapture.h"
#include "tests/support/FakeControlDevice.h"
#include "tests/support/RecordBuilder.h"

namespace {

using tdl::test::FakeControlDevice;
using tdl::test::FakeRequest;

std::vector<uint8_t> Pattern(size_t size, uint8_t first) {
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<uint8_t>(first + i);
    }
    return bytes;
}

std::vector<uint8_t> Word(ULONG value) {
    std::vector<uint8_t> bytes(sizeof value);
    std::memcpy(bytes.data(), &value, sizeof value);
    return bytes;
}

class KxTdloftOnFake : public ::testing::Test {
protected:
    void SetUp() override {
        nt::ResetKernelState();
        m_fake = std::make_unique<FakeControlDevice>();
    }
    void TearDown() override {
        m_device.reset();
        m_fake.reset();
        nt::pnp::Shutdown();
    }
    CKxTdloft& Open() {
        m_device = std::make_unique<CKxTdloft>();
        EXPECT_TRUE(m_device->TryDeviceOpen());
        return *m_device;
    }

    std::unique_ptr<FakeControlDevice> m_fake;
    std::unique_ptr<CKxTdloft> m_device;
};

// One row per member: what it sends and what its caller gets back.
struct MemberCase {
    const char* name;
    const char* codeName;
    ULONG code;
    std::function<BOOL(CKxTdloft&, std::vector<uint8_t>& buffer, DWORD& returned)> call;
    std::vector<uint8_t> buffer; // the caller's buffer before the call
    std::vector<uint8_t> input;  // the input bytes the driver sees
    ULONG outputLength;
    std::vector<uint8_t> reply; // scripted reply (or the queued block of READ_CLOG)
    DWORD returned;             // the count handed back to the caller (where a member gives one)
};

std::vector<MemberCase> MemberCases() {
    const std::vector<uint8_t> info = Pattern(sizeof(DRIVER_INFO), 0x40);
    const std::vector<uint8_t> options = Pattern(sizeof(LOGGING_OPTIONS), 0x10);
    const std::vector<uint8_t> stackRequest = Pattern(16, 0x70);
    const std::vector<uint8_t> block = tdl::test::BuildRecord(LogTag::urbI, 9, 0);
    auto none = [](auto member) {
        return [member](CKxTdloft& device, std::vector<uint8_t>&, DWORD&) { return (device.*member)(); };
    };
    auto withBuffer = [](auto member) {
        return [member](CKxTdloft& device, std::vector<uint8_t>& buffer, DWORD&) {
            return (device.*member)(buffer.data(), static_cast<DWORD>(buffer.size()));
        };
    };
    auto reading = [](auto member) {
        return [member](CKxTdloft& device, std::vector<uint8_t>& buffer, DWORD& returned) {
            returned = static_cast<DWORD>(buffer.size());
            return (device.*member)(buffer.data(), returned);
        };
    };
    return {
        {"IoctlGetDriverInfo", "IOCTL_TINDALOFT_INFO", IOCTL_TINDALOFT_INFO,
         [](CKxTdloft& device, std::vector<uint8_t>& buffer, DWORD& returned) {
             return device.IoctlGetDriverInfo(buffer.data(), static_cast<DWORD>(buffer.size()), &returned);
         },
         std::vector<uint8_t>(64, 0), std::vector<uint8_t>(64, 0), 64, info, 19},
        {"IoctlClearRegistrySettings",
         "IOCTL_TINDALOFT_CLR_REGNODES",
         IOCTL_TINDALOFT_CLR_REGNODES,
         none(&CKxTdloft::IoctlClearRegistrySettings),
         {},
         {},
         0,
         {},
         0},
        {"IoctlSetDevobjFlags",
         "IOCTL_TINDALOFT_SET_DEVOBJ_FLAGS",
         IOCTL_TINDALOFT_SET_DEVOBJ_FLAGS,
         withBuffer(&CKxTdloft::IoctlSetDevobjFlags),
         Pattern(224, 1),
         Pattern(224, 1),
         0,
         {},
         0},
        {"IoctlSetLoggingOptions",
         "IOCTL_TINDALOFT_SET_LOGGING_OPTIONS",
         IOCTL_TINDALOFT_SET_LOGGING_OPTIONS,
         withBuffer(&CKxTdloft::IoctlSetLoggingOptions),
         options,
         options,
         0,
         {},
         0},
        {"IoctlGetLoggingOptions", "IOCTL_TINDALOFT_GET_LOGGING_OPTIONS", IOCTL_TINDALOFT_GET_LOGGING_OPTIONS,
         withBuffer(&CKxTdloft::IoctlGetLoggingOptions), std::vector<uint8_t>(325, 0), std::vector<uint8_t>(325, 0),
         325, options, 0},
        {"IoctlGetDeviceStackInfo", "IOCTL_TINDALOFT_GET_DEVSTK_INFO", IOCTL_TINDALOFT_GET_DEVSTK_INFO,
         withBuffer(&CKxTdloft::IoctlGetDeviceStackInfo), stackRequest, stackRequest, 16, Pattern(12, 0x90), 0},
        {"IoctlSetBootLogging",
         "IOCTL_TINDALOFT_SET_BOOTFLAG",
         IOCTL_TINDALOFT_SET_BOOTFLAG,
         [](CKxTdloft& device, std::vector<uint8_t>&, DWORD&) { return device.IoctlSetBootLogging(0x7FD); },
         {},
         Word(0x7FD),
         0,
         {},
         0},
        {"IoctlRefreshDeviceStacks",
         "IOCTL_TINDALOFT_DEVSTK_REFRESH",
         IOCTL_TINDALOFT_DEVSTK_REFRESH,
         none(&CKxTdloft::IoctlRefreshDeviceStacks),
         {},
         {},
         0,
         {},
         0},
        {"IoctlEnableChangeLogging",
         "IOCTL_TINDALOFT_ENABLE_CLOG",
         IOCTL_TINDALOFT_ENABLE_CLOG,
         [](CKxTdloft& device, std::vector<uint8_t>&, DWORD&) { return device.IoctlEnableChangeLogging(1); },
         {},
         Word(1),
         0,
         {},
         0},
        {"IoctlDisableChangeLogging",
         "IOCTL_TINDALOFT_DISABLE_CLOG",
         IOCTL_TINDALOFT_DISABLE_CLOG,
         none(&CKxTdloft::IoctlDisableChangeLogging),
         {},
         {},
         0,
         {},
         0},
        {"IoctlClearChangeLogBuffer",
         "IOCTL_TINDALOFT_CLEAR_CLOG",
         IOCTL_TINDALOFT_CLEAR_CLOG,
         none(&CKxTdloft::IoctlClearChangeLogBuffer),
         {},
         {},
         0,
         {},
         0},
        {"IoctlReadChangeLog", "IOCTL_TINDALOFT_READ_CLOG", IOCTL_TINDALOFT_READ_CLOG,
         reading(&CKxTdloft::IoctlReadChangeLog), std::vector<uint8_t>(66560, 0), std::vector<uint8_t>(66560, 0), 66560,
         block, static_cast<DWORD>(block.size())},
        {"IoctlReadMemlog", "IOCTL_TINDALOFT_GET_MEMLOG", IOCTL_TINDALOFT_GET_MEMLOG,
         reading(&CKxTdloft::IoctlReadMemlog), std::vector<uint8_t>(4, 0), std::vector<uint8_t>(4, 0), 4,
         Pattern(96, 0), 4},
    };
}

void Script(FakeControlDevice& fake, const MemberCase& row) {
    if (row.code == IOCTL_TINDALOFT_READ_CLOG) {
        fake.QueueBlock(row.code, row.reply);
    } else if (!row.reply.empty()) {
        fake.Reply(row.code, row.reply);
    }
}

TEST_F(KxTdloftOnFake, EveryMemberSendsItsCodeWithItsBuffers) {
    CKxTdloft& device = Open();
    for (MemberCase& row : MemberCases()) {
        SCOPED_TRACE(row.name);
        Script(*m_fake, row);
        m_fake->ClearRequests();
        DWORD returned = 0xFFFFFFFF;
        std::vector<uint8_t> buffer = row.buffer;
        apptest::TraceCapture traces(TRACE_INFORMATION, TRACE_AREA_DRIVER_IO);
        EXPECT_TRUE(row.call(device, buffer, returned));
        std::vector<std::string> texts = traces.Texts();
        ASSERT_GE(texts.size(), 2u);
        EXPECT_EQ(texts[0], std::string("CKxTdloft::") + row.name);
        EXPECT_EQ(texts[1], row.codeName);
        if (row.code == IOCTL_TINDALOFT_READ_CLOG || row.code == IOCTL_TINDALOFT_GET_MEMLOG) {
            EXPECT_EQ(texts, (std::vector<std::string>{texts[0], texts[1],
                                                       "Read " + std::to_string(row.returned) + " bytes"}));
        } else {
            EXPECT_EQ(texts.size(), 2u);
        }

        std::vector<FakeRequest> requests = m_fake->Requests();
        ASSERT_EQ(requests.size(), 1u);
        EXPECT_EQ(requests[0].code, row.code);
        EXPECT_EQ(requests[0].input, row.input);
        EXPECT_EQ(requests[0].outputLength, row.outputLength);
        if (row.returned != 0) {
            EXPECT_EQ(returned, row.returned);
        }
        if (row.code == IOCTL_TINDALOFT_GET_MEMLOG) {
            EXPECT_EQ(buffer, Word(96)); // the size query's answer
        } else if (!row.reply.empty() && row.outputLength != 0) {
            EXPECT_TRUE(std::equal(row.reply.begin(), row.reply.end(), buffer.begin()));
        }
        EXPECT_EQ(device.GetError(), 0u);
    }
}

TEST_F(KxTdloftOnFake, FailuresKeepTheWin32Error) {
    CKxTdloft& device = Open();
    for (MemberCase& row : MemberCases()) {
        SCOPED_TRACE(row.name);
        m_fake->Fail(row.code, STATUS_INVALID_PARAMETER);
        DWORD returned = 0;
        std::vector<uint8_t> buffer = row.buffer;
        apptest::TraceCapture errors(TRACE_ERROR, TRACE_AREA_DRIVER_IO);
        EXPECT_FALSE(row.call(device, buffer, returned));
        if (row.code == IOCTL_TINDALOFT_INFO) {
            // The start-up gate reads the error itself; the member keeps and traces none.
            EXPECT_NE(device.GetError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
            EXPECT_TRUE(errors.Texts().empty());
            continue;
        }
        EXPECT_EQ(device.GetError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
        EXPECT_EQ(errors.Texts(), std::vector<std::string>{"Error: 0x57"});
        // A read that failed hands back nothing to parse.
        if (row.code == IOCTL_TINDALOFT_READ_CLOG || row.code == IOCTL_TINDALOFT_GET_MEMLOG) {
            EXPECT_EQ(returned, 0u);
        }
    }
}

TEST_F(KxTdloftOnFake, ReadsIntoABufferSmallerThanTheReplyGiveNothingAndError122) {
    CKxTdloft& device = Open();
    m_fake->QueueBlock(IOCTL_TINDALOFT_READ_CLOG, Pattern(100, 1));
    m_fake->Reply(IOCTL_TINDALOFT_GET_MEMLOG, Pattern(100, 1));
    using Read = BOOL (CKxTdloft::*)(LPVOID, DWORD&);
    for (Read read : {Read(&CKxTdloft::IoctlReadChangeLog), Read(&CKxTdloft::IoctlReadMemlog)}) {
        std::vector<uint8_t> buffer(50);
        DWORD length = static_cast<DWORD>(buffer.size());
        apptest::TraceCapture errors(TRACE_ERROR, TRACE_AREA_DRIVER_IO);
        EXPECT_FALSE((device.*read)(buffer.data(), length));
        EXPECT_EQ(length, 0u);
        EXPECT_EQ(device.GetError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
        EXPECT_EQ(errors.Texts(), (std::vector<std::string>{"Error: 0x7a", "ERROR_INSUFFICIENT_BUFFER"}));
    }
    // The block stays for a large enough buffer.
    std::vector<uint8_t> buffer(66560);
    DWORD length = static_cast<DWORD>(buffer.size());
    EXPECT_TRUE(device.IoctlReadChangeLog(buffer.data(), length));
    EXPECT_EQ(length, 100u);
}

TEST_F(KxTdloftOnFake, NamesGetTheDevicePrefixOnce) {
    for (const char* name : {"Tindaloft", "\\\\.\\Tindaloft"}) {
        SCOPED_TRACE(name);
        CDevice device(name);
        EXPECT_TRUE(device.TryDeviceOpen());
        EXPECT_TRUE(device.IsOpen());
        device.DeviceClose();
        EXPECT_FALSE(device.IsOpen());
        EXPECT_EQ(device.GetDeviceName(), name);
    }
    CKxTdloft driver;
    EXPECT_EQ(driver.GetDeviceName(), "\\\\.\\Tindaloft");
    // The name is the program's string 129 once the program registers it.
    AfxRegisterString(IDS_TINDALOFT_DEVICE, "\\\\.\\Elsewhere");
    EXPECT_EQ(CKxTdloft().GetDeviceName(), "\\\\.\\Elsewhere");
    AfxRegisterString(IDS_TINDALOFT_DEVICE, "\\\\.\\Tindaloft");
}

TEST(Device, SerializesItsNameOnly) {
    CDevice device("\\\\.\\Tindaloft");
    EXPECT_EQ(apptest::Store(device),
              (std::vector<BYTE>{13, '\\', '\\', '.', '\\', 'T', 'i', 'n', 'd', 'a', 'l', 'o', 'f', 't'}));
    CDevice loaded;
    EXPECT_EQ(apptest::Load(loaded, apptest::Store(device)), 0);
    EXPECT_EQ(loaded.GetDeviceName(), "\\\\.\\Tindaloft");
    EXPECT_FALSE(loaded.IsOpen());

    // As an object, under its class name.
    std::unique_ptr<CObject> created(CRuntimeClass::CreateObject("CDevice"));
    ASSERT_NE(created, nullptr);
    EXPECT_TRUE(created->IsKindOf(RUNTIME_CLASS(CDevice)));
}

TEST_F(KxTdloftOnFake, TheFakeServesQueuedBlocksInOrder) {
    CKxTdloft& device = Open();
    const std::vector<uint8_t> first = tdl::test::BuildRecord(LogTag::urbI, 9, 0);
    const std::vector<uint8_t> second = tdl::test::BuildRecord(LogTag::urbC, 9, 0);
    m_fake->QueueBlock(IOCTL_TINDALOFT_READ_LOG, first);
    m_fake->QueueBlock(IOCTL_TINDALOFT_READ_LOG, second);
    for (const std::vector<uint8_t>* expected : {&first, &second, static_cast<const std::vector<uint8_t>*>(nullptr)}) {
        std::vector<uint8_t> buffer(66560);
        DWORD returned = 0xFFFF;
        ASSERT_TRUE(DeviceIoControl(device.GetHandle(), IOCTL_TINDALOFT_READ_LOG, nullptr, 0, buffer.data(),
                                    static_cast<DWORD>(buffer.size()), &returned, nullptr));
        buffer.resize(returned);
        EXPECT_EQ(buffer, expected != nullptr ? *expected : std::vector<uint8_t>());
    }
}

TEST_F(KxTdloftOnFake, TheDestructorOfTheDriverClientClosesItsHandle) {
    HANDLE handle;
    {
        CKxTdloft device;
        ASSERT_TRUE(device.TryDeviceOpen());
        handle = device.GetHandle();
    }
    SetLastError(0);
    EXPECT_FALSE(CloseHandle(handle));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));

    // A plain device leaves it to its user.
    CDevice device("Tindaloft");
    ASSERT_TRUE(device.TryDeviceOpen());
    handle = device.GetHandle();
    { CDevice copy("Tindaloft"); }
    EXPECT_TRUE(CloseHandle(handle));
}

class NoDevice : public ::testing::Test {
protected:
    void SetUp() override {
        nt::ResetKernelState();
        win32::ClearModalRequests();
    }
    void TearDown() override { win32::ClearModalRequests(); }
};

TEST_F(NoDevice, OpeningRaisesTheOpenFailureWithError2) {
    CKxTdloft device;
    try {
        device.DeviceOpen();
        FAIL() << "no exception";
    } catch (const nt::SehException& e) {
        EXPECT_EQ(static_cast<DWORD>(e.Code()), CDevice::OpenFailureCode);
        EXPECT_EQ(e.Record().ExceptionFlags, static_cast<ULONG>(EXCEPTION_NONCONTINUABLE));
        EXPECT_EQ(e.Record().NumberParameters, 0u);
    }
    EXPECT_EQ(device.GetError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

    apptest::TraceCapture errors(TRACE_ERROR, TRACE_AREA_DRIVER_IO);
    EXPECT_FALSE(device.TryDeviceOpen());
    EXPECT_FALSE(device.IsOpen());
    EXPECT_EQ(errors.Texts(), (std::vector<std::string>{"Open error - 2", "Failed to open device, error: 2\n"}));
    EXPECT_TRUE(win32::ModalRequests().empty());
}

TEST_F(NoDevice, TheUserCanBeShownTheOpenFailure) {
    win32::QueueModalAnswer(win32::ModalKind::MessageBox, IDOK, "Failed to open device");
    CKxTdloft device;
    apptest::TraceCapture errors(TRACE_ERROR, TRACE_AREA_DRIVER_IO);
    EXPECT_FALSE(device.TryDeviceOpen(true));
    std::vector<win32::ModalRequest> boxes = win32::ModalRequests();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].kind, win32::ModalKind::MessageBox);
    EXPECT_EQ(boxes[0].text, "Failed to open device, error: 2\n");
    EXPECT_EQ(boxes[0].caption, "Tindaloft");
    EXPECT_EQ(boxes[0].style, static_cast<UINT>(MB_ICONHAND));
    EXPECT_EQ(boxes[0].owner, nullptr);
    EXPECT_TRUE(boxes[0].expected);
    // Shown, not traced as well.
    EXPECT_EQ(errors.Texts(), std::vector<std::string>{"Open error - 2"});
}

TEST(DeviceOpenGuard, CatchesTheOpenFailureOnly) {
    EXPECT_TRUE(CDevice::CatchOpenFailure([] {}));
    EXPECT_FALSE(CDevice::CatchOpenFailure(
        [] { RaiseException(CDevice::OpenFailureCode, EXCEPTION_NONCONTINUABLE, 0, nullptr); }));
    for (DWORD code : {0xA0000002u, 0xC0000005u, 0xE06D7363u}) {
        try {
            CDevice::CatchOpenFailure([code] { RaiseException(code, EXCEPTION_NONCONTINUABLE, 0, nullptr); });
            ADD_FAILURE() << std::hex << code << " was caught";
        } catch (const nt::SehException& e) {
            EXPECT_EQ(static_cast<DWORD>(e.Code()), code);
        }
    }
}

} // namespace
