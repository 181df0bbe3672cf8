// The rows of the port-driver hook decoders: each call is its argument block's expected size, the fields of
// its arguments and of its results, and when the results are shown; UsbportHkOutputer walks them.
#pragma once

#include <cstdint>
#include <span>

#include "app/decoders/framework/FieldDecl.h"
#include "windows.h"

// What a field shows.
enum class HookValue : uint8_t {
    Word,               // the 32-bit argument at the offset
    Half,               // the low 16 bits of the argument at the offset
    Returned,           // what the call returned (header offset 56)
    TransferParameters, // the section of the transfer parameter block at the offset
    EventDescriptor,    // the section of the event descriptor copy at offset 20, when the block holds it
    ZeroFill,           // "true" or "false"
    InvalidateType,     // the kind of invalidation, with its meaning
    UsbdStatus,         // the USBD status's name
};

// A field of a call: the grid's caption, the mark-up's element and its offset in the argument block, and
// what it shows there, the way it went and its unit.
struct HookField {
    constexpr HookField(LPCSTR label, LPCSTR element, uint8_t offset, HookValue valueOf, LPCSTR directionOf = nullptr,
                        bool inMilliseconds = false)
        : field(FieldOf({element, label}, FieldFormat::Hex8, offset)), value(valueOf), direction(directionOf),
          milliseconds(inMilliseconds) {}

    FieldDecl field;
    HookValue value;
    LPCSTR direction;  // "in", "out", or none
    bool milliseconds; // mark-up: the value's "Units" are "ms."
};

// When a call shows its "Outputs".
enum class HookOutputs : uint8_t {
    Gated,  // on the result record only
    Always, // on both records (the return value is read from the header either way)
    None,
};

struct HookCall {
    ULONG size; // the argument block's size; any other shows no call section
    std::span<const HookField> inputs;
    std::span<const HookField> outputs;
    HookOutputs when;
};
