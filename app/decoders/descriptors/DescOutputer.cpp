#include "app/decoders/descriptors/DescOutputer.h"

#include <algorithm>
#include <cstdio>

DescOutputer::DescOutputer(OutputerImp* pImp, CUSBLog* pContext, const BYTE* pBytes, ULONG count)
    : Outputer(pImp, pContext), m_pBytes(pBytes), m_Count(pBytes != nullptr ? count : 0) {}

DescOutputer::~DescOutputer() = default;

CString DescOutputer::VersionText(USHORT bcd) {
    CString text;
    if (bcd > 0x0FFF)
        text.Format("%d", (bcd >> 12) & 0xF);
    text.AppendFormat("%d.%d", (bcd >> 8) & 0xF, (bcd >> 4) & 0xF);
    if ((bcd & 0xF) != 0)
        text.AppendFormat(".%d", bcd & 0xF);
    return text;
}

CString DescOutputer::VersionFieldText(const FieldEnv&, ULONG64 bcd) {
    return VersionText(static_cast<USHORT>(bcd));
}

void DescOutputer::OpenSection(FieldWriter& fields, const CString& title, const CString& value, DescLayout layout) {
    if (layout == DescLayout::Nested)
        return;
    const FieldLabels labels(title, title, title);
    fields.Open(layout == DescLayout::Grouped ? FieldSection::GridCategory : FieldSection::Table, labels, value);
}

void DescOutputer::CloseSection(FieldWriter& fields, DescLayout layout) {
    if (layout == DescLayout::Nested)
        return;
    fields.Close(layout == DescLayout::Grouped ? FieldSection::GridCategory : FieldSection::Table);
}

ULONG DescOutputer::OutputLayout(int mode, const CString& title, const CString& value, DescLayout layout,
                                 std::span<const FieldDecl> fields) {
    FieldWriter writer(*this, mode);
    OpenSection(writer, title, value, layout);
    tdl::ByteReader reader = Reader();
    writer.Fields(fields, reader, FieldWalk::Placeholder);
    CloseSection(writer, layout);
    return static_cast<ULONG>(reader.Position());
}

void DescOutputer::OutputPortBitmap(FieldWriter& fields, const char* title, size_t offset, size_t size, BYTE ports,
                                    bool attachment) {
    fields.OpenSubsection(title, "", "");
    const size_t bits = std::min<size_t>(size * 8, static_cast<size_t>(ports) + 1);
    for (size_t bit = 0; bit < bits; ++bit) {
        const int set = (m_pBytes[offset + bit / 8] >> (bit % 8)) & 1;
        char label[32] = "bit.0.Reserved_0";
        if (bit != 0)
            std::snprintf(label, sizeof label, "bit.%d.Port_%d", static_cast<int>(bit), static_cast<int>(bit));
        const char* value = set ? "1" : "0";
        if (bit == 0 || !attachment)
            fields.Field(label, value);
        else
            fields.NamedField(label, value, "Attachment", set ? "nonRemovable" : "removable");
    }
    fields.Close(FieldSection::Subsection);
}
