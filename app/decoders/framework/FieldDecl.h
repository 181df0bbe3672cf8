// FieldDecl: one field of a decoder's table, declared once for every medium: its label in each, where its
// value lies in the bytes and how it is read, how the number prints, the name its value may carry and how
// that name is shown. A decoder of a fixed layout is a table of these, walked by the FieldWriter; a family
// that needs a condition of its own (a command set, an argument's source, a direction) wraps a FieldDecl.
#pragma once

#include <afx.h>

#include <cstddef>
#include <cstdint>

// The label of a field or section in each output mode. A mode without its own label takes the grid's, and
// the grid takes the XML one.
struct FieldLabels {
    constexpr FieldLabels(const char* xmlLabel) : xml(xmlLabel) {}
    constexpr FieldLabels(const char* xmlLabel, const char* gridLabel, const char* htmlLabel = nullptr)
        : xml(xmlLabel), grid(gridLabel), html(htmlLabel) {}
    // A text made for the call at hand, the same in every medium (it must outlive the labels).
    FieldLabels(const CString& label) : xml(label.GetString()) {}

    const char* For(int mode) const;

    const char* xml;
    const char* grid = nullptr;
    const char* html = nullptr;
};

// How a number prints. Where the writer's style puts "0x" (the grid; the HTML report too for descriptors and
// reports), the hexadecimal forms carry it; elsewhere they are bare.
enum class FieldFormat : uint8_t {
    Hex2,     // "%02x"
    Hex4,     // "%04x"
    Hex6,     // "%06x"
    Hex8,     // "%08x"
    Hex64,    // "%I64x", no leading zeros
    Short,    // "0x%x" where the prefix goes, "%08x" elsewhere: counts, sizes, port numbers
    Digit,    // "%1x" in every medium: bit fields of up to four bits
    Decimal,  // "%d" in every medium
    ByteList, // the field's bytes one by one: "0x%02x" joined by ", " with the prefix, "%02x" joined by ","
};

// The bytes a number of the format takes in a record when a table does not say otherwise.
constexpr uint8_t FieldFormatBytes(FieldFormat format) {
    switch (format) {
    case FieldFormat::Hex2:
    case FieldFormat::Digit: return 1;
    case FieldFormat::Hex4: return 2;
    case FieldFormat::Hex6: return 3;
    case FieldFormat::Hex64: return 8;
    default: return 4;
    }
}

// What a name function may look at besides the field's value: the bytes the field was read from (as far as
// they were handed over) and a decoder's own data.
struct FieldEnv {
    const uint8_t* bytes;
    size_t count;
    const void* extra;
};

// The media a field or section appears in.
enum FieldMedia : uint8_t {
    kGrid = 1,
    kXml = 2,
    kHtml = 4,
    kAllMedia = kGrid | kXml | kHtml,
    kNotMarkup = kGrid | kHtml, // the grid, and the HTML medium where it follows the grid
};

// The name of a field's value; an empty name with FieldDecl::kPlainWithoutName makes the row a plain one.
using FieldNameFn = CString (*)(const FieldEnv& env, ULONG64 value);
// The whole value text of a field from its bytes, where no number format fits.
using FieldValueFn = CString (*)(int mode, const uint8_t* field);

struct FieldDecl {
    // How the value's name is shown (flags).
    static constexpr uint16_t kPlainWithoutName = 1 << 0; // an empty name gives a plain row
    static constexpr uint16_t kNameWhenMissing = 1 << 1;  // a missing field keeps its attribute, named "???"
    static constexpr uint16_t kCountsPartial = 1 << 2;    // the bytes of a field cut short count as read
    static constexpr uint16_t kNameInText = 1 << 3;       // "value (name)" as the value in every medium
    static constexpr uint16_t kNameInGridOnly = 1 << 4;   // "value (name)" in the grid when named, else plain
    static constexpr uint16_t kAttributeAfter = 1 << 5;   // mark-up: the value's element, then the attribute
    static constexpr uint16_t kBigEndian = 1 << 6;        // the bytes are read most significant first
    static constexpr uint16_t kNameInMarkupOnly = 1 << 7; // the name is the mark-up's attribute, unseen elsewhere
    static constexpr uint16_t kFault = 1 << 8;            // the grid draws the value in red (a failing status)

    FieldLabels label;
    FieldFormat format = FieldFormat::Hex8;
    uint8_t size = 0;                // bytes the field takes at its offset; 0: the value is handed to the walk
    uint16_t offset = 0;             // from the start of its structure
    uint8_t shift = 0;               // the value is (raw >> shift) ...
    uint8_t bits = 0;                // ... in `bits` bits (0: all of it)
    const char* attribute = nullptr; // the mark-up attribute the name goes to; null: no name
    const char* fixedName = nullptr; // the name when there is no name function
    FieldNameFn name = nullptr;
    FieldValueFn value = nullptr;
    uint16_t flags = 0;
    const char* tip = nullptr; // the grid item's description
    uint8_t media = kAllMedia; // the media the field appears in

    // The value of the field from its raw number.
    constexpr ULONG64 Extract(ULONG64 raw) const {
        raw >>= shift;
        return bits == 0 || bits >= 64 ? raw : raw & ((ULONG64{1} << bits) - 1);
    }

    constexpr FieldDecl At(size_t at) const {
        FieldDecl f = *this;
        f.offset = static_cast<uint16_t>(at);
        return f;
    }
    constexpr FieldDecl Bits(uint8_t low, uint8_t count) const {
        FieldDecl f = *this;
        f.shift = low;
        f.bits = count;
        return f;
    }
    constexpr FieldDecl Named(const char* attributeName, const char* fixed) const {
        FieldDecl f = *this;
        f.attribute = attributeName;
        f.fixedName = fixed;
        return f;
    }
    constexpr FieldDecl Named(const char* attributeName, FieldNameFn fn, uint16_t extraFlags = 0) const {
        FieldDecl f = *this;
        f.attribute = attributeName;
        f.name = fn;
        f.flags |= extraFlags;
        return f;
    }
    constexpr FieldDecl ValuedBy(FieldValueFn fn) const {
        FieldDecl f = *this;
        f.value = fn;
        return f;
    }
    constexpr FieldDecl WithFlags(uint16_t extraFlags) const {
        FieldDecl f = *this;
        f.flags |= extraFlags;
        return f;
    }
    constexpr FieldDecl OnlyIn(uint8_t fieldMedia) const {
        FieldDecl f = *this;
        f.media = fieldMedia;
        return f;
    }
    // The name goes to the mark-up element's attribute only; the grid shows the value alone (with `gridTip`).
    constexpr FieldDecl MarkedUp(const char* attributeName, const char* fixed, const char* gridTip = nullptr) const {
        FieldDecl f = Named(attributeName, fixed);
        f.flags |= kNameInMarkupOnly;
        f.tip = gridTip;
        return f;
    }
};

// Field makers: a little-endian number of 1, 2, 4 or 8 bytes printed by its width, at `offset` of its
// structure (0 where a walk reads fields one after the other).
constexpr FieldDecl FieldU8(FieldLabels label, size_t offset = 0) {
    return FieldDecl{label, FieldFormat::Hex2, 1, static_cast<uint16_t>(offset)};
}
constexpr FieldDecl FieldU16(FieldLabels label, size_t offset = 0) {
    return FieldDecl{label, FieldFormat::Hex4, 2, static_cast<uint16_t>(offset)};
}
constexpr FieldDecl FieldU32(FieldLabels label, size_t offset = 0) {
    return FieldDecl{label, FieldFormat::Hex8, 4, static_cast<uint16_t>(offset)};
}
constexpr FieldDecl FieldU64(FieldLabels label, size_t offset = 0) {
    return FieldDecl{label, FieldFormat::Hex64, 8, static_cast<uint16_t>(offset)};
}
// A number of the format, of the format's size unless `size` says otherwise.
constexpr FieldDecl FieldOf(FieldLabels label, FieldFormat format, size_t offset = 0, uint8_t size = 0) {
    return FieldDecl{label, format, size != 0 ? size : FieldFormatBytes(format), static_cast<uint16_t>(offset)};
}
// A value handed to the walk (a setup packet's wValue and wIndex, a status word): its bits from `low` on.
constexpr FieldDecl FieldBits(FieldLabels label, uint8_t low, uint8_t count, FieldFormat format) {
    return FieldDecl{label, format, 0, 0, low, count};
}

// A name function of one value's name, as a field's name.
template <auto Name> CString FieldNameOf(const FieldEnv&, ULONG64 value) {
    return Name(static_cast<unsigned>(value));
}

// The name of a descriptor type field that names the expected type, or "INVALID" for any other byte.
template <ULONG64 Code, const char* Name> CString TypeNameOrInvalid(const FieldEnv&, ULONG64 value) {
    return CString(value == Code ? Name : "INVALID");
}
