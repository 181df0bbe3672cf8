#include "WinCom.h"

#include <string>

#include "NtRtlString.h"

HRESULT CLSIDFromString(LPCOLESTR lpsz, LPCLSID pclsid) {
    if (!pclsid) {
        return E_INVALIDARG;
    }
    *pclsid = GUID{};
    if (!lpsz) {
        return S_OK;
    }
    // Only the 38 characters of the braced form can parse; a longer text is not measured to its end.
    constexpr size_t kGuidChars = 38;
    size_t length = 0;
    while (length <= kGuidChars && lpsz[length] != u'\0') {
        ++length;
    }
    if (length != kGuidChars) {
        return CO_E_CLASSSTRING;
    }
    UNICODE_STRING text{static_cast<USHORT>(length * sizeof(WCHAR)), static_cast<USHORT>(length * sizeof(WCHAR)),
                        const_cast<PWSTR>(lpsz)};
    GUID parsed;
    if (!NT_SUCCESS(RtlGUIDFromString(&text, &parsed))) {
        return CO_E_CLASSSTRING;
    }
    *pclsid = parsed;
    return S_OK;
}
