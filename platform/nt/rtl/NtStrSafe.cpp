#include <cstring>
#include <string_view>

#include "NtFormat.h"
#include "NtText.h"
#include "ntstrsafe.h"

namespace {

template <class Char> bool ValidCount(size_t cch) {
    return cch != 0 && cch <= NTSTRSAFE_MAX_CCH;
}

// Writes text into dest (cch characters of room, NUL included); truncates and says so.
template <class Char> NTSTATUS Put(Char* dest, size_t cch, std::basic_string_view<Char> text) {
    size_t n = text.size() < cch - 1 ? text.size() : cch - 1;
    std::memmove(dest, text.data(), n * sizeof(Char));
    dest[n] = 0;
    return n < text.size() ? STATUS_BUFFER_OVERFLOW : STATUS_SUCCESS;
}

template <class Char> std::basic_string_view<Char> Bounded(const Char* s, size_t maxChars) {
    size_t n = 0;
    while (n < maxChars && s[n] != 0) {
        ++n;
    }
    return std::basic_string_view<Char>(s, n);
}

template <class Char> NTSTATUS Copy(Char* dest, size_t cch, const Char* src, size_t maxChars) {
    if (!ValidCount<Char>(cch)) {
        return STATUS_INVALID_PARAMETER;
    }
    if (src == nullptr) {
        dest[0] = 0;
        return STATUS_SUCCESS;
    }
    return Put(dest, cch, Bounded(src, maxChars));
}

template <class Char> NTSTATUS Cat(Char* dest, size_t cch, const Char* src) {
    if (!ValidCount<Char>(cch)) {
        return STATUS_INVALID_PARAMETER;
    }
    auto existing = Bounded(dest, cch);
    if (existing.size() == cch) {
        return STATUS_INVALID_PARAMETER; // no NUL within the destination
    }
    if (src == nullptr) {
        return STATUS_SUCCESS;
    }
    return Put(dest + existing.size(), cch - existing.size(), Bounded(src, NTSTRSAFE_MAX_CCH));
}

template <class Char> NTSTATUS Length(const Char* psz, size_t cchMax, size_t* pcchLength) {
    if (pcchLength != nullptr) {
        *pcchLength = 0;
    }
    if (psz == nullptr || !ValidCount<Char>(cchMax)) {
        return STATUS_INVALID_PARAMETER;
    }
    auto text = Bounded(psz, cchMax);
    if (text.size() == cchMax) {
        return STATUS_INVALID_PARAMETER;
    }
    if (pcchLength != nullptr) {
        *pcchLength = text.size();
    }
    return STATUS_SUCCESS;
}

NTSTATUS VPrintfA(char* dest, size_t cch, const char* format, va_list args) {
    if (!ValidCount<char>(cch)) {
        return STATUS_INVALID_PARAMETER;
    }
    std::string text = nt::format::FormatA(nt::format::Runtime::Kernel, format, args);
    return Put<char>(dest, cch, text);
}

NTSTATUS VPrintfW(char16_t* dest, size_t cch, const char16_t* format, va_list args) {
    if (!ValidCount<char16_t>(cch)) {
        return STATUS_INVALID_PARAMETER;
    }
    std::u16string text = nt::format::FormatW(nt::format::Runtime::Kernel, format, args);
    return Put<char16_t>(dest, cch, text);
}

// Counted strings: room is MaximumLength bytes, no NUL required.
NTSTATUS PutCounted(PUNICODE_STRING dest, std::u16string_view text) {
    size_t room = dest->MaximumLength / sizeof(WCHAR);
    size_t n = text.size() < room ? text.size() : room;
    std::memmove(dest->Buffer, text.data(), n * sizeof(WCHAR));
    dest->Length = static_cast<USHORT>(n * sizeof(WCHAR));
    return n < text.size() ? STATUS_BUFFER_OVERFLOW : STATUS_SUCCESS;
}

} // namespace

NTSTATUS RtlStringCbPrintfA(NTSTRSAFE_PSTR pszDest, size_t cbDest, NTSTRSAFE_PCSTR pszFormat, ...) {
    va_list args;
    va_start(args, pszFormat);
    NTSTATUS status = VPrintfA(pszDest, cbDest, pszFormat, args);
    va_end(args);
    return status;
}

NTSTATUS RtlStringCbPrintfW(NTSTRSAFE_PWSTR pszDest, size_t cbDest, NTSTRSAFE_PCWSTR pszFormat, ...) {
    va_list args;
    va_start(args, pszFormat);
    NTSTATUS status = VPrintfW(pszDest, cbDest / sizeof(WCHAR), pszFormat, args);
    va_end(args);
    return status;
}

NTSTATUS RtlStringCchPrintfA(NTSTRSAFE_PSTR pszDest, size_t cchDest, NTSTRSAFE_PCSTR pszFormat, ...) {
    va_list args;
    va_start(args, pszFormat);
    NTSTATUS status = VPrintfA(pszDest, cchDest, pszFormat, args);
    va_end(args);
    return status;
}

NTSTATUS RtlStringCchPrintfW(NTSTRSAFE_PWSTR pszDest, size_t cchDest, NTSTRSAFE_PCWSTR pszFormat, ...) {
    va_list args;
    va_start(args, pszFormat);
    NTSTATUS status = VPrintfW(pszDest, cchDest, pszFormat, args);
    va_end(args);
    return status;
}

NTSTATUS RtlStringCbVPrintfA(NTSTRSAFE_PSTR pszDest, size_t cbDest, NTSTRSAFE_PCSTR pszFormat, va_list argList) {
    return VPrintfA(pszDest, cbDest, pszFormat, argList);
}

NTSTATUS RtlStringCbVPrintfW(NTSTRSAFE_PWSTR pszDest, size_t cbDest, NTSTRSAFE_PCWSTR pszFormat, va_list argList) {
    return VPrintfW(pszDest, cbDest / sizeof(WCHAR), pszFormat, argList);
}

NTSTATUS RtlStringCchVPrintfA(NTSTRSAFE_PSTR pszDest, size_t cchDest, NTSTRSAFE_PCSTR pszFormat, va_list argList) {
    return VPrintfA(pszDest, cchDest, pszFormat, argList);
}

NTSTATUS RtlStringCchVPrintfW(NTSTRSAFE_PWSTR pszDest, size_t cchDest, NTSTRSAFE_PCWSTR pszFormat, va_list argList) {
    return VPrintfW(pszDest, cchDest, pszFormat, argList);
}

NTSTATUS RtlStringCbCopyA(NTSTRSAFE_PSTR pszDest, size_t cbDest, NTSTRSAFE_PCSTR pszSrc) {
    return Copy(pszDest, cbDest, pszSrc, NTSTRSAFE_MAX_CCH);
}

NTSTATUS RtlStringCbCopyW(NTSTRSAFE_PWSTR pszDest, size_t cbDest, NTSTRSAFE_PCWSTR pszSrc) {
    return Copy(pszDest, cbDest / sizeof(WCHAR), pszSrc, NTSTRSAFE_MAX_CCH);
}

NTSTATUS RtlStringCchCopyA(NTSTRSAFE_PSTR pszDest, size_t cchDest, NTSTRSAFE_PCSTR pszSrc) {
    return Copy(pszDest, cchDest, pszSrc, NTSTRSAFE_MAX_CCH);
}

NTSTATUS RtlStringCchCopyW(NTSTRSAFE_PWSTR pszDest, size_t cchDest, NTSTRSAFE_PCWSTR pszSrc) {
    return Copy(pszDest, cchDest, pszSrc, NTSTRSAFE_MAX_CCH);
}

NTSTATUS RtlStringCbCopyNA(NTSTRSAFE_PSTR pszDest, size_t cbDest, NTSTRSAFE_PCSTR pszSrc, size_t cbToCopy) {
    return Copy(pszDest, cbDest, pszSrc, cbToCopy);
}

NTSTATUS RtlStringCbCopyNW(NTSTRSAFE_PWSTR pszDest, size_t cbDest, NTSTRSAFE_PCWSTR pszSrc, size_t cbToCopy) {
    return Copy(pszDest, cbDest / sizeof(WCHAR), pszSrc, cbToCopy / sizeof(WCHAR));
}

NTSTATUS RtlStringCchCopyNA(NTSTRSAFE_PSTR pszDest, size_t cchDest, NTSTRSAFE_PCSTR pszSrc, size_t cchToCopy) {
    return Copy(pszDest, cchDest, pszSrc, cchToCopy);
}

NTSTATUS RtlStringCchCopyNW(NTSTRSAFE_PWSTR pszDest, size_t cchDest, NTSTRSAFE_PCWSTR pszSrc, size_t cchToCopy) {
    return Copy(pszDest, cchDest, pszSrc, cchToCopy);
}

NTSTATUS RtlStringCbCatA(NTSTRSAFE_PSTR pszDest, size_t cbDest, NTSTRSAFE_PCSTR pszSrc) {
    return Cat(pszDest, cbDest, pszSrc);
}

NTSTATUS RtlStringCbCatW(NTSTRSAFE_PWSTR pszDest, size_t cbDest, NTSTRSAFE_PCWSTR pszSrc) {
    return Cat(pszDest, cbDest / sizeof(WCHAR), pszSrc);
}

NTSTATUS RtlStringCchCatA(NTSTRSAFE_PSTR pszDest, size_t cchDest, NTSTRSAFE_PCSTR pszSrc) {
    return Cat(pszDest, cchDest, pszSrc);
}

NTSTATUS RtlStringCchCatW(NTSTRSAFE_PWSTR pszDest, size_t cchDest, NTSTRSAFE_PCWSTR pszSrc) {
    return Cat(pszDest, cchDest, pszSrc);
}

NTSTATUS RtlStringCbLengthA(NTSTRSAFE_PCSTR psz, size_t cbMax, size_t* pcbLength) {
    return Length(psz, cbMax, pcbLength);
}

NTSTATUS RtlStringCbLengthW(NTSTRSAFE_PCWSTR psz, size_t cbMax, size_t* pcbLength) {
    size_t chars = 0;
    NTSTATUS status = Length(psz, cbMax / sizeof(WCHAR), &chars);
    if (pcbLength != nullptr) {
        *pcbLength = chars * sizeof(WCHAR);
    }
    return status;
}

NTSTATUS RtlStringCchLengthA(NTSTRSAFE_PCSTR psz, size_t cchMax, size_t* pcchLength) {
    return Length(psz, cchMax, pcchLength);
}

NTSTATUS RtlStringCchLengthW(NTSTRSAFE_PCWSTR psz, size_t cchMax, size_t* pcchLength) {
    return Length(psz, cchMax, pcchLength);
}

NTSTATUS RtlUnicodeStringPrintf(PUNICODE_STRING DestinationString, NTSTRSAFE_PCWSTR pszFormat, ...) {
    va_list args;
    va_start(args, pszFormat);
    std::u16string text = nt::format::FormatW(nt::format::Runtime::Kernel, pszFormat, args);
    va_end(args);
    return PutCounted(DestinationString, text);
}

NTSTATUS RtlUnicodeStringCopy(PUNICODE_STRING DestinationString, PCUNICODE_STRING SourceString) {
    return PutCounted(DestinationString, std::u16string(nt::text::View(SourceString)));
}

NTSTATUS RtlUnicodeStringCat(PUNICODE_STRING DestinationString, PCUNICODE_STRING SourceString) {
    std::u16string text(nt::text::View(DestinationString));
    text += nt::text::View(SourceString);
    return PutCounted(DestinationString, text);
}
