// The desk's threads: one per timed activity, and two per held device (its reader and its reporter). Locks: the
// desk's own (the stop, the failures) and each held device's (its hand and its read), never both; neither is
// held while a request goes to the machine, except the cancel of a held read, whose completion takes no lock.
#include "platform/sim/Desk.h"

#include <algorithm>
#include <deque>

#include "NtClock.h"
#include "UsbDescriptorWalker.h"
#include "platform/sim/StandardDevices.h"
#include "platform/sim/internal/ClassDrivers.h"
#include "platform/sim/internal/HubFdo.h"
#include "platform/sim/internal/PoolMemory.h"
#include "platform/sim/internal/Srb.h"
#include "platform/sim/internal/UserRequests.h"

namespace sim {

namespace {

constexpr LONGLONG kSecond = 10'000'000; // 100 ns units

// When each timed activity first comes after the desk's start, and how often it comes again.
struct Schedule {
    LONGLONG first;
    LONGLONG period;
};
constexpr Schedule kIdle{kSecond, kSecond};
constexpr Schedule kCopy{2 * kSecond, 3 * kSecond};
constexpr Schedule kPrint{5 * kSecond, 15 * kSecond};
constexpr Schedule kPlug{10 * kSecond, 30 * kSecond};

// The stick's files: a small document each, in one transfer.
constexpr ULONG kFileBytes = 16 * 1024;

constexpr size_t kReportsKept = 256;
constexpr size_t kStatesKept = 64; // button or key states waiting for their reports; the oldest give way
constexpr ULONG kReadBytes = 64;

size_t Index(DeskActivity activity) {
    return static_cast<size_t>(activity);
}

// Every device below a hub, depth first.
void ForEachDevice(const UsbHubModel& hub, const std::function<void(const std::shared_ptr<UsbDevice>&)>& visit) {
    for (int port = 1; port <= hub.PortCount(); ++port) {
        if (std::shared_ptr<UsbDevice> device = hub.DeviceAt(port)) {
            visit(device);
            if (auto below = std::dynamic_pointer_cast<UsbHubModel>(device)) {
                ForEachDevice(*below, visit);
            }
        }
    }
}

bool HasStorage(const UsbDevice& device) {
    for (UCHAR number = 0; number < 4; ++number) {
        if (device.FunctionAs<BulkOnlyFunction>(number)) {
            return true;
        }
    }
    return false;
}

// How often the device reports on its interrupt IN endpoint: its bInterval, in frames (1 ms) at low and full
// speed, as a power of two of microframes (125 us) at high speed and above.
LONGLONG ReportPeriod(const UsbDevice& device, UCHAR endpoint) {
    for (const Bytes& configuration : device.Descriptors().configurations) {
        UsbDescriptorWalker walker(configuration.data(), static_cast<ULONG>(configuration.size()));
        UsbDescriptorView view;
        while (walker.Next(view)) {
            if (view.Type != USB_ENDPOINT_DESCRIPTOR_TYPE || view.Length < 7 || view.Data[2] != endpoint) {
                continue;
            }
            const int interval = std::max<int>(view.Data[6], 1);
            return device.Speed() >= UsbSpeed::High ? (LONGLONG{1} << std::min(interval - 1, 15)) * 1'250
                                                    : interval * LONGLONG{10'000};
        }
    }
    return 10 * LONGLONG{10'000};
}

signed char Clamped(int& remaining) {
    const int part = std::clamp(remaining, -127, 127);
    remaining -= part;
    return static_cast<signed char>(part);
}

} // namespace

// The mouse or the keyboard: its collection held open with a read pending (the reader), and the person's hand
// reported at the device's rate (the reporter).
class Desk::HeldDevice {
public:
    HeldDevice(Desk& desk, DeskActivity activity, std::shared_ptr<UsbDevice> device)
        : m_desk(desk), m_activity(activity), m_device(std::move(device)),
          m_hid(m_device ? m_device->FunctionAs<HidFunction>(0) : nullptr),
          m_period(m_hid ? ReportPeriod(*m_device, m_hid->InEndpoint()) : 0) {
        if (!m_hid) {
            m_desk.Note(m_activity, false, "no HID device \"" + std::string(DeskActivityName(activity)) + "\"");
            return;
        }
        m_reader = std::thread([this] { Read(); });
        m_reporter = std::thread([this] { Report(); });
    }
    ~HeldDevice() { Stop(); }
    HeldDevice(const HeldDevice&) = delete;
    HeldDevice& operator=(const HeldDevice&) = delete;

    void Stop() {
        {
            std::lock_guard guard(m_lock);
            m_stopping = true;
            if (m_read) {
                IoCancelIrp(m_read); // its completion only signals the reader
            }
        }
        m_changed.notify_all();
        for (std::thread* thread : {&m_reader, &m_reporter}) {
            if (thread->joinable()) {
                thread->join();
            }
        }
    }

    void Move(int dx, int dy, int wheel) {
        Change([&] {
            m_dx += dx;
            m_dy += dy;
            m_wheel += wheel;
        });
    }
    void Button(int button, bool down) {
        Change([&] {
            const UCHAR bit = static_cast<UCHAR>(1u << button);
            m_buttons = down ? m_buttons | bit : m_buttons & ~bit;
            m_states.push_back({m_buttons});
        });
    }
    void Key(UCHAR usage, bool down) {
        Change([&] {
            if (usage >= 0xE0 && usage <= 0xE7) {
                const UCHAR bit = static_cast<UCHAR>(1u << (usage - 0xE0));
                m_modifiers = down ? m_modifiers | bit : m_modifiers & ~bit;
            } else {
                std::erase(m_keys, usage);
                if (down) {
                    m_keys.push_back(usage);
                }
            }
            // The boot report: modifiers, a reserved byte, six keys (all six "roll over" when more are held).
            Bytes report(8, 0);
            report[0] = m_modifiers;
            for (size_t i = 0; i < 6; ++i) {
                report[2 + i] = m_keys.size() > 6 ? 0x01 : i < m_keys.size() ? m_keys[i] : 0;
            }
            m_states.push_back(std::move(report));
        });
    }

    std::vector<Bytes> Reports() const {
        std::lock_guard guard(m_lock);
        return {m_reports.begin(), m_reports.end()};
    }

private:
    template <class Hand> void Change(Hand hand) {
        {
            std::lock_guard guard(m_lock);
            if (m_stopping) {
                return;
            }
            hand();
            while (m_states.size() > kStatesKept) {
                m_states.pop_front();
            }
        }
        m_changed.notify_all();
    }

    bool HasInput() const { return !m_states.empty() || m_dx || m_dy || m_wheel; }

    // The next report (under the lock): the mouse's next button state with the motion so far, or the keyboard's
    // next state of its keys.
    Bytes NextReport() {
        if (m_activity == DeskActivity::Keyboard) {
            Bytes report = std::move(m_states.front());
            m_states.pop_front();
            return report;
        }
        UCHAR buttons = m_buttons;
        if (!m_states.empty()) {
            buttons = m_states.front()[0];
            m_states.pop_front();
        }
        return {buttons, static_cast<UCHAR>(Clamped(m_dx)), static_cast<UCHAR>(Clamped(m_dy)),
                static_cast<UCHAR>(Clamped(m_wheel))};
    }

    // The reporter: a report when the hand did something and the host has taken the last one (a device holds
    // one report until it is read, and meanwhile gathers what comes), then nothing for one report period.
    void Report() {
        std::unique_lock lock(m_lock);
        for (;;) {
            m_changed.wait(lock, [this] { return m_stopping || HasInput(); });
            if (m_stopping) {
                return;
            }
            // The period counts from the report: taken before the host can have read it, so that a clock moved on
            // once the report is seen moves this period on too.
            const nt::clock::Deadline nextReport = nt::clock::Deadline::After(m_period);
            if (m_hid->QueuedInputReports() == 0) {
                Bytes report = NextReport();
                lock.unlock();
                m_hid->QueueInputReport(std::move(report));
                lock.lock();
            }
            if (nt::clock::WaitUntil(lock, m_changed, nextReport, [this] { return m_stopping; })) {
                return;
            }
        }
    }

    static NTSTATUS ReadDone(PDEVICE_OBJECT, PIRP, PVOID context) {
        KeSetEvent(static_cast<PKEVENT>(context), IO_NO_INCREMENT, FALSE);
        return STATUS_MORE_PROCESSING_REQUIRED; // the reader's own request: it sends it again
    }

    // The reader: the collection opened, and one read after another sent to it, each waiting for a report.
    void Read() {
        const std::string name(DeskActivityName(m_activity));
        PDEVICE_OBJECT pdo = m_device->PhysicalDeviceObject();
        PDEVICE_OBJECT collection = pdo ? drv::DescendantPdo(pdo, u"HID\\") : nullptr;
        if (!collection) {
            m_desk.Note(m_activity, false, "no HID collection of \"" + name + "\"");
            return;
        }
        drv::OpenDevice open(collection);
        PIRP irp = NT_SUCCESS(open.Status()) ? IoAllocateIrp(open.Top()->StackSize, FALSE) : nullptr;
        drv::PoolBuffer buffer(kReadBytes);
        if (!irp || !buffer) {
            m_desk.Note(m_activity, false, "opening the HID collection of \"" + name + "\"");
        }
        KEVENT done;
        KeInitializeEvent(&done, NotificationEvent, FALSE);
        while (irp && buffer) {
            {
                std::lock_guard guard(m_lock);
                if (m_stopping) {
                    break;
                }
                IoReuseIrp(irp, STATUS_SUCCESS); // a cancel from here on reaches the read
                m_read = irp;
            }
            irp->AssociatedIrp.SystemBuffer = buffer.Data();
            PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(irp);
            next->MajorFunction = IRP_MJ_READ;
            next->Parameters.Read.Length = kReadBytes;
            next->Parameters.Read.ByteOffset.QuadPart = 0;
            next->FileObject = open.File();
            KeClearEvent(&done);
            IoSetCompletionRoutine(irp, ReadDone, &done, TRUE, TRUE, TRUE);
            IoCallDriver(open.Top(), irp);
            KeWaitForSingleObject(&done, Executive, KernelMode, FALSE, nullptr);
            std::unique_lock lock(m_lock);
            m_read = nullptr;
            const NTSTATUS status = irp->IoStatus.Status;
            if (NT_SUCCESS(status) && irp->IoStatus.Information > 1) {
                // The report without its ID byte.
                m_reports.emplace_back(buffer.Data() + 1, buffer.Data() + irp->IoStatus.Information);
                if (m_reports.size() > kReportsKept) {
                    m_reports.pop_front();
                }
                lock.unlock();
                m_desk.Note(m_activity, true);
            } else if (m_stopping) {
                break;
            } else if (status != STATUS_CANCELLED) {
                lock.unlock();
                m_desk.Note(m_activity, false, "a read of the HID collection of \"" + name + "\" failed");
                break; // the device is gone
            } else if (nt::clock::WaitUntil(lock, m_changed, nt::clock::Deadline::After(m_period),
                                            [this] { return m_stopping; })) {
                break; // another handle's close ended every read of the collection; read again a moment later
            }
        }
        if (irp) {
            IoFreeIrp(irp);
        }
    }

    Desk& m_desk;
    const DeskActivity m_activity;
    const std::shared_ptr<UsbDevice> m_device;
    HidFunction* const m_hid;
    const LONGLONG m_period;

    mutable std::mutex m_lock;
    std::condition_variable m_changed;
    bool m_stopping = false;
    PIRP m_read = nullptr; // the read with the collection
    std::deque<Bytes> m_reports;
    // The hand: motion since the last report, the buttons or keys held, and their states not reported yet.
    int m_dx = 0, m_dy = 0, m_wheel = 0;
    UCHAR m_buttons = 0, m_modifiers = 0;
    std::vector<UCHAR> m_keys;
    std::deque<Bytes> m_states;

    std::thread m_reader, m_reporter;
};

Desk::Desk(Machine& machine, DeskActivities activities) : m_machine(machine), m_activities(activities) {
    for (const auto& controller : machine.Controllers()) {
        ForEachDevice(controller->RootHub(), [this](const std::shared_ptr<UsbDevice>& device) {
            if (HasStorage(*device)) {
                m_disks.push_back(device->Name());
            }
            if (device->FunctionAs<PrinterFunction>(0)) {
                m_printers.push_back(device->Name());
            }
            if (device->IsHub()) {
                m_hubs.push_back(device->Name());
            }
        });
    }
    Every(kIdle.first, kIdle.period, [this](uint64_t n) { IdleLook(n); });
    if (activities.Has(DeskActivity::Mouse)) {
        m_mouse = std::make_unique<HeldDevice>(*this, DeskActivity::Mouse, machine.Device("mouse"));
    }
    if (activities.Has(DeskActivity::Keyboard)) {
        m_keyboard = std::make_unique<HeldDevice>(*this, DeskActivity::Keyboard, machine.Device("keyboard"));
    }
    const struct {
        DeskActivity activity;
        WorkloadKind kind;
        Schedule schedule;
    } timed[] = {{DeskActivity::Stick, WorkloadKind::CopyToStick, kCopy},
                 {DeskActivity::Printer, WorkloadKind::Printing, kPrint},
                 {DeskActivity::Plug, WorkloadKind::PlugAndUnplug, kPlug}};
    for (const auto& each : timed) {
        if (activities.Has(each.activity)) {
            Every(each.schedule.first, each.schedule.period,
                  [this, each](uint64_t n) { PlayStep(each.activity, each.kind, n); });
        }
    }
}

Desk::~Desk() {
    Stop();
}

void Desk::Stop() {
    {
        std::lock_guard guard(m_lock);
        m_stopping = true;
    }
    m_changed.notify_all();
    for (HeldDevice* held : {m_mouse.get(), m_keyboard.get()}) {
        if (held) {
            held->Stop();
        }
    }
    for (std::thread& thread : m_threads) {
        if (thread.joinable()) {
            thread.join();
        }
    }
}

void Desk::Every(LONGLONG first, LONGLONG period, std::function<void(uint64_t)> step) {
    // Counted from now, not from when the thread comes to run.
    m_threads.emplace_back([this, next = nt::clock::Now() + first, period, step = std::move(step)]() mutable {
        for (uint64_t n = 0;; ++n) {
            {
                std::unique_lock lock(m_lock);
                if (nt::clock::WaitUntil(lock, m_changed, nt::clock::Deadline::At(next),
                                         [this] { return m_stopping; })) {
                    return;
                }
            }
            step(n);
            // A step that overran its period (a busy machine) is not made up for: the next comes when it may.
            next = std::max(next + period, nt::clock::Now());
        }
    });
}

void Desk::IdleLook(uint64_t n) {
    std::string failure;
    auto pdoOf = [this](const std::string& name) {
        std::shared_ptr<UsbDevice> device = m_machine.Device(name);
        return device ? device->PhysicalDeviceObject() : nullptr;
    };
    // The disk class driver's look at its medium, every second.
    for (const std::string& name : m_disks) {
        PDEVICE_OBJECT pdo = pdoOf(name);
        PDEVICE_OBJECT disk = pdo ? drv::DescendantPdo(pdo, u"USBSTOR\\") : nullptr;
        if (!disk) {
            continue; // pulled out: nothing to poll
        }
        const drv::Sent verify = drv::Ioctl(disk, IOCTL_STORAGE_CHECK_VERIFY, nullptr, 0, nullptr, 0);
        if (!NT_SUCCESS(verify.status) && verify.status != STATUS_VERIFY_REQUIRED) {
            failure = "the medium check of \"" + name + "\"";
        }
    }
    // Every other second the spooler's port monitor asks the printer for its status, and each hub driver looks
    // at its status-change endpoint.
    if (n % 2 == 0) {
        for (const std::string& name : m_printers) {
            UCHAR status = 0;
            PDEVICE_OBJECT pdo = pdoOf(name);
            if (pdo && !NT_SUCCESS(drv::Ioctl(pdo, IOCTL_USBPRINT_GET_LPT_STATUS, nullptr, 0, &status, 1).status)) {
                failure = "the status of \"" + name + "\"";
            }
        }
        for (const std::string& name : m_hubs) {
            ULONG state = 0;
            PDEVICE_OBJECT pdo = pdoOf(name);
            if (pdo && !NT_SUCCESS(drv::HubProbeStatusEndpoint(pdo, &state))) {
                failure = "the status-change endpoint of \"" + name + "\"";
            }
        }
    }
    Note(DeskActivity::Idle, failure.empty(), failure);
}

void Desk::PlayStep(DeskActivity activity, WorkloadKind kind, uint64_t step) {
    WorkloadOptions options;
    options.count = 1;
    options.seed = step + 1;
    options.fileBytes = options.transferBytes = kFileBytes;
    const WorkloadResult result = RunWorkload(m_machine, kind, options);
    Note(activity, result.Succeeded(), std::string(WorkloadName(kind)) + ": " + result.failure);
}

void Desk::Note(DeskActivity activity, bool succeeded, const std::string& failure) {
    if (succeeded) {
        m_steps[Index(activity)].fetch_add(1);
        return;
    }
    std::lock_guard guard(m_lock);
    m_failures[Index(activity)] = failure;
}

void Desk::MoveMouse(int dx, int dy) {
    if (m_mouse) {
        m_mouse->Move(dx, dy, 0);
    }
}

void Desk::PressMouseButton(int button, bool down) {
    if (m_mouse && button >= 0 && button < 3) {
        m_mouse->Button(button, down);
    }
}

void Desk::TurnMouseWheel(int detents) {
    if (m_mouse) {
        m_mouse->Move(0, 0, detents);
    }
}

void Desk::PressKey(UCHAR usage, bool down) {
    if (m_keyboard && usage != 0) {
        m_keyboard->Key(usage, down);
    }
}

uint64_t Desk::Steps(DeskActivity activity) const {
    return m_steps[Index(activity)].load();
}

std::string Desk::Failure(DeskActivity activity) const {
    std::lock_guard guard(m_lock);
    return m_failures[Index(activity)];
}

std::vector<Bytes> Desk::ReportsRead(DeskActivity device) const {
    const HeldDevice* held = device == DeskActivity::Mouse      ? m_mouse.get()
                             : device == DeskActivity::Keyboard ? m_keyboard.get()
                                                                : nullptr;
    return held ? held->Reports() : std::vector<Bytes>{};
}

} // namespace sim
