#include "NtObject.h"

#include <cstring>

#include "NtHandleTable.h"
#include "NtIrql.h"
#include "NtObjectNamespace.h"
#include "NtText.h"

namespace {

struct DirectoryHandle : nt::handles::KernelObject {
    std::u16string path; // resolved
};

struct LinkHandle : nt::handles::KernelObject {
    std::u16string target;
};

// The path an OBJECT_ATTRIBUTES names: its ObjectName, relative to its RootDirectory (a directory handle).
NTSTATUS PathOf(POBJECT_ATTRIBUTES attributes, std::u16string& path) {
    if (attributes == nullptr || attributes->ObjectName == nullptr) {
        return STATUS_OBJECT_NAME_INVALID;
    }
    std::u16string_view name = nt::text::View(attributes->ObjectName);
    if (attributes->RootDirectory == nullptr) {
        path = std::u16string(name);
        return STATUS_SUCCESS;
    }
    auto directory = nt::handles::LookupAs<DirectoryHandle>(attributes->RootDirectory);
    if (directory == nullptr) {
        return STATUS_INVALID_HANDLE;
    }
    if (!name.empty() && name[0] == u'\\') {
        return STATUS_OBJECT_PATH_SYNTAX_BAD;
    }
    path = directory->path;
    if (!name.empty()) {
        if (path != u"\\") {
            path += u'\\';
        }
        path += name;
    }
    return STATUS_SUCCESS;
}

NTSTATUS PathOf(PUNICODE_STRING name, std::u16string& path) {
    if (name == nullptr || name->Buffer == nullptr) {
        return STATUS_OBJECT_NAME_INVALID;
    }
    path = std::u16string(nt::text::View(name));
    return STATUS_SUCCESS;
}

// The entry an OBJECT_ATTRIBUTES names, which must be of the kind wanted.
NTSTATUS LookupNamed(POBJECT_ATTRIBUTES attributes, bool openLink, nt::ob::Kind wanted, nt::ob::Entry& entry) {
    std::u16string path;
    NTSTATUS status = PathOf(attributes, path);
    if (NT_SUCCESS(status)) {
        status = nt::ob::Lookup(path, entry, openLink);
    }
    if (NT_SUCCESS(status) && entry.kind != wanted) {
        status = STATUS_OBJECT_TYPE_MISMATCH;
    }
    return status;
}

// The name text stored right after the fixed part of an answer (structures of 8-byte alignment).
void PutName(PUNICODE_STRING target, void* storage, std::u16string_view text) {
    auto* chars = static_cast<PWCHAR>(storage);
    std::memcpy(chars, text.data(), text.size() * sizeof(WCHAR));
    chars[text.size()] = 0;
    target->Buffer = chars;
    target->Length = static_cast<USHORT>(text.size() * sizeof(WCHAR));
    target->MaximumLength = static_cast<USHORT>(target->Length + sizeof(WCHAR));
}

} // namespace

NTSTATUS ObQueryNameString(PVOID Object, POBJECT_NAME_INFORMATION ObjectNameInfo, ULONG Length, PULONG ReturnLength) {
    auto name = nt::ob::NameOf(Object);
    ULONG needed = sizeof(OBJECT_NAME_INFORMATION);
    if (name) {
        needed += static_cast<ULONG>((name->size() + 1) * sizeof(WCHAR));
    }
    if (ReturnLength != nullptr) {
        *ReturnLength = needed;
    }
    if (Length < needed) {
        return STATUS_INFO_LENGTH_MISMATCH;
    }
    if (!name) {
        ObjectNameInfo->Name.Buffer = nullptr;
        ObjectNameInfo->Name.Length = ObjectNameInfo->Name.MaximumLength = 0;
        return STATUS_SUCCESS;
    }
    PutName(&ObjectNameInfo->Name, ObjectNameInfo + 1, *name);
    return STATUS_SUCCESS;
}

NTSTATUS IoCreateSymbolicLink(PUNICODE_STRING SymbolicLinkName, PUNICODE_STRING DeviceName) {
    PASSIVE_CODE();
    std::u16string link, target;
    if (!NT_SUCCESS(PathOf(SymbolicLinkName, link)) || !NT_SUCCESS(PathOf(DeviceName, target))) {
        return STATUS_OBJECT_NAME_INVALID;
    }
    return nt::ob::CreateSymbolicLink(link, target);
}

NTSTATUS IoDeleteSymbolicLink(PUNICODE_STRING SymbolicLinkName) {
    PASSIVE_CODE();
    std::u16string link;
    NTSTATUS status = PathOf(SymbolicLinkName, link);
    if (!NT_SUCCESS(status)) {
        return status;
    }
    nt::ob::Entry entry;
    status = nt::ob::Lookup(link, entry, true);
    if (!NT_SUCCESS(status)) {
        return status;
    }
    if (entry.kind != nt::ob::Kind::SymbolicLink) {
        return STATUS_OBJECT_TYPE_MISMATCH;
    }
    return nt::ob::Remove(entry.path);
}

NTSTATUS ZwOpenDirectoryObject(PHANDLE DirectoryHandle, ACCESS_MASK DesiredAccess,
                               POBJECT_ATTRIBUTES ObjectAttributes) {
    PASSIVE_CODE();
    nt::ob::Entry entry;
    NTSTATUS status = LookupNamed(ObjectAttributes, false, nt::ob::Kind::Directory, entry);
    if (!NT_SUCCESS(status)) {
        return status;
    }
    auto handle = std::make_shared<::DirectoryHandle>();
    handle->path = entry.path;
    *DirectoryHandle = nt::handles::Insert(std::move(handle), DesiredAccess);
    return STATUS_SUCCESS;
}

NTSTATUS ZwQueryDirectoryObject(HANDLE DirectoryHandle, PVOID Buffer, ULONG Length, BOOLEAN ReturnSingleEntry,
                                BOOLEAN RestartScan, PULONG Context, PULONG ReturnLength) {
    PASSIVE_CODE();
    auto directory = nt::handles::LookupAs<::DirectoryHandle>(DirectoryHandle);
    if (directory == nullptr) {
        return STATUS_INVALID_HANDLE;
    }
    std::vector<nt::ob::Entry> entries;
    NTSTATUS status = nt::ob::List(directory->path, entries);
    if (!NT_SUCCESS(status)) {
        return status;
    }
    ULONG first = RestartScan ? 0 : *Context;
    if (first >= entries.size()) {
        if (ReturnLength != nullptr) {
            *ReturnLength = 0;
        }
        return STATUS_NO_MORE_ENTRIES;
    }
    // Layout: the entries, a zeroed closing entry, then the strings (each with its NUL).
    auto bytesFor = [&](size_t count, size_t from) {
        size_t total = (count + 1) * sizeof(OBJECT_DIRECTORY_INFORMATION);
        for (size_t i = from; i < from + count; ++i) {
            total += (entries[i].name.size() + 1 + nt::ob::TypeName(entries[i].kind).size() + 1) * sizeof(WCHAR);
        }
        return total;
    };
    size_t count = 0;
    size_t limit = ReturnSingleEntry ? 1 : entries.size() - first;
    while (count < limit && bytesFor(count + 1, first) <= Length) {
        ++count;
    }
    if (count == 0) {
        if (ReturnLength != nullptr) {
            *ReturnLength = static_cast<ULONG>(bytesFor(1, first));
        }
        return STATUS_BUFFER_TOO_SMALL;
    }
    auto* info = static_cast<POBJECT_DIRECTORY_INFORMATION>(Buffer);
    auto* strings = reinterpret_cast<PUCHAR>(info + count + 1);
    for (size_t i = 0; i < count; ++i) {
        const nt::ob::Entry& e = entries[first + i];
        PutName(&info[i].Name, strings, e.name);
        strings += (e.name.size() + 1) * sizeof(WCHAR);
        std::u16string_view type = nt::ob::TypeName(e.kind);
        PutName(&info[i].TypeName, strings, type);
        strings += (type.size() + 1) * sizeof(WCHAR);
    }
    std::memset(&info[count], 0, sizeof(OBJECT_DIRECTORY_INFORMATION));
    *Context = first + static_cast<ULONG>(count);
    if (ReturnLength != nullptr) {
        *ReturnLength = static_cast<ULONG>(bytesFor(count, first));
    }
    bool all = first + count == entries.size();
    return all || ReturnSingleEntry ? STATUS_SUCCESS : STATUS_MORE_ENTRIES;
}

NTSTATUS ZwOpenSymbolicLinkObject(PHANDLE LinkHandle, ACCESS_MASK DesiredAccess, POBJECT_ATTRIBUTES ObjectAttributes) {
    PASSIVE_CODE();
    nt::ob::Entry entry;
    NTSTATUS status = LookupNamed(ObjectAttributes, true, nt::ob::Kind::SymbolicLink, entry);
    if (!NT_SUCCESS(status)) {
        return status;
    }
    auto handle = std::make_shared<::LinkHandle>();
    handle->target = entry.target;
    *LinkHandle = nt::handles::Insert(std::move(handle), DesiredAccess);
    return STATUS_SUCCESS;
}

NTSTATUS ZwQuerySymbolicLinkObject(HANDLE LinkHandle, PUNICODE_STRING LinkTarget, PULONG ReturnedLength) {
    PASSIVE_CODE();
    auto link = nt::handles::LookupAs<::LinkHandle>(LinkHandle);
    if (link == nullptr) {
        return STATUS_INVALID_HANDLE;
    }
    size_t bytes = link->target.size() * sizeof(WCHAR);
    if (ReturnedLength != nullptr) {
        *ReturnedLength = static_cast<ULONG>(bytes + sizeof(WCHAR));
    }
    if (LinkTarget->MaximumLength < bytes) {
        return STATUS_BUFFER_TOO_SMALL;
    }
    std::memcpy(LinkTarget->Buffer, link->target.data(), bytes);
    LinkTarget->Length = static_cast<USHORT>(bytes);
    if (bytes + sizeof(WCHAR) <= LinkTarget->MaximumLength) {
        LinkTarget->Buffer[link->target.size()] = 0;
    }
    return STATUS_SUCCESS;
}

NTSTATUS ZwClose(HANDLE Handle) {
    PASSIVE_CODE();
    return nt::handles::Close(Handle);
}
