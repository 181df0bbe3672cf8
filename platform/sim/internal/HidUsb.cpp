// "hidusb" with the HID class library: the HID device's functional device object and its collections.
#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>

#include "UsbDescriptorWalker.h"
#include "hidclass.h"
#include "hidport.h"
#include "platform/sim/internal/ClassDevice.h"
#include "platform/sim/internal/ClassDrivers.h"
#include "platform/sim/internal/HubFdo.h"
#include "platform/sim/internal/PowerRequests.h"
#include "platform/sim/internal/UrbRequest.h"
#include "platform/sim/internal/WorkQueue.h"
#include "usbioctl.h"

namespace sim::drv {

namespace {

struct Collection {
    USHORT usagePage = 0;
    USHORT usage = 0;
};

// The top-level application collections of a report descriptor, with their usage page and usage.
std::vector<Collection> TopLevelCollections(const Bytes& report) {
    std::vector<Collection> collections;
    USHORT usagePage = 0;
    ULONG usage = 0;
    bool haveUsage = false;
    int depth = 0;
    for (size_t i = 0; i < report.size();) {
        const UCHAR prefix = report[i];
        if (prefix == 0xFE) { // long item: size in the next byte
            if (i + 1 >= report.size()) {
                break;
            }
            i += 3 + report[i + 1];
            continue;
        }
        static constexpr size_t kSizes[] = {0, 1, 2, 4};
        const size_t size = kSizes[prefix & 3];
        if (i + 1 + size > report.size()) {
            break;
        }
        ULONG data = 0;
        for (size_t b = 0; b < size; ++b) {
            data |= static_cast<ULONG>(report[i + 1 + b]) << (8 * b);
        }
        switch (prefix & 0xFC) {
        case 0x04: // Usage Page
            usagePage = static_cast<USHORT>(data);
            break;
        case 0x08: // Usage
            usage = data;
            haveUsage = true;
            break;
        case 0xA0: // Collection
            if (depth == 0 && data == 0x01) {
                Collection collection;
                collection.usagePage = size == 4 ? static_cast<USHORT>(usage >> 16) : usagePage;
                collection.usage = haveUsage ? static_cast<USHORT>(usage) : 0;
                collections.push_back(collection);
            }
            ++depth;
            haveUsage = false;
            break;
        case 0xC0: // End Collection
            depth = std::max(0, depth - 1);
            break;
        case 0x80: // Input, Output, Feature: the local items end with the main item
        case 0x90:
        case 0xB0: haveUsage = false; break;
        default: break;
        }
        i += 1 + size;
    }
    return collections;
}

class HidFdo;

// A top-level collection of a HID device, as the HID class driver reports it: the input reports its device
// gives, queued for the readers that opened it (each report with its report ID byte first, 0 when the device
// numbers none), and the HID IOCTLs of every transfer method.
class HidCollectionPdo : public PhysicalDevice {
public:
    HidCollectionPdo(PDEVICE_OBJECT self, HidFdo* parent, size_t index, Collection collection, bool numbered);

    // A report the device gave (at up to DISPATCH_LEVEL, from the class driver's read completion).
    void OnReport(const UCHAR* report, ULONG length);
    void FailReads(); // the device is going: waiting reads end

protected:
    std::u16string Suffix() const;
    std::u16string DeviceId() const override;
    std::u16string InstanceId() const override { return Hex(static_cast<ULONG>(m_index), 4); }
    std::vector<std::u16string> HardwareIds() const override;
    std::u16string DeviceText() const override;
    void Capabilities(DEVICE_CAPABILITIES& capabilities) const override {
        capabilities.UniqueID = FALSE;
        capabilities.SilentInstall = TRUE;
    }
    NTSTATUS CreateClose(PIRP irp) override;
    NTSTATUS DeviceControl(PIRP irp) override;
    NTSTATUS InternalDeviceControl(PIRP irp) override { return Complete(irp, STATUS_NOT_SUPPORTED); }
    NTSTATUS Other(PIRP irp) override;
    void OnStop() override;

private:
    NTSTATUS Read(PIRP irp);
    static void CancelRead(PDEVICE_OBJECT device, PIRP irp);
    // The caller's buffer of an OUT_DIRECT request (its MDL), or null.
    static UCHAR* DirectOutput(PIRP irp);

    HidFdo* const m_hid;
    const size_t m_index;
    const Collection m_collection;
    const bool m_numbered;
    std::mutex m_lock;
    std::deque<Bytes> m_reports;
    std::deque<PIRP> m_reads;
    ULONG m_inputBuffers = 32;
    int m_opens = 0;
};

class HidFdo : public UsbClassDevice {
public:
    HidFdo(PDEVICE_OBJECT self, PDEVICE_OBJECT pdo, PDEVICE_OBJECT lower) : UsbClassDevice(self, pdo, lower) {}

    const Bytes& ReportDescriptor() const { return m_report; }
    const std::u16string& Manufacturer() const { return m_manufacturer; }
    const std::u16string& Product() const { return m_product; }
    const std::u16string& Serial() const { return m_serial; }
    USHORT InputReportLength() const { return m_inputLength; }
    uint64_t ReportsRead() const { return m_reportsRead.load(); }

    // The collections' readers: while any is open (and the device is in D0) two interrupt transfers stay with
    // the device, each posted again as soon as it completes.
    void AddReader();
    void RemoveReader();

    // GET_REPORT and SET_REPORT on the device's interface (type 1 input, 2 output, 3 feature).
    NTSTATUS GetReport(UCHAR type, UCHAR id, UCHAR* data, ULONG* length);
    NTSTATUS SetReport(UCHAR type, UCHAR id, const UCHAR* data, ULONG length);
    std::u16string IndexedString(UCHAR index);
    NTSTATUS PhysicalDescriptor(Bytes& descriptor);

    // Selective suspend: EnterIdle sends the idle notification; when the hub calls back, the driver arms its
    // device for wake (WAIT_WAKE), asks for its power sequence and puts it in D2. The device comes back to D0
    // when it wakes the machine (its wait-wake completes) or LeaveIdle is called; the idle request ends then.
    bool EnterIdle();
    void LeaveIdle();
    bool Sleeping() const;
    const POWER_SEQUENCE& LastPowerSequence() const { return m_sequence; }

protected:
    NTSTATUS OnStart() override;
    void OnStop() override;
    void OnDevicePower(DEVICE_POWER_STATE state) override;
    bool IsBus() const override { return true; }
    void Enumerate() override;

private:
    USHORT ReportLength() const;
    void StartReads();
    void StopReads();
    void PostRead(UrbRequest& request);
    void ReadDone(UrbRequest& request, NTSTATUS status);
    static void IdleCallback(PVOID context);
    static NTSTATUS IdleDone(PDEVICE_OBJECT device, PIRP irp, PVOID context);
    void GoToSleep();
    void WakeUp();
    void CancelIdleRequest();

    Bytes m_report;
    std::u16string m_manufacturer;
    std::u16string m_product;
    std::u16string m_serial;
    std::vector<Collection> m_collections;
    bool m_enumerated = false;
    USBD_PIPE_HANDLE m_interruptIn = nullptr;
    USHORT m_inputLength = 0; // bytes of one interrupt transfer

    std::unique_ptr<UrbRequest> m_reads[2];
    std::mutex m_readLock;
    int m_readers = 0;
    bool m_reading = false; // reads are wanted now
    bool m_posted[2] = {};  // the read is with the device (or about to be)
    std::atomic<uint64_t> m_reportsRead{0};

    // Selective suspend.
    enum class IdleState { Active, Waiting, Sleeping };
    mutable std::mutex m_idleLock;
    std::condition_variable m_idleChanged;
    std::mutex m_transition; // one power transition at a time
    IdleState m_idle = IdleState::Active;
    PIRP m_idleIrp = nullptr;
    PoolBuffer m_idleInfo{sizeof(USB_IDLE_CALLBACK_INFO)};
    WaitWakeRequest m_wake;
    POWER_SEQUENCE m_sequence{};
    WorkQueue m_worker;
};

HidCollectionPdo::HidCollectionPdo(PDEVICE_OBJECT self, HidFdo* parent, size_t index, Collection collection,
                                   bool numbered)
    : PhysicalDevice(self, parent), m_hid(parent), m_index(index), m_collection(collection), m_numbered(numbered) {}

std::u16string HidCollectionPdo::Suffix() const {
    return m_hid->InterfaceSuffix() + (m_numbered ? u"&Col" + Hex(static_cast<ULONG>(m_index + 1), 2) : u"");
}

std::u16string HidCollectionPdo::DeviceId() const {
    return u"HID\\" + VidPid(m_hid->Device()) + Suffix();
}

std::vector<std::u16string> HidCollectionPdo::HardwareIds() const {
    const USB_DEVICE_DESCRIPTOR& device = m_hid->Device();
    const std::u16string usage = u"UP:" + Hex(m_collection.usagePage, 4) + u"_U:" + Hex(m_collection.usage, 4);
    std::vector<std::u16string> ids = {u"HID\\" + VidPid(device) + Revision(device) + Suffix(), DeviceId(),
                                       u"HID\\VID_" + Hex(device.idVendor, 4) + u"&" + usage};
    if (m_collection.usagePage == 0x01 && m_collection.usage == 0x02) {
        ids.push_back(u"HID_DEVICE_SYSTEM_MOUSE");
    } else if (m_collection.usagePage == 0x01 && (m_collection.usage == 0x06 || m_collection.usage == 0x07)) {
        ids.push_back(u"HID_DEVICE_SYSTEM_KEYBOARD");
    }
    ids.push_back(u"HID_DEVICE_" + usage);
    ids.push_back(u"HID_DEVICE");
    return ids;
}

std::u16string HidCollectionPdo::DeviceText() const {
    if (m_collection.usagePage == 0x01 && m_collection.usage == 0x02) {
        return u"HID-compliant mouse";
    }
    if (m_collection.usagePage == 0x01 && m_collection.usage == 0x06) {
        return u"HID Keyboard Device";
    }
    if (m_collection.usagePage == 0x0C) {
        return u"HID-compliant consumer control device";
    }
    return u"HID-compliant device";
}

NTSTATUS HidCollectionPdo::CreateClose(PIRP irp) {
    const UCHAR major = IoGetCurrentIrpStackLocation(irp)->MajorFunction;
    if (!m_present) {
        return Complete(irp, major == IRP_MJ_CREATE ? STATUS_NO_SUCH_DEVICE : STATUS_SUCCESS);
    }
    if (major == IRP_MJ_CREATE) {
        bool first;
        {
            std::lock_guard guard(m_lock);
            first = m_opens++ == 0;
        }
        if (first) {
            m_hid->AddReader();
        }
    } else if (major == IRP_MJ_CLOSE) {
        bool last;
        {
            std::lock_guard guard(m_lock);
            last = m_opens > 0 && --m_opens == 0;
        }
        if (last) {
            m_hid->RemoveReader();
        }
    } else if (major == IRP_MJ_CLEANUP) {
        FailReads(); // the handle's reads end with it
    }
    return Complete(irp, STATUS_SUCCESS);
}

void HidCollectionPdo::OnReport(const UCHAR* report, ULONG length) {
    // The report ID byte first (0: the device numbers none), then the report.
    Bytes bytes;
    bytes.reserve(length + 1);
    bytes.push_back(0);
    bytes.insert(bytes.end(), report, report + length);
    PIRP read = nullptr;
    {
        std::lock_guard guard(m_lock);
        while (!m_reads.empty() && !read) {
            PIRP candidate = m_reads.front();
            m_reads.pop_front();
            if (IoSetCancelRoutine(candidate, nullptr)) {
                read = candidate;
            }
        }
        if (!read) {
            m_reports.push_back(std::move(bytes));
            while (m_reports.size() > m_inputBuffers) {
                m_reports.pop_front(); // the oldest report is lost, as in the class driver's ring
            }
            return;
        }
    }
    const ULONG room = IoGetCurrentIrpStackLocation(read)->Parameters.Read.Length;
    const ULONG n = std::min<ULONG>(room, static_cast<ULONG>(bytes.size()));
    std::memcpy(read->AssociatedIrp.SystemBuffer, bytes.data(), n);
    Complete(read, STATUS_SUCCESS, n);
}

void HidCollectionPdo::FailReads() {
    std::vector<PIRP> failed;
    {
        std::lock_guard guard(m_lock);
        for (PIRP read : m_reads) {
            if (IoSetCancelRoutine(read, nullptr)) {
                failed.push_back(read);
            }
        }
        m_reads.clear();
    }
    for (PIRP read : failed) {
        Complete(read, STATUS_CANCELLED);
    }
}

void HidCollectionPdo::OnStop() {
    FailReads();
}

void HidCollectionPdo::CancelRead(PDEVICE_OBJECT device, PIRP irp) {
    IoReleaseCancelSpinLock(irp->CancelIrql);
    if (auto* self = static_cast<HidCollectionPdo*>(ContextOf(device))) {
        std::lock_guard guard(self->m_lock);
        auto it = std::find(self->m_reads.begin(), self->m_reads.end(), irp);
        if (it != self->m_reads.end()) {
            self->m_reads.erase(it);
        }
    }
    Complete(irp, STATUS_CANCELLED);
}

NTSTATUS HidCollectionPdo::Other(PIRP irp) {
    if (IoGetCurrentIrpStackLocation(irp)->MajorFunction == IRP_MJ_READ) {
        return Read(irp);
    }
    return Complete(irp, STATUS_INVALID_DEVICE_REQUEST);
}

NTSTATUS HidCollectionPdo::Read(PIRP irp) {
    const ULONG length = IoGetCurrentIrpStackLocation(irp)->Parameters.Read.Length;
    if (!m_present) {
        return Complete(irp, STATUS_NO_SUCH_DEVICE);
    }
    if (!irp->AssociatedIrp.SystemBuffer || length < 1u + m_hid->InputReportLength()) {
        return Complete(irp, STATUS_INVALID_BUFFER_SIZE);
    }
    std::unique_lock guard(m_lock);
    if (!m_reports.empty()) {
        Bytes report = std::move(m_reports.front());
        m_reports.pop_front();
        guard.unlock();
        const ULONG n = std::min<ULONG>(length, static_cast<ULONG>(report.size()));
        std::memcpy(irp->AssociatedIrp.SystemBuffer, report.data(), n);
        return Complete(irp, STATUS_SUCCESS, n);
    }
    // No report yet: the read waits for the next one (or its cancellation).
    IoMarkIrpPending(irp);
    m_reads.push_back(irp);
    IoSetCancelRoutine(irp, CancelRead);
    if (irp->Cancel && IoSetCancelRoutine(irp, nullptr)) {
        m_reads.pop_back();
        guard.unlock();
        Complete(irp, STATUS_CANCELLED);
    }
    return STATUS_PENDING;
}

UCHAR* HidCollectionPdo::DirectOutput(PIRP irp) {
    return irp->MdlAddress ? static_cast<UCHAR*>(MmGetSystemAddressForMdlSafe(irp->MdlAddress, NormalPagePriority))
                           : nullptr;
}

NTSTATUS HidCollectionPdo::DeviceControl(PIRP irp) {
    PIO_STACK_LOCATION location = IoGetCurrentIrpStackLocation(irp);
    const ULONG code = location->Parameters.DeviceIoControl.IoControlCode;
    const ULONG inLength = location->Parameters.DeviceIoControl.InputBufferLength;
    const ULONG outLength = location->Parameters.DeviceIoControl.OutputBufferLength;
    auto* system = static_cast<UCHAR*>(irp->AssociatedIrp.SystemBuffer);
    if (!m_present) {
        return Complete(irp, STATUS_NO_SUCH_DEVICE);
    }
    auto answerString = [&](const std::u16string& text) {
        UCHAR* out = DirectOutput(irp);
        const ULONG needed = static_cast<ULONG>((text.size() + 1) * sizeof(WCHAR));
        if (text.empty()) {
            return Complete(irp, STATUS_INVALID_PARAMETER);
        }
        if (!out || outLength < needed) {
            return Complete(irp, STATUS_INVALID_BUFFER_SIZE);
        }
        std::memcpy(out, text.c_str(), needed);
        return Complete(irp, STATUS_SUCCESS, needed);
    };
    auto answerUlong = [&](ULONG value) {
        if (!system || outLength < sizeof(ULONG)) {
            return Complete(irp, STATUS_BUFFER_TOO_SMALL);
        }
        std::memcpy(system, &value, sizeof value);
        return Complete(irp, STATUS_SUCCESS, sizeof value);
    };
    auto readUlong = [&](ULONG& value) {
        if (!system || inLength < sizeof(ULONG)) {
            return false;
        }
        std::memcpy(&value, system, sizeof value);
        return true;
    };
    switch (code) {
    case IOCTL_HID_GET_COLLECTION_INFORMATION: {
        if (!system || outLength < sizeof(HID_COLLECTION_INFORMATION)) {
            return Complete(irp, STATUS_INVALID_BUFFER_SIZE);
        }
        HID_COLLECTION_INFORMATION info{};
        info.DescriptorSize = static_cast<ULONG>(m_hid->ReportDescriptor().size());
        info.Polled = FALSE;
        info.VendorID = m_hid->Device().idVendor;
        info.ProductID = m_hid->Device().idProduct;
        info.VersionNumber = m_hid->Device().bcdDevice;
        std::memcpy(system, &info, sizeof info);
        return Complete(irp, STATUS_SUCCESS, sizeof info);
    }
    case IOCTL_HID_GET_COLLECTION_DESCRIPTOR: {
        // The collection's description; the simulated class driver hands out the report descriptor itself.
        const Bytes& report = m_hid->ReportDescriptor();
        if (!irp->UserBuffer || outLength < report.size()) {
            return Complete(irp, STATUS_INVALID_BUFFER_SIZE);
        }
        std::memcpy(irp->UserBuffer, report.data(), report.size());
        return Complete(irp, STATUS_SUCCESS, report.size());
    }
    case IOCTL_HID_GET_DRIVER_CONFIG: {
        if (!system || outLength < sizeof(HID_DRIVER_CONFIG)) {
            return Complete(irp, STATUS_BUFFER_TOO_SMALL);
        }
        HID_DRIVER_CONFIG config{};
        config.Size = sizeof config;
        {
            std::lock_guard guard(m_lock);
            config.RingBufferSize = m_inputBuffers;
        }
        std::memcpy(system, &config, sizeof config);
        return Complete(irp, STATUS_SUCCESS, sizeof config);
    }
    case IOCTL_HID_SET_DRIVER_CONFIG: {
        HID_DRIVER_CONFIG config{};
        if (!system || inLength < sizeof config) {
            return Complete(irp, STATUS_BUFFER_TOO_SMALL);
        }
        std::memcpy(&config, system, sizeof config);
        if (config.Size != sizeof config || config.RingBufferSize < 2 || config.RingBufferSize > 512) {
            return Complete(irp, STATUS_INVALID_PARAMETER);
        }
        std::lock_guard guard(m_lock);
        m_inputBuffers = config.RingBufferSize;
        return Complete(irp, STATUS_SUCCESS);
    }
    case IOCTL_GET_NUM_DEVICE_INPUT_BUFFERS: {
        ULONG count;
        {
            std::lock_guard guard(m_lock);
            count = m_inputBuffers;
        }
        return answerUlong(count);
    }
    case IOCTL_SET_NUM_DEVICE_INPUT_BUFFERS: {
        ULONG count = 0;
        if (!readUlong(count)) {
            return Complete(irp, STATUS_BUFFER_TOO_SMALL);
        }
        if (count < 2 || count > 512) {
            return Complete(irp, STATUS_INVALID_PARAMETER);
        }
        std::lock_guard guard(m_lock);
        m_inputBuffers = count;
        return Complete(irp, STATUS_SUCCESS);
    }
    case IOCTL_HID_GET_POLL_FREQUENCY_MSEC: return answerUlong(0); // an interrupt device: not polled
    case IOCTL_HID_SET_POLL_FREQUENCY_MSEC:
        return Complete(irp, STATUS_INVALID_DEVICE_REQUEST); // only polled devices have a poll frequency
    case IOCTL_HID_FLUSH_QUEUE: {
        std::lock_guard guard(m_lock);
        m_reports.clear();
        return Complete(irp, STATUS_SUCCESS);
    }
    case IOCTL_HID_SET_FEATURE:
    case IOCTL_HID_SET_OUTPUT_REPORT: {
        // The report, its ID byte first, comes in the input buffer.
        if (!system || inLength < 1) {
            return Complete(irp, STATUS_INVALID_BUFFER_SIZE);
        }
        NTSTATUS status = m_hid->SetReport(code == IOCTL_HID_SET_FEATURE ? 3 : 2, system[0], system + 1, inLength - 1);
        return Complete(irp, status, NT_SUCCESS(status) ? inLength : 0);
    }
    case IOCTL_HID_GET_FEATURE:
    case IOCTL_HID_GET_INPUT_REPORT:
    case IOCTL_HID_GET_OUTPUT_REPORT: {
        // The caller's buffer (by MDL) names the report ID in its first byte and gets the report after it.
        UCHAR* out = DirectOutput(irp);
        if (!out || outLength < 2) {
            return Complete(irp, STATUS_INVALID_BUFFER_SIZE);
        }
        const UCHAR type = code == IOCTL_HID_GET_FEATURE ? 3 : code == IOCTL_HID_GET_INPUT_REPORT ? 1 : 2;
        ULONG length = outLength - 1;
        NTSTATUS status = m_hid->GetReport(type, out[0], out + 1, &length);
        return Complete(irp, status, NT_SUCCESS(status) ? length + 1 : 0);
    }
    case IOCTL_GET_PHYSICAL_DESCRIPTOR: {
        UCHAR* out = DirectOutput(irp);
        Bytes descriptor;
        NTSTATUS status = m_hid->PhysicalDescriptor(descriptor);
        if (!NT_SUCCESS(status)) {
            return Complete(irp, status);
        }
        if (!out || outLength < descriptor.size()) {
            return Complete(irp, STATUS_INVALID_BUFFER_SIZE);
        }
        std::memcpy(out, descriptor.data(), descriptor.size());
        return Complete(irp, STATUS_SUCCESS, descriptor.size());
    }
    case IOCTL_HID_GET_HARDWARE_ID: return answerString(HardwareIds().front());
    case IOCTL_HID_GET_MANUFACTURER_STRING: return answerString(m_hid->Manufacturer());
    case IOCTL_HID_GET_PRODUCT_STRING: return answerString(m_hid->Product());
    case IOCTL_HID_GET_SERIALNUMBER_STRING: return answerString(m_hid->Serial());
    case IOCTL_HID_GET_INDEXED_STRING: {
        // The string's index comes in the input buffer; the device is asked for it.
        ULONG index = 0;
        if (!readUlong(index) || index > 0xFF) {
            return Complete(irp, STATUS_INVALID_PARAMETER);
        }
        return answerString(m_hid->IndexedString(static_cast<UCHAR>(index)));
    }
    default: return Complete(irp, STATUS_NOT_SUPPORTED);
    }
}

// --- HidFdo ---

NTSTATUS HidFdo::OnStart() {
    NTSTATUS status = Configure(USB_DEVICE_CLASS_HUMAN_INTERFACE);
    if (!NT_SUCCESS(status)) {
        return status;
    }
    UrbClient client = Client();
    // Reports only when something changes; the idle rate read back; a boot device told to use its report
    // protocol (it starts in it, but the host says so).
    ULONG none = 0;
    client.ClassRequest(URB_FUNCTION_CLASS_INTERFACE, false, HID_REQUEST_SET_IDLE, 0, m_interface, nullptr, &none);
    UCHAR idle = 0;
    ULONG one = 1;
    client.ClassRequest(URB_FUNCTION_CLASS_INTERFACE, true, HID_REQUEST_GET_IDLE, 0, m_interface, &idle, &one);
    const USB_INTERFACE_DESCRIPTOR* interface = FindInterface(m_configuration, m_interface);
    if (interface && interface->bInterfaceSubClass == 1) {
        none = 0;
        client.ClassRequest(URB_FUNCTION_CLASS_INTERFACE, false, HID_REQUEST_SET_PROTOCOL, 1, m_interface, nullptr,
                            &none);
    }
    const USHORT length = ReportLength();
    if (!length) {
        return STATUS_DEVICE_DATA_ERROR;
    }
    status = client.GetDescriptor(URB_FUNCTION_GET_DESCRIPTOR_FROM_INTERFACE, HID_REPORT_DESCRIPTOR_TYPE, 0,
                                  m_interface, m_report, length);
    if (!NT_SUCCESS(status)) {
        return status;
    }
    m_manufacturer = ReadString(client, m_device.iManufacturer);
    m_product = ReadString(client, m_device.iProduct);
    m_serial = ReadString(client, m_device.iSerialNumber);
    m_collections = TopLevelCollections(m_report);

    const USBD_INTERFACE_INFORMATION* info = m_selection.Interface(m_interface);
    for (ULONG i = 0; info && i < info->NumberOfPipes; ++i) {
        if (info->Pipes[i].PipeType == UsbdPipeTypeInterrupt && (info->Pipes[i].EndpointAddress & 0x80)) {
            m_interruptIn = info->Pipes[i].PipeHandle;
            m_inputLength = info->Pipes[i].MaximumPacketSize;
        }
    }
    if (!m_interruptIn) {
        return STATUS_DEVICE_DATA_ERROR;
    }
    for (auto& read : m_reads) {
        read = std::make_unique<UrbRequest>(m_lower, static_cast<USHORT>(sizeof(_URB_BULK_OR_INTERRUPT_TRANSFER)),
                                            m_inputLength);
        if (!read->Valid()) {
            return STATUS_INSUFFICIENT_RESOURCES;
        }
    }
    return STATUS_SUCCESS;
}

void HidFdo::OnStop() {
    StopReads();
    LeaveIdle();
    m_worker.Stop();
    for (PhysicalDevice* child : Children()) {
        static_cast<HidCollectionPdo*>(child)->FailReads();
    }
}

void HidFdo::OnDevicePower(DEVICE_POWER_STATE state) {
    if (state != PowerDeviceD0) {
        StopReads(); // the readers stay; reading goes on back in D0
        return;
    }
    bool start;
    {
        std::lock_guard guard(m_readLock);
        start = m_readers > 0 && !m_reading;
        m_reading = m_reading || start;
    }
    if (start) {
        StartReads();
    }
}

void HidFdo::Enumerate() {
    if (m_enumerated || !m_started) {
        return;
    }
    m_enumerated = true;
    for (size_t i = 0; i < m_collections.size(); ++i) {
        PDEVICE_OBJECT pdo = nullptr;
        if (!NT_SUCCESS(CreateNumberedDevice(m_self->DriverObject, u"\\Device\\_HID", FILE_DEVICE_UNKNOWN, 0, &pdo,
                                             nullptr, NumberStyle::Hex8))) {
            continue;
        }
        pdo->StackSize = m_self->StackSize;
        pdo->Flags |= DO_POWER_PAGABLE | DO_BUFFERED_IO;
        AddNewChild<HidCollectionPdo>(pdo, this, i, m_collections[i], m_collections.size() > 1);
    }
}

// wDescriptorLength of the report descriptor, from the HID descriptor after the interface's descriptor.
USHORT HidFdo::ReportLength() const {
    UsbDescriptorWalker walker(m_configuration.data(), static_cast<ULONG>(m_configuration.size()));
    UsbDescriptorView view;
    bool inside = false;
    while (walker.Next(view)) {
        if (view.Type == USB_INTERFACE_DESCRIPTOR_TYPE && view.Length >= 9) {
            inside = view.Data[2] == m_interface && view.Data[3] == 0;
        } else if (inside && view.Type == HID_HID_DESCRIPTOR_TYPE && view.Length >= 9) {
            return ReadU16(view.Data + 7);
        }
    }
    return 0;
}

void HidFdo::AddReader() {
    bool start;
    {
        std::lock_guard guard(m_readLock);
        ++m_readers;
        start = !m_reading && DevicePower() == PowerDeviceD0 && m_reads[0];
        m_reading = m_reading || start;
    }
    if (start) {
        StartReads();
    }
}

void HidFdo::RemoveReader() {
    bool stop;
    {
        std::lock_guard guard(m_readLock);
        stop = m_readers > 0 && --m_readers == 0;
    }
    if (stop) {
        StopReads();
    }
}

void HidFdo::StartReads() {
    // A read that is still with the device keeps going; the others are posted again.
    for (size_t i = 0; i < 2; ++i) {
        {
            std::lock_guard guard(m_readLock);
            if (m_posted[i] || !m_reading) {
                continue;
            }
            m_posted[i] = true;
        }
        PostRead(*m_reads[i]);
    }
}

void HidFdo::StopReads() {
    {
        std::lock_guard guard(m_readLock);
        m_reading = false;
    }
    for (auto& read : m_reads) {
        if (read) {
            read->Cancel();
        }
    }
    for (auto& read : m_reads) {
        if (read) {
            read->Wait();
        }
    }
}

void HidFdo::PostRead(UrbRequest& request) {
    UsbBuildInterruptOrBulkTransferRequest(request.Urb(), sizeof(_URB_BULK_OR_INTERRUPT_TRANSFER), m_interruptIn,
                                           request.Buffer(), nullptr, request.BufferSize(),
                                           USBD_TRANSFER_DIRECTION_IN | USBD_SHORT_TRANSFER_OK, nullptr);
    request.Post([this](UrbRequest& done, NTSTATUS status) { ReadDone(done, status); });
}

void HidFdo::ReadDone(UrbRequest& request, NTSTATUS status) {
    if (NT_SUCCESS(status)) {
        const ULONG length = request.Urb()->UrbBulkOrInterruptTransfer.TransferBufferLength;
        ++m_reportsRead;
        for (PhysicalDevice* child : Children()) {
            static_cast<HidCollectionPdo*>(child)->OnReport(request.Buffer(), length);
        }
    }
    bool again;
    {
        std::lock_guard guard(m_readLock);
        again = m_reading && NT_SUCCESS(status);
        if (!again) {
            // Cancelled, or the device failed it: this read rests until reading starts again.
            m_posted[&request == m_reads[0].get() ? 0 : 1] = false;
        }
    }
    if (again) {
        PostRead(request);
    }
}

NTSTATUS HidFdo::GetReport(UCHAR type, UCHAR id, UCHAR* data, ULONG* length) {
    return Client().ClassRequest(URB_FUNCTION_CLASS_INTERFACE, true, HID_REQUEST_GET_REPORT,
                                 static_cast<USHORT>(type << 8 | id), m_interface, data, length);
}

NTSTATUS HidFdo::SetReport(UCHAR type, UCHAR id, const UCHAR* data, ULONG length) {
    return Client().ClassRequest(URB_FUNCTION_CLASS_INTERFACE, false, HID_REQUEST_SET_REPORT,
                                 static_cast<USHORT>(type << 8 | id), m_interface, const_cast<UCHAR*>(data), &length);
}

std::u16string HidFdo::IndexedString(UCHAR index) {
    UrbClient client = Client();
    return ReadString(client, index);
}

NTSTATUS HidFdo::PhysicalDescriptor(Bytes& descriptor) {
    return Client().GetDescriptor(URB_FUNCTION_GET_DESCRIPTOR_FROM_INTERFACE, 0x23, 0, m_interface, descriptor, 255);
}

// --- Selective suspend ---

bool HidFdo::Sleeping() const {
    std::lock_guard guard(m_idleLock);
    return m_idle == IdleState::Sleeping;
}

bool HidFdo::EnterIdle() {
    std::lock_guard transition(m_transition);
    PIRP irp = IoAllocateIrp(m_lower->StackSize, FALSE);
    if (!irp || !m_idleInfo) {
        if (irp) {
            IoFreeIrp(irp);
        }
        return false;
    }
    {
        std::lock_guard guard(m_idleLock);
        if (m_idle != IdleState::Active || m_idleIrp || m_stopped) {
            IoFreeIrp(irp);
            return false;
        }
        m_idle = IdleState::Waiting;
        m_idleIrp = irp;
    }
    auto* info = m_idleInfo.As<USB_IDLE_CALLBACK_INFO>();
    info->IdleCallback = IdleCallback;
    info->IdleContext = this;
    PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(irp);
    next->MajorFunction = IRP_MJ_INTERNAL_DEVICE_CONTROL;
    next->Parameters.DeviceIoControl.IoControlCode = IOCTL_INTERNAL_USB_SUBMIT_IDLE_NOTIFICATION;
    next->Parameters.DeviceIoControl.Type3InputBuffer = info;
    IoSetCompletionRoutine(irp, IdleDone, this, TRUE, TRUE, TRUE);
    IoCallDriver(m_lower, irp);
    return true;
}

NTSTATUS HidFdo::IdleDone(PDEVICE_OBJECT, PIRP irp, PVOID context) {
    auto* self = static_cast<HidFdo*>(context);
    IoFreeIrp(irp);
    std::lock_guard guard(self->m_idleLock);
    self->m_idleIrp = nullptr;
    if (self->m_idle == IdleState::Waiting) {
        self->m_idle = IdleState::Active; // refused, or cancelled before the device slept
    }
    self->m_idleChanged.notify_all();
    return STATUS_MORE_PROCESSING_REQUIRED;
}

void HidFdo::IdleCallback(PVOID context) {
    static_cast<HidFdo*>(context)->GoToSleep();
}

void HidFdo::GoToSleep() {
    std::lock_guard transition(m_transition);
    {
        std::lock_guard guard(m_idleLock);
        if (m_idle != IdleState::Waiting || m_stopped) {
            return;
        }
    }
    QueryPowerSequence(m_lower, m_sequence);
    m_wake.Post(m_self, PowerSystemWorking, [this](NTSTATUS) {
        // Woken (or cancelled): back to D0 at PASSIVE_LEVEL, on the driver's own thread.
        m_worker.Post([this] { WakeUp(); });
    });
    SetDevicePower(m_self, PowerDeviceD2);
    std::lock_guard guard(m_idleLock);
    m_idle = IdleState::Sleeping;
    m_idleChanged.notify_all();
}

void HidFdo::WakeUp() {
    std::lock_guard transition(m_transition);
    {
        std::lock_guard guard(m_idleLock);
        if (m_idle != IdleState::Sleeping) {
            return;
        }
        m_idle = IdleState::Active;
    }
    SetDevicePower(m_self, PowerDeviceD0);
    CancelIdleRequest();
}

void HidFdo::CancelIdleRequest() {
    PIRP irp;
    {
        std::lock_guard guard(m_idleLock);
        irp = m_idleIrp;
    }
    if (irp) {
        IoCancelIrp(irp);
    }
    std::unique_lock guard(m_idleLock);
    m_idleChanged.wait(guard, [this] { return m_idleIrp == nullptr; });
}

void HidFdo::LeaveIdle() {
    IdleState state;
    {
        std::lock_guard transition(m_transition);
        std::lock_guard guard(m_idleLock);
        state = m_idle;
    }
    if (state == IdleState::Sleeping) {
        m_wake.Cancel(); // its completion brings the device back to D0 and ends the idle request
        m_wake.Wait();
        m_worker.Drain();
    }
    std::lock_guard transition(m_transition);
    CancelIdleRequest();
}

// The function drivers of the HID collections: they take their place in the stack and pass everything on.
class PassThroughFdo : public FunctionDevice {
public:
    PassThroughFdo(PDEVICE_OBJECT self, PDEVICE_OBJECT pdo, PDEVICE_OBJECT lower) : FunctionDevice(self, pdo, lower) {}

protected:
    NTSTATUS CreateClose(PIRP irp) override { return PassDown(m_lower, irp); }
    NTSTATUS Other(PIRP irp) override { return PassDown(m_lower, irp); }
};

} // namespace

NTSTATUS HidUsbEntry(PDRIVER_OBJECT driver, PUNICODE_STRING) {
    return SetUpDriver(driver, AddFunctionDevice<HidFdo, FILE_DEVICE_UNKNOWN>);
}

namespace {
HidFdo* HidOf(PDEVICE_OBJECT pdo) {
    for (PDEVICE_OBJECT device = pdo; device; device = device->AttachedDevice) {
        if (auto* hid = dynamic_cast<HidFdo*>(ContextOf(device))) {
            return hid;
        }
    }
    return nullptr;
}
} // namespace

bool HidEnterIdle(PDEVICE_OBJECT pdo) {
    HidFdo* hid = HidOf(pdo);
    return hid && hid->EnterIdle();
}

void HidLeaveIdle(PDEVICE_OBJECT pdo) {
    if (HidFdo* hid = HidOf(pdo)) {
        hid->LeaveIdle();
    }
}

bool HidSleeping(PDEVICE_OBJECT pdo) {
    HidFdo* hid = HidOf(pdo);
    return hid && hid->Sleeping();
}

uint64_t HidReportsRead(PDEVICE_OBJECT pdo) {
    HidFdo* hid = HidOf(pdo);
    return hid ? hid->ReportsRead() : 0;
}
NTSTATUS MouHidEntry(PDRIVER_OBJECT driver, PUNICODE_STRING) {
    return SetUpDriver(driver, AddFunctionDevice<PassThroughFdo, FILE_DEVICE_MOUSE>);
}
NTSTATUS KbdHidEntry(PDRIVER_OBJECT driver, PUNICODE_STRING) {
    return SetUpDriver(driver, AddFunctionDevice<PassThroughFdo, FILE_DEVICE_KEYBOARD>);
}

} // namespace sim::drv
