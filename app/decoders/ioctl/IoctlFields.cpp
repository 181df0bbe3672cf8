#include "app/decoders/ioctl/IoctlFields.h"

#include <algorithm>

#include "app/decoders/descriptors/StringText.h"
#include "app/decoders/framework/OutputerImp.h"
#include "app/decoders/framework/StringContent.h"
#include "app/ui/PanePointers.h"
#include "common/ByteReader.h"

size_t IoctlWidthBytes(IoctlWidth width) {
    switch (width) {
    case IoctlWidth::U8:
        return 1;
    case IoctlWidth::U16:
        return 2;
    case IoctlWidth::U32:
    case IoctlWidth::Short:
        return 4;
    case IoctlWidth::U64:
        return 8;
    }
    return 8;
}

CString IoctlValueText(int mode, IoctlWidth width, ULONG64 value) {
    const bool grid = mode == OUTPUT_MODE_GRID;
    const auto narrow = static_cast<unsigned>(value);
    CString text;
    switch (width) {
    case IoctlWidth::U8:
        text.Format(grid ? "0x%02x" : "%02x", narrow);
        break;
    case IoctlWidth::U16:
        text.Format(grid ? "0x%04x" : "%04x", narrow);
        break;
    case IoctlWidth::U32:
        text.Format(grid ? "0x%08x" : "%08x", narrow);
        break;
    case IoctlWidth::Short:
        text.Format(grid ? "0x%x" : "%08x", narrow);
        break;
    case IoctlWidth::U64:
        text.Format(grid ? "0x%I64x" : "%I64x", value);
        break;
    }
    return text;
}

CString IoctlBoolText(bool value) {
    return value ? "TRUE" : "FALSE";
}

CString IoctlHexText(const BYTE* bytes, ULONG count) {
    CString text;
    CStringContent().HexString(text, bytes, count);
    return text;
}

CString IoctlWideText(const BYTE* bytes, size_t count) {
    size_t length = 0;
    while (length + 1 < count && tdl::LoadLe<char16_t>(bytes + length) != 0)
        length += 2;
    return Utf16LeToNarrow(bytes, length);
}

void IoctlShowInDataBar(const CString& caption, const BYTE* bytes, ULONG total, ULONG shown, ULONG record) {
    CString title;
    title.Format("  %s - record #%u                   (%u of %u bytes)", caption.GetString(), record, shown, total);
    IoctlSetDataBar(title, bytes, shown);
}

void IoctlSetDataBar(const CString& title, const BYTE* bytes, ULONG count) {
    CPanePointers panes;
    panes.DataBarSetTitle(title);
    panes.DataBarSetDataBuffer(bytes, count);
}

CString IoctlBitText(ULONG value, ULONG bit) {
    return (value >> bit) & 1 ? "1" : "0";
}

CString IoctlDisplayName(const CString& bareName, ULONG code, LPCSTR prefix, LPCSTR unnamedFormat) {
    if (!bareName.IsEmpty())
        return prefix + bareName;
    CString text;
    text.Format(unnamedFormat, code);
    return text;
}

void WriteIoctlFunctionCode(OutputerImp* pImp, ULONG code, const CString& name) {
    CString text;
    text.Format("%08x", code);
    pImp->WriteValue("Function", text);
    pImp->AddAttribute("Name", name);
}

IoctlFields::IoctlFields(LogOutputer& decoder, int mode, ULONG needed)
    : m_decoder(decoder), m_pImp(decoder.GetImp()), m_mode(mode), m_needed(needed),
      m_payload(decoder.GetDecode().GetPayload()) {}

ULONG IoctlFields::BytesFrom(size_t offset) const {
    return offset < m_payload.size() ? static_cast<ULONG>(m_payload.size() - offset) : 0;
}

const BYTE* IoctlFields::DataAt(size_t offset) const {
    return offset < m_payload.size() ? m_payload.data() + offset : nullptr;
}

bool IoctlFields::ReadValue(size_t offset, IoctlWidth width, ULONG64& value) {
    switch (width) {
    case IoctlWidth::U8: {
        BYTE v = 0;
        const bool have = Read(offset, v);
        value = v;
        return have;
    }
    case IoctlWidth::U16: {
        USHORT v = 0;
        const bool have = Read(offset, v);
        value = v;
        return have;
    }
    case IoctlWidth::U32:
    case IoctlWidth::Short: {
        ULONG v = 0;
        const bool have = Read(offset, v);
        value = v;
        return have;
    }
    case IoctlWidth::U64:
        break;
    }
    value = 0;
    return Read(offset, value);
}

void IoctlFields::EndOfBlock() {
    if (m_payload.size() < m_needed)
        ReportTruncation();
}

ULONG IoctlFields::CountWithin(size_t offset, ULONG count, size_t elementSize) {
    if (elementSize == 0)
        return count;
    const ULONG fits = static_cast<ULONG>(std::min<size_t>(count, BytesFrom(offset) / elementSize));
    if (fits < count)
        ReportTruncation(offset + static_cast<size_t>(count) * elementSize);
    return fits;
}

void IoctlFields::ReportTruncation() {
    ReportTruncation(m_needed);
}

void IoctlFields::ReportTruncation(size_t needed) {
    m_decoder.OutputTruncation(m_mode, needed);
}

CString IoctlFields::Text(IoctlWidth width, ULONG64 value, bool have) const {
    return have ? IoctlValueText(m_mode, width, value) : CString(LogOutputer::kUnknownText);
}

void IoctlFields::Field(LPCSTR label, LPCSTR element, const CString& value, LPCSTR tip) {
    if (IsMarkup())
        m_pImp->WriteValue(element, value);
    else
        m_pImp->AddItem(label, value, tip);
}

void IoctlFields::AttributedField(LPCSTR label, LPCSTR element, const CString& value, LPCSTR attributeName,
                                  const CString& attributeValue, LPCSTR tip) {
    if (IsMarkup())
        m_pImp->WriteValueWithAttribute(element, value, attributeName, attributeValue);
    else
        m_pImp->AddItem(label, value, tip);
}

bool IoctlFields::ValueField(LPCSTR label, LPCSTR element, IoctlWidth width, size_t offset) {
    ULONG64 value = 0;
    const bool have = ReadValue(offset, width, value);
    Field(label, element, Text(width, value, have));
    return have;
}

bool IoctlFields::AttributedValueField(LPCSTR label, LPCSTR element, IoctlWidth width, size_t offset,
                                       LPCSTR attributeName, const CString& attributeValue, LPCSTR tip) {
    ULONG64 value = 0;
    const bool have = ReadValue(offset, width, value);
    AttributedField(label, element, Text(width, value, have), attributeName, attributeValue, tip);
    return have;
}

void IoctlFields::GridField(LPCSTR label, const CString& value, LPCSTR tip) {
    if (!IsMarkup())
        m_pImp->AddItem(label, value, tip);
}

void IoctlFields::NamedCodeField(LPCSTR name, ULONG code, const CString& codeName, bool have) {
    if (!have) {
        Field(name, LogOutputer::kUnknownText);
        return;
    }
    CString text;
    if (IsGrid()) {
        text.Format("%s (0x%x)", codeName.GetString(), code);
        m_pImp->AddItem(name, text, nullptr);
    } else if (IsMarkup()) {
        text.Format("%08x", code);
        m_pImp->WriteValueWithAttribute(name, text, "Name", codeName);
    }
}

void IoctlFields::OpenSection(LPCSTR title, LPCSTR element) {
    m_bSectionMarkupClosed = false;
    if (IsMarkup())
        m_pImp->BeginElement(element);
    else
        m_pImp->BeginCategory(title);
}

void IoctlFields::EndSectionMarkup() {
    if (IsMarkup() && !m_bSectionMarkupClosed) {
        m_pImp->EndElement();
        m_bSectionMarkupClosed = true;
    }
}

void IoctlFields::CloseSection() {
    if (!IsMarkup())
        m_pImp->ExpandCurrent();
    else if (!m_bSectionMarkupClosed)
        m_pImp->EndElement();
    m_bSectionMarkupClosed = false;
    m_pImp->EndGroup();
}

void IoctlFields::EmptyCategory(LPCSTR title) {
    if (!IsGrid())
        return;
    m_pImp->BeginCategory(title);
    m_pImp->ExpandCurrent();
    m_pImp->EndGroup();
}

void IoctlFields::OpenInnerGroup(LPCSTR title) {
    if (IsGrid())
        m_pImp->BeginValueGroup(title, "");
}

void IoctlFields::CloseInnerGroup() {
    if (!IsGrid())
        return;
    m_pImp->ExpandCurrent();
    m_pImp->EndGroup();
    FlushDataBar();
}

void IoctlFields::OpenDataSection(LPCSTR title, LPCSTR element) {
    if (IsMarkup())
        m_pImp->BeginElement(element);
    else
        m_pImp->BeginValueGroup(title, "");
}

void IoctlFields::CloseDataSection() {
    if (IsMarkup())
        m_pImp->EndElement();
    else
        m_pImp->ExpandCurrent();
    m_pImp->EndGroup();
    FlushDataBar();
}

void IoctlFields::BufferItem(LPCSTR caption, const BYTE* bytes, ULONG count, const CString& barCaption) {
    if (!IsGrid())
        return;
    m_pImp->AddDataBufferItem(caption);
    if (count == 0 || bytes == nullptr)
        return;
    m_pBarBytes = bytes;
    m_nBarBytes = count;
    m_barCaption = barCaption;
}

void IoctlFields::FlushDataBar() {
    if (!m_pBarBytes)
        return;
    IoctlShowInDataBar(m_barCaption, m_pBarBytes, m_nBarBytes, m_nBarBytes, m_decoder.GetDecode().GetSequenceNumber());
    m_pBarBytes = nullptr;
    m_nBarBytes = 0;
}
