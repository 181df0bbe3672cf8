#include "app/decoders/framework/FieldWriter.h"

#include <algorithm>

#include "app/decoders/descriptors/StringText.h"
#include "app/decoders/framework/OutputerImp.h"
#include "app/decoders/framework/StringContent.h"
#include "app/ui/PanePointers.h"

namespace {

constexpr char kDigits[] = "0123456789abcdef";

uint8_t MediumOf(int mode) {
    switch (mode) {
    case OUTPUT_MODE_GRID: return kGrid;
    case OUTPUT_MODE_XML: return kXml;
    case OUTPUT_MODE_HTML: return kHtml;
    default: return 0;
    }
}

// Lower-case hexadecimal digits of `value`, at least `minimum` of them, at `out`; returns the end.
char* PutHex(char* out, ULONG64 value, int minimum) {
    char digits[16];
    int count = 0;
    do {
        digits[count++] = kDigits[value & 15];
        value >>= 4;
    } while (value != 0);
    for (int i = count; i < minimum; ++i)
        *out++ = '0';
    while (count > 0)
        *out++ = digits[--count];
    return out;
}

char* PutDecimal(char* out, LONG value) {
    ULONG64 magnitude = value < 0 ? static_cast<ULONG64>(-static_cast<LONG64>(value)) : static_cast<ULONG64>(value);
    if (value < 0)
        *out++ = '-';
    char digits[12];
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    while (count > 0)
        *out++ = digits[--count];
    return out;
}

ULONG64 LoadNumber(const uint8_t* p, size_t size, bool bigEndian) {
    ULONG64 value = 0;
    for (size_t i = 0; i < size; ++i) {
        const size_t at = bigEndian ? i : size - 1 - i;
        value = value << 8 | p[at];
    }
    return value;
}

// The texts every writer on the thread hands to the emit interface (see FieldWriter's members).
struct KeptTexts {
    CString joined;
    CString name;
    CString label;
    CString text;
    CString attribute;
};

KeptTexts& ThreadTexts() {
    static thread_local KeptTexts texts;
    return texts;
}

} // namespace

const char* FieldLabels::For(int mode) const {
    const char* gridLabel = grid != nullptr ? grid : xml;
    switch (mode) {
    case OUTPUT_MODE_GRID: return gridLabel;
    case OUTPUT_MODE_HTML: return html != nullptr ? html : gridLabel;
    default: return xml;
    }
}

CString FieldHexText(const BYTE* bytes, ULONG count) {
    CString text;
    CStringContent().HexString(text, bytes, count);
    return text;
}

CString FieldWideText(const BYTE* bytes, size_t count) {
    size_t length = 0;
    while (length + 1 < count && tdl::LoadLe<char16_t>(bytes + length) != 0)
        length += 2;
    return Utf16LeToNarrow(bytes, length);
}

const char* FieldBoolText(bool value) {
    return value ? "TRUE" : "FALSE";
}

const char* FieldBitText(ULONG value, ULONG bit) {
    return (value >> bit) & 1 ? "1" : "0";
}

void ShowInDataBar(const CString& caption, const BYTE* bytes, ULONG total, ULONG shown, ULONG record) {
    CString title;
    title.Format("  %s - record #%u                   (%u of %u bytes)", caption.GetString(), record, shown, total);
    SetDataBar(title, bytes, shown);
}

void SetDataBar(const CString& title, const BYTE* bytes, ULONG count) {
    CPanePointers panes;
    panes.DataBarSetTitle(title);
    panes.DataBarSetDataBuffer(bytes, count);
}

FieldWriter::FieldWriter(Outputer& decoder, int mode, Style style)
    : m_decoder(decoder), m_pRecordDecoder(nullptr), m_pImp(decoder.GetImp()), m_mode(mode), m_media(MediumOf(mode)),
      m_style(style), m_joined(ThreadTexts().joined), m_name(ThreadTexts().name), m_label(ThreadTexts().label),
      m_text(ThreadTexts().text), m_attribute(ThreadTexts().attribute) {}

FieldWriter::FieldWriter(LogOutputer& decoder, int mode, ULONG needed)
    : m_decoder(decoder), m_pRecordDecoder(&decoder), m_pImp(decoder.GetImp()), m_mode(mode), m_media(MediumOf(mode)),
      m_style(Style::Record), m_needed(needed), m_payload(decoder.GetDecode().GetPayload()),
      m_joined(ThreadTexts().joined), m_name(ThreadTexts().name), m_label(ThreadTexts().label),
      m_text(ThreadTexts().text), m_attribute(ThreadTexts().attribute) {}

bool FieldWriter::Prefixed() const {
    return m_media == kGrid || (m_media == kHtml && m_style == Style::Report);
}

ULONG FieldWriter::BytesFrom(size_t offset) const {
    return offset < m_payload.size() ? static_cast<ULONG>(m_payload.size() - offset) : 0;
}

const BYTE* FieldWriter::DataAt(size_t offset) const {
    return offset < m_payload.size() ? m_payload.data() + offset : nullptr;
}

bool FieldWriter::ReadNumber(size_t offset, size_t size, ULONG64& value) {
    value = 0;
    if (offset <= m_payload.size() && m_payload.size() - offset >= size) {
        value = LoadNumber(m_payload.data() + offset, size, false);
        return true;
    }
    if (offset + size <= m_needed)
        ReportTruncation();
    return false;
}

void FieldWriter::EndOfBlock() {
    if (m_payload.size() < m_needed)
        ReportTruncation();
}

ULONG FieldWriter::CountWithin(size_t offset, ULONG count, size_t elementSize) {
    if (elementSize == 0)
        return count;
    const ULONG fits = static_cast<ULONG>(std::min<size_t>(count, BytesFrom(offset) / elementSize));
    if (fits < count)
        ReportTruncation(offset + static_cast<size_t>(count) * elementSize);
    return fits;
}

void FieldWriter::ReportTruncation() {
    ReportTruncation(m_needed);
}

void FieldWriter::ReportTruncation(size_t needed) {
    if (m_pRecordDecoder != nullptr)
        m_pRecordDecoder->OutputTruncation(m_mode, needed);
}

const char* FieldWriter::Number(FieldFormat format, ULONG64 value, bool have) {
    if (!have)
        return LogOutputer::kUnknownText;
    const bool prefix = Prefixed();
    char* out = m_number;
    const auto narrow = static_cast<ULONG>(value);
    switch (format) {
    case FieldFormat::Digit: out = PutHex(out, narrow, 1); break;
    case FieldFormat::Decimal: out = PutDecimal(out, static_cast<LONG>(narrow)); break;
    case FieldFormat::Short:
        if (prefix) {
            *out++ = '0';
            *out++ = 'x';
            out = PutHex(out, narrow, 1);
        } else {
            out = PutHex(out, narrow, 8);
        }
        break;
    default: {
        if (prefix) {
            *out++ = '0';
            *out++ = 'x';
        }
        const int digits = format == FieldFormat::Hex2   ? 2
                           : format == FieldFormat::Hex4 ? 4
                           : format == FieldFormat::Hex6 ? 6
                           : format == FieldFormat::Hex8 ? 8
                                                         : 1;
        out = PutHex(out, format == FieldFormat::Hex64 ? value : narrow, digits);
        break;
    }
    }
    *out = '\0';
    return m_number;
}

void FieldWriter::Field(const FieldLabels& label, FieldText value, const char* tip, uint8_t media) {
    if (!In(media))
        return;
    switch (m_media) {
    case kXml:
        m_label = label.xml;
        m_pImp->WriteValue(m_label, value.AsString(m_text));
        break;
    case kHtml:
        if (m_style == Style::Report) {
            m_label = label.For(m_mode);
            value.AssignTo(m_text);
            m_pImp->WriteValue(m_label, m_text);
            break;
        }
        [[fallthrough]];
    default: m_pImp->AddItem(label.For(OUTPUT_MODE_GRID), value.chars, tip); break;
    }
}

int FieldWriter::NestedMode() const {
    return m_media == kHtml && m_style == Style::Record ? -1 : m_mode;
}

bool FieldWriter::ValueField(const FieldLabels& label, FieldFormat format, size_t offset, uint8_t media) {
    ULONG64 value = 0;
    const bool have = ReadNumber(offset, FieldFormatBytes(format), value);
    NumberField(label, format, value, have, media);
    return have;
}

void FieldWriter::AttributedField(const FieldLabels& label, FieldText value, const char* attribute,
                                  FieldText attributeValue, const char* tip, uint8_t media) {
    if (!In(media))
        return;
    if (m_media != kXml) {
        Field(label, value, tip, media);
        return;
    }
    m_label = label.xml;
    m_attribute = attribute;
    m_pImp->WriteValueWithAttribute(m_label, value.AsString(m_text), m_attribute, attributeValue.AsString(m_name));
}

void FieldWriter::FaultField(const FieldLabels& label, FieldText value, uint8_t media) {
    if (!In(media))
        return;
    if (m_media == kXml || (m_media == kHtml && m_style == Style::Report))
        Field(label, value);
    else
        m_pImp->AddReadOnlyItem(label.For(OUTPUT_MODE_GRID), value.chars);
}

void FieldWriter::NumberField(const FieldLabels& label, FieldFormat format, ULONG64 value, bool have, uint8_t media) {
    if (In(media))
        Field(label, Number(format, value, have), nullptr, media);
}

void FieldWriter::NamedField(const FieldLabels& label, FieldText value, const char* attribute, FieldText name,
                             uint16_t flags, uint8_t media) {
    if (!In(media))
        return;
    if ((flags & FieldDecl::kNameInText) == 0) {
        if (m_media == kXml) {
            m_label = label.xml;
            if ((flags & FieldDecl::kAttributeAfter) != 0) {
                m_pImp->WriteValue(m_label, value.AsString(m_text));
                Attribute(attribute, name);
            } else {
                m_attribute = attribute;
                m_pImp->WriteValueWithAttribute(m_label, value.AsString(m_text), m_attribute, name.AsString(m_name));
            }
            return;
        }
        if (m_media == kHtml && m_style == Style::Report) {
            m_label = label.For(m_mode);
            value.AssignTo(m_text);
            name.AssignTo(m_name);
            m_pImp->WriteValueMeaning(m_label, m_text, m_name);
            return;
        }
    }
    // "value (name)", each up to its first zero character as the format of a joined text has it.
    m_joined = value.chars;
    m_joined += " (";
    m_joined += name.chars;
    m_joined += ')';
    Field(label, m_joined, nullptr, media);
}

void FieldWriter::NameFirstField(const FieldLabels& label, FieldText name, FieldText code, const char* attribute,
                                 uint16_t flags, uint8_t media) {
    if (!In(media))
        return;
    if (m_media == kXml) {
        m_label = label.xml;
        if ((flags & FieldDecl::kAttributeAfter) != 0) {
            m_pImp->WriteValue(m_label, code.AsString(m_text));
            Attribute(attribute, name);
        } else {
            m_attribute = attribute;
            m_pImp->WriteValueWithAttribute(m_label, code.AsString(m_text), m_attribute, name.AsString(m_name));
        }
        return;
    }
    m_joined = name.chars;
    m_joined += " (";
    m_joined += code.chars;
    m_joined += ')';
    if ((flags & FieldDecl::kFault) != 0)
        FaultField(label, m_joined, media);
    else
        Field(label, m_joined, nullptr, media);
}

void FieldWriter::CodeField(const FieldLabels& label, ULONG code, const CString& name, bool have) {
    if (!have)
        Field(label, LogOutputer::kUnknownText);
    else
        NameFirstField(label, name, Number(FieldFormat::Short, code), "Name", 0, kGrid | kXml);
}

void FieldWriter::RequestTitle(const char* category, const char* caption, const CString& name) {
    if (m_media != kGrid)
        return;
    // Kept from record to record: the caption needs no allocation once it has grown to size.
    static thread_local CString categoryText;
    categoryText = category;
    m_pImp->ShowCategory(categoryText);
    m_pImp->AddDescribedItem(caption, name, nullptr, true);
}

void FieldWriter::DescribedItem(const char* caption, const CString& value) {
    if (m_media == kGrid)
        m_pImp->AddDescribedItem(caption, value, nullptr, false);
}

void FieldWriter::HideCategories(std::initializer_list<const CString*> captions) {
    if (m_media != kGrid)
        return;
    for (const CString* caption : captions)
        m_pImp->HideCategory(*caption);
}

void FieldWriter::Attribute(const char* name, FieldText value) {
    if (m_media != kXml)
        return;
    m_attribute = name;
    m_pImp->AddAttribute(m_attribute, value.AsString(m_text));
}

void FieldWriter::Defect(const char* caption, const CString& text) {
    // Like every other row, a defect exists only in the three media: a red item in the grid, a field in the
    // mark-up media.
    if (m_media == 0)
        return;
    m_label = caption;
    if (m_media == kGrid) {
        m_pImp->AddReadOnlyItem(caption, text);
    } else {
        m_pImp->WriteValue(m_label, text);
    }
}

bool FieldWriter::NameOf(const FieldDecl& field, ULONG64 value, const FieldEnv& env) {
    if (field.attribute == nullptr && field.name == nullptr)
        return false;
    if (field.name != nullptr)
        m_name = field.name(env, value);
    else
        m_name = field.fixedName != nullptr ? field.fixedName : "";
    return true;
}

void FieldWriter::Value(const FieldDecl& field, ULONG64 value, const FieldEnv& env) {
    if (!In(field.media))
        return;
    const char* text = Number(field.format, value);
    if (!NameOf(field, value, env) || ((field.flags & FieldDecl::kPlainWithoutName) != 0 && m_name.IsEmpty())) {
        Field(field.label, text, field.tip);
        return;
    }
    if ((field.flags & FieldDecl::kNameInMarkupOnly) != 0) {
        AttributedField(field.label, text, field.attribute, m_name, field.tip);
        return;
    }
    if ((field.flags & FieldDecl::kNameInGridOnly) != 0) {
        if (m_media == kXml || m_name.IsEmpty()) {
            Field(field.label, text);
            return;
        }
        NamedField(field.label, text, field.attribute, m_name, FieldDecl::kNameInText);
        return;
    }
    NamedField(field.label, text, field.attribute, m_name, field.flags);
}

void FieldWriter::Missing(const FieldDecl& field) {
    if (!In(field.media))
        return;
    if (field.attribute != nullptr && (field.flags & FieldDecl::kNameInMarkupOnly) != 0)
        AttributedField(field.label, LogOutputer::kUnknownText, field.attribute, field.fixedName, field.tip);
    else if (field.attribute != nullptr && (field.flags & FieldDecl::kNameWhenMissing) != 0)
        NamedField(field.label, LogOutputer::kUnknownText, field.attribute, LogOutputer::kUnknownText, field.flags);
    else
        Field(field.label, LogOutputer::kUnknownText, field.tip);
}

void FieldWriter::Fields(std::span<const FieldDecl> fields, ULONG64 value) {
    for (const FieldDecl& field : fields)
        Value(field, field.Extract(value));
}

bool FieldWriter::Fields(std::span<const FieldDecl> fields, tdl::ByteReader& reader, FieldWalk walk,
                         const void* extra) {
    bool complete = true;
    for (const FieldDecl& field : fields) {
        if (complete && reader.Remaining() < field.size) {
            complete = false;
            if (walk == FieldWalk::Stop)
                return false;
            if ((field.flags & FieldDecl::kCountsPartial) != 0)
                reader.Skip(reader.Remaining());
        }
        if (!complete) {
            Missing(field);
            continue;
        }
        const uint8_t* at = reader.Current();
        reader.Skip(field.size);
        if (m_media == 0)
            continue;
        const ULONG64 number =
            field.size <= 8 ? field.Extract(LoadNumber(at, field.size, (field.flags & FieldDecl::kBigEndian) != 0)) : 0;
        if (field.value == nullptr) {
            Value(field, number, FieldEnv{reader.Data(), reader.Size(), extra});
            continue;
        }
        // A value of its own making: named as any other.
        const CString text = field.value(m_mode, at);
        if (!NameOf(field, number, FieldEnv{reader.Data(), reader.Size(), extra}) ||
            ((field.flags & FieldDecl::kPlainWithoutName) != 0 && m_name.IsEmpty())) {
            Field(field.label, text);
        } else {
            NamedField(field.label, text, field.attribute, m_name, field.flags);
        }
    }
    return complete;
}

bool FieldWriter::PayloadField(const FieldDecl& field, size_t base) {
    ULONG64 raw = 0;
    const size_t offset = base + field.offset;
    const bool have = ReadNumber(offset, field.size, raw);
    if (!have) {
        Missing(field);
        return false;
    }
    Value(field, field.Extract(raw), FieldEnv{DataAt(offset), BytesFrom(offset), nullptr});
    return true;
}

bool FieldWriter::PayloadFields(std::span<const FieldDecl> fields, size_t base) {
    bool all = true;
    for (const FieldDecl& field : fields)
        all = PayloadField(field, base) && all;
    return all;
}

void FieldWriter::FieldAt(const FieldDecl& field, const uint8_t* structure) {
    if (m_media == 0)
        return;
    const uint8_t* at = structure + field.offset;
    if (field.format != FieldFormat::ByteList) {
        Value(field, field.Extract(LoadNumber(at, field.size, (field.flags & FieldDecl::kBigEndian) != 0)),
              FieldEnv{structure, static_cast<size_t>(field.offset) + field.size, nullptr});
        return;
    }
    const bool prefix = Prefixed();
    m_joined.SetString(nullptr, 0);
    for (uint8_t i = 0; i < field.size; ++i) {
        char digits[8];
        char* out = digits;
        if (i != 0) {
            *out++ = ',';
            if (prefix)
                *out++ = ' ';
        }
        if (prefix) {
            *out++ = '0';
            *out++ = 'x';
        }
        out = PutHex(out, at[i], 2);
        m_joined.Append(digits, static_cast<int>(out - digits));
    }
    Field(field.label, m_joined);
}

void FieldWriter::Open(FieldSection kind, const FieldLabels& title, const char* value, uint8_t media,
                       const char* attribute) {
    if (!In(media))
        return;
    const char* caption = title.For(m_mode);
    switch (kind) {
    case FieldSection::Category:
    case FieldSection::Block:
        if (kind == FieldSection::Category)
            m_bSectionMarkupClosed = false;
        if (m_media == kXml && attribute != nullptr) {
            m_label = title.xml;
            m_name = attribute;
            m_text = value;
            m_pImp->BeginSection(m_label, m_name, m_text);
        } else if (m_media == kXml) {
            m_label = title.xml;
            m_pImp->BeginElement(m_label);
        } else if (kind == FieldSection::Category) {
            m_pImp->BeginCategory(title.For(OUTPUT_MODE_GRID));
        } else {
            m_pImp->BeginValueGroup(title.For(OUTPUT_MODE_GRID), value);
        }
        break;
    case FieldSection::GridGroup:
        if (m_media == kGrid)
            m_pImp->BeginValueGroup(caption, value);
        break;
    case FieldSection::Element:
        if (m_media == kXml) {
            m_label = title.xml;
            m_pImp->BeginElement(m_label);
        }
        break;
    case FieldSection::GridCategory:
        if (m_media == kGrid) {
            m_pImp->BeginCategory(caption);
            break;
        }
        [[fallthrough]];
    case FieldSection::Table:
        if (m_media == kGrid) {
            m_pImp->BeginValueGroup(caption, value);
        } else if (m_media == kXml) {
            m_label = caption;
            m_pImp->BeginElement(m_label);
        } else if (m_media == kHtml) {
            m_label = caption;
            m_text = value;
            m_pImp->BeginTable(true);
            m_pImp->WriteHeaderRow(m_label, m_text);
        }
        break;
    case FieldSection::Subsection: OpenSubsection(title, "", value); break;
    case FieldSection::PlainGroup:
        if (m_media == kGrid) {
            m_pImp->BeginGroup(caption, "");
        } else if (m_media != 0) {
            m_label = caption;
            m_text = "";
            if (m_media == kXml)
                m_pImp->BeginElement(m_label);
            else
                m_pImp->WriteValue(m_label, m_text);
        }
        break;
    }
}

void FieldWriter::OpenEntry(const FieldLabels& title, const char* attribute, const char* attributeValue,
                            const char* gridValue) {
    if (m_media == kXml) {
        m_label = title.xml;
        m_name = attribute;
        m_text = attributeValue;
        m_pImp->BeginElementWithAttribute(m_label, m_name, m_text);
    } else if (m_media != 0) {
        m_pImp->BeginValueGroup(title.For(OUTPUT_MODE_GRID), gridValue);
    }
}

void FieldWriter::OpenPart(const char* element, const char* attribute, const CString& title) {
    if (m_media == kHtml) {
        m_pImp->BeginIndent();
        m_pImp->WriteSubHeading(title);
        return;
    }
    m_label = element;
    m_name = attribute;
    m_pImp->BeginElementWithAttribute(m_label, m_name, title);
}

void FieldWriter::ClosePart() {
    if (m_media == kHtml)
        m_pImp->EndIndent();
    else
        m_pImp->EndElement();
}

void FieldWriter::OpenSubsection(const FieldLabels& title, const char* attribute, const char* value, uint8_t media) {
    if (!In(media))
        return;
    m_label = title.For(m_mode);
    m_text = value;
    switch (m_media) {
    case kGrid: m_pImp->BeginValueGroup(m_label, value); break;
    case kXml:
        m_name = attribute;
        m_pImp->BeginSection(m_label, m_name, m_text);
        break;
    case kHtml:
        // The rows stay in the table of the section around them.
        m_pImp->WriteHeaderRow(m_label, m_text);
        break;
    default: break;
    }
}

void FieldWriter::Close(FieldSection kind, uint8_t media) {
    if (!In(media))
        return;
    switch (kind) {
    case FieldSection::Category:
    case FieldSection::Block:
        // A category whose element ended early closes its grid side alone.
        if (m_media != kXml)
            m_pImp->ExpandCurrent();
        else if (kind == FieldSection::Block || !m_bSectionMarkupClosed)
            m_pImp->EndElement();
        if (kind == FieldSection::Category)
            m_bSectionMarkupClosed = false;
        m_pImp->EndGroup();
        if (kind == FieldSection::Block)
            FlushDataBar();
        break;
    case FieldSection::GridGroup:
        if (m_media != kGrid)
            break;
        m_pImp->ExpandCurrent();
        m_pImp->EndGroup();
        FlushDataBar();
        break;
    case FieldSection::Element:
        if (m_media == kXml)
            m_pImp->EndElement();
        break;
    case FieldSection::GridCategory:
        if (m_media == kGrid) {
            m_pImp->EndGroup();
            break;
        }
        [[fallthrough]];
    case FieldSection::Table:
        Close(FieldSection::Subsection);
        if (m_media == kHtml)
            m_pImp->EndTable(true);
        break;
    case FieldSection::Subsection:
    case FieldSection::PlainGroup:
        if (m_media == kGrid) {
            m_pImp->ExpandCurrent();
            m_pImp->EndGroup();
        } else if (m_media == kXml) {
            m_pImp->EndElement();
        }
        break;
    }
}

void FieldWriter::EndSectionMarkup() {
    if (m_media == kXml && !m_bSectionMarkupClosed) {
        m_pImp->EndElement();
        m_bSectionMarkupClosed = true;
    }
}

void FieldWriter::EmptyCategory(const char* title) {
    if (m_media != kGrid)
        return;
    m_pImp->BeginCategory(title);
    m_pImp->ExpandCurrent();
    m_pImp->EndGroup();
}

void FieldWriter::BufferItem(const char* caption, const BYTE* bytes, ULONG count, const CString& barCaption) {
    if (m_media != kGrid)
        return;
    m_pImp->AddDataBufferItem(caption);
    if (count == 0 || bytes == nullptr)
        return;
    m_pBarBytes = bytes;
    m_nBarBytes = count;
    m_barCaption = barCaption;
}

void FieldWriter::DataBuffer(const char* caption, const CString& title, const BYTE* bytes, ULONG count) {
    if (m_media != kGrid)
        return;
    m_pImp->AddDataBufferItem(caption);
    if (!title.IsEmpty())
        SetDataBar(title, bytes, count);
}

void FieldWriter::FlushDataBar() {
    if (!m_pBarBytes)
        return;
    const ULONG record = m_pRecordDecoder != nullptr ? m_pRecordDecoder->GetDecode().GetSequenceNumber() : 0;
    ShowInDataBar(m_barCaption, m_pBarBytes, m_nBarBytes, m_nBarBytes, record);
    m_pBarBytes = nullptr;
    m_nBarBytes = 0;
}
