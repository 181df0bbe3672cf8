#include "app/decoders/descriptors/StringDescOutputer.h"

#include <algorithm>

#include "app/decoders/descriptors/StringText.h"

namespace {

// The operating-system string descriptor: requested at this index, with this length.
constexpr UCHAR kOsStringIndex = 0xEE;
constexpr BYTE kOsStringLength = 18;
// Its signature, seven characters from byte 2 on.
constexpr ULONG kOsSignatureBytes = 14;
constexpr ULONG kHeaderBytes = 2;

const FieldDecl kOsStringTail[] = {
    FieldU8("bVendorCode"),
    FieldU8("bFlags"),
};

} // namespace

StringDescOutputer::StringDescOutputer(OutputerImp* pImp, CUSBLog* pContext, const BYTE* pBytes, UCHAR stringIndex,
                                       ULONG count)
    : DescOutputer(pImp, pContext, pBytes, count), m_StringIndex(stringIndex) {}

void StringDescOutputer::Output(int mode, const CString& title, const CString& value) {
    FieldWriter fields(*this, mode);
    OpenSection(fields, title, value, DescLayout::Section);
    tdl::ByteReader reader = Reader();
    BYTE length = 0;
    BYTE type = 0;
    const bool hasLength = reader.Read(length);
    fields.NumberField("bLength", FieldFormat::Hex2, length, hasLength);
    const bool osString = m_StringIndex == kOsStringIndex && length == kOsStringLength;
    if (reader.Read(type))
        fields.NamedField("bDescriptorType", fields.Number(FieldFormat::Hex2, type), "Name",
                          osString ? "MS OS STRING" : "STRING");
    else
        fields.Field("bDescriptorType", kMissing);
    if (reader.Remaining() > 0) {
        if (m_StringIndex == 0) {
            OutputLanguages(fields, length);
        } else if (osString) {
            OutputOsString(fields);
        } else {
            // The characters bLength holds, as far as the bytes go; a bLength below 2 holds none.
            const ULONG characters = length >= kHeaderBytes ? (length - kHeaderBytes) / 2 : 0;
            const ULONG bytes = std::min<ULONG>(characters * 2, m_Count - kHeaderBytes);
            fields.Field("Value", Utf16LeToNarrow(m_pBytes + kHeaderBytes, bytes));
        }
    }
    CloseSection(fields, DescLayout::Section);
}

void StringDescOutputer::OutputLanguages(FieldWriter& fields, ULONG length) {
    // An odd bLength still shows the word that straddles its end.
    const ULONG languages = length >= 3 ? (length - 1) / 2 : 0;
    for (ULONG i = 0; i < languages; ++i) {
        USHORT language = 0;
        if (!tdl::LoadAt(m_pBytes, m_Count, kHeaderBytes + 2 * i, language))
            break;
        fields.NumberField("LANGID", FieldFormat::Hex4, language);
    }
}

void StringDescOutputer::OutputOsString(FieldWriter& fields) {
    const ULONG signatureBytes = std::min<ULONG>(kOsSignatureBytes, m_Count - kHeaderBytes);
    fields.Field("MicrosoftString", Utf16LeToNarrow(m_pBytes + kHeaderBytes, signatureBytes & ~1u));
    tdl::ByteReader reader = Reader();
    if (reader.Seek(kHeaderBytes + kOsSignatureBytes))
        fields.Fields(kOsStringTail, reader, FieldWalk::Stop);
}
