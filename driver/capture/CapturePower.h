// Capture of power requests: the record kind "pow" and its payload (CapturePower.cpp); the family itself is
// CaptureFamilyPower (Capture.h).
//
// "powI": WAIT_WAKE the system power state to wake from; SET_POWER and QUERY_POWER the power type, state and
// shutdown type; POWER_SEQUENCE header only. "powC": a successful POWER_SEQUENCE gives the three sequence
// counts; the others header only. "powR": header only, the minor function as its function word.
#pragma once

#include "driver/capture/CaptureIoctlRecord.h"

IOCTL_PAYLOAD_BUILDER PowerPayload;
extern const RECORD_KIND RecordKindPower;
