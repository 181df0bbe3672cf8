#include "app/decoders/descriptors/StringText.h"

#include <string>

#include "common/ByteReader.h"
#include "windows.h"

namespace {

bool IsHighSurrogate(char16_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}

bool IsLowSurrogate(char16_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

// A character the code page has no byte for, so that a whole pair comes out as one default character.
constexpr char16_t kUnmappable = 0xFFFD;

} // namespace

CString Utf16LeToNarrow(const uint8_t* bytes, size_t length) {
    std::u16string units;
    units.reserve(length / 2);
    for (size_t i = 0; i + 1 < length; i += 2) {
        const char16_t unit = tdl::LoadLe<char16_t>(bytes + i);
        if (IsLowSurrogate(unit) && !units.empty() && IsHighSurrogate(units.back()))
            units.back() = kUnmappable;
        else
            units.push_back(unit);
    }
    if (units.empty())
        return CString();
    const int count = static_cast<int>(units.size());
    CString text;
    const int written =
        ::WideCharToMultiByte(CP_ACP, 0, units.data(), count, text.GetBufferSetLength(count), count, nullptr, nullptr);
    text.ReleaseBuffer(written > 0 ? written : 0);
    return text;
}
