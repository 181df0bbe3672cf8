// A real capture for decoder suites: the default simulated machine with the capture driver, a live capture
// document of the program on it (every device selected, the test's settings sent to the driver), a workload
// played between the start and the stop, and the records the document then holds. Decoders see exactly
// what the driver wrote, not what a test believes it writes.
//
// A capture takes a moment, so a suite makes one and shares it:
//
//     class StorageCaptureTest : public testing::Test {
//     protected:
//         static void SetUpTestSuite() {
//             tdl::test::DecoderCapture::Options options;
//             options.workload = sim::WorkloadKind::CopyToStick;
//             options.settings = [](CAppSettings& s) { s.BulkMaxSize = 4; };
//             s_capture = std::make_unique<tdl::test::DecoderCapture>(options);
//         }
//         static void TearDownTestSuite() { s_capture.reset(); }
//         void SetUp() override { ASSERT_EQ(s_capture->Failure(), ""); }
//         static inline std::unique_ptr<tdl::test::DecoderCapture> s_capture;
//     };
//
// A binary that uses it links the application, the capture driver and the simulated machine.
#pragma once

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

} // namespace tdl::test
