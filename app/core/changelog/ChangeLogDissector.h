// The capture document's reading of a block from the driver's change log: device-object, driver-object and
// device-stack arrivals and removals, each handed to its handler with its node.
#pragma once

#include <cstddef>
#include <cstdint>

#include "app/core/document/USBLog.h"
#include "common/LogHeader.h"

namespace ChangeLog {

// One kind of change-log record: its tag, its trace, and the payload size its node needs.
struct ChangeKind {
    ULONG tag;
    const char* trace;
    size_t nodeSize;
    void (CUSBLog::*handler)(const BYTE* pNode);
};

// The kind of a tag, or null for any other.
const ChangeKind* FindChangeKind(ULONG tag);

// Walks the block's records (a record cut by the block's end ends the walk), traces bad frame markers and
// still dispatches the record; unknown tags and payloads too short for their node are traced and skipped.
void Dissect(CUSBLog& doc, const uint8_t* pBuffer, size_t length);

} // namespace ChangeLog
