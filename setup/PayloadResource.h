// The program's payload resource (RT_RCDATA 1): found, loaded and locked in three steps, each of which can
// fail on its own. Until the platform's resource tables carry per-module data, a module's payload is declared
// here by whoever builds the module (the program's entry point, or a test for a module it registered), and the
// three steps fail on request under the names of the platform's calls (WinFailureControl.h: "FindResourceA",
// "LoadResource", "LockResource").
#pragma once

#include "windows.h"

enum class PayloadLookup {
    Locked,
    NotPresent, // no such resource
    NotLoaded,
    NotLocked,
};

PayloadLookup LockPayloadResource(HMODULE module, const void*& data, DWORD& size);

// Gives `module` the payload bytes (which must outlive it); null data takes the payload away.
void DeclarePayloadResource(HMODULE module, const void* data, DWORD size);
