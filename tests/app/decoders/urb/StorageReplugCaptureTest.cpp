// The bulk-only decoder over a real capture of the stick pulled out and plugged in again: its storage driver
// starts afresh and asks the stick for its Max LUN, which the decoder shows with the answer. The port driver
// completes the class request as the control transfer it became, and the decoder reads it from there.
#include "tests/support/DecoderCapture.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "app/core/records/LogRecordDecode.h"
#include "common/RecordFrame.h"
#include "common/RecordTags.h"
#include "platform/sim/UsbDevice.h"
#include "tests/support/LogDetailsPane.h"
#include "tests/support/RecordingOutputImp.h"
#include "usb.h"

namespace {

using tdl::test::DecoderCapture;

class StorageReplugCaptureTest : public tdl::test::DecoderCaptureTest<StorageReplugCaptureTest> {
protected:
    static void SetUpTestSuite() {
        DecoderCapture::Options options;
        options.workload = sim::WorkloadKind::IdleMachine;
        options.alsoDuring = [](sim::Machine& machine) {
            std::shared_ptr<sim::UsbDevice> stick = machine.Device("stick");
            sim::UsbHubModel* hub = stick ? stick->ParentHub() : nullptr;
            if (!hub)
                return false;
            const int port = stick->PortNumber();
            return machine.Unplug("stick") != nullptr && machine.Plug(*hub, port, stick);
        };
        options.refreshModelAfterStop = true;
        Capture(options);
    }
};

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST_F(StorageReplugCaptureTest, GetMaxLunShowsTheSticksAnswer) {
    int requests = 0;
    int answers = 0;
    for (const _LOGHDR* record : s_capture->Records(LogTag::urbC, URB_FUNCTION_CONTROL_TRANSFER)) {
        if (!CLogRecordDecode(record, s_capture->Document()).IsMassStorageBot())
            continue;
        tdl::test::LogDetailsPane pane;
        ASSERT_TRUE(pane.ShowRecord(s_capture->Document(), record));
        const std::string shown = pane.Shown("URB");
        if (!Has(shown, "Request = 0xfe (GET_MAX_LUN)\n"))
            continue;
        ++requests;
        EXPECT_TRUE(Has(shown, "Setup Packet = MSC-BOT request from interface\n")) << shown;
        EXPECT_TRUE(Has(shown, "Interface.wIndex = 0x0000\n")) << shown;
        // The stick has one unit: the highest number is 0.
        answers += Has(shown, "Max LUN = 0x00 (zero-based)\n");

        tdl::test::RecordingOutputImp out;
        std::unique_ptr<LogOutputer> decoder(LogOutputer::Create(&out, s_capture->Document(), record));
        ASSERT_NE(decoder, nullptr);
        decoder->OutputKindTitle(OUTPUT_MODE_XML);
        EXPECT_TRUE(Has(out.Text(), "BeginSection|GetMaxLUN|Description|MSC-BOT request from interface\n"))
            << out.Text();
    }
    EXPECT_GT(requests, 0);
    EXPECT_EQ(answers, requests);
}

} // namespace
