// Text forms of GUIDs and byte strings.
#include <algorithm>

#include "app/decoders/framework/StringContent.h"

namespace {

// Bytes per chunk of the hexadecimal forms, one line of a hex dump.
constexpr ULONG kBytesPerChunk = 16;

// Two lower-case hexadecimal digits a byte, a blank between bytes when `spaced`, appended to the text.
void AppendHex(CString& text, const BYTE* bytes, ULONG count, bool spaced) {
    static constexpr char kDigits[] = "0123456789abcdef";
    if (count == 0)
        return;
    const int start = text.GetLength();
    const int length = static_cast<int>(count) * (spaced ? 3 : 2) - (spaced ? 1 : 0);
    char* out = text.GetBufferSetLength(start + length) + start;
    for (ULONG i = 0; i < count; ++i) {
        if (spaced && i > 0)
            *out++ = ' ';
        *out++ = kDigits[bytes[i] >> 4];
        *out++ = kDigits[bytes[i] & 15];
    }
    text.ReleaseBuffer(start + length);
}

ULONG FormatChunk(CString& text, const BYTE* bytes, ULONG count, bool spaced) {
    if (count == 0)
        return 0;
    const ULONG n = std::min(count, kBytesPerChunk);
    text.SetString(nullptr, 0); // the buffer kept for the digits
    AppendHex(text, bytes, n, spaced);
    return n;
}

} // namespace

void CStringContent::GuidToString(const GUID& guid, CString& text) const {
    text.Format("{%08lx-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x}", guid.Data1, guid.Data2, guid.Data3,
                guid.Data4[0], guid.Data4[1], guid.Data4[2], guid.Data4[3], guid.Data4[4], guid.Data4[5], guid.Data4[6],
                guid.Data4[7]);
}

ULONG CStringContent::HexBytesSpaced(CString& text, const BYTE* bytes, ULONG count) const {
    return FormatChunk(text, bytes, count, true);
}

ULONG CStringContent::HexBytesPacked(CString& text, const BYTE* bytes, ULONG count) const {
    return FormatChunk(text, bytes, count, false);
}

void CStringContent::HexDumpHtml(CString& text, const BYTE* bytes, ULONG length, ULONG maximum) const {
    const bool cut = length > maximum;
    if (cut)
        length = maximum;
    text.Empty();
    ULONG done = 0;
    while (done < length) {
        CString chunk;
        const ULONG n = HexBytesSpaced(chunk, bytes + done, length - done);
        text += chunk;
        done += n;
        if (n == kBytesPerChunk && done < length)
            text += "<br>";
    }
    if (cut)
        text += "&nbsp;<b>...</b>";
}

void CStringContent::HexString(CString& text, const BYTE* bytes, ULONG length) const {
    text.SetString(nullptr, 0); // the buffer kept for the digits
    AppendHex(text, bytes, length, false);
}
