// The rows of the hub-interface function decoders: each function is its section's name, the rows of its
// arguments and the rows of its results, walked by HubifOutputer::OutputFunctionRows.
#pragma once

#include <cstdint>
#include <span>

#include "app/decoders/ioctl/IoctlFields.h"

// Where a row's value comes from.
enum class HubifSource : uint8_t {
    Argument, // the argument block, at the row's offset
    Handle,   // the call's second argument (header offset 40), for most calls a device handle
    Returned, // what the call returned (header offset 56)
    Nothing,  // a call that returns nothing: the text "None"
};

// How a row's value reads, beyond its width.
enum class HubifShow : uint8_t {
    Number,
    HandleOrNull, // "NULL" for 0
    Boolean,      // "TRUE" for anything but 0
};

struct HubifRow {
    LPCSTR label;   // the grid's caption
    LPCSTR element; // the mark-up element's name
    HubifSource source;
    uint16_t offset; // into the argument block, for HubifSource::Argument
    IoctlWidth width;
    LPCSTR direction; // "in", "out" or "in_out"
    HubifShow show = HubifShow::Number;
    // A length the caller passes in and the call overwrites: an argument on the request record, among the
    // results (first, keeping its direction) on the completion record.
    bool requestOnly = false;
};

struct HubifFunction {
    LPCSTR section; // the mark-up element of the call, "HUBIF-" and the function
    std::span<const HubifRow> inputs;
    std::span<const HubifRow> outputs;
    // The results end with the call's NTSTATUS (header offset 56) as "ReturnStatus".
    bool returnStatus = false;
    // The results other than the status mean something only when the call succeeded.
    bool successOnly = false;
};
