#include "NtRtlString.h"

#include <cstring>

#include "NtPool.h"
#include "NtPoolControl.h"
#include "NtText.h"

namespace {

constexpr ULONG kStringTag = nt::pool::TagFromString("Strg");
constexpr size_t kMaxUnicodeLength = 0xFFFC; // bytes, leaving room for the NUL within a USHORT
constexpr size_t kMaxAnsiLength = 0xFFFE;

size_t WideLength(PCWSTR s) {
    size_t n = 0;
    while (s[n] != 0) {
        ++n;
    }
    return n;
}

void Terminate(PUNICODE_STRING s) {
    if (s->Length + sizeof(WCHAR) <= s->MaximumLength) {
        s->Buffer[s->Length / sizeof(WCHAR)] = UNICODE_NULL;
    }
}

LONG CompareChars(std::u16string_view a, std::u16string_view b, bool caseInsensitive) {
    size_t n = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < n; ++i) {
        WCHAR ca = caseInsensitive ? nt::text::Upcase(a[i]) : a[i];
        WCHAR cb = caseInsensitive ? nt::text::Upcase(b[i]) : b[i];
        if (ca != cb) {
            return static_cast<LONG>(ca) - static_cast<LONG>(cb);
        }
    }
    return static_cast<LONG>(a.size()) - static_cast<LONG>(b.size());
}

LONG CompareAnsi(std::string_view a, std::string_view b, bool caseInsensitive) {
    size_t n = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < n; ++i) {
        auto ca = static_cast<unsigned char>(caseInsensitive ? RtlUpperChar(a[i]) : a[i]);
        auto cb = static_cast<unsigned char>(caseInsensitive ? RtlUpperChar(b[i]) : b[i]);
        if (ca != cb) {
            return static_cast<LONG>(ca) - static_cast<LONG>(cb);
        }
    }
    return static_cast<LONG>(a.size()) - static_cast<LONG>(b.size());
}

int HexValue(WCHAR c) {
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    return -1;
}

bool ParseHex(std::u16string_view text, size_t at, size_t digits, uint64_t& value) {
    value = 0;
    for (size_t i = 0; i < digits; ++i) {
        int v = HexValue(text[at + i]);
        if (v < 0) {
            return false;
        }
        value = value * 16 + static_cast<uint64_t>(v);
    }
    return true;
}

} // namespace

void RtlInitUnicodeString(PUNICODE_STRING DestinationString, PCWSTR SourceString) {
    DestinationString->Buffer = const_cast<PWSTR>(SourceString);
    if (SourceString == nullptr) {
        DestinationString->Length = DestinationString->MaximumLength = 0;
        return;
    }
    size_t bytes = WideLength(SourceString) * sizeof(WCHAR);
    if (bytes > kMaxUnicodeLength) {
        bytes = kMaxUnicodeLength;
    }
    DestinationString->Length = static_cast<USHORT>(bytes);
    DestinationString->MaximumLength = static_cast<USHORT>(bytes + sizeof(WCHAR));
}

NTSTATUS RtlInitUnicodeStringEx(PUNICODE_STRING DestinationString, PCWSTR SourceString) {
    if (SourceString != nullptr && WideLength(SourceString) * sizeof(WCHAR) > kMaxUnicodeLength) {
        return STATUS_NAME_TOO_LONG;
    }
    RtlInitUnicodeString(DestinationString, SourceString);
    return STATUS_SUCCESS;
}

void RtlInitAnsiString(PANSI_STRING DestinationString, PCSTR SourceString) {
    DestinationString->Buffer = const_cast<PCHAR>(SourceString);
    if (SourceString == nullptr) {
        DestinationString->Length = DestinationString->MaximumLength = 0;
        return;
    }
    size_t length = std::strlen(SourceString);
    if (length > kMaxAnsiLength) {
        length = kMaxAnsiLength;
    }
    DestinationString->Length = static_cast<USHORT>(length);
    DestinationString->MaximumLength = static_cast<USHORT>(length + 1);
}

void RtlInitString(PSTRING DestinationString, PCSTR SourceString) {
    RtlInitAnsiString(DestinationString, SourceString);
}

void RtlCopyUnicodeString(PUNICODE_STRING DestinationString, PCUNICODE_STRING SourceString) {
    if (SourceString == nullptr) {
        DestinationString->Length = 0;
        return;
    }
    USHORT bytes = SourceString->Length < DestinationString->MaximumLength ? SourceString->Length
                                                                           : DestinationString->MaximumLength;
    bytes &= static_cast<USHORT>(~1u);
    std::memmove(DestinationString->Buffer, SourceString->Buffer, bytes);
    DestinationString->Length = bytes;
    Terminate(DestinationString);
}

void RtlCopyString(PSTRING DestinationString, const STRING* SourceString) {
    if (SourceString == nullptr) {
        DestinationString->Length = 0;
        return;
    }
    USHORT bytes = SourceString->Length < DestinationString->MaximumLength ? SourceString->Length
                                                                           : DestinationString->MaximumLength;
    std::memmove(DestinationString->Buffer, SourceString->Buffer, bytes);
    DestinationString->Length = bytes;
    if (bytes < DestinationString->MaximumLength) {
        DestinationString->Buffer[bytes] = ANSI_NULL;
    }
}

NTSTATUS RtlAppendUnicodeToString(PUNICODE_STRING Destination, PCWSTR Source) {
    if (Source == nullptr) {
        return STATUS_SUCCESS;
    }
    size_t bytes = WideLength(Source) * sizeof(WCHAR);
    if (Destination->Length + bytes > Destination->MaximumLength) {
        return STATUS_BUFFER_TOO_SMALL;
    }
    std::memmove(reinterpret_cast<PUCHAR>(Destination->Buffer) + Destination->Length, Source, bytes);
    Destination->Length = static_cast<USHORT>(Destination->Length + bytes);
    Terminate(Destination);
    return STATUS_SUCCESS;
}

NTSTATUS RtlAppendUnicodeStringToString(PUNICODE_STRING Destination, PCUNICODE_STRING Source) {
    if (Source == nullptr || Source->Length == 0) {
        return STATUS_SUCCESS;
    }
    if (Destination->Length + static_cast<size_t>(Source->Length) > Destination->MaximumLength) {
        return STATUS_BUFFER_TOO_SMALL;
    }
    std::memmove(reinterpret_cast<PUCHAR>(Destination->Buffer) + Destination->Length, Source->Buffer, Source->Length);
    Destination->Length = static_cast<USHORT>(Destination->Length + Source->Length);
    Terminate(Destination);
    return STATUS_SUCCESS;
}

LONG RtlCompareUnicodeString(PCUNICODE_STRING String1, PCUNICODE_STRING String2, BOOLEAN CaseInSensitive) {
    return CompareChars(nt::text::View(String1), nt::text::View(String2), CaseInSensitive != FALSE);
}

BOOLEAN RtlEqualUnicodeString(PCUNICODE_STRING String1, PCUNICODE_STRING String2, BOOLEAN CaseInSensitive) {
    if (String1->Length != String2->Length) {
        return FALSE;
    }
    return RtlCompareUnicodeString(String1, String2, CaseInSensitive) == 0 ? TRUE : FALSE;
}

BOOLEAN RtlPrefixUnicodeString(PCUNICODE_STRING String1, PCUNICODE_STRING String2, BOOLEAN CaseInSensitive) {
    auto prefix = nt::text::View(String1);
    auto text = nt::text::View(String2);
    if (prefix.size() > text.size()) {
        return FALSE;
    }
    return CompareChars(prefix, text.substr(0, prefix.size()), CaseInSensitive != FALSE) == 0 ? TRUE : FALSE;
}

LONG RtlCompareString(const STRING* String1, const STRING* String2, BOOLEAN CaseInSensitive) {
    return CompareAnsi(nt::text::View(String1), nt::text::View(String2), CaseInSensitive != FALSE);
}

BOOLEAN RtlEqualString(const STRING* String1, const STRING* String2, BOOLEAN CaseInSensitive) {
    if (String1->Length != String2->Length) {
        return FALSE;
    }
    return RtlCompareString(String1, String2, CaseInSensitive) == 0 ? TRUE : FALSE;
}

BOOLEAN RtlPrefixString(const STRING* String1, const STRING* String2, BOOLEAN CaseInSensitive) {
    auto prefix = nt::text::View(String1);
    auto text = nt::text::View(String2);
    if (prefix.size() > text.size()) {
        return FALSE;
    }
    return CompareAnsi(prefix, text.substr(0, prefix.size()), CaseInSensitive != FALSE) == 0 ? TRUE : FALSE;
}

WCHAR RtlUpcaseUnicodeChar(WCHAR SourceCharacter) {
    return nt::text::Upcase(SourceCharacter);
}

WCHAR RtlDowncaseUnicodeChar(WCHAR SourceCharacter) {
    return nt::text::Downcase(SourceCharacter);
}

CHAR RtlUpperChar(CHAR Character) {
    char16_t upper = nt::text::Upcase(nt::text::AnsiToUtf16(static_cast<unsigned char>(Character)));
    bool mapped = false;
    char result = nt::text::Utf16ToAnsi(upper, &mapped);
    return mapped ? result : Character;
}

NTSTATUS RtlUpcaseUnicodeString(PUNICODE_STRING DestinationString, PCUNICODE_STRING SourceString,
                                BOOLEAN AllocateDestinationString) {
    USHORT bytes = SourceString->Length;
    if (AllocateDestinationString) {
        auto* buffer = static_cast<PWSTR>(ExAllocatePoolWithTag(NonPagedPoolNx, bytes, kStringTag));
        if (buffer == nullptr) {
            return STATUS_NO_MEMORY;
        }
        DestinationString->Buffer = buffer;
        DestinationString->MaximumLength = bytes;
    } else if (bytes > DestinationString->MaximumLength) {
        return STATUS_BUFFER_OVERFLOW;
    }
    for (USHORT i = 0; i < bytes / sizeof(WCHAR); ++i) {
        DestinationString->Buffer[i] = nt::text::Upcase(SourceString->Buffer[i]);
    }
    DestinationString->Length = bytes;
    return STATUS_SUCCESS;
}

ULONG RtlxUnicodeStringToAnsiSize(PCUNICODE_STRING UnicodeString) {
    return UnicodeString->Length / sizeof(WCHAR) + 1;
}

ULONG RtlxAnsiStringToUnicodeSize(PCANSI_STRING AnsiString) {
    return (static_cast<ULONG>(AnsiString->Length) + 1) * sizeof(WCHAR);
}

NTSTATUS RtlUnicodeStringToAnsiString(PANSI_STRING DestinationString, PCUNICODE_STRING SourceString,
                                      BOOLEAN AllocateDestinationString) {
    ULONG needed = RtlxUnicodeStringToAnsiSize(SourceString); // with the NUL
    if (needed > 0xFFFF) {
        return STATUS_INVALID_PARAMETER_2;
    }
    NTSTATUS status = STATUS_SUCCESS;
    ULONG length = needed - 1;
    if (AllocateDestinationString) {
        auto* buffer = static_cast<PCHAR>(ExAllocatePoolWithTag(NonPagedPoolNx, needed, kStringTag));
        if (buffer == nullptr) {
            return STATUS_NO_MEMORY;
        }
        DestinationString->Buffer = buffer;
        DestinationString->MaximumLength = static_cast<USHORT>(needed);
    } else if (length >= DestinationString->MaximumLength) {
        if (DestinationString->MaximumLength == 0) {
            return STATUS_BUFFER_OVERFLOW;
        }
        status = STATUS_BUFFER_OVERFLOW;
        length = DestinationString->MaximumLength - 1u;
    }
    for (ULONG i = 0; i < length; ++i) {
        DestinationString->Buffer[i] = nt::text::Utf16ToAnsi(SourceString->Buffer[i]);
    }
    DestinationString->Buffer[length] = ANSI_NULL;
    DestinationString->Length = static_cast<USHORT>(length);
    return status;
}

NTSTATUS RtlAnsiStringToUnicodeString(PUNICODE_STRING DestinationString, PCANSI_STRING SourceString,
                                      BOOLEAN AllocateDestinationString) {
    ULONG needed = RtlxAnsiStringToUnicodeSize(SourceString); // with the NUL
    if (needed > 0xFFFF) {
        return STATUS_INVALID_PARAMETER_2;
    }
    ULONG bytes = needed - sizeof(WCHAR);
    if (AllocateDestinationString) {
        auto* buffer = static_cast<PWSTR>(ExAllocatePoolWithTag(NonPagedPoolNx, needed, kStringTag));
        if (buffer == nullptr) {
            return STATUS_NO_MEMORY;
        }
        DestinationString->Buffer = buffer;
        DestinationString->MaximumLength = static_cast<USHORT>(needed);
    } else if (bytes >= DestinationString->MaximumLength) {
        return STATUS_BUFFER_OVERFLOW;
    }
    for (ULONG i = 0; i < SourceString->Length; ++i) {
        DestinationString->Buffer[i] = nt::text::AnsiToUtf16(static_cast<unsigned char>(SourceString->Buffer[i]));
    }
    DestinationString->Length = static_cast<USHORT>(bytes);
    Terminate(DestinationString);
    return STATUS_SUCCESS;
}

void RtlFreeUnicodeString(PUNICODE_STRING UnicodeString) {
    if (UnicodeString->Buffer != nullptr) {
        ExFreePool(UnicodeString->Buffer);
    }
    UnicodeString->Buffer = nullptr;
    UnicodeString->Length = UnicodeString->MaximumLength = 0;
}

void RtlFreeAnsiString(PANSI_STRING AnsiString) {
    if (AnsiString->Buffer != nullptr) {
        ExFreePool(AnsiString->Buffer);
    }
    AnsiString->Buffer = nullptr;
    AnsiString->Length = AnsiString->MaximumLength = 0;
}

NTSTATUS RtlIntegerToUnicodeString(ULONG Value, ULONG Base, PUNICODE_STRING String) {
    if (Base == 0) {
        Base = 10;
    }
    if (Base != 2 && Base != 8 && Base != 10 && Base != 16) {
        return STATUS_INVALID_PARAMETER;
    }
    WCHAR digits[33];
    int n = 0;
    do {
        digits[n++] = static_cast<WCHAR>(u"0123456789ABCDEF"[Value % Base]);
        Value /= Base;
    } while (Value != 0);
    size_t bytes = static_cast<size_t>(n) * sizeof(WCHAR);
    if (bytes > String->MaximumLength) {
        return STATUS_BUFFER_OVERFLOW;
    }
    for (int i = 0; i < n; ++i) {
        String->Buffer[i] = digits[n - 1 - i];
    }
    String->Length = static_cast<USHORT>(bytes);
    Terminate(String);
    return STATUS_SUCCESS;
}

NTSTATUS RtlUnicodeStringToInteger(PCUNICODE_STRING String, ULONG Base, PULONG Value) {
    if (Base != 0 && Base != 2 && Base != 8 && Base != 10 && Base != 16) {
        return STATUS_INVALID_PARAMETER;
    }
    auto text = nt::text::View(String);
    size_t i = 0;
    while (i < text.size() && (text[i] == u' ' || text[i] == u'\t')) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    if (Base == 0) {
        Base = 10;
        if (i + 1 < text.size() && text[i] == u'0') {
            switch (text[i + 1]) {
            case u'x':
                Base = 16;
                i += 2;
                break;
            case u'o':
                Base = 8;
                i += 2;
                break;
            case u'b':
                Base = 2;
                i += 2;
                break;
            default: break;
            }
        }
    }
    ULONG result = 0;
    for (; i < text.size(); ++i) {
        int digit = HexValue(text[i]);
        if (digit < 0 || static_cast<ULONG>(digit) >= Base) {
            break;
        }
        result = result * Base + static_cast<ULONG>(digit);
    }
    *Value = negative ? 0u - result : result;
    return STATUS_SUCCESS;
}

NTSTATUS RtlGUIDFromString(PCUNICODE_STRING GuidString, GUID* Guid) {
    auto text = nt::text::View(GuidString);
    if (text.size() != 38 || text[0] != u'{' || text[9] != u'-' || text[14] != u'-' || text[19] != u'-' ||
        text[24] != u'-' || text[37] != u'}') {
        return STATUS_INVALID_PARAMETER;
    }
    uint64_t data1, data2, data3, byte;
    if (!ParseHex(text, 1, 8, data1) || !ParseHex(text, 10, 4, data2) || !ParseHex(text, 15, 4, data3)) {
        return STATUS_INVALID_PARAMETER;
    }
    GUID parsed;
    parsed.Data1 = static_cast<ULONG>(data1);
    parsed.Data2 = static_cast<USHORT>(data2);
    parsed.Data3 = static_cast<USHORT>(data3);
    static const size_t kByteAt[8] = {20, 22, 25, 27, 29, 31, 33, 35};
    for (int i = 0; i < 8; ++i) {
        if (!ParseHex(text, kByteAt[i], 2, byte)) {
            return STATUS_INVALID_PARAMETER;
        }
        parsed.Data4[i] = static_cast<UCHAR>(byte);
    }
    *Guid = parsed;
    return STATUS_SUCCESS;
}

NTSTATUS RtlStringFromGUID(REFGUID Guid, PUNICODE_STRING GuidString) {
    constexpr size_t kChars = 38;
    auto* buffer = static_cast<PWSTR>(ExAllocatePoolWithTag(NonPagedPoolNx, (kChars + 1) * sizeof(WCHAR), kStringTag));
    if (buffer == nullptr) {
        return STATUS_NO_MEMORY;
    }
    const char16_t* hex = u"0123456789ABCDEF";
    size_t at = 0;
    auto put = [&](uint64_t value, int digits) {
        for (int i = digits - 1; i >= 0; --i) {
            buffer[at++] = hex[(value >> (4 * i)) & 0xF];
        }
    };
    buffer[at++] = u'{';
    put(Guid.Data1, 8);
    buffer[at++] = u'-';
    put(Guid.Data2, 4);
    buffer[at++] = u'-';
    put(Guid.Data3, 4);
    buffer[at++] = u'-';
    put(Guid.Data4[0], 2);
    put(Guid.Data4[1], 2);
    buffer[at++] = u'-';
    for (int i = 2; i < 8; ++i) {
        put(Guid.Data4[i], 2);
    }
    buffer[at++] = u'}';
    buffer[at] = UNICODE_NULL;
    GuidString->Buffer = buffer;
    GuidString->Length = static_cast<USHORT>(kChars * sizeof(WCHAR));
    GuidString->MaximumLength = static_cast<USHORT>((kChars + 1) * sizeof(WCHAR));
    return STATUS_SUCCESS;
}
