// IoctlFields: what every IOCTL and call decoder writes its body with, so that all of them show a value,
// a field, a section and a cut record alike.
//
// - Value texts by width: "0x" in the grid (mode 1) only.
// - A field: a mark-up value in mode 0, a grid item in the other modes (the HTML back-end ignores those).
// - Sections: the outer section of a code (a category, or in mode 0 an element), an inner group that only
//   the grid shows (its fields go straight into the current element in mode 0), a data section (a value
//   group, or in mode 0 an element of its own), and the empty category a code shows on a side where it
//   carries nothing (grid only).
// - Short records: a decoder names the bytes the driver always writes whole for the record's code, side and
//   outcome ("needed"). A field inside them that the payload does not cover shows "???", and the first such
//   field of the record is preceded by one "Truncated" defect; fields past them (the device's answer) are
//   the decoder's own size rules and never count as a cut.
// - Data bytes: in mode 0 one hex value; in mode 1 a buffer item, and the bytes go to the data bar as soon
//   as the group that holds the item is closed.
//
// One object serves one decoding pass of one record; it reads nothing past the record's DataSize.
#pragma once

#include <afx.h>

#include <cstddef>
#include <cstdint>
#include <span>

#include "app/decoders/framework/LogOutputer.h"

class OutputerImp;

// The printed width of a number.
enum class IoctlWidth {
    U8,    // "0x%02x" / "%02x"
    U16,   // "0x%04x" / "%04x"
    U32,   // "0x%08x" / "%08x"
    Short, // "0x%x" / "%08x": counts and port numbers
    U64,   // "0x%I64x" / "%I64x": addresses, handles, contexts
};

// Bytes a field of the width takes in a record.
size_t IoctlWidthBytes(IoctlWidth width);
// The number in the mode's form. A value wider than its width keeps all its digits.
CString IoctlValueText(int mode, IoctlWidth width, ULONG64 value);
// "TRUE" or "FALSE".
CString IoctlBoolText(bool value);
// One bit of a value, "0" or "1".
CString IoctlBitText(ULONG value, ULONG bit);
// Bytes as two lower-case hex digits each, no separators (the mark-up form of data bytes).
CString IoctlHexText(const BYTE* bytes, ULONG count);
// UTF-16LE text up to its first zero character or the end of the bytes (an odd last byte ignored), in the
// program's narrow character set.
CString IoctlWideText(const BYTE* bytes, size_t count);
// Sends bytes to the data bar under the title "  <caption> - record #<record>   (<shown> of <total> bytes)".
void IoctlShowInDataBar(const CString& caption, const BYTE* bytes, ULONG total, ULONG shown, ULONG record);
// Sends bytes to the data bar under a title the caller made whole.
void IoctlSetDataBar(const CString& title, const BYTE* bytes, ULONG count);

// An IOCTL's display name: `prefix` and the bare name from the record decode's table, or `unnamedFormat`
// with the code ("HID_IOCTL_%X") when the table has no name.
CString IoctlDisplayName(const CString& bareName, ULONG code, LPCSTR prefix, LPCSTR unnamedFormat);
// The mark-up function word of an IOCTL record: "Function" = the code as "%08x", with the attribute "Name".
void WriteIoctlFunctionCode(OutputerImp* pImp, ULONG code, const CString& name);

// One code's operation in a decoder's table: (mode, payload length, payload).
template <class Decoder, class Result = void> struct IoctlOperation {
    ULONG code;
    Result (Decoder::*operation)(int, ULONG, const BYTE*);
};
// The table's entry for `code` (the whole word compared), or null.
template <class Decoder, class Result, size_t N>
const IoctlOperation<Decoder, Result>* FindIoctlOperation(const IoctlOperation<Decoder, Result> (&table)[N],
                                                          ULONG code) {
    for (const IoctlOperation<Decoder, Result>& entry : table)
        if (entry.code == code)
            return &entry;
    return nullptr;
}
// Runs the table's operation for `code` over the decoder's payload; false when the table has none.
template <class Decoder, size_t N>
bool RunIoctlOperation(Decoder& decoder, const IoctlOperation<Decoder> (&table)[N], ULONG code, int mode) {
    const IoctlOperation<Decoder>* entry = FindIoctlOperation(table, code);
    if (!entry)
        return false;
    const std::span<const uint8_t> payload = decoder.GetDecode().GetPayload();
    (decoder.*entry->operation)(mode, static_cast<ULONG>(payload.size()), payload.data());
    return true;
}
// The same for operations that answer a number: what the record's code's operation returns, 0 for a code
// the table does not list.
template <class Decoder, size_t N>
int IoctlDispatch(Decoder& decoder, const IoctlOperation<Decoder, int> (&table)[N], const CLogRecordDecode& decode,
                  int mode) {
    const IoctlOperation<Decoder, int>* entry = FindIoctlOperation(table, decode.GetFunctionWord());
    if (!entry)
        return 0;
    const std::span<const uint8_t> payload = decode.GetPayload();
    return (decoder.*entry->operation)(mode, static_cast<ULONG>(payload.size()), payload.data());
}

class IoctlFields {
public:
    // The payload of the decoder's record, read for one pass in `mode`. `needed`: the bytes the driver always
    // writes whole for the record (0 when none are).
    IoctlFields(LogOutputer& decoder, int mode, ULONG needed = 0);
    IoctlFields(const IoctlFields&) = delete;
    IoctlFields& operator=(const IoctlFields&) = delete;

    int Mode() const { return m_mode; }
    bool IsMarkup() const { return m_mode == OUTPUT_MODE_XML; }
    bool IsGrid() const { return m_mode == OUTPUT_MODE_GRID; }
    // Whether a descriptor carried in the record goes to its descriptor decoder: in the grid and the mark-up.
    // Not in the HTML report, where a record shows no body and a descriptor decoder would add tables of its own.
    bool ShowsDescriptors() const { return IsGrid() || IsMarkup(); }
    OutputerImp* Imp() const { return m_pImp; }

    // --- reading ---
    // The payload bytes the record holds.
    ULONG Size() const { return static_cast<ULONG>(m_payload.size()); }
    bool IsEmpty() const { return m_payload.empty(); }
    ULONG Needed() const { return m_needed; }
    void SetNeeded(ULONG needed) { m_needed = needed; }
    // The bytes from `offset` to the end of the payload (0 when it ends before), and where they start
    // (null then).
    ULONG BytesFrom(size_t offset) const;
    const BYTE* DataAt(size_t offset) const;
    // A value at a payload offset. When the payload does not hold it: false, and when the field lies within
    // the needed bytes, the record's one truncation defect first.
    template <class T> bool Read(size_t offset, T& out) {
        if (m_decoder.GetDecode().ReadPayload(offset, out))
            return true;
        if (offset + sizeof(T) <= m_needed)
            ReportTruncation();
        return false;
    }
    // A number of the width (zero-extended) under the same rule.
    bool ReadValue(size_t offset, IoctlWidth width, ULONG64& value);
    // After a block whose fields all were there: the defect, when the payload still ends inside the needed
    // bytes.
    void EndOfBlock();
    // How many of `count` elements of `elementSize` bytes from `offset` the payload holds; fewer than asked
    // is a cut, reported once.
    ULONG CountWithin(size_t offset, ULONG count, size_t elementSize);
    // The record's one "Truncated" defect ("%u of %u payload bytes"; by default the needed bytes).
    void ReportTruncation();
    void ReportTruncation(size_t needed);

    // --- fields ---
    // The number's text, or "???" when it was not read.
    CString Text(IoctlWidth width, ULONG64 value, bool have = true) const;
    // One field: mode 0 WriteValue(element, value); other modes AddItem(label, value, tip).
    void Field(LPCSTR label, LPCSTR element, const CString& value, LPCSTR tip = nullptr);
    void Field(LPCSTR name, const CString& value) { Field(name, name, value); }
    // A field whose mark-up value carries one attribute (a unit, a direction): mode 0
    // WriteValueWithAttribute; other modes AddItem(label, value, tip).
    void AttributedField(LPCSTR label, LPCSTR element, const CString& value, LPCSTR attributeName,
                         const CString& attributeValue, LPCSTR tip = nullptr);
    // A number read from the payload, "???" when the payload does not hold it; true when read.
    bool ValueField(LPCSTR label, LPCSTR element, IoctlWidth width, size_t offset);
    bool ValueField(LPCSTR name, IoctlWidth width, size_t offset) { return ValueField(name, name, width, offset); }
    // A number read from the payload whose mark-up value carries one attribute.
    bool AttributedValueField(LPCSTR label, LPCSTR element, IoctlWidth width, size_t offset, LPCSTR attributeName,
                              const CString& attributeValue, LPCSTR tip = nullptr);
    // A field of the grid media alone (mode 0 leaves it out).
    void GridField(LPCSTR label, const CString& value, LPCSTR tip = nullptr);
    // A code with its name: mode 1 "%s (%s)" of the name and the code in short hex; mode 0 the code as
    // "%08x" with the attribute "Name"; mode 2 nothing. "???" alone when the code was not read.
    void NamedCodeField(LPCSTR name, ULONG code, const CString& codeName, bool have = true);

    // --- sections ---
    // The outer section of a code: mode 0 BeginElement(element), other modes BeginCategory(title).
    void OpenSection(LPCSTR title, LPCSTR element);
    // Mode 0 only: closes the outer element early, so that a data section follows it as the next element.
    void EndSectionMarkup();
    // Mode 0 EndElement (unless closed early), other modes ExpandCurrent; then EndGroup.
    void CloseSection();
    // A side on which the code carries nothing: the titled category, empty, in mode 1; nothing elsewhere.
    void EmptyCategory(LPCSTR title);
    // A group only the grid shows: BeginValueGroup(title, "") in mode 1, nothing in other modes.
    void OpenInnerGroup(LPCSTR title);
    void CloseInnerGroup();
    // A data section: mode 0 BeginElement(element), other modes BeginValueGroup(title, "").
    void OpenDataSection(LPCSTR title, LPCSTR element);
    void CloseDataSection();
    // In mode 1 a buffer item in the current group; the bytes (when there are any) go to the data bar with
    // the caption once that group is closed. Nothing in other modes.
    void BufferItem(LPCSTR caption, const BYTE* bytes, ULONG count, const CString& barCaption);

private:
    // Shows the buffer waiting for its group to close.
    void FlushDataBar();

    LogOutputer& m_decoder;
    OutputerImp* m_pImp;
    int m_mode;
    ULONG m_needed;
    std::span<const uint8_t> m_payload;
    bool m_bSectionMarkupClosed = false;
    // The buffer item's bytes waiting for the data bar.
    const BYTE* m_pBarBytes = nullptr;
    ULONG m_nBarBytes = 0;
    CString m_barCaption;
};
