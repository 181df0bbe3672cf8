// A machine whose capture driver records chosen IOCTL kinds of every device object, and reads back what it
// recorded, for the tests of the IOCTL decoders over real captures. The kernel's headers come first: the
// framework's ASSERT yields to the kernel's.
#pragma once

#include "tests/support/MachineFixture.h"

#include <gtest/gtest.h>

#include <cstring>
#include <span>
#include <vector>

#include "common/ControlCodes.h"
#include "common/LogBlock.h"
#include "common/LoggingOptions.h"
#include "common/NodeEntries.h"
#include "common/RecordFrame.h"
#include "windows.h"

namespace ioctl_test {

class IoctlCaptureFixture : public tdl::test::MachineTest {
protected:
    void TearDown() override {
        if (m_control != INVALID_HANDLE_VALUE)
            ::CloseHandle(m_control);
        MachineTest::TearDown();
    }

    bool Control(DWORD code, void* in, DWORD inLength, void* out, DWORD outLength, DWORD* returned = nullptr) {
        DWORD bytes = 0;
        const BOOL ok = ::DeviceIoControl(m_control, code, in, inLength, out, outLength, &bytes, nullptr);
        if (returned)
            *returned = bytes;
        return ok != FALSE;
    }

    // The chosen kinds of every device object, nothing else.
    void StartCapture(void (*choose)(LOGGING_OPTIONS&)) {
        m_control =
            ::CreateFileA("\\\\.\\Tindaloft", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(m_control, INVALID_HANDLE_VALUE);
        LOGGING_OPTIONS options{};
        ASSERT_TRUE(Control(IOCTL_TINDALOFT_GET_LOGGING_OPTIONS, nullptr, 0, &options, sizeof options));
        options.CaptureUrbs = options.CaptureUsbIntern = options.CaptureHubIoctl = options.CapturePnp =
            options.CapturePower = options.CaptureHcdIoctl = options.CaptureHidIoctl = 0;
        choose(options);
        options.FilterPresent = 0;
        ASSERT_TRUE(Control(IOCTL_TINDALOFT_SET_LOGGING_OPTIONS, &options, sizeof options, nullptr, 0));

        std::vector<uint8_t> list(1 << 20);
        DWORD bytes = 0;
        ASSERT_TRUE(
            Control(IOCTL_TINDALOFT_DEVSTK_NODES, nullptr, 0, list.data(), static_cast<DWORD>(list.size()), &bytes));
        std::vector<uint8_t> flags;
        NodeListReader reader(std::span<const uint8_t>(list.data(), bytes));
        USHORT kind = 0;
        std::span<const uint8_t> entry;
        while (reader.Next(kind, entry)) {
            if (kind != NODE_KIND_DEVICE || entry.size() < sizeof(DEVICE_NODE))
                continue;
            DEVICE_NODE node;
            std::memcpy(&node, entry.data(), sizeof node);
            node.StatusFlags &= ~DEVOBJ_CAPTURE_OFF;
            flags.resize(flags.size() + SET_DEVOBJ_FLAGS_STRIDE);
            std::memcpy(flags.data() + flags.size() - SET_DEVOBJ_FLAGS_STRIDE, &node, sizeof node);
        }
        ASSERT_FALSE(flags.empty());
        flags.resize(flags.size() + sizeof(NODE_HEADER)); // the end entry
        ASSERT_TRUE(
            Control(IOCTL_TINDALOFT_SET_DEVOBJ_FLAGS, flags.data(), static_cast<DWORD>(flags.size()), nullptr, 0));
        ULONG word = 0;
        ASSERT_TRUE(Control(IOCTL_TINDALOFT_ENABLE_LOG, &word, sizeof word, nullptr, 0));
    }

    // Every record the log holds now, each whole.
    std::vector<std::vector<uint8_t>> ReadRecords() {
        std::vector<std::vector<uint8_t>> records;
        std::vector<uint8_t> block(LOG_BLOCK_DATA_SIZE);
        for (;;) {
            DWORD bytes = 0;
            EXPECT_TRUE(Control(IOCTL_TINDALOFT_READ_LOG, block.data(), static_cast<DWORD>(block.size()), block.data(),
                                static_cast<DWORD>(block.size()), &bytes));
            if (bytes == 0)
                return records;
            RecordWalker walker(std::span<const uint8_t>(block.data(), bytes));
            std::span<const uint8_t> record;
            while (walker.Next(record))
                records.emplace_back(record.begin(), record.end());
            EXPECT_TRUE(walker.AtEnd());
        }
    }

    HANDLE m_control = INVALID_HANDLE_VALUE;
};

} // namespace ioctl_test
