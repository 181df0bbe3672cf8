// FieldWriter: what every decoder writes its fields and sections with, so that all of them show a value, a
// field, a section and a cut record alike. It is the one place where the output mode picks an emit
// operation, a label and a number format: a decoder says what it shows (a field, a named value, a group of
// the grid alone) and the writer turns that into the medium's calls.
//
// - Styles: record decoders print hexadecimal numbers with "0x" in the grid only, and their HTML medium is
//   the grid's calls (which the HTML back-end does not draw); descriptors and device reports print "0x" in
//   the grid and the HTML report, and write HTML rows of their own.
// - Media: a field or section may be limited to some media (kGrid, kXml, kHtml); by default it is in all.
// - Short records: a record decoder names the bytes the driver always writes whole for the record's code,
//   side and outcome ("needed"). A field inside them that the payload does not cover shows "???", and the
//   first such field of the record is preceded by one "Truncated" defect; fields past them (the device's
//   answer) are the decoder's own size rules and never count as a cut.
// - Data bytes: in the grid a buffer item, whose bytes go to the data bar as soon as the group that holds
//   it is closed.
//
// One object serves one decoding pass in one mode; it reads nothing past the bytes it was given. Numbers are
// formatted into the writer's own buffers, so a field costs no allocation of its own.
#pragma once

#include <afx.h>

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <span>

#include "app/decoders/framework/FieldDecl.h"
#include "app/decoders/framework/LogOutputer.h"
#include "common/ByteReader.h"

class OutputerImp;

// A text handed to the writer: a character string, or a CString with its length (which may hold zero
// characters: the mark-up media write all of it, as they were given it).
struct FieldText {
    FieldText(const char* text) : chars(text != nullptr ? text : ""), length(-1) {}
    FieldText(const CString& text) : chars(text.GetString()), length(text.GetLength()), string(&text) {}
    void AssignTo(CString& out) const {
        if (length < 0)
            out = chars;
        else
            out.SetString(chars, length);
    }
    // The text as a CString: the caller's own when it gave one, else copied into `buffer`.
    const CString& AsString(CString& buffer) const {
        if (string != nullptr)
            return *string;
        AssignTo(buffer);
        return buffer;
    }
    const char* chars;
    int length; // -1: up to the terminator
    const CString* string = nullptr;
};

// The kinds of section a decoder opens; Close takes the same kind.
enum class FieldSection : uint8_t {
    Category,    // a grid category; mark-up: an element
    Block,       // a grid value group; mark-up: an element
    GridGroup,   // a grid value group; nothing elsewhere
    Element,     // a mark-up element; nothing elsewhere
    Table,       // a grid value group; XML: an element; HTML: a bordered table headed by title and value
    Subsection,  // a grid value group; XML: an element with one attribute; HTML: a header row in the table
    PlainGroup,  // a plain grid item holding the fields; XML: an element; HTML: a row naming the group
    GridCategory // a grid category without expanding; mark-up: a Table
};

// How a table of fields is walked over bytes: every missing field shown "???" (and every one after it), or
// stopping at the first missing one.
enum class FieldWalk { Placeholder, Stop };

class FieldWriter {
public:
    enum class Style {
        Record, // "0x" in the grid only; the HTML medium follows the grid
        Report, // "0x" in the grid and the HTML report, which has rows of its own
    };

    // A writer for a decoder without a record (descriptors, device reports).
    FieldWriter(Outputer& decoder, int mode, Style style = Style::Report);
    // A record decoder's writer over its payload. `needed`: the bytes the driver always writes whole for the
    // record (0 when none are).
    FieldWriter(LogOutputer& decoder, int mode, ULONG needed = 0);
    FieldWriter(const FieldWriter&) = delete;
    FieldWriter& operator=(const FieldWriter&) = delete;

    // The mode, for decoders this one hands its medium on to.
    int Mode() const { return m_mode; }
    // The mode in which a decoder of something a record carries (a descriptor, a command block) writes: the
    // record's own, or none in the HTML medium, where a record shows no tables of its own.
    int NestedMode() const;
    OutputerImp* Imp() const { return m_pImp; }
    // Whether the mode is one of the media: the decoders that stop where a medium has no place for them ask.
    bool In(uint8_t media) const { return (m_media & media) != 0; }

    // --- reading the record's payload ---
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
        if (tdl::LoadAt(m_payload.data(), m_payload.size(), offset, out))
            return true;
        if (offset + sizeof(T) <= m_needed)
            ReportTruncation();
        return false;
    }
    // The same for a field of some media only: elsewhere its absence is no cut.
    template <class T> bool Read(size_t offset, T& out, uint8_t media) {
        if (In(media))
            return Read(offset, out);
        return tdl::LoadAt(m_payload.data(), m_payload.size(), offset, out);
    }
    // A little-endian number of `size` bytes (1, 2, 4 or 8) under the same rule.
    bool ReadNumber(size_t offset, size_t size, ULONG64& value);
    // After a block whose fields all were there: the defect, when the payload still ends inside the needed
    // bytes.
    void EndOfBlock();
    // How many of `count` elements of `elementSize` bytes from `offset` the payload holds; fewer than asked
    // is a cut, reported once.
    ULONG CountWithin(size_t offset, ULONG count, size_t elementSize);
    // The record's one "Truncated" defect ("%u of %u payload bytes"; by default the needed bytes).
    void ReportTruncation();
    void ReportTruncation(size_t needed);

    // --- numbers ---
    // The number in the mode's form; "???" when it was not read. The text stays valid until the next number.
    const char* Number(FieldFormat format, ULONG64 value, bool have = true);
    CString Text(FieldFormat format, ULONG64 value, bool have = true) { return Number(format, value, have); }

    // --- fields ---
    // One field: XML WriteValue(xml label, value); grid AddItem(grid label, value, tip); HTML as its style
    // says (the grid's item, or a value row under the HTML label).
    void Field(const FieldLabels& label, FieldText value, const char* tip = nullptr, uint8_t media = kAllMedia);
    // A number as a field, "???" when it was not read.
    void NumberField(const FieldLabels& label, FieldFormat format, ULONG64 value, bool have = true,
                     uint8_t media = kAllMedia);
    // A number read from the payload as a field, "???" when the payload does not hold it; true when read.
    bool ValueField(const FieldLabels& label, FieldFormat format, size_t offset, uint8_t media = kAllMedia);
    // A field whose mark-up element carries one attribute (a unit, a direction) that the grid does not show.
    void AttributedField(const FieldLabels& label, FieldText value, const char* attribute, FieldText attributeValue,
                         const char* tip = nullptr, uint8_t media = kAllMedia);
    // A failing status: a red item in the grid, a plain field elsewhere.
    void FaultField(const FieldLabels& label, FieldText value, uint8_t media = kAllMedia);
    // A value with its name: grid "value (name)"; XML the value with the name as an attribute (after the
    // element with FieldDecl::kAttributeAfter); HTML "value (name)" in the report's row, or the grid's item.
    // With FieldDecl::kNameInText the value itself reads "value (name)" in every medium.
    void NamedField(const FieldLabels& label, FieldText value, const char* attribute, FieldText name,
                    uint16_t flags = 0, uint8_t media = kAllMedia);
    // A code with its name first: grid "name (code)"; XML the code with the name as an attribute (after the
    // element with FieldDecl::kAttributeAfter); HTML as its style says. With FieldDecl::kFault the grid's item
    // is red.
    void NameFirstField(const FieldLabels& label, FieldText name, FieldText code, const char* attribute = "Name",
                        uint16_t flags = 0, uint8_t media = kAllMedia);
    // The grid's title of a record's kind: the pane's category shown, and in place of what it held one item
    // naming the request. Nothing in other media.
    void RequestTitle(const char* category, const char* caption, const CString& name);
    // A further described item of the title (grid only).
    void DescribedItem(const char* caption, const CString& value);
    // Hides the pane's categories (grid only); the captions are the caller's kept strings.
    void HideCategories(std::initializer_list<const CString*> captions);
    // A code with its name: grid "name (0x%x)", XML the code as "%08x" with the attribute "Name", nothing in
    // HTML; "???" alone when the code was not read.
    void CodeField(const FieldLabels& label, ULONG code, const CString& name, bool have = true);
    // An attribute of the mark-up element just written (XML only).
    void Attribute(const char* name, FieldText value);
    // A defect of the input where the field it spoils would stand: a red grid item, a field in mark-up.
    void Defect(const char* caption, const CString& text);

    // --- tables ---
    // The field with a known value (read, or handed to the walk); `env` is what its name function sees.
    void Value(const FieldDecl& field, ULONG64 value, const FieldEnv& env = FieldEnv{nullptr, 0, nullptr});
    // The field valued "???" (its name "???" too where it keeps its attribute when missing).
    void Missing(const FieldDecl& field);
    // Fields over a value handed to the walk, each its bits of it.
    void Fields(std::span<const FieldDecl> fields, ULONG64 value);
    // Fields read from the reader's position one after the other, each only when its bytes are there.
    // Returns whether every field was; in the stop walk nothing follows the first one that was not.
    bool Fields(std::span<const FieldDecl> fields, tdl::ByteReader& reader, FieldWalk walk,
                const void* extra = nullptr);
    // Fields at their offsets from `base` in the record's payload, under the record's short-record rule.
    // Returns whether every field was there.
    bool PayloadFields(std::span<const FieldDecl> fields, size_t base = 0);
    bool PayloadField(const FieldDecl& field, size_t base = 0);
    // A field of a structure whose bytes are all there (a command block), read in the field's byte order.
    void FieldAt(const FieldDecl& field, const uint8_t* structure);

    // --- sections ---
    // `title` is the grid's caption (or the HTML table's title), `element` the mark-up element's name.
    // A category or block whose mark-up element carries `attribute` = value.
    void Open(FieldSection kind, const FieldLabels& title, const char* value = "", uint8_t media = kAllMedia,
              const char* attribute = nullptr);
    void Close(FieldSection kind, uint8_t media = kAllMedia);
    // An entry of a list, closed as a Block: XML an element with one attribute (its number); the grid a value
    // group.
    void OpenEntry(const FieldLabels& title, const char* attribute, const char* attributeValue, const char* gridValue);
    // A subsection whose mark-up element carries one attribute (XML BeginSection).
    void OpenSubsection(const FieldLabels& title, const char* attribute, const char* value, uint8_t media = kAllMedia);
    // A report's part: in HTML an indented block headed by the title; elsewhere the element with the title as
    // its attribute.
    void OpenPart(const char* element, const char* attribute, const CString& title);
    void ClosePart();
    // Mark-up only: ends the open section's element early, so that a data section follows it as the next
    // element; the section's Close then closes only the grid's side.
    void EndSectionMarkup();
    // A side on which a code carries nothing: the titled category, empty, in the grid; nothing elsewhere.
    void EmptyCategory(const char* title);

    // --- data bytes ---
    // In the grid a buffer item in the current group; the bytes (when there are any) go to the data bar with
    // the caption once that group is closed. Nothing in other media.
    void BufferItem(const char* caption, const BYTE* bytes, ULONG count, const CString& barCaption);
    // In the grid a buffer item, and its bytes in the data bar under the title given (when there is one), at
    // once.
    void DataBuffer(const char* caption, const CString& title, const BYTE* bytes, ULONG count);

private:
    bool Prefixed() const;
    // Shows the buffer waiting for its group to close.
    void FlushDataBar();
    // The name of a field's value, into m_name; false when the field shows none.
    bool NameOf(const FieldDecl& field, ULONG64 value, const FieldEnv& env);
    void SetName(const char* text);

    Outputer& m_decoder;
    LogOutputer* m_pRecordDecoder; // null for a writer without a record
    OutputerImp* m_pImp;
    int m_mode;
    uint8_t m_media; // the one medium of the mode, 0 for a mode of none
    Style m_style;
    ULONG m_needed = 0;
    std::span<const uint8_t> m_payload;
    bool m_bSectionMarkupClosed = false;
    // The buffer item's bytes waiting for the data bar.
    const BYTE* m_pBarBytes = nullptr;
    ULONG m_nBarBytes = 0;
    CString m_barCaption;
    // Reused buffers: a number, and the texts handed to the emit interface (a joined value, a name, a label,
    // a value, an attribute's name). The texts are the thread's, shared by every writer on it: each holds its
    // text only for the one emit call, so a writer nested in another may use them too, and a writer made per
    // record finds them grown to size.
    char m_number[48];
    CString& m_joined;
    CString& m_name;
    CString& m_label;
    CString& m_text;
    CString& m_attribute;
};

// Bytes as two lower-case hex digits each, no separators (the mark-up form of data bytes).
CString FieldHexText(const BYTE* bytes, ULONG count);
// UTF-16LE text up to its first zero character or the end of the bytes (an odd last byte ignored), in the
// program's narrow character set.
CString FieldWideText(const BYTE* bytes, size_t count);
// "TRUE" or "FALSE".
const char* FieldBoolText(bool value);
// One bit of a value, "0" or "1".
const char* FieldBitText(ULONG value, ULONG bit);
// Sends bytes to the data bar under the title "  <caption> - record #<record>   (<shown> of <total> bytes)".
void ShowInDataBar(const CString& caption, const BYTE* bytes, ULONG total, ULONG shown, ULONG record);
// Sends bytes to the data bar under a title the caller made whole.
void SetDataBar(const CString& title, const BYTE* bytes, ULONG count);
