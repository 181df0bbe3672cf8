#include "platform/sim/Workload.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <thread>
#include <vector>

#include "NtClock.h"
#include "NtPnpControl.h"
#include "hidclass.h"
#include "platform/sim/StandardDevices.h"
#include "platform/sim/internal/BusTime.h"
#include "platform/sim/internal/ClassDrivers.h"
#include "platform/sim/internal/DriverFramework.h"
#include "platform/sim/internal/HubFdo.h"
#include "platform/sim/internal/NameTable.h"
#include "platform/sim/internal/PoolMemory.h"
#include "platform/sim/internal/PowerRequests.h"
#include "platform/sim/internal/Srb.h"
#include "platform/sim/internal/UsbPort.h"
#include "platform/sim/internal/UserRequests.h"
#include "usbioctl.h"
#include "usbuser.h"

namespace sim {

namespace {

using drv::AwaitReal;
using drv::DescendantPdo;
using drv::Ioctl;
using drv::OpenDevice;
using drv::Pending;
using drv::PoolBuffer;
using drv::Sent;
using drv::Transfer;

constexpr std::array<std::pair<WorkloadKind, std::string_view>, 7> kNames = {{
    {WorkloadKind::IdleMachine, "idle machine"},
    {WorkloadKind::MouseMoving, "mouse moving"},
    {WorkloadKind::CopyToStick, "copying a file to the stick"},
    {WorkloadKind::Printing, "printing"},
    {WorkloadKind::PlugAndUnplug, "plug and unplug"},
    {WorkloadKind::RequestFamilies, "every request family"},
    {WorkloadKind::Flood, "loopback flood"},
}};

constexpr LONGLONG kUnitsPerMillisecond = 10'000;

// The workloads' random numbers: the same seed, the same choices on every platform.
class Random {
public:
    explicit Random(uint64_t seed) : m_state(seed * 0x9E3779B97F4A7C15ull + 0x2545F4914F6CDD1Dull) {}
    uint64_t Next() {
        uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    ULONG Below(ULONG bound) { return bound ? static_cast<ULONG>(Next() % bound) : 0; }
    void Fill(UCHAR* bytes, size_t size) {
        for (size_t i = 0; i < size; i += 8) {
            const uint64_t value = Next();
            std::memcpy(bytes + i, &value, std::min<size_t>(8, size - i));
        }
    }

private:
    uint64_t m_state;
};

class Runner {
public:
    Runner(Machine& machine, WorkloadKind kind, const WorkloadOptions& options)
        : m_machine(machine), m_kind(kind), m_options(options), m_random(options.seed) {}

    WorkloadResult Run();

private:
    bool Fail(NTSTATUS status, std::string what) {
        if (m_result.Succeeded()) {
            m_result.status = NT_SUCCESS(status) ? STATUS_UNSUCCESSFUL : status;
            m_result.failure = std::move(what);
        }
        return false;
    }
    bool More() const {
        const uint64_t steps = m_options.count ? m_options.count : (m_options.duration.count() ? UINT64_MAX : 1);
        if (m_result.steps >= steps || !m_result.Succeeded() || (m_options.stop != nullptr && m_options.stop->load())) {
            return false;
        }
        return !m_options.duration.count() ||
               nt::clock::Now() - m_start < m_options.duration.count() * kUnitsPerMillisecond;
    }
    bool Last() const {
        return (m_options.count && m_result.steps + 1 >= m_options.count) ||
               (!m_options.count && !m_options.duration.count()) ||
               (m_options.duration.count() && nt::clock::Now() - m_start + 1000 * kUnitsPerMillisecond >=
                                                  m_options.duration.count() * kUnitsPerMillisecond);
    }
    // Lets machine time pass: a virtual clock is moved on, a real one waited for.
    static void Pass(LONGLONG units) {
        if (nt::clock::IsVirtual()) {
            nt::clock::Advance(units);
        } else {
            nt::clock::SleepUntil(nt::clock::Deadline::After(units));
        }
    }
    PDEVICE_OBJECT Pdo(std::string_view name) {
        std::shared_ptr<UsbDevice> device = m_machine.Device(name);
        PDEVICE_OBJECT pdo = device ? device->PhysicalDeviceObject() : nullptr;
        if (!pdo) {
            Fail(STATUS_NO_SUCH_DEVICE, "no device \"" + std::string(name) + "\" on the machine");
        }
        return pdo;
    }
    std::string DeviceOr(const char* fallback) const {
        return m_options.device.empty() ? std::string(fallback) : m_options.device;
    }

    void IdleMachine();
    void MouseMoving();
    void CopyToStick();
    void Printing();
    void PlugAndUnplug();
    void RequestFamilies();
    void Flood();

    // Shared steps.
    bool HidRequests(PDEVICE_OBJECT collection);
    bool ReadReport(PDEVICE_OBJECT collection, Bytes& report, const std::function<void()>& clock);
    bool CopyFile(PDEVICE_OBJECT disk, ScsiDisk* model, ULONG size, uint64_t file);
    bool PrintJob(PDEVICE_OBJECT printer, PrinterFunction* model, ULONG size, bool slow);
    bool Suspend(PDEVICE_OBJECT pdo, const char* what);
    bool WakeByMouse(std::string_view mouse);
    bool SleepAndWake();
    bool HubAndControllerRequests();

    Machine& m_machine;
    const WorkloadKind m_kind;
    const WorkloadOptions m_options;
    Random m_random;
    WorkloadResult m_result;
    LONGLONG m_start = 0;
    Bytes m_fileData; // the file being copied (without checks: the run's one file)
    Bytes m_readBack;
};

WorkloadResult Runner::Run() {
    m_start = nt::clock::Now();
    // A workload of one device counts that device's requests, whatever the others do meanwhile.
    const char* own = m_kind == WorkloadKind::MouseMoving   ? "mouse"
                      : m_kind == WorkloadKind::CopyToStick ? "stick"
                      : m_kind == WorkloadKind::Printing    ? "printer"
                                                            : nullptr;
    const std::shared_ptr<UsbDevice> device = own ? m_machine.Device(DeviceOr(own)) : nullptr;
    auto received = [&device] { return device ? device->UrbsReceived() : drv::UrbsReceived(); };
    const uint64_t urbs = received();
    switch (m_kind) {
    case WorkloadKind::IdleMachine: IdleMachine(); break;
    case WorkloadKind::MouseMoving: MouseMoving(); break;
    case WorkloadKind::CopyToStick: CopyToStick(); break;
    case WorkloadKind::Printing: Printing(); break;
    case WorkloadKind::PlugAndUnplug: PlugAndUnplug(); break;
    case WorkloadKind::RequestFamilies: RequestFamilies(); break;
    case WorkloadKind::Flood: Flood(); break;
    }
    m_machine.WaitForIdle();
    m_result.requests = received() - urbs;
    m_result.machineTime = nt::clock::Now() - m_start;
    return m_result;
}

// --- HID ---

// A mouse's moves, made from the seed and the report's number: buttons now and then, small steps, no wheel.
Bytes MouseReport(uint64_t seed, uint64_t n) {
    Random random(seed ^ (n * 0xD1B54A32D192ED03ull));
    const uint64_t value = random.Next();
    return {static_cast<UCHAR>((value & 0x700) == 0x700 ? 1 : 0),
            static_cast<UCHAR>(static_cast<int8_t>(value % 15) - 7),
            static_cast<UCHAR>(static_cast<int8_t>((value >> 8) % 15) - 7), 0};
}

bool Runner::ReadReport(PDEVICE_OBJECT collection, Bytes& report, const std::function<void()>& clock) {
    Bytes buffer(64);
    Sent read = Transfer(collection, IRP_MJ_READ, buffer.data(), static_cast<ULONG>(buffer.size()), 0, clock);
    if (!NT_SUCCESS(read.status)) {
        return Fail(read.status, "a read of the HID collection failed");
    }
    report.assign(buffer.begin() + 1, buffer.begin() + static_cast<std::ptrdiff_t>(read.information));
    m_result.bytes += read.information;
    return true;
}

bool Runner::HidRequests(PDEVICE_OBJECT collection) {
    // The HID IOCTLs of each transfer method, as an application sends them to the collection.
    HID_COLLECTION_INFORMATION info{};
    Sent sent = Ioctl(collection, IOCTL_HID_GET_COLLECTION_INFORMATION, nullptr, 0, &info, sizeof info);
    if (!NT_SUCCESS(sent.status) || info.VendorID != kSimVendorId) {
        return Fail(sent.status, "IOCTL_HID_GET_COLLECTION_INFORMATION");
    }
    PoolBuffer descriptor(info.DescriptorSize); // METHOD_NEITHER: the driver writes the caller's buffer itself
    sent = Ioctl(collection, IOCTL_HID_GET_COLLECTION_DESCRIPTOR, nullptr, 0, descriptor.Data(), info.DescriptorSize);
    if (!NT_SUCCESS(sent.status) || sent.information != info.DescriptorSize) {
        return Fail(sent.status, "IOCTL_HID_GET_COLLECTION_DESCRIPTOR");
    }
    UCHAR input[16] = {};
    sent = Ioctl(collection, IOCTL_HID_GET_INPUT_REPORT, nullptr, 0, input, sizeof input);
    if (!NT_SUCCESS(sent.status)) {
        return Fail(sent.status, "IOCTL_HID_GET_INPUT_REPORT");
    }
    UCHAR feature[4] = {};
    Ioctl(collection, IOCTL_HID_GET_FEATURE, nullptr, 0, feature, sizeof feature); // the devices have none
    UCHAR output[2] = {0, 0x02};                                                   // report ID 0, caps lock
    Ioctl(collection, IOCTL_HID_SET_OUTPUT_REPORT, output, sizeof output, nullptr, 0);
    Ioctl(collection, IOCTL_HID_SET_FEATURE, output, sizeof output, nullptr, 0);
    WCHAR product[64] = {};
    sent = Ioctl(collection, IOCTL_HID_GET_PRODUCT_STRING, nullptr, 0, product, sizeof product);
    if (!NT_SUCCESS(sent.status)) {
        return Fail(sent.status, "IOCTL_HID_GET_PRODUCT_STRING");
    }
    ULONG index = 1;
    Ioctl(collection, IOCTL_HID_GET_INDEXED_STRING, &index, sizeof index, product, sizeof product);
    ULONG buffers = 0;
    Ioctl(collection, IOCTL_GET_NUM_DEVICE_INPUT_BUFFERS, nullptr, 0, &buffers, sizeof buffers);
    Ioctl(collection, IOCTL_SET_NUM_DEVICE_INPUT_BUFFERS, &buffers, sizeof buffers, nullptr, 0);
    HID_DRIVER_CONFIG config{};
    Ioctl(collection, IOCTL_HID_GET_DRIVER_CONFIG, nullptr, 0, &config, sizeof config);
    Ioctl(collection, IOCTL_HID_SET_DRIVER_CONFIG, &config, sizeof config, nullptr, 0);
    ULONG frequency = 0;
    Ioctl(collection, IOCTL_HID_GET_POLL_FREQUENCY_MSEC, nullptr, 0, &frequency, sizeof frequency);
    Ioctl(collection, IOCTL_HID_GET_HARDWARE_ID, nullptr, 0, product, sizeof product);
    Ioctl(collection, IOCTL_HID_FLUSH_QUEUE, nullptr, 0, nullptr, 0);
    return true;
}

void Runner::MouseMoving() {
    const std::string name = DeviceOr("mouse");
    PDEVICE_OBJECT pdo = Pdo(name);
    auto device = m_machine.Device(name);
    auto* hid = device ? device->FunctionAs<HidFunction>(0) : nullptr;
    PDEVICE_OBJECT collection = pdo ? DescendantPdo(pdo, u"HID\\") : nullptr;
    if (!hid || !collection) {
        Fail(STATUS_NO_SUCH_DEVICE, "no HID collection of \"" + name + "\"");
        return;
    }
    // The input thread holds the collection open: the class driver reads from the device meanwhile.
    OpenDevice open(collection);
    if (!NT_SUCCESS(open.Status())) {
        Fail(open.Status(), "opening the HID collection");
        return;
    }
    if (!HidRequests(collection)) {
        return;
    }
    const ULONG rate = std::max<ULONG>(m_options.reportRateHz, 1);
    const LONGLONG period = 10'000'000 / rate;
    const uint64_t seed = m_options.seed;
    const LONGLONG started = nt::clock::Now();
    hid->StartReports(rate, [seed](uint64_t n) { return MouseReport(seed, n); });
    const bool virtualClock = nt::clock::IsVirtual();
    for (uint64_t n = 0; More(); ++n) {
        // With a virtual clock the read moves it on to when the mouse makes its report (unless the buses moved
        // it there already), and no further until the report is in.
        auto clock = [made = started + static_cast<LONGLONG>(n + 1) * period] {
            if (const LONGLONG ahead = made - nt::clock::Now(); ahead > 0) {
                nt::clock::Advance(ahead);
            }
            std::this_thread::yield();
        };
        Bytes report;
        if (!ReadReport(collection, report, virtualClock ? std::function<void()>(clock) : std::function<void()>())) {
            break;
        }
        if (report != MouseReport(seed, n)) {
            Fail(STATUS_DATA_ERROR, "report " + std::to_string(n) + " is not the one the mouse made");
            break;
        }
        ++m_result.steps;
    }
    hid->StopReports();
}

// --- Storage ---

bool Runner::CopyFile(PDEVICE_OBJECT disk, ScsiDisk* model, ULONG size, uint64_t file) {
    const ULONG block = model ? model->BlockSize() : 512;
    const ULONGLONG blocks = model ? model->BlockCount() : 0;
    const ULONG length = std::max<ULONG>(block, size / block * block);
    if (!blocks || length / block > blocks) {
        return Fail(STATUS_INVALID_PARAMETER, "the file does not fit the disk");
    }
    // Where the file goes: the files follow each other and wrap at the end of the disk.
    const ULONGLONG fileBlocks = length / block;
    const ULONGLONG first = (file * fileBlocks) % (blocks - fileBlocks + 1);
    const LONGLONG offset = static_cast<LONGLONG>(first * block);
    const bool checks = m_options.checks;
    if (checks || m_fileData.size() != length) {
        m_fileData.resize(length);
        Random random(m_options.seed ^ (file + 1) * 0xA24BAED4963EE407ull);
        random.Fill(m_fileData.data(), m_fileData.size());
    }
    const Bytes& data = m_fileData;
    const ULONG piece = std::clamp<ULONG>(m_options.transferBytes / block * block, block, 2 * 1024 * 1024);
    for (ULONG done = 0; done < length; done += piece) {
        const ULONG n = std::min(piece, length - done);
        Sent write = Transfer(disk, IRP_MJ_WRITE, const_cast<UCHAR*>(data.data()) + done, n, offset + done);
        if (!NT_SUCCESS(write.status) || write.information != n) {
            return Fail(write.status, "writing the file to the disk");
        }
    }
    Sent flush = Transfer(disk, IRP_MJ_FLUSH_BUFFERS, nullptr, 0, 0);
    if (!NT_SUCCESS(flush.status)) {
        return Fail(flush.status, "flushing the disk");
    }
    m_readBack.resize(length);
    for (ULONG done = 0; done < length; done += piece) {
        const ULONG n = std::min(piece, length - done);
        Sent read = Transfer(disk, IRP_MJ_READ, m_readBack.data() + done, n, offset + done);
        if (!NT_SUCCESS(read.status) || read.information != n) {
            return Fail(read.status, "reading the file back");
        }
    }
    if (checks && m_readBack != data) {
        return Fail(STATUS_DATA_ERROR, "the file read back differs from the one written");
    }
    if (checks && model && model->ReadBlocks(static_cast<ULONG>(first), static_cast<ULONG>(fileBlocks)) != data) {
        return Fail(STATUS_DATA_ERROR, "the disk does not hold the file");
    }
    m_result.bytes += 2ull * length;
    return true;
}

void Runner::CopyToStick() {
    const std::string name = DeviceOr("stick");
    PDEVICE_OBJECT pdo = Pdo(name);
    auto device = m_machine.Device(name);
    PDEVICE_OBJECT disk = pdo ? DescendantPdo(pdo, u"USBSTOR\\") : nullptr;
    BulkOnlyFunction* storage = nullptr;
    for (UCHAR number = 0; device && number < 4 && !storage; ++number) {
        storage = device->FunctionAs<BulkOnlyFunction>(number);
    }
    if (!disk || !storage) {
        Fail(STATUS_NO_SUCH_DEVICE, "no disk of \"" + name + "\"");
        return;
    }
    for (uint64_t file = 0; More(); ++file) {
        if (!CopyFile(disk, &storage->Disk(), m_options.fileBytes, file)) {
            break;
        }
        ++m_result.steps;
    }
}

// --- Printing ---

bool Runner::PrintJob(PDEVICE_OBJECT printer, PrinterFunction* model, ULONG size, bool slow) {
    // A job: its PJL header and the page data.
    static constexpr char kHeader[] = "\x1B%-12345X@PJL JOB NAME=\"Tindaloft\"\r\n@PJL ENTER LANGUAGE=PCL\r\n";
    Bytes job(std::max<size_t>(size, sizeof kHeader - 1));
    std::memcpy(job.data(), kHeader, sizeof kHeader - 1);
    m_random.Fill(job.data() + sizeof kHeader - 1, job.size() - (sizeof kHeader - 1));
    const size_t before = model->Printed().size();
    // A slow printer takes the job as its engine makes room: the machine's time passes while it waits for it.
    // (One millisecond at a time, each once the engine has had the one before.)
    auto clock = [model] {
        if (model->Waiting()) {
            const uint64_t ticks = model->EngineTicks();
            Pass(kUnitsPerMillisecond);
            AwaitReal([&] { return model->EngineTicks() > ticks; });
        } else {
            std::this_thread::yield();
        }
    };
    Sent written = Transfer(printer, IRP_MJ_WRITE, job.data(), static_cast<ULONG>(job.size()), 0,
                            slow && nt::clock::IsVirtual() ? std::function<void()>(clock) : std::function<void()>());
    if (!NT_SUCCESS(written.status) || written.information != job.size()) {
        return Fail(written.status, "the print job");
    }
    const Bytes printed = model->Printed();
    if (printed.size() != before + job.size() || !std::equal(job.begin(), job.end(), printed.begin() + before)) {
        return Fail(STATUS_DATA_ERROR, "the printer did not get the job as it was sent");
    }
    m_result.bytes += job.size();
    return true;
}

void Runner::Printing() {
    const std::string name = DeviceOr("printer");
    PDEVICE_OBJECT pdo = Pdo(name);
    auto device = m_machine.Device(name);
    auto* model = device ? device->FunctionAs<PrinterFunction>(0) : nullptr;
    if (!pdo || !model) {
        Fail(STATUS_NO_SUCH_DEVICE, "no printer \"" + name + "\"");
        return;
    }
    const bool slow = m_options.printerBytesPerMs != 0;
    if (slow) {
        model->SetSpeed(m_options.printerBytesPerMs);
    }
    OpenDevice open(pdo); // the spooler's handle on the printer
    UCHAR status = 0;
    Sent sent = Ioctl(pdo, IOCTL_USBPRINT_GET_LPT_STATUS, nullptr, 0, &status, 1);
    Bytes id(1024);
    Sent named = Ioctl(pdo, IOCTL_USBPRINT_GET_1284_ID, nullptr, 0, id.data(), static_cast<ULONG>(id.size()));
    Sent reset = Ioctl(pdo, IOCTL_USBPRINT_SOFT_RESET, nullptr, 0, nullptr, 0);
    if (!NT_SUCCESS(open.Status()) || !NT_SUCCESS(sent.status) || !NT_SUCCESS(named.status) ||
        !NT_SUCCESS(reset.status)) {
        Fail(STATUS_UNSUCCESSFUL, "opening the printer, its status, ID and reset");
    }
    while (More()) {
        if (!PrintJob(pdo, model, m_options.jobBytes, slow)) {
            break;
        }
        if (!NT_SUCCESS(Ioctl(pdo, IOCTL_USBPRINT_GET_LPT_STATUS, nullptr, 0, &status, 1).status)) {
            Fail(STATUS_UNSUCCESSFUL, "the printer's status after a job");
            break;
        }
        ++m_result.steps;
    }
    if (slow) {
        model->SetSpeed(0);
    }
}

// --- Power ---

bool Runner::Suspend(PDEVICE_OBJECT pdo, const char* what) {
    if (!drv::HidEnterIdle(pdo) && !drv::HidSleeping(pdo)) {
        return Fail(STATUS_UNSUCCESSFUL, std::string(what) + " did not go idle");
    }
    if (!AwaitReal([pdo] { return drv::HidSleeping(pdo); })) {
        return Fail(STATUS_IO_TIMEOUT, std::string(what) + " did not sleep");
    }
    return true;
}

bool Runner::WakeByMouse(std::string_view name) {
    PDEVICE_OBJECT pdo = Pdo(name);
    auto device = m_machine.Device(name);
    auto* hid = device ? device->FunctionAs<HidFunction>(0) : nullptr;
    if (!pdo || !hid) {
        return false;
    }
    // The mouse moves: it signals resume on its port, its wait-wake completes and its driver brings it back.
    const Bytes move = MouseReport(m_options.seed, 0x5EED);
    hid->QueueInputReport(move);
    if (!AwaitReal([pdo] { return !drv::HidSleeping(pdo); })) {
        return Fail(STATUS_IO_TIMEOUT, "the mouse did not wake the machine");
    }
    // The move that woke it is the first report its reader gets.
    PDEVICE_OBJECT collection = DescendantPdo(pdo, u"HID\\");
    OpenDevice open(collection);
    Bytes report;
    if (!NT_SUCCESS(open.Status()) || !ReadReport(collection, report, {}) || report != move) {
        return Fail(STATUS_DATA_ERROR, "the move that woke the machine was not read");
    }
    return true;
}

bool Runner::SleepAndWake() {
    // The power manager: QUERY_POWER and SET_POWER for S3 to every stack, children before parents; then S0,
    // parents first. Each function driver brings its device to D3 and back to D0 with a device request.
    std::vector<PDEVICE_OBJECT> pdos;
    for (const auto& node : nt::pnp::DeviceNodes()) {
        if (node.started && drv::ContextOf(node.pdo)) {
            pdos.push_back(node.pdo);
            ObReferenceObject(node.pdo);
        }
    }
    POWER_STATE sleep;
    sleep.SystemState = PowerSystemSleeping3;
    POWER_STATE working;
    working.SystemState = PowerSystemWorking;
    bool ok = true;
    for (auto it = pdos.rbegin(); it != pdos.rend() && ok; ++it) {
        ok = NT_SUCCESS(drv::SendPowerRequest(*it, IRP_MN_QUERY_POWER, SystemPowerState, sleep, PowerActionSleep));
    }
    for (auto it = pdos.rbegin(); it != pdos.rend() && ok; ++it) {
        ok = NT_SUCCESS(drv::SendPowerRequest(*it, IRP_MN_SET_POWER, SystemPowerState, sleep, PowerActionSleep));
    }
    for (PDEVICE_OBJECT pdo : pdos) {
        if (!NT_SUCCESS(drv::SendPowerRequest(pdo, IRP_MN_SET_POWER, SystemPowerState, working, PowerActionSleep))) {
            ok = false;
        }
        ObDereferenceObject(pdo);
    }
    m_machine.WaitForIdle(); // the hubs see their ports resume
    return ok || Fail(STATUS_UNSUCCESSFUL, "a stack refused to sleep or wake");
}

void Runner::IdleMachine() {
    // Who polls: the disk class drivers (their medium), the printer's port monitor (its status).
    std::vector<PDEVICE_OBJECT> disks;
    for (const auto& node : nt::pnp::DeviceNodes()) {
        if (node.instancePath.rfind(u"USBSTOR\\", 0) == 0 && node.started) {
            disks.push_back(node.pdo);
        }
    }
    PDEVICE_OBJECT printer = m_machine.Device("printer") ? Pdo("printer") : nullptr;
    const bool hid = m_machine.Device("mouse") && m_machine.Device("keyboard");
    if (hid && (!Suspend(Pdo("mouse"), "the mouse") || !Suspend(Pdo("keyboard"), "the keyboard"))) {
        return;
    }
    while (More()) {
        for (PDEVICE_OBJECT disk : disks) {
            Sent verify = Ioctl(disk, IOCTL_STORAGE_CHECK_VERIFY, nullptr, 0, nullptr, 0);
            if (!NT_SUCCESS(verify.status) && verify.status != STATUS_VERIFY_REQUIRED) {
                Fail(verify.status, "a disk's medium check");
            }
        }
        if (printer) {
            UCHAR status = 0;
            Ioctl(printer, IOCTL_USBPRINT_GET_LPT_STATUS, nullptr, 0, &status, 1);
        }
        if (Last()) {
            // The last second: the mouse wakes the machine, the keyboard is taken out of its sleep, and the
            // machine sleeps and wakes once.
            if (hid) {
                WakeByMouse("mouse");
                drv::HidLeaveIdle(Pdo("keyboard"));
            }
            SleepAndWake();
        }
        Pass(1000 * kUnitsPerMillisecond);
        ++m_result.steps;
    }
    if (hid) {
        drv::HidLeaveIdle(Pdo("mouse"));
        drv::HidLeaveIdle(Pdo("keyboard"));
    }
}

// --- Plug and unplug ---

void Runner::PlugAndUnplug() {
    auto hub = m_machine.DeviceAs<UsbHubModel>(DeviceOr("hub"));
    if (!hub) {
        Fail(STATUS_NO_SUCH_DEVICE, "no hub to plug into");
        return;
    }
    int port = 0;
    for (int candidate = 1; candidate <= hub->PortCount() && !port; ++candidate) {
        port = hub->DeviceAt(candidate) ? 0 : candidate;
    }
    if (!port) {
        Fail(STATUS_DEVICE_BUSY, "the hub has no free port");
        return;
    }
    // The kinds take turns (from one the seed picks), so that any five steps plug each once.
    const ULONG firstKind = m_random.Below(5);
    for (uint64_t step = 0; More(); ++step) {
        const std::string name = "plugged-" + std::to_string(step);
        const ULONG choice = static_cast<ULONG>((firstKind + step) % 5);
        std::shared_ptr<UsbDevice> device;
        switch (choice) {
        case 0: device = MakeMouse(name); break;
        case 1: device = MakeFlashDrive(name, u"SIMPLUG" + drv::Decimal(static_cast<ULONG>(step)), 4096); break;
        case 2: device = MakePrinter(name); break;
        case 3: {
            // A hub with a keyboard and a stick: the whole subtree comes and goes with it.
            auto plugged = MakeHub20(name);
            plugged->Plug(1, MakeKeyboard(name + "-keyboard"));
            plugged->Plug(2, MakeFlashDrive(name + "-stick", u"SIMSUB" + drv::Decimal(static_cast<ULONG>(step)), 4096));
            device = plugged;
            break;
        }
        default: device = MakeLoopbackDevice(name); break;
        }
        if (!m_machine.Plug(*hub, port, device) || !device->PhysicalDeviceObject()) {
            Fail(STATUS_UNSUCCESSFUL, "plugging " + name);
            break;
        }
        // Used a little: a file on a stick, a job on a printer, a move of a mouse (sometimes left waiting
        // for the next one when the device is pulled).
        PDEVICE_OBJECT pdo = device->PhysicalDeviceObject();
        std::unique_ptr<OpenDevice> heldOpen;
        std::unique_ptr<Pending> waiting;
        Bytes waitingBuffer(64);
        if (choice == 1 || choice == 3) {
            std::shared_ptr<UsbDevice> stick = choice == 1 ? device : m_machine.Device(name + "-stick");
            PDEVICE_OBJECT disk = stick ? DescendantPdo(stick->PhysicalDeviceObject(), u"USBSTOR\\") : nullptr;
            auto* storage = stick ? stick->FunctionAs<BulkOnlyFunction>(0) : nullptr;
            if (!disk || !storage || !CopyFile(disk, &storage->Disk(), 8 * 512, step)) {
                Fail(STATUS_UNSUCCESSFUL, "using the stick " + name);
                break;
            }
        } else if (choice == 2) {
            if (!PrintJob(pdo, device->FunctionAs<PrinterFunction>(0), 2048, false)) {
                break;
            }
        } else if (choice == 0) {
            PDEVICE_OBJECT collection = DescendantPdo(pdo, u"HID\\");
            heldOpen = std::make_unique<OpenDevice>(collection);
            auto* hid = device->FunctionAs<HidFunction>(0);
            const Bytes move = MouseReport(m_options.seed, step);
            hid->QueueInputReport(move);
            Bytes report;
            if (!ReadReport(collection, report, {}) || report != move) {
                Fail(STATUS_DATA_ERROR, "the plugged mouse's move");
                break;
            }
            if (m_random.Below(2)) {
                // A read waits for the next move while the mouse is pulled out: it ends cancelled.
                PDEVICE_OBJECT top = IoGetAttachedDeviceReference(collection);
                waiting = std::make_unique<Pending>();
                LARGE_INTEGER at{};
                waiting->Send(top, IoBuildSynchronousFsdRequest(IRP_MJ_READ, top, waitingBuffer.data(), 64, &at,
                                                                waiting->Event(), waiting->Status()));
                ObDereferenceObject(top);
            }
        } else {
            // The device's driver cycles its port: it leaves and comes back as a new device.
            Sent cycled = Ioctl(pdo, IOCTL_INTERNAL_USB_CYCLE_PORT, nullptr, 0, nullptr, 0, true);
            m_machine.WaitForIdle();
            if (!NT_SUCCESS(cycled.status) || !device->PhysicalDeviceObject() ||
                device->PhysicalDeviceObject() == pdo) {
                Fail(cycled.status, "cycling the port of " + name);
                break;
            }
        }
        if (!m_machine.Unplug(name)) {
            Fail(STATUS_UNSUCCESSFUL, "unplugging " + name);
            break;
        }
        if (waiting) {
            waiting->Wait();
            if (NT_SUCCESS(waiting->Result().status)) {
                Fail(STATUS_UNSUCCESSFUL, "a read of a mouse that is gone succeeded");
                break;
            }
        }
        heldOpen.reset();
        if (device->PhysicalDeviceObject()) {
            Fail(STATUS_UNSUCCESSFUL, name + " still has its device object");
            break;
        }
        ++m_result.steps;
    }
}

// --- Every request family ---

bool Runner::HubAndControllerRequests() {
    // What a user-mode tool asks a hub and a host controller.
    PDEVICE_OBJECT hub = m_machine.Device("hub") ? Pdo("hub") : nullptr;
    if (hub) {
        ULONG state = 0;
        NTSTATUS probed = drv::HubProbeStatusEndpoint(hub, &state);
        if (!NT_SUCCESS(probed) || !(state & 1)) {
            return Fail(probed, "the hub's endpoint requests (OPEN_ENDPOINT, GET_ENDPOINT_STATE, CLOSE_ENDPOINT)");
        }
        USB_NODE_INFORMATION node{};
        Sent sent = Ioctl(hub, IOCTL_USB_GET_NODE_INFORMATION, &node, sizeof node, &node, sizeof node);
        if (!NT_SUCCESS(sent.status) || node.u.HubInformation.HubDescriptor.bNumberOfPorts == 0) {
            return Fail(sent.status, "IOCTL_USB_GET_NODE_INFORMATION");
        }
        for (ULONG port = 1; port <= node.u.HubInformation.HubDescriptor.bNumberOfPorts; ++port) {
            Bytes info(sizeof(USB_NODE_CONNECTION_INFORMATION_EX) + 16 * sizeof(USB_PIPE_INFO));
            std::memcpy(info.data(), &port, sizeof port);
            Ioctl(hub, IOCTL_USB_GET_NODE_CONNECTION_INFORMATION_EX, info.data(), static_cast<ULONG>(info.size()),
                  info.data(), static_cast<ULONG>(info.size()));
            Ioctl(hub, IOCTL_USB_GET_NODE_CONNECTION_INFORMATION, info.data(), static_cast<ULONG>(info.size()),
                  info.data(), static_cast<ULONG>(info.size()));
            Bytes name(512);
            std::memcpy(name.data(), &port, sizeof port);
            Ioctl(hub, IOCTL_USB_GET_NODE_CONNECTION_DRIVERKEY_NAME, name.data(), static_cast<ULONG>(name.size()),
                  name.data(), static_cast<ULONG>(name.size()));
            std::memcpy(name.data(), &port, sizeof port);
            Ioctl(hub, IOCTL_USB_GET_NODE_CONNECTION_NAME, name.data(), static_cast<ULONG>(name.size()), name.data(),
                  static_cast<ULONG>(name.size()));
            Bytes request(sizeof(USB_DESCRIPTOR_REQUEST) + 18);
            auto* descriptor = reinterpret_cast<PUSB_DESCRIPTOR_REQUEST>(request.data());
            descriptor->ConnectionIndex = port;
            descriptor->SetupPacket.wValue = USB_DEVICE_DESCRIPTOR_TYPE << 8;
            descriptor->SetupPacket.wLength = 18;
            Ioctl(hub, IOCTL_USB_GET_DESCRIPTOR_FROM_NODE_CONNECTION, request.data(),
                  static_cast<ULONG>(request.size()), request.data(), static_cast<ULONG>(request.size()));
            USB_NODE_CONNECTION_ATTRIBUTES attributes{};
            attributes.ConnectionIndex = port;
            Ioctl(hub, IOCTL_USB_GET_NODE_CONNECTION_ATTRIBUTES, &attributes, sizeof attributes, &attributes,
                  sizeof attributes);
        }
        USB_HUB_CAPABILITIES capabilities{};
        Ioctl(hub, IOCTL_USB_GET_HUB_CAPABILITIES, nullptr, 0, &capabilities, sizeof capabilities);
        USB_HUB_CAPABILITIES_EX extended{};
        Ioctl(hub, IOCTL_USB_GET_HUB_CAPABILITIES_EX, nullptr, 0, &extended, sizeof extended);
        USB_HUB_INFORMATION_EX information{};
        Ioctl(hub, IOCTL_USB_GET_HUB_INFORMATION_EX, nullptr, 0, &information, sizeof information);
    }
    for (const auto& controller : m_machine.Controllers()) {
        PDEVICE_OBJECT pdo = controller->PhysicalDeviceObject();
        if (!pdo) {
            continue;
        }
        Bytes name(512);
        Sent sent = Ioctl(pdo, IOCTL_GET_HCD_DRIVERKEY_NAME, name.data(), static_cast<ULONG>(name.size()), name.data(),
                          static_cast<ULONG>(name.size()));
        if (!NT_SUCCESS(sent.status)) {
            return Fail(sent.status, "IOCTL_GET_HCD_DRIVERKEY_NAME");
        }
        Ioctl(pdo, IOCTL_USB_GET_ROOT_HUB_NAME, name.data(), static_cast<ULONG>(name.size()), name.data(),
              static_cast<ULONG>(name.size()));
        HCD_STAT_INFORMATION_1 statistics{};
        Ioctl(pdo, IOCTL_USB_HCD_GET_STATS_1, &statistics, sizeof statistics, &statistics, sizeof statistics);
        HCD_STAT_INFORMATION_2 more{};
        Ioctl(pdo, IOCTL_USB_HCD_GET_STATS_2, &more, sizeof more, &more, sizeof more);
        ULONG port = 1;
        Ioctl(pdo, IOCTL_USB_HCD_DISABLE_PORT, &port, sizeof port, nullptr, 0);
        Ioctl(pdo, IOCTL_USB_HCD_ENABLE_PORT, &port, sizeof port, nullptr, 0);
        Bytes user(sizeof(USBUSER_REQUEST_HEADER) + sizeof(USB_CONTROLLER_INFO_0));
        for (ULONG request : {ULONG{USBUSER_GET_CONTROLLER_INFO_0}, ULONG{USBUSER_GET_USB_DRIVER_VERSION},
                              ULONG{USBUSER_GET_BANDWIDTH_INFORMATION}}) {
            USBUSER_REQUEST_HEADER header{};
            header.UsbUserRequest = request;
            header.RequestBufferLength = static_cast<ULONG>(user.size());
            std::memcpy(user.data(), &header, sizeof header);
            Ioctl(pdo, IOCTL_USB_USER_REQUEST, user.data(), static_cast<ULONG>(user.size()), user.data(),
                  static_cast<ULONG>(user.size()));
        }
    }
    return true;
}

void Runner::RequestFamilies() {
    const std::string name = DeviceOr("loopback");
    PDEVICE_OBJECT loopback = Pdo(name);
    auto device = m_machine.Device(name);
    auto* function = device ? device->FunctionAs<LoopbackFunction>(0) : nullptr;
    if (!loopback || !function) {
        Fail(STATUS_NO_SUCH_DEVICE, "no loopback device \"" + name + "\"");
        return;
    }
    while (More()) {
        const uint64_t round = m_result.steps;
        drv::FamilyRound families;
        families.seed = m_options.seed + round;
        families.bulkBytes = std::clamp<ULONG>(m_options.bulkBytes, 64, 4 * 1024 * 1024);
        families.isochErrors = m_options.isochErrors;
        function->FailIsochPackets(m_options.isochErrors);
        NTSTATUS status = drv::RunFamilyRound(loopback, families);
        m_result.bytes += 2ull * families.bulkBytes;
        if (!NT_SUCCESS(status)) {
            Fail(status, families.failures.empty() ? "the generic driver's round" : families.failures.front());
            break;
        }
        if (!HubAndControllerRequests()) {
            break;
        }
        // HID IOCTLs of every method, to the keyboard's collection (it has an output report: its LEDs).
        if (m_machine.Device("keyboard")) {
            PDEVICE_OBJECT collection = DescendantPdo(Pdo("keyboard"), u"HID\\");
            if (!collection || !HidRequests(collection)) {
                Fail(STATUS_UNSUCCESSFUL, "the keyboard's HID requests");
                break;
            }
        }
        // Selective suspend and a wake by the mouse: idle notification, wait-wake, power sequence, device power.
        if (m_machine.Device("mouse") && (!Suspend(Pdo("mouse"), "the mouse") || !WakeByMouse("mouse"))) {
            break;
        }
        // Plug and Play: a device arrives and is pulled out again; the machine sleeps and wakes.
        auto hub = m_machine.DeviceAs<UsbHubModel>("hub");
        int free = 0;
        for (int port = 1; hub && port <= hub->PortCount() && !free; ++port) {
            free = hub->DeviceAt(port) ? 0 : port;
        }
        if (free) {
            const std::string plugged = "families-" + std::to_string(round);
            if (!m_machine.Plug(*hub, free, MakeMouse(plugged)) || !m_machine.Unplug(plugged)) {
                Fail(STATUS_UNSUCCESSFUL, "plugging and unplugging a mouse");
                break;
            }
        }
        if (!SleepAndWake()) {
            break;
        }
        ++m_result.steps;
    }
}

// --- Loopback flood ---

void Runner::Flood() {
    const std::string name = DeviceOr("loopback");
    PDEVICE_OBJECT loopback = Pdo(name);
    if (!loopback) {
        return;
    }
    // Pairs go in runs, so that the steps and the time are looked at between runs only.
    constexpr uint64_t kRun = 1024;
    const uint64_t steps = m_options.count ? m_options.count : (m_options.duration.count() ? UINT64_MAX : 1);
    while (More()) {
        drv::FloodRound round;
        round.pairs = std::min<uint64_t>(kRun, steps - m_result.steps);
        round.bytes = m_options.floodBytes;
        NTSTATUS status = drv::RunFlood(loopback, round);
        if (!NT_SUCCESS(status)) {
            Fail(status, round.failure.empty() ? "no generic driver on \"" + name + "\"" : round.failure);
            break;
        }
        m_result.steps += round.pairs;
        m_result.bytes += 2ull * round.pairs * std::clamp<ULONG>(m_options.floodBytes, 1, 64);
    }
}

} // namespace

std::string_view WorkloadName(WorkloadKind kind) {
    return drv::NameIn(kNames, kind);
}

std::optional<WorkloadKind> WorkloadFromName(std::string_view name) {
    return drv::ValueNamed<WorkloadKind>(kNames, name);
}

WorkloadResult RunWorkload(Machine& machine, WorkloadKind kind, const WorkloadOptions& options) {
    if (!machine.Running()) {
        WorkloadResult result;
        result.status = STATUS_DEVICE_NOT_READY;
        result.failure = "the machine is not running";
        return result;
    }
    FollowBusTime follow; // a virtual clock moves on to each transfer's end on its bus
    return Runner(machine, kind, options).Run();
}

} // namespace sim
