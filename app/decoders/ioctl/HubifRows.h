// The rows of the hub-interface function decoders: each function is its section's name, the rows of its
// arguments and the rows of its results, walked by HubifOutputer::OutputFunctionRows.
#pragma once

#include <cstdint>
#include <span>

#include "app/decoders/ioctl/HubifOutputer.h"
#include "app/decoders/ioctl/IoctlFields.h"

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

struct HubifRow {
    LPCSTR label;   // the grid's caption
    LPCSTR element; // the mark-up element's name
    HubifSource source;
    uint16_t offset; // into the argument block, for HubifSource::Argument
    IoctlWidth width;
    LPCSTR direction = nullptr; // "in", "out" or "in_out"; none for a structure's field
    HubifShow show = HubifShow::Number;
    // A length the caller passes in and the call overwrites: among the arguments on the request record only
    // (the completion record lists it among its results).
    bool requestOnly = false;
    // A result that means something only when the call succeeded (the status not negative).
    bool successOnly = false;
    HubifBlockWriter block = nullptr;
};

struct HubifFunction {
    LPCSTR section; // the mark-up element of the call, "HUBIF-" and the function
    std::span<const HubifRow> inputs;
    std::span<const HubifRow> outputs;
};

// Bytes a row reads from the argument block at its offset (0 for the rows that read none there or that
// bound their own reads).
inline size_t HubifRowBytes(const HubifRow& row) {
    if (row.source != HubifSource::Argument)
        return 0;
    switch (row.show) {
    case HubifShow::Guid:
        return 16;
    case HubifShow::PortPath:
        return 10; // the path and its depth behind it
    default:
        return IoctlWidthBytes(row.width);
    }
}
