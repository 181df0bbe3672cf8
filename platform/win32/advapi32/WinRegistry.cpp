#include "WinRegistry.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <strings.h>
#include <vector>

#include "NtRegistryStore.h"
#include "WinHandles.h"
#include "WinRegistryControl.h"
#include "WinSystemInfo.h"
#include "internal/MachineTime.h"
#include "winerror.h"

namespace {

namespace reg = nt::registry;

// An open key: what an HKEY from RegOpenKeyEx / RegCreateKeyEx names.
class RegistryKey : public win32::WinObject {
public:
    RegistryKey(reg::KeyRef storeKey, REGSAM grantedAccess) : key(std::move(storeKey)), access(grantedAccess) {}
    reg::KeyRef key;
    REGSAM access;
};

bool IsPredefined(HKEY key) {
    return (reinterpret_cast<ULONG_PTR>(key) >> 31) == 0x1FFFFFFFFULL;
}

LSTATUS ErrorOf(NTSTATUS status) {
    switch (status) {
    case STATUS_SUCCESS: return ERROR_SUCCESS;
    case STATUS_OBJECT_NAME_NOT_FOUND: return ERROR_FILE_NOT_FOUND;
    case STATUS_OBJECT_PATH_NOT_FOUND: return ERROR_PATH_NOT_FOUND;
    case STATUS_OBJECT_NAME_INVALID:
    case STATUS_OBJECT_PATH_SYNTAX_BAD: return ERROR_BAD_PATHNAME;
    case STATUS_CANNOT_DELETE:
    case STATUS_ACCESS_DENIED: return ERROR_ACCESS_DENIED;
    case STATUS_KEY_DELETED: return ERROR_KEY_DELETED;
    case STATUS_NO_MORE_ENTRIES: return ERROR_NO_MORE_ITEMS;
    case STATUS_BUFFER_OVERFLOW:
    case STATUS_BUFFER_TOO_SMALL: return ERROR_MORE_DATA;
    case STATUS_INSUFFICIENT_RESOURCES:
    case STATUS_NO_MEMORY: return ERROR_NO_SYSTEM_RESOURCES;
    case STATUS_INVALID_HANDLE: return ERROR_INVALID_HANDLE;
    case STATUS_REGISTRY_CORRUPT: return ERROR_BADDB;
    case STATUS_REGISTRY_IO_FAILED: return ERROR_REGISTRY_IO_FAILED;
    case STATUS_CHILD_MUST_BE_VOLATILE: return 1021L; // ERROR_CHILD_MUST_BE_VOLATILE
    case STATUS_NAME_TOO_LONG: return ERROR_FILENAME_EXCED_RANGE;
    default: return ERROR_INVALID_PARAMETER;
    }
}

// The machine's code page is taken as Latin-1: one byte, one UTF-16 unit.
std::u16string Wide(const char* text, size_t length) {
    std::u16string out(length, u'\0');
    for (size_t i = 0; i < length; ++i)
        out[i] = static_cast<unsigned char>(text[i]);
    return out;
}

std::u16string Wide(const char* text) {
    return text ? Wide(text, std::strlen(text)) : std::u16string();
}

std::string Narrow(std::u16string_view text) {
    std::string out(text.size(), '\0');
    for (size_t i = 0; i < text.size(); ++i)
        out[i] = text[i] < 0x100 ? static_cast<char>(text[i]) : '?';
    return out;
}

bool IsText(ULONG type) {
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

// A value's bytes as the 8-bit API shows them: text types one byte a UTF-16 unit, others unchanged.
std::vector<BYTE> NarrowData(const reg::Value& value) {
    if (!IsText(value.type))
        return std::vector<BYTE>(value.data.begin(), value.data.end());
    std::vector<BYTE> out(value.data.size() / 2);
    for (size_t i = 0; i < out.size(); ++i) {
        char16_t unit = static_cast<char16_t>(value.data[2 * i] | (value.data[2 * i + 1] << 8));
        out[i] = unit < 0x100 ? static_cast<BYTE>(unit) : '?';
    }
    return out;
}

// Copies a name into a caller's character buffer (length in: its size; out: the name's length).
LSTATUS CopyName(const std::string& name, LPSTR buffer, LPDWORD length) {
    if (!buffer || !length)
        return ERROR_INVALID_PARAMETER;
    if (*length <= name.size())
        return ERROR_MORE_DATA;
    std::memcpy(buffer, name.c_str(), name.size() + 1);
    *length = static_cast<DWORD>(name.size());
    return ERROR_SUCCESS;
}

LSTATUS CopyData(const std::vector<BYTE>& bytes, LPBYTE data, LPDWORD size) {
    if (data && !size)
        return ERROR_INVALID_PARAMETER;
    if (!size)
        return ERROR_SUCCESS;
    const DWORD available = *size;
    *size = static_cast<DWORD>(bytes.size());
    if (!data)
        return ERROR_SUCCESS;
    if (available < bytes.size())
        return ERROR_MORE_DATA;
    if (!bytes.empty())
        std::memcpy(data, bytes.data(), bytes.size());
    return ERROR_SUCCESS;
}

// The store key a root names, with the keys it needs created (a fresh store holds only the two hives).
LSTATUS OpenRoot(HKEY root, reg::KeyRef& key) {
    std::u16string path = win32::RegistryRootPath(root);
    if (path.empty())
        return ERROR_INVALID_HANDLE;
    NTSTATUS status = reg::OpenKey(nullptr, path, key);
    if (status != STATUS_OBJECT_NAME_NOT_FOUND)
        return ErrorOf(status);
    // Create the missing keys from the hive down.
    const std::u16string hive = path.substr(0, path.find(u'\\', path.find(u'\\', 1) + 1));
    status = reg::OpenKey(nullptr, hive, key);
    for (size_t start = hive.size() + 1; NT_SUCCESS(status) && start <= path.size();) {
        size_t end = path.find(u'\\', start);
        if (end == std::u16string::npos)
            end = path.size();
        bool created = false;
        reg::KeyRef child;
        status = reg::CreateKey(key, std::u16string_view(path).substr(start, end - start), false, u"", child, created);
        key = child;
        start = end + 1;
    }
    return ErrorOf(status);
}

// The store key of an HKEY and the access it was opened with.
LSTATUS Resolve(HKEY handle, reg::KeyRef& key, REGSAM& access) {
    if (IsPredefined(handle)) {
        access = KEY_ALL_ACCESS;
        return OpenRoot(handle, key);
    }
    auto object = win32::LookupHandleAs<RegistryKey>(reinterpret_cast<HANDLE>(handle));
    if (!object)
        return ERROR_INVALID_HANDLE;
    key = object->key;
    access = object->access;
    return ERROR_SUCCESS;
}

LSTATUS ResolveFor(HKEY handle, REGSAM needed, reg::KeyRef& key) {
    REGSAM access = 0;
    LSTATUS result = Resolve(handle, key, access);
    if (result == ERROR_SUCCESS && (access & needed) != needed && !(access & MAXIMUM_ALLOWED))
        return ERROR_ACCESS_DENIED;
    return result;
}

NTSTATUS EnumerateEntry(const reg::KeyRef& key, DWORD index, reg::KeyInfo& entry) {
    return reg::EnumerateKey(key, index, entry);
}

NTSTATUS EnumerateEntry(const reg::KeyRef& key, DWORD index, reg::Value& entry) {
    return reg::EnumerateValue(key, index, entry);
}

// The subkey or value at index of the key behind handle, with its name copied into the caller's buffer.
template <typename Entry>
LSTATUS EnumerateNamed(HKEY handle, REGSAM needed, DWORD index, Entry& entry, LPSTR name, LPDWORD nameLength) {
    reg::KeyRef key;
    if (LSTATUS r = ResolveFor(handle, needed, key); r != ERROR_SUCCESS)
        return r;
    NTSTATUS status = EnumerateEntry(key, index, entry);
    if (!NT_SUCCESS(status))
        return ErrorOf(status);
    return CopyName(Narrow(entry.name), name, nameLength);
}

// A relative key path: "\" separators, no leading one, a trailing one ignored.
bool SubKeyPath(LPCSTR subKey, std::u16string& path) {
    path = Wide(subKey);
    if (!path.empty() && path.front() == u'\\')
        return false;
    while (!path.empty() && path.back() == u'\\')
        path.pop_back();
    return true;
}

HKEY NewHandle(reg::KeyRef key, REGSAM access) {
    if (access & MAXIMUM_ALLOWED)
        access = KEY_ALL_ACCESS;
    return reinterpret_cast<HKEY>(win32::InsertHandle(std::make_shared<RegistryKey>(std::move(key), access)));
}

} // namespace

namespace win32 {

std::u16string RegistryRootPath(HKEY root) {
    if (root == HKEY_LOCAL_MACHINE)
        return u"\\Registry\\Machine";
    if (root == HKEY_USERS)
        return u"\\Registry\\User";
    if (root == HKEY_CURRENT_USER)
        return std::u16string(u"\\Registry\\User\\") + kCurrentUserSid;
    if (root == HKEY_CLASSES_ROOT)
        return u"\\Registry\\Machine\\Software\\Classes";
    if (root == HKEY_CURRENT_CONFIG)
        return u"\\Registry\\Machine\\System\\CurrentControlSet\\Hardware Profiles\\Current";
    return {};
}

} // namespace win32

LSTATUS RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD, REGSAM desired, PHKEY result) {
    if (!result)
        return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    reg::KeyRef base, opened;
    REGSAM access = 0;
    std::u16string path;
    if (LSTATUS r = Resolve(key, base, access); r != ERROR_SUCCESS)
        return r;
    if (!SubKeyPath(subKey, path))
        return ERROR_BAD_PATHNAME;
    NTSTATUS status = reg::OpenKey(base, path, opened);
    if (!NT_SUCCESS(status))
        return ErrorOf(status);
    *result = NewHandle(opened, desired);
    return ERROR_SUCCESS;
}

LSTATUS RegCreateKeyExA(HKEY key, LPCSTR subKey, DWORD, LPSTR className, DWORD options, REGSAM desired,
                        LPSECURITY_ATTRIBUTES, PHKEY result, LPDWORD disposition) {
    if (!result)
        return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    reg::KeyRef current;
    REGSAM access = 0;
    std::u16string path;
    if (LSTATUS r = Resolve(key, current, access); r != ERROR_SUCCESS)
        return r;
    if (!SubKeyPath(subKey, path))
        return ERROR_BAD_PATHNAME;
    // Each missing key along the path is created; the last one decides the disposition.
    bool created = false;
    for (size_t start = 0; start < path.size();) {
        size_t end = path.find(u'\\', start);
        if (end == std::u16string::npos)
            end = path.size();
        if (end == start)
            return ERROR_BAD_PATHNAME;
        reg::KeyRef child;
        const bool last = end == path.size();
        NTSTATUS status =
            reg::CreateKey(current, std::u16string_view(path).substr(start, end - start),
                           (options & REG_OPTION_VOLATILE) != 0, last ? Wide(className) : u"", child, created);
        if (!NT_SUCCESS(status))
            return ErrorOf(status);
        current = child;
        start = end + 1;
    }
    if (disposition)
        *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    *result = NewHandle(current, desired);
    return ERROR_SUCCESS;
}

LSTATUS RegOpenKeyA(HKEY key, LPCSTR subKey, PHKEY result) {
    return RegOpenKeyExA(key, subKey, 0, MAXIMUM_ALLOWED, result);
}

LSTATUS RegCreateKeyA(HKEY key, LPCSTR subKey, PHKEY result) {
    return RegCreateKeyExA(key, subKey, 0, nullptr, 0, MAXIMUM_ALLOWED, nullptr, result, nullptr);
}

LSTATUS RegCloseKey(HKEY key) {
    if (IsPredefined(key))
        return ERROR_SUCCESS;
    if (!win32::LookupHandleAs<RegistryKey>(reinterpret_cast<HANDLE>(key)))
        return ERROR_INVALID_HANDLE;
    CloseHandle(reinterpret_cast<HANDLE>(key));
    return ERROR_SUCCESS;
}

LSTATUS RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD, LPDWORD type, LPBYTE data, LPDWORD dataSize) {
    reg::KeyRef k;
    if (LSTATUS r = ResolveFor(key, KEY_QUERY_VALUE, k); r != ERROR_SUCCESS)
        return r;
    reg::Value value;
    NTSTATUS status = reg::QueryValue(k, Wide(valueName), value);
    if (!NT_SUCCESS(status))
        return ErrorOf(status);
    if (type)
        *type = value.type;
    return CopyData(NarrowData(value), data, dataSize);
}

LSTATUS RegSetValueExA(HKEY key, LPCSTR valueName, DWORD, DWORD type, const BYTE* data, DWORD dataSize) {
    reg::KeyRef k;
    if (LSTATUS r = ResolveFor(key, KEY_SET_VALUE, k); r != ERROR_SUCCESS)
        return r;
    if (!data && dataSize)
        return ERROR_NOACCESS;
    std::vector<BYTE> bytes(data, data + dataSize);
    if (IsText(type)) {
        std::vector<BYTE> wide(2 * bytes.size());
        for (size_t i = 0; i < bytes.size(); ++i)
            wide[2 * i] = bytes[i];
        bytes.swap(wide);
    }
    return ErrorOf(reg::SetValue(k, Wide(valueName), type, bytes.data(), bytes.size()));
}

LSTATUS RegDeleteValueA(HKEY key, LPCSTR valueName) {
    reg::KeyRef k;
    if (LSTATUS r = ResolveFor(key, KEY_SET_VALUE, k); r != ERROR_SUCCESS)
        return r;
    return ErrorOf(reg::DeleteValue(k, Wide(valueName)));
}

LSTATUS RegDeleteKeyA(HKEY key, LPCSTR subKey) {
    reg::KeyRef base, target;
    REGSAM access = 0;
    std::u16string path;
    if (LSTATUS r = Resolve(key, base, access); r != ERROR_SUCCESS)
        return r;
    if (!subKey || !SubKeyPath(subKey, path))
        return ERROR_INVALID_PARAMETER;
    NTSTATUS status = reg::OpenKey(base, path, target);
    if (!NT_SUCCESS(status))
        return ErrorOf(status);
    return ErrorOf(reg::DeleteKey(target));
}

LSTATUS RegEnumKeyExA(HKEY key, DWORD index, LPSTR name, LPDWORD nameLength, LPDWORD, LPSTR className,
                      LPDWORD classLength, PFILETIME lastWriteTime) {
    reg::KeyInfo info;
    if (LSTATUS r = EnumerateNamed(key, KEY_ENUMERATE_SUB_KEYS, index, info, name, nameLength); r != ERROR_SUCCESS)
        return r;
    if (className && classLength)
        if (LSTATUS r = CopyName(Narrow(info.className), className, classLength); r != ERROR_SUCCESS)
            return r;
    if (lastWriteTime)
        *lastWriteTime = win32::internal::FileTimeOf(static_cast<ULONGLONG>(info.lastWriteTime));
    return ERROR_SUCCESS;
}

LSTATUS RegEnumValueA(HKEY key, DWORD index, LPSTR valueName, LPDWORD valueNameLength, LPDWORD, LPDWORD type,
                      LPBYTE data, LPDWORD dataSize) {
    reg::Value value;
    if (LSTATUS r = EnumerateNamed(key, KEY_QUERY_VALUE, index, value, valueName, valueNameLength); r != ERROR_SUCCESS)
        return r;
    if (type)
        *type = value.type;
    return CopyData(NarrowData(value), data, dataSize);
}

LSTATUS RegQueryInfoKeyA(HKEY key, LPSTR className, LPDWORD classLength, LPDWORD, LPDWORD subKeys,
                         LPDWORD maxSubKeyLength, LPDWORD maxClassLength, LPDWORD values, LPDWORD maxValueNameLength,
                         LPDWORD maxValueLength, LPDWORD securityDescriptor, PFILETIME lastWriteTime) {
    reg::KeyRef k;
    if (LSTATUS r = ResolveFor(key, KEY_QUERY_VALUE, k); r != ERROR_SUCCESS)
        return r;
    reg::KeyInfo info;
    NTSTATUS status = reg::QueryKey(k, info);
    if (!NT_SUCCESS(status))
        return ErrorOf(status);
    if (className && classLength)
        if (LSTATUS r = CopyName(Narrow(info.className), className, classLength); r != ERROR_SUCCESS)
            return r;
    // Lengths in characters, without the NUL; data sizes as the 8-bit API reports them.
    DWORD longestData = 0;
    for (ULONG i = 0; i < info.values; ++i) {
        reg::Value value;
        if (NT_SUCCESS(reg::EnumerateValue(k, i, value)))
            longestData = std::max(longestData, static_cast<DWORD>(NarrowData(value).size()));
    }
    if (subKeys)
        *subKeys = info.subKeys;
    if (maxSubKeyLength)
        *maxSubKeyLength = info.maxSubKeyNameBytes / sizeof(WCHAR);
    if (maxClassLength)
        *maxClassLength = info.maxClassBytes / sizeof(WCHAR);
    if (values)
        *values = info.values;
    if (maxValueNameLength)
        *maxValueNameLength = info.maxValueNameBytes / sizeof(WCHAR);
    if (maxValueLength)
        *maxValueLength = longestData;
    if (securityDescriptor)
        *securityDescriptor = 0;
    if (lastWriteTime)
        *lastWriteTime = win32::internal::FileTimeOf(static_cast<ULONGLONG>(info.lastWriteTime));
    return ERROR_SUCCESS;
}

LSTATUS RegConnectRegistryA(LPCSTR machineName, HKEY key, PHKEY result) {
    if (!result)
        return ERROR_INVALID_PARAMETER;
    if (machineName && *machineName) {
        std::string name = machineName;
        if (name.rfind("\\\\", 0) == 0)
            name.erase(0, 2);
        char local[MAX_COMPUTERNAME_LENGTH + 1];
        DWORD size = sizeof local;
        if (!GetComputerNameA(local, &size) || strcasecmp(name.c_str(), local) != 0)
            return ERROR_BAD_NETPATH;
    }
    if (key != HKEY_LOCAL_MACHINE && key != HKEY_USERS && key != HKEY_CLASSES_ROOT && key != HKEY_CURRENT_USER &&
        key != HKEY_CURRENT_CONFIG)
        return ERROR_INVALID_HANDLE;
    *result = key;
    return ERROR_SUCCESS;
}

LSTATUS RegFlushKey(HKEY key) {
    reg::KeyRef k;
    REGSAM access = 0;
    if (LSTATUS r = Resolve(key, k, access); r != ERROR_SUCCESS)
        return r;
    return ErrorOf(reg::Flush());
}
