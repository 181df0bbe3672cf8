// The rows of the hub-interface function decoders: each function is its section's name, the rows of its
// arguments and the rows of its results, walked by HubifOutputer::OutputFunctionRows.
#pragma once

#include <cstdint>
#include <span>

#include "app/decoders/framework/FieldWriter.h"
#include "app/decoders/ioctl/HubifOutputer.h"

// Where a row's value comes from.
enum class HubifSource : uint8_t {
    Argument, // the argument block, at the row's offset
    Handle,   // the call's second argument (header offset 40), for most calls a device handle
    Returned, // what the call returned (header offset 56)
    Nothing,  // a call that returns nothing: the text "None"
    Block,    // a structure of the argument block, written by the row's block decoder
};

// How a row's value reads, beyond its width.
enum class HubifShow : uint8_t {
    Number,
    Number32,     // a narrower field written as a 32-bit value
    HandleOrNull, // "NULL" for 0
    Boolean,      // "TRUE" for anything but 0
    NtStatus,     // the call's status row (HubifOutputer::OutputReturnStatus)
    Flags,        // RemoveUsbDevice's flags, with a row (or a name) per flag
    Tag,          // a reference tag: its four bytes as characters, and the value
    PortPath,     // the port path: as many of its 8 bytes as the depth (a u16 at +8) says
    DeviceSpeed,  // a speed with its name
    Guid,         // 16 bytes as a GUID
    SymbolicName, // UTF-16 text from +8, as long as the length returned at +4 says
};

// A structure decoder of the argument block: (mode, DataSize, block).
using HubifBlockWriter = void (HubifOutputer::*)(int, ULONG, const BYTE*);

// The number formats of the rows, by the width of the value.
namespace hubif_widths {
inline constexpr FieldFormat U8 = FieldFormat::Hex2;
inline constexpr FieldFormat U16 = FieldFormat::Hex4;
inline constexpr FieldFormat U32 = FieldFormat::Hex8;
inline constexpr FieldFormat Short = FieldFormat::Short;
inline constexpr FieldFormat U64 = FieldFormat::Hex64;
} // namespace hubif_widths

// A row: the field (the grid's caption, the mark-up's element, its offset in the argument block and its
// format) and where the call takes it from, how it reads beyond its number, and when it is shown.
struct HubifRow {
    constexpr HubifRow(LPCSTR label, LPCSTR element, HubifSource sourceOf, uint16_t offset, FieldFormat format,
                       LPCSTR directionOf = nullptr, HubifShow showAs = HubifShow::Number, bool onRequestOnly = false,
                       bool onSuccessOnly = false, HubifBlockWriter blockWriter = nullptr)
        : field(FieldOf({element, label}, format, offset)), source(sourceOf), direction(directionOf), show(showAs),
          requestOnly(onRequestOnly), successOnly(onSuccessOnly), block(blockWriter) {}

    LPCSTR Label() const { return field.label.grid; }
    LPCSTR Element() const { return field.label.xml; }

    FieldDecl field;
    HubifSource source;
    LPCSTR direction; // "in", "out" or "in_out"; none for a structure's field
    HubifShow show;
    // A length the caller passes in and the call overwrites: among the arguments on the request record only
    // (the completion record lists it among its results).
    bool requestOnly;
    // A result that means something only when the call succeeded (the status not negative).
    bool successOnly;
    HubifBlockWriter block;
};

// A function's rows; its section is the function's in the interface's code table.
struct HubifFunction {
    std::span<const HubifRow> inputs;
    std::span<const HubifRow> outputs;
};

// Bytes a row reads from the argument block at its offset (0 for the rows that read none there or that
// bound their own reads).
inline size_t HubifRowBytes(const HubifRow& row) {
    if (row.source != HubifSource::Argument)
        return 0;
    switch (row.show) {
    case HubifShow::Guid: return 16;
    case HubifShow::PortPath: return 10; // the path and its depth behind it
    default: return row.field.size;
    }
}
