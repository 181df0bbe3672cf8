// SetupAPI over the kernel's own Plug and Play manager: a set is a snapshot of which present devices (and
// which of their interfaces) it holds, taken when it is made; properties and paths are read from the manager
// when asked for, so SetupAPI, the object namespace and the drivers always tell the same story.
//
// One lock guards the table of open sets, the DevInst numbers and the injected failures; it is never held
// while the Plug and Play manager is called.
#include "setupapi.h"

#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "NtPnp.h"
#include "NtPnpControl.h"
#include "NtPool.h"
#include "NtRegistryTypes.h"
#include "NtRtlString.h"
#include "NtText.h"
#include "WinDeviceIo.h"
#include "WinHandles.h"
#include "WinSetupApiControl.h"
#include "winerror.h"

namespace win32 {
namespace {

struct SetDevice {
    std::u16string instancePath;
    GUID classGuid{};
    DWORD devInst = 0;
};

struct SetInterface {
    GUID interfaceGuid{};
    std::u16string link; // "\??\..."
    size_t device = 0;   // index into the set's devices
    bool active = false;
};

struct DeviceInfoSet {
    std::vector<SetDevice> devices;
    std::vector<SetInterface> interfaces;
};

struct SetupApiState {
    std::mutex lock;
    std::map<HDEVINFO, std::shared_ptr<const DeviceInfoSet>> sets;
    std::map<std::u16string, DWORD> devInsts; // by upper-cased instance path
    DWORD nextDevInst = 1;
    std::vector<SetupApiFailure> failures;
    // Properties set through SetupAPI, by upper-cased instance path and property: type and ANSI bytes.
    std::map<std::u16string, std::map<DWORD, std::pair<DWORD, std::vector<UCHAR>>>> setProperties;
};

SetupApiState& State() {
    static SetupApiState state;
    return state;
}

// Whether an injected failure takes this call; its error becomes the last error.
bool Injected(SetupApiCall call, DWORD property = kAnyProperty) {
    SetupApiState& s = State();
    std::lock_guard guard(s.lock);
    for (auto it = s.failures.begin(); it != s.failures.end(); ++it) {
        if (it->call != call || (it->property != kAnyProperty && it->property != property)) {
            continue;
        }
        if (it->skip > 0) {
            --it->skip;
            continue;
        }
        DWORD error = it->error;
        if (--it->count == 0) {
            s.failures.erase(it);
        }
        SetLastError(error);
        return true;
    }
    return false;
}

BOOL Fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

DWORD DevInstOf(const std::u16string& instancePath) {
    SetupApiState& s = State();
    std::lock_guard guard(s.lock);
    auto [it, added] = s.devInsts.try_emplace(nt::text::Upcase(instancePath), s.nextDevInst);
    if (added) {
        ++s.nextDevInst;
    }
    return it->second;
}

std::shared_ptr<const DeviceInfoSet> Lookup(HDEVINFO handle) {
    SetupApiState& s = State();
    std::lock_guard guard(s.lock);
    auto it = s.sets.find(handle);
    return it == s.sets.end() ? nullptr : it->second;
}

const SetDevice* FindDevice(const DeviceInfoSet& set, DWORD devInst) {
    for (const SetDevice& device : set.devices) {
        if (device.devInst == devInst) {
            return &device;
        }
    }
    return nullptr;
}

// The set a call works on: null, with the last error set, when the call is made to fail or the handle names
// no set.
std::shared_ptr<const DeviceInfoSet> SetOfCall(SetupApiCall call, HDEVINFO handle, DWORD property = kAnyProperty) {
    if (Injected(call, property)) {
        return nullptr;
    }
    auto set = Lookup(handle);
    if (!set) {
        SetLastError(ERROR_INVALID_HANDLE);
    }
    return set;
}

// The member a caller's SP_DEVINFO_DATA names; null, with the last error set, when it names none.
const SetDevice* MemberOf(const DeviceInfoSet& set, const SP_DEVINFO_DATA* data) {
    DWORD error = !data                                     ? ERROR_INVALID_PARAMETER
                  : data->cbSize != sizeof(SP_DEVINFO_DATA) ? ERROR_INVALID_USER_BUFFER
                                                            : ERROR_SUCCESS;
    const SetDevice* device = error ? nullptr : FindDevice(set, data->DevInst);
    if (!device) {
        SetLastError(error ? error : ERROR_NO_SUCH_DEVINST);
    }
    return device;
}

// The PDO of a node, referenced while its properties are read: the manager's thread may remove the node at
// any time, and a PDO held without a reference may be freed under the reader.
class ReferencedPdo {
public:
    explicit ReferencedPdo(std::u16string_view instancePath)
        : m_pdo(nt::pnp::ReferencePhysicalDeviceObject(instancePath)) {}
    ~ReferencedPdo() {
        if (m_pdo) {
            ObDereferenceObject(m_pdo);
        }
    }
    ReferencedPdo(const ReferencedPdo&) = delete;
    ReferencedPdo& operator=(const ReferencedPdo&) = delete;
    PDEVICE_OBJECT Get() const { return m_pdo; }

private:
    PDEVICE_OBJECT m_pdo;
};

// A property's bytes as the manager gives them (UTF-16 texts), or the Win32 error.
DWORD ReadProperty(PDEVICE_OBJECT pdo, DEVICE_REGISTRY_PROPERTY property, std::vector<UCHAR>& bytes) {
    ULONG needed = 0;
    NTSTATUS status = IoGetDeviceProperty(pdo, property, 0, nullptr, &needed);
    while (status == STATUS_BUFFER_TOO_SMALL) {
        bytes.resize(needed);
        status = IoGetDeviceProperty(pdo, property, needed, bytes.data(), &needed);
    }
    if (status == STATUS_OBJECT_NAME_NOT_FOUND) {
        return ERROR_INVALID_DATA;
    }
    if (status == STATUS_INVALID_DEVICE_REQUEST) {
        return ERROR_NO_SUCH_DEVINST; // the node went away between the two calls
    }
    if (!NT_SUCCESS(status)) {
        return RtlNtStatusToDosError(status);
    }
    bytes.resize(needed);
    return ERROR_SUCCESS;
}

bool ClassGuidOf(PDEVICE_OBJECT pdo, GUID& guid) {
    std::vector<UCHAR> bytes;
    guid = GUID{};
    if (ReadProperty(pdo, DevicePropertyClassGuid, bytes) != ERROR_SUCCESS) {
        return false;
    }
    std::u16string text(bytes.size() / sizeof(WCHAR), u'\0');
    std::memcpy(text.data(), bytes.data(), text.size() * sizeof(WCHAR));
    text.resize(nt::text::View(text.c_str()).size());
    UNICODE_STRING counted{static_cast<USHORT>(text.size() * sizeof(WCHAR)),
                           static_cast<USHORT>(text.size() * sizeof(WCHAR)), text.data()};
    return NT_SUCCESS(RtlGUIDFromString(&counted, &guid));
}

// The enumerator of an instance path: what comes before its first backslash.
std::u16string_view EnumeratorOf(std::u16string_view instancePath) {
    return instancePath.substr(0, instancePath.find(u'\\'));
}

// The links of one device's interfaces of a class, or false when the manager could not list them.
bool InterfaceLinks(const GUID& guid, PDEVICE_OBJECT pdo, ULONG flags, std::vector<std::u16string>& links) {
    PWSTR list = nullptr;
    if (!NT_SUCCESS(IoGetDeviceInterfaces(&guid, pdo, flags, &list))) {
        return false;
    }
    for (const WCHAR* p = list; *p; p += nt::text::View(p).size() + 1) {
        links.emplace_back(nt::text::View(p));
    }
    ExFreePool(list);
    return true;
}

DWORD AddInterfacesOf(DeviceInfoSet& set, const nt::pnp::DeviceNodeInfo& node, const GUID& guid, bool presentOnly) {
    std::vector<std::u16string> active, all;
    if (!InterfaceLinks(guid, node.pdo, 0, active) ||
        (!presentOnly && !InterfaceLinks(guid, node.pdo, DEVICE_INTERFACE_INCLUDE_NONACTIVE, all))) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    const std::vector<std::u16string>& links = presentOnly ? active : all;
    if (links.empty()) {
        return ERROR_SUCCESS;
    }
    GUID classGuid;
    ClassGuidOf(node.pdo, classGuid);
    set.devices.push_back({node.instancePath, classGuid, DevInstOf(node.instancePath)});
    for (const std::u16string& link : links) {
        bool isActive = false;
        for (const std::u16string& a : active) {
            isActive = isActive || nt::text::EqualsIgnoreCase(a, link);
        }
        set.interfaces.push_back({guid, link, set.devices.size() - 1, isActive});
    }
    return ERROR_SUCCESS;
}

DWORD BuildSet(const GUID* classGuid, PCSTR enumerator, DWORD flags, DeviceInfoSet& set) {
    const bool interfaces = (flags & DIGCF_DEVICEINTERFACE) != 0;
    std::u16string filter = enumerator ? nt::text::AnsiToUtf16(enumerator) : std::u16string();
    for (const nt::pnp::DeviceNodeInfo& node : nt::pnp::DeviceNodes()) {
        if (!filter.empty() && !nt::text::EqualsIgnoreCase(interfaces ? std::u16string_view(node.instancePath)
                                                                      : EnumeratorOf(node.instancePath),
                                                           filter)) {
            continue;
        }
        if (interfaces) {
            if (DWORD error = AddInterfacesOf(set, node, *classGuid, (flags & DIGCF_PRESENT) != 0)) {
                return error;
            }
            continue;
        }
        GUID nodeClass{};
        const ReferencedPdo pdo(node.instancePath);
        const bool hasClass = pdo.Get() != nullptr && ClassGuidOf(pdo.Get(), nodeClass);
        if ((flags & DIGCF_ALLCLASSES) || (hasClass && nodeClass == *classGuid)) {
            set.devices.push_back({node.instancePath, nodeClass, DevInstOf(node.instancePath)});
        }
    }
    return ERROR_SUCCESS;
}

struct PropertyForm {
    DWORD spdrp;
    DEVICE_REGISTRY_PROPERTY property;
    DWORD type;
    bool settable; // by an installer through SetupDiSetDeviceRegistryProperty
};

constexpr PropertyForm kProperties[] = {
    {SPDRP_DEVICEDESC, DevicePropertyDeviceDescription, REG_SZ, true},
    {SPDRP_HARDWAREID, DevicePropertyHardwareID, REG_MULTI_SZ, true},
    {SPDRP_COMPATIBLEIDS, DevicePropertyCompatibleIDs, REG_MULTI_SZ, true},
    {SPDRP_CLASS, DevicePropertyClassName, REG_SZ, false},
    {SPDRP_CLASSGUID, DevicePropertyClassGuid, REG_SZ, false},
    {SPDRP_DRIVER, DevicePropertyDriverKeyName, REG_SZ, false},
    {SPDRP_MFG, DevicePropertyManufacturer, REG_SZ, true},
    {SPDRP_FRIENDLYNAME, DevicePropertyFriendlyName, REG_SZ, true},
    {SPDRP_LOCATION_INFORMATION, DevicePropertyLocationInformation, REG_SZ, true},
    {SPDRP_PHYSICAL_DEVICE_OBJECT_NAME, DevicePropertyPhysicalDeviceObjectName, REG_SZ, false},
    {SPDRP_UI_NUMBER, DevicePropertyUINumber, REG_DWORD, false},
    {SPDRP_BUSNUMBER, DevicePropertyBusNumber, REG_DWORD, false},
    {SPDRP_ENUMERATOR_NAME, DevicePropertyEnumeratorName, REG_SZ, false},
    {SPDRP_ADDRESS, DevicePropertyAddress, REG_DWORD, false},
};

const PropertyForm* FormOf(DWORD spdrp) {
    for (const PropertyForm& form : kProperties) {
        if (form.spdrp == spdrp) {
            return &form;
        }
    }
    return nullptr;
}

// Texts go to the ANSI code page character by character (one byte each), NULs and all.
// The member and the property form of a property call (`set` keeps the member alive); null, with the last
// error set, when the call cannot go on.
const SetDevice* PropertyTarget(SetupApiCall call, HDEVINFO handle, const SP_DEVINFO_DATA* data, DWORD property,
                                const void* buffer, DWORD size, std::shared_ptr<const DeviceInfoSet>& set,
                                const PropertyForm*& form) {
    set = SetOfCall(call, handle, property);
    const SetDevice* device = set ? MemberOf(*set, data) : nullptr;
    if (!device) {
        return nullptr;
    }
    if (!buffer && size != 0) {
        SetLastError(ERROR_INVALID_USER_BUFFER);
        return nullptr;
    }
    form = FormOf(property);
    if (!form) {
        SetLastError(ERROR_INVALID_REG_PROPERTY);
        return nullptr;
    }
    return device;
}

// A property set through SetupAPI, if any: its type and bytes.
bool SetProperty(const std::u16string& instancePath, DWORD spdrp, DWORD& type, std::vector<UCHAR>& bytes) {
    SetupApiState& s = State();
    std::lock_guard guard(s.lock);
    auto device = s.setProperties.find(nt::text::Upcase(instancePath));
    if (device == s.setProperties.end()) {
        return false;
    }
    auto property = device->second.find(spdrp);
    if (property == device->second.end()) {
        return false;
    }
    type = property->second.first;
    bytes = property->second.second;
    return true;
}

std::vector<UCHAR> ToAnsi(const std::vector<UCHAR>& utf16) {
    std::vector<UCHAR> ansi(utf16.size() / sizeof(WCHAR));
    for (size_t i = 0; i < ansi.size(); ++i) {
        WCHAR c;
        std::memcpy(&c, &utf16[i * sizeof(WCHAR)], sizeof c);
        ansi[i] = static_cast<UCHAR>(nt::text::Utf16ToAnsi(c));
    }
    return ansi;
}

// The path user mode opens an interface by: "\\?\" in place of the link's "\??\".
std::string DevicePathOf(const std::u16string& link) {
    std::u16string_view rest = link;
    if (rest.size() >= 4 && rest.substr(0, 4) == u"\\??\\") {
        rest.remove_prefix(4);
    }
    return "\\\\?\\" + nt::text::Utf16ToAnsi(rest);
}

void FillDeviceData(const SetDevice& device, size_t index, SP_DEVINFO_DATA& data) {
    data.ClassGuid = device.classGuid;
    data.DevInst = device.devInst;
    data.Reserved = index + 1;
}

} // namespace

void InjectSetupApiFailure(const SetupApiFailure& failure) {
    if (failure.count == 0) {
        return;
    }
    SetupApiState& s = State();
    std::lock_guard guard(s.lock);
    s.failures.push_back(failure);
}

void ClearSetupApiFailures() {
    SetupApiState& s = State();
    std::lock_guard guard(s.lock);
    s.failures.clear();
}

void ResetSetupApi() {
    SetupApiState& s = State();
    std::lock_guard guard(s.lock);
    s.failures.clear();
    s.setProperties.clear();
}

size_t OpenDeviceInfoSets() {
    SetupApiState& s = State();
    std::lock_guard guard(s.lock);
    return s.sets.size();
}

} // namespace win32

using namespace win32;

HDEVINFO SetupDiGetClassDevsA(const GUID* ClassGuid, PCSTR Enumerator, HWND, DWORD Flags) {
    if (Injected(SetupApiCall::GetClassDevs)) {
        return INVALID_HANDLE_VALUE;
    }
    constexpr DWORD kKnownFlags =
        DIGCF_DEFAULT | DIGCF_PRESENT | DIGCF_ALLCLASSES | DIGCF_PROFILE | DIGCF_DEVICEINTERFACE;
    if (Flags & ~kKnownFlags) {
        Fail(ERROR_INVALID_FLAGS);
        return INVALID_HANDLE_VALUE;
    }
    // Listing the interfaces of every class is not something this program asks for.
    if (!ClassGuid && (!(Flags & DIGCF_ALLCLASSES) || (Flags & DIGCF_DEVICEINTERFACE))) {
        Fail(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    auto set = std::make_shared<DeviceInfoSet>();
    if (DWORD error = BuildSet(ClassGuid, Enumerator, Flags, *set)) {
        Fail(error);
        return INVALID_HANDLE_VALUE;
    }
    SetupApiState& s = State();
    std::lock_guard guard(s.lock);
    auto handle = static_cast<HDEVINFO>(const_cast<DeviceInfoSet*>(set.get()));
    s.sets[handle] = std::move(set);
    return handle;
}

BOOL SetupDiDestroyDeviceInfoList(HDEVINFO DeviceInfoSet) {
    if (Injected(SetupApiCall::DestroyDeviceInfoList)) {
        return FALSE;
    }
    SetupApiState& s = State();
    std::lock_guard guard(s.lock);
    if (s.sets.erase(DeviceInfoSet) == 0) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    return TRUE;
}

BOOL SetupDiEnumDeviceInfo(HDEVINFO DeviceInfoSet, DWORD MemberIndex, PSP_DEVINFO_DATA DeviceInfoData) {
    auto set = SetOfCall(SetupApiCall::EnumDeviceInfo, DeviceInfoSet);
    if (!set) {
        return FALSE;
    }
    if (!DeviceInfoData) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    if (DeviceInfoData->cbSize != sizeof(SP_DEVINFO_DATA)) {
        return Fail(ERROR_INVALID_USER_BUFFER);
    }
    if (MemberIndex >= set->devices.size()) {
        return Fail(ERROR_NO_MORE_ITEMS);
    }
    FillDeviceData(set->devices[MemberIndex], MemberIndex, *DeviceInfoData);
    return TRUE;
}

BOOL SetupDiGetDeviceRegistryPropertyA(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData, DWORD Property,
                                       PDWORD PropertyRegDataType, PBYTE PropertyBuffer, DWORD PropertyBufferSize,
                                       PDWORD RequiredSize) {
    std::shared_ptr<const win32::DeviceInfoSet> set;
    const PropertyForm* form = nullptr;
    const SetDevice* device = PropertyTarget(SetupApiCall::GetDeviceRegistryProperty, DeviceInfoSet, DeviceInfoData,
                                             Property, PropertyBuffer, PropertyBufferSize, set, form);
    if (!device) {
        return FALSE;
    }
    const ReferencedPdo pdo(device->instancePath);
    if (!pdo.Get()) {
        return Fail(ERROR_NO_SUCH_DEVINST);
    }
    std::vector<UCHAR> bytes;
    DWORD type = form->type;
    if (!SetProperty(device->instancePath, Property, type, bytes)) {
        if (DWORD error = ReadProperty(pdo.Get(), form->property, bytes)) {
            return Fail(error);
        }
        if (form->type != REG_DWORD) {
            bytes = ToAnsi(bytes);
        }
    }
    if (PropertyRegDataType) {
        *PropertyRegDataType = type;
    }
    if (RequiredSize) {
        *RequiredSize = static_cast<DWORD>(bytes.size());
    }
    if (PropertyBufferSize < bytes.size()) {
        return Fail(ERROR_INSUFFICIENT_BUFFER);
    }
    std::memcpy(PropertyBuffer, bytes.data(), bytes.size());
    return TRUE;
}

BOOL SetupDiSetDeviceRegistryPropertyA(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData, DWORD Property,
                                       const BYTE* PropertyBuffer, DWORD PropertyBufferSize) {
    std::shared_ptr<const win32::DeviceInfoSet> set;
    const PropertyForm* form = nullptr;
    const SetDevice* device = PropertyTarget(SetupApiCall::SetDeviceRegistryProperty, DeviceInfoSet, DeviceInfoData,
                                             Property, PropertyBuffer, PropertyBufferSize, set, form);
    if (!device) {
        return FALSE;
    }
    if (!form->settable) {
        return Fail(ERROR_INVALID_REG_PROPERTY);
    }
    SetupApiState& s = State();
    std::lock_guard guard(s.lock);
    auto& properties = s.setProperties[nt::text::Upcase(device->instancePath)];
    if (PropertyBufferSize == 0) {
        properties.erase(Property);
    } else {
        properties[Property] = {form->type, std::vector<UCHAR>(PropertyBuffer, PropertyBuffer + PropertyBufferSize)};
    }
    return TRUE;
}

BOOL SetupDiEnumDeviceInterfaces(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData,
                                 const GUID* InterfaceClassGuid, DWORD MemberIndex,
                                 PSP_DEVICE_INTERFACE_DATA DeviceInterfaceData) {
    auto set = SetOfCall(SetupApiCall::EnumDeviceInterfaces, DeviceInfoSet);
    if (!set) {
        return FALSE;
    }
    if (!InterfaceClassGuid || !DeviceInterfaceData) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    if (DeviceInterfaceData->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA)) {
        return Fail(ERROR_INVALID_USER_BUFFER);
    }
    const SetDevice* device = DeviceInfoData ? MemberOf(*set, DeviceInfoData) : nullptr;
    if (DeviceInfoData && !device) {
        return FALSE;
    }
    DWORD seen = 0;
    for (size_t i = 0; i < set->interfaces.size(); ++i) {
        const SetInterface& entry = set->interfaces[i];
        if (entry.interfaceGuid != *InterfaceClassGuid ||
            (device && set->devices[entry.device].devInst != device->devInst) || seen++ != MemberIndex) {
            continue;
        }
        DeviceInterfaceData->InterfaceClassGuid = entry.interfaceGuid;
        DeviceInterfaceData->Flags = entry.active ? SPINT_ACTIVE : 0;
        DeviceInterfaceData->Reserved = i + 1;
        return TRUE;
    }
    return Fail(ERROR_NO_MORE_ITEMS);
}

BOOL SetupDiGetDeviceInterfaceDetailA(HDEVINFO DeviceInfoSet, PSP_DEVICE_INTERFACE_DATA DeviceInterfaceData,
                                      PSP_DEVICE_INTERFACE_DETAIL_DATA_A DeviceInterfaceDetailData,
                                      DWORD DeviceInterfaceDetailDataSize, PDWORD RequiredSize,
                                      PSP_DEVINFO_DATA DeviceInfoData) {
    auto set = SetOfCall(SetupApiCall::GetDeviceInterfaceDetail, DeviceInfoSet);
    if (!set) {
        return FALSE;
    }
    if (!DeviceInterfaceData) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    constexpr DWORD kFixedPart = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
    if (DeviceInterfaceData->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA) ||
        (DeviceInterfaceDetailData && DeviceInterfaceDetailData->cbSize != kFixedPart) ||
        (DeviceInfoData && DeviceInfoData->cbSize != sizeof(SP_DEVINFO_DATA))) {
        return Fail(ERROR_INVALID_USER_BUFFER);
    }
    if (DeviceInterfaceDetailData ? DeviceInterfaceDetailDataSize < kFixedPart : DeviceInterfaceDetailDataSize != 0) {
        return Fail(ERROR_INVALID_USER_BUFFER);
    }
    ULONG_PTR index = DeviceInterfaceData->Reserved;
    if (index == 0 || index > set->interfaces.size() ||
        set->interfaces[index - 1].interfaceGuid != DeviceInterfaceData->InterfaceClassGuid) {
        return Fail(ERROR_NO_SUCH_DEVICE_INTERFACE);
    }
    const SetInterface& entry = set->interfaces[index - 1];
    if (DeviceInfoData) {
        FillDeviceData(set->devices[entry.device], entry.device, *DeviceInfoData);
    }
    std::string path = DevicePathOf(entry.link);
    const DWORD needed = static_cast<DWORD>(offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath) + path.size() + 1);
    if (RequiredSize) {
        *RequiredSize = needed;
    }
    if (!DeviceInterfaceDetailData || DeviceInterfaceDetailDataSize < needed) {
        return Fail(ERROR_INSUFFICIENT_BUFFER);
    }
    // The path runs on past the one character the structure declares.
    auto* pathBytes =
        reinterpret_cast<char*>(DeviceInterfaceDetailData) + offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath);
    std::memcpy(pathBytes, path.c_str(), path.size() + 1);
    return TRUE;
}
