#include "app/decoders/descriptors/DescOutputer.h"

#include <algorithm>

#include "app/decoders/framework/OutputerImp.h"

namespace {

bool HasPrefix(int mode) {
    return mode == OUTPUT_MODE_GRID || mode == OUTPUT_MODE_HTML;
}

ULONG LoadNumber(const uint8_t* p, unsigned width) {
    switch (width) {
    case 1:
        return p[0];
    case 2:
        return tdl::LoadLe<USHORT>(p);
    default:
        return tdl::LoadLe<ULONG>(p);
    }
}

} // namespace

const char* DescLabel::For(int mode) const {
    const char* gridLabel = grid != nullptr ? grid : xml;
    switch (mode) {
    case OUTPUT_MODE_GRID:
        return gridLabel;
    case OUTPUT_MODE_HTML:
        return html != nullptr ? html : gridLabel;
    default:
        return xml;
    }
}

DescOutputer::DescOutputer(OutputerImp* pImp, CUSBLog* pContext, const BYTE* pBytes, ULONG count)
    : Outputer(pImp, pContext), m_pBytes(pBytes), m_Count(pBytes != nullptr ? count : 0) {}

DescOutputer::~DescOutputer() = default;

const char* DescOutputer::ByteFormat(int mode) {
    return HasPrefix(mode) ? "0x%02x" : "%02x";
}

const char* DescOutputer::WordFormat(int mode) {
    return HasPrefix(mode) ? "0x%04x" : "%04x";
}

const char* DescOutputer::DwordFormat(int mode) {
    return HasPrefix(mode) ? "0x%08x" : "%08x";
}

CString DescOutputer::VersionText(USHORT bcd) {
    CString text;
    if (bcd > 0x0FFF)
        text.Format("%d", (bcd >> 12) & 0xF);
    text.AppendFormat("%d.%d", (bcd >> 8) & 0xF, (bcd >> 4) & 0xF);
    if ((bcd & 0xF) != 0)
        text.AppendFormat(".%d", bcd & 0xF);
    return text;
}

CString DescOutputer::VersionFieldText(const DescFieldEnv&, ULONG bcd) {
    return VersionText(static_cast<USHORT>(bcd));
}

CString DescOutputer::FormatNumber(int mode, unsigned width, ULONG value) {
    CString text;
    switch (width) {
    case 1:
        text.Format(ByteFormat(mode), static_cast<unsigned>(value & 0xFF));
        break;
    case 2:
        text.Format(WordFormat(mode), static_cast<unsigned>(value & 0xFFFF));
        break;
    default:
        text.Format(DwordFormat(mode), static_cast<unsigned>(value));
        break;
    }
    return text;
}

void DescOutputer::BeginSection(int mode, const CString& title, const CString& value) {
    switch (mode) {
    case OUTPUT_MODE_GRID:
        m_pImp->BeginValueGroup(title, value);
        break;
    case OUTPUT_MODE_XML:
        m_pImp->BeginElement(title);
        break;
    case OUTPUT_MODE_HTML:
        m_pImp->BeginTable(true);
        m_pImp->WriteHeaderRow(title, value);
        break;
    default:
        break;
    }
}

void DescOutputer::EndSection(int mode) {
    // A section closes as a subsection does, and in HTML ends the table it began.
    EndSubsection(mode);
    if (mode == OUTPUT_MODE_HTML)
        m_pImp->EndTable(true);
}

void DescOutputer::BeginSubsection(int mode, const CString& title, const CString& attributeName, const CString& value) {
    switch (mode) {
    case OUTPUT_MODE_GRID:
        m_pImp->BeginValueGroup(title, value);
        break;
    case OUTPUT_MODE_XML:
        m_pImp->BeginSection(title, attributeName, value);
        break;
    case OUTPUT_MODE_HTML:
        // The rows stay in the table of the section around them.
        m_pImp->WriteHeaderRow(title, value);
        break;
    default:
        break;
    }
}

void DescOutputer::EndSubsection(int mode) {
    switch (mode) {
    case OUTPUT_MODE_GRID:
        m_pImp->ExpandCurrent();
        m_pImp->EndGroup();
        break;
    case OUTPUT_MODE_XML:
        m_pImp->EndElement();
        break;
    default:
        break;
    }
}

void DescOutputer::OutputField(int mode, const CString& label, const CString& value) {
    switch (mode) {
    case OUTPUT_MODE_GRID:
        m_pImp->AddItem(label, value, nullptr);
        break;
    case OUTPUT_MODE_XML:
    case OUTPUT_MODE_HTML:
        m_pImp->WriteValue(label, value);
        break;
    default:
        break;
    }
}

void DescOutputer::OutputFieldWithText(int mode, const CString& label, const CString& value,
                                       const CString& attributeName, const CString& text) {
    switch (mode) {
    case OUTPUT_MODE_GRID: {
        CString joined;
        joined.Format("%s (%s)", value.GetString(), text.GetString());
        m_pImp->AddItem(label, joined, nullptr);
        break;
    }
    case OUTPUT_MODE_XML:
        m_pImp->WriteValueWithAttribute(label, value, attributeName, text);
        break;
    case OUTPUT_MODE_HTML:
        m_pImp->WriteValueMeaning(label, value, text);
        break;
    default:
        break;
    }
}

void DescOutputer::OpenSection(int mode, const CString& title, const CString& value, DescLayout layout) {
    if (layout == DescLayout::Nested)
        return;
    if (layout == DescLayout::Grouped && mode == OUTPUT_MODE_GRID)
        m_pImp->BeginCategory(title);
    else
        BeginSection(mode, title, value);
}

void DescOutputer::CloseSection(int mode, DescLayout layout) {
    if (layout == DescLayout::Nested)
        return;
    if (layout == DescLayout::Grouped && mode == OUTPUT_MODE_GRID)
        m_pImp->EndGroup();
    else
        EndSection(mode);
}

ULONG DescOutputer::OutputLayout(int mode, const CString& title, const CString& value, DescLayout layout,
                                 std::span<const DescField> fields) {
    OpenSection(mode, title, value, layout);
    tdl::ByteReader reader = Reader();
    OutputFields(mode, fields, reader, DescStyle::Placeholder);
    CloseSection(mode, layout);
    return static_cast<ULONG>(reader.Position());
}

void DescOutputer::OutputMissing(int mode, const DescField& field) {
    const char* label = field.label.For(mode);
    if (field.attribute != nullptr && (field.flags & DescField::kTextWhenMissing) != 0)
        OutputFieldWithText(mode, label, kMissing, field.attribute, kMissing);
    else
        OutputField(mode, label, kMissing);
}

bool DescOutputer::OutputFields(int mode, std::span<const DescField> fields, tdl::ByteReader& reader, DescStyle style,
                                const void* extra) {
    bool complete = true;
    for (const DescField& field : fields) {
        if (complete && reader.Remaining() < field.width) {
            complete = false;
            if (style == DescStyle::Stop)
                return false;
            if ((field.flags & DescField::kCountsPartial) != 0)
                reader.Skip(reader.Remaining());
        }
        if (!complete) {
            OutputMissing(mode, field);
            continue;
        }
        const uint8_t* at = reader.Current();
        reader.Skip(field.width);
        const ULONG number = field.width <= 4 ? LoadNumber(at, field.width) : 0;
        const CString value = field.value != nullptr ? field.value(mode, at) : FormatNumber(mode, field.width, number);
        const char* label = field.label.For(mode);
        if (field.attribute == nullptr) {
            OutputField(mode, label, value);
            continue;
        }
        CString text = field.fixedText != nullptr ? CString(field.fixedText) : CString();
        if (field.text != nullptr)
            text = field.text(DescFieldEnv{reader.Data(), reader.Size(), extra}, number);
        if (text.IsEmpty() && (field.flags & DescField::kPlainWithoutText) != 0)
            OutputField(mode, label, value);
        else
            OutputFieldWithText(mode, label, value, field.attribute, text);
    }
    return complete;
}

void DescOutputer::OutputPortBitmap(int mode, const char* title, size_t offset, size_t size, BYTE ports,
                                    bool attachment) {
    BeginSubsection(mode, title, "", "");
    const size_t bits = std::min<size_t>(size * 8, static_cast<size_t>(ports) + 1);
    for (size_t bit = 0; bit < bits; ++bit) {
        const int set = (m_pBytes[offset + bit / 8] >> (bit % 8)) & 1;
        CString label, value;
        if (bit == 0)
            label = "bit.0.Reserved_0";
        else
            label.Format("bit.%d.Port_%d", static_cast<int>(bit), static_cast<int>(bit));
        value.Format("%d", set);
        if (bit == 0 || !attachment)
            OutputField(mode, label, value);
        else
            OutputFieldWithText(mode, label, value, "Attachment", set ? "nonRemovable" : "removable");
    }
    EndSubsection(mode);
}
