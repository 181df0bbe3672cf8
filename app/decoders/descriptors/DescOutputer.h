// DescOutputer: the base of every USB descriptor decoder. A decoder is handed descriptor bytes as a device
// returned them, and how many of them there are, and writes the descriptor field by field in one of the
// three output modes. Nothing in the bytes is trusted: every read is bounded by the count, and bLength only
// chooses what to show. The section and field operations here turn one logical row into each medium's calls;
// any other mode makes them do nothing.
#pragma once

#include <span>

#include "app/decoders/descriptors/DescField.h"
#include "app/decoders/framework/Outputer.h"
#include "common/ByteReader.h"

// What a decoder does with a field its bytes do not cover: show it valued "???" and go on (every later
// field is "???" too), or stop and close its section.
enum class DescStyle { Placeholder, Stop };

// Where a decoder's fields go: a section of its own, a grid category captioned with the title alone (the
// device properties pane's layout, only in the grid), or the section its caller has open.
enum class DescLayout { Section, Grouped, Nested };

class DescOutputer : public Outputer {
public:
    DescOutputer(OutputerImp* pImp, CUSBLog* pContext, const BYTE* pBytes, ULONG count);
    ~DescOutputer() override;

    // Bytes and little-endian words as the mode shows numbers: with "0x" in the grid and the HTML report,
    // bare in the XML report.
    static const char* ByteFormat(int mode);
    static const char* WordFormat(int mode);
    static const char* DwordFormat(int mode);
    // A release number in binary-coded decimal: 0x0200 is 2.0, 0x0201 is 2.0.1, 0x1234 is 12.3.4.
    static CString VersionText(USHORT bcd);
    // VersionText as a field's text.
    static CString VersionFieldText(const DescFieldEnv& env, ULONG bcd);
    // The value shown for a field whose bytes are not there.
    static constexpr const char* kMissing = "???";

protected:
    void BeginSection(int mode, const CString& title, const CString& value);
    void EndSection(int mode);
    void BeginSubsection(int mode, const CString& title, const CString& attributeName, const CString& value);
    void EndSubsection(int mode);
    void OutputField(int mode, const CString& label, const CString& value);
    void OutputFieldWithText(int mode, const CString& label, const CString& value, const CString& attributeName,
                             const CString& text);

    // Opens and closes the decoder's own section in the given layout. The grouped layout is the grid's; in
    // the mark-up media it is an ordinary section.
    void OpenSection(int mode, const CString& title, const CString& value, DescLayout layout);
    void CloseSection(int mode, DescLayout layout);
    static DescLayout LayoutOf(bool grouped, bool nested = false) {
        return nested ? DescLayout::Nested : grouped ? DescLayout::Grouped : DescLayout::Section;
    }

    // Emits `fields` in order from the reader's position, each read only when its bytes are there. Returns
    // whether every field was; in the stop style nothing follows the first one that was not.
    bool OutputFields(int mode, std::span<const DescField> fields, tdl::ByteReader& reader, DescStyle style,
                      const void* extra = nullptr);
    // A whole fixed layout in its own section in the placeholder style; returns the bytes read.
    ULONG OutputLayout(int mode, const CString& title, const CString& value, DescLayout layout,
                       std::span<const DescField> fields);
    // A hub's bitmap of ports under its own subsection: one row per bit up to the bit of the last port, bit 0
    // reserved; the removable bitmap's rows say whether each port's device can be removed. The bitmap's
    // `size` bytes at `offset` are within the count.
    void OutputPortBitmap(int mode, const char* title, size_t offset, size_t size, BYTE ports, bool attachment);
    // One field, valued "???" (with the text "???" too where the field keeps its attribute when missing).
    void OutputMissing(int mode, const DescField& field);
    // A number in the format of the field's width.
    static CString FormatNumber(int mode, unsigned width, ULONG value);

    tdl::ByteReader Reader() const { return tdl::ByteReader(m_pBytes, m_Count); }

    const BYTE* const m_pBytes;
    const ULONG m_Count;
};
