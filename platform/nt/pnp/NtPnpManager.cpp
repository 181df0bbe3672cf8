// The Plug and Play manager: its thread, the registrations (driver images, setup classes, driver matches),
// the device tree, and the arrival and removal of devices.
#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <exception>
#include <functional>
#include <map>
#include <thread>
#include <utility>

#include "NtControl.h"
#include "NtIoInternal.h"
#include "NtPnpInternal.h"
#include "NtPool.h"
#include "NtText.h"

namespace nt::pnp {
namespace {

struct IgnoreCase {
    bool operator()(const std::u16string& a, const std::u16string& b) const {
        return text::CompareIgnoreCase(a, b) < 0;
    }
};

// --- The manager's thread ---

class Worker {
public:
    void Post(std::function<void()> work) {
        std::lock_guard guard(m_lock);
        m_queue.push_back(std::move(work));
        if (!m_thread.joinable()) {
            m_thread = std::thread([this] { Run(); });
        }
        m_wake.notify_one();
    }

    bool OnWorker() {
        std::lock_guard guard(m_lock);
        return m_thread.joinable() && std::this_thread::get_id() == m_thread.get_id();
    }

    // A stop (NtBugCheck) raised by a driver on the manager's thread is rethrown here, to the machine's owner.
    void WaitForIdle() {
        if (OnWorker()) {
            return;
        }
        std::unique_lock guard(m_lock);
        m_idle.wait(guard, [this] { return m_queue.empty() && !m_busy; });
        if (std::exception_ptr error = std::exchange(m_error, nullptr)) {
            std::rethrow_exception(error);
        }
    }

    // Runs `work` on the manager's thread and waits for it and for everything it queued.
    void RunAndWait(std::function<void()> work) {
        if (OnWorker()) {
            work();
            return;
        }
        Post(std::move(work));
        WaitForIdle();
    }

    void Stop() {
        WaitForIdle();
        std::thread thread;
        {
            std::lock_guard guard(m_lock);
            m_stopping = true;
            m_wake.notify_one();
            thread = std::move(m_thread);
        }
        if (thread.joinable()) {
            thread.join();
        }
        std::lock_guard guard(m_lock);
        m_stopping = false;
    }

private:
    void Run() {
        std::unique_lock guard(m_lock);
        for (;;) {
            m_wake.wait(guard, [this] { return m_stopping || !m_queue.empty(); });
            if (m_queue.empty()) {
                return; // stopping
            }
            std::function<void()> work = std::move(m_queue.front());
            m_queue.pop_front();
            m_busy = true;
            guard.unlock();
            std::exception_ptr error;
            try {
                work();
            } catch (...) {
                error = std::current_exception();
            }
            guard.lock();
            if (error && !m_error) {
                m_error = error;
            }
            m_busy = false;
            if (m_queue.empty()) {
                m_idle.notify_all();
            }
        }
    }

    std::mutex m_lock;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    std::deque<std::function<void()>> m_queue;
    bool m_busy = false;
    bool m_stopping = false;
    std::exception_ptr m_error;
    std::thread m_thread;
};

Worker& TheWorker() {
    static Worker* worker = new Worker; // never destroyed: its thread may outlive static destruction
    return *worker;
}

// --- Registrations (changed and read on any thread, under g_configLock) ---

std::mutex g_configLock;
std::map<std::u16string, PDRIVER_INITIALIZE, IgnoreCase> g_images;
std::map<std::u16string, PDRIVER_OBJECT, IgnoreCase> g_loaded; // changed on the manager's thread only
std::vector<DriverMatch> g_matches;

// --- The tree (manager's thread; see DeviceNode) ---

std::mutex g_nodeLock;
DeviceNode g_root;
std::map<std::u16string, ULONG, IgnoreCase> g_driverKeyCounters; // when the registry cannot tell

// --- Drivers ---

PDRIVER_OBJECT FindLoaded(std::u16string_view service) {
    std::lock_guard guard(g_configLock);
    auto it = g_loaded.find(std::u16string(service));
    return it == g_loaded.end() ? nullptr : it->second;
}

NTSTATUS LoadOnWorker(std::u16string_view service, PDRIVER_OBJECT* driver) {
    if ((*driver = FindLoaded(service))) {
        return STATUS_SUCCESS;
    }
    PDRIVER_INITIALIZE entry = nullptr;
    {
        std::lock_guard guard(g_configLock);
        auto it = g_images.find(std::u16string(service));
        if (it != g_images.end()) {
            entry = it->second;
        }
    }
    if (!entry) {
        return STATUS_OBJECT_NAME_NOT_FOUND;
    }
    NTSTATUS status = io::LoadDriverObject(service, entry, driver);
    if (NT_SUCCESS(status)) {
        std::lock_guard guard(g_configLock);
        g_loaded[std::u16string(service)] = *driver;
    }
    return status;
}

void UnloadOnWorker(PDRIVER_OBJECT driver) {
    {
        std::lock_guard guard(g_configLock);
        for (auto it = g_loaded.begin(); it != g_loaded.end(); ++it) {
            if (it->second == driver) {
                g_loaded.erase(it);
                break;
            }
        }
    }
    io::UnloadDriverObject(driver);
}

// --- Plug and Play requests ---

// Sends a Plug and Play request to the top of the device's stack and waits for it. *information receives the
// request's Information (0 unless it succeeded).
NTSTATUS SendPnp(PDEVICE_OBJECT device, UCHAR minor, const std::function<void(PIO_STACK_LOCATION)>& fill = {},
                 ULONG_PTR* information = nullptr) {
    if (information) {
        *information = 0;
    }
    PDEVICE_OBJECT top = IoGetAttachedDeviceReference(device);
    PIRP irp = io::AllocateIoManagerIrp(top->StackSize, 0);
    if (!irp) {
        ObDereferenceObject(top);
        return STATUS_INSUFFICIENT_RESOURCES;
    }
    KEVENT event;
    KeInitializeEvent(&event, NotificationEvent, FALSE);
    IO_STATUS_BLOCK ioStatus{};
    ioStatus.Status = STATUS_NOT_SUPPORTED;
    irp->IoStatus.Status = STATUS_NOT_SUPPORTED;
    irp->UserEvent = &event;
    irp->UserIosb = &ioStatus;
    PIO_STACK_LOCATION location = IoGetNextIrpStackLocation(irp);
    location->MajorFunction = IRP_MJ_PNP;
    location->MinorFunction = minor;
    if (fill) {
        fill(location);
    }
    NTSTATUS status = IoCallDriver(top, irp);
    if (status == STATUS_PENDING) {
        KeWaitForSingleObject(&event, Executive, KernelMode, FALSE, nullptr);
    }
    if (KeReadStateEvent(&event)) {
        status = ioStatus.Status;
        if (information && NT_SUCCESS(status)) {
            *information = ioStatus.Information;
        }
    }
    ObDereferenceObject(top);
    return status;
}

std::u16string QueryIdText(PDEVICE_OBJECT pdo, BUS_QUERY_ID_TYPE type, bool* ok = nullptr) {
    ULONG_PTR information = 0;
    NTSTATUS status = SendPnp(
        pdo, IRP_MN_QUERY_ID, [type](PIO_STACK_LOCATION l) { l->Parameters.QueryId.IdType = type; }, &information);
    if (ok) {
        *ok = NT_SUCCESS(status) && information;
    }
    if (!NT_SUCCESS(status) || !information) {
        return {};
    }
    auto* text = reinterpret_cast<WCHAR*>(information);
    std::u16string result(text::View(text));
    ExFreePool(text);
    return result;
}

std::vector<std::u16string> QueryIdList(PDEVICE_OBJECT pdo, BUS_QUERY_ID_TYPE type) {
    ULONG_PTR information = 0;
    NTSTATUS status = SendPnp(
        pdo, IRP_MN_QUERY_ID, [type](PIO_STACK_LOCATION l) { l->Parameters.QueryId.IdType = type; }, &information);
    if (!NT_SUCCESS(status) || !information) {
        return {};
    }
    auto* text = reinterpret_cast<WCHAR*>(information);
    std::vector<std::u16string> result = reg::ParseMultiSz(text, SIZE_MAX);
    ExFreePool(text);
    return result;
}

std::u16string QueryText(PDEVICE_OBJECT pdo, DEVICE_TEXT_TYPE type) {
    ULONG_PTR information = 0;
    NTSTATUS status = SendPnp(
        pdo, IRP_MN_QUERY_DEVICE_TEXT,
        [type](PIO_STACK_LOCATION l) {
            l->Parameters.QueryDeviceText.DeviceTextType = type;
            l->Parameters.QueryDeviceText.LocaleId = 0x409;
        },
        &information);
    if (!NT_SUCCESS(status) || !information) {
        return {};
    }
    auto* text = reinterpret_cast<WCHAR*>(information);
    std::u16string result(text::View(text));
    ExFreePool(text);
    return result;
}

bool QueryCapabilities(PDEVICE_OBJECT pdo, DEVICE_CAPABILITIES& capabilities) {
    capabilities = DEVICE_CAPABILITIES{};
    capabilities.Size = sizeof(DEVICE_CAPABILITIES);
    capabilities.Version = 1;
    capabilities.Address = 0xFFFFFFFF;
    capabilities.UINumber = 0xFFFFFFFF;
    PDEVICE_CAPABILITIES pointer = &capabilities;
    return NT_SUCCESS(SendPnp(pdo, IRP_MN_QUERY_CAPABILITIES, [pointer](PIO_STACK_LOCATION l) {
        l->Parameters.DeviceCapabilities.Capabilities = pointer;
    }));
}

bool QueryBusInformation(PDEVICE_OBJECT pdo, PNP_BUS_INFORMATION& busInformation) {
    ULONG_PTR information = 0;
    if (!NT_SUCCESS(SendPnp(pdo, IRP_MN_QUERY_BUS_INFORMATION, {}, &information)) || !information) {
        return false;
    }
    auto* answer = reinterpret_cast<PPNP_BUS_INFORMATION>(information);
    busInformation = *answer;
    ExFreePool(answer);
    return true;
}

// --- Device nodes ---

std::vector<DeviceNode*> PostOrder(DeviceNode* node) {
    std::vector<DeviceNode*> order;
    std::function<void(DeviceNode*)> walk = [&](DeviceNode* n) {
        for (DeviceNode* child : n->children) {
            walk(child);
        }
        order.push_back(n);
    };
    walk(node);
    return order;
}

// The prefix a parent gives instance IDs of children that are not unique by themselves, as in
// "5&2c3c5a3b&0&2": the parent's depth, a hash of its instance path, and 0. Stable from boot to boot.
const std::u16string& ParentIdPrefix(DeviceNode* parent) {
    if (parent->parentIdPrefix.empty()) {
        ULONG hash = 2166136261u;
        for (char16_t c : text::Upcase(parent->instancePath)) {
            hash = (hash ^ c) * 16777619u;
        }
        char prefix[32];
        snprintf(prefix, sizeof prefix, "%u&%x&0", static_cast<unsigned>(parent->depth + 4), hash);
        parent->parentIdPrefix = text::AnsiToUtf16(prefix);
        reg::SetString(reg::CreatePath(reg::EnumKeyPath(parent->instancePath)), u"ParentIdPrefix",
                       parent->parentIdPrefix);
    }
    return parent->parentIdPrefix;
}

// Asks the new device who it is. False when it gives no device ID.
bool QueryIdentity(DeviceNode* node) {
    PDEVICE_OBJECT pdo = node->pdo;
    std::u16string deviceId = QueryIdText(pdo, BusQueryDeviceID);
    if (deviceId.empty()) {
        return false;
    }
    DEVICE_CAPABILITIES capabilities;
    bool hasCapabilities = QueryCapabilities(pdo, capabilities);
    std::u16string instanceId = QueryIdText(pdo, BusQueryInstanceID);
    std::u16string description = QueryText(pdo, DeviceTextDescription);
    std::u16string location = QueryText(pdo, DeviceTextLocationInformation);
    std::vector<std::u16string> hardwareIds = QueryIdList(pdo, BusQueryHardwareIDs);
    std::vector<std::u16string> compatibleIds = QueryIdList(pdo, BusQueryCompatibleIDs);
    PNP_BUS_INFORMATION busInformation{};
    bool hasBusInformation = QueryBusInformation(pdo, busInformation);

    std::u16string instance = instanceId.empty() ? u"0" : instanceId;
    if (!(hasCapabilities && capabilities.UniqueID) && node->parent != &g_root) {
        instance = ParentIdPrefix(node->parent) + u"&" + instance;
    }
    std::lock_guard guard(g_nodeLock);
    node->deviceId = deviceId;
    node->instanceId = instanceId;
    node->instancePath = deviceId + u"\\" + instance;
    node->hardwareIds = std::move(hardwareIds);
    node->compatibleIds = std::move(compatibleIds);
    node->deviceText = description;
    node->location = location;
    node->hasCapabilities = hasCapabilities;
    node->capabilities = capabilities;
    node->hasBusInformation = hasBusInformation;
    node->busInformation = busInformation;
    return true;
}

const DriverMatch* FindMatch(const DeviceNode* node) {
    for (const auto* ids : {&node->hardwareIds, &node->compatibleIds}) {
        for (const auto& id : *ids) {
            for (const auto& match : g_matches) {
                if (text::EqualsIgnoreCase(match.id, id)) {
                    return &match;
                }
            }
        }
    }
    return nullptr;
}

// The driver key "{GUID}\NNNN" of the node: the one its Enum key names, or the first free number of the class.
std::u16string AssignDriverKey(const DeviceNode* node, const reg::KeyRef& enumKey) {
    std::u16string classGuid = reg::GuidString(node->classGuid);
    if (auto existing = reg::GetString(enumKey, u"Driver");
        existing && text::StartsWithIgnoreCase(*existing, classGuid + u"\\")) {
        return *existing;
    }
    reg::KeyRef classKey = reg::CreatePath(reg::ClassKeyPath(node->classGuid));
    ULONG number = 0;
    if (classKey) {
        for (;; ++number) {
            char name[8];
            snprintf(name, sizeof name, "%04u", static_cast<unsigned>(number));
            registry::KeyRef sub;
            if (!NT_SUCCESS(registry::OpenKey(classKey, text::AnsiToUtf16(name), sub))) {
                break;
            }
        }
    } else {
        number = g_driverKeyCounters[classGuid]++;
    }
    char name[8];
    snprintf(name, sizeof name, "%04u", static_cast<unsigned>(number));
    std::u16string key = classGuid + u"\\" + text::AnsiToUtf16(name);
    if (classKey) {
        registry::KeyRef sub;
        bool created = false;
        if (NT_SUCCESS(registry::CreateKey(classKey, text::AnsiToUtf16(name), false, u"", sub, created))) {
            reg::SetString(sub, u"DriverDesc", node->description);
            if (!node->hardwareIds.empty()) {
                reg::SetString(sub, u"MatchingDeviceId", text::Upcase(node->hardwareIds.front()));
            }
        }
    }
    return key;
}

// Picks the node's driver, class and description, and records the node under Enum.
void SelectDriver(DeviceNode* node) {
    DriverMatch match;
    bool matched = false;
    const RootDevice* root = node->parent == &g_root ? RootDeviceOf(node->pdo) : nullptr;
    if (root && !root->service.empty()) {
        match = {node->deviceId, root->service, root->classGuid, u"", u""};
        matched = true;
    } else {
        std::lock_guard guard(g_configLock);
        if (const DriverMatch* found = FindMatch(node)) {
            match = *found;
            matched = true;
        }
    }
    const bool hasClass = matched && match.classGuid != GUID{};
    reg::KeyRef enumKey = reg::CreatePath(reg::EnumKeyPath(node->instancePath));
    std::u16string className;
    std::u16string driverKey;
    if (hasClass) {
        className = reg::GetString(reg::OpenPath(reg::ClassKeyPath(match.classGuid)), u"Class").value_or(u"");
    }
    {
        std::lock_guard guard(g_nodeLock);
        node->description = matched && !match.description.empty() ? match.description : node->deviceText;
        if (matched) {
            node->service = match.service;
            node->manufacturer = match.manufacturer;
            node->hasClass = hasClass;
            node->classGuid = match.classGuid;
            node->className = className;
        }
    }
    if (hasClass) {
        driverKey = AssignDriverKey(node, enumKey);
        std::lock_guard guard(g_nodeLock);
        node->driverKey = driverKey;
    }
    reg::SetMultiString(enumKey, u"HardwareID", node->hardwareIds);
    if (!node->compatibleIds.empty()) {
        reg::SetMultiString(enumKey, u"CompatibleIDs", node->compatibleIds);
    }
    if (!node->description.empty()) {
        reg::SetString(enumKey, u"DeviceDesc", node->description);
    }
    if (!node->location.empty()) {
        reg::SetString(enumKey, u"LocationInformation", node->location);
    }
    if (matched) {
        reg::SetString(enumKey, u"Service", node->service);
        if (!node->manufacturer.empty()) {
            reg::SetString(enumKey, u"Mfg", node->manufacturer);
        }
    }
    if (hasClass) {
        reg::SetString(enumKey, u"ClassGUID", reg::GuidString(node->classGuid));
        if (!className.empty()) {
            reg::SetString(enumKey, u"Class", className);
        }
        reg::SetString(enumKey, u"Driver", driverKey);
    }
}

// The drivers of the node's stack, bottom up: device lower filters, class lower filters, the function driver,
// device upper filters, class upper filters. The class filters apply only to nodes of that class.
std::vector<std::u16string> StackServices(const DeviceNode* node) {
    reg::KeyRef enumKey = reg::OpenPath(reg::EnumKeyPath(node->instancePath));
    reg::KeyRef classKey = node->hasClass ? reg::OpenPath(reg::ClassKeyPath(node->classGuid)) : nullptr;
    std::vector<std::u16string> services = reg::GetMultiString(enumKey, u"LowerFilters");
    for (auto& s : reg::GetMultiString(classKey, u"LowerFilters")) {
        services.push_back(std::move(s));
    }
    services.push_back(node->service);
    for (auto& s : reg::GetMultiString(enumKey, u"UpperFilters")) {
        services.push_back(std::move(s));
    }
    for (auto& s : reg::GetMultiString(classKey, u"UpperFilters")) {
        services.push_back(std::move(s));
    }
    return services;
}

void Enumerate(DeviceNode* node);

void SetState(DeviceNode* node, NodeState state) {
    std::lock_guard guard(g_nodeLock);
    node->state = state;
}

// Loads the stack's drivers and calls their AddDevice routines in order. False when one is missing or fails.
bool AddDrivers(DeviceNode* node) {
    for (const std::u16string& service : StackServices(node)) {
        PDRIVER_OBJECT driver = nullptr;
        if (!NT_SUCCESS(LoadOnWorker(service, &driver))) {
            return false;
        }
        ObReferenceObject(driver);
        node->drivers.push_back(driver);
        PDRIVER_ADD_DEVICE addDevice = driver->DriverExtension->AddDevice;
        if (!addDevice) {
            if (text::EqualsIgnoreCase(service, node->service)) {
                return false; // a function driver that is no Plug and Play driver
            }
            continue;
        }
        if (!NT_SUCCESS(addDevice(driver, node->pdo))) {
            return false;
        }
    }
    return true;
}

void UnloadUnusedDrivers(std::vector<PDRIVER_OBJECT>& drivers) {
    for (PDRIVER_OBJECT driver : drivers) {
        // A driver without an unload routine cannot be unloaded; it stays loaded.
        if (!driver->DeviceObject && driver->DriverUnload && !(driver->Flags & DRVO_UNLOAD_INVOKED) &&
            FindLoaded(io::ServiceNameOf(driver))) {
            UnloadOnWorker(driver);
        }
    }
    for (PDRIVER_OBJECT driver : drivers) {
        ObDereferenceObject(driver);
    }
    drivers.clear();
}

// A device that could not get its drivers or start: its stack is told to go, and the node stays, failed.
void Fail(DeviceNode* node) {
    if (IoGetAttachedDevice(node->pdo) != node->pdo) {
        SendPnp(node->pdo, IRP_MN_REMOVE_DEVICE);
    }
    SetState(node, NodeState::Failed);
    UnloadUnusedDrivers(node->drivers);
}

// A new physical device object reported by `parent`'s bus. The manager keeps the reference the bus gave it.
void ArriveNode(DeviceNode* parent, PDEVICE_OBJECT pdo) {
    auto* node = new DeviceNode;
    node->parent = parent;
    node->pdo = pdo;
    node->depth = parent->depth + 1;
    pdo->Flags &= ~DO_DEVICE_INITIALIZING;
    if (parent != &g_root) {
        pdo->Flags |= DO_BUS_ENUMERATED_DEVICE;
    }
    {
        std::lock_guard guard(g_nodeLock);
        pdo->DeviceObjectExtension->DeviceNode = node;
        parent->children.push_back(node);
    }
    if (!QueryIdentity(node)) {
        SetState(node, NodeState::Failed);
        return;
    }
    SelectDriver(node);
    if (node->service.empty()) {
        return; // no driver for it: the device stays without one
    }
    if (!AddDrivers(node)) {
        Fail(node);
        return;
    }
    if (!NT_SUCCESS(SendPnp(pdo, IRP_MN_START_DEVICE, [](PIO_STACK_LOCATION l) {
            l->Parameters.StartDevice.AllocatedResources = nullptr;
            l->Parameters.StartDevice.AllocatedResourcesTranslated = nullptr;
        }))) {
        Fail(node);
        return;
    }
    SetState(node, NodeState::Started);
    Enumerate(node);
}

// A new device node, whatever became of it, changes the set user mode sees.
void Arrive(DeviceNode* parent, PDEVICE_OBJECT pdo) {
    ArriveNode(parent, pdo);
    ReportDeviceChange({DeviceChange::Kind::NodesChanged, {}, {}});
}

// Removes a subtree, children first: surprise removal (the devices are gone) or the end of an orderly one.
void RemoveTree(DeviceNode* top, bool surprise) {
    std::vector<DeviceNode*> nodes = PostOrder(top);
    if (surprise) {
        for (DeviceNode* node : nodes) {
            if (node->state == NodeState::Started) {
                SendPnp(node->pdo, IRP_MN_SURPRISE_REMOVAL);
            }
        }
    }
    std::vector<PDRIVER_OBJECT> drivers;
    for (DeviceNode* node : nodes) {
        DisableInterfacesOf(node->pdo);
        if (node->state != NodeState::Removed) {
            // A node without drivers still tells its bus driver, which deletes a PDO it no longer reports.
            SendPnp(node->pdo, IRP_MN_REMOVE_DEVICE);
        }
        {
            std::lock_guard guard(g_nodeLock);
            node->state = NodeState::Removed;
            auto& siblings = node->parent->children;
            siblings.erase(std::remove(siblings.begin(), siblings.end(), node), siblings.end());
            node->pdo->DeviceObjectExtension->DeviceNode = nullptr;
        }
        drivers.insert(drivers.end(), node->drivers.begin(), node->drivers.end());
        node->drivers.clear();
        ObDereferenceObject(node->pdo);
        delete node;
    }
    UnloadUnusedDrivers(drivers);
    ReportDeviceChange({DeviceChange::Kind::NodesChanged, {}, {}});
}

// Asks a started device for its bus relations: new children arrive, children no longer reported are removed.
void Enumerate(DeviceNode* node) {
    if (node->state != NodeState::Started) {
        return;
    }
    ULONG_PTR information = 0;
    NTSTATUS status = SendPnp(
        node->pdo, IRP_MN_QUERY_DEVICE_RELATIONS,
        [](PIO_STACK_LOCATION l) { l->Parameters.QueryDeviceRelations.Type = BusRelations; }, &information);
    if (!NT_SUCCESS(status)) {
        return; // not a bus
    }
    std::vector<PDEVICE_OBJECT> reported;
    if (auto* relations = reinterpret_cast<PDEVICE_RELATIONS>(information)) {
        reported.assign(relations->Objects, relations->Objects + relations->Count);
        ExFreePool(relations);
    }
    std::vector<DeviceNode*> gone;
    for (DeviceNode* child : node->children) {
        if (std::find(reported.begin(), reported.end(), child->pdo) == reported.end()) {
            gone.push_back(child);
        }
    }
    for (DeviceNode* child : gone) {
        RemoveTree(child, true);
    }
    for (PDEVICE_OBJECT pdo : reported) {
        DeviceNode* known;
        {
            std::lock_guard guard(g_nodeLock);
            known = NodeOf(pdo);
        }
        if (known) {
            ObDereferenceObject(pdo); // the bus's reference for this report; the node holds its own
        } else {
            Arrive(node, pdo);
        }
    }
}

// Orderly removal's query: every started node, children first, must agree. On a veto the ones asked are told
// to carry on.
NTSTATUS QueryRemoveTree(DeviceNode* top) {
    std::vector<DeviceNode*> asked;
    for (DeviceNode* node : PostOrder(top)) {
        if (node->state != NodeState::Started) {
            continue;
        }
        NTSTATUS status = SendPnp(node->pdo, IRP_MN_QUERY_REMOVE_DEVICE);
        asked.push_back(node);
        if (!NT_SUCCESS(status)) {
            for (auto it = asked.rbegin(); it != asked.rend(); ++it) {
                SendPnp((*it)->pdo, IRP_MN_CANCEL_REMOVE_DEVICE);
            }
            return status;
        }
    }
    return STATUS_SUCCESS;
}

DeviceNode* FindRootChild(std::u16string_view instancePath) {
    for (DeviceNode* child : g_root.children) {
        if (text::EqualsIgnoreCase(child->instancePath, instancePath)) {
            return child;
        }
    }
    return nullptr;
}

void ShutdownOnWorker() {
    while (!g_root.children.empty()) {
        DeviceNode* child = g_root.children.back();
        MarkRootPdoMissing(child->pdo);
        RemoveTree(child, false);
    }
    std::vector<PDRIVER_OBJECT> loaded;
    {
        std::lock_guard guard(g_configLock);
        for (auto& [service, driver] : g_loaded) {
            loaded.push_back(driver);
        }
    }
    // A driver without an unload routine is one the platform never unloads: other drivers may still hold its
    // driver object when they unload (a filter that hooked it gives its entries back), so it goes last.
    std::stable_partition(loaded.begin(), loaded.end(),
                          [](PDRIVER_OBJECT driver) { return driver->DriverUnload != nullptr; });
    for (PDRIVER_OBJECT driver : loaded) {
        UnloadOnWorker(driver);
    }
    UnloadRootDriver();
}

const bool g_resetHook = [] {
    g_root.instancePath = u"HTREE\\ROOT\\0";
    AddResetHook([] { Reset(); });
    return true;
}();

// On the manager's thread: an orderly removal asks first (a veto ends it), then the bus forgets the device and
// the tree goes.
NTSTATUS RemoveNode(DeviceNode* node, bool surprise, const std::function<void()>& unplug) {
    if (!surprise) {
        NTSTATUS status = QueryRemoveTree(node);
        if (!NT_SUCCESS(status)) {
            return status;
        }
    }
    if (unplug) {
        unplug();
    }
    RemoveTree(node, surprise);
    return STATUS_SUCCESS;
}

} // namespace

std::mutex& NodeLock() {
    return g_nodeLock;
}

DeviceNode* FindNodeLocked(DeviceNode* parent, std::u16string_view instancePath) {
    for (DeviceNode* child : parent->children) {
        if (text::EqualsIgnoreCase(child->instancePath, instancePath)) {
            return child;
        }
        if (DeviceNode* found = FindNodeLocked(child, instancePath)) {
            return found;
        }
    }
    return nullptr;
}

DeviceNode* NodeOf(PDEVICE_OBJECT device) {
    return device && device->DeviceObjectExtension ? static_cast<DeviceNode*>(device->DeviceObjectExtension->DeviceNode)
                                                   : nullptr;
}

void RegisterDriverImage(std::u16string_view service, PDRIVER_INITIALIZE entry) {
    {
        std::lock_guard guard(g_configLock);
        g_images[std::u16string(service)] = entry;
    }
    reg::KeyRef key = reg::CreatePath(reg::ServiceKeyPath(service));
    reg::SetDword(key, u"Type", 1);
    reg::SetString(key, u"ImagePath", u"\\SystemRoot\\System32\\drivers\\" + std::u16string(service) + u".sys");
}

NTSTATUS LoadDriver(std::u16string_view service, PDRIVER_OBJECT* driver) {
    NTSTATUS status = STATUS_UNSUCCESSFUL;
    PDRIVER_OBJECT loaded = nullptr;
    TheWorker().RunAndWait([&] { status = LoadOnWorker(service, &loaded); });
    if (driver) {
        *driver = loaded;
    }
    return status;
}

PDRIVER_OBJECT LoadedDriver(std::u16string_view service) {
    return FindLoaded(service);
}

void UnloadDriver(std::u16string_view service) {
    TheWorker().RunAndWait([&] {
        if (PDRIVER_OBJECT driver = FindLoaded(service)) {
            UnloadOnWorker(driver);
        }
    });
}

void RegisterSetupClass(const GUID& classGuid, std::u16string_view className) {
    reg::SetString(reg::CreatePath(reg::ClassKeyPath(classGuid)), u"Class", className);
}

void AddClassFilter(const GUID& classGuid, std::u16string_view service, FilterPosition position) {
    reg::KeyRef key = reg::CreatePath(reg::ClassKeyPath(classGuid));
    const char16_t* name = position == FilterPosition::Upper ? u"UpperFilters" : u"LowerFilters";
    std::vector<std::u16string> filters = reg::GetMultiString(key, name);
    for (const auto& filter : filters) {
        if (text::EqualsIgnoreCase(filter, service)) {
            return;
        }
    }
    filters.emplace_back(service);
    reg::SetMultiString(key, name, filters);
}

void RegisterDriverMatch(const DriverMatch& match) {
    std::lock_guard guard(g_configLock);
    g_matches.push_back(match);
}

NTSTATUS AddRootDevice(const RootDevice& device, std::u16string* instancePath, PDEVICE_OBJECT* pdo) {
    NTSTATUS status = STATUS_UNSUCCESSFUL;
    PDEVICE_OBJECT created = nullptr;
    std::u16string path;
    TheWorker().RunAndWait([&] {
        status = CreateRootPdo(device, &created);
        if (!NT_SUCCESS(status)) {
            return;
        }
        ObReferenceObject(created); // the manager's reference, as a bus gives one with each report
        Arrive(&g_root, created);
        std::lock_guard guard(g_nodeLock);
        if (DeviceNode* node = NodeOf(created)) {
            path = node->instancePath;
        }
    });
    if (instancePath) {
        *instancePath = path;
    }
    if (pdo) {
        *pdo = created;
    }
    return status;
}

NTSTATUS RemoveRootDevice(std::u16string_view instancePath, bool surprise) {
    NTSTATUS status = STATUS_NO_SUCH_DEVICE;
    TheWorker().RunAndWait([&] {
        if (DeviceNode* node = FindRootChild(instancePath)) {
            status = RemoveNode(node, surprise, [node] { MarkRootPdoMissing(node->pdo); });
        }
    });
    return status;
}

NTSTATUS RemoveDevice(std::u16string_view instancePath, bool surprise, const std::function<void()>& unplug) {
    NTSTATUS status = STATUS_NO_SUCH_DEVICE;
    TheWorker().RunAndWait([&] {
        DeviceNode* node = nullptr;
        {
            std::lock_guard guard(g_nodeLock);
            node = FindNodeLocked(&g_root, instancePath);
        }
        if (node) {
            status = RemoveNode(node, surprise, unplug);
        }
    });
    return status;
}

void WaitForIdle() {
    TheWorker().WaitForIdle();
}

std::vector<DeviceNodeInfo> DeviceNodes() {
    std::vector<DeviceNodeInfo> nodes;
    std::lock_guard guard(g_nodeLock);
    std::function<void(const DeviceNode*)> walk = [&](const DeviceNode* node) {
        for (const DeviceNode* child : node->children) {
            DeviceNodeInfo info;
            info.instancePath = child->instancePath;
            info.parentInstancePath = node == &g_root ? u"" : node->instancePath;
            info.pdo = child->pdo;
            info.service = child->service;
            info.started = child->state == NodeState::Started;
            nodes.push_back(std::move(info));
            walk(child);
        }
    };
    walk(&g_root);
    return nodes;
}

PDEVICE_OBJECT PhysicalDeviceObject(std::u16string_view instancePath) {
    // Found in place: SetupAPI asks this for every property it reads, and a copy of every node each time made
    // a machine of a few hundred devices take minutes to describe.
    std::lock_guard guard(g_nodeLock);
    const DeviceNode* node = FindNodeLocked(&g_root, instancePath);
    return node ? node->pdo : nullptr;
}

PDEVICE_OBJECT ReferencePhysicalDeviceObject(std::u16string_view instancePath) {
    // A node in the tree holds the manager's reference on its PDO, so one more taken under the lock is safe.
    std::lock_guard guard(g_nodeLock);
    const DeviceNode* node = FindNodeLocked(&g_root, instancePath);
    if (!node) {
        return nullptr;
    }
    ObReferenceObject(node->pdo);
    return node->pdo;
}

void Shutdown() {
    TheWorker().RunAndWait(ShutdownOnWorker);
    TheWorker().Stop();
}

void Reset() {
    Shutdown();
    {
        std::lock_guard guard(g_configLock);
        g_images.clear();
        g_matches.clear();
        g_driverKeyCounters.clear();
    }
    ResetInterfaces();
}

} // namespace nt::pnp

void IoInvalidateDeviceRelations(PDEVICE_OBJECT DeviceObject, DEVICE_RELATION_TYPE Type) {
    if (Type != BusRelations) {
        return;
    }
    ObReferenceObject(DeviceObject);
    nt::pnp::TheWorker().Post([DeviceObject] {
        struct Release {
            PDEVICE_OBJECT device;
            ~Release() { ObDereferenceObject(device); }
        } release{DeviceObject};
        nt::pnp::DeviceNode* node;
        {
            std::lock_guard guard(nt::pnp::g_nodeLock);
            node = nt::pnp::NodeOf(DeviceObject);
        }
        if (node) {
            nt::pnp::Enumerate(node);
        }
    });
}
