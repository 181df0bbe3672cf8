#include "WinCodePages.h"

#include <climits>
#include <cstring>
#include <string>

#include "NtText.h"
#include "WinHandles.h"
#include "winerror.h"

namespace {

enum class CodePage { Ansi, Utf8, Unknown };

CodePage Classify(UINT codePage) {
    switch (codePage) {
    case CP_ACP:
    case CP_THREAD_ACP:
    case 1252: return CodePage::Ansi;
    case CP_UTF8: return CodePage::Utf8;
    default: return CodePage::Unknown;
    }
}

int Fail(DWORD error) {
    SetLastError(error);
    return 0;
}

// The length of the input: -1 takes everything up to and including the NUL; -1 again for a bad length.
template <class Char> int InputLength(const Char* text, int length) {
    if (length >= 0)
        return length;
    if (length != -1)
        return -1;
    size_t n = 0;
    while (text[n] != 0)
        ++n;
    return n + 1 > static_cast<size_t>(INT_MAX) ? -1 : static_cast<int>(n + 1);
}

// Hands the converted characters to the caller: their count, which is all a capacity of 0 asks for. What does
// not fit fails with ERROR_INSUFFICIENT_BUFFER after the buffer was filled, as the platform does.
template <class Char> int Deliver(const std::basic_string<Char>& converted, Char* out, int capacity) {
    if (converted.size() > static_cast<size_t>(INT_MAX))
        return Fail(ERROR_INSUFFICIENT_BUFFER);
    int n = static_cast<int>(converted.size());
    if (capacity == 0)
        return n;
    if (n > capacity) {
        std::memcpy(out, converted.data(), static_cast<size_t>(capacity) * sizeof(Char));
        return Fail(ERROR_INSUFFICIENT_BUFFER);
    }
    std::memcpy(out, converted.data(), static_cast<size_t>(n) * sizeof(Char));
    return n;
}

} // namespace

int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR multiByteStr, int cbMultiByte, LPWSTR wideCharStr,
                        int cchWideChar) {
    CodePage kind = Classify(codePage);
    if (kind == CodePage::Unknown || multiByteStr == nullptr || cbMultiByte == 0 || cchWideChar < 0 ||
        (cchWideChar > 0 && wideCharStr == nullptr))
        return Fail(ERROR_INVALID_PARAMETER);
    // UTF-8 takes no flag but the error check; decomposition into combining characters is not provided.
    DWORD allowed =
        kind == CodePage::Utf8 ? MB_ERR_INVALID_CHARS : MB_PRECOMPOSED | MB_USEGLYPHCHARS | MB_ERR_INVALID_CHARS;
    if ((flags & ~allowed) != 0)
        return Fail(ERROR_INVALID_FLAGS);
    int length = InputLength(multiByteStr, cbMultiByte);
    if (length < 0)
        return Fail(ERROR_INVALID_PARAMETER);

    std::string_view input(multiByteStr, static_cast<size_t>(length));
    std::u16string converted;
    if (kind == CodePage::Ansi) {
        // Every byte of the code page stands for a character (0x81, 0x8D, 0x8F, 0x90 and 0x9D for the C1
        // controls of the same value), so nothing is invalid here.
        converted = nt::text::AnsiToUtf16(input);
    } else {
        bool malformed = false;
        converted = nt::text::Utf8ToUtf16(input, &malformed);
        if (malformed && (flags & MB_ERR_INVALID_CHARS) != 0)
            return Fail(ERROR_NO_UNICODE_TRANSLATION);
    }
    return Deliver(converted, wideCharStr, cchWideChar);
}

int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR wideCharStr, int cchWideChar, LPSTR multiByteStr,
                        int cbMultiByte, LPCSTR defaultChar, LPBOOL usedDefaultChar) {
    CodePage kind = Classify(codePage);
    if (kind == CodePage::Unknown || wideCharStr == nullptr || cchWideChar == 0 || cbMultiByte < 0 ||
        (cbMultiByte > 0 && multiByteStr == nullptr))
        return Fail(ERROR_INVALID_PARAMETER);
    if (kind == CodePage::Utf8 && (defaultChar != nullptr || usedDefaultChar != nullptr))
        return Fail(ERROR_INVALID_PARAMETER);
    DWORD allowed = kind == CodePage::Utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    if ((flags & ~allowed) != 0)
        return Fail(ERROR_INVALID_FLAGS);
    int length = InputLength(wideCharStr, cchWideChar);
    if (length < 0)
        return Fail(ERROR_INVALID_PARAMETER);

    std::u16string_view input(wideCharStr, static_cast<size_t>(length));
    std::string converted;
    if (kind == CodePage::Ansi) {
        // No best fit: a character the code page lacks is the default character, one per UTF-16 unit.
        char replacement = defaultChar != nullptr ? *defaultChar : '?';
        bool usedDefault = false;
        converted.reserve(input.size());
        for (char16_t unit : input) {
            bool mapped = true;
            char c = nt::text::Utf16ToAnsi(unit, &mapped);
            if (!mapped) {
                c = replacement;
                usedDefault = true;
            }
            converted += c;
        }
        if (usedDefaultChar != nullptr)
            *usedDefaultChar = usedDefault ? TRUE : FALSE;
    } else {
        bool malformed = false;
        converted = nt::text::Utf16ToUtf8(input, &malformed);
        if (malformed && (flags & WC_ERR_INVALID_CHARS) != 0)
            return Fail(ERROR_NO_UNICODE_TRANSLATION);
    }
    return Deliver(converted, multiByteStr, cbMultiByte);
}
