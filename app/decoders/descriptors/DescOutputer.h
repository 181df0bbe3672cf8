// DescOutputer: the base of every USB descriptor decoder. A decoder is handed descriptor bytes as a device
// returned them, and how many of them there are, and writes the descriptor field by field in one of the
// three output modes. Nothing in the bytes is trusted: every read is bounded by the count, and bLength only
// chooses what to show. A fixed layout is a table of FieldDecl rows that one FieldWriter walk writes in the
// mode's medium; any other mode writes nothing.
#pragma once

#include <span>

#include "app/decoders/framework/FieldWriter.h"
#include "app/decoders/framework/Outputer.h"
#include "common/ByteReader.h"

// Where a decoder's fields go: a section of its own, a grid category captioned with the title alone (the
// device properties pane's layout, only in the grid), or the section its caller has open.
enum class DescLayout { Section, Grouped, Nested };

class DescOutputer : public Outputer {
public:
    DescOutputer(OutputerImp* pImp, CUSBLog* pContext, const BYTE* pBytes, ULONG count);
    ~DescOutputer() override;

    // A release number in binary-coded decimal: 0x0200 is 2.0, 0x0201 is 2.0.1, 0x1234 is 12.3.4.
    static CString VersionText(USHORT bcd);
    // VersionText as a field's name.
    static CString VersionFieldText(const FieldEnv& env, ULONG64 bcd);
    // The value shown for a field whose bytes are not there.
    static constexpr const char* kMissing = "???";

protected:
    // Opens and closes the decoder's own section in the given layout. The grouped layout is the grid's; in
    // the mark-up media it is an ordinary section.
    static void OpenSection(FieldWriter& fields, const CString& title, const CString& value, DescLayout layout);
    static void CloseSection(FieldWriter& fields, DescLayout layout);
    static DescLayout LayoutOf(bool grouped, bool nested = false) {
        return nested ? DescLayout::Nested : grouped ? DescLayout::Grouped : DescLayout::Section;
    }

    // A whole fixed layout in its own section, every missing field "???"; returns the bytes read.
    ULONG OutputLayout(int mode, const CString& title, const CString& value, DescLayout layout,
                       std::span<const FieldDecl> fields);
    // A hub's bitmap of ports under its own subsection: one row per bit up to the bit of the last port, bit 0
    // reserved; the removable bitmap's rows say whether each port's device can be removed. The bitmap's
    // `size` bytes at `offset` are within the count.
    void OutputPortBitmap(FieldWriter& fields, const char* title, size_t offset, size_t size, BYTE ports,
                          bool attachment);

    tdl::ByteReader Reader() const { return tdl::ByteReader(m_pBytes, m_Count); }

    const BYTE* const m_pBytes;
    const ULONG m_Count;
};
