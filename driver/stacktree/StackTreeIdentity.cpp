// A stack's identity: the Plug and Play properties of its physical device object, and the device and
// compatible IDs that Plug and Play queries return, with what the tree learns from them (root hubs, the
// enumerator, the USB class triple, the excluded device).
//
// Locks: strings and the fields derived from them are installed under the stack-list lock (readers copy
// them under it); queries and conversions run with no lock held, at PASSIVE_LEVEL.
#include <cstring>

#include "common/NodeEntries.h"
#include "driver/core/Pool.h"
#include "driver/stacktree/StackTreeInternal.h"

namespace {

// Buffers of the properties read in one query.
constexpr ULONG FIXED_PROPERTY_BUFFER = 512;
// USB class code of a hub, given to root hubs recognised by their device ID.
constexpr USHORT USB_HUB_CLASS = 9;

// Where a property goes.
enum class Property { ClassName, ClassGuid, DeviceDescription, HardwareID, DriverKeyName, EnumeratorName };

PCHAR* StringField(PDEVICE_STACK stack, Property property) {
    switch (property) {
    case Property::ClassName: return &stack->ClassName;
    case Property::DeviceDescription: return &stack->DeviceDescription;
    case Property::HardwareID: return &stack->HardwareID;
    case Property::DriverKeyName: return &stack->DriverKeyName;
    case Property::EnumeratorName: return &stack->EnumeratorName;
    default: return nullptr;
    }
}

DEVICE_REGISTRY_PROPERTY PropertyId(Property property) {
    switch (property) {
    case Property::ClassName: return DevicePropertyClassName;
    case Property::ClassGuid: return DevicePropertyClassGuid;
    case Property::DeviceDescription: return DevicePropertyDeviceDescription;
    case Property::HardwareID: return DevicePropertyHardwareID;
    case Property::DriverKeyName: return DevicePropertyDriverKeyName;
    default: return DevicePropertyEnumeratorName;
    }
}

BOOLEAN GuidIsZero(const GUID& guid) {
    static const GUID zero = {};
    return guid == zero;
}

// Whether the stack holds the property already.
BOOLEAN StackHasProperty(PDEVICE_STACK stack, Property property) {
    const KIRQL irql = StackListLock();
    const BOOLEAN held =
        property == Property::ClassGuid ? !GuidIsZero(stack->ClassGuid) : *StringField(stack, property) != nullptr;
    StackListUnlock(irql);
    return held;
}

// Reads one property as UTF-16 into a pool buffer: the class name and hardware IDs into a fixed buffer, the
// others sized by a first query. Null when it cannot be read.
PWCHAR PropertyRead(PDEVICE_OBJECT pdo, Property property) {
    const DEVICE_REGISTRY_PROPERTY id = PropertyId(property);
    ULONG size = FIXED_PROPERTY_BUFFER;
    if (property != Property::ClassName && property != Property::HardwareID) {
        size = 0;
        WCHAR probe = 0;
        const NTSTATUS status = IoGetDeviceProperty(pdo, id, 0, &probe, &size);
        if (status != STATUS_BUFFER_TOO_SMALL || size == 0) {
            return nullptr;
        }
    }
    // One extra character, so that the text always ends in a NUL whatever the property held.
    auto* buffer = static_cast<PWCHAR>(DriverAllocate(size + sizeof(WCHAR)));
    if (buffer == nullptr) {
        return nullptr;
    }
    ULONG returned = 0;
    if (!NT_SUCCESS(IoGetDeviceProperty(pdo, id, size, buffer, &returned))) {
        DriverFree(buffer);
        return nullptr;
    }
    return buffer;
}

// Installs `text` into the stack's string field unless one is there already; frees what it does not keep.
VOID StackStringKeep(PDEVICE_STACK stack, PCHAR* field, PCHAR text) {
    const KIRQL irql = StackListLock();
    if (*field == nullptr) {
        *field = text;
        text = nullptr;
    }
    StackListUnlock(irql);
    DriverFree(text);
}

// Replaces the stack's string field; the old text is freed.
VOID StackStringReplace(PCHAR* field, PCHAR text) {
    const KIRQL irql = StackListLock();
    PCHAR old = *field;
    *field = text;
    StackListUnlock(irql);
    DriverFree(old);
}

VOID StackUpdateComplete(PDEVICE_STACK stack) {
    const KIRQL irql = StackListLock();
    stack->Complete = stack->DeviceDescription != nullptr && stack->HardwareID != nullptr &&
                      stack->ClassName != nullptr && stack->EnumeratorName != nullptr &&
                      stack->DriverKeyName != nullptr && !GuidIsZero(stack->ClassGuid);
    StackListUnlock(irql);
}

// The enumerator class of the stack's enumerator name, when the name is one of the groups.
VOID StackUpdateEnumeratorClassLocked(PDEVICE_STACK stack) {
    const ULONG enumClass = ClassifyEnumerator(stack->EnumeratorName);
    if (enumClass != ENUM_CLASS_NONE) {
        stack->EnumeratorClass = enumClass;
    }
}

VOID StackFetchProperty(PDEVICE_STACK stack, PDEVICE_OBJECT pdo, Property property) {
    if (StackHasProperty(stack, property)) {
        return;
    }
    PWCHAR text = PropertyRead(pdo, property);
    if (text == nullptr) {
        return;
    }
    if (property == Property::ClassGuid) {
        UNICODE_STRING guidText;
        RtlInitUnicodeString(&guidText, text);
        GUID guid;
        if (NT_SUCCESS(RtlGUIDFromString(&guidText, &guid))) {
            const KIRQL irql = StackListLock();
            stack->ClassGuid = guid;
            StackListUnlock(irql);
        }
    } else {
        // A multi-string (the hardware IDs) gives its first string.
        StackStringKeep(stack, StringField(stack, property), TreeAnsiCopy(text, ~0u));
        if (property == Property::EnumeratorName) {
            const KIRQL irql = StackListLock();
            StackUpdateEnumeratorClassLocked(stack);
            StackListUnlock(irql);
        }
    }
    DriverFree(text);
}

// The two hexadecimal digits at `text`; FALSE when they are not both there.
BOOLEAN HexByte(PCSTR text, UCHAR* value) {
    UCHAR result = 0;
    for (int i = 0; i < 2; ++i) {
        const CHAR c = text[i];
        UCHAR digit;
        if (c >= '0' && c <= '9') {
            digit = static_cast<UCHAR>(c - '0');
        } else if (c >= 'a' && c <= 'f') {
            digit = static_cast<UCHAR>(c - 'a' + 10);
        } else if (c >= 'A' && c <= 'F') {
            digit = static_cast<UCHAR>(c - 'A' + 10);
        } else {
            return FALSE;
        }
        result = static_cast<UCHAR>(result << 4 | digit);
    }
    *value = result;
    return TRUE;
}

// TRUE when `text` begins with `prefix` (case-insensitive); *length is then the prefix's length.
BOOLEAN PrefixIs(PCSTR text, PCSTR prefix, SIZE_T* length) {
    if (!NameStartsWith(text, prefix)) {
        return FALSE;
    }
    *length = std::strlen(prefix);
    return TRUE;
}

struct UsbClassTriple {
    USHORT deviceClass = 0;
    UCHAR subClass = 0;
    UCHAR protocol = 0;
    BOOLEAN known = FALSE;
};

// The class triple a compatible ID names: "USB\Class_xx&SubClass_yy&Prot_zz" (or "USB\DevClass_...", or
// "NUSB3\Class_..." from the vendor USB 3 stack's enumerator, whose hubs name their class only that way),
// "USB\HubClass", or "USB\UNKNOWN".
UsbClassTriple ParseCompatibleId(PCSTR id) {
    UsbClassTriple triple;
    SIZE_T skip = 0;
    if (PrefixIs(id, "USB\\Class_", &skip) || PrefixIs(id, "USB\\DevClass_", &skip) ||
        PrefixIs(id, "NUSB3\\Class_", &skip)) {
        triple.known = TRUE;
        PCSTR rest = id + skip;
        UCHAR value = 0;
        if (!HexByte(rest, &value)) {
            triple.deviceClass = DEVSTK_CLASS_UNPARSED;
            return triple;
        }
        triple.deviceClass = value == 0 ? DEVSTK_CLASS_FROM_INTERFACE : value;
        rest += 2;
        if (PrefixIs(rest, "&SubClass_", &skip) && HexByte(rest + skip, &triple.subClass)) {
            rest += skip + 2;
            if (PrefixIs(rest, "&Prot_", &skip)) {
                HexByte(rest + skip, &triple.protocol);
            }
        }
    } else if (PrefixIs(id, "USB\\HubClass", &skip)) {
        triple.known = TRUE;
        triple.deviceClass = USB_HUB_CLASS;
    } else if (NameEquals(id, "USB\\UNKNOWN")) {
        triple.known = TRUE;
        triple.deviceClass = DEVSTK_CLASS_UNPARSED;
    }
    return triple;
}

} // namespace

PCHAR TreeAnsiCopy(PCWSTR Text, ULONG MaxChars) {
    ULONG chars = 0;
    while (chars < MaxChars && chars < UNICODE_STRING_MAX_CHARS && Text[chars] != UNICODE_NULL) {
        ++chars;
    }
    UNICODE_STRING unicode;
    unicode.Buffer = const_cast<PWCHAR>(Text);
    unicode.Length = static_cast<USHORT>(chars * sizeof(WCHAR));
    unicode.MaximumLength = unicode.Length;
    const ULONG size = RtlUnicodeStringToAnsiSize(&unicode); // NUL included
    auto* text = static_cast<PCHAR>(DriverAllocate(size));
    if (text == nullptr) {
        return nullptr;
    }
    ANSI_STRING ansi;
    ansi.Buffer = text;
    ansi.Length = 0;
    ansi.MaximumLength = static_cast<USHORT>(size);
    RtlUnicodeStringToAnsiString(&ansi, &unicode, FALSE);
    text[ansi.Length] = '\0';
    return text;
}

VOID StackFetchProperties(PDEVICE_STACK Stack) {
    PASSIVE_CODE();
    PDEVICE_OBJECT pdo = Stack->PhysicalDeviceObject;
    // Only the bottom of a stack has a device node to ask.
    PDEVICE_OBJECT lower = pdo != nullptr ? IoGetLowerDeviceObject(pdo) : nullptr;
    if (lower != nullptr) {
        ObDereferenceObject(lower);
    } else if (pdo != nullptr) {
        static const Property order[] = {Property::ClassName,  Property::ClassGuid,     Property::DeviceDescription,
                                         Property::HardwareID, Property::DriverKeyName, Property::EnumeratorName};
        for (Property property : order) {
            StackFetchProperty(Stack, pdo, property);
        }
    }
    StackUpdateComplete(Stack);
}

VOID StackTreeSetDeviceId(PDEVICE_STACK Stack, PCWSTR DeviceId) {
    PASSIVE_CODE();
    PCHAR id = TreeAnsiCopy(DeviceId, ~0u);
    if (id == nullptr) {
        return;
    }
    ULONG bottom = 0;
    if (NameEquals(id, "USB\\ROOT_HUB") || NameEquals(id, "USB\\ROOT_HUB20")) {
        bottom = BOTTOM_CLASS_ROOT_HUB;
    } else if (NameEquals(id, "NUSB3\\ROOT_HUB30")) {
        bottom = BOTTOM_CLASS_VENDOR_ROOT_HUB;
    }
    // The enumerator is the part of the device ID before its first backslash.
    SIZE_T enumLength = 0;
    while (id[enumLength] != '\0' && id[enumLength] != '\\') {
        ++enumLength;
    }
    PCHAR enumerator = static_cast<PCHAR>(DriverAllocate(enumLength + 1));
    if (enumerator != nullptr) {
        RtlCopyMemory(enumerator, id, enumLength);
    }
    const BOOLEAN excluded = IsExcludedDeviceId(id);

    PCHAR oldEnumerator = nullptr;
    KIRQL irql = StackListLock();
    if (bottom != 0) {
        Stack->BottomClass = bottom;
        Stack->DeviceClass = USB_HUB_CLASS;
    }
    if (Stack->EnumeratorName != nullptr && enumerator != nullptr) {
        oldEnumerator = Stack->EnumeratorName;
        Stack->EnumeratorName = enumerator;
        enumerator = nullptr;
        StackUpdateEnumeratorClassLocked(Stack);
    }
    StackListUnlock(irql);
    DriverFree(oldEnumerator);
    DriverFree(enumerator);
    StackStringReplace(&Stack->DeviceID, id);

    if (excluded) {
        // Tracked and listed, never hooked.
        irql = StackListLock();
        KeAcquireSpinLockAtDpcLevel(&Stack->Devices.Lock);
        for (PLIST_ENTRY link = Stack->Devices.Head.Flink; link != &Stack->Devices.Head; link = link->Flink) {
            DeviceNodeClearFlags(CONTAINING_RECORD(link, DEVOBJ_NODE, StackLinks), DEVOBJ_SELECTED);
        }
        KeReleaseSpinLockFromDpcLevel(&Stack->Devices.Lock);
        StackListUnlock(irql);
    }
}

VOID StackTreeSetCompatibleIds(PDEVICE_STACK Stack, PCWSTR CompatibleIds) {
    PASSIVE_CODE();
    PCHAR id = TreeAnsiCopy(CompatibleIds, ~0u);
    if (id == nullptr) {
        return;
    }
    const UsbClassTriple triple = ParseCompatibleId(id);
    const KIRQL irql = StackListLock();
    PCHAR old = Stack->CompatibleID;
    Stack->CompatibleID = id;
    if (triple.known) {
        Stack->DeviceClass = triple.deviceClass;
        Stack->DeviceSubClass = triple.subClass;
        Stack->DeviceProtocol = triple.protocol;
    }
    StackListUnlock(irql);
    DriverFree(old);
}
