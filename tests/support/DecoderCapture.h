// A real capture for decoder suites: the default simulated machine with the capture driver, a live capture
// document of the program on it (every device selected, the test's settings sent to the driver), a workload
// played between the start and the stop, and the records the document then holds. Decoders see exactly
// what the driver wrote, not what a test believes it writes.
//
// A capture takes a moment, so a suite makes one and shares it (DecoderCaptureTest below):
//
//     class StorageCaptureTest : public tdl::test::DecoderCaptureTest<StorageCaptureTest> {
//     protected:
//         static void SetUpTestSuite() {
//             tdl::test::DecoderCapture::Options options;
//             options.workload = sim::WorkloadKind::CopyToStick;
//             options.settings = [](CAppSettings& s) { s.BulkMaxSize = 4; };
//             Capture(options);
//         }
//     };
//
// A binary that uses it links the application, the capture driver and the simulated machine.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/LogHeader.h"
#include "platform/sim/Machine.h"
#include "platform/sim/Workload.h"

class CAppSettings;
class CDocTemplate;
class CTindaloftApp;
class CUSBLog;

namespace tdl::test {

class DecoderCapture {
public:
    struct Options {
        sim::WorkloadKind workload = sim::WorkloadKind::CopyToStick;
        // One step unless the options say otherwise.
        sim::WorkloadOptions workloadOptions;
        // The test's settings, applied over the driver's own before they are sent to it (what to capture,
        // the size codes). The capture banks are made large enough to hold the whole workload.
        std::function<void(CAppSettings&)> settings;
        // What else happens on the machine while it is captured, after the workload (a device pulled out and
        // plugged in again); false fails the capture.
        std::function<bool(sim::Machine&)> alsoDuring;
        // The device model is read again after the stop, so that devices that arrived during the capture are
        // known by their stacks (as the program learns them from the change log).
        bool refreshModelAfterStop = false;
    };

    explicit DecoderCapture(const Options& options);
    ~DecoderCapture();
    DecoderCapture(const DecoderCapture&) = delete;
    DecoderCapture& operator=(const DecoderCapture&) = delete;

    // Empty when the machine booted, the capture started and stopped and the workload ended well; else what
    // went wrong first.
    const std::string& Failure() const { return m_failure; }

    sim::Machine& Machine() const { return *m_machine; }
    CUSBLog* Document() const { return m_document; }
    const sim::WorkloadResult& Workload() const { return m_workload; }

    // The captured records in capture order (pointers into the document's banks).
    const std::vector<const _LOGHDR*>& Records() const { return m_records; }
    // Those of one record type ("urbC"), and of one function word too when it is given.
    std::vector<const _LOGHDR*> Records(ULONG logType) const;
    std::vector<const _LOGHDR*> Records(ULONG logType, ULONG function) const;

private:
    void Run(const Options& options);
    bool Fail(const std::string& what);

    std::string m_failure;
    std::unique_ptr<sim::Machine> m_machine;
    std::unique_ptr<CTindaloftApp> m_app;
    std::unique_ptr<CDocTemplate> m_template;
    CUSBLog* m_document = nullptr; // the template's
    sim::WorkloadResult m_workload;
    std::vector<const _LOGHDR*> m_records;
};

// A suite that shares one capture among its tests: its SetUpTestSuite calls Capture, each test starts only
// when the capture went well, and the capture ends with the suite. One capture per suite class.
template <class Suite> class DecoderCaptureTest : public testing::Test {
protected:
    static void Capture(const DecoderCapture::Options& options) {
        s_capture = std::make_unique<DecoderCapture>(options);
    }
    static void TearDownTestSuite() { s_capture.reset(); }
    void SetUp() override {
        ASSERT_NE(s_capture, nullptr);
        ASSERT_EQ(s_capture->Failure(), "");
    }

    static inline std::unique_ptr<DecoderCapture> s_capture;
};

} // namespace tdl::test
