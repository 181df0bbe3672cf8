// The payload the build puts into the set-up program (made by tools/setup-payload).
#pragma once

extern const unsigned char kSetupPayload[];
extern const unsigned long kSetupPayloadSize;
