// Name tables as data: a value and its constant text, looked up by value. The record list formats every
// visible cell from such tables on each paint, so a lookup returns the table's own text and copies nothing.
#pragma once

#include <span>

#include "windef.h"

struct CodeName {
    ULONG code;
    LPCSTR name;
};

// The text listed for the code, or null when the table does not list it.
inline LPCSTR FindCodeName(std::span<const CodeName> table, ULONG code) {
    for (const CodeName& entry : table)
        if (entry.code == code)
            return entry.name;
    return nullptr;
}

// The text at a dense table's index, or null past its end.
inline LPCSTR FindIndexedName(std::span<const LPCSTR> table, ULONG index) {
    return index < table.size() ? table[index] : nullptr;
}
