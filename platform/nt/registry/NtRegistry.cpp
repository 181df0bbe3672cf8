#include "NtRegistry.h"

#include <algorithm>
#include <cstring>

#include "NtIrql.h"
#include "NtRegistryKeyHandle.h"
#include "NtText.h"

namespace nt::registry {

NTSTATUS KeyOfHandle(HANDLE handle, KeyRef& key, ACCESS_MASK& access) {
    auto h = nt::handles::LookupAs<KeyHandle>(handle, &access);
    if (h == nullptr) {
        return STATUS_INVALID_HANDLE;
    }
    key = h->key;
    return STATUS_SUCCESS;
}

ACCESS_MASK MapKeyAccess(ACCESS_MASK desired) {
    ACCESS_MASK mapped = desired & ~(GENERIC_READ | GENERIC_WRITE | GENERIC_EXECUTE | GENERIC_ALL | MAXIMUM_ALLOWED);
    if (desired & GENERIC_READ)
        mapped |= KEY_READ;
    if (desired & GENERIC_WRITE)
        mapped |= KEY_WRITE;
    if (desired & GENERIC_EXECUTE)
        mapped |= KEY_EXECUTE;
    if (desired & (GENERIC_ALL | MAXIMUM_ALLOWED))
        mapped |= KEY_ALL_ACCESS;
    return mapped;
}

} // namespace nt::registry

namespace {

using nt::registry::KeyRef;

NTSTATUS KeyFor(HANDLE handle, ACCESS_MASK needed, KeyRef& key) {
    ACCESS_MASK access = 0;
    NTSTATUS status = nt::registry::KeyOfHandle(handle, key, access);
    if (!NT_SUCCESS(status)) {
        return status;
    }
    return (access & needed) == needed ? STATUS_SUCCESS : STATUS_ACCESS_DENIED;
}

NTSTATUS Target(POBJECT_ATTRIBUTES attributes, KeyRef& base, std::u16string_view& path) {
    if (attributes == nullptr) {
        return STATUS_INVALID_PARAMETER;
    }
    base.reset();
    if (attributes->RootDirectory != nullptr) {
        ACCESS_MASK ignored = 0;
        NTSTATUS status = nt::registry::KeyOfHandle(attributes->RootDirectory, base, ignored);
        if (!NT_SUCCESS(status)) {
            return status;
        }
    } else if (attributes->ObjectName == nullptr) {
        return STATUS_OBJECT_NAME_INVALID;
    }
    path = nt::text::View(attributes->ObjectName);
    return STATUS_SUCCESS;
}

HANDLE NewHandle(KeyRef key, ACCESS_MASK access) {
    auto handle = std::make_shared<nt::registry::KeyHandle>();
    handle->key = std::move(key);
    return nt::handles::Insert(std::move(handle), nt::registry::MapKeyAccess(access));
}

// memcpy that accepts an empty copy from or to a null pointer.
void CopyBytes(void* to, const void* from, size_t n) {
    if (n != 0) {
        std::memcpy(to, from, n);
    }
}

// Writes an answer whose fixed part is `fixed` bytes and whole size `total`: too small for the fixed part is
// STATUS_BUFFER_TOO_SMALL, for the rest STATUS_BUFFER_OVERFLOW (what fits is written). `fill` writes into a
// buffer of the whole size.
template <class Fill>
NTSTATUS Answer(PVOID buffer, ULONG length, PULONG resultLength, size_t fixed, size_t total, Fill fill) {
    if (resultLength != nullptr) {
        *resultLength = static_cast<ULONG>(total);
    }
    if (length < fixed) {
        return STATUS_BUFFER_TOO_SMALL;
    }
    std::vector<UCHAR> whole(total, 0);
    fill(whole.data());
    CopyBytes(buffer, whole.data(), std::min<size_t>(length, total));
    return length < total ? STATUS_BUFFER_OVERFLOW : STATUS_SUCCESS;
}

template <class T> void Store(UCHAR* at, size_t offset, T value) {
    std::memcpy(at + offset, &value, sizeof value);
}

void StoreChars(UCHAR* at, size_t offset, std::u16string_view text) {
    CopyBytes(at + offset, text.data(), text.size() * sizeof(char16_t));
}

size_t AlignUp8(size_t n) {
    return (n + 7) & ~size_t{7};
}

NTSTATUS ValueAnswer(const nt::registry::Value& v, KEY_VALUE_INFORMATION_CLASS infoClass, PVOID buffer, ULONG length,
                     PULONG resultLength) {
    size_t nameBytes = v.name.size() * sizeof(char16_t);
    size_t dataBytes = v.data.size();
    auto dataLength = static_cast<ULONG>(dataBytes);
    switch (infoClass) {
    case KeyValueBasicInformation: {
        size_t fixed = offsetof(KEY_VALUE_BASIC_INFORMATION, Name);
        return Answer(buffer, length, resultLength, fixed, fixed + nameBytes, [&](UCHAR* at) {
            Store<ULONG>(at, 0, 0);
            Store<ULONG>(at, 4, v.type);
            Store<ULONG>(at, 8, static_cast<ULONG>(nameBytes));
            StoreChars(at, fixed, v.name);
        });
    }
    case KeyValueFullInformation:
    case KeyValueFullInformationAlign64: {
        size_t fixed = offsetof(KEY_VALUE_FULL_INFORMATION, Name);
        size_t dataOffset = AlignUp8(fixed + nameBytes);
        return Answer(buffer, length, resultLength, fixed, dataOffset + dataBytes, [&](UCHAR* at) {
            Store<ULONG>(at, 0, 0);
            Store<ULONG>(at, 4, v.type);
            Store<ULONG>(at, 8, static_cast<ULONG>(dataOffset));
            Store<ULONG>(at, 12, dataLength);
            Store<ULONG>(at, 16, static_cast<ULONG>(nameBytes));
            StoreChars(at, fixed, v.name);
            CopyBytes(at + dataOffset, v.data.data(), dataBytes);
        });
    }
    case KeyValuePartialInformation: {
        size_t fixed = offsetof(KEY_VALUE_PARTIAL_INFORMATION, Data);
        return Answer(buffer, length, resultLength, fixed, fixed + dataBytes, [&](UCHAR* at) {
            Store<ULONG>(at, 0, 0);
            Store<ULONG>(at, 4, v.type);
            Store<ULONG>(at, 8, dataLength);
            CopyBytes(at + fixed, v.data.data(), dataBytes);
        });
    }
    case KeyValuePartialInformationAlign64: {
        constexpr size_t fixed = 8; // Type, DataLength, then the data on an 8-byte boundary
        return Answer(buffer, length, resultLength, fixed, fixed + dataBytes, [&](UCHAR* at) {
            Store<ULONG>(at, 0, v.type);
            Store<ULONG>(at, 4, dataLength);
            CopyBytes(at + fixed, v.data.data(), dataBytes);
        });
    }
    default: return STATUS_INVALID_PARAMETER;
    }
}

NTSTATUS KeyAnswer(const nt::registry::KeyInfo& k, const std::u16string& fullName, KEY_INFORMATION_CLASS infoClass,
                   PVOID buffer, ULONG length, PULONG resultLength) {
    size_t nameBytes = k.name.size() * sizeof(char16_t);
    size_t classBytes = k.className.size() * sizeof(char16_t);
    LONGLONG lastWrite = k.lastWriteTime;
    switch (infoClass) {
    case KeyBasicInformation: {
        size_t fixed = offsetof(KEY_BASIC_INFORMATION, Name);
        return Answer(buffer, length, resultLength, fixed, fixed + nameBytes, [&](UCHAR* at) {
            Store<LONGLONG>(at, 0, lastWrite);
            Store<ULONG>(at, 8, 0);
            Store<ULONG>(at, 12, static_cast<ULONG>(nameBytes));
            StoreChars(at, fixed, k.name);
        });
    }
    case KeyNodeInformation: {
        size_t fixed = offsetof(KEY_NODE_INFORMATION, Name);
        size_t classOffset = fixed + nameBytes;
        return Answer(buffer, length, resultLength, fixed, classOffset + classBytes, [&](UCHAR* at) {
            Store<LONGLONG>(at, 0, lastWrite);
            Store<ULONG>(at, 8, 0);
            Store<ULONG>(at, 12, classBytes != 0 ? static_cast<ULONG>(classOffset) : 0xFFFFFFFFu);
            Store<ULONG>(at, 16, static_cast<ULONG>(classBytes));
            Store<ULONG>(at, 20, static_cast<ULONG>(nameBytes));
            StoreChars(at, fixed, k.name);
            StoreChars(at, classOffset, k.className);
        });
    }
    case KeyFullInformation: {
        size_t fixed = offsetof(KEY_FULL_INFORMATION, Class);
        return Answer(buffer, length, resultLength, fixed, fixed + classBytes, [&](UCHAR* at) {
            Store<LONGLONG>(at, 0, lastWrite);
            Store<ULONG>(at, 8, 0);
            Store<ULONG>(at, 12, classBytes != 0 ? static_cast<ULONG>(fixed) : 0xFFFFFFFFu);
            Store<ULONG>(at, 16, static_cast<ULONG>(classBytes));
            Store<ULONG>(at, 20, k.subKeys);
            Store<ULONG>(at, 24, k.maxSubKeyNameBytes);
            Store<ULONG>(at, 28, k.maxClassBytes);
            Store<ULONG>(at, 32, k.values);
            Store<ULONG>(at, 36, k.maxValueNameBytes);
            Store<ULONG>(at, 40, k.maxValueDataBytes);
            StoreChars(at, fixed, k.className);
        });
    }
    case KeyNameInformation: {
        size_t fixed = offsetof(KEY_NAME_INFORMATION, Name);
        size_t fullBytes = fullName.size() * sizeof(char16_t);
        return Answer(buffer, length, resultLength, fixed, fixed + fullBytes, [&](UCHAR* at) {
            Store<ULONG>(at, 0, static_cast<ULONG>(fullBytes));
            StoreChars(at, fixed, fullName);
        });
    }
    default: return STATUS_INVALID_PARAMETER;
    }
}

std::u16string_view ValueNameOf(PUNICODE_STRING name) {
    return nt::text::View(name);
}

// The value that find reads from the key behind handle, answered as infoClass asks.
template <typename Find>
NTSTATUS AnswerValueOfKey(HANDLE handle, Find find, KEY_VALUE_INFORMATION_CLASS infoClass, PVOID buffer, ULONG length,
                          PULONG resultLength) {
    KeyRef key;
    NTSTATUS status = KeyFor(handle, KEY_QUERY_VALUE, key);
    if (!NT_SUCCESS(status)) {
        return status;
    }
    nt::registry::Value value;
    status = find(key, value);
    if (!NT_SUCCESS(status)) {
        return status;
    }
    return ValueAnswer(value, infoClass, buffer, length, resultLength);
}

} // namespace

NTSTATUS ZwOpenKey(PHANDLE KeyHandle, ACCESS_MASK DesiredAccess, POBJECT_ATTRIBUTES ObjectAttributes) {
    PASSIVE_CODE();
    KeyRef base, key;
    std::u16string_view path;
    NTSTATUS status = Target(ObjectAttributes, base, path);
    if (NT_SUCCESS(status)) {
        status = nt::registry::OpenKey(base, path, key);
    }
    if (!NT_SUCCESS(status)) {
        return status;
    }
    *KeyHandle = NewHandle(std::move(key), DesiredAccess);
    return STATUS_SUCCESS;
}

NTSTATUS ZwOpenKeyEx(PHANDLE KeyHandle, ACCESS_MASK DesiredAccess, POBJECT_ATTRIBUTES ObjectAttributes,
                     ULONG OpenOptions) {
    (void)OpenOptions;
    return ZwOpenKey(KeyHandle, DesiredAccess, ObjectAttributes);
}

NTSTATUS ZwCreateKey(PHANDLE KeyHandle, ACCESS_MASK DesiredAccess, POBJECT_ATTRIBUTES ObjectAttributes,
                     ULONG TitleIndex, PUNICODE_STRING Class, ULONG CreateOptions, PULONG Disposition) {
    (void)TitleIndex;
    PASSIVE_CODE();
    KeyRef base, key;
    std::u16string_view path;
    bool created = false;
    NTSTATUS status = Target(ObjectAttributes, base, path);
    if (NT_SUCCESS(status)) {
        status = nt::registry::CreateKey(base, path, (CreateOptions & REG_OPTION_VOLATILE) != 0, nt::text::View(Class),
                                         key, created);
    }
    if (!NT_SUCCESS(status)) {
        return status;
    }
    *KeyHandle = NewHandle(std::move(key), DesiredAccess);
    if (Disposition != nullptr) {
        *Disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    }
    return STATUS_SUCCESS;
}

NTSTATUS ZwDeleteKey(HANDLE KeyHandle) {
    PASSIVE_CODE();
    KeyRef key;
    NTSTATUS status = KeyFor(KeyHandle, DELETE, key);
    return NT_SUCCESS(status) ? nt::registry::DeleteKey(key) : status;
}

NTSTATUS ZwFlushKey(HANDLE KeyHandle) {
    PASSIVE_CODE();
    KeyRef key;
    NTSTATUS status = KeyFor(KeyHandle, 0, key);
    return NT_SUCCESS(status) ? nt::registry::Flush() : status;
}

NTSTATUS ZwSetValueKey(HANDLE KeyHandle, PUNICODE_STRING ValueName, ULONG TitleIndex, ULONG Type, PVOID Data,
                       ULONG DataSize) {
    (void)TitleIndex;
    PASSIVE_CODE();
    KeyRef key;
    NTSTATUS status = KeyFor(KeyHandle, KEY_SET_VALUE, key);
    if (!NT_SUCCESS(status)) {
        return status;
    }
    if (Data == nullptr && DataSize != 0) {
        return STATUS_INVALID_PARAMETER;
    }
    return nt::registry::SetValue(key, ValueNameOf(ValueName), Type, Data, DataSize);
}

NTSTATUS ZwQueryValueKey(HANDLE KeyHandle, PUNICODE_STRING ValueName,
                         KEY_VALUE_INFORMATION_CLASS KeyValueInformationClass, PVOID KeyValueInformation, ULONG Length,
                         PULONG ResultLength) {
    PASSIVE_CODE();
    auto find = [&](const KeyRef& key, nt::registry::Value& value) {
        return nt::registry::QueryValue(key, ValueNameOf(ValueName), value);
    };
    return AnswerValueOfKey(KeyHandle, find, KeyValueInformationClass, KeyValueInformation, Length, ResultLength);
}

NTSTATUS ZwDeleteValueKey(HANDLE KeyHandle, PUNICODE_STRING ValueName) {
    PASSIVE_CODE();
    KeyRef key;
    NTSTATUS status = KeyFor(KeyHandle, KEY_SET_VALUE, key);
    return NT_SUCCESS(status) ? nt::registry::DeleteValue(key, ValueNameOf(ValueName)) : status;
}

NTSTATUS ZwEnumerateKey(HANDLE KeyHandle, ULONG Index, KEY_INFORMATION_CLASS KeyInformationClass, PVOID KeyInformation,
                        ULONG Length, PULONG ResultLength) {
    PASSIVE_CODE();
    KeyRef key;
    NTSTATUS status = KeyFor(KeyHandle, KEY_ENUMERATE_SUB_KEYS, key);
    if (!NT_SUCCESS(status)) {
        return status;
    }
    if (KeyInformationClass == KeyNameInformation) {
        return STATUS_INVALID_PARAMETER;
    }
    nt::registry::KeyInfo info;
    status = nt::registry::EnumerateKey(key, Index, info);
    if (!NT_SUCCESS(status)) {
        return status;
    }
    return KeyAnswer(info, {}, KeyInformationClass, KeyInformation, Length, ResultLength);
}

NTSTATUS ZwEnumerateValueKey(HANDLE KeyHandle, ULONG Index, KEY_VALUE_INFORMATION_CLASS KeyValueInformationClass,
                             PVOID KeyValueInformation, ULONG Length, PULONG ResultLength) {
    PASSIVE_CODE();
    auto find = [&](const KeyRef& key, nt::registry::Value& value) {
        return nt::registry::EnumerateValue(key, Index, value);
    };
    return AnswerValueOfKey(KeyHandle, find, KeyValueInformationClass, KeyValueInformation, Length, ResultLength);
}

NTSTATUS ZwQueryKey(HANDLE KeyHandle, KEY_INFORMATION_CLASS KeyInformationClass, PVOID KeyInformation, ULONG Length,
                    PULONG ResultLength) {
    PASSIVE_CODE();
    KeyRef key;
    NTSTATUS status = KeyFor(KeyHandle, KeyInformationClass == KeyNameInformation ? 0 : KEY_QUERY_VALUE, key);
    if (!NT_SUCCESS(status)) {
        return status;
    }
    nt::registry::KeyInfo info;
    status = nt::registry::QueryKey(key, info);
    if (!NT_SUCCESS(status)) {
        return status;
    }
    std::u16string fullName = KeyInformationClass == KeyNameInformation ? nt::registry::FullPath(key) : u"";
    return KeyAnswer(info, fullName, KeyInformationClass, KeyInformation, Length, ResultLength);
}
