// The kernel's headers come first: the framework's ASSERT yields to the kernel's.
#include "tests/support/DecoderCapture.h"

#include "app/core/app/AppResources.h"
#include "app/core/app/Resource.h"
#include "app/core/app/TindaloftApp.h"
#include "app/core/document/USBLog.h"
#include "app/core/records/LogRecords.h"
#include "app/core/settings/AppSettings.h"
#include "app/core/system/ProgramVersion.h"
#include "app/devices/AttachedDevices.h"
#include "app/devices/DeviceObject.h"
#include "app/devices/TempObject.h"
#include "common/RecordFrame.h"

// The capture driver's entry point (driver/core/Driver.h).
DRIVER_INITIALIZE DriverEntry;

namespace tdl::test {

namespace {

// Each capture bank holds a whole workload's records (a 128 KiB transfer alone is two 64 KiB records), so
// that no bank switch drops the oldest.
constexpr DWORD kBankBytes = 16u << 20;

} // namespace

DecoderCapture::DecoderCapture(const Options& options) {
    Run(options);
}

DecoderCapture::~DecoderCapture() {
    if (m_document != nullptr) {
        m_document->DisableLogging();
        m_template->RemoveDocument(m_document);
        delete m_document;
    }
    m_template.reset();
    m_app.reset();
    if (m_machine)
        m_machine->Shutdown();
}

bool DecoderCapture::Fail(const std::string& what) {
    if (m_failure.empty())
        m_failure = what;
    return false;
}

void DecoderCapture::Run(const Options& options) {
    RegisterProgramVersionResource();
    RegisterAppResources();
    sim::MachineOptions machineOptions;
    machineOptions.captureDriverEntry = DriverEntry;
    machineOptions.busTime = false; // the decoders are tested on the traffic, not its pace
    m_machine = sim::Machine::BootDefault(machineOptions);
    if (!m_machine || m_machine->Status() != STATUS_SUCCESS) {
        Fail("the default machine did not boot");
        return;
    }

    // The program's own start, as far as a capture needs it: the driver's answer and capture switches, then
    // the test's settings over them, sent back to the driver.
    m_app = std::make_unique<CTindaloftApp>();
    if (!m_app->GetDriverInfo() || !m_app->GetDriverSettings()) {
        Fail("the capture driver did not answer");
        return;
    }
    CAppSettings& settings = m_app->m_Settings;
    settings.MaxLogBuffer = kBankBytes;
    settings.ContinuousLogging = false;
    // The capture thread indexes what it reads: no record list view is needed to receive the records.
    settings.BackgroundLogging = true;
    settings.AutoEnable = true;
    if (options.settings)
        options.settings(settings);
    if (!m_app->SetDriverLoggingOptions(nullptr)) {
        Fail("the capture settings were refused");
        return;
    }

    m_template = std::make_unique<CMultiDocTemplate>(IDR_TDLOFT_REALTIME, RUNTIME_CLASS(CUSBLog), nullptr, nullptr);
    m_document = new CUSBLog;
    m_template->AddDocument(m_document);
    if (!m_document->OnNewDocument()) {
        Fail("the live capture document did not open");
        return;
    }
    CAttachedDevices* devices = m_document->GetAttachedDevices();
    for (INT_PTR i = 0; i < devices->GetCount(); ++i) {
        CDeviceObject* device = devices->GetAt(i);
        if (device->IsSelectable())
            device->m_nStateImage = CHECKSTATE_CHECKED;
    }

    m_document->EnableLogging();
    if (!m_document->IsLogging()) {
        Fail("the capture did not start");
        return;
    }
    sim::WorkloadOptions workloadOptions = options.workloadOptions;
    if (workloadOptions.count == 0 && workloadOptions.duration.count() == 0)
        workloadOptions.count = 1;
    m_workload = sim::RunWorkload(*m_machine, options.workload, workloadOptions);
    const bool alsoDone = !options.alsoDuring || options.alsoDuring(*m_machine);
    m_document->DisableLogging();
    if (!m_workload.Succeeded())
        Fail(std::string(sim::WorkloadName(options.workload)) + ": " + m_workload.failure);
    if (!alsoDone)
        Fail("what else was to happen during the capture failed");
    if (options.refreshModelAfterStop)
        m_document->RefreshDevices();
    if (m_document->GetSequenceGapCount() != 0)
        Fail("records were lost between the driver and the document");

    LogRecords::CLogRecords* records = m_document->GetLogRecords();
    for (INT_PTR i = 0; i < records->GetCount(); ++i)
        m_records.push_back(records->GetAt(i));
    if (m_records.empty())
        Fail("nothing was captured");
}

std::vector<const _LOGHDR*> DecoderCapture::Records(ULONG logType) const {
    std::vector<const _LOGHDR*> found;
    for (const _LOGHDR* record : m_records)
        if (LogHdr::LogType(reinterpret_cast<const uint8_t*>(record)) == logType)
            found.push_back(record);
    return found;
}

std::vector<const _LOGHDR*> DecoderCapture::Records(ULONG logType, ULONG function) const {
    std::vector<const _LOGHDR*> found;
    for (const _LOGHDR* record : Records(logType))
        if (LogHdr::Function(reinterpret_cast<const uint8_t*>(record)) == function)
            found.push_back(record);
    return found;
}

} // namespace tdl::test
