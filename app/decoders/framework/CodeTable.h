// CodeTable: the codes of a request family declared once, in one table the record list, the filter pages
// and the decoders read alike. A row keys the code by its published macro name (the decoder's title shows
// that name, the record list a shorter one), says how the filter page lists it and when it offers it, and
// holds the decoder's operation for it. A family's table is in the order of its filter page.
#pragma once

#include <cstdint>
#include <cstring>
#include <span>

#include "windef.h"

// When the filter page offers a code's check box.
enum class CodeOffer : unsigned char {
    Always,
    Never,       // a reserved code: listed, always disabled
    Windows7,    // 6.1 and later
    Windows8,    // 6.2 and later
    NewUsbStack, // the newer USB stack's URB functions
    BeforeWindows7,
};

// What the record list and the filter page read of a code.
struct CodeRow {
    ULONG code;
    // The published name (an IOCTL's macro, an URB function's name, a call's name); null for a code only the
    // filter page lists.
    const char* name;
    // The filter page's text where it differs from the record list's name; null: that name.
    const char* filterText = nullptr;
    CodeOffer offer = CodeOffer::Always;
};

// A family's row of the code, or null.
template <class Row> const Row* FindCodeRow(std::span<const Row> table, ULONG code) {
    for (const Row& row : table)
        if (row.row.code == code && row.row.name != nullptr)
            return &row;
    return nullptr;
}

// The first text when there is one, else the second (a row's own text over the one its macro gives).
constexpr const char* CodeText(const char* text, const char* fallback) {
    return text != nullptr ? text : fallback;
}

// A minor function of an IRP major function by its published macro (IRP_MN_ and the name the record list
// shows).
#define TDL_IRP_MINOR(macro, offer)                                                                                    \
    CodeRow {                                                                                                          \
        macro, &#macro[sizeof("IRP_MN_") - 1], nullptr, offer                                                          \
    }

// The record list's name of a published name: the name after `prefix` when it starts with it.
inline const char* CodeListName(const char* name, const char* prefix) {
    const size_t length = std::strlen(prefix);
    return std::strncmp(name, prefix, length) == 0 ? name + length : name;
}
