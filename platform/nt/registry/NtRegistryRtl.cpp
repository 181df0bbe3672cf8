// RtlQueryRegistryValues and the other Rtl registry helpers, over the registry store.
#include <cstring>
#include <string>
#include <vector>

#include "NtIrql.h"
#include "NtPool.h"
#include "NtPoolControl.h"
#include "NtRegistry.h"
#include "NtRegistryKeyHandle.h"
#include "NtText.h"

namespace {

using nt::registry::KeyRef;
using nt::registry::Value;

constexpr ULONG kStringTag = nt::pool::TagFromString("Strg");

// The key path RelativeTo and Path name (RTL_REGISTRY_HANDLE aside).
std::u16string PathFor(ULONG relativeTo, PCWSTR path) {
    static const char16_t* const kRoots[] = {
        u"",
        u"\\Registry\\Machine\\System\\CurrentControlSet\\Services",
        u"\\Registry\\Machine\\System\\CurrentControlSet\\Control",
        u"\\Registry\\Machine\\Software\\Microsoft\\Windows NT\\CurrentVersion",
        u"\\Registry\\Machine\\Hardware\\DeviceMap",
        u"\\Registry\\User\\.Default",
    };
    std::u16string_view tail = nt::text::View(path);
    if (relativeTo == RTL_REGISTRY_ABSOLUTE) {
        return std::u16string(tail);
    }
    std::u16string full = kRoots[relativeTo];
    if (!tail.empty()) {
        if (tail[0] != u'\\') {
            full += u'\\';
        }
        full += tail;
    }
    return full;
}

NTSTATUS OpenRelative(ULONG relativeTo, PCWSTR path, bool create, KeyRef& key) {
    ULONG base = relativeTo & ~(RTL_REGISTRY_OPTIONAL | RTL_REGISTRY_HANDLE);
    if (relativeTo & RTL_REGISTRY_HANDLE) {
        ACCESS_MASK ignored = 0;
        return nt::registry::KeyOfHandle(reinterpret_cast<HANDLE>(const_cast<PWSTR>(path)), key, ignored);
    }
    if (base >= RTL_REGISTRY_MAXIMUM) {
        return STATUS_INVALID_PARAMETER;
    }
    std::u16string full = PathFor(base, path);
    if (!create) {
        return nt::registry::OpenKey(nullptr, full, key);
    }
    bool created = false;
    return nt::registry::CreateKey(nullptr, full, false, u"", key, created);
}

bool IsString(ULONG type) {
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

// The default of a table entry as a value (DefaultLength 0 for strings means: up to the NUL(s)).
Value DefaultOf(const RTL_QUERY_REGISTRY_TABLE& entry) {
    Value v;
    v.name = std::u16string(nt::text::View(entry.Name));
    v.type = entry.DefaultType & 0x00FFFFFF;
    ULONG length = entry.DefaultLength;
    auto* data = static_cast<const UCHAR*>(entry.DefaultData);
    if (data != nullptr && length == 0 && (v.type == REG_SZ || v.type == REG_EXPAND_SZ)) {
        length = static_cast<ULONG>((nt::text::View(static_cast<PCWSTR>(entry.DefaultData)).size() + 1) * 2);
    } else if (data != nullptr && length == 0 && v.type == REG_MULTI_SZ) {
        auto* chars = static_cast<PCWSTR>(entry.DefaultData);
        size_t n = 0;
        while (chars[n] != 0 || chars[n + 1] != 0) {
            ++n;
        }
        length = static_cast<ULONG>((n + 2) * 2);
    }
    if (data != nullptr) {
        v.data.assign(data, data + length);
    }
    return v;
}

NTSTATUS StoreDirect(const Value& v, PVOID entryContext) {
    size_t size = v.data.size();
    if (IsString(v.type)) {
        auto* target = static_cast<PUNICODE_STRING>(entryContext);
        size_t length = size;
        if (length >= 2 && v.data[length - 1] == 0 && v.data[length - 2] == 0) {
            length -= 2; // the counted string does not count the NUL
        }
        if (target->Buffer == nullptr) {
            auto* buffer = static_cast<PWSTR>(ExAllocatePoolWithTag(PagedPool, size + 2, kStringTag));
            if (buffer == nullptr) {
                return STATUS_NO_MEMORY;
            }
            target->Buffer = buffer;
            target->MaximumLength = static_cast<USHORT>(size + 2);
        } else if (size > target->MaximumLength) {
            return STATUS_BUFFER_TOO_SMALL;
        }
        if (size != 0) {
            std::memcpy(target->Buffer, v.data.data(), size);
        }
        target->Length = static_cast<USHORT>(length);
        if (length + 2 <= target->MaximumLength) {
            target->Buffer[length / 2] = 0;
        }
        return STATUS_SUCCESS;
    }
    if (size == 0) {
        return STATUS_SUCCESS;
    }
    if (size <= sizeof(ULONG)) {
        std::memmove(entryContext, v.data.data(), size);
        return STATUS_SUCCESS;
    }
    LONG header = 0;
    std::memcpy(&header, entryContext, sizeof header);
    if (header < 0) {
        if (size > static_cast<size_t>(-static_cast<int64_t>(header))) {
            return STATUS_BUFFER_TOO_SMALL;
        }
        std::memmove(entryContext, v.data.data(), size);
        return STATUS_SUCCESS;
    }
    if (size + 2 * sizeof(ULONG) > static_cast<size_t>(header)) {
        return STATUS_BUFFER_TOO_SMALL;
    }
    auto* out = static_cast<PUCHAR>(entryContext);
    ULONG length = static_cast<ULONG>(size);
    std::memcpy(out, &length, sizeof length);
    std::memcpy(out + 4, &v.type, sizeof v.type);
    std::memmove(out + 8, v.data.data(), size);
    return STATUS_SUCCESS;
}

NTSTATUS CallRoutine(const RTL_QUERY_REGISTRY_TABLE& entry, const Value& v, PVOID context) {
    std::u16string name = v.name; // NUL-terminated copy the routine may read
    if (v.type == REG_MULTI_SZ && !(entry.Flags & RTL_QUERY_REGISTRY_NOEXPAND)) {
        // One call per string, each as REG_SZ.
        std::u16string chars(v.data.size() / 2, u'\0');
        if (!chars.empty()) {
            std::memcpy(chars.data(), v.data.data(), chars.size() * 2);
        }
        size_t start = 0;
        while (start < chars.size() && chars[start] != 0) {
            size_t end = chars.find(u'\0', start);
            if (end == std::u16string::npos) {
                end = chars.size();
            }
            std::u16string one = chars.substr(start, end - start);
            NTSTATUS status = entry.QueryRoutine(name.data(), REG_SZ, one.data(),
                                                 static_cast<ULONG>((one.size() + 1) * 2), context, entry.EntryContext);
            if (!NT_SUCCESS(status)) {
                return status;
            }
            start = end + 1;
        }
        return STATUS_SUCCESS;
    }
    std::vector<UCHAR> data = v.data;
    data.push_back(0); // a routine may read a string to its NUL even when the data lacks one
    data.push_back(0);
    return entry.QueryRoutine(name.data(), v.type, data.data(), static_cast<ULONG>(v.data.size()), context,
                              entry.EntryContext);
}

NTSTATUS QueryEntry(const RTL_QUERY_REGISTRY_TABLE& entry, const KeyRef& key, PVOID context) {
    bool direct = (entry.Flags & RTL_QUERY_REGISTRY_DIRECT) != 0;
    if (entry.Name == nullptr) {
        if (direct) {
            return STATUS_INVALID_PARAMETER;
        }
        // Every value of the key.
        bool any = false;
        for (ULONG i = 0; key != nullptr; ++i) {
            Value v;
            NTSTATUS status = nt::registry::EnumerateValue(key, i, v);
            if (status == STATUS_NO_MORE_ENTRIES) {
                break;
            }
            if (!NT_SUCCESS(status)) {
                return status;
            }
            any = true;
            status = CallRoutine(entry, v, context);
            if (!NT_SUCCESS(status)) {
                return status;
            }
        }
        if (!any && (entry.Flags & RTL_QUERY_REGISTRY_NOVALUE)) {
            return entry.QueryRoutine(nullptr, REG_NONE, nullptr, 0, context, entry.EntryContext);
        }
        return STATUS_SUCCESS;
    }
    Value v;
    NTSTATUS status =
        key != nullptr ? nt::registry::QueryValue(key, nt::text::View(entry.Name), v) : STATUS_OBJECT_NAME_NOT_FOUND;
    if (status == STATUS_OBJECT_NAME_NOT_FOUND) {
        if ((entry.DefaultType & 0x00FFFFFF) == REG_NONE) {
            return (entry.Flags & RTL_QUERY_REGISTRY_REQUIRED) ? STATUS_OBJECT_NAME_NOT_FOUND : STATUS_SUCCESS;
        }
        v = DefaultOf(entry);
    } else if (!NT_SUCCESS(status)) {
        return status;
    } else if ((entry.Flags & RTL_QUERY_REGISTRY_TYPECHECK) &&
               v.type != (entry.DefaultType >> RTL_QUERY_REGISTRY_TYPECHECK_SHIFT)) {
        return STATUS_OBJECT_TYPE_MISMATCH;
    }
    status = direct ? StoreDirect(v, entry.EntryContext) : CallRoutine(entry, v, context);
    if (NT_SUCCESS(status) && (entry.Flags & RTL_QUERY_REGISTRY_DELETE) && key != nullptr) {
        nt::registry::DeleteValue(key, v.name);
    }
    return status;
}

} // namespace

NTSTATUS RtlQueryRegistryValues(ULONG RelativeTo, PCWSTR Path, PRTL_QUERY_REGISTRY_TABLE QueryTable, PVOID Context,
                                PVOID Environment) {
    (void)Environment; // REG_EXPAND_SZ values are passed unexpanded
    PASSIVE_CODE();
    KeyRef top;
    NTSTATUS status = OpenRelative(RelativeTo, Path, false, top);
    if (!NT_SUCCESS(status)) {
        if (!(RelativeTo & RTL_REGISTRY_OPTIONAL) || status != STATUS_OBJECT_NAME_NOT_FOUND) {
            return status;
        }
        top.reset(); // an optional key that is missing: every entry takes its default
    }
    KeyRef current = top;
    for (PRTL_QUERY_REGISTRY_TABLE entry = QueryTable; entry->QueryRoutine != nullptr || entry->Name != nullptr;
         ++entry) {
        if (entry->Flags & RTL_QUERY_REGISTRY_TOPKEY) {
            current = top;
        }
        if (entry->Flags & RTL_QUERY_REGISTRY_SUBKEY) {
            KeyRef sub;
            status = top != nullptr ? nt::registry::OpenKey(top, nt::text::View(entry->Name), sub)
                                    : STATUS_OBJECT_NAME_NOT_FOUND;
            if (!NT_SUCCESS(status)) {
                if (entry->Flags & RTL_QUERY_REGISTRY_REQUIRED) {
                    return status;
                }
                sub.reset();
            }
            current = sub;
            continue;
        }
        if (entry->QueryRoutine == nullptr && !(entry->Flags & RTL_QUERY_REGISTRY_DIRECT)) {
            continue;
        }
        status = QueryEntry(*entry, current, Context);
        if (!NT_SUCCESS(status)) {
            return status;
        }
    }
    return STATUS_SUCCESS;
}

NTSTATUS RtlWriteRegistryValue(ULONG RelativeTo, PCWSTR Path, PCWSTR ValueName, ULONG ValueType, PVOID ValueData,
                               ULONG ValueLength) {
    PASSIVE_CODE();
    KeyRef key;
    NTSTATUS status = OpenRelative(RelativeTo, Path, true, key);
    if (!NT_SUCCESS(status)) {
        return status;
    }
    return nt::registry::SetValue(key, nt::text::View(ValueName), ValueType, ValueData, ValueLength);
}

NTSTATUS RtlDeleteRegistryValue(ULONG RelativeTo, PCWSTR Path, PCWSTR ValueName) {
    PASSIVE_CODE();
    KeyRef key;
    NTSTATUS status = OpenRelative(RelativeTo, Path, false, key);
    if (!NT_SUCCESS(status)) {
        return status;
    }
    return nt::registry::DeleteValue(key, nt::text::View(ValueName));
}

NTSTATUS RtlCheckRegistryKey(ULONG RelativeTo, PWSTR Path) {
    PASSIVE_CODE();
    KeyRef key;
    return OpenRelative(RelativeTo, Path, false, key);
}

NTSTATUS RtlCreateRegistryKey(ULONG RelativeTo, PWSTR Path) {
    PASSIVE_CODE();
    KeyRef key;
    return OpenRelative(RelativeTo, Path, true, key);
}
