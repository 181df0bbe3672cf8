// Log start ("atsL") and log end ("dneL") records: header only, marking where a capture or change-log
// session begins and ends. They carry the control request that started or stopped the log.
//
// Locks: the log's own, through LogWriteRecord.
#pragma once

#include "driver/log/Log.h"

// Writes the mark into the log whether or not it is active (ENABLE activates the log first, DISABLE writes
// the end before it deactivates). Irp is the control request (its device object, current stack location,
// location and status go into the header); null writes the mark without them. FALSE when no room was had.
BOOLEAN LogWriteStart(PCAPTURE_LOG Log, PIRP Irp);
BOOLEAN LogWriteEnd(PCAPTURE_LOG Log, PIRP Irp);
