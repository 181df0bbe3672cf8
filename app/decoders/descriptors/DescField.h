// DescField: one field of a fixed descriptor layout, as a row of a table that DescOutputer::OutputFields walks.
// A field names its label in each output mode, its width, and how its value and its text are made; the
// decoders of fixed layouts are such tables, so a layout is read once, in order, by one bounded routine.
#pragma once

#include <afx.h>

#include <cstdint>

// The label of a field in each output mode. A mode without its own label takes the grid's, and the grid
// takes the XML one.
struct DescLabel {
    constexpr DescLabel(const char* xmlLabel) : xml(xmlLabel) {}
    constexpr DescLabel(const char* xmlLabel, const char* gridLabel, const char* htmlLabel)
        : xml(xmlLabel), grid(gridLabel), html(htmlLabel) {}

    const char* For(int mode) const;

    const char* xml;
    const char* grid = nullptr;
    const char* html = nullptr;
};

// What a text function may look at besides the field's value: the whole descriptor as far as it was handed
// over, and a decoder's own data (the device decoder's string list).
struct DescFieldEnv {
    const uint8_t* bytes;
    size_t count;
    const void* extra;
};

// The text of a field from its value; an empty text with kPlainWithoutText makes the row a plain one.
using DescTextFn = CString (*)(const DescFieldEnv& env, ULONG value);
// The value of a field from its bytes, where the mode's number format does not fit.
using DescValueFn = CString (*)(int mode, const uint8_t* field);

struct DescField {
    // Flags.
    static constexpr uint8_t kPlainWithoutText = 1; // an empty text gives a plain row
    static constexpr uint8_t kTextWhenMissing = 2;  // a missing field keeps its attribute, with the text "???"
    static constexpr uint8_t kCountsPartial = 4;    // the bytes of a field cut short count as read

    DescLabel label;
    uint8_t width;
    const char* attribute = nullptr; // null: a plain row
    const char* fixedText = nullptr; // the text when there is no text function
    DescTextFn text = nullptr;
    DescValueFn value = nullptr;
    uint8_t flags = 0;

    constexpr DescField Named(const char* attributeName, const char* fixed) const {
        DescField f = *this;
        f.attribute = attributeName;
        f.fixedText = fixed;
        return f;
    }
    constexpr DescField Named(const char* attributeName, DescTextFn fn, uint8_t extraFlags = 0) const {
        DescField f = *this;
        f.attribute = attributeName;
        f.text = fn;
        f.flags |= extraFlags;
        return f;
    }
    constexpr DescField ValuedBy(DescValueFn fn) const {
        DescField f = *this;
        f.value = fn;
        return f;
    }
    constexpr DescField WithFlags(uint8_t extraFlags) const {
        DescField f = *this;
        f.flags |= extraFlags;
        return f;
    }
};

constexpr DescField DescByte(DescLabel label) {
    return DescField{label, 1};
}
constexpr DescField DescWord(DescLabel label) {
    return DescField{label, 2};
}
constexpr DescField DescDword(DescLabel label) {
    return DescField{label, 4};
}

// The text of a descriptor type field that names the expected type, or "INVALID" for any other byte.
template <ULONG Code, const char* Name> CString TypeNameOrInvalid(const DescFieldEnv&, ULONG value) {
    return CString(value == Code ? Name : "INVALID");
}
